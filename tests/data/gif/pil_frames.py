"""Prints what PIL reads from a GIF file, frame by frame, without composing
frames: the screen size, the loop count, then for every frame its rectangle,
interlace flag, disposal, duration, transparent index, palette (RGB hex) and
its own pixel indices (hex, rows top to bottom) decoded straight from the
frame's tile by PIL's GIF decoder."""
import sys
from PIL import Image

path = sys.argv[1]
im = Image.open(path)
with open(path, "rb") as f:
    raw = f.read()
print("screen", im.size[0], im.size[1], "loop", im.info.get("loop", -1), "frames", im.n_frames)
for n in range(im.n_frames):
    im.seek(n)
    tag, box, offset, args = im.tile[0]
    bits, interlace = args[0], args[1]
    w, h = box[2] - box[0], box[3] - box[1]
    out = Image.new("P", (w, h), 0)
    decoder = Image._getdecoder("P", "gif", (bits, interlace, -1))
    decoder.setimage(out.im, (0, 0, w, h))
    decoder.decode(raw[offset:])
    decoder.cleanup()
    palette = im._frame_palette
    transparency = im._frame_transparency
    print("frame", n + 1, box[0], box[1], w, h, int(bool(interlace)), im.disposal_method,
          im.info.get("duration", 0), -1 if transparency is None else transparency)
    print("palette", bytes(palette.palette).hex() if palette else "")
    print("pixels", bytes(out.getdata()).hex())
