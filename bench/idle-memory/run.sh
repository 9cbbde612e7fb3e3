#!/usr/bin/env bash
# Where the program's idle memory goes: signed in against the local
# deployment, sync connected, no window open. Prints the resident set by kind
# (heap, other anonymous memory, shared memory, mapped files) at start and
# again after the overlay has been opened and dismissed a few times, next to
# the floor measured in the same session: a bare pre-created Qt Quick window
# (software scene graph) that has been shown once and hidden. Then the
# mappings that hold the most, and where the program holds more than the floor.
#   scripts/with-session bench/idle-memory/run.sh [build dir] [openings]
# IDLE_MEMORY_PROGRAM=path measures another build of the program (e.g. main's).
# IDLE_MEMORY_FILES=n lists n mappings (default 12).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
openings=${2:-3}
files=${IDLE_MEMORY_FILES:-12}
bench=idle-memory
. "$root/bench/lib/harness.sh"
PROGRAM=${IDLE_MEMORY_PROGRAM:-}
. "$root/bench/lib/signed-in-program.sh"

# The floor, on Ctrl+Alt+J.
"$build/bin/bench_floor_window" >"$work/floor.log" 2>&1 &
floor=$!
started+=($floor)
wait_for 30 "floor window" grep -q '^ready' "$work/floor.log"
floor_shown() { xdotool search --onlyvisible --name '^Floor window$' >/dev/null 2>&1; }
floor_hidden() { ! floor_shown; }
xdotool key ctrl+alt+j
wait_for 20 "floor window shown" floor_shown
sleep 1
xdotool key Escape
wait_for 20 "floor window hidden" floor_hidden

# Rss by mapping name (KB), one "name<TAB>kb" a line.
by_mapping() { # SMAPS
  awk '
    /^[0-9a-f]+-[0-9a-f]+ / {
      name = $6
      for (i = 7; i <= NF; i++) name = name " " $i
      if (name == "") name = "[anon]"
      next
    }
    /^Rss:/ { rss[name] += $2 }
    END { for (n in rss) printf "%s\t%d\n", n, rss[n] }' "$1"
}

# One table row (MB): total, PSS, heap, other anonymous (thread arenas and
# stacks, the JavaScript heap), shared memory (X shared-memory images), files.
row() { # LABEL SMAPS
  awk -v label="$1" '
    /^[0-9a-f]+-[0-9a-f]+ / {
      name = $6
      for (i = 7; i <= NF; i++) name = name " " $i
      kind = name == "[heap]" ? "heap" : name ~ /^\/memfd:xorg|^\/dev\/shm|^\/SYSV/ ? "shm" \
        : name == "" || name ~ /^\[|^\/memfd:/ ? "anon" : "file"
      next
    }
    /^Rss:/ { rss[kind] += $2; total += $2 }
    /^Pss:/ { pss += $2 }
    END {
      printf "| %s | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f |\n", label, total / 1024, pss / 1024,
        rss["heap"] / 1024, rss["anon"] / 1024, rss["shm"] / 1024, rss["file"] / 1024
    }' "$2"
}

snapshot() { # TAG
  cp "/proc/$program/smaps" "$work/program-$1.smaps"
  cp "/proc/$floor/smaps" "$work/floor-$1.smaps"
  ls "/proc/$program/task" | wc -l >"$work/program-$1.threads"
  ls "/proc/$floor/task" | wc -l >"$work/floor-$1.threads"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
echo
# The program gives memory back 30 s after its warm-up and after each closing.
sleep 30
snapshot start
for ((i = 0; i < openings; i++)); do
  open_and_dismiss_overlay
done
sleep 32
snapshot opened
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) at the end"
echo
echo "| idle, MB | RSS | PSS | heap | other anonymous | shared memory | mapped files |"
echo "|---|---|---|---|---|---|---|"
row "program, after start" "$work/program-start.smaps"
row "program, after $openings openings" "$work/program-opened.smaps"
row "bare window (floor), same run" "$work/floor-start.smaps"
echo
echo "threads: program $(cat "$work/program-start.threads"), floor $(cat "$work/floor-start.threads")"
echo
echo "Mappings with the most resident memory, program after start (MB):"
by_mapping "$work/program-start.smaps" | sort -t$'\t' -k2,2nr | head -"$files" |
  awk -F'\t' '{ printf "    %6.1f  %s\n", $2 / 1024, $1 }'
echo
echo "Where the program holds more than the floor, after start (MB; program, floor):"
by_mapping "$work/program-start.smaps" | sort >"$work/program.map"
by_mapping "$work/floor-start.smaps" | sort >"$work/floor.map"
join -t$'\t' -a1 -a2 -e0 -o0,1.2,2.2 "$work/program.map" "$work/floor.map" |
  awk -F'\t' '{ printf "%d\t%d\t%d\t%s\n", $2 - $3, $2, $3, $1 }' | sort -t$'\t' -k1,1nr | head -"$files" |
  awk -F'\t' '{ printf "    %+6.1f  %5.1f %5.1f  %s\n", $1 / 1024, $2 / 1024, $3 / 1024, $4 }'
