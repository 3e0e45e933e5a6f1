#!/usr/bin/python3
"""The flash counter on frames made for the purpose: strobes below and above three flashes a
second, a slow fade, a small flashing patch, a red strobe, and a folder and a video read whole."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import flashcheck  # noqa: E402

FPS = 30
WIDTH, HEIGHT = 64, 48


def frame(level, colour=(1.0, 1.0, 1.0), ground=0.0):
    """A whole frame at level (0..1 of colour) over a black ground."""
    rgb = np.array(colour) * level + (1 - level) * ground
    return np.tile((np.clip(rgb, 0, 1) * 255).round().astype(np.uint8), (HEIGHT, WIDTH, 1))


def strobe(hertz, seconds, bright=frame(1.0), dark=frame(0.0)):
    """Alternates bright and dark halves of each period."""
    frames = []
    for i in range(int(seconds * FPS)):
        phase = (i / FPS * hertz) % 1.0
        frames.append(bright if phase < 0.5 else dark)
    return frames


def check(frames):
    return flashcheck.analyse(iter(frames), FPS)


class Strobes(unittest.TestCase):
    def test_two_hertz_passes_four_hertz_fails(self):
        slow = check(strobe(2, 3))
        self.assertEqual(slow["general"]["worst"], 2)
        self.assertEqual(slow["general"]["windows_over"], 0)
        self.assertTrue(slow["passes"])
        fast = check(strobe(4, 3))
        self.assertEqual(fast["general"]["worst"], 4)
        self.assertGreater(fast["general"]["windows_over"], 0)
        self.assertFalse(fast["passes"])

    def test_slow_fade_passes(self):
        # Black to white and back over four seconds: one change each way, in small steps.
        levels = np.concatenate([np.linspace(0, 1, 2 * FPS), np.linspace(1, 0, 2 * FPS)])
        result = check([frame(level) for level in levels] * 2)
        self.assertLessEqual(result["general"]["worst"], 1)
        self.assertTrue(result["passes"])

    def test_patch_smaller_than_a_quarter_passes(self):
        dark = frame(0.0)
        bright = dark.copy()
        bright[: HEIGHT // 2, : WIDTH * 3 // 8] = 255  # three sixteenths of the frame
        result = check(strobe(6, 3, bright, dark))
        self.assertEqual(result["general"]["changes"], 0)
        self.assertTrue(result["passes"])
        # The same patch over a third of the frame is counted.
        bright[: HEIGHT // 2, : WIDTH * 2 // 3] = 255
        self.assertFalse(check(strobe(6, 3, bright, dark))["passes"])

    def test_opposite_halves_add_up_to_the_whole_frame(self):
        # Half black, half white, inverted four times a second: each half alone is under the
        # area, together they flash the whole frame.
        left = frame(0.0)
        left[:, : WIDTH // 2] = 255
        right = 255 - left
        self.assertEqual(check(strobe(4, 3, left, right))["general"]["worst"], 4)

    def test_flicker_between_bright_states_passes(self):
        # Relative luminance 0.85 and 1.0: the darker state is above 0.8.
        self.assertTrue(check(strobe(6, 2, frame(1.0), frame(0.93)))["passes"])

    def test_small_steps_do_not_count(self):
        # A 6 Hz flicker of a dark grey by 10 of 255 stays below a tenth of relative luminance.
        result = check(strobe(6, 2, frame(0.3), frame(0.3 + 10 / 255)))
        self.assertEqual(result["general"]["changes"], 0)


class RedFlashes(unittest.TestCase):
    def test_saturated_red_strobe_counts_as_red(self):
        result = check(strobe(5, 2, frame(1.0, (1, 0, 0)), frame(0.0)))
        self.assertEqual(result["red"]["worst"], 5)
        self.assertFalse(result["passes"])

    def test_amber_is_not_saturated_red(self):
        # Amber has a red share of 0.69 in linear light: a general flash, never a red one.
        result = check(strobe(5, 2, frame(1.0, (1, 0.7, 0)), frame(0.0)))
        self.assertEqual(result["general"]["worst"], 5)
        self.assertEqual(result["red"]["changes"], 0)


class Inputs(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.folder)

    def run_script(self, *args):
        script = os.path.join(os.path.dirname(flashcheck.__file__), "flashcheck.py")
        return subprocess.run([sys.executable, script, *args], capture_output=True, text=True)

    def test_folder_of_frames_with_the_programs_names(self):
        for i, image in enumerate(strobe(4, 2)):
            name = f"frame_{i + 300:06d}_{(i + 300) / FPS:08.3f}s.png"
            Image.fromarray(image).save(os.path.join(self.folder, name))
        self.assertEqual(flashcheck.folder_times(self.folder), (10.0, FPS))
        run = self.run_script(self.folder)
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("worst one-second window", run.stdout)
        self.assertRegex(run.stdout, r"window from 10\.\d\d s: 4 flashes")

    @unittest.skipUnless(shutil.which("ffmpeg") and shutil.which("ffprobe"), "needs ffmpeg")
    def test_video_through_ffmpeg(self):
        video = os.path.join(self.folder, "strobe.mp4")
        frames = strobe(2, 2)
        encoder = subprocess.Popen(
            ["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s",
             f"{WIDTH}x{HEIGHT}", "-r", str(FPS), "-i", "-", "-pix_fmt", "yuv420p", video],
            stdin=subprocess.PIPE)
        encoder.communicate(b"".join(f.tobytes() for f in frames))
        self.assertEqual(encoder.returncode, 0)
        run = self.run_script(video)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn(f"{len(frames)} frames at 30 fps", run.stdout)

    def test_unreadable_input(self):
        run = self.run_script(self.folder)  # an empty folder
        self.assertEqual(run.returncode, 2)
        self.assertIn("no PNG frames", run.stderr)


if __name__ == "__main__":
    unittest.main()
