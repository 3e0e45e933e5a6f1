#!/usr/bin/python3
"""Audio-to-picture offset of a screen-and-sound recording of the show.

Finds where the music starts in the recorded sound (cross-correlation with music.mp3), the
accent onset of every flash step in the sound, and the white flash of every such step in the
picture, and prints the mean and the 95th percentile of (flash - onset) in milliseconds.

A flash step's white level is a triangle (or, in a run of flash steps, a saw tooth) that peaks
where the step begins; the flash time of a step is where the recorded brightness fits that
shape best: brightness = base + gain * level(time - shift), searched over the shift. Steps near
an inversion or a scene switch are left out (the picture changes there for other reasons).

Usage: avsync-analyse.py RECORDING MUSIC_MP3 SYNC_TRACKS_CPP [--from S] [--to S]
                         [--sound FILE --sound-start "T S"] [--picture FILE] [--json]
(--from/--to: show seconds to use; --sound: the sound recorded apart from the picture, whose
first frame was heard at Unix time T and whose clock takes S wall seconds per second of sound,
instead of the recording's own sound and its stamps; --picture: the brightness samples of
avsync-grab.py, each stamped with the wall time it was taken, instead of the recording's
picture and its stamps).
Needs ffmpeg, ffprobe and python3-numpy.
"""
import json
import os
import re
import subprocess
import sys

import numpy as np

RATE = 44100
STEP = 60.0 / (186.0 * 4)  # seconds per step: 1 / 12.4


def tracks(path):
    """The pulse track (one kind per step) and the steps of the scene switches."""
    text = open(path).read()
    start = text.index("PulseBars")
    bars = re.findall(r'"([.1-4]{16})"', text[start:text.index("};", start)])
    pulses = [0 if c == "." else int(c) for c in "".join(bars)]
    start = text.index("SceneSwitches[]")
    switches = [int(s) for s, _ in re.findall(r"\{(\d+), (\d+)\}", text[start:text.index("};", start)])]
    return pulses, switches


def decode_audio(path, channels=1):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "f32le", "-ac", str(channels),
                          "-ar", str(RATE), "-"], check=True, capture_output=True).stdout
    samples = np.frombuffer(raw, dtype=np.float32).astype(np.float64)
    return samples.reshape(-1, channels) if channels > 1 else samples


def probe_start(path, kind):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", kind + ":0", "-show_entries",
                          "stream=start_time", "-of", "csv=p=0", path], check=True, capture_output=True, text=True)
    return float(out.stdout.strip().split("\n")[0])


def video_brightness(path):
    """Times (seconds, the container's clock) and mean brightness 0..1 of every recorded frame."""
    times = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "frame=pts_time", "-of", "csv=p=0", path], check=True, capture_output=True, text=True)
    stamps = np.array([float(t.strip(",")) for t in times.stdout.split() if t.strip(",") not in ("", "N/A")])
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:v:0", "-fps_mode", "passthrough", "-vf",
                          "scale=80:60,format=gray", "-f", "rawvideo", "-"], check=True, capture_output=True).stdout
    frames = np.frombuffer(raw, dtype=np.uint8).reshape(-1, 80 * 60).mean(axis=1) / 255.0
    n = min(len(stamps), len(frames))
    return stamps[:n], frames[:n]


def envelope(samples, block=441):
    """Loudness in 10 ms blocks: matches the music even where the waveform drifted a little."""
    usable = len(samples) // block * block
    return np.sqrt(np.mean(samples[:usable].reshape(-1, block) ** 2, axis=1))


def music_start(recorded, music, seconds=30.0):
    """Recording time (seconds from the recorded sound's first sample) of the music's time 0,
    to the nearest 10 ms: the loudness of the music's first seconds against the recording's."""
    block = 441
    mine, theirs = envelope(recorded, block), envelope(music[:int(seconds * RATE)], block)
    theirs = theirs - theirs.mean()
    best, best_lag = -2.0, 0
    for lag in range(0, len(mine) - len(theirs) + 1):
        part = mine[lag:lag + len(theirs)]
        part = part - part.mean()
        norm = np.sqrt(np.dot(part, part) * np.dot(theirs, theirs))
        score = np.dot(part, theirs) / norm if norm > 0 else -1.0
        if score > best:
            best, best_lag = score, lag
    return best_lag * block / RATE


