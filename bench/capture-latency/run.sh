#!/usr/bin/env bash
# Prints the capture-latency figures for both scene graphs:
#   scripts/with-session bench/capture-latency/run.sh [build dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-40}
echo "== OpenGL (RHI) =="
"$build/bin/bench_capture_latency" "$runs"
echo "== software =="
QT_QUICK_BACKEND=software "$build/bin/bench_capture_latency" "$runs"
