#!/usr/bin/env bash
# The whole GIF job against the peers doing the same fade, in one run:
# 30 frames of 1920 x 1080 from two JPEGs at 5 frames per second, written as
# a looping animated GIF.
#   crossmeld      crossmeld-cli --gif (216-colour cube, ordered dither)
#   ffmpeg-cube    xfade, then paletteuse with a fixed 216-colour cube and Bayer dither
#   ffmpeg-gen     xfade, then palettegen + paletteuse
#   imagemagick    -morph 28 -ordered-dither o4x4,6
# Reports wall time and peak memory (maximum resident set size) of each.
# Usage: bench/gif_vs_peers.sh [build] (SKIP_IM=1 leaves out ImageMagick)
set -euo pipefail

source "$(dirname "$0")/peer-setup.sh"
# The 216-colour cube as a 16 x 16 palette picture (the rest black).
/usr/bin/python3 - "$tmp/cube.png" <<'PY'
import sys
from PIL import Image
im = Image.new('RGB', (16, 16))
for i in range(216):
    im.putpixel((i % 16, i // 16), ((i % 6) * 51, (i // 6 % 6) * 51, (i // 36) * 51))
im.save(sys.argv[1])
PY
inputs=(-loop 1 -framerate 5 -t 6 -i "$tmp/a.jpg" -loop 1 -framerate 5 -t 6 -i "$tmp/b.jpg")
fade='[0][1]xfade=transition=fade:duration=5.8:offset=0'

declare -A result
result[crossmeld]=$(measure "$cli" --start "$tmp/a.jpg" --end "$tmp/b.jpg" --frames "$frames" --fps 5 --gif "$tmp/ours.gif" --quiet)
result[ffmpeg-cube]=$(measure /usr/bin/ffmpeg -y -v error "${inputs[@]}" -i "$tmp/cube.png" \
    -filter_complex "$fade[f];[f][2]paletteuse=dither=bayer:bayer_scale=0" "$tmp/ffmpeg-cube.gif")
result[ffmpeg-gen]=$(measure /usr/bin/ffmpeg -y -v error "${inputs[@]}" \
    -filter_complex "$fade,split[f][g];[g]palettegen[p];[f][p]paletteuse" "$tmp/ffmpeg-gen.gif")
jobs=(crossmeld ffmpeg-cube ffmpeg-gen)
if [[ -z ${SKIP_IM:-} ]]; then
    result[imagemagick]=$(measure /usr/bin/convert "$tmp/a.jpg" "$tmp/b.jpg" -morph $((frames - 2)) \
        -ordered-dither o4x4,6 -delay 20 -loop 0 "$tmp/im.gif")
    jobs+=(imagemagick)
fi

printf '%-12s %8s %10s %10s\n' job "wall (s)" "peak (MB)" "size (MB)"
for job in "${jobs[@]}"; do
    read -r s kib <<<"${result[$job]}"
    case $job in
        crossmeld) file=ours.gif ;; ffmpeg-cube) file=ffmpeg-cube.gif ;; ffmpeg-gen) file=ffmpeg-gen.gif ;; *) file=im.gif ;;
    esac
    printf '%-12s %8.2f %10.1f %10.1f\n' "$job" "$s" "$(echo "$kib / 1024" | bc -l)" \
        "$(echo "$(stat -c %s "$tmp/$file") / 1048576" | bc -l)"
done
echo "frames of the document: $(echo "$frames * 1920 * 1080 / 1048576" | bc -l | cut -c1-5) MB"
