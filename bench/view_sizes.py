"""Checks that each contender of bench/create.sh's display-copy run wrote every size of every
picture, fitted and capped alike, so their seconds compare the same work.

Usage: /usr/bin/python3 bench/view_sizes.py PICTURES SIZES NAME=OUTPUT...
  PICTURES  the folder of the originals
  SIZES     the boxes, comma-separated (150,300,1280,2560)
  OUTPUT    a folder holding SIZE/NAME.jpg, or a list file of "picture<TAB>box<TAB>file" lines
            naming files in FOLDER (given as NAME=LIST@FOLDER)
One line per contender: the files it wrote, the picture sizes they cover and their bytes per box;
then the first few files of the wrong size or kind and the sizes left unmade. Exit status 1 when any contender missed a size.
"""
import os
import sys

from PIL import Image

# EXIF orientations that swap width and height.
TURNED = {5, 6, 7, 8}


def expected(size, box):
    width, height = size
    scale = min(box / width, box / height, 1.0)
    return round(width * scale), round(height * scale)


def close(a, b):
    return abs(a[0] - b[0]) <= 1 and abs(a[1] - b[1]) <= 1


def shown_size(path):
    with Image.open(path) as im:
        width, height = im.size
        turned = im.getexif().get(0x0112, 1) in TURNED
    return (height, width) if turned else (width, height)


def outputs(spec, sizes):
    """(picture stem, box, path) of every file the contender wrote."""
    if "@" in spec:
        listing, folder = spec.split("@", 1)
        with open(listing, encoding="utf-8") as lines:
            for line in lines:
                picture, box, name = line.rstrip("\n").split("\t")
                yield os.path.splitext(picture)[0], int(box), os.path.join(folder, name)
        return
    for box in sizes:
        folder = os.path.join(spec, str(box))
        for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            yield os.path.splitext(name)[0], box, os.path.join(folder, name)


def check(label, spec, pictures, sizes):
    made = {}  # stem -> sizes of its files
    files, wrong = 0, []
    bytes_per_box = dict.fromkeys(sizes, 0)
    for stem, box, path in outputs(spec, sizes):
        files += 1
        bytes_per_box[box] = bytes_per_box.get(box, 0) + os.path.getsize(path)
        with Image.open(path) as im:
            got = im.size
            if im.format != "JPEG":
                wrong.append(f"{os.path.basename(path)}: {im.format}, not JPEG")
        want = expected(pictures.get(stem, got), box)
        if not close(got, want):
            wrong.append(f"{os.path.basename(path)}: {got[0]}x{got[1]}, not {want[0]}x{want[1]}")
        made.setdefault(stem, []).append(got)
    missing = []
    for stem, size in pictures.items():
        for box in sizes:
            want = expected(size, box)
            # A copy capped at the picture's size serves every box at least that large.
            if not any(close(got, want) for got in made.get(stem, [])):
                missing.append(f"{stem}@{box} (want {want[0]}x{want[1]})")
    covered = len(pictures) * len(sizes) - len(missing)
    print(f"{label}: files={files} sizesCovered={covered}/{len(pictures) * len(sizes)} "
          + " ".join(f"MB{box}={bytes_per_box[box] / 1e6:.2f}" for box in sizes))
    for problem in (wrong + missing)[:5]:
        print(f"  {label}: {problem}")
    if len(wrong + missing) > 5:
        print(f"  {label}: ... {len(wrong + missing) - 5} more")
    return not missing and not wrong


def main():
    folder, sizes = sys.argv[1], [int(n) for n in sys.argv[2].split(",")]
    pictures = {os.path.splitext(name)[0]: shown_size(os.path.join(folder, name))
                for name in sorted(os.listdir(folder))}
    ok = True
    for arg in sys.argv[3:]:
        label, spec = arg.split("=", 1)
        ok = check(label, spec, pictures, sizes) and ok
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
