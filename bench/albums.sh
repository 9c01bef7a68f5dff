#!/usr/bin/env bash
# Times one Create over a tree of albums: N small generated pictures (default 100000) in 1,000
# folders three levels deep (10 x 10 x 10, the pictures in the deepest), a first run and an
# unchanged re-run with vistrel-batch --style modern --albums, and for comparison a first run
# over one flat folder of the same pictures. The machines are shared and noisy: note the load
# average printed.
#
# Usage: bench/albums.sh [N]     (VISTREL_BATCH=path uses that program instead of building one)
# Last line: albums first=S rerun=S peakMB=M
#   S = wall seconds; M = the peak resident memory of the first run over the tree, in MB.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
py=/usr/bin/python3
count=${1:-100000}

need=()
$py -c 'import PIL' 2>/dev/null || need+=(python3-pil)
[[ -x /usr/bin/time ]] || need+=(time)
if [[ ${#need[@]} -gt 0 ]]; then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  echo "albums.sh: installing ${need[*]}" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

batch=${VISTREL_BATCH:-}
if [[ -z $batch ]]; then
  build="$repo/build-bench"
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target vistrel-batch >"$build/bench-build.log" ||
    { tail -30 "$build/bench-build.log"; exit 1; }
  batch="$build/vistrel-batch"
fi

scratch="$(mktemp -d /tmp/vistrel-albums-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

echo "generating $count pictures" >&2
$py "$here/make_pictures.py" "$scratch/flat" "$count"
# The same files in the tree, as hard links: picture i goes to folder i mod 1000.
tree="$scratch/Pictures"
$py - "$scratch/flat" "$tree" <<'PY'
import os, sys
flat, tree = sys.argv[1], sys.argv[2]
for i, name in enumerate(sorted(os.listdir(flat))):
    f = i % 1000
    folder = os.path.join(tree, str(f // 100), str(f // 10 % 10), str(f % 10))
    os.makedirs(folder, exist_ok=True)
    os.link(os.path.join(flat, name), os.path.join(folder, name))
PY
find "$scratch/flat" -type f -exec cat {} + >/dev/null  # every run starts from a warm cache

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l | awk '{printf "%.2f", $1}'; }
# Runs vistrel-batch with its arguments; prints the wall seconds, keeps the peak (KB) and the
# processor seconds in $scratch/peak.
timed() {
  local t0
  t0=$(now)
  /usr/bin/time -f "%M %U %S" -o "$scratch/peak" "$batch" "$@" 2>"$scratch/err" >/dev/null ||
    { cat "$scratch/err" >&2; exit 1; }
  elapsed "$t0" "$(now)"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
flat=$(timed --style modern "$scratch/flat")
flatPeak=$(awk '{print int($1 / 1024)}' "$scratch/peak")
flatCpu=$(awk '{print $2 + $3}' "$scratch/peak")
first=$(timed --style modern --albums "$tree")
peak=$(awk '{print int($1 / 1024)}' "$scratch/peak")
firstCpu=$(awk '{print $2 + $3}' "$scratch/peak")
tail -1 "$scratch/err" >&2
rerun=$(timed --style modern --albums "$tree")
tail -1 "$scratch/err" >&2
rate() { echo "$count / $1" | bc -l | awk '{printf "%.0f", $1}'; }
echo "pictures=$count cores=$(nproc) flat=$flat s ($(rate "$flat")/s, peakMB=$flatPeak)" \
  "albums=$(rate "$first")/s; processor seconds flat=$flatCpu albums=$firstCpu" \
  "load=$(cut -d' ' -f1-3 /proc/loadavg)"
echo "albums first=$first rerun=$rerun peakMB=$peak"
