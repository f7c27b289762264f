#!/usr/bin/env bash
# Incident clip benchmark, side by side with ffmpeg; prints medians and ratios.
#   A 60 s clip across two one-minute 720p30 recordings of one camera (the
#   moment 45 s into the first, 30 s either side): `rovixtool clip` (the joined
#   MP4 without re-encoding, the track as GPX/KML/CSV, clip.txt, SHA256SUMS,
#   every file flushed to disk) against
#   `ffmpeg -f concat -safe 0 -i list -ss 15 -t 60 -c copy` (the video alone).
#   Peak memory of both from /usr/bin/time -v.
#   Then the overlay clip (--overlay, re-encoded with libx264 and the caption
#   drawn in) of 20 s across two 1080p30 recordings with AAC sound, one run:
#   its peak memory and speed.
# Targets: rovixtool clip >= 0.9x ffmpeg's speed; peak memory under 50 MB;
#   the overlay clip's peak under 200 MB.
# Measured on the 2-core build machine: overlay at 1080p peaks at 149-154 MB
#   (275-296 MB before the encoder was bounded: x264's default lookahead,
#   B-frames and one frame per thread each hold a 13 MB picture).
# Usage: bench/clip.sh [RUNS]   (10 by default; BUILD=build-bench by default, Release;
#        WIDTH/HEIGHT 1280x720 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-10}
BUILD=${BUILD:-build-bench}
WIDTH=${WIDTH:-1280}
HEIGHT=${HEIGHT:-720}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target rovixtool rovixprobe rovixmediagen_cli >/dev/null

TOOL="$ROOT/$BUILD/src/rovixtool"
GEN="$ROOT/$BUILD/tools/mediagen/rovixmediagen"
WORK=$(mktemp -d "${WORK:-/var/tmp}/rovix-clip-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

median() { # hyperfine JSON -> median seconds of each command, in order
  python3 -c 'import json,sys; print(" ".join("%.6f" % r["median"] for r in json.load(open(sys.argv[1]))["results"]))' "$1"
}

mkdir -p "$WORK/card" "$WORK/out"
for stamp in 210315-083000 210315-083100; do
  "$GEN" recording "$WORK/card/FILE${stamp}_M.MP4" --seconds 60 --fps 30 --width "$WIDTH" --height "$HEIGHT" \
    --start "$stamp" >/dev/null
  "$GEN" nmea "$WORK/card/FILE${stamp}_M.NMEA" --seconds 60 --start "$stamp" >/dev/null
done
first="$WORK/card/FILE210315-083000_M.MP4"
printf "file '%s'\nfile '%s'\n" "$first" "$WORK/card/FILE210315-083100_M.MP4" >"$WORK/list.txt"
mb=$(du -cm "$WORK"/card/*.MP4 | tail -1 | cut -f1)
clean="sh -c 'rm -rf $WORK/out && mkdir $WORK/out'"

echo "== 60 s clip across two one-minute ${WIDTH}x${HEIGHT} recordings ($mb MB), median of $RUNS runs =="
hyperfine -N -w 2 -r "$RUNS" --prepare "$clean" --export-json "$WORK/clip.json" \
  "ffmpeg -v error -f concat -safe 0 -i $WORK/list.txt -ss 15 -t 60 -c copy -y $WORK/out/ref.mp4" \
  "$TOOL clip $WORK/out $first 45" >/dev/null
read -r ff rv < <(median "$WORK/clip.json")

peak() { # the command's peak resident memory in kB
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
eval "$clean"
ffmem=$(peak ffmpeg -v error -f concat -safe 0 -i "$WORK/list.txt" -ss 15 -t 60 -c copy -y "$WORK/out/ref.mp4")
rvmem=$(peak "$TOOL" clip "$WORK/out" "$first" 45)
ffdur=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK/out/ref.mp4")
rvdur=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK"/out/Clip-*/clip-front.mp4)

python3 - "$ff" "$rv" "$ffmem" "$rvmem" "$ffdur" "$rvdur" <<'PY'
import sys
ff, rv = float(sys.argv[1]), float(sys.argv[2])
ffm, rvm = int(sys.argv[3]) / 1024, int(sys.argv[4]) / 1024
print('%-44s %9s %10s %9s' % ('', 'median_s', 'peak_MB', 'length_s'))
print('%-44s %9.3f %10.1f %9.3f' % ('ffmpeg -f concat -ss -t -c copy (video only)', ff, ffm, float(sys.argv[5])))
print('%-44s %9.3f %10.1f %9.3f' % ('rovixtool clip (video, track, sums, fsync)', rv, rvm, float(sys.argv[6])))
print('speed: %.2fx ffmpeg (goal >= 0.9x)   peak memory: %.1f MB (goal < 50 MB)' % (ff / rv, rvm))
PY

# ---- the overlay clip at 1080p: peak memory (goal < 200 MB)
mkdir -p "$WORK/hd"
for stamp in 210315-090000 210315-090020; do
  "$GEN" recording "$WORK/hd/FILE${stamp}_M.MP4" --seconds 20 --fps 30 --width 1920 --height 1080 --audio \
    --start "$stamp" >/dev/null
  "$GEN" nmea "$WORK/hd/FILE${stamp}_M.NMEA" --seconds 20 --start "$stamp" >/dev/null
done
eval "$clean"
start=$(date +%s.%N)
ovmem=$(peak "$TOOL" clip --overlay --before 10 --after 10 "$WORK/out" "$WORK/hd/FILE210315-090000_M.MP4" 15)
end=$(date +%s.%N)
ovdur=$(ffprobe -v error -select_streams v -show_entries stream=duration -of csv=p=0 "$WORK"/out/Clip-*/clip-front.mp4)
python3 - "$ovmem" "$start" "$end" "$ovdur" <<'PY'
import sys
mem, took, length = int(sys.argv[1]) / 1024, float(sys.argv[3]) - float(sys.argv[2]), float(sys.argv[4])
print('overlay clip, 1080p30 with sound: %.1f s of video in %.1f s (%.2fx real time), peak memory %.1f MB (goal < 200 MB)'
      % (length, took, length / took, mem))
PY
