# The cases of the reader suite, shared by its desktops (sourced by
# x11-reader-capture.sh and tests/wayland/sway-capture.sh; the GNOME scenario
# reads the table): a web page in a browser with words selected in it, the
# shortcut's command, and the word that reaches the deployment's
# ai:translateWord.
#
# The sourcing script has `bin`, `work` and the deployment's log in `devlog`,
# and defines the desktop's own steps:
#   reader_key KEY             sends one key (xdotool's key names)
#   reader_page_titled TITLE   the page's window has this title
#   reader_overlay_focused     the overlay is open and has the focus
#   reader_overlay_gone        no overlay is open

# case (the page's fragment) | the page's key that selects it | the word that
# must arrive
reader_rows=(
  "paragraph|1|friend"
  "link|2|book"
  "across|3|old table"
)

reader_page="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/page.html"

# start_reader_browser BROWSER CASE: the page with the case's words selected,
# in Firefox or Chromium, in a profile of its own that asks nothing at its
# first start. Its PID joins `started`.
start_reader_browser() {
  local browser=$1 name=$2
  local profile=$work/$browser-$name
  local url="file://$reader_page#$name"
  mkdir -p "$profile"
  case $browser in
  firefox)
    cp "$(dirname "$reader_page")/firefox-user.js" "$profile/user.js"
    firefox-esr --no-remote --profile "$profile" "$url" >"$work/firefox.log" 2>&1 &
    ;;
  chromium)
    # Chromium builds a page's accessibility tree only where a screen reader
    # asked for it at its start; the flag stands in for one. No sandbox: the
    # test may run as root.
    chromium --no-sandbox --no-first-run --disable-background-networking --disable-component-update \
      --disable-sync --disable-gpu --force-renderer-accessibility ${WAYLAND_DISPLAY:+--ozone-platform=wayland} \
      --user-data-dir="$profile" "$url" >"$work/chromium.log" 2>&1 &
    ;;
  esac
  started+=($!)
  wait_for 90 "page in $browser" reader_page_titled "Reader page: $name selected (1)"
}

# stop_reader_browser: the browser started last ends.
stop_reader_browser() {
  local pid=${started[-1]}
  kill "$pid" 2>/dev/null
  for _ in $(seq 100); do alive "$pid" || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  unset 'started[-1]'
}

translations() { grep -c 'ai:translateWord' "$devlog"; }

# run_reader_rows BROWSER: each case in a page of its own.
run_reader_rows() {
  local browser=$1 row name key word before asked line
  for row in "${reader_rows[@]}"; do
    IFS='|' read -r name key word <<<"$row"
    start_reader_browser "$browser" "$name"
    # shellcheck disable=SC2086 # one argument per word
    wait_for 30 "the $name case's words selected on the accessibility bus" \
      /usr/bin/python3 "$(dirname "$reader_page")/selection-exposed.py" $word
    before=$(translations)
    "$bin/vocarta-menubar" --capture
    wait_for 30 "overlay for the $name case" reader_overlay_focused
    # A key that arrives while the overlay is still busy changes nothing:
    # Return is pressed again (bounded) until the deployment is asked.
    asked=0
    for _ in $(seq 40); do
      reader_key Return
      for _ in $(seq 5); do
        [ "$(translations)" -gt "$before" ] && asked=1 && break 2
        sleep 0.1
      done
    done
    [ $asked = 1 ] || fail "$browser, the $name case: no translation asked for"
    line=$(grep 'ai:translateWord' "$devlog" | tail -n 1)
    grep -qF "for \"$word\"" <<<"$line" ||
      fail "$browser, the $name case: expected \"$word\" at the deployment, got: $line"
    say "$browser, $name: \"$word\" reached the deployment"
    reader_key Escape
    wait_for 30 "overlay to close after the $name case" reader_overlay_gone
    stop_reader_browser
  done
}
