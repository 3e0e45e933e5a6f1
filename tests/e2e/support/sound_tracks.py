"""Writes the sound input's test tracks as 16-bit mono WAV files at 44100 Hz: a click track and
a drum loop (a kick on every beat, a snare on 2 and 4, a closed hi-hat on the eighths), both at
128 BPM. Prints the number of clicks and of kicks.
Usage: sound_tracks.py DIR CLICK_SECONDS DRUM_SECONDS"""
import sys
import wave

import numpy as np

RATE = 44100
BEAT = 60 / 128.0
# Half a second of silence before the first sound: a stream's first moments may be lost.
LEAD = 0.5


def write(path, signal):
    data = (np.clip(signal, -1, 1) * 32767).astype("<i2")
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(data.tobytes())


def place(track, sound, seconds):
    start = int(round(seconds * RATE))
    end = min(len(track), start + len(sound))
    track[start:end] += sound[: end - start]


def main():
    folder, click_seconds, drum_seconds = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    t = np.arange(int(0.02 * RATE)) / RATE
    click = np.sin(2 * np.pi * 1500 * t) * np.exp(-t / 0.004) * 0.7
    clicks = np.zeros(int((LEAD + click_seconds) * RATE))
    count = int(click_seconds / BEAT - 0.1)
    for k in range(count):
        place(clicks, click, LEAD + k * BEAT)
    write(f"{folder}/clicks.wav", clicks)

    rng = np.random.default_rng(1)
    tk = np.arange(int(0.25 * RATE)) / RATE
    # A sine falling from 150 Hz to 50 Hz: the body of a kick drum.
    kick = np.sin(2 * np.pi * (50 * tk + 100 * 0.04 * (1 - np.exp(-tk / 0.04)))) * np.exp(-tk / 0.12) * 0.6
    ts = np.arange(int(0.15 * RATE)) / RATE
    snare = (rng.standard_normal(len(ts)) * 0.3 + np.sin(2 * np.pi * 190 * ts) * 0.25) * np.exp(-ts / 0.04)
    th = np.arange(int(0.05 * RATE)) / RATE
    hat = np.diff(rng.standard_normal(len(th) + 1)) * 0.1 * np.exp(-th / 0.01)
    drums = np.zeros(int((LEAD + drum_seconds) * RATE))
    kicks = int(drum_seconds / BEAT - 0.6)
    for k in range(kicks):
        at = LEAD + k * BEAT
        place(drums, kick, at)
        if k % 2 == 1:
            place(drums, snare, at)
        place(drums, hat, at)
        place(drums, hat, at + 0.5 * BEAT)
    write(f"{folder}/drums.wav", drums)
    print(count, kicks)


main()
