# Shared by the peer comparisons (sourced): finds crossmeld-cli in the build
# folder given as $1, makes a temporary folder $tmp with two 1920 x 1080
# JPEGs a.jpg and b.jpg, and defines measure, which prints "seconds peak_kib"
# for a command.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build}
cli=$build/bin/crossmeld-cli
[[ -x $cli ]] || { echo "build crossmeld-cli first" >&2; exit 2; }
frames=${FRAMES:-30}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
/usr/bin/convert -size 1920x1080 -seed 3 plasma:fractal -quality 90 "$tmp/a.jpg"
/usr/bin/convert -size 1920x1080 -seed 4 plasma:fractal -quality 90 "$tmp/b.jpg"

measure() {
    /usr/bin/time -f '%e %M' -o "$tmp/time.txt" "$@" >/dev/null 2>"$tmp/err.txt" || { cat "$tmp/err.txt" >&2; exit 1; }
    cat "$tmp/time.txt"
}
