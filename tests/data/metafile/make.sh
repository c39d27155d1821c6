#!/usr/bin/env bash
# Makes the metafile test pictures once; the results are kept in the
# repository, so the tests never run these programs themselves.
#  - <name>.emf and <name>.wmf: LibreOffice Draw's conversion of <name>.svg.
#  - <name>.emf.png and <name>.wmf.png: rsvg-convert's rendering of the same
#    SVG over white, at the metafile's natural size (the frame of the EMF, the
#    placeable box of the WMF, at 96 dots per inch) and showing the part of
#    the drawing the metafile shows: LibreOffice's frame is the SVG canvas
#    shrunk by the same amount on every side.
# Notes on LibreOffice's output (its plain records; EMF+ comments aside):
# outlines of closed shapes come out as one-pixel pens whatever the SVG's
# stroke width, so the shapes here use one-unit strokes; open wide lines come
# out as filled polygons.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for svg in *.svg; do
  name=${svg%.svg}
  for kind in emf wmf; do
    soffice --headless -env:UserInstallation=file://$tmp/profile --convert-to $kind --outdir "$tmp" "$svg" >/dev/null 2>&1
    cp "$tmp/$name.$kind" "$name.$kind"
    /usr/bin/python3 - "$svg" "$name.$kind" "$tmp/$name.$kind.svg" <<'PY'
import re, struct, sys
svg, metafile, out = sys.argv[1:4]
data = open(metafile, 'rb').read()
if metafile.endswith('.emf'):
    left, top, right, bottom = struct.unpack_from('<iiii', data, 24)   # frame, 0.01 mm
    per_inch = 2540
else:
    left, top, right, bottom, per_inch = struct.unpack_from('<hhhhH', data, 6)  # placeable box
w_units, h_units = right - left, bottom - top
width, height = round(w_units * 96 / per_inch), round(h_units * 96 / per_inch)
text = open(svg).read()
m = re.search(r'<svg[^>]*width="([\d.]+)"[^>]*height="([\d.]+)"', text)
canvas_w, canvas_h = float(m.group(1)), float(m.group(2))
shown_w, shown_h = w_units / per_inch * 96, h_units / per_inch * 96
dx, dy = (canvas_w - shown_w) / 2, (canvas_h - shown_h) / 2
text = re.sub(r'viewBox="[^"]*"', 'viewBox="%.4f %.4f %.4f %.4f" preserveAspectRatio="none"' % (dx, dy, shown_w, shown_h), text, count=1)
text = re.sub(r'(<svg[^>]*?)width="[\d.]+"', r'\g<1>width="%d"' % width, text, count=1)
text = re.sub(r'(<svg[^>]*?)height="[\d.]+"', r'\g<1>height="%d"' % height, text, count=1)
open(out, 'w').write(text)
PY
    rsvg-convert -b white -o "$name.$kind.png" "$tmp/$name.$kind.svg"
  done
done
