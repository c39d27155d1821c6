#!/usr/bin/env bash
# A real morph against ffmpeg's plain crossfade of the same two pictures,
# side by side in one run: 30 frames of 1920 x 1080 at 30 frames per second
# to an uncompressed AVI. Ours moves every inner point of a 5 x 5 mesh by
# some tens of pixels (differently in the start and end meshes, border points
# slid along their border), so every frame is warped with bilinear sampling;
# ffmpeg only fades (xfade, rawvideo bgr24). Prints the wall time and peak
# memory of each and the ratio (goal: at most 0.6), then the same morph with
# nearest-pixel sampling.
# Usage: bench/morph_vs_ffmpeg.sh [build]
set -euo pipefail

source "$(dirname "$0")/peer-setup.sh"
/usr/bin/python3 - "$tmp/m.json" <<'PY'
import json, sys
cols, rows, w, h = 5, 5, 1920, 1080
def mesh(dx, dy, slide):
    pts = []
    for r in range(rows + 1):
        for c in range(cols + 1):
            x, y = c * w // cols, r * h // rows
            inner_c, inner_r = 0 < c < cols, 0 < r < rows
            if inner_c and inner_r:
                # alternate the direction so that cells stretch and shrink
                x += dx if (c + r) % 2 else -dx // 2
                y += dy if c % 2 else -dy // 2
            elif inner_c:
                x += slide   # top and bottom border points slide along x
            elif inner_r:
                y += slide   # left and right border points slide along y
            pts.append([x, y])
    return pts
json.dump({"columns": cols, "rows": rows, "width": w, "height": h,
           "start": mesh(40, -30, 20), "end": mesh(-35, 45, -15)}, open(sys.argv[1], "w"))
PY
seconds=$(printf '%.4f' "$(echo "$frames / 30" | bc -l)")
inputs=(-loop 1 -framerate 30 -t "$seconds" -i "$tmp/a.jpg" -loop 1 -framerate 30 -t "$seconds" -i "$tmp/b.jpg")
fade="[0][1]xfade=transition=fade:duration=$(printf '%.4f' "$(echo "($frames - 1) / 30 - 0.001" | bc -l)"):offset=0"

ours=("$cli" --start "$tmp/a.jpg" --end "$tmp/b.jpg" --frames "$frames" --fps 30 --codec raw --mesh "$tmp/m.json"
      --quiet)
# Three runs each, taken in turn so that a busy moment (the disk writing out
# 180 MB) hits both; the best time of each counts.
best() { sort -n | head -1; }
theirs=() bilinear=()
for _ in 1 2 3; do
    theirs+=("$(measure /usr/bin/ffmpeg -y -v error "${inputs[@]}" -filter_complex "$fade,format=bgr24" \
        -frames:v "$frames" -c:v rawvideo "$tmp/ffmpeg.avi")")
    bilinear+=("$(measure "${ours[@]}" --avi "$tmp/ours.avi")")
done
read -r ts tk <<<"$(printf '%s\n' "${theirs[@]}" | best)"
printf '%-17s %12s %12s %12s %12s %7s\n' job "ours (s)" "ffmpeg (s)" "ours (MB)" "ffmpeg (MB)" ratio
row() {
    read -r os ok <<<"$1"
    printf '%-17s %12.2f %12.2f %12.1f %12.1f %7.2f\n' "$2" "$os" "$ts" "$(echo "$ok / 1024" | bc -l)" \
        "$(echo "$tk / 1024" | bc -l)" "$(echo "$os / $ts" | bc -l)"
}
row "$(printf '%s\n' "${bilinear[@]}" | best)" "morph bilinear"
# The same morph with nearest-pixel sampling, for comparison.
row "$(measure "${ours[@]}" --sampling nearest --avi "$tmp/nearest.avi")" "morph nearest"
echo "frames written: ours $(/usr/bin/ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames -of csv=p=0 "$tmp/ours.avi"), ffmpeg $(/usr/bin/ffprobe -v error \
    -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$tmp/ffmpeg.avi")"
