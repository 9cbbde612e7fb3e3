#!/usr/bin/env bash
# Every translation is complete and current: lupdate over the sources finds
# nothing new, unfinished or gone in translations/*.ts, and lrelease compiles
# every text of each file.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(qtpaths6 --query QT_HOST_BINS 2>/dev/null || echo /usr/lib/qt6/bin)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for ts in "$root"/translations/vocarta_*.ts; do
  name=$(basename "$ts")
  cp "$ts" "$work/$name"
  options=(-no-obsolete -locations none)
  [ "$name" = vocarta_en.ts ] && options+=(-pluralonly)
  "$bin/lupdate" "$root/src" -extensions cpp,h,qml "${options[@]}" -ts "$work/$name" >/dev/null 2>&1
  if ! diff -q "$ts" "$work/$name" >/dev/null; then
    echo "FAILED: $name is out of date with the sources (run the update_translations target):"
    diff "$ts" "$work/$name" | head -20
    status=1
  fi
  if grep -qE 'type="(unfinished|obsolete|vanished)"' "$work/$name"; then
    echo "FAILED: $name has unfinished or obsolete entries"
    status=1
  fi
  "$bin/lrelease" "$work/$name" -qm "$work/${name%.ts}.qm" | grep -E 'Generated' | sed "s/^ */$name: /"
done
exit $status
