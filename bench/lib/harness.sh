# The scaffolding of a benchmark script: a work folder for its logs, the
# processes it starts (append their PIDs to `started`; they end in reverse
# order on exit), fail (shows the logs' tails) and wait_for. Source it with
# `bench` set to the benchmark's name; BENCH_KEEP=1 keeps the logs. Ends
# the script unless it runs inside scripts/with-session.
if [ -z "${DISPLAY:-}" ] || [ -z "${VOCARTA_SESSION_ROOT:-}" ]; then
  echo "run inside scripts/with-session" >&2
  exit 2
fi
work=$(mktemp -d "/tmp/$bench.XXXXXX")
started=()
finish() {
  local rc=$?
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null
    wait "${started[i]}" 2>/dev/null
  done
  if [ -n "${BENCH_KEEP:-}" ]; then echo "logs kept in $work" >&2; else rm -rf "$work"; fi
  exit $rc
}
trap finish EXIT
fail() { echo "$bench: $*" >&2; for f in "$work"/*.log; do echo "== $f" >&2; tail -20 "$f" >&2; done; exit 1; }
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wait-for.sh"
