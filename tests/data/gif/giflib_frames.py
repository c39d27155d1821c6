"""Prints what giflib (libgif.so.7, through ctypes) reads from a GIF file
with DGifSlurp: the screen size and the image count, then for every image
its rectangle, interlace flag and its pixel indices (hex, rows top to
bottom). With --count only the first line is printed; with --timing the
first line, then "loop COUNT" (the looping extension's count, or "none")
and "delays D1 D2 ..." (hundredths, from each image's graphic control
extension); with --compose the first line, then for every image the
screen of indices after drawing it as a viewer does (its graphic control
extension's transparent index left out, its disposal applied before the
next image; the screen starts as the background index): "frame N MD5
transparent T covered C" with the MD5 of the screen's indices (rows top to
bottom), T the transparent index or "none", and C 1 when the screen holds
T anywhere. Exits with 1 when giflib cannot open or read the file."""
import ctypes
import hashlib
import sys


class ColorMapObject(ctypes.Structure):
    _fields_ = [("ColorCount", ctypes.c_int), ("BitsPerPixel", ctypes.c_int),
                ("SortFlag", ctypes.c_bool), ("Colors", ctypes.c_void_p)]


class GifImageDesc(ctypes.Structure):
    _fields_ = [("Left", ctypes.c_int), ("Top", ctypes.c_int), ("Width", ctypes.c_int),
                ("Height", ctypes.c_int), ("Interlace", ctypes.c_bool),
                ("ColorMap", ctypes.POINTER(ColorMapObject))]


class ExtensionBlock(ctypes.Structure):
    _fields_ = [("ByteCount", ctypes.c_int), ("Bytes", ctypes.POINTER(ctypes.c_ubyte)),
                ("Function", ctypes.c_int)]


class SavedImage(ctypes.Structure):
    _fields_ = [("ImageDesc", GifImageDesc), ("RasterBits", ctypes.POINTER(ctypes.c_ubyte)),
                ("ExtensionBlockCount", ctypes.c_int), ("ExtensionBlocks", ctypes.POINTER(ExtensionBlock))]


class GifFileType(ctypes.Structure):
    _fields_ = [("SWidth", ctypes.c_int), ("SHeight", ctypes.c_int),
                ("SColorResolution", ctypes.c_int), ("SBackGroundColor", ctypes.c_int),
                ("AspectByte", ctypes.c_ubyte), ("SColorMap", ctypes.POINTER(ColorMapObject)),
                ("ImageCount", ctypes.c_int), ("Image", GifImageDesc),
                ("SavedImages", ctypes.POINTER(SavedImage)), ("ExtensionBlockCount", ctypes.c_int),
                ("ExtensionBlocks", ctypes.c_void_p), ("Error", ctypes.c_int),
                ("UserData", ctypes.c_void_p), ("Private", ctypes.c_void_p)]


lib = ctypes.CDLL("libgif.so.7")
lib.DGifOpenFileName.restype = ctypes.POINTER(GifFileType)
lib.DGifOpenFileName.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int)]
lib.DGifSlurp.argtypes = [ctypes.POINTER(GifFileType)]
lib.DGifCloseFile.argtypes = [ctypes.POINTER(GifFileType), ctypes.POINTER(ctypes.c_int)]

count_only = "--count" in sys.argv[1:]
compose = "--compose" in sys.argv[1:]
timing = "--timing" in sys.argv[1:]
path = [a for a in sys.argv[1:] if not a.startswith("--")][0]
error = ctypes.c_int(0)
gif = lib.DGifOpenFileName(path.encode(), ctypes.byref(error))
if not gif:
    sys.exit(1)
if lib.DGifSlurp(gif) != 1:
    lib.DGifCloseFile(gif, ctypes.byref(error))
    sys.exit(1)
g = gif.contents
print("screen", g.SWidth, g.SHeight, "frames", g.ImageCount)
if timing:
    loop, delays = "none", []
    for n in range(g.ImageCount):
        image = g.SavedImages[n]
        blocks = [image.ExtensionBlocks[i] for i in range(image.ExtensionBlockCount)]
        for i, b in enumerate(blocks):
            data = ctypes.string_at(b.Bytes, b.ByteCount)
            if b.Function == 0xFF and data == b"NETSCAPE2.0" and i + 1 < len(blocks):
                sub = ctypes.string_at(blocks[i + 1].Bytes, blocks[i + 1].ByteCount)
                loop = str(sub[1] + 256 * sub[2])
            if b.Function == 0xF9:
                delays.append(str(data[1] + 256 * data[2]))
    print("loop", loop)
    print("delays", " ".join(delays))
elif compose:
    screen = bytearray([g.SBackGroundColor]) * (g.SWidth * g.SHeight)
    for n in range(g.ImageCount):
        image = g.SavedImages[n]
        d = image.ImageDesc
        transparent, disposal = None, 0
        for i in range(image.ExtensionBlockCount):
            b = image.ExtensionBlocks[i]
            if b.Function == 0xF9:
                data = ctypes.string_at(b.Bytes, b.ByteCount)
                disposal = (data[0] >> 2) & 7
                transparent = data[3] if data[0] & 1 else None
        before = bytes(screen)
        pixels = ctypes.string_at(image.RasterBits, d.Width * d.Height)
        for y in range(d.Height):
            row = (d.Top + y) * g.SWidth + d.Left
            for x in range(d.Width):
                p = pixels[y * d.Width + x]
                if p != transparent:
                    screen[row + x] = p
        covered = int(transparent is not None and transparent in screen)
        print("frame", n + 1, hashlib.md5(screen).hexdigest(), "transparent",
              "none" if transparent is None else transparent, "covered", covered)
        if disposal == 2:
            for y in range(d.Height):
                row = (d.Top + y) * g.SWidth + d.Left
                screen[row:row + d.Width] = bytes([g.SBackGroundColor]) * d.Width
        elif disposal == 3:
            screen = bytearray(before)
elif not count_only:
    for n in range(g.ImageCount):
        image = g.SavedImages[n]
        d = image.ImageDesc
        print("frame", n + 1, d.Left, d.Top, d.Width, d.Height, int(d.Interlace))
        print("pixels", ctypes.string_at(image.RasterBits, d.Width * d.Height).hex())
lib.DGifCloseFile(gif, ctypes.byref(error))
