#!/usr/bin/python3
"""Records a PulseAudio source with the wall-clock time of its first frame, for avsync.

ffmpeg's pulse input stamps its packets through a filter that settles on the timing of its
first reads; a sink that changes its latency just then (a player connecting) leaves its stamps
off by up to a few hundred milliseconds for the whole recording, differently from run to run.
Here every 10 ms read is stamped on its own: after the read, PulseAudio's latency of the
record stream says how long ago the next unread frame was captured, which gives the wall time
of that frame once per read. The sound's clock need not run at the wall clock's rate (a null
sink's timer was measured 350 parts per million fast, 35 ms over 100 s), so a straight line is
fitted to those times (least squares, then again without the reads more than 2 ms off it).

Usage: avsync-record.py OUTPUT.wav SECONDS [SOURCE] (default source: avsync.monitor)
Writes OUTPUT.wav (16-bit stereo, 44100 Hz) and prints the wall time (Unix seconds) of its
first frame and the wall seconds per second of sound.
"""
import ctypes
import os
import sys
import time
import wave

import numpy as np

RATE = 44100
CHUNK = 441  # frames per read (10 ms)


class SampleSpec(ctypes.Structure):
    _fields_ = [("format", ctypes.c_int), ("rate", ctypes.c_uint32), ("channels", ctypes.c_uint8)]


class BufferAttr(ctypes.Structure):
    _fields_ = [(name, ctypes.c_uint32) for name in ("maxlength", "tlength", "prebuf", "minreq", "fragsize")]


UNSET = 0xFFFFFFFF  # a buffer setting left to the server


def open_stream(name, direction, device, tlength=UNSET, fragsize=UNSET):
    """libpulse-simple and a 16-bit stereo 44100 Hz stream on it (direction 1: playback, 2:
    record; device None: the default), or the end of the program when the server refuses."""
    pulse = ctypes.CDLL("libpulse-simple.so.0")
    pulse.pa_simple_new.restype = ctypes.c_void_p
    pulse.pa_simple_new.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p,
                                    ctypes.POINTER(SampleSpec), ctypes.c_void_p, ctypes.POINTER(BufferAttr),
                                    ctypes.POINTER(ctypes.c_int)]
    for call in ("pa_simple_read", "pa_simple_write"):
        getattr(pulse, call).argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_int)]
    pulse.pa_simple_get_latency.restype = ctypes.c_uint64
    pulse.pa_simple_get_latency.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int)]
    pulse.pa_simple_drain.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int)]
    pulse.pa_simple_free.argtypes = [ctypes.c_void_p]
    error = ctypes.c_int(0)
    attr = BufferAttr(UNSET, tlength, UNSET, UNSET, fragsize)
    stream = pulse.pa_simple_new(None, name.encode(), direction, device, b"avsync",
                                 ctypes.byref(SampleSpec(3, RATE, 2)), None, ctypes.byref(attr), ctypes.byref(error))
    if not stream:
        sys.exit("%s: PulseAudio refused the stream (error %d)" % (name, error.value))
    return pulse, stream


def main():
    output, seconds = sys.argv[1], float(sys.argv[2])
    source = (sys.argv[3] if len(sys.argv) > 3 else "avsync.monitor").encode()
    # Fragments of one read, so the server hands each 10 ms on as soon as it is captured.
    pulse, stream = open_stream("avsync-record", 2, source, fragsize=CHUNK * 4)
    error = ctypes.c_int(0)
    total = int(seconds * RATE)
    buffer = ctypes.create_string_buffer(CHUNK * 4)
    frames, stamps, chunks = 0, [], []
    while frames < total:
        if pulse.pa_simple_read(stream, buffer, CHUNK * 4, ctypes.byref(error)) != 0:
            sys.exit("avsync-record: read failed (error %d)" % error.value)
        now = time.time()
        latency = pulse.pa_simple_get_latency(stream, ctypes.byref(error)) / 1e6
        frames += CHUNK
        chunks.append(buffer.raw)
        stamps.append((frames, now - latency))
    pulse.pa_simple_free(stream)
    with wave.open(output, "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(chunks))
    print("%.6f %.9f" % fit(stamps))


def fit(stamps):
    """Wall time of frame 0 and wall seconds per second of sound from (frame, wall time) pairs."""
    n = np.array([f for f, _ in stamps], dtype=np.float64) / RATE
    wall = np.array([w for _, w in stamps])
    base = wall[0]
    keep = np.ones(len(n), dtype=bool)
    for _ in range(2):
        slope, start = np.polyfit(n[keep], wall[keep] - base, 1)
        keep = np.abs(wall - base - (start + slope * n)) < 0.002
        if keep.sum() < len(n) // 2:  # too few close reads: keep the plain fit
            break
    if os.environ.get("AVSYNC_DEBUG"):
        print("avsync-record: %d of %d reads within 2 ms of the line; the sound's clock %+.0f parts per million"
              % (keep.sum(), len(n), 1e6 * (1 / slope - 1)), file=sys.stderr)
    return base + start, slope


if __name__ == "__main__":
    main()
