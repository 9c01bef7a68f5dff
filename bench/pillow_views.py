"""Pillow's gallery renditions of the given pictures, as a peer for bench/create.sh: each picture
decoded once, at the least draft scale that covers the largest size, then every size saved from
it, the largest first, each smaller one shrunk from the one before. Never enlarged.

Usage: /usr/bin/python3 bench/pillow_views.py OUTDIR SIZE:QUALITY,... PICTURE...
Writes OUTDIR/SIZE/NAME.jpg, each fitted into SIZE x SIZE.
"""
import os
import sys

from PIL import Image, ImageOps


def fitted(size, box):
    width, height = size
    scale = min(box / width, box / height, 1.0)
    return max(1, round(width * scale)), max(1, round(height * scale))


def main():
    outdir = sys.argv[1]
    sizes = sorted((tuple(int(n) for n in item.split(":")) for item in sys.argv[2].split(",")),
                   reverse=True)
    for size, _ in sizes:
        os.makedirs(os.path.join(outdir, str(size)), exist_ok=True)
    for path in sys.argv[3:]:
        name = os.path.splitext(os.path.basename(path))[0] + ".jpg"
        with Image.open(path) as im:
            profile = im.info.get("icc_profile")
            # draft wants the size the decode must cover in both directions, so ask for the
            # largest rendition's own size, in the file's orientation.
            im.draft("RGB", fitted(im.size, sizes[0][0]))
            im = ImageOps.exif_transpose(im.convert("RGB"))
            for size, quality in sizes:
                im.thumbnail((size, size))
                im.save(os.path.join(outdir, str(size), name), "JPEG", quality=quality,
                        icc_profile=profile)


if __name__ == "__main__":
    main()
