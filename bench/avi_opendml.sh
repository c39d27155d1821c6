#!/usr/bin/env bash
# Writes an AVI just past 1 GiB (175 full-HD 24-bit frames, so the file goes
# on in an OpenDML AVIX part) and checks with ffprobe -count_frames and
# ffmpeg that every frame reads back; prints the time taken.
# Usage: bench/avi_opendml.sh [build folder] (default: build). Needs about
# 1.1 GB free in the temporary folder (TMPDIR, else /tmp).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
test=$build/bin/test_avi_interop
[[ -x $test ]] || { echo "build test_avi_interop first: cmake --build $build --target test_avi_interop" >&2; exit 2; }
for tool in /usr/bin/ffprobe /usr/bin/ffmpeg; do
    [[ -x $tool ]] || { echo "$tool is needed" >&2; exit 2; }
done

start=$(date +%s%N)
CROSSMELD_LARGE_TESTS=1 "$test" --gtest_filter='Interop.FilePastOneGibibyteReadsBackCompletely' --gtest_brief=1
end=$(date +%s%N)
echo "write + ffprobe count + ffmpeg decode of the last frame: $(( (end - start) / 1000000 )) ms"
