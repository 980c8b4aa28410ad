#!/usr/bin/env bash
# Times an unchanged rescan of a folder source (`quorvin-probe sync`: the walk packed in path order,
# then merged with the rows, then the folder rows) against the walk alone (`quorvin-probe walk
# --count`), on a generated tree indexed once, alternating, best of five each, pinned to cores 0,1.
# Memory: the rescan's peak RSS less that of a rescan of a one-file source, per file.
# Targets: the rescan at most 1.3 times the walk alone, at most 200 bytes per file.
# Usage: scripts/bench rescan [FILES] [TREE]   (default 1000000 files in folders of 100,
# /tmp/quorvin-rescan-tree; the tree is generated once and kept)
set -euo pipefail
cd "$(dirname "$0")/.."
probe=${QUORVIN_PROBE:-build/quorvin-probe}
files=${1:-1000000}
tree=${2:-/tmp/quorvin-rescan-tree}
data=build/bench-data
mkdir -p "$data"

if [ ! -d "$tree" ]; then
  echo "generating $tree ..."
  bench/make-walk-tree.sh "$tree" "$files" $((files / 100))
fi
count=$(find "$tree" -type f | wc -l)

db="$data/rescan-$count.sqlite"
tiny="$data/rescan-tiny"
rm -f "$db" "$db"-wal "$db"-shm "$tiny.sqlite" "$tiny.sqlite"-wal "$tiny.sqlite"-shm
mkdir -p "$tiny/folder"
touch "$tiny/folder/one.jpg"
echo "indexing $count files once ..."
taskset -c 0,1 "$probe" sync "$db" "$tree" > /dev/null
taskset -c 0,1 "$probe" sync "$tiny.sqlite" "$tiny" > /dev/null

# Runs a command pinned to cores 0,1; prints its wall time in nanoseconds and its peak RSS in KB.
measure() {
  local start elapsed rss
  start=$(date +%s%N)
  rss=$( { /usr/bin/time -f '%M' taskset -c 0,1 "$@" > /dev/null; } 2>&1 | tail -1)
  elapsed=$(($(date +%s%N) - start))
  echo "$elapsed $rss"
}

walk_best=0
rescan_best=0
rescan_rss=0
for _ in 1 2 3 4 5; do
  read -r walk_ns _ < <(measure "$probe" walk "$tree" --count)
  read -r rescan_ns rss < <(measure "$probe" sync "$db" "$tree")
  if [ "$walk_best" = 0 ] || [ "$walk_ns" -lt "$walk_best" ]; then walk_best=$walk_ns; fi
  if [ "$rescan_best" = 0 ] || [ "$rescan_ns" -lt "$rescan_best" ]; then rescan_best=$rescan_ns; fi
  if [ "$rss" -gt "$rescan_rss" ]; then rescan_rss=$rss; fi
done
read -r _ tiny_rss < <(measure "$probe" sync "$tiny.sqlite" "$tiny")

awk -v files="$count" -v walk="$walk_best" -v rescan="$rescan_best" -v rss="$rescan_rss" -v tiny="$tiny_rss" 'BEGIN {
  printf "files:             %d\n", files
  printf "walk alone:        %.3f s\n", walk / 1e9
  printf "unchanged rescan:  %.3f s\n", rescan / 1e9
  printf "ratio:             %.2f (target at most 1.3)\n", rescan / walk
  printf "peak RSS:          %.1f MB (one-file source: %.1f MB)\n", rss / 1024, tiny / 1024
  printf "memory per file:   %.0f bytes (target at most 200)\n", (rss - tiny) * 1024 / files
}'
