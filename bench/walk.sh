#!/usr/bin/env bash
# Times a deep walk of 200,000 files in 2,000 folders by `quorvin-probe walk` against
# `find -printf` of the same facts, both on a warm tree, best of five runs each.
# Target: the walk takes at most 1.5 times what find takes.
# Usage: bench/walk.sh [TREE]   (TREE is generated once and kept; default /tmp/quorvin-walk-tree)
set -euo pipefail
cd "$(dirname "$0")/.."
probe=${QUORVIN_PROBE:-build/quorvin-probe}
tree=${1:-/tmp/quorvin-walk-tree}

if [ ! -d "$tree" ]; then
  echo "generating $tree ..."
  bench/make-walk-tree.sh "$tree" 200000 2000
fi

# Prints the shortest of five runs, in nanoseconds.
best_of_five() {
  local best=0
  for _ in 1 2 3 4 5; do
    local start elapsed
    start=$(date +%s%N)
    "$@" > /dev/null
    elapsed=$(($(date +%s%N) - start))
    if [ "$best" = 0 ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
  done
  echo "$best"
}

# Warm the tree into the caches.
find "$tree" -type f -printf '%s %T@ %p\n' > /dev/null
"$probe" walk "$tree" > /dev/null

find_ns=$(best_of_five find "$tree" -type f -printf '%s %T@ %p\n')
walk_ns=$(best_of_five "$probe" walk "$tree")
count=$("$probe" walk "$tree" | tail -1)
awk -v find="$find_ns" -v walk="$walk_ns" -v count="$count" 'BEGIN {
  printf "find:            %.3f s\n", find / 1e9
  printf "quorvin-probe:   %.3f s (%s)\n", walk / 1e9, count
  printf "ratio:           %.2f (target at most 1.5)\n", walk / find
}'
