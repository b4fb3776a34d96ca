#!/usr/bin/env bash
# What the packaged programs cost on a period machine, counted so that the
# figures do not depend on this machine: instructions counted by valgrind
# (callgrind), and resident memory.
#   report      kevatra-cli report --board demo, the whole run
#   tick        one sampling cycle per catalogue board, the program's own work
#               (the simulated machine's answers are left out)
#   start-up    the desktop program on the demo board, in the tray, until idle
#   idle second the desktop program in the tray sampling all 15 channels,
#               averaged over 10 seconds (both also without the simulated
#               machine's share, which a real board's port helper replaces)
#   rss         the desktop program's resident memory after start-up, beside
#               that of the least Qt tray program (tools/bare_tray.cpp) built
#               with the same Qt (amd64: Qt 6, i386: Qt 5)
# Goals: idle second under 1 M, start-up under 100 M; i386 (Qt 5): rss under
# 20 MB and at most 5 MB above the bare tray program, start-up under 60 M,
# idle second under 200 k.
# Runs on the packages and their debug symbols in build-deb/ (tools/package.sh).
#   tools/cost.sh [amd64] [i386]        (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."

# Inside a private desktop: start-up, idle second and rss of one kevatra.
if [ "${1:-}" = "--desktop" ]; then
  root=$2 debug=$3 out=$4 bare=${5:-}
  cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
  # Waits until the process uses under a fifth of a CPU over a second.
  settle() {
    local before after
    sleep 2
    while before=$(cpu "$1") && sleep 1 && after=$(cpu "$1") && [ $((after - before)) -gt 20 ]; do :; done
  }
  cd "$out"
  # All 15 channels checked, the window closed: the program in the tray.
  "$root/usr/bin/kevatra-cli" report --board demo --settings settings.reg --save >/dev/null
  sed -i -E 's/^"(CheckBox[A-Za-z0-9]+)"=dword:00000000/"\1"=dword:00000001/' settings.reg
  # Start-up ends when the start-up sequence (detection, chip set-up, first
  # sample, tray icon) returns; callgrind writes desktop.out.1 there.
  valgrind --tool=callgrind --callgrind-out-file="$out/desktop.out" \
    --dump-after='kev::ui::TDisplay::RunStartup*' --extra-debuginfo-path="$debug" \
    "$root/usr/bin/kevatra" --board demo --settings settings.reg 2>/dev/null &
  pid=$!
  for _ in $(seq 600); do [ -e desktop.out.1 ] && break; sleep 0.5; done
  settle "$pid"
  callgrind_control -z "$pid" >/dev/null 2>&1
  sleep 10
  callgrind_control -d idle "$pid" >/dev/null 2>&1
  kill "$pid"; wait "$pid" 2>/dev/null || true
  "$root/usr/bin/kevatra" --board demo --settings settings.reg 2>/dev/null &
  pid=$!
  settle "$pid"
  awk '/^VmRSS/ {print $2}' "/proc/$pid/status" >"$out/rss"
  kill "$pid"; wait "$pid" 2>/dev/null || true
  if [ -n "$bare" ]; then
    "$bare" 2>/dev/null &
    pid=$!
    settle "$pid"
    awk '/^VmRSS/ {print $2}' "/proc/$pid/status" >"$out/bare-rss"
    kill "$pid"; wait "$pid" 2>/dev/null || true
  fi
  exit 0
fi

