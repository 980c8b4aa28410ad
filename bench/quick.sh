#!/usr/bin/env bash
# Quick indexing through the Library (scan, then the worker to its end, with quorvin-probe index) on
# two cores and a warm cache, against the reference tools doing the same per-file work on the same
# two cores, side by side in one run:
#   camera JPEGs with EXIF thumbnails:  the worker  vs  exiv2 -et and SHA-256 of the head    (metadata only)
#   camera JPEGs without them:          the worker  vs  exiv2 -pa and SHA-256 of the head    (metadata only)
#   short clips:                        the worker  vs  ffmpeg, one frame                    (decoding)
# then the first folder again into a copy of the 1,000,000-file synthetic index.
# Writes bench/results/quick_index.md. The folders (about 1 GB) are made once under
# build/bench-quick and reused; the copy of the synthetic index lives only while the script runs.
# Usage: scripts/bench quick        (builds build/ first)   or   bash bench/quick.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
fixture="$build/bench-quick"
cores=0,1
thumbnailed=${THUMBNAILED:-4000}
plain=${PLAIN:-600}
clips=${CLIPS:-150}
synthetic_files=1000000
cmake --build "$build" --target quick_index_bench quorvin-probe >/dev/null

if [ ! -f "$fixture/.complete" ]; then
  rm -rf "$fixture"
  mkdir -p "$fixture/thumbnailed" "$fixture/plain" "$fixture/clips"
  ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=s=2400x1600:r=1" -frames:v 1 -q:v 3 "$fixture/base.jpg"
  "$build/bench/quick_index_bench" jpegs "$fixture/thumbnailed" "$thumbnailed" "$fixture/base.jpg" thumbnails
  "$build/bench/quick_index_bench" jpegs "$fixture/plain" "$plain" "$fixture/base.jpg" plain
  # One clip encoded, then copied with its own title in front (faststart), so each is new content.
  ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=s=1280x720:r=30:d=3" -f lavfi -i "sine=f=440:d=3" \
    -c:v libx264 -preset fast -crf 23 -pix_fmt yuv420p -c:a aac -b:a 96k -shortest "$fixture/base.mp4"
  for i in $(seq -w 1 "$clips"); do
    ffmpeg -hide_banner -loglevel error -i "$fixture/base.mp4" -c copy -metadata title="clip $i" \
      -movflags +faststart "$fixture/clips/CLIP_$i.MP4"
  done
  touch "$fixture/.complete"
fi

fixture_size=$(du -shL "$fixture" | cut -f1)
pinned() { taskset -c "$cores" "$@"; }
# The support folders of the runs go when the script ends, not after each run: thousands of files
# deleted just before a timed run slow the next run's file creation on some file systems (ext4
# without a journal searches past recently freed inodes), which is the benchmark's doing, not the
# worker's.
leftovers=()
trap 'rm -rf "${leftovers[@]}"' EXIT
seconds_since() { awk -v a="$(date +%s.%N)" -v b="$1" 'BEGIN { printf "%.3f", a - b }'; }

