#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages), builds Crossmeld and runs its
# main job on the shipped sample pictures. Results go to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j"$(nproc)" --target crossmeld-cli
mkdir -p out
CLI="$BUILD/bin/crossmeld-cli"
"$CLI" convert "$BUILD/bin/Samples/face2.jpg" out/face2.bmp
"$CLI" convert "$BUILD/bin/Samples/face1.jpg" out/face1.bmp
echo "wrote out/face2.bmp and out/face1.bmp"