. tools/deps.sh
kev_install_packages valgrind "${KEV_TEST_PACKAGES[@]}"
arches=("$@")
[ ${#arches[@]} -eq 0 ] && arches=(amd64 i386)
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/config" "$tmp/runtime" && chmod 700 "$tmp/runtime"
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/runtime
# Run by root, the programs stay root instead of becoming "nobody".
[ "$(id -u)" -eq 0 ] && export SUDO_UID=0

# Instructions counted in a callgrind output file.
total() { awk '/^(summary|totals):/ {print $2; exit}' "$1"; }
# Instructions of the simulated machine (its port and SMBus entry points,
# inclusive) in a callgrind output file: on a real board the port helper's.
simulated() {
  callgrind_annotate --inclusive=yes --threshold=100 "$1" 2>/dev/null |
    awk '/kev::sim::SimMachine::(in|out|smbus)[A-Za-z_]*\(/ {gsub(",", "", $1); s += $1}
      END {print s + 0}'
}
mega() { awk -v n="$1" -v d="${2:-1}" 'BEGIN {printf "%.2f M", n / d / 1e6}'; }
kilo() { awk -v n="$1" -v d="${2:-1}" 'BEGIN {printf "%.1f k", n / d / 1e3}'; }
# Instructions spent in SampleAllChannels while `kevatra-cli watch` takes N
# samples of BOARD; with "own", the simulated machine's port and SMBus work
# is left out (toggling the count off inside it; outside a sample that
# toggles it on instead, which the difference of two runs cancels).
watched() {
  local n=$1 board=$2 mode=$3 toggles=(--toggle-collect='kev::SampleAllChannels*')
  [ "$mode" = own ] && toggles+=(--toggle-collect='kev::sim::SimMachine::in*'
    --toggle-collect='kev::sim::SimMachine::out*' --toggle-collect='kev::sim::SimMachine::smbus*')
  valgrind --tool=callgrind --callgrind-out-file="$tmp/tick.out" --extra-debuginfo-path="$debug" \
    "${toggles[@]}" "$root/usr/bin/kevatra-cli" watch --board "$board" --all --interval 0.001 \
    --count "$n" >/dev/null 2>&1
  total "$tmp/tick.out"
}

for arch in "${arches[@]}"; do
  deb=build-deb/kevatra_${version}_$arch.deb dbg=build-deb/kevatra-dbgsym_${version}_$arch.deb
  if [ ! -e "$deb" ]; then
    echo "$arch: no $deb (bash tools/package.sh $arch)"
    continue
  fi
  root=$tmp/$arch debug=$tmp/$arch/usr/lib/debug
  dpkg-deb -x "$deb" "$root"
  [ -e "$dbg" ] && dpkg-deb -x "$dbg" "$root"
  # valgrind finds the symbols in the extra path under the program's own
  # folder, by the name the stripped program links to.
  for program in "$root"/usr/bin/*; do
    id=$(readelf -n "$program" | awk '/Build ID/ {print $3}')
    mkdir -p "$debug$root/usr/bin"
    ln -sf "$debug/.build-id/${id:0:2}/${id:2}.debug" "$debug$root/usr/bin/${id:2}.debug"
  done
  # The Qt the desktop program links: the bare tray program is built with it.
  qt=$(readelf -d "$root/usr/bin/kevatra" | grep -o 'libQt[56]Widgets' | head -1 | tr -dc 0-9)
  echo "== $arch ($deb, Qt ${qt:-?})"

  valgrind --tool=callgrind --callgrind-out-file="$tmp/report.out" --extra-debuginfo-path="$debug" \
    "$root/usr/bin/kevatra-cli" report --board demo >/dev/null 2>&1
  echo "report: $(mega "$(total "$tmp/report.out")") instructions"

  # A tick is the difference between watching six samples and one.
  for board in boards/*.json; do
    name=$(basename "$board" .json)
    own=$(($(watched 6 "$name" own) - $(watched 1 "$name" own)))
    all=$(($(watched 6 "$name" all) - $(watched 1 "$name" all)))
    echo "tick $name: $(kilo "$own" 5) instructions ($(kilo "$all" 5) with the simulated chip)"
  done

  out=$tmp/$arch-desktop
  mkdir -p "$out"
  # The bare tray program, built for the architecture with the package's Qt.
  bare=$tmp/bare-$arch cxx=g++ pc=()
  [ "$arch" != "$(dpkg --print-architecture)" ] && cxx=i686-linux-gnu-g++ &&
    pc=(env PKG_CONFIG_LIBDIR=/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
  # shellcheck disable=SC2046
  "$cxx" -O2 -fPIC tools/bare_tray.cpp -o "$bare" $("${pc[@]}" pkg-config --cflags --libs "Qt${qt}Widgets") \
    2>/dev/null || bare=""
  bash tests/app/on_private_desktop.sh bash "$PWD/tools/cost.sh" --desktop "$root" "$debug" "$out" "$bare"
  # callgrind numbers the dumps: .1 at start-up, .2 after the idle seconds.
  start=$(total "$out/desktop.out.1")
  idle=$(total "$out/desktop.out.2")
  start_sim=$(simulated "$out/desktop.out.1") idle_sim=$(simulated "$out/desktop.out.2")
  echo "desktop start-up: $(mega "$start") instructions" \
    "($(mega $((start - start_sim))) without the simulated chip)"
  echo "desktop idle second in the tray: $(kilo "$idle" 10) instructions" \
    "($(kilo $((idle - idle_sim)) 10) without the simulated chip)"
  echo "desktop rss after start-up: $(awk '{printf "%.1f MB", $1 / 1024}' "$out/rss")"
  [ -s "$out/bare-rss" ] &&
    echo "bare Qt $qt tray program rss: $(awk '{printf "%.1f MB", $1 / 1024}' "$out/bare-rss")" &&
    echo "desktop rss above the bare tray program: $(awk -v b="$(cat "$out/bare-rss")" \
      '{printf "%.1f MB", ($1 - b) / 1024}' "$out/rss")"
done
