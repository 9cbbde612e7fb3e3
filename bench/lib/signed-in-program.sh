# Sourced by the benchmarks that measure the program as a signed-in user has
# it: a tray, the local deployment, a session and the shortcut Ctrl+Alt+K
# seeded, the program started and idle (sync connected, no window open).
# Expects: $build (build dir), $work (scratch dir), the array `started`, and
# functions fail and wait_for. Sets $program (its PID) and $url.
# PROGRAM=path measures another build of the program.

window_exists() { xdotool search --name "^$1\$" >/dev/null 2>&1; }

# A plain X11 desktop: portal back-ends installed on this machine for other
# desktops (which would offer global shortcuts they cannot deliver here) are
# hidden from the portal the bus starts.
mkdir -p "$work/no-portals"
dbus-update-activation-environment XDG_DESKTOP_PORTAL_DIR="$work/no-portals" 2>/dev/null

# A tray, so the signed-in program opens no window at start.
trayer --edge top --align right --widthtype pixel --width 120 --height 28 --SetDockType true \
  --transparent false >"$work/trayer.log" 2>&1 &
started+=($!)

"$build/bin/vocarta-devserver" --port 0 --data "$work/state.json" --print-link-code >"$work/devserver.log" 2>&1 &
started+=($!)
wait_for 20 "link code" grep -q '^link code: ' "$work/devserver.log"
url=$(sed -nE 's/^vocarta-devserver listening on (http:[^ ]+).*/\1/p' "$work/devserver.log")
code=$(sed -nE 's/^link code: ([A-Z0-9-]+)$/\1/p' "$work/devserver.log")
# Ctrl+Alt+K: key code 40, Control (1 << 18) and Option (1 << 19).
"$build/bin/bench_seed_session" "$url" "$code" 40 786432 >"$work/seed.log" 2>&1 || fail "sign-in"

VOCARTA_DEPLOYMENT_URL=$url "${PROGRAM:-$build/bin/vocarta-menubar}" >"$work/program.log" 2>&1 &
program=$!
started+=($program)
wait_for 30 "deck list over sync" grep -qE '>> Transition \(querySet 0->1' "$work/devserver.log"
wait_for 30 "overlay window" window_exists "Add card"
sleep 3

overlay_focused() { [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = "Add card" ]; }
overlay_hidden() { ! xdotool search --onlyvisible --name '^Add card$' >/dev/null 2>&1; }
# One opening as a person adding a card leaves it: the shortcut, a second
# with the overlay in front, Escape.
open_and_dismiss_overlay() {
  xdotool key ctrl+alt+k
  wait_for 20 "overlay with the focus" overlay_focused
  sleep 1
  xdotool key Escape
  wait_for 20 "overlay dismissed" overlay_hidden
}
# CPU time (user and system, in clock ticks) a process has used so far.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Nanoseconds on a CPU, summed over the process's threads (the scheduler's own
# count: finer than the ticks above).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { print n + 0 }'; }
