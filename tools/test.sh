#!/usr/bin/env bash
# Installs what the build needs, configures, builds and runs every test.
#   tools/test.sh             normal build in build/
#   tools/test.sh --sanitize  AddressSanitizer + UBSan build in build-asan/
#   tools/test.sh --i386      32-bit cross build in build-i386/ (libraries,
#                             kevatra-cli, kevatra-ports, tests; no desktop program)
#   tools/test.sh --qt5       the desktop program and its tests only, with Qt 5.15
#                             (the i386 package's Qt), in build-qt5/
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/deps.sh
[ "${1:-}" = "--i386" ] && kev_add_i386
kev_install_packages "${KEV_BUILD_PACKAGES[@]}" "${KEV_TEST_PACKAGES[@]}"

build=build; extra=(); targets=(); only=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan; extra=(-DKEV_SANITIZE=ON -DKEV_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
elif [ "${1:-}" = "--i386" ]; then
  kev_install_packages "${KEV_I386_PACKAGES[@]}"
  build=build-i386
  extra=(-DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake -DKEV_BUILD_DESKTOP=OFF -DKEV_BUILD_BENCH=OFF)
elif [ "${1:-}" = "--qt5" ]; then
  kev_install_packages "${KEV_QT5_PACKAGES[@]}"
  build=build-qt5
  extra=(-DKEV_QT_MAJOR=5 -DKEV_BUILD_BENCH=OFF)
  targets=(--target kev_desktop_tests)
  only=(-L desktop)
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEV_WERROR=ON "${extra[@]}"
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
# Tests never see the user's own configuration.
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/config" "$tmp/data" "$tmp/runtime" && chmod 700 "$tmp/runtime"
XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "${only[@]}"
