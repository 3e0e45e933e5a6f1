#!/usr/bin/python3
"""Side-by-side sheets of the show drawn at 800 x 600 and at a larger size (1600 x 1200 unless
--size says otherwise), for looking at what a larger size changes.

Usage: size-sheet.py OUTDIR [--build DIR] [--times "T1 T2 ..."] [--size WxH] [--fps N]

Writes one JPEG per show time into OUTDIR (size-TTT.TTs.jpg). On top, the 800 x 600 frame scaled
up bilinearly to the larger size beside the frame drawn at that size; below, pairs of 100 % crops
from the same place in both (a quarter of the picture each way: 400 x 300 at 1600 x 1200), their
places outlined and numbered on the top row. The default times come with crops of text, stars,
bricks, dominoes and the cloth; any other time gets the two places with the finest detail; every
time also gets the place where the two frames differ most. The size must be 4:3 (no bars).
Each frame is drawn by a late start of its own (`vantrel --frames DIR --from --to`) at N frames a
second (13 unless --fps says otherwise: the beat clock sees every step); at 1600 x 1200 a time
takes about half a minute. Needs numpy and Pillow.
"""
import argparse
import pathlib
import subprocess
import sys
import tempfile

try:
    import numpy as np
    from PIL import Image, ImageDraw, ImageFont
except ImportError as missing:
    sys.exit(f"size-sheet: needs numpy and Pillow ({missing}); run it with a Python 3 that has them")

# Show time: the crops that show what the scene is made of, each a label and the top left corner
# of a 400 x 300 crop in a 1600 x 1200 picture (scaled with the picture at other sizes).
SHOTS = {
    51.5: [("text", 110, 250), ("cubes", 420, 560)],
    60.0: [("dominoes", 700, 600), ("text", 110, 760)],
    146.0: [("the cloth", 640, 540)],
    166.0: [("text over bricks", 890, 60), ("bricks and stars", 200, 520)],
    181.0: [("text", 1000, 200), ("stars", 140, 820)],
}
REFERENCE = (800, 600)
CROP_SHARE = 4
MARGIN = 8
BACKGROUND, INK, OUTLINE = "#101014", "#d8dce8", "#ffc83c"
LUMA = np.array([0.299, 0.587, 0.114])


def font(size):
    try:
        return ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", size)
    except OSError:
        return ImageFont.load_default()


def render(vantrel, folder, time, fps, size):
    """Draws the frame nearest `time` by a late start and returns it as an RGB image."""
    folder.mkdir(parents=True, exist_ok=True)
    half = 0.5 / fps
    command = [str(vantrel), "--frames", str(folder), "--fps", str(fps),
               "--from", f"{time - half:.6f}", "--to", f"{time + half:.6f}"]
    if size != REFERENCE:
        command += ["--size", f"{size[0]}x{size[1]}"]
    # The program finds data/ in the folder it runs in, else beside itself.
    result = subprocess.run(command, cwd=vantrel.parent, stderr=subprocess.PIPE, text=True)
    if result.returncode:
        sys.exit(f"size-sheet: {' '.join(command)} failed:\n" + "\n".join(result.stderr.splitlines()[-20:]))
    frames = sorted(folder.glob(f"frame_{int(time * fps + 0.5):06d}_*.png"))
    if not frames:
        sys.exit(f"size-sheet: no frame at {time} s in {folder}")
    return Image.open(frames[0]).convert("RGB")


def window_sums(values, width, height, step):
    """Sums of `values` over every width x height window whose corner lies on the step grid, as
    (sum, x, y) rows."""
    table = np.pad(values, ((1, 0), (1, 0))).cumsum(0).cumsum(1)
    ys = np.arange(0, values.shape[0] - height + 1, step)
    xs = np.arange(0, values.shape[1] - width + 1, step)
    y, x = np.meshgrid(ys, xs, indexing="ij")
    total = table[y + height, x + width] - table[y, x + width] - table[y + height, x] + table[y, x]
    return sorted(zip(total.ravel(), x.ravel(), y.ravel()), reverse=True)


def overlap(a, b, width, height):
    return max(0, width - abs(a[0] - b[0])) * max(0, height - abs(a[1] - b[1])) / (width * height)


