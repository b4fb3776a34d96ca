#!/usr/bin/env bash
# Installs what the build needs, builds kevatra-cli and shows the readings of
# the simulated demo board until Ctrl+C. Extra arguments go to the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
kev_install_packages "${KEV_BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kevatra-cli -j"$(nproc)"
exec build/src/cli/kevatra-cli watch --board demo "$@"
