#!/usr/bin/env bash
# Whether a HEIC's thumbnail item could stand in for the picture in thumbnails: the same wallpaper
# photos as HEIC with a 320-pixel thumbnail item (heif-enc -t 320) and without one. vipsthumbnail
# takes the item when it is large enough, so it makes thumbnails of the item ("item") and of the
# full decode ("full"); vistrel-batch, which never uses the item, makes its own ("ours", quality
# 100 so that JPEG noise does not hide the difference). Each is compared with a Lanczos-3
# reduction of the full-size original photo to its size (libvips): PSNR in dB per picture and the
# mean, and the seconds of each run. The reference is libvips's own reduction, which favours
# "full"; "item" against "full" is the comparison that decides.
#
# Usage: bench/heif_thumbnail_quality.sh [N] [BOX]   (N photos, default 24; box default 150)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
count=${1:-24}
box=${2:-150}
wallpapers=${VISTREL_WALLPAPERS:-/work/wallpapers}
"$repo/scripts/setup-deps" --bench

scratch="$(mktemp -d /tmp/vistrel-heifq-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
build="$repo/build-bench"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vistrel-batch >/dev/null

mapfile -t all < <(find "$wallpapers" -maxdepth 1 -type f -iname '*.jpg' | sort)
step=$(((${#all[@]} + count - 1) / count))
mkdir -p "$scratch/item" "$scratch/full" "$scratch/ref"
names=()
for ((i = 0; i < ${#all[@]} && ${#names[@]} < count; i += step)); do
  name=$(basename "${all[i]}" .jpg)
  names+=("$name")
  heif-enc -q 60 -t 320 -o "$scratch/item/$name.heic" "${all[i]}" >/dev/null
  heif-enc -q 60 -o "$scratch/full/$name.heic" "${all[i]}" >/dev/null
done
now() { date +%s.%N; }
t0=$(now)
"$build/vistrel-batch" --types all --quality 100 --max-width "$box" --max-height "$box" \
  "$scratch/full" 2>/dev/null
oursSeconds=$(echo "$(now) - $t0" | bc -l)
mkdir -p "$scratch/vips-item" "$scratch/vips-full"
t0=$(now)
vipsthumbnail -s "${box}x$box" -o "$scratch/vips-item/%s.png" "$scratch/item/"*.heic 2>/dev/null
itemSeconds=$(echo "$(now) - $t0" | bc -l)
t0=$(now)
vipsthumbnail -s "${box}x$box" -o "$scratch/vips-full/%s.png" "$scratch/full/"*.heic 2>/dev/null
fullSeconds=$(echo "$(now) - $t0" | bc -l)

psnr() {
  vips subtract "$1" "$2" "$scratch/d.v"
  vips multiply "$scratch/d.v" "$scratch/d.v" "$scratch/sq.v"
  local mse
  mse=$(vips avg "$scratch/sq.v")
  echo "10 * l(255 * 255 / ($mse + 0.000001)) / l(10)" | bc -l
}
# PSNR of the thumbnail $1 against the original photo $2 reduced to the thumbnail's size.
against() {
  local w h
  w=$(vipsheader -f width "$1")
  h=$(vipsheader -f height "$1")
  vips thumbnail_image "$scratch/ref/full.v" "$scratch/ref/r.v" "$w" --height "$h" --size force
  psnr "$1" "$scratch/ref/r.v"
}
sumItem=0 sumFull=0 sumOurs=0
for name in "${names[@]}"; do
  vips copy "$(find "$wallpapers" -maxdepth 1 -name "$name.jpg")" "$scratch/ref/full.v"
  item=$(against "$scratch/vips-item/$name.png")
  full=$(against "$scratch/vips-full/$name.png")
  ours=$(against "$scratch/full/th_$name.jpg")
  printf '%-60s item=%.2f full=%.2f ours=%.2f\n' "$name" "$item" "$full" "$ours"
  sumItem=$(echo "$sumItem + $item" | bc -l)
  sumFull=$(echo "$sumFull + $full" | bc -l)
  sumOurs=$(echo "$sumOurs + $ours" | bc -l)
done
n=${#names[@]}
printf 'box=%s pictures=%d meanPsnr item=%.2f full=%.2f ours=%.2f seconds item=%.3f full=%.3f ours=%.3f\n' \
  "$box" "$n" "$(echo "$sumItem / $n" | bc -l)" "$(echo "$sumFull / $n" | bc -l)" \
  "$(echo "$sumOurs / $n" | bc -l)" "$itemSeconds" "$fullSeconds" "$oursSeconds"
