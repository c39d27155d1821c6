#!/usr/bin/env bash
# The whole fade job against ffmpeg doing the same crossfade, side by side in
# one run: 30 frames of 1920 x 1080 from two JPEGs at 5 frames per second,
#   raw    an uncompressed AVI         (ffmpeg: xfade, rawvideo bgr24)
#   mjpeg  a Motion-JPEG AVI           (ffmpeg: xfade, its mjpeg encoder)
#   gif    216-colour cube, ordered    (ffmpeg: xfade, paletteuse with the
#          dither                       same cube and Bayer dither)
# Reports wall time and peak memory (maximum resident set size) of each and
# the ratio; then our peaks at 20 and 100 frames (they should be flat) and
# what the jobs left in their temporary folder (nothing).
# Usage: bench/create_vs_ffmpeg.sh [build]
set -euo pipefail

source "$(dirname "$0")/peer-setup.sh"
/usr/bin/python3 - "$tmp/cube.png" <<'PY'
import sys
from PIL import Image
im = Image.new('RGB', (16, 16))
for i in range(216):
    im.putpixel((i % 16, i // 16), ((i % 6) * 51, (i // 6 % 6) * 51, (i // 36) * 51))
im.save(sys.argv[1])
PY
mkdir -p "$tmp/scratch"
export TEMP=$tmp/scratch
inputs=(-loop 1 -framerate 5 -t 6 -i "$tmp/a.jpg" -loop 1 -framerate 5 -t 6 -i "$tmp/b.jpg")
fade='[0][1]xfade=transition=fade:duration=5.8:offset=0'
ours=("$cli" --start "$tmp/a.jpg" --end "$tmp/b.jpg" --fps 5 --quiet)

printf '%-7s %12s %12s %12s %12s %7s\n' job "ours (s)" "ffmpeg (s)" "ours (MB)" "ffmpeg (MB)" ratio
row() {
    read -r os ok <<<"$1"
    read -r ts tk <<<"$2"
    printf '%-7s %12.2f %12.2f %12.1f %12.1f %7.2f\n' "$3" "$os" "$ts" "$(echo "$ok / 1024" | bc -l)" \
        "$(echo "$tk / 1024" | bc -l)" "$(echo "$os / $ts" | bc -l)"
}
row "$(measure "${ours[@]}" --frames "$frames" --avi "$tmp/ours.avi" --codec raw)" \
    "$(measure /usr/bin/ffmpeg -y -v error "${inputs[@]}" -filter_complex "$fade,format=bgr24" -c:v rawvideo \
        "$tmp/ffmpeg.avi")" raw
row "$(measure "${ours[@]}" --frames "$frames" --avi "$tmp/ours-mjpeg.avi" --codec mjpeg)" \
    "$(measure /usr/bin/ffmpeg -y -v error "${inputs[@]}" -filter_complex "$fade,format=yuvj420p" -c:v mjpeg \
        "$tmp/ffmpeg-mjpeg.avi")" mjpeg
row "$(measure "${ours[@]}" --frames "$frames" --gif "$tmp/ours.gif")" \
    "$(measure /usr/bin/ffmpeg -y -v error "${inputs[@]}" -i "$tmp/cube.png" \
        -filter_complex "$fade[f];[f][2]paletteuse=dither=bayer:bayer_scale=0" "$tmp/ffmpeg.gif")" gif

echo
printf '%-7s %14s %14s\n' job "20 frames (MB)" "100 frames (MB)"
for job in "--avi $tmp/m.avi --codec raw" "--gif $tmp/m.gif"; do
    read -r _ k20 <<<"$(measure "${ours[@]}" --frames 20 $job)"
    read -r _ k100 <<<"$(measure "${ours[@]}" --frames 100 $job)"
    printf '%-7s %14.1f %14.1f\n' "${job:2:3}" "$(echo "$k20 / 1024" | bc -l)" "$(echo "$k100 / 1024" | bc -l)"
done
echo "left in the temporary folder: $(find "$TEMP" -mindepth 1 | wc -l) entries"
