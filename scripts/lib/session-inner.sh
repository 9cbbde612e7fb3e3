#!/usr/bin/env bash
# Second half of scripts/with-session: runs on the private bus that
# dbus-run-session started, brings up the desktop pieces, runs the command and
# ends every process this session started, by PID.
set -u
started=()

# The suites count on no portal being startable on this bus (see
# lib/session-bus.conf); say so plainly if that ever stops being true.
if gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.ListActivatableNames 2>/dev/null | grep -q "org\.freedesktop\.portal\."; then
  echo "with-session: a desktop portal can be started on the test bus; its configuration was not used" >&2
  exit 1
fi

echo -n "vocarta-session-pw" | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1

openbox --sm-disable >"$XDG_RUNTIME_DIR/openbox.log" 2>&1 &
started+=($!)

if [ "${VOCARTA_SESSION_COMPOSITOR:-0}" = 1 ]; then
  picom --backend xrender --config /dev/null >"$XDG_RUNTIME_DIR/picom.log" 2>&1 &
  started+=($!)
fi

# Starts the accessibility bus (D-Bus activated) and turns accessibility on, so
# toolkits started from now on expose their widgets.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled "<true>" >/dev/null

# Wait (bounded) for the window manager to own the display.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done

"$@"
rc=$?

# Services the bus activated (keyring, AT-SPI bus, dconf, portals...) belong to
# this session: find each client's PID through the bus and end it.
bus_pid() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null |
    sed -nE 's/.*uint32 ([0-9]+).*/\1/p'
}
names=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.ListNames 2>/dev/null | grep -oE "':[0-9.]+'" | tr -d "'")
pids=()
for name in $names; do
  p=$(bus_pid "$name")
  [ -n "$p" ] && [ "$p" != "$$" ] && pids+=("$p")
done
for p in "${started[@]}" "${pids[@]}"; do kill "$p" 2>/dev/null; done
for p in "${started[@]}"; do wait "$p" 2>/dev/null; done
exit $rc
