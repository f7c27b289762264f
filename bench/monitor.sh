#!/usr/bin/env bash
# Folder monitor benchmark, run on demand (never from ctest). Needs root: the
# cards are tmpfs mounts made and pulled by the benchmark.
#
# Reports, through the application (bench_monitor, offscreen):
#   - the start of the watch on a card of 2,000 recordings in 100 folders,
#     beside the library build it follows, and the watch's resident memory;
#   - 10,000 recordings written into the watched tree by another process: the
#     application's CPU time and its library updates per 1.0 s latency period
#     (goal: at most one);
#   - from a lazy unmount of a card whose recording is still open to the
#     playlist rebuilt, median of RUNS, beside the kernel's own notice of the
#     change (poll on /proc/self/mountinfo), and the ratio to notice + latency
#     (goal: under 1.5 s).
#
# Usage: bench/monitor.sh [BUILD_DIR]   (default: build; builds bench_monitor)
# Env:   RUNS=10 FILES=10000
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
BIN=$BUILD/bench/monitor/bench_monitor
RUNS=${RUNS:-10}
FILES=${FILES:-10000}

command -v python3 >/dev/null || { echo "monitor.sh: python3 is missing" >&2; exit 2; }
cmake --build "$BUILD" --target bench_monitor >/dev/null 2>&1 || cmake --build "$BUILD" --target bench_monitor

WORK=$(mktemp -d /tmp/rovix_bench_monitor.XXXXXX)
cleanup() {
  for m in "$WORK/card" "$WORK/lib/card"; do umount -l "$m" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
mkdir -p "$HOME"
"$BIN" "$WORK" --runs "$RUNS" --files "$FILES"
