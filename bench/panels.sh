#!/usr/bin/env bash
# Paint benchmark of the file list and calendar panels, run on demand (never
# from ctest). Under the offscreen platform it reports:
#   - the median time per paint of the file list panel (40 visible rows of a
#     20,000-row playlist) cold (rows just handed over), warm and while
#     scrolling, side by side with Qt's QListWidget showing the same texts;
#   - the median time per paint of the calendar panel beside QCalendarWidget;
#   - type look-ups per paint (the only file-system step of a paint), and with
#     strace the system calls a cold paint makes on the rows' files: no file is
#     ever opened or read, at most one type look-up per visible row.
#
# Usage: bench/panels.sh [BUILD_DIR]   (default: build; builds bench_panels)
# Env:   PAINTS=200 ROWS=20000
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-$ROOT/build}
PAINTS=${PAINTS:-200}
ROWS=${ROWS:-20000}
BIN=$BUILD/bench/panels/bench_panels

cmake --build "$BUILD" --target bench_panels >/dev/null 2>&1 || cmake --build "$BUILD" --target bench_panels
export QT_QPA_PLATFORM=offscreen

echo "== Paint times (median of $PAINTS paints) =="
"$BIN" --paints "$PAINTS" --rows "$ROWS" 2>/dev/null

command -v strace >/dev/null || { echo "panels.sh: strace is missing; skipping the system-call count" >&2; exit 0; }
WORK=$(mktemp -d /tmp/rovix_bench_panels.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
COLD=20
echo
echo "== System calls on the rows' files during $COLD cold paints (strace) =="
strace -f -qq -e trace=%file,%desc -o "$WORK/trace" \
  "$BIN" --paints "$COLD" --rows "$ROWS" --dir "$WORK/card" --phase cold 2>/dev/null | sed -n '1,2p'
# Only the calls that name one of the rows' files (CLIP*.MP4) count.
grep -F "$WORK/card/CLIP" "$WORK/trace" >"$WORK/rows" || true
# Creating the files (the program writes them before painting) is not a paint:
# drop the opens for writing made at set-up.
grep -v -E 'O_WRONLY|O_RDWR|O_CREAT' "$WORK/rows" >"$WORK/paint" || true
total=$(wc -l <"$WORK/paint")
opens=$(grep -c -E 'open(at)?\(' "$WORK/paint" || true)
echo "calls naming a row's file: $total over $COLD paints of 40 rows ($(awk -v t="$total" -v p="$COLD" 'BEGIN{printf "%.1f", t/p}') per paint)"
echo "by call:"
sed -E 's/^[0-9]+ +//; s/\(.*//' "$WORK/paint" | sort | uniq -c | sed 's/^/  /'
echo "opens of a row's file for reading: $opens (contents are never read)"
if [ "$opens" -ne 0 ]; then
  echo "FAIL: a paint opened a recording" >&2
  exit 1
fi
