#!/usr/bin/env bash
# Controller-level open benchmark, run on demand (never from ctest): open to
# first frame of a 1080p30 H.264 recording through the playback controller
# (setCurPlaylistIndex to the ready notification, headless surface: vo=null,
# ao=null), side by side with "mpv --no-config --load-scripts=no --ytdl=no
# --osc=no --vo=null --ao=null --frames=1
# FILE" on the same file. Goal: at most 1.5 times mpv.
#
# Two controller figures: warm (repeated opens in one process, as when the user
# steps through recordings) and cold (the first open of a fresh process, which
# like the mpv command pays for loading the player libraries).
#
# Usage: bench/playback.sh [BUILD_DIR]   (default: build)
# Env:   RUNS=9 WORK=/tmp/rovix_bench_playback
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
RUNS=${RUNS:-9}
WORK=${WORK:-/tmp/rovix_bench_playback}
BIN=$BUILD/bench/playback/bench_playback
GEN=$BUILD/tools/mediagen/rovixmediagen

cmake --build "$BUILD" --target bench_playback rovixmediagen_cli >/dev/null 2>&1 ||
  cmake --build "$BUILD" --target bench_playback rovixmediagen_cli
command -v mpv >/dev/null || { echo "playback.sh: mpv is missing (scripts/deps.sh installs it)" >&2; exit 2; }

mkdir -p "$WORK"
FILE=$WORK/FILE240601-120000_M.MP4
[ -s "$FILE" ] || "$GEN" recording "$FILE" --seconds 10 --width 1920 --height 1080 --fps 30 --audio --faststart \
  --seed 1 >/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
export QT_QPA_PLATFORM=offscreen ROVIX_MPV_AO=null

echo "== 1080p30 H.264, $RUNS runs each (ms) =="
warm=$("$BIN" "$FILE" --runs "$RUNS" 2>/dev/null | awk '/^median/ {print $2}')
cold=$(for _ in $(seq "$RUNS"); do "$BIN" "$FILE" --cold 2>/dev/null | awk '/^median/ {print $2}'; done | median)
ref=$(for _ in $(seq "$RUNS"); do
  s=$(date +%s%N)
  mpv --no-config --load-scripts=no --ytdl=no --osc=no --vo=null --ao=null --frames=1 --really-quiet "$FILE" >/dev/null 2>&1
  e=$(date +%s%N)
  echo "scale=1; ($e - $s) / 1000000" | bc
done | median)
printf "%-44s %8s\n" "mpv --vo=null --ao=null --frames=1" "$ref"
printf "%-44s %8s   ratio %s\n" "controller open, warm process" "$warm" "$(echo "scale=2; $warm / $ref" | bc)"
printf "%-44s %8s   ratio %s\n" "controller open, first in a fresh process" "$cold" "$(echo "scale=2; $cold / $ref" | bc)"
