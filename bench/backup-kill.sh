#!/usr/bin/env bash
# Kill -9 at random points of an evidence backup, then check what is left:
# after each kill a second run into the same DEST must succeed, no hidden file
# may be left over (after the second run: not even the lock file), and every
# package folder that has a SHA256SUMS must verify with sha256sum -c.
# Prints one line per kill and exits 1 at the first broken promise.
# Usage: bench/backup-kill.sh [KILLS]   (20 by default; SIZE_MB=1024 by default;
#        BUILD=build-bench by default, Release; WORK= a folder on the disk, /var/tmp by default)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
KILLS=${1:-20}
SIZE_MB=${SIZE_MB:-1024}
BUILD=${BUILD:-build-bench}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target rovixtool >/dev/null
TOOL="$ROOT/$BUILD/src/rovixtool"
WORK=$(mktemp -d "${WORK:-/var/tmp}/rovix-backup-kill-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

mkdir -p "$WORK/card" "$WORK/dest"
# Three recordings of a third each, with a small log, so kills land in copies,
# in between them and in the packaging.
for i in 0 1 2; do
  head -c $((SIZE_MB * 1048576 / 3)) /dev/urandom >"$WORK/card/FILE210315-08110${i}_M.MP4"
  for s in 0 1 2 3 4; do
    body="GPRMC,08110$s.00,A,3539.48$s,N,13942.10$s,E,10.0,45.0,150321,,,A"
    sum=0
    for ((k = 0; k < ${#body}; k++)); do sum=$((sum ^ $(printf '%d' "'${body:k:1}"))); done
    printf '$%s*%02X\r\n' "$body" "$sum"
  done >"$WORK/card/FILE210315-08110${i}_M.log"
done
recs=("$WORK"/card/*.MP4)

# How long one run takes, to spread the kills over it.
start=$(date +%s%N)
"$TOOL" backup --evidence "$WORK/dest" "${recs[@]}" >/dev/null
full_ms=$((($(date +%s%N) - start) / 1000000))
rm -rf "$WORK/dest" && mkdir "$WORK/dest"
echo "one evidence run of $SIZE_MB MB: $full_ms ms; $KILLS kills at random points"

check_packages() {
  for p in "$WORK"/dest/Evidence-*; do
    [ -d "$p" ] || continue
    [ -f "$p/SHA256SUMS" ] || continue
    (cd "$p" && sha256sum --quiet --strict -c SHA256SUMS) || { echo "FAIL: $p does not verify"; exit 1; }
  done
}

for ((n = 1; n <= KILLS; n++)); do
  at=$((RANDOM * 32768 + RANDOM))
  at=$((at % (full_ms + 1)))
  "$TOOL" backup --evidence "$WORK/dest" "${recs[@]}" >/dev/null 2>&1 &
  pid=$!
  sleep "$(printf '%d.%03d' $((at / 1000)) $((at % 1000)))"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null && how="finished first" || how="killed"
  incomplete=$(find "$WORK/dest" -mindepth 1 -maxdepth 1 -name 'Evidence-*' -type d '!' -exec test -e '{}/SHA256SUMS' ';' -print | wc -l)
  check_packages
  "$TOOL" backup --evidence "$WORK/dest" "${recs[@]}" >/dev/null || { echo "FAIL: the run after kill $n failed"; exit 1; }
  hidden=$(find "$WORK/dest" -name '.*' | wc -l)
  [ "$hidden" -eq 0 ] || { echo "FAIL: hidden files left after kill $n:"; find "$WORK/dest" -name '.*'; exit 1; }
  check_packages
  echo "kill $n at $at ms ($how): $incomplete unfinished package folder(s) without SHA256SUMS; second run ok, nothing hidden, every package verifies"
  rm -rf "$WORK/dest" && mkdir "$WORK/dest"
done
echo "all $KILLS kills: ok"
