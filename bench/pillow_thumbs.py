"""Pillow's thumbnails of the given pictures into OUTDIR, as a peer for bench/create.sh.

Usage: /usr/bin/python3 bench/pillow_thumbs.py OUTDIR PICTURE...
"""
import os
import sys

from PIL import Image


def main():
    outdir = sys.argv[1]
    for path in sys.argv[2:]:
        with Image.open(path) as im:
            # draft lets the JPEG decoder shrink by 1/2, 1/4 or 1/8 while it decodes.
            im.draft("RGB", (150, 150))
            im = im.convert("RGB")
            im.thumbnail((150, 150))
            name = os.path.splitext(os.path.basename(path))[0] + ".jpg"
            im.save(os.path.join(outdir, name), "JPEG", quality=65)


if __name__ == "__main__":
    main()
