#!/usr/bin/env bash
# Larger previews of a folder through the worker, against the reference tools doing the same work,
# side by side in one run on the same two cores and at the same idle CPU and disk priority:
#   24-megapixel JPEGs and HEICs to 2048 px HEICs:  the worker  vs  vips thumbnail (quality 80)
#   1080p 10 s clips to a 1280 px poster and a 720p proxy:  the worker  vs  ffmpeg (x264 veryfast,
#   CRF 23, AAC 128k)
# two items at a time in both cases; and the worker's CPU cost while it only waits.
# Writes bench/results/full_preview.md. The folder is made once under build/bench-full and reused.
# Usage: scripts/bench full        (builds build/ first)   or   bash bench/full.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
fixture="$build/bench-full"
cores=0,1
wait_seconds=${WAIT_SECONDS:-20}
cmake --build "$build" --target full_preview_bench >/dev/null

if [ ! -f "$fixture/.complete" ]; then
  rm -rf "$fixture"
  mkdir -p "$fixture"
  for i in 1 2 3 4 5 6 7 8; do
    ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=s=6000x4000:r=1" -ss "$i" -frames:v 1 -q:v 2 \
      "$fixture/photo$i.jpg"
  done
  for i in 1 2 3 4; do
    vips copy "$fixture/photo$i.jpg" "$fixture/photo$i.heic[Q=90]"
  done
  for i in 1 2; do
    ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10" -f lavfi -i "sine=f=$((300 * i)):d=10" \
      -c:v libx264 -preset fast -crf 20 -pix_fmt yuv420p -c:a aac -b:a 160k -shortest "$fixture/clip$i.mp4"
  done
  touch "$fixture/.complete"
fi

idle() { taskset -c "$cores" chrt --idle 0 ionice -c 3 "$@"; }

figures=$(idle "$build/bench/full_preview_bench" "$fixture" "$wait_seconds")
read -r _ items recorded worker_seconds worker_cpu < <(grep '^worker' <<< "$figures")
waiting=$(grep '^waiting' <<< "$figures" | cut -f3)

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
reference_one() {
  local file=$1 out=$2 name
  name=$(basename "$file")
  case "$file" in
    *.mp4)
      ffmpeg -hide_banner -loglevel error -y -ss 1 -i "$file" -frames:v 1 -vf scale=1280:-2 -q:v 3 "$out/$name.poster.jpg"
      ffmpeg -hide_banner -loglevel error -y -i "$file" -vf scale=-2:720 -c:v libx264 -preset veryfast -crf 23 \
        -c:a aac -b:a 128k -movflags +faststart "$out/$name.mp4" ;;
    *)
      vips thumbnail "$file" "$out/$name.heic[Q=80,strip]" 2048 --size down ;;
  esac
}
export -f reference_one
start=$(date +%s.%N)
find "$fixture" -maxdepth 1 -type f ! -name '.*' | sort \
  | idle xargs -P 2 -I{} bash -c 'reference_one "$1" "$2"' _ {} "$out"
end=$(date +%s.%N)
reference_seconds=$(awk -v a="$end" -v b="$start" 'BEGIN { print a - b }')

ratio=$(awk -v w="$worker_seconds" -v r="$reference_seconds" 'BEGIN { printf "%.2f", r / w }')
waiting_percent=$(awk -v c="$waiting" -v s="$wait_seconds" 'BEGIN { printf "%.3f", 100 * c / s }')
{
  echo "# Larger previews through the worker"
  echo
  echo "\`scripts/bench full\` on $(date -u +%Y-%m-%d), $(nproc) CPUs, run on cores $cores (taskset) at the idle CPU and"
  echo "disk class (chrt --idle, ionice -c 3) for both sides, load average $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "The folder: 8 JPEGs and 4 HEICs of 6000 x 4000, 2 clips of 1080p, 10 s. Photos become 2048 px HEICs"
  echo "(quality 80); clips a 1280 px poster and a 720p MPEG-4 proxy. Two items at a time on both sides."
  echo "x265 (the HEIC encoder under libheif) spreads its threads over every core of the machine whatever the"
  echo "affinity it was started with, on both sides; so CPU time can exceed twice the wall time."
  echo "Targets: at least 0.8 x the tools' throughput; under 1 % of one core while the worker waits."
  echo
  echo "| Figure | Value |"
  echo "|---|---:|"
  echo "| items rendered and recorded by the worker | $recorded of $items |"
  echo "| worker, wall time | $worker_seconds s |"
  echo "| worker, CPU time | $worker_cpu s |"
  echo "| vips thumbnail and ffmpeg, wall time | $(printf '%.3f' "$reference_seconds") s |"
  echo "| worker throughput / tools' throughput | $ratio |"
  echo "| waiting worker, CPU over $wait_seconds s | $waiting_percent % of one core |"
} > bench/results/full_preview.md
cat bench/results/full_preview.md