# Reads every folder once so that both sides start from a warm cache.
cat "$fixture"/thumbnailed/* "$fixture"/plain/* "$fixture"/clips/* > /dev/null

# Quick indexing of one folder into a fresh support folder (or SUPPORT); prints the seconds of scan
# and worker together, the files ready and failed, and the seconds of the scan and of the worker.
worker() {
  local folder=$1 support=${2:-}
  local own=""
  if [ -z "$support" ]; then
    own=$(mktemp -d "$fixture/support.XXXXXX")
    support=$own
    leftovers+=("$own")
  fi
  local report
  report=$(pinned "$build/quorvin-probe" index "$support" "$folder" 2>/dev/null)
  local ready failed scan total
  ready=$(grep -o 'ready [0-9]*' <<< "$report" | cut -d' ' -f2)
  failed=$(grep -o 'failed [0-9]*' <<< "$report" | cut -d' ' -f2)
  scan=$(grep -o '^scan [0-9.]* s' <<< "$report" | cut -d' ' -f2)
  total=$(grep -o 'quick index [0-9.]* s' <<< "$report" | cut -d' ' -f3)
  echo "$total $ready $failed $scan $(awk -v t="$total" -v s="$scan" 'BEGIN { printf "%.3f", t - s }')"
}

# The reference tools do each file's work as the worker does, and like the worker they start once
# for many files: each call takes a share of the files (the output folder first), so the start-up of
# a process is paid once per $chunk files, not once per file. Each side does the same kind of work:
# the worker decodes no photo here (a photo's preview is the thumbnail its file carries, or comes
# later from the larger-preview worker), so the photos' references only read metadata; a clip's
# poster is a decoded frame on both sides.
#   JPEGs with thumbnails: exiv2 writes each embedded thumbnail out, then each file's first 64 KiB
#                          is hashed with SHA-256 (the worker's content key);
#   JPEGs without:         exiv2 reads each file's metadata, then the same hash;
#   clips:                 one ffmpeg takes the clips as inputs and writes one 640-pixel frame of each.
# The system's interpreter, not whichever shim comes first on PATH: a shim's start-up alone can
# take seconds.
python=/usr/bin/python3
hash_heads() {
  "$python" -c 'import hashlib, sys
for name in sys.argv[1:]:
    with open(name, "rb") as file:
        hashlib.sha256(file.read(65536)).digest()' "$@"
}
reference_exif() {
  local out=$1
  shift
  exiv2 -q -et -l "$out" "$@" 2>/dev/null || true
  hash_heads "$@"
}
reference_metadata() {
  local out=$1
  shift
  exiv2 -q -pa "$@" > /dev/null 2>&1 || true
  hash_heads "$@"
}
reference_clip() {
  local out=$1
  shift
  local inputs=() outputs=() i=0 clip
  for clip in "$@"; do
    inputs+=(-ss 1 -i "$clip")
    outputs+=(-map "$i:v:0" -frames:v 1 -vf scale=640:-2 "$out/$(basename "$clip").jpg")
    i=$((i + 1))
  done
  ffmpeg -hide_banner -loglevel error -y "${inputs[@]}" "${outputs[@]}"
}
export -f hash_heads reference_exif reference_metadata reference_clip
export python

# The reference tools on the first $sample files of a folder (all of a smaller one), two calls at a
# time on the two cores, $chunk files to a call; prints files per second.
sample=${SAMPLE:-800}
reference() {
  local folder=$1 tool=$2 chunk=$3 out start files
  out=$(realpath "$(mktemp -d "$fixture/reference.XXXXXX")")
  find "$folder" -maxdepth 1 -type f | sort | awk -v n="$sample" 'NR <= n' > "$out.list"
  files=$(wc -l < "$out.list")
  start=$(date +%s.%N)
  pinned xargs -P 2 -n "$chunk" -d '\n' bash -c "$tool \"\$@\"" _ "$out" < "$out.list"
  awk -v n="$files" -v s="$(seconds_since "$start")" 'BEGIN { printf "%.1f", n / s }'
  rm -rf "$out" "$out.list"
}

read -r exif_worker exif_ready exif_failed exif_scan exif_indexing < <(worker "$fixture/thumbnailed")
exif_reference_rate=$(reference "$fixture/thumbnailed" reference_exif 50)
read -r plain_worker plain_ready plain_failed _ _ < <(worker "$fixture/plain")
plain_reference_rate=$(reference "$fixture/plain" reference_metadata 50)
read -r clip_worker clip_ready clip_failed _ _ < <(worker "$fixture/clips")
clip_reference_rate=$(reference "$fixture/clips" reference_clip 10)

# The synthetic index as the index benchmark caches it, copied for this run only.
data="$build/bench-data"
mkdir -p "$data"
version=$(cat bench/index_scale/SyntheticIndex.h bench/index_scale/SyntheticIndex.cpp Pellmar/index/IndexSchema.cpp |
  sha256sum | cut -c1-12)
synthetic="$data/index-$synthetic_files-$version.sqlite"
[ -f "$synthetic" ] || "$build/bench/quick_index_bench" synthetic "$synthetic" "$synthetic_files"
large=$(mktemp -d "$fixture/support-large.XXXXXX")
leftovers+=("$large")
cp "$synthetic" "$large/index.sqlite"
# Written out before the run, as a user's index is: otherwise the run's own syncs wait behind the
# write-back of the 2 GB copy.
sync "$large/index.sqlite"
cat "$large/index.sqlite" > /dev/null
read -r large_worker large_ready large_failed large_scan large_indexing < <(worker "$fixture/thumbnailed" "$large")

# Where the worker's time goes on the JPEGs with thumbnails, when perf is there.
profile=""
if command -v perf > /dev/null; then
  support=$(mktemp -d "$fixture/support.XXXXXX")
  leftovers+=("$support")
  if pinned perf record -q -F 999 -g -o "$fixture/perf.data" "$build/quorvin-probe" index "$support" \
    "$fixture/thumbnailed" > /dev/null 2>&1; then
    # The reports are cut short on purpose: no pipefail for them.
    profile=$(set +o pipefail
      perf report -i "$fixture/perf.data" --no-children --sort dso --stdio -g none 2>/dev/null | grep '%' | head -8
      echo
      perf report -i "$fixture/perf.data" --children --sort symbol --stdio -g none 2>/dev/null | grep '%' |
        grep -v '0x0000\|entry_SYSCALL\|do_syscall' | head -25 | cut -c1-110)
  fi
  rm -f "$fixture/perf.data"
fi

rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", n / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
exif_files=$(find "$fixture/thumbnailed" -type f | wc -l)
plain_files=$(find "$fixture/plain" -type f | wc -l)
clip_files=$(find "$fixture/clips" -type f | wc -l)
{
  echo "# Quick indexing"
  echo
  echo "\`scripts/bench quick\` on $(date -u +%Y-%m-%d), $(nproc) CPUs, run on cores $cores (taskset) for both sides,"
  echo "warm cache, load average $(cut -d' ' -f1-3 /proc/loadavg). Each folder is scanned and indexed to the end"
  echo "through the Library by \`quorvin-probe index\` into a fresh support folder; the time covers the scan"
  echo "and the worker. The reference tools run on the first $sample files of each folder (all of a smaller"
  echo "one), two calls at a time (xargs -P 2), each call taking 50 files (10 clips), so that their"
  echo "start-up is paid once per call as the worker pays its own once per run (bench/quick.sh says what"
  echo "each call does). Like is compared with like (the Work column): the worker decodes no photo in"
  echo "quick indexing (a JPEG's preview is the thumbnail it carries, or comes later from the"
  echo "larger-preview worker), so the photos' references only read metadata and hash; a clip's poster"
  echo "is a decoded frame on both sides. The hashing runs in the system's $python."
  echo "Folders ($fixture_size on disk): $exif_files camera JPEGs of 2400 x 1600 with a 160 x 120 EXIF"
  echo "thumbnail, $plain_files without one, $clip_files clips of 3 s at 720p."
  echo "Targets: at least 1,000 files/s for the JPEGs with thumbnails; at least 0.8 x the tools' throughput"
  echo "for the others; at most 1.2 x the cost per file of an empty index on the synthetic index."
  echo
  echo "| Folder | Work | Worker | Files ready / failed | Worker files/s | Reference | Reference files/s | Worker / reference |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|"
  echo "| JPEGs with EXIF thumbnails | metadata only | $exif_worker s | $exif_ready / $exif_failed | $(rate "$exif_files" "$exif_worker") | exiv2 -et + SHA-256 of the head | $exif_reference_rate | $(ratio "$(rate "$exif_files" "$exif_worker")" "$exif_reference_rate") |"
  echo "| JPEGs without | metadata only | $plain_worker s | $plain_ready / $plain_failed | $(rate "$plain_files" "$plain_worker") | exiv2 -pa + SHA-256 of the head | $plain_reference_rate | $(ratio "$(rate "$plain_files" "$plain_worker")" "$plain_reference_rate") |"
  echo "| clips | decoding | $clip_worker s | $clip_ready / $clip_failed | $(rate "$clip_files" "$clip_worker") | ffmpeg, one frame | $clip_reference_rate | $(ratio "$(rate "$clip_files" "$clip_worker")" "$clip_reference_rate") |"
  echo
  echo "The same JPEGs with thumbnails into an empty index and into a copy of the synthetic index; the scan's"
  echo "time (its walk and writes, then the status counters and source trees over the whole index) is shown"
  echo "apart from the worker's, whose cost per file the target is about."
  echo
  echo "| Index | Scan | Worker | Worker files/s | Worker cost per file |"
  echo "|---|---:|---:|---:|---:|"
  echo "| empty | $exif_scan s | $exif_indexing s | $(rate "$exif_files" "$exif_indexing") | 1.00 |"
  echo "| synthetic, $synthetic_files files | $large_scan s | $large_indexing s | $(rate "$exif_files" "$large_indexing") | $(ratio "$large_indexing" "$exif_indexing") |"
  if [ -n "$profile" ]; then
    echo
    echo "Profile of the worker on the JPEGs with thumbnails (perf, by library, then by symbol with callees):"
    echo
    echo '```'
    echo "$profile"
    echo '```'
  fi
} > bench/results/quick_index.md
cat bench/results/quick_index.md
