#!/usr/bin/env bash
# Embedded-track benchmark, run on demand (never from ctest).
#
# Generates a 3-minute 1080p recording with "freeGPS" blocks listed by a
# "gps " index in moov, and the same recording without the index, then with a
# warm cache compares (medians, hyperfine):
#   1. indexed: `rovixtool track REC` against
#      `exiftool -ee -n -GPSLatitude -GPSLongitude REC` (goal: at least 50x
#      faster), and the bytes the tool reads (pread/read calls on the
#      recording, counted with strace) against the index plus its blocks plus
#      1 MB (goal: at most 1.1x);
#   2. unindexed: `rovixtool track REC` (the search of the media data for the
#      blocks) against `cat REC > /dev/null`: the search reads the media data
#      once, so this states its cost next to a plain read of the file;
#   3. indexed by a sample table: the same comparisons for a GoPro GPMF
#      track, whose index is its sample table and whose blocks are its samples;
#   4. a recording with no track at all: what the search costs before it gives
#      up (the first 8 MB of the media data), against `cat` of the whole file.
#
# Usage: bench/embedded.sh [BUILD_DIR]   (default: build; needs src/rovixtool and
#        tools/mediagen/rovixmediagen built)
# Env:   RUNS=20 SECONDS_LONG=180
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
TOOL=$BUILD/src/rovixtool
GEN=$BUILD/tools/mediagen/rovixmediagen
RUNS=${RUNS:-20}
LENGTH=${SECONDS_LONG:-180}

