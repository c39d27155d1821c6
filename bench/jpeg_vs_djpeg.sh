#!/usr/bin/env bash
# Times our JPEG decoder against libjpeg-turbo's djpeg on the same 1920 x 1080
# quality-90 4:2:0 file. Usage: bench/jpeg_vs_djpeg.sh [build folder]
# (default: build). Our figure, and that of libjpeg driven in-process the way
# djpeg drives it, come from bench_jpeg; djpeg's from repeated runs of
# `djpeg -bmp` and `djpeg -ppm` writing to /dev/null, less the start-up cost
# of djpeg (timed on an 8 x 8 file). All figures are CPU time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
bench=$build/bin/bench_jpeg
runs=${RUNS:-40}
[[ -x $bench ]] || { echo "build bench_jpeg first: cmake --build $build --target bench_jpeg" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
/usr/bin/convert -size 1920x1080 -seed 7 plasma:fractal "ppm:$tmp/source.ppm"
/usr/bin/cjpeg -quality 90 -sample 2x2 -outfile "$tmp/bench.jpg" "$tmp/source.ppm"
/usr/bin/convert -size 8x8 xc:gray "ppm:$tmp/tiny.ppm"
/usr/bin/cjpeg -outfile "$tmp/tiny.jpg" "$tmp/tiny.ppm"

# Mean CPU milliseconds (user + system) per run of a command, over $runs
# runs after one warm-up. CPU time rather than wall time, so that other work
# on a shared machine does not count.
per_run_ms() {
    "$@" >/dev/null 2>&1
    local cpu
    cpu=$( { TIMEFORMAT='%U %S'; time (for ((i = 0; i < runs; i++)); do "$@" >/dev/null 2>&1; done); } 2>&1 )
    echo "$cpu" | awk -v n="$runs" '{ printf "%.2f", ($1 + $2) * 1000 / n }'
}

if command -v hyperfine >/dev/null; then
    hyperfine --warmup 3 --runs "$runs" "djpeg -bmp -outfile /dev/null $tmp/bench.jpg" "djpeg -bmp -outfile /dev/null $tmp/tiny.jpg"
fi
startup_ms=$(per_run_ms /usr/bin/djpeg -bmp -outfile /dev/null "$tmp/tiny.jpg")
bmp_ms=$(per_run_ms /usr/bin/djpeg -bmp -outfile /dev/null "$tmp/bench.jpg")
ppm_ms=$(per_run_ms /usr/bin/djpeg -ppm -outfile /dev/null "$tmp/bench.jpg")
median_cpu_ms() {
    CROSSMELD_BENCH_JPEG="$tmp/bench.jpg" "$bench" --benchmark_filter="$1" --benchmark_repetitions=5 \
        --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
        awk -F, '/_median"?,/ { printf "%.2f", $4 }'
}
ours_ms=$(median_cpu_ms BM_DecodeJpeg1080p)
plain_ms=$(median_cpu_ms BM_PlainLibjpeg1080p)

net() { awk -v a="$1" -v b="$startup_ms" 'BEGIN { printf "%.2f", a - b }'; }
ratio() { awk -v a="$ours_ms" -v b="$1" 'BEGIN { printf "%.2f", a / b }'; }
echo "file: $(stat -c %s "$tmp/bench.jpg") bytes, 1920x1080, quality 90, 4:2:0; CPU milliseconds per decode"
echo "ours (DecodeJpeg), median of 5:          $ours_ms"
echo "libjpeg as djpeg drives it, in-process:  $plain_ms   (ours / it: $(ratio "$plain_ms"))"
echo "djpeg start-up (8x8 file, with fork):    $startup_ms"
echo "djpeg -bmp, less start-up:               $(net "$bmp_ms")   (ours / it: $(ratio "$(net "$bmp_ms")"))"
echo "djpeg -ppm, less start-up:               $(net "$ppm_ms")   (ours / it: $(ratio "$(net "$ppm_ms")"))"
