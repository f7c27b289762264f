#!/usr/bin/env bash
# Backup benchmarks, side by side with the shell doing the same work; prints medians and ratios.
#   1. Backup of a 1 GB recording to another folder: rovixtool backup (every copy
#      flushed to disk) against cp, and against cp followed by sync of the copy.
#   2. Evidence package of the same file: rovixtool backup --evidence (a package
#      folder; hash while copying, copy read back and compared, package.txt,
#      SHA256SUMS) against cp, sha256sum of the source, then sha256sum -c of the copy.
#   3. Cancel latency: the worst of 20 cancels, from the request to the last block written
#      (copy stopped) and to the engine returned (partial copy removed).
# Targets: backup >= 0.9x cp + sync; evidence package >= 2x the shell.
# Usage: bench/backup.sh [RUNS]   (3 by default; BUILD=build-bench by default, Release;
#        WORK= a folder on the disk to measure, /var/tmp by default; SIZE_MB=1024 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-3}
SIZE_MB=${SIZE_MB:-1024}
BUILD=${BUILD:-build-bench}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target rovixtool rovixbackupbench >/dev/null

TOOL="$ROOT/$BUILD/src/rovixtool"
BENCH="$ROOT/$BUILD/bench/backup/rovixbackupbench"
WORK=$(mktemp -d "${WORK:-/var/tmp}/rovix-backup-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

median() { # hyperfine JSON -> median seconds of each command, in order
  python3 -c 'import json,sys; print(" ".join("%.6f" % r["median"] for r in json.load(open(sys.argv[1]))["results"]))' "$1"
}

mkdir -p "$WORK/card" "$WORK/dest"
src="$WORK/card/FILE210315-081100_M.MP4"
head -c $((SIZE_MB * 1048576)) /dev/urandom >"$src"
size=$(stat -c %s "$src")
clean="sh -c 'rm -rf $WORK/dest && mkdir $WORK/dest'"

echo "== Backup of a $SIZE_MB MB recording (median of $RUNS runs) =="
hyperfine -N -w 1 -r "$RUNS" --prepare "$clean" --export-json "$WORK/copy.json" \
  "cp $src $WORK/dest/" \
  "sh -c 'cp $src $WORK/dest/ && sync $WORK/dest/FILE210315-081100_M.MP4'" \
  "$TOOL backup $WORK/dest $src" >/dev/null
read -r cp cps rv < <(median "$WORK/copy.json")
python3 - "$size" "$cp" "$cps" "$rv" <<'PY'
import sys
size = int(sys.argv[1]); cp, cps, rv = map(float, sys.argv[2:])
mb = size / 1e6
print('%-26s %9s %10s %22s' % ('', 'median_s', 'MB/s', 'rovixtool throughput'))
print('%-26s %9.3f %10.1f %21.2fx' % ('cp', cp, mb / cp, cp / rv))
print('%-26s %9.3f %10.1f %21.2fx' % ('cp + sync of the copy', cps, mb / cps, cps / rv))
print('%-26s %9.3f %10.1f' % ('rovixtool backup (fsync)', rv, mb / rv))
PY

echo
echo "== Evidence package of the same recording (median of $RUNS runs) =="
hyperfine -N -w 1 -r "$RUNS" --prepare "$clean" --export-json "$WORK/evidence.json" \
  "sh -c 'cp $src $WORK/dest/ && cd $WORK/card && sha256sum FILE210315-081100_M.MP4 >$WORK/dest/SHA256SUMS && cd $WORK/dest && sha256sum -c SHA256SUMS'" \
  "$TOOL backup --evidence $WORK/dest $src" >/dev/null
read -r sh ev < <(median "$WORK/evidence.json")
python3 - "$sh" "$ev" <<'PY'
import sys
sh, ev = map(float, sys.argv[1:])
print('shell (cp, sha256sum, sha256sum -c)  %8.3f s' % sh)
print('rovixtool backup --evidence          %8.3f s   (%.2fx the shell\'s speed)' % (ev, sh / ev))
PY

echo
echo "== Cancel latency (20 tries) =="
rm -rf "$WORK/dest" && mkdir "$WORK/dest"
"$BENCH" cancel "$src" "$WORK/dest" 20
