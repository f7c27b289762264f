#!/usr/bin/env bash
# Frame capture benchmarks, side by side with the reference; prints medians and ratios.
#   1. Grab + JPEG of the frame at 30 s of a 60 s 1080p H.264 recording (a key
#      frame every 2 s): the application's code path in-process, and as a
#      whole process, against `ffmpeg -ss 30 -i FILE -frames:v 1 -y out.jpg`
#      (goal: at most 1.0x).
#   2. Capture from a paused surface to the preview shown, one 1080p camera
#      and two (goals: under 150 ms and under 300 ms).
# Usage: bench/capture.sh [RUNS]   (BUILD=build-bench by default, Release)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-10}
BUILD=${BUILD:-build-bench}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target rovixcapturebench >/dev/null

BENCH="$ROOT/$BUILD/bench/capture/rovixcapturebench"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen ROVIX_MPV_HEADLESS=1
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"

median() { # hyperfine JSON -> median seconds of each command, in order
  python3 -c 'import json,sys; print(" ".join("%.6f" % r["median"] for r in json.load(open(sys.argv[1]))["results"]))' "$1"
}

front="$WORK/FILE240305-070000_M.MP4"
rear="$WORK/FILE240305-070000_2.MP4"
"$BENCH" make "$front" 60
"$BENCH" make "$rear" 60 --rear

echo "== Grab + JPEG at 30 s of a 60 s 1080p recording (median of $RUNS runs) =="
hyperfine -N -w 2 -r "$RUNS" --export-json "$WORK/grab.json" \
  "ffmpeg -hide_banner -loglevel error -ss 30 -i $front -frames:v 1 -y $WORK/ffmpeg.jpg" \
  "$BENCH grab $front 30 $WORK/rovix.jpg 1" >/dev/null
read -r ff rv < <(median "$WORK/grab.json")
inproc=$("$BENCH" grab "$front" 30 "$WORK/rovix.jpg" "$RUNS" | sed 's/median_ms=//')
python3 - "$ff" "$rv" "$inproc" <<'PY'
import sys
ff, rv, ip = float(sys.argv[1]) * 1e3, float(sys.argv[2]) * 1e3, float(sys.argv[3])
print('ffmpeg process:                 %8.1f ms' % ff)
print('rovix, whole process:           %8.1f ms  ratio %.2fx (goal <= 1.0x)' % (rv, rv / ff))
print('rovix, application code path:   %8.1f ms  ratio %.2fx (goal <= 1.0x)' % (ip, ip / ff))
PY
# Mid-way between key frames: the most frames to decode.
mid=$("$BENCH" grab "$front" 31.9 "$WORK/rovix.jpg" "$RUNS" | sed 's/median_ms=//')
echo "rovix, at 31.9 s (59 frames past a key frame): $mid ms"

echo
echo "== Capture from a paused surface to the preview shown (median of $RUNS runs) =="
for at in 30 31.9; do
  one=$("$BENCH" preview "$RUNS" "$at" "$front" 2>/dev/null | sed 's/median_ms=//')
  two=$("$BENCH" preview "$RUNS" "$at" "$front" "$rear" 2>/dev/null | sed 's/median_ms=//')
  echo "at $at s: one 1080p camera $one ms (goal < 150 ms), two 1080p cameras $two ms (goal < 300 ms)"
done
