#!/usr/bin/python3
"""Counts general and red flashes in a video or a folder of PNG frames, after the WCAG 2.x
definitions, and prints the worst one-second window.

  scripts/flashcheck.py out/show.mp4
  scripts/flashcheck.py frames/ --fps 30

A general flash is a pair of opposing changes in relative luminance of 0.1 or more where the
darker state is below 0.80; a red flash is a pair of opposing changes of 20 or more in the
saturated-red measure 320 * (R - G - B) of a pixel whose red share R / (R + G + B) is 0.8 or
more (linear R, G, B). The frame is judged in 8 x 8 cells (--grid): fine lines and points that
move across the picture average out inside a cell, a flash does not. A change counts for the
whole frame once the cells that made it in the same direction within 0.2 s cover at least a
quarter of the frame (--area). More than three flashes in any one second fail.

Exit status: 0 when no one-second window holds more than three flashes of either kind, 1 when
one does, 2 when the input cannot be read.
"""

import argparse
import glob
import json
import os
import re
import subprocess
import sys

import numpy as np

# Luminance change that makes a transition, and the darker state it must start or end below.
LUMINANCE_STEP = 0.1
DARKER_LIMIT = 0.8
# Change of 320 * (R - G - B) that makes a red transition, and the red share of a saturated red.
RED_STEP = 20.0
RED_SHARE = 0.8
# Cells that change apart by up to this much time still count as one change of the frame
# (a fade crosses the threshold in bright and dark parts a frame or two apart).
GATHER_SECONDS = 0.2
MAX_FLASHES = 3
# The frame is judged in grid x grid cells (at 800 x 600, cells of 100 x 75 pixels).
GRID = 8


def srgb_to_linear_table():
    """Linear value of each 8-bit sRGB code, with the constants WCAG 2.x uses."""
    c = np.arange(256, dtype=np.float64) / 255.0
    return np.where(c <= 0.03928, c / 12.92, ((c + 0.055) / 1.055) ** 2.4).astype(np.float32)


LINEAR = srgb_to_linear_table()


def cell_mean(plane, grid):
    """Means over a grid x grid division of the frame: a flash covers an area of the screen,
    while fine lines and points that move across it average out inside a cell."""
    h = plane.shape[0] // grid * grid
    w = plane.shape[1] // grid * grid
    p = plane[:h, :w]
    return p.reshape(grid, h // grid, grid, w // grid).mean(axis=(1, 3))


def measures(rgb, grid):
    """Relative luminance and the saturated-red measure of an RGB uint8 frame, per cell (from
    every other pixel of every other row, which is plenty for a mean over a cell)."""
    if rgb.shape[0] >= 16 * grid and rgb.shape[1] >= 16 * grid:
        rgb = rgb[::2, ::2]
    lin = LINEAR[rgb[..., :3]]
    r, g, b = lin[..., 0], lin[..., 1], lin[..., 2]
    luminance = 0.2126 * r + 0.7152 * g + 0.0722 * b
    total = r + g + b
    with np.errstate(invalid="ignore", divide="ignore"):
        share = np.where(total > 0, r / total, 0.0)
    red = np.where(share >= RED_SHARE, np.maximum(r - g - b, 0.0) * 320.0, 0.0)
    return cell_mean(luminance, grid), cell_mean(red.astype(np.float32), grid)


class CellTransitions:
    """Per cell, a change is a move of at least `step` away from the last extreme in the
    direction opposite to the previous change; a slow fade in many small steps is one change."""

    def __init__(self, step, darker_limit):
        self.step = step
        self.darker_limit = darker_limit
        self.low = self.high = self.state = None

    def update(self, value):
        if self.low is None:
            self.low = value.copy()
            self.high = value.copy()
            self.state = np.zeros(value.shape, np.int8)
            empty = np.zeros(value.shape, bool)
            return empty, empty
        np.minimum(self.low, value, out=self.low)
        np.maximum(self.high, value, out=self.high)
        up = (self.state != 1) & (value - self.low >= self.step) & (self.low < self.darker_limit)
        down = (self.state != -1) & (self.high - value >= self.step) & (value < self.darker_limit)
        self.state[up] = 1
        self.state[down] = -1
        changed = up | down
        self.low[changed] = value[changed]
        self.high[changed] = value[changed]
        return up, down


class FrameTransitions:
    """Turns per-cell changes into changes of the frame: brighter or darker over at least
    `area` of the frame, alternating, each gathered from cells that changed since the frame's
    previous change and within the gather time."""

    def __init__(self, step, darker_limit, area, gather_frames):
        self.cells = CellTransitions(step, darker_limit)
        self.area = area
        self.gather = gather_frames
        self.last_up = self.last_down = None
        self.direction = 0
        self.last_change = -10**9
        self.frames = []  # (frame index, +1 or -1)

    def update(self, index, value):
        up, down = self.cells.update(value)
        if self.last_up is None:
            self.last_up = np.full(value.shape, -10**9, np.int64)
            self.last_down = np.full(value.shape, -10**9, np.int64)
        self.last_up[up] = index
        self.last_down[down] = index
        since = max(self.last_change, index - self.gather)
        for direction, last in ((1, self.last_up), (-1, self.last_down)):
            if self.direction != direction and np.mean(last > since) >= self.area:
                self.direction = direction
                self.last_change = index
                self.frames.append((index, direction))
                since = index


def windows(changes, frame_count, fps):
    """Flashes (pairs of changes) in every one-second window starting at each frame:
    (worst count, its first frame, number of windows above MAX_FLASHES, window count)."""
    length = max(1, int(round(fps)))
    marks = np.zeros(frame_count + 1, np.int64)
    for index, _ in changes:
        marks[index + 1] += 1
    cumulative = np.cumsum(marks)
    starts = np.arange(0, max(1, frame_count - length + 1))
    ends = np.minimum(starts + length, frame_count)
    flashes = (cumulative[ends] - cumulative[starts]) // 2
    worst = int(flashes.max()) if len(flashes) else 0
    first = int(starts[int(np.argmax(flashes))]) if len(flashes) else 0
    return worst, first, int(np.count_nonzero(flashes > MAX_FLASHES)), len(starts)


def frames_from_folder(folder):
    from PIL import Image

    names = sorted(glob.glob(os.path.join(folder, "*.png")))
    if not names:
        raise OSError(f"no PNG frames in {folder}")
    for name in names:
        with Image.open(name) as image:
            yield np.asarray(image.convert("RGB"))


def folder_times(folder):
    """The show time of the first frame and the frame rate that the program's frame names
    (frame_N_T.TTTs.png) imply, or (0, None) for other names."""
    times = []
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".png"))[:2]:
        match = re.match(r"frame_\d+_(\d+\.\d+)s\.png$", name)
        if match:
            times.append(float(match.group(1)))
    if len(times) == 2 and times[1] > times[0]:
        return times[0], round(1.0 / (times[1] - times[0]))
    return 0.0, None


