#!/usr/bin/env bash
# Video surface benchmark, run on demand (never from ctest). Under xvfb-run
# (Mesa's software OpenGL) it reports medians of:
#   - open to first frame of a 1080p H.264 recording on a shown surface,
#     beside "mpv --no-config --load-scripts=no --ytdl=no --osc=no --vo=null
#     --ao=null --frames=1 FILE" (mpv at its best: no scripts)
#     (goal: at most 1.5 times mpv);
#   - an exact seek to the middle (90 s, on a key frame, and 90.5 s, between
#     key frames) of a paused 3-minute 1080p recording until the new frame is
#     drawn, on a 960x540 surface. Compared like with like (goal: at most 1.5
#     times the reference):
#       * a bare libmpv handle drawing through the same render API into a plain
#         QOpenGLWidget of the same size under the same X server (the same
#         libmpv, the same software OpenGL; time until the new frame is drawn);
#       * "mpv --vo=gpu --gpu-sw" in a 960x540 window under the same X server,
#         seeked over its JSON IPC socket ("seek 90 absolute+exact") and timed
#         until its "playback-restart" event, which mpv sends once its video
#         output has taken the frame;
#     and, as information only, a bare libmpv handle with vo=null, which draws
#     nothing (decoding and seeking cost alone);
#   - two 1080p30 surfaces playing together at 1x for SECONDS_DUAL (60 s):
#     frames drawn, mpv's dropped-frame counters (video output and decoder)
#     and the process's CPU use, beside two bare libmpv handles drawing the
#     same files the same way (render API into plain QOpenGLWidgets, same
#     layout; CPU ratio printed) and two mpv players decoding them with vo=null
#     (decoding cost alone). Goal: no dropped frames on two cores, software
#     rendering.
#   - a zoom step by the mouse wheel on the 1080p30 recording in a 960x540
#     surface, paused and playing, until the next frame is drawn (goal: within
#     one frame interval, 33.3 ms);
# All timings are medians of RUNS runs; each section prints its ratios.
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
echo "== Zoom step =="
run zoom "$WORK/open10.mp4" --runs "$RUNS"
echo
echo "== Two surfaces =="
run dual "$WORK/dual_a.mp4" "$WORK/dual_b.mp4" --seconds "$SECONDS_DUAL"
