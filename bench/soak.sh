#!/usr/bin/env bash
# Soak run: the application driven by seeded random user actions (the driver
# of tests/soak) for a long run, under xvfb-run. Reports the seed, the number
# of actions, the time taken, the files written and checked, and passed or
# failed; a failure prints the last 20 actions and the application's error
# output, and the seed to run it again.
# Usage: bench/soak.sh [SEED] [ACTIONS]   (seed: the time by default; 2000 actions)
#        BUILD=build by default (Release); BUILD=build-asan runs the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
SEED=${1:-$(date +%s)}
ACTIONS=${2:-2000}
BUILD=${BUILD:-build}

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD" -j"$(nproc)" --target test_soak >/dev/null

echo "== Soak: $ACTIONS actions, seed $SEED ($BUILD) =="
export QT_QPA_PLATFORM=xcb
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
ROVIX_SOAK_SEED=$SEED ROVIX_SOAK_ACTIONS=$ACTIONS \
  xvfb-run -a -s "-screen 0 1920x1080x24" "$BUILD/tests/soak/test_soak" 2>&1 |
  grep -E '^(soak|  )' || status=$?
exit $status