def video_format(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "stream=width,height,r_frame_rate", "-of", "json", path],
        check=True, capture_output=True, text=True).stdout
    stream = json.loads(out)["streams"][0]
    num, den = stream["r_frame_rate"].split("/")
    return int(stream["width"]), int(stream["height"]), float(num) / float(den)


def frames_from_video(path, width, height):
    process = subprocess.Popen(
        ["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
        stdout=subprocess.PIPE)
    size = width * height * 3
    try:
        while True:
            data = process.stdout.read(size)
            if len(data) < size:
                break
            yield np.frombuffer(data, np.uint8).reshape(height, width, 3)
    finally:
        process.stdout.close()
        process.wait()


def analyse(frames, fps, area=0.25, grid=GRID, start=0.0):
    """Counts the frame changes of both kinds; returns a dict of results, with times in seconds
    from `start`, the time of the first frame."""
    gather = max(1, int(round(GATHER_SECONDS * fps)))
    general = FrameTransitions(LUMINANCE_STEP, DARKER_LIMIT, area, gather)
    red = FrameTransitions(RED_STEP, np.inf, area, gather)
    count = 0
    for index, rgb in enumerate(frames):
        luminance, redness = measures(rgb, grid)
        general.update(index, luminance)
        red.update(index, redness)
        count += 1
    result = {"frames": count, "fps": fps}
    for name, tracker in (("general", general), ("red", red)):
        worst, first, over, total = windows(tracker.frames, count, fps)
        result[name] = {
            "changes": len(tracker.frames),
            "change_times": [round(start + i / fps, 3) for i, _ in tracker.frames],
            "worst": worst,
            "worst_start": round(start + first / fps, 3),
            "windows_over": over,
            "windows": total,
        }
    result["passes"] = result["general"]["worst"] <= MAX_FLASHES and result["red"]["worst"] <= MAX_FLASHES
    return result


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input", help="a video file or a folder of PNG frames")
    parser.add_argument("--fps", type=float, help="frame rate of a folder (default: from the "
                        "frame names, else 30)")
    parser.add_argument("--area", type=float, default=0.25,
                        help="share of the frame a change must cover (default 0.25)")
    parser.add_argument("--grid", type=int, default=GRID,
                        help=f"cells across and down the frame (default {GRID})")
    parser.add_argument("--times", action="store_true", help="also list the time of every change")
    parser.add_argument("--json", action="store_true", help="print the results as JSON")
    args = parser.parse_args(argv)

    try:
        start = 0.0
        if os.path.isdir(args.input):
            start, named_fps = folder_times(args.input)
            fps = args.fps or named_fps or 30.0
            frames = frames_from_folder(args.input)
        else:
            width, height, fps = video_format(args.input)
            fps = args.fps or fps
            frames = frames_from_video(args.input, width, height)
        result = analyse(frames, fps, args.area, args.grid, start)
    except (OSError, subprocess.CalledProcessError, KeyError, ValueError, IndexError) as error:
        print(f"flashcheck: cannot read {args.input}: {error}", file=sys.stderr)
        return 2
    if result["frames"] == 0:
        print(f"flashcheck: no frames in {args.input}", file=sys.stderr)
        return 2

    if args.json:
        print(json.dumps(result))
    else:
        print(f"{result['frames']} frames at {fps:g} fps ({result['frames'] / fps:.1f} s)")
        for name in ("general", "red"):
            r = result[name]
            print(f"{name} flashes: {r['changes']} changes; worst one-second window "
                  f"from {r['worst_start']:.2f} s: {r['worst']} flashes; windows above {MAX_FLASHES}: "
                  f"{r['windows_over']} of {r['windows']}")
            if args.times:
                print("  changes at: " + " ".join(f"{t:.2f}" for t in r["change_times"]))
        print("PASS" if result["passes"] else "FAIL")
    return 0 if result["passes"] else 1


if __name__ == "__main__":
    sys.exit(main())
