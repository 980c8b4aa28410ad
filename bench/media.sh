#!/usr/bin/env bash
# Larger previews and video proxies against the reference tools, side by side in one run:
#   a 24-megapixel JPEG to a 2048 px HEIC:  quorvin-probe proxy  vs  vips thumbnail (same quality)
#   a 1080p 10 s clip to a 720p proxy:      quorvin-probe vproxy vs  ffmpeg (same encoder settings)
#   a 4K HEVC 5 s clip to a 720p proxy:     quorvin-probe vproxy vs  ffmpeg (same encoder settings)
# Each command runs RUNS times (default 5), taking turns with its reference; the median wall times are
# reported with the ratio.
# With BEFORE set to the quorvin-probe of an earlier build, the photo's proxy is also timed against
# that build's, taking turns in the same way (what a change costs).
# Usage: scripts/bench media        (builds build/ first)
#    or  [CORES=0,1] [RUNS=N] [BEFORE=OLD_BUILD/quorvin-probe] bash bench/media.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
probe="$build/quorvin-probe"
runs=${RUNS:-5}
# CORES=0,1 pins both sides to those cores (the other cores may be busy); unset, both use every core.
pinned=()
[ -z "${CORES:-}" ] || pinned=(taskset -c "$CORES")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The settings of makePhotoPreview (HEIC quality 0.8) and makeVideoProxy (x264 veryfast, CRF 23, AAC 128k).
heic_quality=80
x264_preset=veryfast
x264_crf=23

ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=s=6000x4000" -frames:v 1 -q:v 2 "$work/photo.jpg"
ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10" -f lavfi -i "sine=f=440:d=10" \
  -c:v libx264 -preset fast -crf 20 -pix_fmt yuv420p -c:a aac -b:a 160k -shortest "$work/clip.mp4"
ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=s=3840x2160:r=30:d=5" -f lavfi -i "sine=f=440:d=5" \
  -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p -tag:v hvc1 -c:a aac -b:a 160k \
  -shortest "$work/clip4k.mp4"

# Wall time of one run of the command, in seconds.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$end" -v b="$start" 'BEGIN { print a - b }'
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# Runs ours (the words before "--") and the reference (the words after it) RUNS times each, taking
# turns and swapping who goes first, so that a change of the machine's load falls on both sides;
# prints both medians.
paired_medians() {
  local ours=() reference=()
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  reference=("$@")
  local ours_times=() reference_times=()
  for run in $(seq "$runs"); do
    if [ $((run % 2)) = 1 ]; then
      ours_times+=("$(seconds "${pinned[@]}" "${ours[@]}")")
      reference_times+=("$(seconds "${pinned[@]}" "${reference[@]}")")
    else
      reference_times+=("$(seconds "${pinned[@]}" "${reference[@]}")")
      ours_times+=("$(seconds "${pinned[@]}" "${ours[@]}")")
    fi
  done
  echo "$(printf '%s\n' "${ours_times[@]}" | median) $(printf '%s\n' "${reference_times[@]}" | median)"
}

report() {
  local name=$1 ours=$2 reference=$3 limit=$4
  local ratio
  ratio=$(awk -v a="$ours" -v b="$reference" 'BEGIN { print a / b }')
  printf '%-34s ours %7.3f s   reference %7.3f s   ratio %5.2f (at most %s)\n' "$name" "$ours" "$reference" "$ratio" "$limit"
}

read -r photo_ours photo_reference < <(paired_medians "$probe" proxy "$work/photo.jpg" "$work/ours.heic" 2048 \
  -- vips thumbnail "$work/photo.jpg" "$work/reference.heic[Q=$heic_quality,strip]" 2048)
report "24 MP JPEG to 2048 px HEIC" "$photo_ours" "$photo_reference" 1.2
if [ -n "${BEFORE:-}" ]; then
  read -r photo_now photo_before < <(paired_medians "$probe" proxy "$work/photo.jpg" "$work/ours.heic" 2048 \
    -- "$BEFORE" proxy "$work/photo.jpg" "$work/before.heic" 2048)
  report "2048 px HEIC, this build vs BEFORE" "$photo_now" "$photo_before" 1.05
fi

read -r video_ours video_reference < <(paired_medians "$probe" vproxy "$work/clip.mp4" "$work/ours.mp4" 720 \
  -- ffmpeg -y -i "$work/clip.mp4" -vf scale=-2:720 -c:v libx264 -preset "$x264_preset" \
  -crf "$x264_crf" -c:a aac -b:a 128k -movflags +faststart "$work/reference.mp4")
report "1080p 10 s clip to 720p proxy" "$video_ours" "$video_reference" 1.2

read -r video4k_ours video4k_reference < <(paired_medians "$probe" vproxy "$work/clip4k.mp4" "$work/ours4k.mp4" 720 \
  -- ffmpeg -y -i "$work/clip4k.mp4" -vf scale=-2:720 -c:v libx264 -preset "$x264_preset" \
  -crf "$x264_crf" -c:a aac -b:a 128k -movflags +faststart "$work/reference4k.mp4")
report "4K HEVC 5 s clip to 720p proxy" "$video4k_ours" "$video4k_reference" 1.05
