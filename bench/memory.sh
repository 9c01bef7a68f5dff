#!/usr/bin/env bash
# Peak memory of the Create run on large pictures at 1, 2 and 8 workers: four 6000 x 6000 GIFs
# and four 8000 x 6000 progressive JPEGs, generated here. The decodes share one memory budget,
# so the peak should not grow with the number of workers.
#
# Usage: bench/memory.sh
# Last line: memory peakMB1=A peakMB2=B peakMB8=C
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
py=/usr/bin/python3
$py -c 'import PIL' 2>/dev/null || {
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends python3-pil >/dev/null
}
"$repo/scripts/setup-deps"

scratch="$(mktemp -d /tmp/vistrel-memory-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/pictures"
$py - "$scratch/pictures" <<'PY'
import sys
from PIL import Image
out = sys.argv[1]
for i in range(4):
    noise = Image.effect_noise((6000, 6000), 40 + 10 * i).convert("P")
    noise.save(f"{out}/big{i}.gif")
    photo = Image.merge("RGB", [Image.effect_noise((8000, 6000), 30 + 5 * c + i) for c in range(3)])
    photo.save(f"{out}/photo{i}.jpg", quality=85, progressive=True)
PY

build="$repo/build-bench"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF \
  -DCMAKE_PROJECT_INCLUDE="$here/driver.cmake" >/dev/null
cmake --build "$build" -j2 --target create_bench >"$build/bench-build.log" || { tail -30 "$build/bench-build.log"; exit 1; }

peaks=()
for workers in 1 2 8; do
  dir="$scratch/run$workers"
  rm -rf "$dir"
  cp -r "$scratch/pictures" "$dir"
  line=$("$build/create_bench" "$dir" "$workers")
  echo "workers=$workers $line"
  peaks+=("peakMB$workers=$(sed -E 's/.*peakMB=([0-9.]+).*/\1/' <<<"$line")")
done
echo "memory ${peaks[*]}"
