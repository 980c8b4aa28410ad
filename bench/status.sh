#!/usr/bin/env bash
# Measures the status ticker's cost on the read-only connection on the synthetic index of
# 1,000,000 files (or FILES), idle and while a writer commits every second.
# Usage: scripts/bench status [FILES] [TICKS]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-1000000}
ticks=${2:-60}
data=build/bench-data
mkdir -p "$data"
# The same cached index as the index benchmark.
version=$(cat bench/index_scale/SyntheticIndex.h bench/index_scale/SyntheticIndex.cpp Pellmar/index/IndexSchema.cpp |
  sha256sum | cut -c1-12)
build/bench/status_ticker_bench "$data/index-$files-$version.sqlite" "$files" "$ticks"
