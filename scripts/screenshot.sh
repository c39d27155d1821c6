#!/usr/bin/env bash
# Renders the desktop window under a virtual X server after loading the
# sample pair and saves the picture as docs/window.png; then a morph in
# progress (a few points moved, the preview half way) as docs/morph.png.
# Usage: scripts/screenshot.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${BUILD_DIR:-build}}
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: run scripts/install-deps.sh" >&2; exit 1; }
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target crossmeld-screenshot
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  "$BUILD/bin/crossmeld-screenshot" docs/window.png docs/morph.png
echo "wrote docs/window.png and docs/morph.png"
