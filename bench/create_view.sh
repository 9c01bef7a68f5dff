# shellcheck shell=bash disable=SC2154,SC2034
# The display-copy run of bench/create.sh, sourced by it: our modern gallery with display copies
# against vipsthumbnail (once per size) and Pillow (one decode, every size), each in two
# processes, all making the same four sizes from the same pictures.
# Uses create.sh's $here, $repo, $py, $build, $scratch, first/second/pictures, now, elapsed,
# cputime and cpusum; sets viewRatio and viewPeak for its last line.

view_size=1280

# A start-up value of ours, from src/common/defaults.h, so the peers get the same numbers.
view_default() {
  local value
  value=$(sed -nE "s/.*constexpr int $1 = ([0-9]+);.*/\1/p" "$repo/src/common/defaults.h")
  [[ -n "$value" ]] || { echo "create.sh: $1 not found in src/common/defaults.h" >&2; return 1; }
  echo "$value"
}

# vipsthumbnail as its users run it: once per size, shrinking only, metadata stripped (our copies
# carry none). At quality 90 and above it keeps full chroma, so its 1280 copies weigh more than
# ours and Pillow's: compare their pixel sizes, not their bytes. Arguments: output folder, then
# the pictures.
view_vips_chain() {
  local out=$1 box
  shift
  for box in "${view_boxes[@]}"; do
    mkdir -p "$out/$box"
    cputime "$scratch/vips-view.cpu" vipsthumbnail -s "${box}x${box}>" \
      -o "$out/$box/%s.jpg[Q=${view_quality[$box]},strip]" "$@" 2>/dev/null
  done
}

# The two peers, each in two processes over the two halves; sets viewVips and viewPillow.
view_peers() {
  local t0 sizes="" box
  for box in "${view_boxes[@]}"; do sizes+="${sizes:+,}$box:${view_quality[$box]}"; done
  t0=$(now)
  view_vips_chain "$scratch/vips-view" "${first[@]}" &
  if [[ ${#second[@]} -gt 0 ]]; then
    view_vips_chain "$scratch/vips-view" "${second[@]}" &
  fi
  wait
  viewVips=$(elapsed "$t0" "$(now)")
  t0=$(now)
  cputime "$scratch/pillow-view.cpu" "$py" "$here/pillow_views.py" "$scratch/pillow-view" "$sizes" "${first[@]}" &
  if [[ ${#second[@]} -gt 0 ]]; then
    cputime "$scratch/pillow-view.cpu" "$py" "$here/pillow_views.py" "$scratch/pillow-view" "$sizes" "${second[@]}" &
  fi
  wait
  viewPillow=$(elapsed "$t0" "$(now)")
}

view_run() {
  local thumb dir line rerunLine first_s rerun_s cpu fastest vipsCpu pillowCpu
  thumb=$(view_default kThumbnailInitial)
  view_boxes=("$thumb" $((2 * thumb)) "$view_size" $((2 * view_size)))
  declare -gA view_quality=(
    [$thumb]=$(view_default kQualityInitial) [$((2 * thumb))]=$(view_default kQualityInitial)
    [$view_size]=$(view_default kViewQuality) [$((2 * view_size))]=$(view_default kView2xQuality))
  echo "display copies: sizes ${view_boxes[*]} at qualities" \
    "$(for b in "${view_boxes[@]}"; do printf '%s ' "${view_quality[$b]}"; done)" \
    "(load average $(cut -d' ' -f1-3 /proc/loadavg))"

  dir="$scratch/ours-view"
  rm -rf "$dir"
  cp -r "$scratch/pictures" "$dir"
  line=$("$build/create_bench" "$dir" 0 modern "$view_size" "$scratch/ours-view.list")
  rerunLine=$("$build/create_bench" "$dir" 0 modern "$view_size")
  echo "ours, modern with copies:       $line"
  echo "ours, same again, unchanged:    $rerunLine"
  view_peers

  first_s=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$line")
  rerun_s=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$rerunLine")
  cpu=$(sed -E 's/.*cpu=([0-9.]+).*/\1/' <<<"$line")
  viewPeak=$(sed -E 's/.*peakMB=([0-9.]+).*/\1/' <<<"$line")
  fastest=$(echo "if ($viewVips < $viewPillow) $viewVips else $viewPillow" | bc -l)
  viewRatio=$(echo "$fastest / $first_s" | bc -l | awk '{printf "%.2f", $1}')
  echo "display copies, wall seconds: ours=$first_s vips2=$viewVips pillow2=$viewPillow"
  vipsCpu=$(cpusum "$scratch/vips-view.cpu")
  pillowCpu=$(cpusum "$scratch/pillow-view.cpu")
  fastest=$(echo "if ($vipsCpu < $pillowCpu) $vipsCpu else $pillowCpu" | bc -l)
  echo "display copies, processor seconds: ours=$cpu vips2=$vipsCpu pillow2=$pillowCpu" \
    "ratio=$(echo "$fastest / $cpu" | bc -l | awk '{printf "%.2f", $1}')" \
    "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
  # The driver prints milliseconds: a re-run under one counts as one.
  echo "display copies, unchanged re-run: first=$first_s again=$rerun_s ratio=$(
    echo "r = $rerun_s; if (r < 0.001) r = 0.001; $first_s / r" | bc -l | awk '{printf "%.0f", $1}'
  ) (target >= 20)"
  # Seconds compare only the same work: every contender must have made every size, capped.
  local sizes
  sizes=$(IFS=,; echo "${view_boxes[*]}")
  $py "$here/view_sizes.py" "$scratch/pictures" "$sizes" "ours=$scratch/ours-view.list@$dir" \
    "vips2=$scratch/vips-view" "pillow2=$scratch/pillow-view" ||
    echo "create.sh: not every contender made every size; viewRatio compares unequal work" >&2
}
