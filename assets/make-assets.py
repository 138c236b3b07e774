#!/usr/bin/python3
"""Makes the window's assets: the two start pictures, the icon and the desktop entry.

Run by hand from the repository root (not by the build):

    assets/make-assets.py [PATH/TO/coffee.png]

Needs Debian's python3-pil. The photograph of picture1.jpg is the "coffee" picture of scikit-image's
sample data (CC0). Without an argument the script takes it from an installed python3-skimage, or
fetches that Debian package with `apt-get download` into a temporary folder and unpacks it there.
Everything else is drawn here, so the output depends only on this script and that photograph.
"""
import colorsys
import glob
import math
import os
import random
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops, ImageDraw, ImageFilter

HERE = os.path.dirname(os.path.abspath(__file__))
PHOTO_IN_PACKAGE = "usr/lib/python3/dist-packages/skimage/data/coffee.png"

# The start picture of Picture1: 300 x 222, baseline JPEG with three components, about 11 KB.
PICTURE1_SIZE = (300, 222)
PICTURE1_TARGET_BYTES = 10901
# The start picture of Picture2: 305 x 98, a 24-bit bottom-up bitmap.
PICTURE2_SIZE = (305, 98)


def find_photo(argv):
    if len(argv) > 1:
        return argv[1], None
    installed = "/" + PHOTO_IN_PACKAGE
    if os.path.exists(installed):
        return installed, None
    tmp = tempfile.TemporaryDirectory()
    subprocess.run(["apt-get", "download", "python3-skimage"], cwd=tmp.name, check=True)
    deb = glob.glob(os.path.join(tmp.name, "python3-skimage_*.deb"))[0]
    subprocess.run(["dpkg-deb", "-x", deb, os.path.join(tmp.name, "x")], check=True)
    return os.path.join(tmp.name, "x", PHOTO_IN_PACKAGE), tmp


def make_picture1(photo_path, out_path):
    photo = Image.open(photo_path).convert("RGB")
    # Crop the 600 x 400 photograph to the box's aspect ratio (300:222) around its centre, then
    # scale it down; the cup stays whole.
    w, h = photo.size
    crop_w = round(h * PICTURE1_SIZE[0] / PICTURE1_SIZE[1])
    left = (w - crop_w) // 2
    photo = photo.crop((left, 0, left + crop_w, h)).resize(PICTURE1_SIZE, Image.LANCZOS)
    # The quality whose file size comes closest to the target; baseline, 4:2:0, no metadata.
    best = None
    for quality in range(40, 96):
        path = out_path + ".tmp"
        photo.save(path, "JPEG", quality=quality, optimize=True, progressive=False, subsampling=2)
        size = os.path.getsize(path)
        if best is None or abs(size - PICTURE1_TARGET_BYTES) < abs(best[1] - PICTURE1_TARGET_BYTES):
            best = (quality, size)
    os.remove(out_path + ".tmp")
    photo.save(out_path, "JPEG", quality=best[0], optimize=True, progressive=False, subsampling=2)
    return best


def sweep(t):
    """Hue along the backdrop: blue, violet, magenta, back through blue to teal, without seams."""
    keys = [(0.0, 0.64), (0.35, 0.78), (0.55, 0.86), (0.8, 0.66), (1.0, 0.50)]
    for (t0, h0), (t1, h1) in zip(keys, keys[1:]):
        if t <= t1:
            u = (t - t0) / (t1 - t0)
            return h0 + (h1 - h0) * (1 - math.cos(math.pi * u)) / 2
    return keys[-1][1]


def make_picture2(out_path):
    """A dark, colourful backdrop: a hue sweep from indigo through violet to teal with soft light
    spots. It stays dark so that a big pure red or pure green score reads well on it."""
    w, h = PICTURE2_SIZE
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            t = x / (w - 1)
            hue = sweep(t)
            ripple = 0.5 + 0.5 * math.sin(0.09 * x + 0.17 * y)
            value = 0.24 + 0.12 * ripple - 0.10 * abs(y - h / 2) / (h / 2)
            r, g, b = colorsys.hsv_to_rgb(hue, 0.85, value)
            px[x, y] = (round(r * 255), round(g * 255), round(b * 255))
    spots = Image.new("RGB", (w, h))
    draw = ImageDraw.Draw(spots)
    rng = random.Random(1212)
    for _ in range(18):
        cx, cy, radius = rng.uniform(0, w), rng.uniform(0, h), rng.uniform(6, 22)
        hue = rng.choice([0.58, 0.72, 0.80, 0.50])
        r, g, b = colorsys.hsv_to_rgb(hue, 0.7, 0.26)
        draw.ellipse((cx - radius, cy - radius, cx + radius, cy + radius),
                     fill=(round(r * 255), round(g * 255), round(b * 255)))
    spots = spots.filter(ImageFilter.GaussianBlur(4))
    img = ImageChops.add(img, spots)
    img.save(out_path, "BMP")  # 24 bits per pixel, rows bottom-up


def make_icon(out_path):
    """A 32 x 32 picture frame with a turning arrow: a picture being worked on."""
    size = 32
    img = Image.new("RGB", (size, size), (24, 28, 64))
    draw = ImageDraw.Draw(img)
    for y in range(size):
        for x in range(size):
            t = (x + y) / (2 * size - 2)
            r, g, b = colorsys.hsv_to_rgb(0.62 + 0.15 * t, 0.8, 0.35 + 0.35 * t)
            img.putpixel((x, y), (round(r * 255), round(g * 255), round(b * 255)))
    draw.rectangle((3, 3, 28, 28), outline=(240, 240, 240), width=2)
    draw.arc((8, 8, 24, 24), start=30, end=320, fill=(80, 255, 80), width=3)
    draw.polygon([(24, 11), (27, 18), (19, 16)], fill=(80, 255, 80))
    draw.rectangle((14, 14, 17, 17), fill=(255, 60, 60))
    img.save(out_path, "PNG")


DESKTOP_ENTRY = """[Desktop Entry]
Type=Application
Name=ASMpic Bench
Comment=A desktop benchmark: seven timed image effects and a score
Exec=asmbench
Icon=asmpic-bench
Terminal=false
Categories=System;Monitor;
Keywords=benchmark;speed;performance;image;score;
"""


def main(argv):
    photo, tmp = find_photo(argv)
    quality, size = make_picture1(photo, os.path.join(HERE, "picture1.jpg"))
    print(f"picture1.jpg: quality {quality}, {size} bytes")
    make_picture2(os.path.join(HERE, "picture2.bmp"))
    make_icon(os.path.join(HERE, "icon.png"))
    with open(os.path.join(HERE, "asmpic-bench.desktop"), "w", encoding="utf-8") as f:
        f.write(DESKTOP_ENTRY)
    if tmp is not None:
        tmp.cleanup()


if __name__ == "__main__":
    main(sys.argv)
