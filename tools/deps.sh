# Debian packages the project needs; sourced by the tools/ scripts.
#   kev_install_packages PKG...   installs those of PKG that are missing
#   kev_add_i386                  lets apt install i386 (multiarch) packages

KEV_BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
  libbenchmark-dev nlohmann-json3-dev libcpp-httplib-dev libmicrohttpd-dev libsystemd-dev libcap-dev qt6-base-dev
  libcanberra-dev libxcb1-dev fonts-liberation2 fonts-liberation sound-theme-freedesktop)
KEV_TEST_PACKAGES=(systemd appstream chromium dbus python3-dbusmock libglib2.0-bin clang libclang-rt-14-dev desktop-file-utils
  xvfb xauth x11-utils prometheus)
# The i386 cross build: Debian's i686 compiler and the libraries' i386 builds.
KEV_I386_PACKAGES=(g++-i686-linux-gnu libgtest-dev:i386 libgmock-dev:i386 libmicrohttpd-dev:i386
  libsystemd-dev:i386 libcap-dev:i386 libcpp-httplib-dev:i386)
# The i386 desktop program uses Qt 5.15: Debian 12's i386 Qt 6 needs SSE2.
KEV_I386_DESKTOP_PACKAGES=(qtbase5-dev:i386 libqt5x11extras5-dev:i386 libcanberra-dev:i386)
# The desktop program and its tests once more with Qt 5 (tools/test.sh --qt5).
KEV_QT5_PACKAGES=(qtbase5-dev libqt5x11extras5-dev)
# Runs i386 programs on the models of processors without SSE2.
KEV_EMULATOR_PACKAGES=(qemu-user)
KEV_PACKAGE_PACKAGES=(debhelper dpkg-dev fakeroot lintian)

kev_add_i386() {
  local sudo=""
  dpkg --print-foreign-architectures | grep -qx i386 && return 0
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo dpkg --add-architecture i386
}

kev_install_packages() {
  local missing=() p sudo=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}
