#!/usr/bin/env bash
# Runs the i386 package's programs on QEMU's model of a processor without
# SSE2 (Pentium II by default): `kevatra-cli report --board demo`, then the
# desktop program on the offscreen platform for a few seconds, ended with
# SIGTERM. Both must end cleanly; an illegal instruction or Qt's
# "Incompatible processor" fails the check.
#   tools/old-cpu-check.sh DEB [CPU]
set -euo pipefail
deb=$1 cpu=${2:-pentium2}
command -v qemu-i386 >/dev/null || { echo "old-cpu-check: qemu-i386 missing (qemu-user)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/runtime"
chmod 755 "$tmp" && chmod 700 "$tmp/runtime"
# As an ordinary user without capabilities, the way the old machine's desktop
# starts it (root would stay root and keep its capabilities).
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown 65534:65534 "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/runtime"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all)
fi
# Private folders, no session bus, no system bus: nothing of this machine's.
# (A plain command, not a function: started in the background, its process
# is the emulator's.)
on_cpu=(env -u DBUS_SESSION_BUS_ADDRESS -u SUDO_UID -u SUDO_GID -u DISPLAY -u WAYLAND_DISPLAY
  HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data"
  XDG_RUNTIME_DIR="$tmp/runtime" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$tmp/no-bus"
  QT_QPA_PLATFORM=offscreen "${as_user[@]}" qemu-i386 -cpu "$cpu" -L /)
fail() {
  echo "old-cpu-check ($cpu): $1" >&2
  sed 's/^/  /' "$tmp/out" >&2
  exit 1
}

"${on_cpu[@]}" "$tmp/root/usr/bin/kevatra-cli" report --board demo >"$tmp/out" 2>&1 ||
  fail "kevatra-cli report ended with $?"
grep -q . "$tmp/out" || fail "kevatra-cli report printed nothing"
echo "old-cpu-check ($cpu): kevatra-cli report --board demo ran"

"${on_cpu[@]}" "$tmp/root/usr/bin/kevatra" --board demo >"$tmp/out" 2>&1 &
pid=$!
sleep 10
kill -0 "$pid" 2>/dev/null || { wait "$pid" && rc=0 || rc=$?; fail "kevatra ended early ($rc)"; }
# qemu-user deadlocks the guest when a signal interrupts the main thread's
# event loop poll (seen with 7.2; the same package ends cleanly without the
# emulator): aim SIGTERM at one of the program's own threads, which Qt names,
# unlike the emulator's. The kernel delivers it to the thread named.
target=$pid
for task in /proc/"$pid"/task/*; do
  [ "${task##*/}" != "$pid" ] && [ "$(cat "$task/comm")" != qemu-i386 ] && target=${task##*/}
done
kill -TERM "$target"
for _ in $(seq 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; fail "kevatra did not end on SIGTERM"; }
wait "$pid" && rc=0 || rc=$?
[ "$rc" -eq 0 ] || fail "kevatra ended with $rc"
! grep -qi "incompatible processor" "$tmp/out" || fail "Qt refused the processor"
echo "old-cpu-check ($cpu): kevatra --board demo started and ended cleanly"
