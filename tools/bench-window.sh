#!/usr/bin/env bash
# Start-up figures of the window against the floor program (bench/bench_window.cpp),
# under a virtual X display and at the lowest priority:
#   tools/bench-window.sh [BUILD_DIR] [benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
cmake --build "$build" --target bench_window
exec xvfb-run -a -s '-screen 0 1280x1000x24' nice -n 19 "$build/bench/bench_window" "$@"
