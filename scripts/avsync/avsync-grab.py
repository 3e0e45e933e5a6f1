#!/usr/bin/python3
"""Records the brightness of a patch of the X screen, each sample stamped with the wall clock, for
avsync.

ffmpeg's x11grab stamps each frame with the time it was due (start plus n frame durations), not
the time it was taken: a grabber that runs behind its schedule, or starts behind it, takes its
pictures later than their stamps say, by an amount that stays for the whole recording and differs
from run to run (up to 40 ms here). Here every sample is one XGetSubImage of the patch into the
same image, stamped with the middle of the call (the server copies the pixels while it handles
the request, which takes well under a millisecond for the patch), about every 4 ms.

Usage: avsync-grab.py OUTPUT SECONDS X Y WIDTH HEIGHT (the display from $DISPLAY)
Writes OUTPUT as lines "wall_time brightness" (Unix seconds, mean of R, G and B over the patch,
0 to 1) and prints how many samples it took and the longest gap between two of them.
"""
import ctypes
import sys
import time

import numpy as np

ALL_PLANES = 0xFFFFFFFFFFFFFFFF
Z_PIXMAP = 2
PERIOD = 0.004


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, up to what is read here.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


def main():
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    output, seconds = sys.argv[1], float(sys.argv[2])
    x, y, width, height = (int(v) for v in sys.argv[3:7])
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XGetImage.restype = ctypes.POINTER(XImage)
    xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                               ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    xlib.XGetSubImage.restype = ctypes.POINTER(XImage)
    xlib.XGetSubImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int, ctypes.POINTER(XImage),
                                  ctypes.c_int, ctypes.c_int]
    display = xlib.XOpenDisplay(None)
    if not display:
        sys.exit("avsync-grab: cannot open the display")
    root = xlib.XDefaultRootWindow(display)
    image = xlib.XGetImage(display, root, x, y, width, height, ALL_PLANES, Z_PIXMAP)
    if not image or image.contents.bits_per_pixel != 32:
        sys.exit("avsync-grab: the screen is not 24-bit colour in 32-bit pixels")
    row = image.contents.bytes_per_line
    pixels = np.ctypeslib.as_array(ctypes.cast(image.contents.data, ctypes.POINTER(ctypes.c_uint8)),
                                   shape=(height * row,))
    # The image's pixels as an array, a view that every XGetSubImage below writes into.
    patch = pixels.reshape(height, row)[:, :width * 4].reshape(height, width, 4)[:, :, :3]
    stamps, levels = [], []
    end = time.time() + seconds
    due = time.time()
    while True:
        now = time.time()
        if now >= end:
            break
        if now < due:
            time.sleep(due - now)
        before = time.time()
        xlib.XGetSubImage(display, root, x, y, width, height, ALL_PLANES, Z_PIXMAP, image, 0, 0)
        after = time.time()
        stamps.append((before + after) / 2)
        levels.append(float(patch.mean()) / 255.0)
        due = max(due + PERIOD, after)
    with open(output, "w") as out:
        for stamp, level in zip(stamps, levels):
            out.write("%.6f %.5f\n" % (stamp, level))
    gaps = np.diff(np.array(stamps)) if len(stamps) > 1 else np.array([0.0])
    print("avsync-grab: %d samples over %.1f s, longest gap %.1f ms" % (len(stamps), seconds, 1000 * gaps.max()))


if __name__ == "__main__":
    main()
