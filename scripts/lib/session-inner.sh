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

# The window manager: every suite counts on it for focus and _NET_ACTIVE_WINDOW.
# It is kept running: should it exit, that is said on stderr and it starts
# again, up to five times, so one crash does not fail every later suite.
wm_log=$XDG_RUNTIME_DIR/openbox.log
wm_events=$XDG_RUNTIME_DIR/openbox.events
keep_window_manager() {
  local restarts=0 status wm=""
  # Ended at the session's end: the manager goes with it.
  trap 'kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null; exit 0' TERM
  while :; do
    openbox --sm-disable >>"$wm_log" 2>&1 &
    wm=$!
    wait "$wm"
    status=$?
    echo "openbox exited with status $status at $(date +%T)" >>"$wm_events"
    restarts=$((restarts + 1))
    [ $restarts -gt 5 ] && return
    sleep 1
  done
}
keep_window_manager &
wm_keeper=$!

if [ "${VOCARTA_SESSION_COMPOSITOR:-0}" = 1 ]; then
  picom --backend xrender --config /dev/null >"$XDG_RUNTIME_DIR/picom.log" 2>&1 &
  started+=($!)
fi

# Starts the accessibility bus (D-Bus activated) and turns accessibility on, so
# toolkits started from now on expose their widgets.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled "<true>" >/dev/null

# Wait (bounded) for the window manager to own the display: the root names a
# check window, and that window exists (a crashed manager leaves the name).
window_manager_up() {
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -nE 's/.*window id # (0x[0-9a-f]+).*/\1/p')
  [ -n "$check" ] && xprop -id "$check" _NET_WM_NAME 2>/dev/null | grep -q '"Openbox"'
}
for _ in $(seq 600); do
  window_manager_up && break
  sleep 0.05
done
if ! window_manager_up; then
  echo "with-session: openbox did not take the display within 30 s" >&2
  echo "openbox did not take the display within 30 s of the start" >>"$wm_events"
fi

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
for p in "${started[@]}" "${pids[@]}" "$wm_keeper"; do kill "$p" 2>/dev/null; done
for p in "${started[@]}" "$wm_keeper"; do wait "$p" 2>/dev/null; done
# Said last, where a reader of a long run's end sees it.
if [ -s "$wm_events" ]; then
  echo "with-session: the window manager did not stay up:" >&2
  cat "$wm_events" >&2
  echo "with-session: its log:" >&2
  tail -n 40 "$wm_log" >&2
fi
exit $rc
