#!/usr/bin/env bash
# The scripted demo of scripts/run, for machines without a display. Runs inside
# scripts/with-session (VOCARTA_SESSION_COMPOSITOR=1) and drives the real
# program as a person would: the link code typed into the link-code page, a
# shortcut recorded with the recorder, a word selected in another
# application, the shortcut pressed, the first candidate picked, ADD pressed.
# Prints the card as the local deployment stored it and a screenshot of every
# step. Every wait is for a condition, with a time limit.
#
#   VOCARTA_BUILD_DIR  the build (bin/ holds the program, the deployment and selection_app)
#   VOCARTA_DEMO_DIR   where the data file, logs and screenshots go
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${VOCARTA_BUILD_DIR:-$root/build}
out=${VOCARTA_DEMO_DIR:?}
pixels="$here/demo-pixels.py"
if [ -z "${DISPLAY:-}" ]; then
  echo "demo: runs inside scripts/with-session (no DISPLAY here)" >&2
  exit 2
fi
screens=$out/screenshots
mkdir -p "$screens"
rm -rf "$out/state.json" "$out/state.json.lock" "$out"/*.log "$screens"/*.png

started=()
# A child that exited stays a zombie until reaped: that is not alive.
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}
finish() {
  local rc=$?
  # Ends what this script started, newest first, each by its PID.
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null
    for _ in $(seq 50); do alive "${started[i]}" || break; sleep 0.1; done
    kill -9 "${started[i]}" 2>/dev/null
    wait "${started[i]}" 2>/dev/null
  done
  exit $rc
}
trap finish EXIT

step=0
say() { printf '[demo] %s\n' "$*"; }
fail() {
  say "FAILED: $*"
  shot failure
  say "logs: $out/devserver.log $out/program.log $out/session.log"
  exit 1
}
shot() {
  step=$((step + 1))
  local file
  file=$(printf '%s/%02d-%s.png' "$screens" "$step" "$1")
  timeout 20 import -window root "$file" 2>/dev/null && say "screenshot: $file"
}
source "$(dirname "${BASH_SOURCE[0]}")/wait-for.sh"
# A pixel with the given colour that keeps it for a moment (the pages slide and spring).
pixel_settled() { "$pixels" wait "$1" "$2" "$3" 0.5 && sleep 0.3 && "$pixels" wait "$1" "$2" "$3" 0.2; }
log_has() { grep -qE "$1" "$2"; }

read -r screen_w screen_h < <(xdotool getdisplaygeometry)

# 1. The local deployment, on a free loopback port, with its own data file.
"$build/bin/vocarta-devserver" --port 0 --data "$out/state.json" --print-link-code >"$out/devserver.log" 2>&1 &
started+=($!)
wait_for 20 "link code from the deployment" log_has '^link code: ' "$out/devserver.log"
url=$(sed -nE 's/^vocarta-devserver listening on (http:[^ ]+).*/\1/p' "$out/devserver.log")
code=$(sed -nE 's/^link code: ([A-Z0-9-]+)$/\1/p' "$out/devserver.log")
say "local deployment at $url, link code $code"

# 2. The program, signed out: it opens its sign-in window (this session has no tray).
VOCARTA_DEPLOYMENT_URL=$url VOCARTA_TRAY_WAIT_MS=1000 "$build/bin/vocarta-menubar" >"$out/program.log" 2>&1 &
program_pid=$!
started+=($program_pid)
# xdotool exits on a window that vanishes while it walks the tree (the program
# makes and drops short-lived windows at start-up), and xwininfo without an id
# waits for a mouse click: so both are retried, bounded, and never given an
# empty id.
find_auth_window() {
  local origin
  window=$(timeout 5 xdotool search --onlyvisible --name '^Vocarta Settings$' 2>/dev/null | head -1)
  [ -n "$window" ] || return 1
  origin=$(timeout 5 xwininfo -id "$window" 2>/dev/null) || return 1
  wx=$(sed -nE 's/.*Absolute upper-left X: +([0-9]+).*/\1/p' <<<"$origin")
  wy=$(sed -nE 's/.*Absolute upper-left Y: +([0-9]+).*/\1/p' <<<"$origin")
  [ -n "$wx" ] && [ -n "$wy" ]
}
wait_for 30 "sign-in window" find_auth_window
click_in_window() { xdotool mousemove $((wx + $1)) $((wy + $2)) click 1; }

