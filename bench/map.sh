#!/usr/bin/env bash
# Map panel and G-sensor graph benchmark, run on demand (never from ctest).
# Under xvfb-run with the real map page in QtWebEngine (tiles off) it reports
# medians of:
#   - DrawPath of a 3,600-sample track until the route is drawn, with the
#     number of script evaluations, beside one evaluation per page call
#     (goal: under 300 ms; the reference takes about 40 s a run, so it runs
#     at most three times);
#   - the longest event-loop stall while a 36,000-sample track is sent
#     (goal: under 200 ms);
#   - building the G-sensor graph picture of 3,600 samples;
#   - the G-sensor cursor redraw per playback tick beside a full panel
#     rebuild (goal: under 2 ms).
#
# Usage: bench/map.sh [BUILD_DIR]   (default: build; builds bench_map)
# Env:   RUNS=15
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
RUNS=${RUNS:-15}
BIN=$BUILD/bench/map/bench_map

cmake --build "$BUILD" --target bench_map >/dev/null 2>&1 || cmake --build "$BUILD" --target bench_map
command -v xvfb-run >/dev/null || { echo "map.sh: xvfb-run is missing (scripts/deps.sh installs it)" >&2; exit 2; }
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1920x1080x24" "$BIN" --runs "$RUNS" 2>/dev/null
