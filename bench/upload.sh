#!/usr/bin/env bash
# Upload benchmark, side by side with curl; prints medians and the ratio.
#   A 1 GB recording posted to a local sink server (bench/upload/sink_server.py,
#   127.0.0.1, reads and discards the body) by rovixuploadbench, the upload
#   window's request (streamed multipart body, answer checked), and by
#   `curl -F upload_field=@FILE` to the same server, alternately, in one run.
#   Reported: median seconds and MB/s of each, the throughput ratio
#   (curl's time / ours), and the upload's extra memory (peak resident size
#   during the upload minus the size just before it; the largest of the runs).
# Targets: extra memory under 50 MB; throughput at least 0.8x curl's.
# Usage: bench/upload.sh [RUNS]   (BUILD=build-bench by default, Release; WORK= where
#        the 1 GB file goes, /var/tmp by default)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-7}
BUILD=${BUILD:-build-bench}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target rovixuploadbench >/dev/null
BENCH="$ROOT/$BUILD/bench/upload/rovixuploadbench"

WORK=$(mktemp -d "${WORK:-/var/tmp}/rovix-upload-bench-XXXXXX")
SERVER_PID=
cleanup() {
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

file="$WORK/FILE210315-081100_M.MP4"
head -c 1073741824 /dev/urandom >"$file"
size=$(stat -c %s "$file")

python3 "$ROOT/bench/upload/sink_server.py" >"$WORK/port" &
SERVER_PID=$!
for _ in $(seq 50); do [ -s "$WORK/port" ] && break; sleep 0.1; done
port=$(cat "$WORK/port")
url="http://127.0.0.1:$port/me/videos?access_token=bench&title=t&description="

# One warm-up each, so both read the file from the page cache.
"$BENCH" "$url" "$file" >/dev/null
curl -sf -o /dev/null -F "upload_field=@$file" "$url"

: >"$WORK/ours"
: >"$WORK/curl"
for _ in $(seq "$RUNS"); do
  "$BENCH" "$url" "$file" >>"$WORK/ours"
  curl -sf -o /dev/null -w '%{time_total}\n' -F "upload_field=@$file" "$url" >>"$WORK/curl"
done

echo "== Upload of a 1 GB recording to 127.0.0.1 (median of $RUNS runs, alternating) =="
python3 - "$size" "$WORK/ours" "$WORK/curl" <<'PY'
import statistics, sys
size = int(sys.argv[1])
ours = [l.split() for l in open(sys.argv[2]) if l.strip()]
curl = [float(l) for l in open(sys.argv[3]) if l.strip()]
t_ours = statistics.median(float(r[0]) for r in ours)
extra_mb = max(int(r[1]) for r in ours) / 1024.0
statuses = sorted(set(r[2] for r in ours))
t_curl = statistics.median(curl)
mb = size / 1e6
print('%-34s %9s %9s' % ('', 'median_s', 'MB/s'))
print('%-34s %9.3f %9.1f' % ('curl -F upload_field=@FILE', t_curl, mb / t_curl))
print('%-34s %9.3f %9.1f' % ('rovix upload request', t_ours, mb / t_ours))
ratio = t_curl / t_ours
print('throughput ratio (ours / curl)     %.2fx   (target >= 0.80x)  %s' % (ratio, 'ok' if ratio >= 0.8 else 'BELOW'))
print('extra memory during the upload     %.1f MB (target < 50 MB)    %s' % (extra_mb, 'ok' if extra_mb < 50 else 'ABOVE'))
print('answers                            HTTP %s' % ', '.join(statuses))
PY
