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