def pick(values, crop, count, taken):
    """The `count` windows of the largest sums that cover at most a quarter of a window taken."""
    chosen = []
    for _, x, y in window_sums(values, crop[0], crop[1], max(1, crop[0] // 8)):
        if len(chosen) == count:
            break
        if all(overlap((x, y), other, *crop) <= 0.25 for other in taken + chosen):
            chosen.append((int(x), int(y)))
    return chosen


def regions(time, scaled, sized, crop):
    """The crops of one time: (label, x, y) in the larger picture."""
    scale = sized.width / 1600
    fixed = [(label, round(x * scale), round(y * scale)) for label, x, y in SHOTS.get(time, [])]
    fixed = [(label, min(x, sized.width - crop[0]), min(y, sized.height - crop[1])) for label, x, y in fixed]
    luma_sized = np.asarray(sized, dtype=np.float64) @ LUMA
    luma_scaled = np.asarray(scaled, dtype=np.float64) @ LUMA
    taken = [(x, y) for _, x, y in fixed]
    if not fixed:
        detail = np.zeros_like(luma_sized)
        detail[:, 1:] += np.abs(np.diff(luma_sized, axis=1))
        detail[1:, :] += np.abs(np.diff(luma_sized, axis=0))
        fixed = [("finest detail", x, y) for x, y in pick(detail, crop, 2, taken)]
        taken = [(x, y) for _, x, y in fixed]
    differ = [("differs most", x, y) for x, y in pick(np.abs(luma_sized - luma_scaled), crop, 1, taken)]
    return fixed + differ


def captioned(image, caption, size):
    text = font(size)
    tile = Image.new("RGB", (image.width, image.height + size + 10), BACKGROUND)
    ImageDraw.Draw(tile).text((4, 4), caption, fill=INK, font=text)
    tile.paste(image, (0, size + 10))
    return tile


def outlined(image, places, crop):
    marked = image.copy()
    draw = ImageDraw.Draw(marked)
    text = font(max(14, crop[1] // 10))
    for number, (_, x, y) in enumerate(places, 1):
        draw.rectangle((x, y, x + crop[0] - 1, y + crop[1] - 1), outline=OUTLINE, width=max(2, crop[0] // 200))
        draw.text((x + 6, y + 4), str(number), fill=OUTLINE, font=text)
    return marked


def sheet(time, small, sized):
    """The JPEG of one time: both frames on top, the crops in pairs below."""
    w, h = sized.size
    crop = (w // CROP_SHARE, h // CROP_SHARE)
    scaled = small.resize(sized.size, Image.BILINEAR)
    places = regions(time, scaled, sized, crop)
    top = [captioned(outlined(scaled, places, crop), f"{time:g} s: 800 x 600, scaled up (bilinear)", 24),
           captioned(outlined(sized, places, crop), f"{time:g} s: {w} x {h}", 24)]
    tiles = []
    for number, (label, x, y) in enumerate(places, 1):
        box = (x, y, x + crop[0], y + crop[1])
        tiles.append(captioned(scaled.crop(box), f"{number} {label}: 800 x 600 scaled up", 16))
        tiles.append(captioned(sized.crop(box), f"{number} {label}: {w} x {h}", 16))
    rows = [top] + [tiles[i:i + 2 * CROP_SHARE] for i in range(0, len(tiles), 2 * CROP_SHARE)]
    widths = [sum(t.width for t in row) + MARGIN * (len(row) + 1) for row in rows]
    heights = [max(t.height for t in row) for row in rows]
    out = Image.new("RGB", (max(widths), sum(heights) + MARGIN * (len(rows) + 1)), BACKGROUND)
    y = MARGIN
    for row, width, height in zip(rows, widths, heights):
        x = MARGIN + (out.width - width) // 2
        for tile in row:
            out.paste(tile, (x, y))
            x += tile.width + MARGIN
        y += height + MARGIN
    return out


def parse_size(text):
    try:
        w, h = (int(side) for side in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"wants WxH, such as 1600x1200 (not {text})")
    if w * 3 != h * 4 or w < 1 or h < 1:
        raise argparse.ArgumentTypeError(f"{text} is not 4:3; the sheet compares whole pictures without bars")
    return w, h


def main():
    parser = argparse.ArgumentParser(description="Side-by-side sheets of the show at 800 x 600 and a larger size.")
    parser.add_argument("outdir", type=pathlib.Path)
    parser.add_argument("--build", type=pathlib.Path, default=pathlib.Path(__file__).resolve().parent.parent / "build")
    parser.add_argument("--times", default=" ".join(f"{t:g}" for t in SHOTS))
    parser.add_argument("--size", type=parse_size, default=(1600, 1200))
    parser.add_argument("--fps", type=int, default=13)
    args = parser.parse_args()
    vantrel = args.build.resolve() / "vantrel"
    if not vantrel.is_file():
        sys.exit(f"size-sheet: no built program in {args.build}")
    try:
        times = [float(t) for t in args.times.split()]
    except ValueError:
        sys.exit(f"size-sheet: --times wants show times in seconds (not {args.times})")
    args.outdir.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for time in times:
            small_dir, sized_dir = pathlib.Path(work, f"small-{time}"), pathlib.Path(work, f"sized-{time}")
            small = render(vantrel, small_dir, time, args.fps, REFERENCE)
            sized = render(vantrel, sized_dir, time, args.fps, args.size)
            out = args.outdir / f"size-{time:06.2f}s.jpg"
            sheet(time, small, sized).save(out, quality=90)
            print(f"size-sheet: wrote {out} ({out.stat().st_size // 1024} KB)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
