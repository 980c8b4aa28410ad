#!/usr/bin/env bash
# The item grid at 5,000 items on 2 cores, for three screens of pictures: GUI-thread stalls while it
# scrolls and searches repeat, the time until the visible tiles show their pictures after a scroll
# stop and on scrolling back, and peak memory; then what one tile's decode costs for each kind of
# picture. Writes bench/results/grid.md and a screenshot of a filled screen of HEIC proxies
# (bench/results/grid-heic-screen.png). The pictures are made once under build/bench-grid and reused.
# Usage: scripts/bench grid        (builds build/ first)   or   bash bench/grid.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
fixture="$build/bench-grid"
mkdir -p "$fixture"
cmake --build "$build" --target grid_bench >/dev/null

cores=0,1
bench() { taskset -c "$cores" "$build/bench/grid_bench" "$fixture" "$@"; }
# The pictures are made before anything is measured.
bench costs > /dev/null
heic=$(bench heic bench/results/grid-heic-screen.png)
mixed=$(bench mixed)
untiled=$(bench heic-untiled)
costs=$(bench costs)
{
  echo "# Item grid at 5,000 items"
  echo
  echo "\`scripts/bench grid\` on $(date -u +%Y-%m-%d), $(nproc) CPUs, run on cores $cores (taskset), load average $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "The grid is 760 x 720 (four columns, tiles of 176 x 132), offscreen. It scrolls from top to bottom"
  echo "and back a row per 16 ms while a changed search result arrives every 2 s, then stops at 12"
  echo "random places and goes back to three of them. Targets: no stall over 16 ms, visible tiles filled"
  echo "within 300 ms of a stop (median; 600 ms at worst), under 300 MB. Screens: HEIC proxies (2048 px,"
  echo "with the tile image written beside each); mixed (a third each 2048 px JPEG previews, HEIC proxies"
  echo "with their tile image, 1280 px video posters); HEIC proxies written before proxies had a tile"
  echo "image (each tile decodes the whole proxy until the idle pass writes its tile image)."
  echo
  echo "| Figure | HEIC proxies | Mixed | HEIC proxies without tile images |"
  echo "|---|---:|---:|---:|"
  paste -d'|' <(echo "$heic") <(echo "$mixed" | cut -d'|' -f2) <(echo "$untiled" | cut -d'|' -f2) | sed 's/^/| /; s/$/ |/'
  echo
  echo "CPU time (all threads, median of 5) of one tile's decode at the tile's size, cut to cover it,"
  echo "and of writing a proxy from a 2048 px JPEG with and without the tile image's part:"
  echo
  echo "| Work | CPU time |"
  echo "|---|---:|"
  echo "$costs" | sed 's/^/| /; s/$/ |/'
} > bench/results/grid.md
cat bench/results/grid.md
