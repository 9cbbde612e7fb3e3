#!/usr/bin/env bash
# Takes a screenshot of every phase of the add-card overlay under the current
# display (run inside scripts/with-session with VOCARTA_SESSION_COMPOSITOR=1):
#   tests/overlay/overlay-screenshots.sh <build dir> <output dir>
set -euo pipefail
build=$1
out=$2
mkdir -p "$out"
# The program draws with the software scene graph unless QT_QUICK_BACKEND=rhi.
backend=${QT_QUICK_BACKEND:-software}
# A window behind the overlay, so translucency shows.
xterm_pid=""
if command -v xmessage >/dev/null; then
  xmessage -geometry 900x500+100+100 "A window behind the overlay: the quick brown fox jumps over the lazy dog." &
  xterm_pid=$!
fi
for phase in input loading results selected saving error; do
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  "$build/bin/overlay_preview" "$phase" 20 >"$fifo" &
  pid=$!
  read -r -t 20 line <"$fifo" || true
  rm -f "$fifo"
  import -window root "$out/$phase-$backend.png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
[ -n "$xterm_pid" ] && kill "$xterm_pid" 2>/dev/null || true
