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
#   Then a 60 s side-by-side clip of two 1080p30 cameras (--layout
#   side-by-side) against `ffmpeg -filter_complex hstack -c:v libx264 -preset
#   veryfast -crf 23`, the same preset and CRF, SBS_RUNS runs (3 by default);
#   the same clip with three areas blurred; peak memory and output sizes.
# Targets: rovixtool clip >= 0.9x ffmpeg's speed; peak memory under 50 MB;
#   the overlay clip's peak under 200 MB; side by side >= 0.9x ffmpeg's
#   hstack, blurring adding <= 20 %, peak under 400 MB.
# ONLY=sbs runs the side-by-side part alone.
# Side by side, one run each on the 2-core machine under a load of 8 to 11
#   (other builds), so the times are rough: ffmpeg hstack 166.9 s, 534 MB,
#   16.56 MB; rovixtool 117.8 s (1.42x), 247 MB, 16.83 MB; with three blurred
#   areas 73.4 s, 250 MB, 18.10 MB. Quiet medians are still to be taken.
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

peak() { # the command's peak resident memory in kB
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
clean="sh -c 'rm -rf $WORK/out && mkdir $WORK/out'"
mkdir -p "$WORK/out"

if [ "${ONLY:-}" != sbs ]; then
mkdir -p "$WORK/card"
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
fi

# ---- side by side: two 1080p30 cameras, 60 s, against ffmpeg's hstack at the same preset and CRF
SBS_RUNS=${SBS_RUNS:-3}
mkdir -p "$WORK/pair"
front="$WORK/pair/FILE210315-100000_M.MP4"
rear="$WORK/pair/FILE210315-100000_2.MP4"
"$GEN" recording "$front" --seconds 60 --fps 30 --width 1920 --height 1080 --start 210315-100000 >/dev/null
"$GEN" recording "$rear" --seconds 60 --fps 30 --width 1920 --height 1080 --rear --start 210315-100000 >/dev/null
blur=(--blur "200,600,320,120@0-60" --blur "1400,500,300,100@0;900,560,300,100@30;600,600,300,100@60"
      --blur "1700,300,200,200@5-50")
echo "== 60 s side by side of two 1920x1080 30 fps cameras, median of $SBS_RUNS runs =="
hyperfine -N -w 0 -r "$SBS_RUNS" --prepare "$clean" --export-json "$WORK/sbs.json" \
  "ffmpeg -v error -i $front -i $rear -filter_complex hstack -an -c:v libx264 -preset veryfast -crf 23 -y $WORK/out/ref.mp4" \
  "$TOOL clip --layout side-by-side --crf 23 $WORK/out $front 30" \
  "$TOOL clip --layout side-by-side --crf 23 ${blur[*]@Q} $WORK/out $front 30" >/dev/null
read -r ffs rvs rvb < <(median "$WORK/sbs.json")
eval "$clean"
ffsmem=$(peak ffmpeg -v error -i "$front" -i "$rear" -filter_complex hstack -an -c:v libx264 -preset veryfast \
  -crf 23 -y "$WORK/out/ref.mp4")
rvsmem=$(peak "$TOOL" clip --layout side-by-side --crf 23 "$WORK/out" "$front" 30)
rvbmem=$(peak "$TOOL" clip --layout side-by-side --crf 23 "${blur[@]}" "$WORK/out" "$front" 30)
ffsize=$(stat -c %s "$WORK/out/ref.mp4")
rvsize=$(stat -c %s "$WORK"/out/Clip-20210315-100030/clip-side-by-side.mp4)
rvbsize=$(stat -c %s "$WORK"/out/Clip-20210315-100030-2/clip-side-by-side.mp4)
python3 - "$ffs" "$rvs" "$rvb" "$ffsmem" "$rvsmem" "$rvbmem" "$ffsize" "$rvsize" "$rvbsize" <<'PY'
import sys
ff, rv, rb = (float(x) for x in sys.argv[1:4])
ffm, rvm, rbm = (int(x) / 1024 for x in sys.argv[4:7])
ffz, rvz, rbz = (int(x) / 1e6 for x in sys.argv[7:10])
print('%-52s %9s %10s %9s' % ('', 'median_s', 'peak_MB', 'size_MB'))
print('%-52s %9.3f %10.1f %9.2f' % ('ffmpeg hstack libx264 veryfast crf 23', ff, ffm, ffz))
print('%-52s %9.3f %10.1f %9.2f' % ('rovixtool clip --layout side-by-side (and originals)', rv, rvm, rvz))
print('%-52s %9.3f %10.1f %9.2f' % ('  the same with three areas blurred', rb, rbm, rbz))
print('side by side: %.2fx ffmpeg (goal >= 0.9x); blurring adds %.1f %% (goal <= 20 %%); peak %.1f MB (goal < 400 MB)'
      % (ff / rv, 100 * (rb - rv) / rv, max(rvm, rbm)))
PY
