#!/usr/bin/env bash
# bench/create.sh --formats [N]: for each picture type besides JPEG and GIF, a folder of N
# wallpaper photos made with that format's own encoder (heif-enc with a 320-pixel thumbnail item
# as a phone writes, which vipsthumbnail decodes instead of the picture and Vistrel never does:
# see bench/heif_thumbnail_quality.sh; avifenc, cwebp, and libvips's PNG writer), then
# vistrel-batch --types all
# against vipsthumbnail in two processes, which reads them through the same libraries; all make
# 150 x 150 thumbnails at quality 65 from a warm cache. Each side runs three times; the best
# wall-clock time counts. No picture is kept: they are made in a scratch folder each time.
#
# Environment: VISTREL_WALLPAPERS (default /work/wallpapers), the folder of JPEG photos;
# FORMATS_TYPES (default "heic avif webp png"), the types run; FORMATS_HEIC_ITEM (default 320),
# the HEIC thumbnail item's size, 0 for none (then vipsthumbnail decodes the pictures too).
# One line per type: "heic pictures=N ours=A vips2=B ratio=B/A oursCpu=C vipsCpu=D"; the load
# average before and after tells how busy the machine was.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
count=${1:-24}
wallpapers=${VISTREL_WALLPAPERS:-/work/wallpapers}

"$repo/scripts/setup-deps"
"$repo/scripts/setup-deps" --bench

scratch="$(mktemp -d /tmp/vistrel-formats-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

build="$repo/build-bench"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vistrel-batch >"$build/formats-build.log" ||
  { tail -30 "$build/formats-build.log"; exit 1; }

# Every k-th photo by name, for a spread of sizes and subjects.
mapfile -t all < <(find "$wallpapers" -maxdepth 1 -type f -iname '*.jpg' | sort)
[[ ${#all[@]} -gt 0 ]] || { echo "formats.sh: no JPEG photos in $wallpapers" >&2; exit 1; }
step=$(((${#all[@]} + count - 1) / count))
sources=()
for ((i = 0; i < ${#all[@]} && ${#sources[@]} < count; i += step)); do
  sources+=("${all[i]}")
done

encode() {
  local type=$1 in=$2 out=$3
  case $type in
    heic) heif-enc -q 60 -t "${FORMATS_HEIC_ITEM:-320}" -o "$out" "$in" >/dev/null ;;
    avif) avifenc -s 8 -j 2 --min 20 --max 30 "$in" "$out" >/dev/null ;;
    webp) cwebp -quiet -q 75 "$in" -o "$out" ;;
    png) vips copy "$in" "$out" 2>/dev/null ;;
  esac
}

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
cpusum() { awk '{s += $1 + $2} END {printf "%.3f", s}' "$1"; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for type in ${FORMATS_TYPES:-heic avif webp png}; do
  folder="$scratch/$type"
  mkdir -p "$folder"
  for s in "${sources[@]}"; do
    name=$(basename "$s" .jpg)
    encode "$type" "$s" "$folder/$name.$type"
  done
  mapfile -t pictures < <(find "$folder" -maxdepth 1 -type f | sort)
  half=$(((${#pictures[@]} + 1) / 2))
  cat "${pictures[@]}" >/dev/null
  ours=() vips=()
  rm -f "$scratch/ours.cpu" "$scratch/vips.cpu"
  for round in 1 2 3; do
    rm -rf "$scratch/run" "$scratch/vips"
    cp -r "$folder" "$scratch/run"
    t0=$(now)
    /usr/bin/time -f "%U %S" -a -o "$scratch/ours.cpu" \
      "$build/vistrel-batch" --types all "$scratch/run" 2>/dev/null
    ours+=("$(elapsed "$t0" "$(now)")")
    mkdir -p "$scratch/vips"
    t0=$(now)
    /usr/bin/time -f "%U %S" -a -o "$scratch/vips.cpu" vipsthumbnail -s 150x150 \
      -o "$scratch/vips/%s.jpg[Q=65]" "${pictures[@]:0:half}" 2>/dev/null &
    /usr/bin/time -f "%U %S" -a -o "$scratch/vips.cpu" vipsthumbnail -s 150x150 \
      -o "$scratch/vips/%s.jpg[Q=65]" "${pictures[@]:half}" 2>/dev/null &
    wait
    vips+=("$(elapsed "$t0" "$(now)")")
  done
  o=$(best "${ours[@]}")
  v=$(best "${vips[@]}")
  printf '%s pictures=%d ours=%.3f vips2=%.3f ratio=%.2f oursCpu=%s vipsCpu=%s (three rounds)\n' \
    "$type" "${#pictures[@]}" "$o" "$v" "$(echo "$v / $o" | bc -l)" \
    "$(cpusum "$scratch/ours.cpu")" "$(cpusum "$scratch/vips.cpu")"
  rm -rf "$folder"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
