#!/usr/bin/env bash
# Where the program's idle memory goes: signed in against the local
# deployment, sync connected, no window open. Prints the resident set by kind
# (heap, other anonymous memory, shared memory, mapped files) and the mapped
# files that hold the most, at start and again after the overlay has been
# opened and dismissed a few times.
#   scripts/with-session bench/idle-memory/run.sh [build dir] [openings]
# IDLE_MEMORY_PROGRAM=path measures another build of the program (e.g. main's).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
openings=${2:-3}
if [ -z "${DISPLAY:-}" ] || [ -z "${VOCARTA_SESSION_ROOT:-}" ]; then
  echo "run inside scripts/with-session" >&2
  exit 2
fi
bench=idle-memory
. "$root/bench/lib/harness.sh"
PROGRAM=${IDLE_MEMORY_PROGRAM:-}
. "$root/bench/lib/signed-in-program.sh"

# One line of figures (MB) from smaps: total, heap, other anonymous, shared
# memory, mapped files; then the files holding the most.
report() { # LABEL
  cp "/proc/$program/smaps" "$work/smaps"
  awk -v label="$1" '
    /^[0-9a-f]+-[0-9a-f]+ / {
      name = $6
      for (i = 7; i <= NF; i++) name = name " " $i
      kind = name == "[heap]" ? "heap" : name == "" || name ~ /^\[/ ? "anon" : "file"
      next
    }
    /^Rss:/ {
      rss[kind] += $2; total += $2
      if (kind == "file") byFile[name] += $2
    }
    /^Pss:/ { pss += $2 }
    /^Shared_Clean:|^Shared_Dirty:/ { if (kind == "file") shared += $2 }
    END {
      printf "| %s | %.1f | %.1f | %.1f | %.1f | %.1f |\n", label, total / 1024, pss / 1024,
        rss["heap"] / 1024, rss["anon"] / 1024, rss["file"] / 1024
      for (f in byFile) printf "%d %s\n", byFile[f], f > "/dev/stderr"
    }' "$work/smaps" 2>"$work/files"
  sort -rn "$work/files" | head -${IDLE_MEMORY_FILES:-12} |
    awk '{ printf "    %6.1f  %s\n", $1 / 1024, $2 }' >>"$work/top-files.txt"
  echo "  $1:" >>"$work/top-files.txt.labels"
}

overlay_focused() { [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = "Add card" ]; }
overlay_hidden() { ! xdotool search --onlyvisible --name '^Add card$' >/dev/null 2>&1; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
echo
echo "| program idle, MB | RSS | PSS | heap | other anonymous | mapped files |"
echo "|---|---|---|---|---|---|"
# The program gives memory back 30 s after its warm-up and after each closing.
sleep 30
report "after start" 2>/dev/null
echo "after start (MB of RSS):" >"$work/files-report.txt"
cat "$work/top-files.txt" >>"$work/files-report.txt"
: >"$work/top-files.txt"
for ((i = 0; i < openings; i++)); do
  xdotool key ctrl+alt+k
  wait_for 20 "overlay with the focus" overlay_focused
  sleep 1
  xdotool key Escape
  wait_for 20 "overlay dismissed" overlay_hidden
done
sleep 32
report "after $openings openings" 2>/dev/null
echo "after $openings openings:" >>"$work/files-report.txt"
cat "$work/top-files.txt" >>"$work/files-report.txt"
echo
echo "Mapped files with the most resident memory:"
cat "$work/files-report.txt"
