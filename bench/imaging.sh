#!/usr/bin/env bash
# Thumbnails of every picture in FOLDER, 150 x 150 at quality 65, on one thread: our pipeline
# (probe, shrink-on-load, stretch, WriteJpegFile) against vipsthumbnail in the same run.
# Usage: bench/imaging.sh FOLDER
# Last line: pictures/s ours=A vipsthumbnail=B ratio=R peakMB=M   (R = A / B; M is our peak
# resident memory). Rates are per second of processor time (user + system) of each single-threaded
# run, which is the throughput per core and stays meaningful on a busy shared machine; the
# wall-clock rates are printed on the line before.
set -euo pipefail

folder=${1:?usage: bench/imaging.sh FOLDER}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$root/bench/build_imaging_bench.sh" imaging_bench

mapfile -d '' files < <(find "$folder" -maxdepth 1 -type f \
  \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.gif' \) -print0 | sort -z)
count=${#files[@]}
[[ $count -gt 0 ]] || { echo "no pictures in $folder" >&2; exit 1; }
echo "pictures: $count in $folder"

# Warm the page cache so both sides read from memory.
cat "${files[@]}" >/dev/null

ours_line=$("$bench" thumbs "$work/ours" 150 65 "${files[@]}")
echo "ours: $ours_line"
ours_seconds=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$ours_line")
ours_cpu=$(sed -n 's/.*cpu=\([0-9.]*\).*/\1/p' <<<"$ours_line")
peak=$(sed -n 's/.*peakMB=\([0-9]*\).*/\1/p' <<<"$ours_line")
ours_done=$(sed -n 's/.*pictures=\([0-9]*\).*/\1/p' <<<"$ours_line")

mkdir -p "$work/vips"
TIMEFORMAT='%R %U %S'
{ time VIPS_CONCURRENCY=1 vipsthumbnail --size 150x150 -o "$work/vips/%s.jpg[Q=65]" \
    "${files[@]}" 2>/dev/null; } 2>"$work/vips-time"
read -r vips_seconds vips_user vips_system <"$work/vips-time"
vips_cpu=$(awk -v u="$vips_user" -v s="$vips_system" 'BEGIN { print u + s }')
echo "vipsthumbnail: seconds=$vips_seconds cpu=$vips_cpu"

"$bench" dc "${files[@]}"

awk -v n="$ours_done" -v m="$count" -v s="$ours_seconds" -v v="$vips_seconds" \
  'BEGIN { printf "wall-clock pictures/s ours=%.1f vipsthumbnail=%.1f ratio=%.2f\n", n / s, m / v, (n / s) / (m / v) }'
awk -v n="$ours_done" -v m="$count" -v s="$ours_cpu" -v v="$vips_cpu" -v p="$peak" \
  'BEGIN { a = n / s; b = m / v;
           printf "pictures/s ours=%.1f vipsthumbnail=%.1f ratio=%.2f peakMB=%d\n", a, b, a / b, p }'
