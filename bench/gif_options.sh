#!/usr/bin/env bash
# The GIF options on the sample fade (crossmeld-cli --frames 30 --fps 10 on
# the shipped pair, 320 x 368) and on a 1920 x 1080 fade of the same pair
# scaled up by ImageMagick:
#   --optimize      bytes and time against the plain file (goals: at most
#                   0.6 x the bytes, 1.2 x the time, ordered dither)
#   --palette       halftone / adaptive / fade with ordered dither: bytes,
#                   time and the worst frame's PSNR against the exact fade
#                   (the run's uncompressed AVI; goal for fade: 29.5 dB)
# Times are the best of RUNS runs (default 5), the plain and optimised
# runs taking turns.
# Usage: bench/gif_options.sh [build]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build}
cli=$build/bin/crossmeld-cli
[[ -x $cli ]] || { echo "build crossmeld-cli first" >&2; exit 2; }
runs=${RUNS:-5}
samples=$here/../Samples
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# "wall cpu" seconds (cpu = user + system) of one run.
run_time() {
    /usr/bin/time -f '%e %U %S' -o "$tmp/time.txt" "$@" >/dev/null 2>"$tmp/err.txt" || { cat "$tmp/err.txt" >&2; exit 1; }
    awk '{printf "%.2f %.2f\n", $1, $2 + $3}' "$tmp/time.txt"
}

min() { awk "BEGIN{printf \"%.2f\", ($2 < $1) ? $2 : $1}"; }

# The best wall and cpu times of the runs of a command: "wall cpu".
best_time() {
    local bw= bc= w c
    for ((i = 0; i < runs; i++)); do
        read -r w c < <(run_time "$@")
        bw=$(min "${bw:-$w}" "$w")
        bc=$(min "${bc:-$c}" "$c")
    done
    echo "$bw $bc"
}

# The best times of two commands (separated by --), run by turns so that
# both meet the same load: "wall_a cpu_a wall_b cpu_b".
best_pair() {
    local a=() b=() seen=0
    for arg in "$@"; do
        if [[ $arg == -- ]]; then seen=1; elif ((seen)); then b+=("$arg"); else a+=("$arg"); fi
    done
    local wa= ca= wb= cb= w c
    for ((i = 0; i < runs; i++)); do
        read -r w c < <(run_time "${a[@]}")
        wa=$(min "${wa:-$w}" "$w")
        ca=$(min "${ca:-$c}" "$c")
        read -r w c < <(run_time "${b[@]}")
        wb=$(min "${wb:-$w}" "$w")
        cb=$(min "${cb:-$c}" "$c")
    done
    echo "$wa $ca $wb $cb"
}

# The worst frame's PSNR of a GIF against an AVI of the same frames (ffmpeg decodes both).
worst_psnr() {
    /usr/bin/python3 - "$1" "$2" "$3" "$4" <<'PY'
import math, subprocess, sys
from PIL import Image, ImageChops, ImageStat
gif, avi, w, h = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
def frames(path):
    raw = subprocess.run(["/usr/bin/ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", "rawvideo",
                          "-pix_fmt", "rgb24", "-"], capture_output=True, check=True).stdout
    n = w * h * 3
    return [Image.frombytes("RGB", (w, h), raw[i:i + n]) for i in range(0, len(raw), n)]
worst = 99.0
for a, b in zip(frames(gif), frames(avi)):
    mse = sum(ImageStat.Stat(ImageChops.difference(a, b)).sum2) / (w * h * 3)
    worst = min(worst, 10 * math.log10(255 ** 2 / mse) if mse else 99.0)
print("%.2f" % worst)
PY
}

/usr/bin/convert "$samples/face2.jpg" -resize '1920x1080!' -quality 95 "$tmp/a.jpg"
/usr/bin/convert "$samples/face1.jpg" -resize '1920x1080!' -quality 95 "$tmp/b.jpg"

fade=(--quiet --frames 30 --fps 10)
echo "--optimize (ordered dither, halftone); times in seconds, wall / cpu"
printf '%-10s %11s %11s %6s %11s %11s %11s\n' fade "plain bytes" "optim bytes" ratio "plain s" "optim s" ratio
for size in sample 1920x1080; do
    pair=()
    [[ $size == sample ]] || pair=(--start "$tmp/a.jpg" --end "$tmp/b.jpg")
    read -r wp cp wo co < <(best_pair "$cli" "${fade[@]}" "${pair[@]}" --gif "$tmp/plain.gif" -- \
        "$cli" "${fade[@]}" "${pair[@]}" --optimize --gif "$tmp/optim.gif")
    bp=$(stat -c %s "$tmp/plain.gif")
    bo=$(stat -c %s "$tmp/optim.gif")
    printf '%-10s %11d %11d %6s %11s %11s %11s\n' "$size" "$bp" "$bo" "$(awk "BEGIN{printf \"%.3f\", $bo / $bp}")" \
        "$wp / $cp" "$wo / $co" "$(awk "BEGIN{printf \"%.2f / %.2f\", $wo / $wp, $co / $cp}")"
done

echo
echo "--palette (sample fade, ordered dither); times in seconds, wall / cpu"
"$cli" "${fade[@]}" --avi "$tmp/exact.avi" >/dev/null 2>&1
printf '%-10s %11s %11s %11s %9s\n' palette bytes "optim bytes" seconds "worst dB"
for palette in halftone adaptive fade; do
    read -r w c < <(best_time "$cli" "${fade[@]}" --palette "$palette" --gif "$tmp/$palette.gif")
    "$cli" "${fade[@]}" --palette "$palette" --optimize --gif "$tmp/$palette-o.gif" >/dev/null 2>&1
    printf '%-10s %11d %11d %11s %9s\n' "$palette" "$(stat -c %s "$tmp/$palette.gif")" \
        "$(stat -c %s "$tmp/$palette-o.gif")" "$w / $c" "$(worst_psnr "$tmp/$palette.gif" "$tmp/exact.avi" 320 368)"
done
