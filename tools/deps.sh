# Debian packages the project needs; sourced by the tools/ scripts.
#   kev_install_packages PKG...   installs those of PKG that are missing

KEV_BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
  libbenchmark-dev nlohmann-json3-dev libcpp-httplib-dev libmicrohttpd-dev libsystemd-dev libcap-dev qt6-base-dev
  libcanberra-dev libxcb1-dev fonts-liberation2 fonts-liberation sound-theme-freedesktop)
KEV_TEST_PACKAGES=(chromium dbus python3-dbusmock libglib2.0-bin clang libclang-rt-14-dev desktop-file-utils
  xvfb xauth x11-utils prometheus)

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
