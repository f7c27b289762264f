#!/usr/bin/env bash
# 360-degree view benchmark, run on demand (never from ctest). Under xvfb-run
# (Mesa's software OpenGL) a 1920x960 equirectangular H.264 recording at
# 30 fps plays on a shown 960x540 surface for SECONDS_PLAY (30 s), drawn flat and
# drawn on the sphere (the same surface, the same recording, the same run),
# RUNS times each. Prints medians of frames drawn per second, mpv's dropped
# frames, the process's CPU use and its CPU time per frame drawn for both, and
# the ratios sphere/flat (per frame is the fairer one when a busy machine
# makes one mode draw fewer frames).
# Goal: no dropped frames, at most 1.3 times the flat CPU.
#
# Usage: bench/view360.sh [BUILD_DIR]   (default: build; builds bench_view360 and rovixmediagen)
# Env:   RUNS=3 SECONDS_PLAY=30 WORK=/tmp/rovix_bench_view360
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
RUNS=${RUNS:-3}
PLAY_SECONDS=${SECONDS_PLAY:-30}
WORK=${WORK:-/tmp/rovix_bench_view360}
BIN=$BUILD/bench/view360/bench_view360
GEN=$BUILD/tools/mediagen/rovixmediagen

cmake --build "$BUILD" --target bench_view360 rovixmediagen_cli >/dev/null 2>&1 ||
  cmake --build "$BUILD" --target bench_view360 rovixmediagen_cli
command -v xvfb-run >/dev/null || { echo "view360.sh: xvfb-run is missing (scripts/deps.sh installs it)" >&2; exit 2; }

mkdir -p "$WORK"
FILE=$WORK/equirect_1920x960_30fps.mp4
echo "== Making a 1920x960 30 fps equirectangular recording in $WORK (once) =="
[ -s "$FILE" ] || "$GEN" recording "$FILE" --equirect --sv3d --width 1920 --height 960 --fps 30 \
  --seconds $((PLAY_SECONDS + 5)) >/dev/null

export QT_QPA_PLATFORM=xcb ROVIX_MPV_AO=null
echo
echo "== Flat and sphere =="
xvfb-run -a -s "-screen 0 1920x1080x24" "$BIN" "$FILE" --seconds "$PLAY_SECONDS" --runs "$RUNS" 2>/dev/null
