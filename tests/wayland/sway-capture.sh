#!/usr/bin/env bash
# The main job on a real Wayland compositor. sway 1.7 runs headless with a
# throwaway configuration that binds Ctrl+Alt+K to `vocarta-menubar --capture`;
# the program runs as a Wayland client against the local deployment with a
# session signed in beforehand; another Wayland application has a word
# selected; the keys come from wtype. sway's own window tree (swaymsg -t
# get_tree) must show the overlay full screen and focused, and the card that
# Return, Down, Return, Return saves must carry the selected word.
#
# sway refuses to run as root, so as root the whole session runs as an
# unprivileged user (created once, without a home or a login shell) on a
# private session bus. Every wait is bounded; everything started is ended by
# PID. Exits 77 (skipped) only when a package is missing, and not under CI.
#
#   VOCARTA_BUILD_DIR         the build (bin/ holds the programs)
#   VOCARTA_WAYLAND_TEST_DIR  where the logs of the last run are kept
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${VOCARTA_BUILD_DIR:?}
logs=${VOCARTA_WAYLAND_TEST_DIR:-$build/tests/wayland/session}
test_user=vocarta-wayland-test
export PATH=$PATH:/usr/sbin:/sbin
desktop_tag=wayland
source "$here/../desktop/session.sh"

missing=()
tools=(sway swaymsg wtype dbus-run-session gnome-keyring-daemon gdbus python3)
[ "$(id -u)" -eq 0 ] && tools+=(runuser useradd)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
need_qt_wayland
skip_when_missing "scripts/setup installs sway, wtype and qt6-wayland"