# 3. The first page's NEXT, then the link-code page.
wait_for 20 "NEXT button" pixel_settled $((wx + 100)) $((wy + 404)) EAD153
shot welcome
click_in_window 210 404
wait_for 20 "link-code page" pixel_settled $((wx + 210)) $((wy + 470)) 312E35
click_in_window 40 132
xdotool type --delay 60 "${code/-/}"
wait_for 20 "CONNECT enabled" pixel_settled $((wx + 100)) $((wy + 194)) EAD153
shot link-code-typed
say "typed the link code into the boxes; pressing CONNECT"
click_in_window 209 194
wait_for 30 "redeemed link code" log_has 'users:redeemMacLinkCode -> 200' "$out/devserver.log"
wait_for 30 "deck list over sync" log_has '>> Transition \(querySet 0->1' "$out/devserver.log"
say "linked; the deck list arrived over the sync connection"

# 4. The recorder under ADD CARD SHORTCUT (the page opened it after linking).
wait_for 20 "shortcut recorder" pixel_settled $((wx + 100)) $((wy + 188)) 413E45
shot linked
click_in_window 209 188
# Recording: the field turns red and takes the keyboard.
wait_for 20 "recorder to start recording" pixel_settled $((wx + 100)) $((wy + 188)) 4A3034
xdotool key ctrl+alt+k
wait_for 20 "recorded shortcut" grep -q shortcutKeyCombo -r "$HOME/.config"
wait_for 20 "recorder to leave recording" pixel_settled $((wx + 100)) $((wy + 188)) 413E45
say "recorded the shortcut Ctrl+Alt+K"
shot shortcut-recorded

# 5. A word selected in another application's text field: a plural, which
# only the installed dictionaries (through its singular) know.
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$build/bin/selection_app" --title "Demo text" \
  --text "Old houses line the river" --select 4,10 >"$out/text-app.log" 2>&1 &
started+=($!)
wait_for 20 "text application with a selection" log_has '^ready' "$out/text-app.log"
say "selected \"houses\" in a text field of another application"
shot selection

# 6. The shortcut: the overlay opens with the word.
card_x=$((screen_w / 2 + 280))
xdotool key ctrl+alt+k
wait_for 20 "overlay" pixel_settled $((screen_w / 2 + 300)) $((screen_h / 2)) 5F35BF
wait_for 20 "active deck" log_has 'decks:getActiveDeck -> 200' "$out/devserver.log"
say "pressed Ctrl+Alt+K: the overlay is open"
shot overlay
xdotool key Return
wait_for 30 "translation" log_has 'ai:translateWord -> 200' "$out/devserver.log"
y=$("$pixels" run $card_x FFFFFF --after 5F35BF 20) || fail "no candidates on the card"
say "$(grep -oE 'ai:translateWord -> 200 success \[[^]]*\]' "$out/devserver.log" | tail -1 | sed 's/.*\[//; s/\]//') offered; picking the first"
shot candidates
xdotool mousemove $((screen_w / 2)) "$y" click 1

# 7. ADD.
y=$("$pixels" run $card_x EAD152 20) || fail "no ADD button"
shot card
xdotool mousemove $((screen_w / 2)) "$y" click 1
wait_for 30 "saved card" log_has 'cards:createCard -> 200' "$out/devserver.log"
wait_for 20 "overlay to close" bash -c "! '$pixels' wait $((screen_w / 2 + 300)) $((screen_h / 2)) 5F35BF 0.1"
shot saved
say "$(grep -oE 'cards:createCard -> 200 success \[[^]]*\]' "$out/devserver.log" | tail -1 | sed 's/.*\[//; s/\]//')"

say "the card as the deployment stored it ($out/state.json):"
"$build/bin/vocarta-devserver" cards --data "$out/state.json"

# 8. Quit the program, then the deployment.
kill "$program_pid"
program_gone() { ! alive "$program_pid"; }
wait_for 20 "program to quit" program_gone
if montage "$screens"/0*.png -tile 3x -geometry 640x400+4+4 "$out/overview.png" 2>/dev/null; then
  say "all steps on one page: $out/overview.png"
fi
say "screenshots in $screens"
say "done"
