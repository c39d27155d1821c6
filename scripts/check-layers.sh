#!/usr/bin/env bash
# Checks that the folders of src/ are layers: a file includes headers of its
# own folder and of the folders below it in LAYERS, never of a folder above
# it, and no two folders include each other. Prints every offending include
# and exits 1; exits 0 when there is none.
#
# usage: scripts/check-layers.sh [SRC_DIR]   (default: the src/ beside this script)
set -euo pipefail

# Lowest first. A folder that is not listed belongs to its nearest listed
# parent (gui/tools is gui), except below a folder that has listed subfolders
# (formats/, app/): a new folder there has to be given its place here.
LAYERS=(
  base
  raster
  colour
  formats/bmp formats/jpeg formats/png formats/ico formats/gif formats/avi formats/metafile
  formats
  morph
  export
  app/controls
  app
  cli
  gui
)

src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}
src=${src%/}
[[ -d $src ]] || { echo "check-layers: no folder $src" >&2; exit 2; }

declare -A rank parent
for i in "${!LAYERS[@]}"; do
  rank[${LAYERS[$i]}]=$i
  [[ ${LAYERS[$i]} == */* ]] && parent[${LAYERS[$i]%/*}]=1
done

# Sets `layer` to the layer of a folder given relative to src/; fails when
# the folder has none.
find_layer() {
  local dir=$1 d=$1
  layer=
  while [[ -n $d && $d != . ]]; do
    if [[ -n ${rank[$d]+x} ]]; then
      # Below formats/ or app/ only listed folders are layers.
      [[ $d != "$dir" && -n ${parent[$d]+x} ]] && return 1
      layer=$d
      return 0
    fi
    if [[ $d == */* ]]; then d=${d%/*}; else d=; fi
  done
  return 1
}

status=0
declare -A edge
fail() {
  echo "$1" >&2
  status=1
}

while IFS= read -r -d '' file; do
  rel=${file#"$src"/}
  dir=.
  [[ $rel == */* ]] && dir=${rel%/*}
  if ! find_layer "$dir"; then
    fail "$rel: the folder '$dir' has no place in the layer list of check-layers.sh"
    continue
  fi
  from=$layer
  while IFS= read -r inc; do
    # As the compiler looks: beside the including file first, then from src/.
    if [[ -f $src/$dir/$inc ]]; then
      target=$dir/$inc
    elif [[ -f $src/$inc ]]; then
      target=$inc
    else
      fail "$rel includes \"$inc\", which is no file of src/"
      continue
    fi
    tdir=.
    [[ $target == */* ]] && tdir=${target%/*}
    if ! find_layer "$tdir"; then
      fail "$rel includes \"$inc\", whose folder '$tdir' has no place in the layer list"
      continue
    fi
    to=$layer
    [[ $to == "$from" ]] && continue
    edge["$from>$to"]=1
    rank_from=${rank[$from]}
    rank_to=${rank[$to]}
    if ((rank_to > rank_from)); then
      fail "$rel includes \"$inc\": $from is below $to and must not include it"
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "$src" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \) -print0 | sort -z)

for e in "${!edge[@]}"; do
  a=${e%%>*}
  b=${e#*>}
  if [[ -n ${edge["$b>$a"]+x} && $a < $b ]]; then
    fail "$a and $b include each other"
  fi
done

if ((status == 0)); then
  echo "check-layers: ${#LAYERS[@]} layers, no include climbs and no two folders include each other"
fi
exit $status
