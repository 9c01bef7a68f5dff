#!/usr/bin/env bash
# Detail, size and time of our thumbnails against Pillow's fast path (draft, then LANCZOS), both
# 150 x 150 at quality 65, on one thread each. Detail is the PSNR of luma against a Lanczos-3
# downscale of the full decode (in sRGB) to the thumbnail's own size; see bench/quality.py.
#
# Usage: bench/quality.sh FOLDER [FILTER MARGIN]...
#   FILTER MARGIN pairs (lanczos3|lanczos2|catmullrom, the decode's least multiple of the
#   thumbnail's size) add other settings of ours, reported as means: how the program's were chosen.
# Prints a line per picture and the means; the last line is
#   quality ours=A pillow=B delta=D bytesRatio=R
# (A, B mean PSNR-Y in dB, D = A - B, R = our bytes / Pillow's bytes in all.)
set -euo pipefail

folder=${1:?usage: bench/quality.sh FOLDER [FILTER MARGIN]...}
shift
root=$(cd "$(dirname "$0")/.." && pwd)
py=/usr/bin/python3
build=$root/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$root/bench/build_imaging_bench.sh" quality_bench

mapfile -d '' files < <(find "$folder" -maxdepth 1 -type f \
  \( -iname '*.jpg' -o -iname '*.jpeg' \) -print0 | sort -z)
[[ ${#files[@]} -gt 0 ]] || { echo "no JPEG pictures in $folder" >&2; exit 1; }
cat "${files[@]}" >/dev/null  # both sides read from memory

mkdir -p "$work/ours"
"$bench" "$work/ours" 150 65 lanczos3 0 "${files[@]}" >"$work/ours/run.tsv" 2>"$work/errors" ||
  { cat "$work/errors" >&2; exit 1; }
others=()
while [[ $# -ge 2 ]]; do
  dir="$work/$1-$2"
  mkdir -p "$dir"
  "$bench" "$dir" 150 65 "$1" "$2" "${files[@]}" >"$dir/run.tsv"
  others+=("$1,margin$2=$dir/run.tsv")
  shift 2
done
$py "$root/bench/quality.py" 150 65 "$work/pillow" "$work/ours/run.tsv" "${others[@]}"
