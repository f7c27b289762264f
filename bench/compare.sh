#!/usr/bin/env bash
# Runs benchmarks of two commits side by side in one run: for each benchmark,
# the old commit's script with its own Release build, then this checkout's,
# so both meet the same machine state. Prints each benchmark's summary lines
# (medians, ratios, goals) for old and new, and keeps the full logs.
#
# Usage: bench/compare.sh OLD_REV [BENCH...]
#   BENCH names a bench/<name>.sh (default: scan track panels playback capture
#   map monitor video upload backup). The old commit is checked out in a
#   temporary git worktree and configured there; each tree builds the command
#   line tools here and each benchmark script builds its own targets, so only
#   what the chosen benchmarks need is compiled (ccache makes that quick).
# Env:   OUT=folder for the logs (default /tmp/rovix_bench_compare)
#        QUICK=1 (default) runs each benchmark with smaller counts
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
OLD_REV=${1:?usage: bench/compare.sh OLD_REV [BENCH...]}
shift
BENCHES=("$@")
[ ${#BENCHES[@]} -gt 0 ] || BENCHES=(scan track panels playback capture map monitor video upload backup)
OUT=${OUT:-/tmp/rovix_bench_compare}
QUICK=${QUICK:-1}
mkdir -p "$OUT"

OLD_SHA=$(git rev-parse --verify "$OLD_REV^{commit}")
NEW_SHA=$(git rev-parse HEAD)
OLD_TREE=$(dirname "$ROOT")/bench-old
if [ ! -d "$OLD_TREE" ]; then
    git worktree add --detach "$OLD_TREE" "$OLD_SHA" >/dev/null
fi
git -C "$OLD_TREE" checkout --detach -q "$OLD_SHA"
trap 'git -C "$ROOT" worktree remove --force "$OLD_TREE" >/dev/null 2>&1 || true' EXIT

build() { # source folder -> Release build of the tools the scripts that build nothing need
    local src=$1
    cmake -S "$src" -B "$src/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$src/build-bench" -j"$(nproc)" --target rovixtool rovixprobe rovixmediagen_cli >/dev/null
}
echo "== Building old ${OLD_SHA:0:10} and new ${NEW_SHA:0:10} =="
build "$OLD_TREE"
build "$ROOT"

if [ "$QUICK" = 1 ]; then
    # Smaller counts keep a whole comparison near half an hour on two cores;
    # the figures compared are medians of the same sizes on both sides.
    export COUNT=1000 RUNS=5 COLD_RUNS=3 FFPROBE=0 PAINTS=100 ROWS=10000 FILES=2000 SIZE_MB=256
fi

run_one() { # tree bench label
    local tree=$1 name=$2 label=$3 log="$OUT/$2-$3.log" rc=0
    local script="$tree/bench/$name.sh"
    [ -x "$script" ] || [ -f "$script" ] || { echo "  ($label has no bench/$name.sh)"; return; }
    case "$name" in
        # These take the build folder by environment, relative to their own
        # tree, and their first argument is a count.
        backup|capture|track|upload) BUILD=build-bench bash "$script" >"$log" 2>&1 || rc=$? ;;
        *) bash "$script" "$tree/build-bench" >"$log" 2>&1 || rc=$? ;;
    esac
    echo "  [$label] exit $rc, log $log"
    # A log without such lines (a bench that failed early) is not an error here.
    { grep -iE 'median|ratio|goal|speed|MB/s|ms' "$log" | grep -vE '^(==|#)' | tail -n 12 | sed 's/^/    /'; } || true
}

for b in "${BENCHES[@]}"; do
    echo "== $b =="
    run_one "$OLD_TREE" "$b" old
    run_one "$ROOT" "$b" new
done
