"""Detail of thumbnails against Pillow's fast path, for bench/quality.sh.

Usage: /usr/bin/python3 bench/quality.py BOX QUALITY PILLOWDIR OURS.tsv [LABEL=OTHER.tsv ...]

OURS.tsv is quality_bench's output (picture, seconds, bytes, bytes with standard tables); its
thumbnails are th_<stem>.jpg beside it. For each picture this makes Pillow's thumbnail (draft,
then LANCZOS, as bench/pillow_thumbs.py), timed, and measures both against the reference: the
full decode, in sRGB, scaled by Lanczos-3 to the thumbnail's own size. PSNR is of luma (Y of
BT.601, as JPEG uses). Further LABEL=TSV arguments are other runs of ours, reported as means.
"""
import io
import math
import os
import sys
import time

from PIL import Image, ImageChops, ImageCms

SRGB = ImageCms.createProfile("sRGB")


def to_srgb(im, icc):
    """`im` (RGB or L) in sRGB when `icc` is a usable profile; as it is otherwise."""
    if not icc:
        return im.convert("RGB")
    try:
        source = ImageCms.ImageCmsProfile(io.BytesIO(icc))
        mode = im.mode if im.mode in ("RGB", "L", "CMYK") else "RGB"
        return ImageCms.profileToProfile(im.convert(mode), source, SRGB, outputMode="RGB")
    except (ImageCms.PyCMSError, OSError, ValueError):
        return im.convert("RGB")


def psnr_y(a, b):
    diff = ImageChops.difference(a.convert("L"), b.convert("L"))
    hist = diff.histogram()
    mse = sum(count * value * value for value, count in enumerate(hist)) / (a.width * a.height)
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


class Reference:
    """The full decode of a picture in sRGB, scaled by Lanczos-3 to any size asked."""

    def __init__(self, path):
        with Image.open(path) as im:
            im.load()
            self.full = to_srgb(im, im.info.get("icc_profile"))
        self.sizes = {}

    def at(self, size):
        if size not in self.sizes:
            self.sizes[size] = self.full.resize(size, Image.LANCZOS)
        return self.sizes[size]


def read_tsv(path):
    rows = []
    with open(path) as f:
        for line in f:
            file, seconds, size, standard = line.rstrip("\n").split("\t")
            rows.append((file, float(seconds), int(size), int(standard)))
    return rows


def thumb(tsv, file):
    stem = os.path.splitext(os.path.basename(file))[0]
    return os.path.join(os.path.dirname(tsv), "th_" + stem + ".jpg")


def pillow_thumbnail(path, out, box, quality):
    start = time.perf_counter()
    with Image.open(path) as im:
        icc = im.info.get("icc_profile")
        im.draft("RGB", (box, box))
        im = im.convert("RGB")
        im.thumbnail((box, box), Image.LANCZOS)
        # Pillow's fast path keeps the picture's own colours; converted here too, so both sides
        # meet the same sRGB reference (this costs Pillow time only on tagged pictures).
        im = to_srgb(im, icc)
        im.save(out, "JPEG", quality=quality)
    return time.perf_counter() - start


def main():
    box, quality, pillow_dir, ours_tsv = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
    others = [arg.split("=", 1) for arg in sys.argv[5:]]
    ours = read_tsv(ours_tsv)
    other_rows = {label: {r[0]: r for r in read_tsv(tsv)} for label, tsv in others}
    os.makedirs(pillow_dir, exist_ok=True)
    totals = dict(ours=0.0, pillow=0.0, ours_bytes=0, pillow_bytes=0, standard_bytes=0,
                  ours_s=0.0, pillow_s=0.0)
    other_psnr = {label: 0.0 for label, _ in others}
    print("picture  psnrY ours  pillow  delta  bytes ours  pillow  seconds ours  pillow")
    for file, seconds, size, standard in ours:
        stem = os.path.splitext(os.path.basename(file))[0]
        pillow_out = os.path.join(pillow_dir, stem + ".jpg")
        pillow_s = pillow_thumbnail(file, pillow_out, box, quality)
        reference = Reference(file)
        with Image.open(thumb(ours_tsv, file)) as a:
            ours_psnr = psnr_y(a, reference.at(a.size))
        with Image.open(pillow_out) as b:
            pillow_psnr = psnr_y(b, reference.at(b.size))
        pillow_bytes = os.path.getsize(pillow_out)
        for label, tsv in others:
            with Image.open(thumb(tsv, file)) as c:
                other_psnr[label] += psnr_y(c, reference.at(c.size))
        print(f"{os.path.basename(file)}  {ours_psnr:.2f}  {pillow_psnr:.2f}  "
              f"{ours_psnr - pillow_psnr:+.2f}  {size}  {pillow_bytes}  "
              f"{seconds:.4f}  {pillow_s:.4f}")
        totals["ours"] += ours_psnr
        totals["pillow"] += pillow_psnr
        totals["ours_bytes"] += size
        totals["pillow_bytes"] += pillow_bytes
        totals["standard_bytes"] += standard
        totals["ours_s"] += seconds
        totals["pillow_s"] += pillow_s
    n = len(ours)
    if n == 0:
        sys.exit("no thumbnails")
    for label, _ in others:
        print(f"mean psnrY {label}={other_psnr[label] / n:.3f}")
    print(f"pictures={n} mean psnrY ours={totals['ours'] / n:.3f} pillow={totals['pillow'] / n:.3f}; "
          f"mean bytes ours={totals['ours_bytes'] / n:.0f} pillow={totals['pillow_bytes'] / n:.0f} "
          f"ours with standard tables={totals['standard_bytes'] / n:.0f} "
          f"(optimised tables save {100 * (1 - totals['ours_bytes'] / totals['standard_bytes']):.1f}%); "
          f"mean seconds ours={totals['ours_s'] / n:.4f} pillow={totals['pillow_s'] / n:.4f}")
    a, b = totals["ours"] / n, totals["pillow"] / n
    print(f"quality ours={a:.3f} pillow={b:.3f} delta={a - b:+.3f} "
          f"bytesRatio={totals['ours_bytes'] / totals['pillow_bytes']:.3f}")


if __name__ == "__main__":
    main()
