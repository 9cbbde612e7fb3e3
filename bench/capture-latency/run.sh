#!/usr/bin/env bash
# Prints the capture-latency figures for both scene graphs:
#   scripts/with-session bench/capture-latency/run.sh [build dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-40}
echo "== program default (software scene graph) =="
"$build/bin/bench_capture_latency" "$runs"
echo "== OpenGL through the RHI =="
QT_QUICK_BACKEND=rhi "$build/bin/bench_capture_latency" "$runs"
# Each in a session of its own: the switch happens once per X server.
echo "== first key of a fresh session (XTest switches the core keyboard first) =="
root=$(cd "$(dirname "$0")/../.." && pwd)
for _ in 1 2 3; do
  "$root/scripts/with-session" "$build/bin/bench_capture_latency" 1 --cold-keyboard 2>/dev/null | grep 'first trigger'
done