def follow(recorded, music, zero, at, back=0.03, ahead=0.6):
    """The music's time 0 as seen around music time `at`, from `back` before the estimate
    `zero` to `ahead` after it.

    A sound that stalled on the way (a device that ran dry) starts later from then on, and only
    later, so the music is found again around each step mostly ahead of where it was; a stall
    of a busy machine can hold the sound for a few hundred milliseconds. The match is the
    correlation normalised by the energy of the recorded stretch it is taken over: the music
    itself matches at close to 1, while a bar or a beat away, where the sound is alike but
    mostly not the same (and may be louder), it matches less."""
    piece = music[max(0, int((at - 1.0) * RATE)):int((at + 1.0) * RATE)]
    first = int((zero + at - 1.0 - back) * RATE)
    span = int((back + ahead) * RATE)
    if first < 0 or len(piece) < RATE:
        return zero
    part = recorded[first:first + len(piece) + span]
    if len(part) < len(piece) + span:
        return zero
    size = 1 << int(np.ceil(np.log2(len(part) + len(piece))))
    correlation = np.fft.irfft(np.fft.rfft(part, size) * np.conj(np.fft.rfft(piece, size)), size)[:span + 1]
    squares = np.concatenate([[0.0], np.cumsum(part * part)])
    energy = squares[len(piece):len(piece) + span + 1] - squares[:span + 1]
    score = correlation / np.sqrt(np.maximum(energy, 1e-9) * np.dot(piece, piece))
    # Where the music repeats itself exactly (a bar of drums alone), a beat later matches as
    # well as the truth: the earliest match that is as good as the best is taken (the sound
    # cannot have stalled for no reason), at its own peak.
    first_good = int(np.argmax(score >= score.max() - 0.02))
    lag = first_good + int(np.argmax(score[first_good:first_good + RATE // 500 + 1]))
    return (first + lag) / RATE - (at - 1.0)


def stalls(sound, zero):
    """Where the recorded sound stalled: (music time, seconds) of every run of digital silence
    (both channels exactly 0, 1 ms or longer) after the music started. A player that ran dry
    leaves such a run in the sink's monitor (the server plays silence in its place) and then
    goes on where it stopped, so the music is that much later from there on. The music itself
    is never that quiet for a millisecond between its first 25 ms and its last second."""
    quiet = np.concatenate([[0], (np.abs(sound).max(axis=1) == 0).astype(np.int8), [0]])
    edges = np.diff(quiet)
    found, shift = [], 0
    for start, end in zip(np.where(edges == 1)[0], np.where(edges == -1)[0]):
        length = end - start
        at = start - int(round(zero * RATE)) - shift  # music frame where the run begins
        if length < RATE // 1000 or at <= int(0.05 * RATE) or at >= int(205 * RATE):
            continue
        found.append((at / RATE, length / RATE))
        shift += length
    return found


def onset(mono, centre, reach=0.015):
    """The time within `reach` of `centre` where the next 10 ms most exceed the 30 ms before."""
    squares = np.concatenate([[0.0], np.cumsum(mono * mono)])
    best, when = -1e9, centre
    first = int((centre - reach) * RATE)
    for n in range(first, int((centre + reach) * RATE) + 1, 11):
        if n - 1323 < 0 or n + 441 >= len(mono):
            continue
        after = (squares[n + 441] - squares[n]) / 441
        before = (squares[n] - squares[n - 1323]) / 1323
        rise = 10 * np.log10((after + 1e-12) / (before + 1e-12))
        if rise > best:
            best, when = rise, n / RATE
    return when, best


def white_level(pulses, show_time):
    """The flash level at show time: rising over the step before a flash step, falling over it."""
    position = show_time / STEP
    step = np.floor(position).astype(int)
    frac = position - step
    def kind(s):
        inside = (s >= 0) & (s < len(pulses))
        return np.where(inside, np.array(pulses)[np.clip(s, 0, len(pulses) - 1)], 0)
    level = np.where(kind(step) == 1, 1 - frac, 0.0)
    return np.where(kind(step + 1) == 1, frac, level)


def main():
    args = sys.argv[1:]
    recording, music_path, tracks_path = args[:3]
    show_from = float(args[args.index("--from") + 1]) if "--from" in args else 0.0
    show_to = float(args[args.index("--to") + 1]) if "--to" in args else 186.0
    pulses, switches = tracks(tracks_path)

    sound_path = args[args.index("--sound") + 1] if "--sound" in args else recording
    sound = decode_audio(sound_path, 2)
    # The show pans its music half to the left; the right channel is the music at full level.
    right = sound[:, 1]
    mono = sound.mean(axis=1)
    # The sound's clock: the wall time of its first frame and wall seconds per second of sound.
    if "--sound" in args:
        values = [float(v) for v in args[args.index("--sound-start") + 1].split()]
        audio_start, audio_scale = values[0], values[1] if len(values) > 1 else 1.0
    else:
        audio_start, audio_scale = probe_start(recording, "a"), 1.0
    music = decode_audio(music_path, 2)[:, 1]
    zero = music_start(right, music)  # seconds into the recorded sound
    debug = os.environ.get("AVSYNC_DEBUG")
    held = stalls(sound, zero)
    if debug:
        print("%d stalls of the sound, %.3f s in all" % (len(held), sum(h for _, h in held)), file=sys.stderr)
    if "--picture" in args:
        samples = np.loadtxt(args[args.index("--picture") + 1], ndmin=2)
        frame_times, brightness = samples[:, 0], samples[:, 1]
    else:
        frame_times, brightness = video_brightness(recording)
    frame_times = (frame_times - audio_start) / audio_scale  # on the recorded sound's clock

    if debug:
        print("music at %.3f s of the recorded sound; %d frames" % (zero, len(frame_times)), file=sys.stderr)
    results, candidates = [], []
    # To the frame (the loudness is to 10 ms, and the music's quiet first seconds can mislead
    # it), where the music is full, allowing for the stalls before.
    early = sum(h for when, h in held if when < 12.0)
    start = follow(right, music, zero + early, 12.0, 0.15, 0.15) - early
    for step, kind in enumerate(pulses):
        at = step * STEP
        if kind != 1 or at < show_from or at > show_to:
            continue
        # The music's time 0 as it stands after the stalls before this step, to the frame.
        zero = follow(right, music, start + sum(h for when, h in held if when < at), at, 0.05, 0.05)
        if any(pulses[s] == 2 for s in range(step - 2, step + 3) if 0 <= s < len(pulses)):
            continue
        if any(abs(s - step) <= 2 for s in switches):
            continue
        heard, rise = onset(mono, zero + at)
        if debug:
            print("step %d at %.2f: music at %.3f, onset %+.1f ms, rise %.1f dB" % (step, at, zero, 1000 * (heard - zero - at), rise),
                  file=sys.stderr)
        if rise < 3:
            continue
        window = (frame_times > heard - 0.8) & (frame_times < heard + 0.8)
        if window.sum() < 10:
            continue
        candidates.append((step, at, heard, frame_times[window], brightness[window]))

    # The picture's delay behind the sound, first for all steps together (a run of flash steps
    # looks the same a step earlier or later, a lone flash does not), then for each step within
    # 70 ms of that: closer than the next step of a run.
    def misfit(at, heard, t, b, delay):
        """How badly base + gain * level explains the brightness with the flash `delay` after the
        onset, as a share of the brightness's own variance (1 when the flash explains nothing)."""
        level = white_level(pulses, at + (t - heard - delay))
        spread = np.var(level)
        if spread <= 0:
            return 1.0
        gain = np.cov(level, b, bias=True)[0, 1] / spread
        if gain <= 0.1:
            return 1.0
        residual = b - b.mean() - gain * (level - level.mean())
        return float(np.mean(residual ** 2) / max(np.var(b), 1e-9))

    delays = np.arange(-0.6, 0.6001, 0.002)
    total = [sum(misfit(at, heard, t, b, d) for _, at, heard, t, b in candidates) for d in delays]
    common = float(delays[int(np.argmin(total))]) if candidates else 0.0
    if debug:
        print("common delay of the picture %+.1f ms over %d steps" % (1000 * common, len(candidates)), file=sys.stderr)
    for step, at, heard, t, b in candidates:
        near = np.arange(common - 0.07, common + 0.0705, 0.001)
        # Each step's own fit looks at the picture within 0.3 s of its flash only, so that
        # what the scene does further away does not count against it.
        close = np.abs(t - heard - common) < 0.3
        t, b = t[close], b[close]
        if len(t) < 8:
            continue
        errors = [misfit(at, heard, t, b, d) for d in near]
        best = int(np.argmin(errors))
        if debug:
            print("step %d: flash %+.1f ms, misfit %.2f" % (step, 1000 * near[best], errors[best]), file=sys.stderr)
        # The flash must explain most of what the picture did around the step.
        if errors[best] > 0.4:
            continue
        results.append({"step": int(step), "flash_minus_onset_ms": 1000 * float(near[best])})
    offsets = np.array([r["flash_minus_onset_ms"] for r in results])
    summary = {"events": len(results), "mean_ms": float(np.mean(offsets)) if len(offsets) else float("nan"),
               "p95_ms": float(np.percentile(offsets, 95)) if len(offsets) else float("nan"),
               "p5_ms": float(np.percentile(offsets, 5)) if len(offsets) else float("nan"),
               "stdev_ms": float(np.std(offsets)) if len(offsets) else float("nan"),
               "candidates": len(candidates), "common_ms": 1000 * common,
               "music_ends_at_s": zero + audio_start}
    if "--json" in args:
        print(json.dumps(summary))
    else:
        print("events %d  mean %+.1f ms  5th to 95th percentile %+.1f to %+.1f ms  stdev %.1f ms" %
              (summary["events"], summary["mean_ms"], summary["p5_ms"], summary["p95_ms"], summary["stdev_ms"]))


if __name__ == "__main__":
    main()
