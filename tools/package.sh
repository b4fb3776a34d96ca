#!/usr/bin/env bash
# Builds the Debian package for amd64 or i386 with dpkg-buildpackage and
# checks it with lintian; i386 is a cross build with Debian's i686 compiler
# and the multiarch i386 libraries, its desktop program with Qt 5.15; its
# programs are then run on QEMU's Pentium II model (tools/old-cpu-check.sh).
# The .deb lands in build-deb/.
#   tools/package.sh [amd64|i386]     (default: this machine's architecture)
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${1:-$(dpkg --print-architecture)}

. tools/deps.sh
case $arch in
  amd64) kev_install_packages "${KEV_BUILD_PACKAGES[@]}" "${KEV_PACKAGE_PACKAGES[@]}" ;;
  i386)
    kev_add_i386
    kev_install_packages "${KEV_BUILD_PACKAGES[@]}" "${KEV_PACKAGE_PACKAGES[@]}" \
      "${KEV_I386_PACKAGES[@]}" "${KEV_I386_DESKTOP_PACKAGES[@]}" "${KEV_EMULATOR_PACKAGES[@]}"
    ;;
  *) echo "usage: tools/package.sh [amd64|i386]" >&2; exit 2 ;;
esac

# dpkg-buildpackage writes its results beside the source folder: build a
# copy of the tree (without build folders) inside build-deb/.
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
out=build-deb
src=$out/$arch/kevatra-$version
rm -rf "$out/$arch"
mkdir -p "$src"
tar --exclude='./build*' --exclude=./.git --exclude=./.cache -cf - . | tar -xf - -C "$src"
# The tests run in CI (tools/test.sh), not in the package build.
(cd "$src" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -a"$arch" -B -us -uc)
deb=$out/kevatra_${version}_$arch.deb
# The debug symbols stay beside it, for tools/cost.sh.
mv "$out/$arch"/kevatra*_"${version}_$arch.deb" "$out/"
lintian --fail-on error "$deb"
# The old machines' processors have no SSE2.
if [ "$arch" = i386 ]; then bash tools/old-cpu-check.sh "$deb" pentium2; fi
echo "$deb"
