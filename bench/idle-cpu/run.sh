#!/usr/bin/env bash
# What the program does while nobody uses it: signed in against the local
# deployment, sync connected, no window open, after the tidy-up that follows
# the start. Prints the CPU time it takes over a measured stretch and, per
# thread, how often it was woken (context switches). With openings, the
# overlay is first opened (Ctrl+Alt+K) and dismissed that many times, as a
# person adding cards leaves it; with IDLE_CPU_APPS=1 a GTK 3 and a Qt
# application, each with a word selected, are running and in front in turn
# at the openings, and stay open (idle, focused) while it is measured; with
# IDLE_CPU_WINDOWS=1 the program's own windows (sign-in, settings) are opened
# and closed (Alt+F4) first, as after a sign-in or a change of settings. A
# bare Qt GUI client on the same deployment (bench_bare_sync_client) is measured
# over the same stretch, as the floor. With
# IDLE_CPU_STRACE=1,
# also the system calls of that stretch that end a wait, grouped by thread
# (strace slows the process down: the CPU figure is then not comparable).
#   scripts/with-session bench/idle-cpu/run.sh [build dir] [seconds] [openings]
# IDLE_CPU_PROGRAM=path measures another build of the program (e.g. main's).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-60}
openings=${3:-0}
bench=idle-cpu
. "$root/bench/lib/harness.sh"
PROGRAM=${IDLE_CPU_PROGRAM:-}
. "$root/bench/lib/signed-in-program.sh"

# One "tid<TAB>name<TAB>switches" a line.
switches() {
  for task in /proc/"$1"/task/*; do
    printf '%s\t%s\t%s\n' "${task##*/}" "$(cat "$task/comm")" \
      "$(awk '/ctxt_switches/ { n += $2 } END { print n }' "$task/status")"
  done 2>/dev/null | sort
}

front=()
if [ -n "${IDLE_CPU_APPS:-}" ]; then
  # Their standard input stays open and silent.
  mkfifo "$work/apps.in"
  exec 7<>"$work/apps.in"
  /usr/bin/python3 "$root/tests/capture/gtk_selection_app.py" --title "GTK words" --text "a house by the sea" \
    --select 2,7 <&7 >"$work/gtk.log" 2>&1 &
  started+=($!)
  wait_for 30 "GTK application" grep -q '^ready' "$work/gtk.log"
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$build/bin/selection_app" --title "Qt words" --text "a house by the sea" \
    --select 2,7 <&7 >"$work/qt.log" 2>&1 &
  started+=($!)
  wait_for 30 "Qt application" grep -q '^ready' "$work/qt.log"
  front=("GTK words" "Qt words")
fi

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
for ((i = 0; i < openings; i++)); do
  if [ ${#front[@]} -gt 0 ]; then
    xdotool search --name "^${front[i % ${#front[@]}]}\$" windowactivate --sync >/dev/null 2>&1
  fi
  open_and_dismiss_overlay
done
window_shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
window_gone() { ! window_shown "$1"; }
if [ -n "${IDLE_CPU_WINDOWS:-}" ]; then
  for request in "" --preferences; do
    title="Vocarta Settings"
    [ -n "$request" ] && title="Vocarta Menubar Settings"
    "${PROGRAM:-$build/bin/vocarta-menubar}" $request >>"$work/second.log" 2>&1
    wait_for 20 "window \"$title\"" window_shown "$title"
    sleep 2
    close_window() {
      xdotool search --onlyvisible --name "^$1\$" windowactivate --sync >/dev/null 2>&1
      xdotool key alt+F4
      sleep 0.5
      window_gone "$1"
    }
    wait_for 20 "window \"$title\" closed" close_window "$title"
  done
fi
# The floor: a bare client on the same deployment, measured over the same stretch.
"$build/bin/bench_bare_sync_client" "$url" >"$work/bare.log" 2>&1 &
bare=$!
started+=($bare)
wait_for 20 "bare client connected" grep -q '^connected' "$work/bare.log"
# The program gives memory back 30 s after its warm-up and after each closing.
sleep "${IDLE_CPU_SETTLE:-32}"
switches $program >"$work/before"
before=$(cpu_ticks $program)
bare_before=$(cpu_ticks $bare)
ns_before=$(cpu_ns $program)
bare_ns_before=$(cpu_ns $bare)
if [ -n "${IDLE_CPU_STRACE:-}" ]; then
  strace -f -tt -o "$work/strace" -p $program 2>/dev/null &
  tracer=$!
  started+=($tracer)
fi
sleep "$seconds"
after=$(cpu_ticks $program)
bare_after=$(cpu_ticks $bare)
ns_after=$(cpu_ns $program)
bare_ns_after=$(cpu_ns $bare)
switches $program >"$work/after"
hz=$(getconf CLK_TCK)
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) at the end"
echo
ms() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }
echo "program idle CPU over $seconds s: $((after - before)) ticks," \
  "$(awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", t / hz / s * 100 }') %," \
  "$(ms $((ns_after - ns_before))) ms on a CPU"
echo "floor, a bare Qt GUI client on the same sync connection: $((bare_after - bare_before)) ticks," \
  "$(awk -v t=$((bare_after - bare_before)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", t / hz / s * 100 }') %," \
  "$(ms $((bare_ns_after - bare_ns_before))) ms on a CPU"
echo "wake-ups (context switches) over $seconds s by thread:"
join -t$'\t' "$work/before" "$work/after" |
  awk -F'\t' '{ n = $5 - $3; total += n; if (n > 0) printf "    %6d  %s (%s)\n", n, $2, $1 } END { printf "    %6d  in all\n", total }'
if [ -n "${IDLE_CPU_STRACE:-}" ]; then
  kill $tracer 2>/dev/null
  wait $tracer 2>/dev/null
  echo
  echo "system calls that return from a wait, by thread (count, call):"
  awk '$3 ~ /^(poll|ppoll|epoll_wait|futex|select|pselect6)\(/ || $3 ~ /^<\.\.\./ { print }' "$work/strace" |
    awk '{ call = $3; sub(/\(.*/, "", call); if (call == "<...") { call = $4 } print $1 "\t" call }' |
    sort | uniq -c | sort -k2,2n -k1,1nr | awk '{ printf "    %6d  %s %s\n", $1, $2, $3 }'
  cp "$work/strace" "${IDLE_CPU_STRACE_OUT:-/tmp/idle-cpu.strace}"
  echo "full trace: ${IDLE_CPU_STRACE_OUT:-/tmp/idle-cpu.strace}"
fi
