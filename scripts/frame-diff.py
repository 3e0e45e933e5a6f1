#!/usr/bin/python3
"""Compares pairs of PNG frames: the share of pixels that differ and the largest difference.

Usage: frame-diff.py [--ssim | --across-sizes [--keep DIR]] [--label L] A.png B.png
                     [--label L A.png B.png ...]
A pair passes when the frames are byte-identical in their pixels, or when at least 99.9 % of
the pixels are within 1 level on every channel. Prints one line per pair and exits with 1 when
any pair fails or a file is missing.

With --ssim the pixels may move where drawing was made cheaper: each pair's structural
similarity (of the luma, 8 x 8 windows, the usual constants) is printed, and the comparison
passes when every pair reaches 0.97 and their mean 0.99. The mean brightness of both frames is
printed too, and a pair fails when one of them is a white flash or an inversion (mean brightness
jumping by more than a third of the range against the frame before it) and the other is not.

With --across-sizes each A is a frame of 800 x 600 and each B the frame of the same show time
drawn at another size. The picture is taken out of each frame (the largest 4:3 rectangle,
centred, as the program places it between black bars) and area-averaged down to 200 x 150, so
that the picture is compared and not the fineness of its pixels. The comparison passes when the
mean structural similarity reaches 0.98 and no frame lies below 0.95, each frame's mean
brightness lies within 2 % of the range (5.1 levels) of its 800 x 600 counterpart, and both
series have their flashes and inversions in the same frames. --keep DIR writes the averaged
frames into DIR/reference-averaged (from A) and DIR/sized-averaged (from B).
"""
import pathlib
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
SIZES_SSIM_LOWEST = 0.95
SIZES_SSIM_MEAN = 0.98
SIZES_BRIGHTNESS = 0.02 * 255
AVERAGED_SIZE = (200, 150)
LUMA = np.array([0.299, 0.587, 0.114])


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
    return rgb @ LUMA


