#!/usr/bin/env bash
# The sidebar with 5,000 folder nodes open: the GUI thread's time for a rebuild (target under
# 16 ms). Writes bench/results/sidebar.md.
# Usage: scripts/bench sidebar        (builds build/ first)   or   bash bench/sidebar.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target sidebar_bench >/dev/null

cores=0
rows=$(taskset -c "$cores" "$build/bench/sidebar_bench")
{
  echo "# Sidebar with 5,000 folder nodes open"
  echo
  echo "\`scripts/bench sidebar\` on $(date -u +%Y-%m-%d), $(nproc) CPUs, run on core $cores (taskset), load average $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "Five drives of 20 folders with 49 subfolders each, every node open, in a sidebar 260 x 900,"
  echo "offscreen. A rebuild flattens the trees and updates the kept row widgets. Target: under 16 ms."
  echo
  echo "| Figure | Value |"
  echo "|---|---:|"
  echo "$rows"
} > bench/results/sidebar.md
cat bench/results/sidebar.md
