#!/usr/bin/python3
"""A picture and sound in step by construction, for calibrating the avsync recording chain.

Plays the show's music to the PulseAudio server and shows, in a plain X window of the show's
size at the top left of the screen, nothing but the show's white flashes: a grey level equal to
the flash level at the music time being heard. The time heard is the one PulseAudio itself
reports: after each 10 ms of sound is written, the stream's latency (sound still queued in the
server plus the sink's own delay) says when the last written frame will be played, so the
frame being played now is (frames written) - latency * rate; the picture follows the median
of the last second of those reports. The window is filled with plain
X calls (no GL, no compositing): the grey reaches the screen within a millisecond of the call.
Recorded through the same chain as the show and measured with the same analysis, its offset
is the chain's own.

Usage: avsync-reference.py MUSIC_MP3 SYNC_TRACKS_CPP SECONDS
Needs ffmpeg, libpulse-simple and libX11 (loaded with ctypes), python3-numpy.
"""
import ctypes
import runpy
import os
import subprocess
import sys
import threading
import time
import types

import numpy as np

RATE = 44100
CHUNK = 441  # frames written between two looks at the latency (10 ms)
WIDTH, HEIGHT = 800, 600


def sibling(name):
    """Another of the avsync scripts, loaded as a module."""
    here = os.path.dirname(os.path.abspath(__file__))
    return types.SimpleNamespace(**runpy.run_path(os.path.join(here, name + ".py")))


recorder = sibling("avsync-record")


def main():
    music_path, tracks_path, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    analyse = sibling("avsync-analyse")
    pulses, _ = analyse.tracks(tracks_path)
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", music_path, "-t", str(seconds), "-f", "s16le", "-ac", "2",
                          "-ar", str(RATE), "-"], check=True, capture_output=True).stdout
    sound = np.frombuffer(raw, dtype=np.int16).reshape(-1, 2).copy()
    sound[:, 0] //= 2  # panned like the show's music: the left channel at half level
    sound = sound.tobytes()

    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 3 + \
        [ctypes.c_ulong] * 2
    x11.XCreateGC.restype = ctypes.c_void_p
    x11.XCreateGC.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_void_p]
    x11.XMapRaised.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSetForeground.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_ulong]
    x11.XFillRectangle.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 2
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("avsync-reference: no X display")
    window = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display), 0, 0, WIDTH, HEIGHT, 0, 0, 0)
    gc = x11.XCreateGC(display, window, 0, None)
    x11.XMapRaised(display, window)
    x11.XSync(display, 0)

    def show(grey):
        x11.XSetForeground(display, gc, grey * 0x010101)
        x11.XFillRectangle(display, window, gc, 0, 0, WIDTH, HEIGHT)
        x11.XSync(display, 0)

    # A queue of 100 ms: the sound never runs dry on a busy machine, and the latency report
    # says where in it the listener is.
    pulse, stream = recorder.open_stream("avsync-reference", 1, None, tlength=4410 * 4)
    error = ctypes.c_int(0)

    # The sound is written on a thread of its own, so a slow X server never holds up the
    # sound; after each write it leaves the wall time at which music time 0 was heard, as the
    # median of the last second's writes (a single latency report can be off by a few
    # milliseconds; a stall of the sound moves the median within half a second). ctypes lets
    # go of the interpreter lock during the calls into the libraries.
    heard_from = [None]
    latencies, zeros = [], []

    def play():
        written = 0
        while written * 4 < len(sound):
            piece = sound[written * 4:written * 4 + CHUNK * 4]
            if pulse.pa_simple_write(stream, piece, len(piece), ctypes.byref(error)) != 0:
                sys.exit("avsync-reference: write failed (error %d)" % error.value)
            written += len(piece) // 4
            latency = pulse.pa_simple_get_latency(stream, ctypes.byref(error)) / 1e6
            latencies.append(latency)
            zeros.append(time.time() - (written / RATE - latency))
            heard_from[0] = float(np.median(zeros[-100:]))
        pulse.pa_simple_drain(stream, ctypes.byref(error))
        heard_from[0] = None

    show(0)
    player = threading.Thread(target=play)
    player.start()
    last_grey = -1
    while player.is_alive():
        time.sleep(0.001)
        zero = heard_from[0]
        if zero is None:
            continue
        grey = int(round(255 * float(analyse.white_level(pulses, np.array([time.time() - zero]))[0])))
        if grey != last_grey:
            show(grey)
            last_grey = grey
    player.join()
    show(0)
    if os.environ.get("AVSYNC_DEBUG"):
        zeros = np.array(zeros)
        print("avsync-reference: music time 0 heard at wall clock %.3f (first %.3f, last %.3f)"
              % (np.median(zeros), zeros[0], zeros[-1]), file=sys.stderr)
    print("avsync-reference: %.1f s played; PulseAudio latency median %.1f ms (5th to 95th percentile %.1f to %.1f)"
          % (len(sound) / 4 / RATE, 1000 * np.median(latencies), 1000 * np.percentile(latencies, 5),
             1000 * np.percentile(latencies, 95)), file=sys.stderr)


if __name__ == "__main__":
    main()
