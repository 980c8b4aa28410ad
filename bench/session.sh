#!/usr/bin/env bash
# How long the window cannot answer during a person's session: the end-to-end session of
# tests/e2e/session.sh with the synthetic index of 100,000 files (or FILES) behind the window and
# the program's stall monitor on (a 1 ms timer on the GUI thread; a tick's lateness is time the
# window was busy). Writes bench/results/session.md: per step, the longest stall and the 99th
# percentile of the ticks' lateness. Target: no stall over 16 ms at any step.
# Usage: scripts/bench session [FILES]     (needs what the e2e session needs: root, Xvfb, xdotool)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
files=${1:-100000}
cmake --build "$build" --target quorvin quorvin-probe quick_index_bench > /dev/null

data="$build/bench-data"
mkdir -p "$data"
version=$(cat bench/index_scale/SyntheticIndex.h bench/index_scale/SyntheticIndex.cpp Pellmar/index/IndexSchema.cpp |
  sha256sum | cut -c1-12)
synthetic="$data/index-$files-$version.sqlite"
[ -f "$synthetic" ] || "$build/bench/quick_index_bench" synthetic "$synthetic" "$files"

run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
status=0
QUORVIN_STALL_LOG="$run/stalls" QUORVIN_STEP_LOG="$run/steps" QUORVIN_BACKGROUND_INDEX="$synthetic" \
  bash tests/e2e/session.sh "$build/quorvin" "$build/quorvin-probe" "$run/shots" || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$run/stalls" ] || [ ! -s "$run/steps" ]; then
  echo "the session did not run to its end (exit code $status); no figures were written"
  exit 1
fi

# Per step: the ticks between its start and end, their longest lateness and 99th percentile (ms).
table=$(while read -r name started ended; do
  awk -v s="$started" -v e="$ended" '$1 >= s && $1 <= e { print $2 }' "$run/stalls" | sort -n |
    awk -v name="$name" '{ v[NR] = $1 } END {
      if (NR == 0) { printf "| %s | 0 | - | - |\n", name; exit }
      p = int(NR * 0.99); if (p < 1) p = 1
      printf "| %s | %d | %.1f | %.1f |\n", name, NR, v[NR] / 1000, v[p] / 1000 }'
done < "$run/steps")
worst=$(awk '{ if ($2 > m) m = $2 } END { printf "%.1f", m / 1000 }' "$run/stalls")

{
  echo "# GUI-thread stalls during a session"
  echo
  echo "Command: \`scripts/bench session $files\` ($(date -u +%Y-%m-%d), $(nproc) cores, load average $(cut -d' ' -f1 /proc/loadavg) at the end)."
  echo "The e2e session (tests/e2e/session.sh) with the synthetic index of $files files behind the window."
  echo "A 1 ms timer on the GUI thread; a tick's lateness is how long the window could not answer. Target: no stall over 16 ms."
  echo
  echo "| Step | Ticks | Longest stall (ms) | 99th percentile (ms) |"
  echo "|---|---|---|---|"
  echo "$table"
  echo
  echo "Longest stall of the whole run, start-up included: $worst ms."
} > bench/results/session.md
cat bench/results/session.md
