#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages), builds Crossmeld and runs its
# main job on the shipped sample pictures: the sample fade, written to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j"$(nproc)" --target crossmeld-cli
mkdir -p out
CLI="$BUILD/bin/crossmeld-cli"
# Without --start and --end the command line loads the sample pair, as the
# window's "Load Sample/Example Images" does.
"$CLI" --frames 30 --fps 10 --avi out/fade.avi
"$CLI" --frames 30 --fps 10 --avi out/fade-mjpeg.avi --codec mjpeg
"$CLI" --frames 30 --fps 10 --gif out/fade.gif
"$CLI" --frames 30 --fps 10 -o out/fade.mp4
echo "wrote out/fade.avi (uncompressed), out/fade-mjpeg.avi (Motion JPEG), out/fade.gif (looping GIF)" \
  "and out/fade.mp4 (H.264)"
