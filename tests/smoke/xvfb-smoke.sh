#!/usr/bin/env bash
# Usage: xvfb-smoke.sh QUORVIN OUTPUT.png
# Starts QUORVIN under Xvfb on a temporary home whose Pictures folder holds a few pictures, lets
# it grab its window once its start-up has finished, and checks that a picture was written.
# Exits 77 (skipped) where Xvfb or ffmpeg is absent.
set -euo pipefail
quorvin=$1
output=$2

. "$(dirname "$0")/../support/require-tools.sh"
require_tools xvfb-run Xvfb xauth ffmpeg

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/Pictures" "$home/.config" "$home/.local/share" "$home/.cache" "$home/runtime"
chmod 700 "$home/runtime"
for pattern in testsrc smptebars rgbtestsrc; do
  ffmpeg -loglevel error -f lavfi -i "$pattern=size=640x480" -frames:v 1 "$home/Pictures/$pattern.jpg"
done

rm -f "$output"
# The program ends by itself once it has written the picture; the timeout bounds a hang.
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 \
  timeout 120 xvfb-run -a -s "-screen 0 1400x900x24" "$quorvin" --screenshot "$output"

if [ ! -s "$output" ]; then
  echo "no screenshot was written to $output"
  exit 1
fi
echo "window picture: $output"
