#!/usr/bin/env bash
# Runs a test program on a desktop of its own: an Xvfb display, a private
# session bus that also stands in as the system bus, a mock login manager and
# a mock StatusNotifierWatcher (so Qt shows tray icons). Never the machine's
# real buses or display. Exit 77 (skipped) when a tool is missing.
set -euo pipefail

if [ "${1:-}" != "--inner" ]; then
  for tool in Xvfb dbus-run-session gdbus; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  /usr/bin/python3 -c 'import dbusmock' 2>/dev/null || { echo "skipped: no python3-dbusmock"; exit 77; }
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/run" "$tmp/config" "$tmp/data" && chmod 700 "$tmp/run"
  export XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data HOME=$tmp
  export KEV_TEST_TMP=$tmp
  dbus-run-session -- bash "$0" --inner "$@"
  exit $?
fi
shift

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT
export DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$KEV_TEST_TMP/display" 2>/dev/null &
pids+=($!)
/usr/bin/python3 -m dbusmock --template logind >/dev/null 2>&1 &
pids+=($!)
/usr/bin/python3 -m dbusmock org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
  org.kde.StatusNotifierWatcher >/dev/null 2>&1 &
pids+=($!)

gdbus wait --session --timeout 20 org.freedesktop.login1
gdbus wait --session --timeout 20 org.kde.StatusNotifierWatcher
mock() {
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -m "org.freedesktop.DBus.Mock.$1" "${@:2}" >/dev/null
}
mock AddProperty org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered '<true>'
mock AddProperty org.kde.StatusNotifierWatcher ProtocolVersion '<int32 0>'
mock AddMethod org.kde.StatusNotifierWatcher RegisterStatusNotifierItem s '' ''

for _ in $(seq 100); do [ -s "$KEV_TEST_TMP/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$KEV_TEST_TMP/display")"
export QT_QPA_PLATFORM=xcb
# Qt's D-Bus and X plugins keep their connection data until the process
# ends, which the leak checker counts; the offscreen tests check ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$@"
