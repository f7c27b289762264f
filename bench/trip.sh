#!/usr/bin/env bash
# Trip join benchmark, run on demand (never from ctest): the wall-clock gap
# between the last frame of one recording and the first frame of the next
# (frames identified by the generator's frame code, seen through a frame tap
# on headless surfaces), medians of RUNS runs, at 1x and 2x:
#   - chain:   the recordings of a trip as one timeline (today's road);
#   - advance: the end notice, the surface released and the next recording
#              opened in a new one (the road before trips, still taken across
#              trips and with gapless trips off);
# against the limit of one frame interval (33.3 ms at 30 fps and 1x, 16.7 ms
# at 2x), beside the ordinary frame-to-frame times inside the first recording
# (median, 90th percentile, worst), which show the same machine's jitter away
# from any join. The two 1-minute 640x360 30 fps recordings are made once into $WORK.
#
# Usage: bench/trip.sh [BUILD_DIR]   (default: build; builds bench_trip and rovixmediagen)
# Env:   RUNS=10 WORK=/tmp/rovix_bench_trip
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
RUNS=${RUNS:-10}
WORK=${WORK:-/tmp/rovix_bench_trip}
BIN=$BUILD/bench/trip/bench_trip
GEN=$BUILD/tools/mediagen/rovixmediagen

cmake --build "$BUILD" --target bench_trip rovixmediagen_cli >/dev/null 2>&1 ||
  cmake --build "$BUILD" --target bench_trip rovixmediagen_cli

mkdir -p "$WORK"
make_rec() { # name start
  [ -s "$WORK/$1" ] || "$GEN" recording "$WORK/$1" --seconds 60 --width 640 --height 360 --fps 30 \
    --faststart --frame-code --start "$2" >/dev/null
}
make_rec a.mp4 240517-110000
make_rec b.mp4 240517-110100

export ROVIX_MPV_AO=null
for speed in 1 2; do
  limit=$(awk -v s="$speed" 'BEGIN { printf "%.1f", 1000 / 30 / s }')
  echo "== ${speed}x (limit: one frame interval, $limit ms) =="
  for mode in chain advance; do
    "$BIN" "$WORK/a.mp4" "$WORK/b.mp4" --mode $mode --runs "$RUNS" --speed $speed 2>/dev/null | grep -E "^median|frames before" | tail -2
  done
done
