#!/usr/bin/env bash
# The whole fade job against ffmpeg doing the same crossfade, in one run:
# 30 frames of 1920 x 1080 from two JPEGs at 5 frames per second, written as
# an uncompressed AVI. Reports wall time and peak memory (maximum resident
# set size) of each, and the ratio. Usage: bench/create_vs_ffmpeg.sh [build]
set -euo pipefail

source "$(dirname "$0")/peer-setup.sh"

ours=$(measure "$cli" --start "$tmp/a.jpg" --end "$tmp/b.jpg" --frames "$frames" --fps 5 --avi "$tmp/ours.avi" --codec raw --quiet)
theirs=$(measure /usr/bin/ffmpeg -y -v error -loop 1 -framerate 5 -t 6 -i "$tmp/a.jpg" -loop 1 -framerate 5 -t 6 -i "$tmp/b.jpg" \
    -filter_complex '[0][1]xfade=transition=fade:duration=5.8:offset=0,format=bgr24' -c:v rawvideo "$tmp/ffmpeg.avi")

read -r ours_s ours_kib <<<"$ours"
read -r theirs_s theirs_kib <<<"$theirs"
printf '%-14s %8s %10s\n' job "wall (s)" "peak (MB)"
printf '%-14s %8.2f %10.1f\n' crossmeld "$ours_s" "$(echo "$ours_kib / 1024" | bc -l)"
printf '%-14s %8.2f %10.1f\n' ffmpeg "$theirs_s" "$(echo "$theirs_kib / 1024" | bc -l)"
printf 'ratio (crossmeld / ffmpeg wall): %.2f\n' "$(echo "$ours_s / $theirs_s" | bc -l)"
