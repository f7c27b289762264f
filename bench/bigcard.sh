#!/usr/bin/env bash
# Big-card benchmark, run on demand (never from ctest).
#
# Generates a card of COUNT one-minute recordings (default 20000, a 512 GB
# card's worth) in FOLDERS folders (default 200), spread over two weeks of
# days, with sparse media payloads, then with a warm cache compares:
#   - `rovixtool scan CARD`: the walk, header probes, name rules, log lookup
#     and sort, with no window;
#   - the application's road (bench_bigcard, offscreen): buildVideoLibrary
#     until the library is ready (scan, calendar marks, newest day, playlist),
#     the first paint of the calendar and the file list, and a month change
#     with the calendar's repaint;
# reporting medians and the ratio library-ready / scan (goal <= 2x), and the
# month change against one frame at 60 Hz (goal < 16 ms). Scrolling the file
# list through 20,000 rows is measured by bench/panels.sh.
#
# Usage: bench/bigcard.sh [BUILD_DIR]   (default: build; builds rovixtool and bench_bigcard)
# Env:   COUNT=20000 FOLDERS=200 RUNS=5
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
TOOL=$BUILD/src/rovixtool
BIN=$BUILD/bench/bigcard/bench_bigcard
COUNT=${COUNT:-20000}
FOLDERS=${FOLDERS:-200}
RUNS=${RUNS:-5}

for tool in hyperfine python3; do
  command -v "$tool" >/dev/null || { echo "bigcard.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 2; }
done
cmake --build "$BUILD" --target rovixtool bench_bigcard >/dev/null 2>&1 ||
  cmake --build "$BUILD" --target rovixtool bench_bigcard

WORK=$(mktemp -d /tmp/rovix_bench_bigcard.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
CARD=$WORK/card
# The application writes its log and settings under HOME: keep them in the work folder.
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
mkdir -p "$HOME"

echo "== Generating a card of $COUNT recordings in $FOLDERS folders in $CARD =="
python3 bench/bigcard/make_bigcard.py "$CARD" "$COUNT" "$FOLDERS"
"$TOOL" scan "$CARD" >"$WORK/scan.txt"
listed=$(wc -l <"$WORK/scan.txt")
echo "recordings in the library: $listed in $(find "$CARD" -type d | wc -l) folders"
if [ "$listed" -ne "$COUNT" ]; then
  echo "bigcard.sh: expected $COUNT recordings in the library, got $listed" >&2
  exit 1
fi

echo
echo "== Warm cache: rovixtool scan ($((RUNS * 2)) runs) =="
hyperfine -N --warmup 2 --runs $((RUNS * 2)) --export-json "$WORK/hyperfine.json" \
  -n "rovixtool scan" "$TOOL scan $CARD" >/dev/null
scan_ms=$(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][0]; print("%.3f" % (r["median"]*1e3))' "$WORK/hyperfine.json")
echo "rovixtool scan: median $scan_ms ms"

echo
echo "== The application's road ($RUNS runs, after one warm-up scan) =="
"$TOOL" scan "$CARD" >/dev/null
"$BIN" "$CARD" --runs "$RUNS" 2>/dev/null | tee "$WORK/app.txt" | grep -v '^FIGURES'
python3 - "$WORK/app.txt" "$scan_ms" <<'PY'
import sys
figures = {}
for line in open(sys.argv[1]):
    if line.startswith("FIGURES "):
        figures = dict(kv.split("=") for kv in line.split()[1:])
ready, month, scan = float(figures["ready"]), float(figures["month"]), float(sys.argv[2])
ratio = ready / scan
print("ratio library ready / rovixtool scan: %.2fx  (goal <= 2x: %s)" % (ratio, "met" if ratio <= 2 else "NOT met"))
print("month change and repaint: %.2f ms  (goal < 16 ms: %s)" % (month, "met" if month < 16 else "NOT met"))
PY
