#!/usr/bin/env bash
# Library scan benchmark, run on demand (never from ctest).
#
# Generates a card of COUNT recordings (default 2000) in nested day/type/camera
# folders, with companion NMEA logs and sparse media payloads, then with a warm
# cache compares:
#   - `rovixtool scan CARD` (walk, header probes, name rules, log lookup, sort)
#   - `find CARD -type f`   (the bare listing: the floor for any scan)
# reporting medians and their ratio (goal: scan at most 3x the listing);
#   - with a cold cache (as root: the page cache dropped before every run),
#     rovixtool scan against `find CARD -type f -exec head -c 1024 {} +` (the
#     listing plus the first kilobyte of every file), goal at most 1.0x;
#   - ffprobe over the same recordings, one run, total time (what probing with
#     a media framework instead of header reads would cost);
#   - bytes and read calls per probed file, counted with strace.
#
# Usage: bench/scan.sh [BUILD_DIR]   (default: build; needs src/rovixtool built)
# Env:   COUNT=2000 RUNS=20 COLD_RUNS=5 FFPROBE=0 (skips the slow ffprobe pass)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
TOOL=$BUILD/src/rovixtool
COUNT=${COUNT:-2000}
RUNS=${RUNS:-20}

for tool in hyperfine ffprobe strace python3; do
  command -v "$tool" >/dev/null || { echo "scan.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 2; }
done
[ -x "$TOOL" ] || { echo "scan.sh: $TOOL not built" >&2; exit 2; }

WORK=$(mktemp -d /tmp/rovix_bench_scan.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
CARD=$WORK/card

echo "== Generating a card of $COUNT recordings in $CARD =="
python3 bench/scan/make_card.py card "$CARD" "$COUNT"
files=$(find "$CARD" -type f | wc -l)
folders=$(find "$CARD" -type d | wc -l)
"$TOOL" scan "$CARD" >"$WORK/scan.txt"
listed=$(wc -l <"$WORK/scan.txt")
echo "files on card: $files in $folders folders; recordings in the library: $listed"
if [ "$listed" -ne "$COUNT" ]; then
  echo "scan.sh: expected $COUNT recordings in the library, got $listed" >&2
  exit 1
fi

mkdir "$WORK/empty"

echo
echo "== Warm cache: rovixtool scan vs find -type f ($RUNS runs each) =="
# The scan of an empty folder is the tool's start-up alone (loading the
# libraries it links); subtracting it shows the cost of the scan itself.
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$WORK/hyperfine.json" \
  -n "rovixtool scan" "$TOOL scan $CARD" \
  -n "find -type f" "find $CARD -type f" \
  -n "rovixtool start-up" "$TOOL scan $WORK/empty" >/dev/null
python3 - "$WORK/hyperfine.json" "$COUNT" <<'EOF'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
scan, listing, startup = results["rovixtool scan"], results["find -type f"], results["rovixtool start-up"]
for name, r in (("rovixtool scan", scan), ("find -type f", listing), ("rovixtool start-up", startup)):
    print("%-18s median %8.2f ms   (min %.2f, max %.2f)" % (name, r["median"] * 1e3, r["min"] * 1e3, r["max"] * 1e3))
ratio = scan["median"] / listing["median"]
print("ratio scan/find: %.2fx  (goal <= 3x: %s)" % (ratio, "met" if ratio <= 3 else "NOT met"))
work = scan["median"] - startup["median"]
print("scan without start-up: %.2f ms, %.2fx the listing, %.1f us per recording"
      % (work * 1e3, work / listing["median"], work * 1e6 / max(1, int(sys.argv[2]))))
EOF

echo
echo "== Cold cache: rovixtool scan vs find -type f -exec head -c 1024 (${COLD_RUNS:-5} runs each) =="
if [ "$(id -u)" = 0 ] && sync && (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
  # The page cache is dropped before every run of either command.
  hyperfine -N --runs "${COLD_RUNS:-5}" --prepare "sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches'" \
    --export-json "$WORK/cold.json" \
    -n "rovixtool scan (cold)" "$TOOL scan $CARD" \
    -n "find + head (cold)" "find $CARD -type f -exec head -c 1024 {} +" >/dev/null
  python3 - "$WORK/cold.json" <<'EOF'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
scan, reference = results["rovixtool scan (cold)"], results["find + head (cold)"]
for name, r in (("rovixtool scan", scan), ("find + head", reference)):
    print("%-18s median %8.2f ms   (min %.2f, max %.2f)" % (name, r["median"] * 1e3, r["min"] * 1e3, r["max"] * 1e3))
ratio = scan["median"] / reference["median"]
print("ratio scan/(find + head): %.2fx  (goal <= 1.0x: %s)" % (ratio, "met" if ratio <= 1.0 else "NOT met"))
EOF
else
  echo "skipped: dropping the page cache needs root and a writable /proc/sys/vm/drop_caches"
fi

if [ "${FFPROBE:-1}" != 0 ]; then
echo
echo "== ffprobe over the same $COUNT recordings (one run) =="
find "$CARD" -type f \( -name '*.MP4' -o -name '*.MOV' -o -name '*.AVI' \) -print0 >"$WORK/media.lst"
start=$(date +%s.%N)
xargs -0 -n 1 ffprobe -v quiet -show_entries stream=codec_name -of csv=p=0 <"$WORK/media.lst" >/dev/null 2>&1 || true
end=$(date +%s.%N)
python3 -c "import sys; t=float(sys.argv[2])-float(sys.argv[1]); print('ffprobe total %.2f s  (%.1f ms per file)' % (t, t*1e3/int(sys.argv[3])))" \
  "$start" "$end" "$COUNT"
fi

echo
echo "== System calls of one scan (strace -c) =="
strace -c -f -o "$WORK/count.txt" "$TOOL" scan "$CARD" >/dev/null
python3 - "$WORK/count.txt" "$COUNT" <<'EOF'
import sys
rows = []
for line in open(sys.argv[1]):
    parts = line.split()
    if len(parts) >= 5 and parts[0][0].isdigit() and parts[-1] != "total":
        rows.append((int(parts[3]), parts[-1]))
rows.sort(reverse=True)
total = sum(c for c, _ in rows)
print("%d system calls, %.1f per recording; most frequent: %s" % (
    total, total / int(sys.argv[2]), ", ".join("%s %d" % (n, c) for c, n in rows[:5])))
EOF

echo
echo "== Bytes read per probed file (strace) =="
strace -f -y -s 0 -e trace=read,pread64 -o "$WORK/trace.txt" "$TOOL" scan "$CARD" >/dev/null
python3 - "$WORK/trace.txt" "$CARD" <<'EOF'
import collections, re, sys
card = sys.argv[2]
pattern = re.compile(r"^(?:\d+\s+)?(?:read|pread64)\(\d+<([^>]*)>.*\)\s+=\s+(\d+)")
bytes_by_file, calls_by_file = collections.Counter(), collections.Counter()
for line in open(sys.argv[1]):
    m = pattern.match(line)
    if m and m.group(1).startswith(card):
        bytes_by_file[m.group(1)] += int(m.group(2))
        calls_by_file[m.group(1)] += 1
if not bytes_by_file:
    print("no reads of card files seen")
    sys.exit(0)
for ext in (".MP4", ".MOV", ".AVI"):
    files = [f for f in bytes_by_file if f.endswith(ext)]
    if files:
        b = sorted(bytes_by_file[f] for f in files)
        c = sorted(calls_by_file[f] for f in files)
        print("%s: %4d files, bytes read per file median %d (max %d), read calls median %d (max %d)"
              % (ext, len(files), b[len(b) // 2], b[-1], c[len(c) // 2], c[-1]))
total = sum(bytes_by_file.values())
print("all probed files: %d, %d bytes in all, %.1f bytes per file" % (len(bytes_by_file), total, total / len(bytes_by_file)))
EOF
