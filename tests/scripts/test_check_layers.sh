#!/usr/bin/env bash
# scripts/check-layers.sh on small made-up source trees: it passes a tree in
# order and fails one that climbs, one whose folders include each other, a
# folder it does not know below formats/, and an include that is no file.
# usage: tests/scripts/test_check_layers.sh CHECK_SCRIPT
set -uo pipefail

check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# tree NAME FILE:INCLUDE... -- makes $work/NAME/src with each FILE holding
# its includes ("FILE:" alone makes a file without any).
tree() {
  local root=$work/$1/src entry file inc
  shift
  for entry in "$@"; do
    file=${entry%%:*}
    inc=${entry#*:}
    mkdir -p "$root/$(dirname "$file")"
    touch "$root/$file"
    [[ -n $inc ]] && echo "#include \"$inc\"" >>"$root/$file"
  done
}

# expect NAME STATUS [TEXT] -- runs the check on tree NAME; the status must
# match and the messages must contain TEXT.
expect() {
  local out status
  out=$(bash "$check" "$work/$1/src" 2>&1)
  status=$?
  if [[ $status -ne $2 ]]; then
    echo "FAIL $1: status $status, expected $2; output: $out"
    failures=$((failures + 1))
  elif [[ -n ${3-} && $out != *"$3"* ]]; then
    echo "FAIL $1: no '$3' in: $out"
    failures=$((failures + 1))
  fi
}

tree ordered base/Error.h: raster/Surface.h:base/Error.h formats/bmp/Bmp.h:raster/Surface.h \
  formats/Load.cpp:formats/bmp/Bmp.h formats/Load.cpp:Load.h formats/Load.h: \
  gui/tools/Shot.cpp:gui/Window.h gui/Window.h:formats/Load.h
expect ordered 0

tree climbs base/Error.h:raster/Surface.h raster/Surface.h:
expect climbs 1 'base/Error.h includes "raster/Surface.h": base is below raster'

tree sideways formats/gif/Gif.h:formats/avi/Sink.h formats/avi/Sink.h:
expect sideways 1 'formats/gif is below formats/avi'

tree mutual morph/Mesh.h:export/Avi.h export/Avi.h:morph/Mesh.h
expect mutual 1 'export and morph include each other'

tree unknown formats/tiff/Tiff.h:base/Error.h base/Error.h:
expect unknown 1 "'formats/tiff' has no place"

tree missing app/Model.h:platform/Host.h
expect missing 1 '"platform/Host.h", which is no file of src/'

if ((failures)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
