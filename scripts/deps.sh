#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libqt6svg6-dev
  qt6-webengine-dev qt6-webengine-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libgl-dev libmpv-dev mpv ffmpeg libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libhidapi-dev fonts-noto-cjk fonts-liberation2 qt6-translations-l10n xvfb xauth
  libgtest-dev libgmock-dev libbenchmark-dev
  gpsbabel hyperfine strace poppler-utils libxml2-utils libxml2-dev libexiv2-dev exiv2
  libimage-exiftool-perl
  libsqlite3-dev sqlite3
  postgresql libpq-dev
  nodejs npm
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# Node.js may come from another repository that provides npm itself.
if command -v npm >/dev/null 2>&1; then
  tmp=()
  for p in "${missing[@]}"; do [[ "$p" == npm || "$p" == nodejs ]] || tmp+=("$p"); done
  missing=("${tmp[@]+"${tmp[@]}"}")
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Web libraries of the map page (Leaflet), from the npm registry as pinned by
# package-lock.json. Nothing to do when they are already in node_modules.
ROOT_DIR="$(cd "$(dirname "$0")/.." && pwd)"
if [ ! -f "$ROOT_DIR/node_modules/leaflet/dist/leaflet.js" ]; then
  (cd "$ROOT_DIR" && npm ci --no-audit --no-fund)
fi
