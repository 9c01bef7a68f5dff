#!/usr/bin/env bash
# Times the thumbnail stretch alone (bench/stretch_bench.cpp) on three typical sizes.
# Usage: bench/stretch.sh [REV] [RUNS]
#   REV: a git revision whose src/imaging/surface/stretch.cpp to time instead of the working tree's, so a
#   change can be compared with what it replaces on the same machine in the same minute.
# Compiled with the Release flags of the project (-O3), the stretch built into the program.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rev=${1:-}
runs=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source=$root/src/imaging/surface/stretch.cpp
if [[ -n $rev ]]; then
  git -C "$root" show "$rev:src/imaging/surface/stretch.cpp" >"$work/stretch.cpp"
  source=$work/stretch.cpp
fi
g++ -std=c++20 -O3 -DNDEBUG -Wall -Wextra -Werror -I"$root/src" "$root/bench/stretch_bench.cpp" \
  "$source" -o "$work/stretch_bench"
"$work/stretch_bench" "$runs"
