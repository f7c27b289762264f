#!/usr/bin/env bash
# Installs what is missing, builds in Release and launches the application.
# On a first run (no folder remembered yet) it points the application at a
# generated demo card so a new user sees a full library at once.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
# Only what a launch needs: the application, the tool and the demo-card
# generator (the tests and benchmarks are built by scripts/test.sh).
cmake --build build-release -j"$(nproc)" --target rovixmanager rovixtool rovixmediagen_cli

DEMO="$(pwd)/build-release/demo-card"
if [ -x build-release/tools/mediagen/rovixmediagen ] && [ ! -d "$DEMO" ]; then
  build-release/tools/mediagen/rovixmediagen demo "$DEMO" >/dev/null
fi
# The application stores the demo folder only when no folder is remembered yet.
if [ -d "$DEMO" ]; then
  export ROVIX_DEMO_FOLDER="$DEMO"
fi
exec build-release/src/rovixmanager "$@"
