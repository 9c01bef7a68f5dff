#!/usr/bin/env bash
# Times the Create run against two peers on the same pictures: vipsthumbnail (libvips-tools)
# and Pillow (python3-pil under Debian's own /usr/bin/python3), each in two parallel processes,
# all making 150 x 150 thumbnails at quality 65. Also times our run with one worker, for the
# parallel speed-up. Then the display-copy run (bench/create_view.sh): our modern gallery at view
# size 1280, whose renditions of each picture are 150, 300, 1280 and 2560 longest edge (capped
# at the picture's size), against vipsthumbnail run once per size and a Pillow script that
# decodes each picture once (bench/pillow_views.py), at our qualities; bench/view_sizes.py
# checks that each made every size alike. These machines are shared and noisy: compare ratios
# and processor seconds, not wall seconds, and note the load average printed.
#
# Usage: bench/create.sh FOLDER        (FOLDER is copied; it is never written)
#        bench/create.sh --generate N  (a generated folder of N small pictures)
# A subset keeps a run short: 40 of the wallpapers take 40 s on 2 busy cores (all 171: 2.5 min):
#   mkdir /tmp/forty && ls /work/wallpapers/*.jpg | awk 'NR % 4 == 1' | head -40 |
#     xargs cp -t /tmp/forty && bench/create.sh /tmp/forty
#        bench/create.sh --formats [N] (HEIC, AVIF, WebP and PNG folders: bench/formats.sh)
# Last line: seconds ours=A vips2=B pillow2=C ratio=R peakMB=M rerun=S rerunRatio=Q modern=D
#   modernCost=P viewRatio=V viewPeakMB=W
#   R = the faster peer's seconds / ours; M = our peak resident memory; S = our seconds for
#   Create again on the same, unchanged folder; Q = A / S; D = our seconds for a first run in
#   the modern page style (which also makes the double-density thumbnails and the display
#   copies); P = what that adds to A, in per cent; V = the faster peer's seconds / ours for the
#   display-copy run; W = our peak resident memory in that run, in MB.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
py=/usr/bin/python3
if [[ "${1:-}" == "--formats" ]]; then
  exec "$here/formats.sh" "${@:2}"
fi