def picture_rect(width, height):
    """The picture inside a frame of width x height: (x, top row, width, height). The largest 4:3
    rectangle, centred, its other side rounded to the nearest pixel (halves up) as the program
    rounds it; of an odd number of rows of bars the extra one lies above, as the frame is read
    back bottom up."""
    if width * 3 >= height * 4:
        picture_w, picture_h = (height * 8 // 3 + 1) // 2, height
    else:
        picture_w, picture_h = width, (width * 3 // 2 + 1) // 2
    x = (width - picture_w) // 2
    return x, height - (height - picture_h) // 2 - picture_h, picture_w, picture_h


def area_weights(source, target):
    """The target x source matrix that averages source samples into target samples by the share
    of each source sample that a target sample covers."""
    edges = np.arange(target + 1) * (source / target)
    starts, ends = edges[:-1, None], edges[1:, None]
    cells = np.arange(source)[None, :]
    covered = np.clip(np.minimum(ends, cells + 1) - np.maximum(starts, cells), 0, None)
    return covered / covered.sum(axis=1, keepdims=True)


def averaged_picture(path):
    """The frame's picture, without its bars, area-averaged to 200 x 150 (RGB, floating point),
    and the frame's size as text."""
    rgb = np.asarray(Image.open(path).convert("RGB"), dtype=np.float64)
    x, top, width, height = picture_rect(rgb.shape[1], rgb.shape[0])
    picture = rgb[top:top + height, x:x + width]
    rows = area_weights(height, AVERAGED_SIZE[1])
    columns = area_weights(width, AVERAGED_SIZE[0])
    averaged = np.einsum("ry,yxc,sx->rsc", rows, picture, columns, optimize=True)
    return averaged, f"{rgb.shape[1]}x{rgb.shape[0]}"


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


def similarity_rows(pairs, load):
    """For each pair in order that can be compared, its name, its structural similarity, both mean
    brightnesses, whether both or neither is a flash against the frame before, and what load says
    of B; load(A, B) gives the two luma arrays and that. A pair that cannot be compared is
    reported here and left out."""
    previous = (None, None)
    for name, a_path, b_path in pairs:
        try:
            a, b, about = load(a_path, b_path)
        except (OSError, ValueError) as error:
            print(f"{name:>12} cannot compare: {error}")
            continue
        if a.shape != b.shape:
            print(f"{name:>12} sizes differ")
            continue
        mean_a, mean_b = float(a.mean()), float(b.mean())
        same_flash = flash(mean_a, previous[0]) == flash(mean_b, previous[1])
        previous = (mean_a, mean_b)
        yield name, ssim(a, b), mean_a, mean_b, same_flash, about


def mean_and_lowest(scored):
    """The mean score of (score, name) rows and the lowest row."""
    mean = sum(score for score, _ in scored) / len(scored) if scored else 0.0
    return mean, min(scored, default=(0.0, "-"))


def main_ssim(pairs):
    failed, scored = 0, []
    print(f"{'frame':>12} {'ssim':>8} {'mean A':>7} {'mean B':>7}  verdict")
    for name, score, mean_a, mean_b, same_flash, _ in similarity_rows(pairs, lambda a, b: (luma(a), luma(b), None)):
        scored.append((score, name))
        verdict = "ok"
        if score < SSIM_LOWEST:
            verdict = "BELOW 0.97"
        if not same_flash:
            verdict = "FLASH DIFFERS"
        failed += verdict != "ok"
        print(f"{name:>12} {score:8.4f} {mean_a:7.1f} {mean_b:7.1f}  {verdict}")
    failed += len(pairs) - len(scored)
    mean, worst = mean_and_lowest(scored)
    print(f"ssim: mean {mean:.4f}, lowest {worst[0]:.4f} at {worst[1]}, "
          f"{len(pairs) - failed} of {len(pairs)} frames pass")
    return 1 if failed or mean < SSIM_MEAN else 0


def save_averaged(picture, folder, path):
    folder.mkdir(parents=True, exist_ok=True)
    image = Image.fromarray(np.clip(np.rint(picture), 0, 255).astype(np.uint8))
    image.save(folder / pathlib.Path(path).name)


def main_across_sizes(pairs, keep):
    def load(a_path, b_path):
        (a, _), (b, size) = averaged_picture(a_path), averaged_picture(b_path)
        if keep:
            save_averaged(a, keep / "reference-averaged", a_path)
            save_averaged(b, keep / "sized-averaged", b_path)
        return a @ LUMA, b @ LUMA, size

    failed, scored = 0, []
    print(f"{'frame':>12} {'size':>10} {'ssim':>8} {'mean 800x600':>12} {'mean sized':>10} {'change':>7}  verdict")
    for name, score, mean_a, mean_b, same_flash, size in similarity_rows(pairs, load):
        scored.append((score, name))
        verdict = []
        if score < SIZES_SSIM_LOWEST:
            verdict.append(f"BELOW {SIZES_SSIM_LOWEST}")
        if abs(mean_b - mean_a) > SIZES_BRIGHTNESS:
            verdict.append("BRIGHTNESS DIFFERS")
        if not same_flash:
            verdict.append("FLASH DIFFERS")
        failed += bool(verdict)
        print(f"{name:>12} {size:>10} {score:8.4f} {mean_a:12.1f} {mean_b:10.1f} {mean_b - mean_a:+7.1f}  "
              f"{', '.join(verdict) or 'ok'}")
    failed += len(pairs) - len(scored)
    mean, worst = mean_and_lowest(scored)
    print(f"across sizes: ssim mean {mean:.4f} (at least {SIZES_SSIM_MEAN}), lowest {worst[0]:.4f} at {worst[1]} "
          f"(at least {SIZES_SSIM_LOWEST}); {len(pairs) - failed} of {len(pairs)} frames pass")
    return 1 if failed or mean < SIZES_SSIM_MEAN else 0


def main(argv):
    mode, keep, pairs, label, i = None, None, [], None, 0
    while i < len(argv):
        arg = argv[i]
        if arg in ("--ssim", "--across-sizes"):
            mode = arg
            i += 1
            continue
        if i + 1 >= len(argv):
            wanted = "a value" if arg in ("--label", "--keep") else "a second frame to compare with"
            print(f"frame-diff: {arg} wants {wanted}", file=sys.stderr)
            return 2
        if arg == "--label":
            label = argv[i + 1]
        elif arg == "--keep":
            keep = pathlib.Path(argv[i + 1])
        else:
            pairs.append((label or arg, arg, argv[i + 1]))
            label = None
        i += 2
    if keep and mode != "--across-sizes":
        print("frame-diff: --keep writes the averaged frames of --across-sizes", file=sys.stderr)
        return 2
    if mode == "--ssim":
        return main_ssim(pairs)
    if mode == "--across-sizes":
        return main_across_sizes(pairs, keep)
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
