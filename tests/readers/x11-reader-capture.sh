#!/usr/bin/env bash
# Words selected in a web page reach the deployment, on X11: Firefox, then
# Chromium, shows a page whose text sits in paragraphs and links below the focused document,
# the shortcut's command opens the overlay, Return asks for the translation.
# Runs on the test session's display, on a bus of its own (its own keyring and
# accessibility bus), so the session it signs in stays its own. Exits 77
# (skipped) only when a package is missing, and not under CI.
#
#   VOCARTA_BUILD_DIR         the build (bin/ holds the programs)
#   VOCARTA_READER_TEST_DIR   where the logs of the last run are kept
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${VOCARTA_BUILD_DIR:?}
logs=${VOCARTA_READER_TEST_DIR:-$build/tests/readers/session}
desktop_tag=x11-reader
source "$here/../desktop/session.sh"

missing=()
for tool in firefox-esr chromium xdotool dbus-run-session gnome-keyring-daemon gdbus; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
skip_when_missing "scripts/setup installs firefox-esr and chromium"
[ -n "${DISPLAY:-}" ] || { echo "FAILED: no display (run it through scripts/with-session)"; exit 1; }

if [ "${1:-}" = "--inner" ]; then
  work=$2
  bin=$build/bin
  devlog=$work/devserver.log
  end_session_on_exit
  fail() { fail_with_logs "$work" "$@"; }
  log_has() { grep -qE "$1" "$2"; }
  active_name() { xdotool getactivewindow getwindowname 2>/dev/null; }
  reader_key() { xdotool key --clearmodifiers "$1"; }
  reader_page_titled() { [[ "$(active_name)" == "$1"* ]]; }
  reader_overlay_focused() { [ "$(active_name)" = "Add card" ]; }
  reader_overlay_gone() { ! xdotool search --onlyvisible --name '^Add card$' >/dev/null 2>&1; }
  source "$here/reader-rows.sh"

  unlock_keyring_and_accessibility vocarta-reader-pw

  start_signed_in_deployment "$bin" "$work"

  QT_QPA_PLATFORM=xcb VOCARTA_TRAY_WAIT_MS=0 "$bin/vocarta-menubar" >"$work/program.log" 2>&1 &
  started+=($!)
  wait_for 60 "program on the bus" has_name me.brindlefox.vocarta.menubar
  wait_for 30 "start-up refresh" log_has 'auth:signIn .*-> 200' "$devlog"

  for browser in firefox chromium; do
    run_reader_rows "$browser"
  done
  exit 0
fi

work=$(mktemp -d /tmp/vocarta-reader.XXXXXX)
cleanup() {
  rm -rf "$logs"
  mkdir -p "$logs"
  cp "$work"/*.log "$logs"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home"
private_bus_config "$work" "${bus_services[@]}"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
  XDG_CACHE_HOME=$work/home/.cache XDG_STATE_HOME=$work/home/.local/state \
  dbus-run-session --config-file="$work/bus.conf" -- bash "$0" --inner "$work"
