"""Writes COUNT small JPEG pictures (sizes and content vary) into FOLDER for bench/create.sh.

Usage: /usr/bin/python3 bench/make_pictures.py FOLDER COUNT
"""
import os
import random
import sys

from PIL import Image, ImageDraw


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(7)
    for i in range(count):
        w, h = rng.choice([(320, 240), (240, 320), (300, 300), (400, 225)])
        im = Image.new("RGB", (w, h), (rng.randrange(256), rng.randrange(256), rng.randrange(256)))
        draw = ImageDraw.Draw(im)
        for _ in range(6):
            x0, y0 = rng.randrange(w), rng.randrange(h)
            colour = (rng.randrange(256), rng.randrange(256), rng.randrange(256))
            draw.ellipse([x0, y0, x0 + rng.randrange(20, 120), y0 + rng.randrange(20, 120)], colour)
        im.save(os.path.join(folder, "pic%05d.jpg" % i), "JPEG", quality=85)


if __name__ == "__main__":
    main()