need=()
command -v vipsthumbnail >/dev/null || need+=(libvips-tools)
$py -c 'import PIL' 2>/dev/null || need+=(python3-pil)
[[ -x /usr/bin/time ]] || need+=(time)
if [[ ${#need[@]} -gt 0 ]]; then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  echo "create.sh: installing ${need[*]}" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
"$repo/scripts/setup-deps"

scratch="$(mktemp -d /tmp/vistrel-bench-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

if [[ "${1:-}" == "--generate" ]]; then
  source="$scratch/generated"
  echo "generating ${2:?count} pictures" >&2
  $py "$here/make_pictures.py" "$source" "$2"
else
  source="${1:?usage: bench/create.sh FOLDER | --generate N}"
fi

# Build the driver (Release) beside the library, outside the developer's build folder.
build="$repo/build-bench"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF \
  -DCMAKE_PROJECT_INCLUDE="$here/driver.cmake" >/dev/null
cmake --build "$build" -j2 --target create_bench >"$build/bench-build.log" || { tail -30 "$build/bench-build.log"; exit 1; }

# The pictures, in one list every contender shares.
mkdir -p "$scratch/pictures"
find "$source" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.gif' \) -exec cp -t "$scratch/pictures" {} +
mapfile -t pictures < <(find "$scratch/pictures" -maxdepth 1 -type f | sort)
count=${#pictures[@]}
half=$(((count + 1) / 2))
first=("${pictures[@]:0:half}")
second=("${pictures[@]:half}")
cat "${pictures[@]}" >/dev/null  # every contender starts from a warm cache

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l | awk '{printf "%.3f", $1}'; }

# Ours: one worker, then one per core, each on a fresh copy (thumbnails and pages go there).
run_ours() {
  local workers=$1 style=${2:-classic} dir="$scratch/ours$1${2:-}"
  rm -rf "$dir"
  cp -r "$scratch/pictures" "$dir"
  "$build/create_bench" "$dir" "$workers" "$style"
}
line1=$(run_ours 1)
lineN=$(run_ours 0)
lineModern=$(run_ours 0 modern)
echo "ours, 1 worker:       $line1"
echo "ours, one per core:   $lineN"
echo "ours, modern style:   $lineModern"
# Create again over the gallery just made: unchanged, then with one picture touched.
lineRerun=$("$build/create_bench" "$scratch/ours0" 0)
touch "$scratch/ours0/$(basename "${pictures[0]}")"
lineTouched=$("$build/create_bench" "$scratch/ours0" 0)
echo "ours, again unchanged: $lineRerun"
echo "ours, one touched:     $lineTouched"
rerun=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$lineRerun")
ours1=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$line1")
ours=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$lineN")
peak=$(sed -E 's/.*peakMB=([0-9.]+).*/\1/' <<<"$lineN")

# Processor seconds (user + system) of a command, added to the file $1.
cputime() {
  local into=$1
  shift
  /usr/bin/time -f "%U %S" -a -o "$into" "$@"
}
cpusum() { awk '{s += $1 + $2} END {printf "%.3f", s}' "$1"; }
# shellcheck source=bench/create_view.sh
. "$here/create_view.sh"

# vipsthumbnail, two processes.
mkdir -p "$scratch/vips"
t0=$(now)
cputime "$scratch/vips.cpu" vipsthumbnail -s 150x150 -o "$scratch/vips/%s.jpg[Q=65]" "${first[@]}" 2>/dev/null &
if [[ ${#second[@]} -gt 0 ]]; then
  cputime "$scratch/vips.cpu" vipsthumbnail -s 150x150 -o "$scratch/vips/%s.jpg[Q=65]" "${second[@]}" 2>/dev/null &
fi
wait
vips2=$(elapsed "$t0" "$(now)")

# Pillow, two processes.
mkdir -p "$scratch/pillow"
t0=$(now)
cputime "$scratch/pillow.cpu" $py "$here/pillow_thumbs.py" "$scratch/pillow" "${first[@]}" &
if [[ ${#second[@]} -gt 0 ]]; then
  cputime "$scratch/pillow.cpu" $py "$here/pillow_thumbs.py" "$scratch/pillow" "${second[@]}" &
fi
wait
pillow2=$(elapsed "$t0" "$(now)")
oursCpu=$(sed -E 's/.*cpu=([0-9.]+).*/\1/' <<<"$lineN")
echo "processor seconds (user + system; steadier than wall clock on a busy machine):" \
  "ours=$oursCpu vips2=$(cpusum "$scratch/vips.cpu") pillow2=$(cpusum "$scratch/pillow.cpu")"
echo "load average before the peers: $(cut -d' ' -f1-3 /proc/loadavg)"

fastest=$(echo "if ($vips2 < $pillow2) $vips2 else $pillow2" | bc -l)
ratio=$(echo "$fastest / $ours" | bc -l | awk '{printf "%.2f", $1}')
speedup=$(echo "$ours1 / $ours" | bc -l | awk '{printf "%.2f", $1}')
echo "pictures=$count cores=$(nproc) speedup(1 worker -> one per core)=$speedup"
rerunRatio=$(echo "$ours / $rerun" | bc -l | awk '{printf "%.1f", $1}')
modern=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$lineModern")
modernCpu=$(sed -E 's/.*cpu=([0-9.]+).*/\1/' <<<"$lineModern")
modernCost=$(echo "($modern / $ours - 1) * 100" | bc -l | awk '{printf "%+.0f%%", $1}')
echo "modern style, processor seconds: classic=$oursCpu modern=$modernCpu" \
  "($(echo "($modernCpu / $oursCpu - 1) * 100" | bc -l | awk '{printf "%+.0f%%", $1}'))"
view_run
echo "seconds ours=$ours vips2=$vips2 pillow2=$pillow2 ratio=$ratio peakMB=$peak rerun=$rerun rerunRatio=$rerunRatio modern=$modern modernCost=$modernCost viewRatio=$viewRatio viewPeakMB=$viewPeak"