for tool in hyperfine exiftool strace python3; do
  command -v "$tool" >/dev/null || { echo "embedded.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 2; }
done
[ -x "$TOOL" ] && [ -x "$GEN" ] || { echo "embedded.sh: build rovixtool and rovixmediagen_cli in $BUILD" >&2; exit 2; }

WORK=$(mktemp -d /tmp/rovix_bench_embedded.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
INDEXED=$WORK/2021_0315_083000_0001F.MP4
UNINDEXED=$WORK/2021_0315_083300_0002F.MP4
PLAIN=$WORK/2021_0315_083600_0003F.MP4
GPMF=$WORK/GOPR0001.MP4

echo "== Generating two ${LENGTH}-second 1080p recordings with freeGPS blocks (indexed, unindexed) =="
"$GEN" embedded "$INDEXED" --layout novatek --seconds "$LENGTH" --hd >/dev/null
"$GEN" embedded "$UNINDEXED" --layout novatek-unindexed --seconds "$LENGTH" --hd >/dev/null
# The same video without its blocks: the index and the blocks taken out again
# would change the bytes, so a plain recording of the same settings is made.
"$GEN" recording "$PLAIN" --seconds "$LENGTH" --width 1920 --height 1080 --fps 30 >/dev/null
# GPMF as a camera writes it: 18 GPS5 entries and 10 ACCL readings a second.
"$GEN" telemetry "$GPMF" --kind gpmf --seconds "$LENGTH" --hd >/dev/null
for f in "$INDEXED" "$UNINDEXED" "$GPMF"; do
  rows=$("$TOOL" track "$f" | grep -c '^[0-9]')
  echo "$(basename "$f"): $(stat -c %s "$f") bytes, $rows track seconds"
  [ "$rows" -eq "$LENGTH" ] || { echo "embedded.sh: expected $LENGTH seconds of track" >&2; exit 1; }
done

summary() { # hyperfine JSON, names...
  python3 - "$@" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
for r in results:
    print("%-34s median %9.2f ms   (min %.2f, max %.2f)" % (r["command"], r["median"] * 1e3, r["min"] * 1e3, r["max"] * 1e3))
a, b = results[0]["median"], results[1]["median"]
goal = float(sys.argv[2])
if goal > 0:
    print("ratio %s / %s: %.1fx  (goal >= %gx: %s)" % (results[1]["command"], results[0]["command"], b / a, goal,
                                                      "met" if b / a >= goal else "NOT met"))
else:
    print("ratio %s / %s: %.2fx" % (results[0]["command"], results[1]["command"], a / b))
PY
}

echo
echo "== Indexed: rovixtool track vs exiftool ($RUNS runs each, warm) =="
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$WORK/indexed.json" \
  -n "rovixtool track" "$TOOL track $INDEXED" \
  -n "exiftool -ee -n -GPSLat/Lon" "exiftool -ee -n -GPSLatitude -GPSLongitude $INDEXED" >/dev/null
summary "$WORK/indexed.json" 50

echo
echo "== Indexed: bytes read of the recording =="
strace -f -e trace=openat,read,pread64 -o "$WORK/strace.txt" "$TOOL" track "$INDEXED" >/dev/null
python3 - "$WORK/strace.txt" "$INDEXED" <<'PY'
import re, struct, sys
trace, path = sys.argv[1], sys.argv[2]
fds, total, calls = set(), 0, 0
for line in open(trace):
    m = re.search(r'openat\([^,]+, "([^"]+)".*\) = (\d+)$', line)
    if m and m.group(1) == path:
        fds.add(int(m.group(2)))
        continue
    m = re.search(r'\b(p?read(?:64)?)\((\d+),.*\) = (\d+)$', line)
    if m and int(m.group(2)) in fds:
        total += int(m.group(3)); calls += 1
data = open(path, "rb").read()
def boxes(begin, end):
    pos = begin
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        head = 8
        if size == 1:
            size, head = struct.unpack(">Q", data[pos + 8:pos + 16])[0], 16
        elif size == 0:
            size = end - pos
        if size < head: break
        yield kind, pos, head, size
        pos += size
index = blocks = 0
for kind, pos, head, size in boxes(0, len(data)):
    if kind == b"moov":
        for k2, p2, h2, s2 in boxes(pos + head, pos + size):
            if k2 == b"gps ":
                index = s2
                n = struct.unpack(">I", data[p2 + h2 + 4:p2 + h2 + 8])[0]
                for i in range(n):
                    blocks += struct.unpack(">I", data[p2 + h2 + 12 + 8 * i:p2 + h2 + 16 + 8 * i])[0]
budget = index + blocks + (1 << 20)
print("read %d bytes in %d calls; index %d + blocks %d + 1 MB = %d; ratio %.3fx (goal <= 1.1x: %s)"
      % (total, calls, index, blocks, budget, total / budget, "met" if total <= 1.1 * budget else "NOT met"))
print("file %d bytes: the tool read %.2f%% of it" % (len(data), 100.0 * total / len(data)))
PY

echo
echo "== Indexed by its sample table: a GPMF (gpmd) track, rovixtool track vs exiftool ($RUNS runs each, warm) =="
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$WORK/gpmf.json" \
  -n "rovixtool track (gpmf)" "$TOOL track $GPMF" \
  -n "exiftool -ee -n -GPSLat/Lon" "exiftool -ee -n -GPSLatitude -GPSLongitude $GPMF" >/dev/null
summary "$WORK/gpmf.json" 50
strace -f -e trace=openat,read,pread64 -o "$WORK/gpmf.txt" "$TOOL" track "$GPMF" >/dev/null
python3 - "$WORK/gpmf.txt" "$GPMF" <<'PY'
import re, struct, sys
trace, path = sys.argv[1], sys.argv[2]
fds, total, calls = set(), 0, 0
for line in open(trace):
    m = re.search(r'openat\([^,]+, "([^"]+)".*\) = (\d+)$', line)
    if m and m.group(1) == path:
        fds.add(int(m.group(2)))
        continue
    m = re.search(r'\b(p?read(?:64)?)\((\d+),.*\) = (\d+)$', line)
    if m and int(m.group(2)) in fds:
        total += int(m.group(3)); calls += 1
data = open(path, "rb").read()
def boxes(begin, end):
    pos = begin
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if size < 8: break
        yield kind, pos, size
        pos += size
def child(pos, size, kind, skip=0):
    return next(((p, s) for k, p, s in boxes(pos + 8 + skip, pos + size) if k == kind), None)
# The index of a gpmd track is its sample table; its blocks are the samples.
index = blocks = 0
moov = next((p, s) for k, p, s in boxes(0, len(data)) if k == b"moov")
for k, p, s in boxes(moov[0] + 8, moov[0] + moov[1]):
    if k != b"trak": continue
    mdia = child(p, s, b"mdia")
    stbl = child(*child(*mdia, b"minf"), b"stbl")
    stsd = child(*stbl, b"stsd")
    if data[stsd[0] + 20:stsd[0] + 24] != b"gpmd": continue
    stsz = child(*stbl, b"stsz")
    n = struct.unpack(">I", data[stsz[0] + 16:stsz[0] + 20])[0]
    index = stbl[1]
    blocks = sum(struct.unpack(">%dI" % n, data[stsz[0] + 20:stsz[0] + 20 + 4 * n]))
budget = index + blocks + (1 << 20)
print("read %d bytes in %d calls; sample table %d + samples %d + 1 MB = %d; ratio %.3fx (goal <= 1.1x: %s)"
      % (total, calls, index, blocks, budget, total / budget, "met" if total <= 1.1 * budget else "NOT met"))
PY

echo
echo "== Unindexed: rovixtool track (search of the media data) vs cat FILE > /dev/null ($RUNS runs each, warm) =="
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$WORK/unindexed.json" \
  -n "rovixtool track (search)" "$TOOL track $UNINDEXED" \
  -n "cat FILE > /dev/null" "sh -c 'cat $UNINDEXED > /dev/null'" >/dev/null
summary "$WORK/unindexed.json" 0

echo
echo "== No track: rovixtool track (the search gives up) vs cat FILE > /dev/null ($RUNS runs each, warm) =="
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$WORK/plain.json" \
  -n "rovixtool track (no track)" "$TOOL track $PLAIN" \
  -n "cat FILE > /dev/null" "sh -c 'cat $PLAIN > /dev/null'" >/dev/null
summary "$WORK/plain.json" 0
strace -f -e trace=pread64 -o "$WORK/plain.txt" "$TOOL" track "$PLAIN" >/dev/null
python3 -c 'import re,sys; print("read %d bytes of %s" % (sum(int(m.group(1)) for m in (re.search(r"= (\d+)$", l) for l in open(sys.argv[1])) if m), sys.argv[2]))' \
  "$WORK/plain.txt" "$(stat -c %s "$PLAIN") bytes"
