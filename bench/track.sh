#!/usr/bin/env bash
# Track benchmarks, side by side with their references; prints medians and ratios.
#   1. Parse + KML of a generated 1-hour and 10-hour NMEA log (RMC + GGA + GSENSOR
#      each second) beside an MP4 recording of the same length: rovixtool kml
#      against gpsbabel -i nmea -o kml (goal: at least 20x faster); peak memory
#      of each (/usr/bin/time -v) against the goal of 3x the log + 20 MB. The
#      G-sensor data pads the track to the recording's length, which the tool
#      reads from the movie header; the same run beside an MP4 whose header
#      states no length shows what loading FFmpeg for it costs.
#   2. Harsh-driving detection over the 10-hour log against its parse
#      (goal: under 5 % of the parse).
#   3. The embedded track of a 1 GB AVI (sparse file, track chunks after the
#      index): bytes read and time of the chunk readers against cat FILE.
# Usage: bench/track.sh [RUNS]   (BUILD=build-bench by default, Release)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-10}
BUILD=${BUILD:-build-bench}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target rovixtool rovixtrackbench >/dev/null

TOOL="$ROOT/$BUILD/src/rovixtool"
GEN="$ROOT/$BUILD/bench/track/rovixtrackbench"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

median() { # hyperfine JSON -> median seconds of each command, in order
  python3 -c 'import json,sys; print(" ".join("%.6f" % r["median"] for r in json.load(open(sys.argv[1]))["results"]))' "$1"
}
peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}'; }

echo "== Parse + KML beside an MP4 recording (median of $RUNS runs) =="
printf '%-8s %10s %12s %12s %9s %6s %12s %12s %12s %12s\n' log bytes gpsbabel_ms rovixtool_ms ratio goal \
  ffmpeg_path_ms gpsbabel_MB rovixtool_MB goal_MB
for hours in 1 10; do
  dir="$WORK/h$hours"
  mkdir -p "$dir" "$dir/nolength"
  log="$dir/FILE0001.log"
  "$GEN" log "$log" $((hours * 3600))
  # The recording the log belongs to; its movie header states its length.
  rec="$dir/FILE0001.MP4"
  "$GEN" mp4 "$rec" $((hours * 3600))
  # The same pair, but the header states no length: FFmpeg is loaded for it.
  cp "$log" "$dir/nolength/FILE0001.log"
  "$GEN" mp4 "$dir/nolength/FILE0001.MP4" 0
  hyperfine -N -w 2 -r "$RUNS" --export-json "$dir/h.json" \
    "gpsbabel -i nmea -f $log -o kml -F $dir/gpsbabel.kml" \
    "$TOOL kml $rec $dir/rovix.kml" \
    "$TOOL kml $dir/nolength/FILE0001.MP4 $dir/nolength.kml" >/dev/null
  read -r gb rv ff < <(median "$dir/h.json")
  bytes=$(stat -c %s "$log")
  points_gb=$(gpsbabel -i kml -f "$dir/gpsbabel.kml" -o gpx -F - | grep -c '<trkpt' || true)
  points_rv=$(gpsbabel -i kml -f "$dir/rovix.kml" -o gpx -F - | grep -c '<trkpt' || true)
  mem_gb=$(peak_kb gpsbabel -i nmea -f "$log" -o kml -F "$dir/m1.kml")
  mem_rv=$(peak_kb "$TOOL" kml "$rec" "$dir/m2.kml")
  python3 - "$hours" "$bytes" "$gb" "$rv" "$ff" "$mem_gb" "$mem_rv" <<'PY'
import sys
h, b, gb, rv, ff, mg, mr = sys.argv[1:]
b = int(b); gb, rv, ff = float(gb), float(rv), float(ff)
goal = (3 * b + 20 * 1024 * 1024) / 1048576
print('%-8s %10d %12.1f %12.1f %8.1fx %6s %14.1f %12.1f %12.1f %12.1f' % (
    h + 'h', b, gb * 1e3, rv * 1e3, gb / rv, 'met' if gb / rv >= 20 else 'NOT', ff * 1e3,
    int(mg) / 1024, int(mr) / 1024, goal))
PY
  echo "         track points read back by gpsbabel: gpsbabel's KML $points_gb, rovixtool's KML $points_rv"
done

echo
echo "== Harsh-driving marks over a 10-hour log (median of $RUNS runs) =="
"$GEN" log "$WORK/events.log" 36000
events=$("$GEN" events "$WORK/events.log" "$RUNS")
echo "$events"
python3 - "$events" <<'PY'
import sys
f = dict(kv.split('=') for kv in sys.argv[1].split())
r = float(f['ratio'])
print('detection %.2f %% of the parse (goal < 5 %%): %s' % (r * 100, 'met' if r < 0.05 else 'NOT'))
PY

echo
echo "== Embedded track of a 1 GB AVI =="
avi="$WORK/FILE0002.AVI"
"$GEN" sparse-avi "$avi" $((1024 * 1024 * 1024)) 3600
size=$(stat -c %s "$avi")
reader=$("$GEN" read-avi "$avi" 3600 "$RUNS")
echo "readers:   $reader"
hyperfine -N -w 1 -r "$RUNS" --output=null --export-json "$WORK/cat.json" "cat $avi" >/dev/null
cat_s=$(median "$WORK/cat.json")
python3 - "$size" "$reader" "$cat_s" <<'PY'
import sys
size = int(sys.argv[1]); fields = dict(kv.split('=') for kv in sys.argv[2].split()); cat = float(sys.argv[3])
read = int(fields['bytes_read']); ms = float(fields['median_ms'])
print('cat:       bytes_read=%d median_ms=%.1f' % (size, cat * 1e3))
print('ratio:     bytes %.6f of cat (goal < 0.01), time %.6f of cat (goal < 0.01)' % (read / size, ms / (cat * 1e3)))
PY
