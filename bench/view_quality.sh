#!/usr/bin/env bash
# Which JPEG quality a picture page's display copies want: detail against the unencoded stretch
# (PSNR and SSIM of luma, and SSIM at CSS pixel size) and bytes of our writer at qualities 60 to 95, for copies whose longest
# edge is 1280 and 2560, each from the pictures larger than that (a copy at a picture's own size
# only re-encodes it); see bench/view_quality_bench.cpp.
#
# Usage: bench/view_quality.sh FOLDER [STEP]
#   Files with the same bytes count once (a theme's named sizes are often one file), so the means
#   weigh each picture alike. STEP: every STEP-th of those in name order (default 1, all); a run
#   takes about 1.5 s a picture on one core (39 distinct pictures: about a minute).
# Prints per size the pictures counted, then a line per quality (means over them); the last is
#   knee edge1280=Q1 edge2560=Q2
# each the lowest quality whose mean SSIM at CSS pixel size is within 0.01 of that size's at
# quality 95.
set -euo pipefail

folder=${1:?usage: bench/view_quality.sh FOLDER [STEP]}
step=${2:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# As bench/build_imaging_bench.sh, on one job and without the other benchmarks' reference tools.
"$root/scripts/setup-deps"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j1 --target vistrel_imaging >/dev/null
bench=$build/view_quality_bench
g++ -std=c++20 -O2 -Wall -Wextra -Werror -I"$root/src" "$root/bench/view_quality_bench.cpp" \
  "$build/libvistrel_imaging.a" "$build/libvistrel_common.a" \
  $(pkg-config --cflags --libs Qt6Gui libturbojpeg libjpeg lcms2) -fPIC -o "$bench"

mapfile -d '' found < <(find "$folder" -maxdepth 1 -type f \
  \( -iname '*.jpg' -o -iname '*.jpeg' \) -print0 | sort -z)
all=()
declare -A seen
for f in "${found[@]}"; do
  sum=$(md5sum <"$f")
  [[ -n ${seen[$sum]:-} ]] || { seen[$sum]=1; all+=("$f"); }
done
files=()
for ((i = 0; i < ${#all[@]}; i += step)); do files+=("${all[i]}"); done
[[ ${#files[@]} -gt 0 ]] || { echo "no JPEG pictures in $folder" >&2; exit 1; }
"$bench" "$work" "${files[@]}"
