#!/usr/bin/env bash
# How long a write of the user's waits while a scan merges a large walk with the index (in steps,
# as the scan merges, against one job), pinned to cores 0,1.
# Target: a user write waits at most 100 ms during a 1,000,000-file merge.
# Usage: scripts/bench merge [FILES] [STEP_MS]   (default 1000000 files, the scan's step)
set -euo pipefail
cd "$(dirname "$0")/.."
data=build/bench-data
mkdir -p "$data"
taskset -c 0,1 build/bench/merge_wait_bench "$data/merge-wait.sqlite" "${1:-1000000}" ${2:+"$2"}
