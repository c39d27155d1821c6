#!/bin/sh
# Makes the small GIF corpus of this folder with other programs' writers:
# ImageMagick, ffmpeg and PIL. Run once; the outputs are kept with the
# sources, so the tests do not need these programs to have the files (they
# still need PIL to check them).
set -eu
cd "$(dirname "$0")"
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

# ImageMagick: an animation of frames of different sizes at different
# offsets, with delays, disposal methods and a loop count of 3; a comment
# extension rides along.
convert -size 40x30 gradient:red-blue "$T/a.png"
convert -size 25x17 plasma:fractal -seed 7 "$T/b.png"
convert -size 13x29 xc:none -fill green -draw "circle 6,14 6,3" "$T/c.png"
convert -comment "made by ImageMagick" -loop 3 \
  -dispose none -delay 7 -page 40x30+0+0 "$T/a.png" \
  -dispose background -delay 23 -page 40x30+9+6 "$T/b.png" \
  -dispose previous -delay 150 -page 40x30+27+1 "$T/c.png" \
  im_anim.gif
# Interlaced, odd size, full 256-colour table.
convert -seed 3 -size 97x61 plasma:red-yellow -colors 256 -interlace GIF im_interlaced.gif
# A transparent background around an opaque shape.
convert -size 33x21 xc:none -fill "#3060c0" -draw "roundrectangle 3,3 29,17 5,5" im_transparent.gif
# Frames with their own colour tables (no common map).
convert -loop 0 -delay 10 -seed 11 -size 31x23 plasma:green-white plasma:red-black \
  xc:yellow -colors 64 im_local.gif
# The old header: GIF87a, one image, 16 colours.
convert -size 50x20 gradient:white-black -colors 16 GIF87:im_87a.gif

# ffmpeg: an animation with one palette, then one with a palette per frame
# (its encoder also crops each frame to the rectangle that changed).
ffmpeg -v error -y -f lavfi -i testsrc=size=48x36:rate=5 -t 0.8 -loop 2 ff_anim.gif
ffmpeg -v error -y -f lavfi -i testsrc2=size=40x30:rate=4 -t 1 \
  -lavfi "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1" -loop 0 ff_local.gif

# PIL: interlaced by default for images of 16 rows or more, transparency,
# restore-to-background disposal, per-frame durations; a two-colour image.
/usr/bin/python3 - <<'PY'
from PIL import Image, ImageDraw
frames = []
for k in range(4):
    im = Image.new("P", (37, 26), 0)
    im.putpalette([(i * 37) % 256 for i in range(48)])
    d = ImageDraw.Draw(im)
    d.rectangle((k * 5, 2, k * 5 + 14, 20), fill=k + 3)
    d.line((0, 25, 36, k * 6), fill=15)
    frames.append(im)
frames[0].save("pil_anim.gif", save_all=True, append_images=frames[1:], duration=[40, 80, 120, 160],
               loop=4, disposal=2, transparency=0, optimize=False)
bw = Image.new("1", (19, 7), 1)
ImageDraw.Draw(bw).line((0, 0, 18, 6), fill=0)
bw.save("pil_bilevel.gif")
PY
ls -l ./*.gif