# The inner half: runs as the session's user, on the private bus.
if [ "${1:-}" = "--inner" ]; then
  work=$2
  bin=$work/bin
  end_session_on_exit
  fail() {
    swaymsg -t get_tree >"$work/tree-at-failure.json" 2>/dev/null
    fail_with_logs "$work" "$@"
  }
  log_has() { grep -qE "$1" "$2"; }
  # tree_has FILTER: a view in sway's tree for which the Python expression
  # FILTER (over the node n) holds.
  tree_has() {
    swaymsg -t get_tree | python3 -c '
import json, sys
want = sys.argv[1]
def views(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from views(c)
sys.exit(0 if any(eval(want, {}, {"n": n}) for n in views(json.load(sys.stdin)) if n.get("type") in ("con", "floating_con") and n.get("pid")) else 1)
' "$1"
  }

  unset DISPLAY WAYLAND_DISPLAY SWAYSOCK

  unlock_keyring_and_accessibility vocarta-wayland-pw

  # 1. The local deployment, and a session signed in with one of its link codes.
  start_signed_in_deployment "$bin" "$work"
  say "signed in against $VOCARTA_DEPLOYMENT_URL"

  # 2. sway, headless, with the binding a user would add.
  cat >"$work/sway.cfg" <<CFG
output HEADLESS-1 resolution 1280x800
xwayland disable
focus_on_window_activation focus
bindsym Ctrl+Alt+k exec $bin/vocarta-menubar --capture
CFG
  export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
  # Quick's software renderer: sway's pixman renderer offers no GL buffers.
  export QT_QPA_PLATFORM=wayland QT_QUICK_BACKEND=software VOCARTA_TRAY_WAIT_MS=0
  sway -c "$work/sway.cfg" >"$work/sway.log" 2>&1 &
  started+=($!)
  socket() { ls "$XDG_RUNTIME_DIR" | grep -qE '^wayland-[0-9]+$' && ls "$XDG_RUNTIME_DIR" | grep -q '^sway-ipc'; }
  wait_for 30 "sway's sockets" socket
  export WAYLAND_DISPLAY=$(ls "$XDG_RUNTIME_DIR" | grep -E '^wayland-[0-9]+$' | head -1)
  export SWAYSOCK=$XDG_RUNTIME_DIR/$(ls "$XDG_RUNTIME_DIR" | grep '^sway-ipc' | head -1)
  wait_for 30 "sway answering" swaymsg -t get_version
  # A keyboard that stays, as on any desktop: without one the seat has no
  # keyboard between two wtype runs, and every client loses its focus.
  wtype -s 3600000 &
  started+=($!)
  say "sway $(swaymsg -t get_version | python3 -c 'import json,sys; print(json.load(sys.stdin)["human_readable"])') on $WAYLAND_DISPLAY"

  # 3. The program, signed in. This sway has no tray: the program says so and
  # keeps its settings window open instead.
  "$bin/vocarta-menubar" >"$work/program.log" 2>&1 &
  started+=($!)
  wait_for 60 "program on the bus" has_name me.brindlefox.vocarta.menubar
  wait_for 60 "program's settings window" tree_has 'n.get("name") == "Vocarta Settings"'
  wait_for 30 "start-up refresh" log_has 'auth:signIn .*-> 200' "$work/devserver.log"

  # 4. Another Wayland application with "friend" selected in a focused field.
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$bin/selection_app" --title "Wayland text" \
    --text "My friend reads a book every evening" --select 3,9 >"$work/text-app.log" 2>&1 &
  started+=($!)
  wait_for 30 "text application in front" tree_has 'n.get("name") == "Wayland text" and n.get("focused")'
  wait_for 30 "text application ready" log_has '^ready' "$work/text-app.log"
  say "\"friend\" selected in another Wayland application"

  # 5. The bound key: the overlay, full screen on the output, with the keyboard.
  wtype -M ctrl -M alt k -m alt -m ctrl
  overlay='n.get("name") == "Add card" and n.get("fullscreen_mode") == 1 and n.get("focused") and n["rect"]["width"] == 1280 and n["rect"]["height"] == 800'
  wait_for 30 "full-screen focused overlay" tree_has "$overlay"
  wait_for 30 "active deck" log_has 'decks:getActiveDeck -> 200' "$work/devserver.log"
  say "Ctrl+Alt+K: the overlay is full screen and focused"

  # 6. From the keyboard alone: translate, first candidate, ADD. A key that
  # arrives while the overlay is still busy changes nothing, so each step is
  # pressed again (bounded) until the deployment sees its request.
  presses_until() {
    local what=$1 pattern=$2
    shift 2
    for _ in $(seq 40); do
      for key in "$@"; do wtype -k "$key"; done
      for _ in $(seq 5); do
        log_has "$pattern" "$work/devserver.log" && return 0
        sleep 0.1
      done
    done
    fail "no $what after pressing $* repeatedly"
  }
  presses_until "translation" 'ai:translateWord -> 200' Return
  presses_until "saved card" 'cards:createCard -> 200' Down Return Return
  no_overlay() { ! tree_has 'n.get("name") == "Add card"'; }
  wait_for 30 "overlay to close" no_overlay
  cards=$("$bin/vocarta-devserver" cards --data "$work/state.json")
  echo "$cards"
  grep -q '"translation": "friend"' <<<"$cards" || fail "the saved card does not carry the selected word"
  say "the card reached the deployment with the selected word"

  # 7. Where people read: words selected in a web page, in Firefox as a
  # native Wayland client (the reader suite's rows).
  if command -v firefox-esr >/dev/null 2>&1; then
    devlog=$work/devserver.log
    reader_key() { wtype -k "$1"; }
    reader_page_titled() { tree_has "(n.get('name') or '').startswith('$1') and n.get('focused')"; }
    reader_overlay_focused() { tree_has "$overlay"; }
    reader_overlay_gone() { no_overlay; }
    source "$work/tests/readers/reader-rows.sh"
    export MOZ_ENABLE_WAYLAND=1
    run_reader_rows firefox
  elif [ "${CI:-}" = true ]; then
    fail "firefox-esr is missing although scripts/setup installs it"
  fi
  exit 0
fi

# The outer half: a private copy of the programs the session's user can run,
# then the session on a bus of its own.
work=$(mktemp -d /tmp/vocarta-wayland.XXXXXX)
runner_pid=""
cleanup() {
  if [ -n "$runner_pid" ]; then
    kill "$runner_pid" 2>/dev/null
    wait "$runner_pid" 2>/dev/null
  fi
  rm -rf "$logs"
  mkdir -p "$logs"
  cp "$work"/*.log "$work"/*.json "$logs"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
mkdir -p "$work/bin" "$work/home" "$work/run"
chmod 755 "$work"
chmod 700 "$work/run"
for program in vocarta-menubar vocarta-devserver selection_app wayland_seed_session; do
  if [ ! -x "$build/bin/$program" ]; then
    echo "FAILED: $build/bin/$program is not built"
    exit 1
  fi
  cp "$build/bin/$program" "$work/bin/"
done
# The command in bin is the launcher; it starts the program from the same
# place relative to it as in the build tree, and the program takes the
# bundle from beside itself.
mkdir -p "$work/libexec/vocarta-menubar"
cp "$build/libexec/vocarta-menubar/vocarta-menubar" "$build/libexec/vocarta-menubar/vocarta-secret-helper" \
  "$work/libexec/vocarta-menubar/"
cp -r "$build/bin/VocartaMenubar_VocartaMenubar.bundle" "$work/bin/"
# The script and what it sources, in the same places relative to each other.
mkdir -p "$work/tests/wayland" "$work/tests/desktop" "$work/scripts/lib"
cp "$0" "$work/tests/wayland/sway-capture.sh"
mkdir -p "$work/tests/readers"
cp "$here/../readers/reader-rows.sh" "$here/../readers/page.html" "$here/../readers/firefox-user.js" \
  "$here/../readers/selection-exposed.py" "$work/tests/readers/"
cp "$here/../desktop/session.sh" "$work/tests/desktop/session.sh"
cp "$here/../../scripts/lib/wait-for.sh" "$work/scripts/lib/wait-for.sh"
cp -r "$build/bin/VocartaMenubar_VocartaMenubar.bundle" "$work/libexec/vocarta-menubar/"

run_as=()
if [ "$(id -u)" -eq 0 ]; then
  if ! id "$test_user" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$test_user" ||
      { echo "FAILED: could not create the user $test_user"; exit 1; }
  fi
  chown -R "$test_user:" "$work"
  run_as=(runuser -u "$test_user" --)
fi

# A clean environment: nothing of the caller's display, bus or session.
# Set before the bus starts: the services it starts (keyring, dconf, the
# accessibility bus) inherit them.
home=$work/home
"${run_as[@]}" env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 VOCARTA_BUILD_DIR="$build" \
  HOME="$home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" XDG_CURRENT_DESKTOP=sway \
  XDG_SESSION_TYPE=wayland dbus-run-session -- bash "$work/tests/wayland/sway-capture.sh" --inner "$work" &
runner_pid=$!
wait "$runner_pid"
rc=$?
runner_pid=""
exit $rc
