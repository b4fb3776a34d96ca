#!/usr/bin/env bash
# Installs what the build needs, builds Kevatra and starts the desktop program
# on the simulated demo board with its monitor window open. On a machine
# without a display it shows the readings in the terminal instead, with
# kevatra-cli, until Ctrl+C. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
kev_install_packages "${KEV_BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kevatra kevatra-cli -j"$(nproc)"

# Started as root, the programs become the user who asked for the run; a
# root login's own demo stays root's, as under "sudo" by root.
if [ "$(id -u)" -eq 0 ] && [ -z "${SUDO_UID:-}" ]; then
  export SUDO_UID=0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: showing the demo board's readings in the terminal instead (Ctrl+C ends)."
  exec build/src/cli/kevatra-cli watch --board demo "$@"
fi

# The demo keeps settings of its own, so the user's settings stay untouched;
# the first run stores them with the window open.
mkdir -p build/demo
if [ "$(id -u)" -eq 0 ] && [ "${SUDO_UID}" != 0 ]; then
  chown "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" build/demo  # the user the programs become
fi
demo_settings=build/demo/demo-settings.reg
if [ ! -e "$demo_settings" ]; then
  build/src/cli/kevatra-cli report --board demo --settings "$demo_settings" --save >/dev/null
  sed -i -E 's/^"(MonitorWindowMode|CheckBox[A-Za-z0-9]+)"=dword:00000000/"\1"=dword:00000001/' "$demo_settings"
  # The tool has no screen: centre the 257 x 357 window on this one (xdpyinfo, from x11-utils).
  size=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ { print $2; exit }' || true)
  if [[ "$size" =~ ^([0-9]+)x([0-9]+)$ ]]; then
    x=$(( (BASH_REMATCH[1] - 257) / 2 )); y=$(( (BASH_REMATCH[2] - 357) / 2 ))
    sed -i -E "s/^\"xPosition\"=dword:[0-9a-f]+/\"xPosition\"=dword:$(printf %08x $(( x > 0 ? x : 0 )))/;
      s/^\"yPosition\"=dword:[0-9a-f]+/\"yPosition\"=dword:$(printf %08x $(( y > 0 ? y : 0 )))/" "$demo_settings"
  fi
fi
exec build/src/app/kevatra --board demo --settings "$demo_settings" "$@"
