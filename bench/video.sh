#!/usr/bin/env bash
# Video surface benchmark, run on demand (never from ctest). Under xvfb-run
# (Mesa's software OpenGL) it reports medians of:
#   - open to first frame of a 1080p H.264 recording on a shown surface,
#     beside "mpv --no-config --vo=null --ao=null --frames=1 FILE"
#     (goal: at most 1.5 times mpv);
#   - an exact seek to the middle (90 s, on a key frame, and 90.5 s, between
#     key frames) of a paused 3-minute 1080p recording until the new frame is
#     drawn, beside mpv seeking the same file;
#   - two 1080p30 surfaces playing together: frames drawn, mpv's dropped-frame
#     counters and CPU use, beside two mpv players decoding the same files.
# The recordings are made once by the media generator into $WORK and reused.
#
# Usage: bench/video.sh [BUILD_DIR]   (default: build; builds bench_video and rovixmediagen)
# Env:   RUNS=9 SECONDS_DUAL=60 WORK=/tmp/rovix_bench_video
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
RUNS=${RUNS:-9}
SECONDS_DUAL=${SECONDS_DUAL:-60}
WORK=${WORK:-/tmp/rovix_bench_video}
BIN=$BUILD/bench/video/bench_video
GEN=$BUILD/tools/mediagen/rovixmediagen

cmake --build "$BUILD" --target bench_video rovixmediagen_cli >/dev/null 2>&1 ||
  cmake --build "$BUILD" --target bench_video rovixmediagen_cli
for tool in xvfb-run mpv; do
  command -v $tool >/dev/null || { echo "video.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 2; }
done

mkdir -p "$WORK"
make_hd() { # name seconds
  [ -s "$WORK/$1" ] || "$GEN" recording "$WORK/$1" --seconds "$2" --width 1920 --height 1080 --fps 30 \
    --audio --faststart --seed "$3" >/dev/null
}
echo "== Making 1080p30 recordings in $WORK (once) =="
make_hd open10.mp4 10 1
make_hd long180.mp4 180 2
make_hd dual_a.mp4 $((SECONDS_DUAL + 5)) 3
make_hd dual_b.mp4 $((SECONDS_DUAL + 5)) 4

export QT_QPA_PLATFORM=xcb ROVIX_MPV_AO=null
run() { xvfb-run -a -s "-screen 0 1920x1080x24" "$BIN" "$@" 2>/dev/null; }
echo
echo "== Open =="
run open "$WORK/open10.mp4" --runs "$RUNS"
echo
echo "== Seek =="
run seek "$WORK/long180.mp4" --runs "$RUNS" --at 90
# Half a second past a key frame: the exact seek decodes the frames before it.
run seek "$WORK/long180.mp4" --runs "$RUNS" --at 90.5
echo
echo "== Two surfaces =="
run dual "$WORK/dual_a.mp4" "$WORK/dual_b.mp4" --seconds "$SECONDS_DUAL"
