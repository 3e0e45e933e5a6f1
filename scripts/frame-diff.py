#!/usr/bin/python3
"""Compares pairs of PNG frames: the share of pixels that differ and the largest difference.

Usage: frame-diff.py [--ssim] [--label L] A.png B.png [--label L A.png B.png ...]
A pair passes when the frames are byte-identical in their pixels, or when at least 99.9 % of
the pixels are within 1 level on every channel. Prints one line per pair and exits with 1 when
any pair fails or a file is missing.

With --ssim the pixels may move where drawing was made cheaper: each pair's structural
similarity (of the luma, 8 x 8 windows, the usual constants) is printed, and the comparison
passes when every pair reaches 0.97 and their mean 0.99. The mean brightness of both frames is
printed too, and a pair fails when one of them is a white flash or an inversion (mean brightness
jumping by more than a third of the range against the frame before it) and the other is not.
"""
import sys

try:
    import numpy as np
    from PIL import Image
except ImportError as missing:
    sys.exit(f"frame-diff: needs numpy and Pillow ({missing}); run it with a Python 3 that has them")

ALLOWED_SHARE_ABOVE_ONE = 0.001
SSIM_LOWEST = 0.97
SSIM_MEAN = 0.99
FLASH_JUMP = 255 / 3


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


def luma(path):
    rgb = np.asarray(Image.open(path).convert("RGB"), dtype=np.float64)
    return rgb @ np.array([0.299, 0.587, 0.114])


def window_means(x, size=8):
    """Means of every size x size window (valid positions only), by summed-area table."""
    table = np.pad(x, ((1, 0), (1, 0))).cumsum(0).cumsum(1)
    total = table[size:, size:] - table[:-size, size:] - table[size:, :-size] + table[:-size, :-size]
    return total / (size * size)


def ssim(a, b):
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    ma, mb = window_means(a), window_means(b)
    va = window_means(a * a) - ma * ma
    vb = window_means(b * b) - mb * mb
    cov = window_means(a * b) - ma * mb
    index = ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2))
    return float(index.mean())


def flash(mean, previous):
    return previous is not None and abs(mean - previous) > FLASH_JUMP


def main_ssim(pairs):
    failed, scores = 0, []
    previous = (None, None)
    print(f"{'frame':>12} {'ssim':>8} {'mean A':>7} {'mean B':>7}  verdict")
    for name, a_path, b_path in pairs:
        try:
            a, b = luma(a_path), luma(b_path)
        except (OSError, ValueError) as error:
            print(f"{name:>12} cannot compare: {error}")
            failed += 1
            continue
        if a.shape != b.shape:
            print(f"{name:>12} sizes differ")
            failed += 1
            continue
        score = ssim(a, b)
        scores.append(score)
        mean_a, mean_b = float(a.mean()), float(b.mean())
        same_flash = flash(mean_a, previous[0]) == flash(mean_b, previous[1])
        previous = (mean_a, mean_b)
        verdict = "ok"
        if score < SSIM_LOWEST:
            verdict = "BELOW 0.97"
        if not same_flash:
            verdict = "FLASH DIFFERS"
        failed += verdict != "ok"
        print(f"{name:>12} {score:8.4f} {mean_a:7.1f} {mean_b:7.1f}  {verdict}")
    mean = sum(scores) / len(scores) if scores else 0.0
    worst = min(zip(scores, [p[0] for p in pairs]), default=(0.0, "-"))
    print(f"ssim: mean {mean:.4f}, lowest {worst[0]:.4f} at {worst[1]}, "
          f"{len(pairs) - failed} of {len(pairs)} frames pass")
    return 1 if failed or mean < SSIM_MEAN else 0


def main(argv):
    use_ssim = "--ssim" in argv
    argv = [arg for arg in argv if arg != "--ssim"]
    pairs, label, i = [], None, 0
    while i < len(argv):
        if argv[i] == "--label":
            label = argv[i + 1]
            i += 2
            continue
        pairs.append((label or argv[i], argv[i], argv[i + 1]))
        label = None
        i += 2
    if use_ssim:
        return main_ssim(pairs)
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
