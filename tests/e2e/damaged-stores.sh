#!/usr/bin/env bash
# Usage: damaged-stores.sh QUORVIN_PROBE
# Damages the stores the program reads and checks that it keeps the user's data and says so:
#   - an index emptied to zero bytes beside its previews, and an index with a damaged page: the
#     start-up stops with the damage named, and neither the index nor the previews change;
#   - a photo library emptied to zero bytes, and one with a damaged page of its assets: its scan
#     deletes no indexed asset and never writes the library's file.
# Exits 77 (skipped) where sqlite3 is absent.
set -euo pipefail
probe=$1

. "$(dirname "$0")/../support/require-tools.sh"
require_tools sqlite3 sha256sum

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/.local/share LC_ALL=C.UTF-8
pictures=$work/Pictures
mkdir -p "$pictures"
for i in $(seq 1 40); do printf 'picture %d' "$i" > "$pictures/IMG_$i.JPG"; done

fail() { echo "FAILED ($case): $*"; exit 1; }

# Overwrites the last page of a table's B-tree with garbage.
corrupt_last_page() {
  local file=$1 table=$2 page size
  sqlite3 "$file" "PRAGMA wal_checkpoint(TRUNCATE)" > /dev/null
  page=$(sqlite3 "$file" "SELECT max(pageno) FROM dbstat WHERE name = '$table'")
  size=$(sqlite3 "$file" "PRAGMA page_size")
  head -c "$size" /dev/zero | tr '\0' 'Z' | dd of="$file" bs="$size" seek=$((page - 1)) conv=notrunc status=none
}

for case in "zero-length index" "damaged index page"; do
  support=$work/support-${case// /-}
  "$probe" index "$support" "$pictures" > /dev/null 2>&1
  mkdir -p "$support/Proxies"
  echo preview > "$support/Proxies/kept.jpg"
  if [ "$case" = "zero-length index" ]; then
    : > "$support/index.sqlite"
    rm -f "$support/index.sqlite-wal" "$support/index.sqlite-shm"
  else
    corrupt_last_page "$support/index.sqlite" sources
  fi
  before=$(sha256sum < "$support/index.sqlite")
  if "$probe" startup "$support" > "$work/out" 2> "$work/err"; then
    fail "the start-up went on: $(cat "$work/out")"
  fi
  grep -q "is damaged" "$work/err" || fail "the start-up did not name the damage: $(cat "$work/err")"
  grep -q "$support/index.sqlite" "$work/err" || fail "the start-up did not name the file: $(cat "$work/err")"
  [ "$(sha256sum < "$support/index.sqlite")" = "$before" ] || fail "the index was written"
  [ -f "$support/Proxies/kept.jpg" ] || fail "a preview went"
done

# A photo library of 300 assets whose files are in the library.
make_library() {
  rm -rf "$library"
  mkdir -p "$library/originals"
  {
    echo "CREATE TABLE collections (id TEXT PRIMARY KEY, parent_id TEXT NOT NULL DEFAULT '', title TEXT,
            is_folder INTEGER NOT NULL, type INTEGER NOT NULL, subtype INTEGER NOT NULL);"
    echo "CREATE TABLE assets (id TEXT PRIMARY KEY, media_type INTEGER NOT NULL, media_subtypes INTEGER NOT NULL DEFAULT 0,
            created REAL, modified REAL, favorite INTEGER NOT NULL DEFAULT 0, width INTEGER NOT NULL DEFAULT 0,
            height INTEGER NOT NULL DEFAULT 0, duration REAL NOT NULL DEFAULT 0);"
    echo "CREATE TABLE resources (asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE, idx INTEGER NOT NULL,
            type INTEGER NOT NULL, uti TEXT NOT NULL DEFAULT '', original_filename TEXT NOT NULL,
            file TEXT NOT NULL DEFAULT '', size INTEGER, PRIMARY KEY (asset_id, idx));"
    echo "CREATE TABLE album_assets (album_id TEXT NOT NULL, asset_id TEXT NOT NULL, PRIMARY KEY (album_id, asset_id));"
    echo "BEGIN;"
    for i in $(seq 1 300); do
      echo "INSERT INTO assets (id, media_type, created, modified) VALUES ('ASSET-$i-with-a-long-identifier', 1, $i, $i);"
      echo "INSERT INTO resources VALUES ('ASSET-$i-with-a-long-identifier', 0, 1, 'image/jpeg', 'IMG_$i.JPG', '', 10);"
    done
    echo "COMMIT;"
  } | sqlite3 "$library/library.sqlite"
}

library=$work/Photos.photoslibrary
for case in "zero-length photo library" "damaged photo library page"; do
  support=$work/support-${case// /-}
  make_library
  "$probe" photos-index "$support" "$library" > "$work/out" 2>&1 || fail "the first listing failed: $(cat "$work/out")"
  rows=$(sqlite3 "$support/index.sqlite" "SELECT count(*) FROM files")
  [ "$rows" -eq 300 ] || fail "the first listing indexed $rows assets"
  if [ "$case" = "zero-length photo library" ]; then
    : > "$library/library.sqlite"
  else
    corrupt_last_page "$library/library.sqlite" assets
  fi
  before=$(sha256sum < "$library/library.sqlite")
  "$probe" photos-index "$support" "$library" > "$work/out" 2>&1 || fail "the listing failed: $(cat "$work/out")"
  grep -q "the library cannot be read; its indexed files are kept" "$work/out" || fail "$(cat "$work/out")"
  rows=$(sqlite3 "$support/index.sqlite" "SELECT count(*) FROM files")
  [ "$rows" -eq 300 ] || fail "$((300 - rows)) indexed assets were deleted"
  [ "$(sha256sum < "$library/library.sqlite")" = "$before" ] || fail "the library's file was written"
done
echo "damaged stores: nothing lost, nothing written"
