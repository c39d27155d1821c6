#!/usr/bin/env bash
# The MP4 job against ffmpeg doing the same crossfade into the same encoder,
# side by side in one run: 30 frames of 1920 x 1080 from two JPEGs at 30
# frames per second, H.264 (libx264, preset medium, rate factor 15 = our
# default quality), yuv420p, BT.709 tags, fast start, two encoder threads.
# The encoder is the same; the goal is our time <= 1.0 x ffmpeg's.
# Usage: bench/mp4_vs_ffmpeg.sh [build]
set -euo pipefail

source "$(dirname "$0")/peer-setup.sh"
rate=30
inputs=(-loop 1 -framerate $rate -t 2 -i "$tmp/a.jpg" -loop 1 -framerate $rate -t 2 -i "$tmp/b.jpg")
fade="[0][1]xfade=transition=fade:duration=$(printf "%.4f" "$(echo "($frames - 1) / $rate" | bc -l)"):offset=0,format=yuv420p"
x264=(-c:v libx264 -preset medium -crf 15 -threads 2 -color_primaries bt709 -color_trc bt709 -colorspace bt709
      -color_range tv -movflags +faststart -frames:v "$frames")

printf '%-7s %12s %12s %12s %12s %7s\n' job "ours (s)" "ffmpeg (s)" "ours (MB)" "ffmpeg (MB)" ratio
read -r os ok <<<"$(measure "$cli" --start "$tmp/a.jpg" --end "$tmp/b.jpg" --frames "$frames" --fps $rate --quiet \
    -o "$tmp/ours.mp4")"
read -r ts tk <<<"$(measure /usr/bin/ffmpeg -y -v error "${inputs[@]}" -filter_complex "$fade" "${x264[@]}" \
    "$tmp/ffmpeg.mp4")"
printf '%-7s %12.2f %12.2f %12.1f %12.1f %7.2f\n' mp4 "$os" "$ts" "$(echo "$ok / 1024" | bc -l)" \
    "$(echo "$tk / 1024" | bc -l)" "$(echo "$os / $ts" | bc -l)"
for f in ours ffmpeg; do
    echo "$f: $(/usr/bin/ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$tmp/$f.mp4") frames," \
        "$(stat -c %s "$tmp/$f.mp4") bytes"
done
