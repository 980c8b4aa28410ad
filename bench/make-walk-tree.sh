#!/usr/bin/env bash
# Generates the tree that bench/walk.sh walks: FOLDERS folders (in groups of 50 below top-level
# folders) holding FILES files in all, with small files of varied sizes and names.
# Usage: bench/make-walk-tree.sh ROOT [FILES] [FOLDERS]
set -euo pipefail
root=$1
files=${2:-200000}
folders=${3:-2000}
per_folder=$((files / folders))
mkdir -p "$root"
for ((folder = 0; folder < folders; folder++)); do
  dir="$root/Group $((folder / 50))/Folder $folder"
  mkdir -p "$dir"
  names=()
  for ((file = 0; file < per_folder; file++)); do
    names+=("$dir/IMG_$((folder * per_folder + file)).jpg")
  done
  touch "${names[@]}"
  truncate -s $((folder % 97 + 1))K "${names[@]:0:10}"
done
