#!/usr/bin/python3
"""Compares pairs of PNG frames: the share of pixels that differ and the largest difference.

Usage: frame-diff.py [--label L] A.png B.png [--label L A.png B.png ...]
A pair passes when the frames are byte-identical in their pixels, or when at least 99.9 % of
the pixels are within 1 level on every channel. Prints one line per pair and exits with 1 when
any pair fails or a file is missing.
"""
import sys

import numpy as np
from PIL import Image

ALLOWED_SHARE_ABOVE_ONE = 0.001


def load(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.int16)


def compare(a_path, b_path):
    a, b = load(a_path), load(b_path)
    if a.shape != b.shape:
        return None
    diff = np.abs(a - b).max(axis=2)
    pixels = diff.size
    differ = np.count_nonzero(diff) / pixels
    above_one = np.count_nonzero(diff > 1) / pixels
    return differ, above_one, int(diff.max())


def main(argv):
    pairs, label, i = [], None, 0
    while i < len(argv):
        if argv[i] == "--label":
            label = argv[i + 1]
            i += 2
            continue
        pairs.append((label or argv[i], argv[i], argv[i + 1]))
        label = None
        i += 2
    failed = 0
    print(f"{'frame':>12} {'differ %':>10} {'>1 level %':>11} {'max':>5}  verdict")
    for name, a_path, b_path in pairs:
        try:
            result = compare(a_path, b_path)
        except (OSError, ValueError) as error:
            print(f"{name:>12} cannot compare: {error}")
            failed += 1
            continue
        if result is None:
            print(f"{name:>12} sizes differ")
            failed += 1
            continue
        differ, above_one, largest = result
        verdict = ("identical" if largest == 0 else
                   "within 1 level on 99.9%" if above_one <= ALLOWED_SHARE_ABOVE_ONE else "DIFFERENT")
        failed += verdict == "DIFFERENT"
        print(f"{name:>12} {100 * differ:10.4f} {100 * above_one:11.4f} {largest:5d}  {verdict}")
    print(f"{len(pairs) - failed} of {len(pairs)} frames pass")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
