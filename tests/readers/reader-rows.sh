# The cases of the reader suite, shared by its desktops (sourced by
# x11-reader-capture.sh and tests/wayland/sway-capture.sh; the GNOME scenario
# reads the table): a web page in
# Firefox with words selected in it, the shortcut's command, and the word that
# reaches the deployment's ai:translateWord.
#
# The sourcing script has `bin`, `work` and the deployment's log in `devlog`,
# and defines the desktop's own steps:
#   reader_focus_page          gives the page's window the keyboard focus
#   reader_key KEY             sends one key (xdotool's key names)
#   reader_page_titled TITLE   the page's window has this title
#   reader_overlay_focused     the overlay is open and has the focus
#   reader_overlay_gone        no overlay is open

# case | the page's key that selects it | the word that must arrive
reader_rows=(
  "paragraph|1|friend"
  "link|2|book"
  "across|3|old table"
)

reader_page="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/page.html"

# start_reader_browser: Firefox with the page, in a profile of its own that
# asks nothing at its first start. Its PID joins `started`.
start_reader_browser() {
  local profile=$work/firefox-profile
  mkdir -p "$profile"
  cp "$(dirname "$reader_page")/firefox-user.js" "$profile/user.js"
  firefox-esr --no-remote --profile "$profile" "file://$reader_page#paragraph" >"$work/firefox.log" 2>&1 &
  started+=($!)
  wait_for 90 "page in Firefox" reader_page_titled "Reader page: paragraph selected (1)"
}

translations() { grep -c 'ai:translateWord' "$devlog"; }

run_reader_rows() {
  local row name key word selections=1 before
  for row in "${reader_rows[@]}"; do
    IFS='|' read -r name key word <<<"$row"
    reader_focus_page
    reader_key "$key"
    selections=$((selections + 1))
    wait_for 30 "page: $name selected" reader_page_titled "Reader page: $name selected ($selections)"
    before=$(translations)
    "$bin/vocarta-menubar" --capture
    wait_for 30 "overlay for the $name case" reader_overlay_focused
    # A key that arrives while the overlay is still busy changes nothing:
    # Return is pressed again (bounded) until the deployment is asked.
    local asked=0
    for _ in $(seq 40); do
      reader_key Return
      for _ in $(seq 5); do
        [ "$(translations)" -gt "$before" ] && asked=1 && break 2
        sleep 0.1
      done
    done
    [ $asked = 1 ] || fail "the $name case: no translation asked for"
    local line
    line=$(grep 'ai:translateWord' "$devlog" | tail -n 1)
    grep -qF "for \"$word\"" <<<"$line" ||
      fail "the $name case: expected \"$word\" at the deployment, got: $line"
    say "$name: \"$word\" reached the deployment"
    reader_key Escape
    wait_for 30 "overlay to close after the $name case" reader_overlay_gone
  done
}
