#!/usr/bin/env bash
# Usage: faults.sh QUORVIN_PROBE [ROUNDS]
# Kills the engine (SIGKILL) at random moments while it scans and indexes a folder, renders larger
# previews and imports a card with delete-after, and quits it (the Library destroyed, as on Quit)
# while it indexes, ROUNDS times in turn (30 by default; fewer, but at least four, when a busy
# machine makes the rounds outlast QUORVIN_FAULTS_BUDGET_SECONDS, 240 s). After each kill or quit
# the next start runs the same work again to its end, and then:
#   - the index passes SQLite's integrity check,
#   - every favorite is still there,
#   - "Proxies" and the import destination hold no partial file,
#   - no card original is gone unless a complete copy of it is in the destination,
#   - after a quit, every file is ready: an interrupted batch fails none of its files.
# Then an import with delete whose destination goes away part way stops, writes nothing into a
# folder made in its place, and deletes no original that has no complete copy in the chosen folder.
# Exits 77 (skipped) where ffmpeg or sqlite3 is absent.
set -euo pipefail
probe=$1
rounds=${2:-30}

. "$(dirname "$0")/../support/require-tools.sh"
require_tools ffmpeg sqlite3 sha256sum

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
support=$work/support
pictures=$work/Pictures
card=$work/card
pristine=$work/card-pristine
destination=$work/Imported
mkdir -p "$pictures" "$pristine/DCIM/100TEST" "$destination"
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/.local/share LC_ALL=C.UTF-8

fail() {
  echo "FAILED after round $round ($phase, killed after ${delay}s): $*"
  exit 1
}

# Distinct contents from one picture: a comment segment after the start marker.
ffmpeg -loglevel error -f lavfi -i "testsrc2=size=3000x2000" -frames:v 1 -q:v 3 "$work/base.jpg"
ffmpeg -loglevel error -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=4" -pix_fmt yuv420p "$work/base.mp4"
variant() {
  local text="variant $2"
  local length=$(( ${#text} + 2 ))
  printf '\xff\xd8\xff\xfe'
  printf "$(printf '\\x%02x\\x%02x' $(( length >> 8 )) $(( length & 255 )))"
  printf '%s' "$text"
  tail -c +3 "$1"
}
added=0
add_pictures() {
  for _ in $(seq 1 "$1"); do
    added=$((added + 1))
    variant "$work/base.jpg" "picture $added" > "$pictures/IMG_$added.JPG"
  done
}
add_pictures 12
cp "$work/base.mp4" "$pictures/clip.mp4"
for i in $(seq 1 60); do
  variant "$work/base.jpg" "card $i" > "$pristine/DCIM/100TEST/DSC_$i.JPG"
done

# A first complete run, then three favorites written as the program writes them.
"$probe" index "$support" "$pictures" > /dev/null 2>&1
sqlite3 "$support/index.sqlite" \
  "INSERT INTO favorites (workspace_id, item_id, added_at) SELECT '', id, 0 FROM items ORDER BY id LIMIT 3"
favorites=$(sqlite3 "$support/index.sqlite" "SELECT item_id FROM favorites ORDER BY item_id")
[ "$(wc -l <<< "$favorites")" -eq 3 ] || { echo "the fixture has no three favorites"; exit 1; }

# The command of one phase, in `command`; its output is not needed.
phase_command() {
  case $1 in
    index) command=("$probe" index "$support" "$pictures") ;;
    quit) command=("$probe" index "$support" "$pictures" --quit-after "$quit_ms") ;;
    previews) command=("$probe" previews "$support") ;;
    import) command=("$probe" import "$support" "$card" "$destination" --delete) ;;
  esac
}
run_phase() { phase_command "$1"; "${command[@]}" > /dev/null 2>&1; }

# When each phase runs, in milliseconds from its start: from the end of the program's own start
# (an import of an empty card) to the end of its work. Kills land within that window.
declare -A duration
elapsed_ms() {
  local start
  start=$(date +%s%N)
  "$@" > /dev/null 2>&1 || true
  echo $(( ($(date +%s%N) - start) / 1000000 + 1 ))
}
reset_card() { rm -rf "$card" "$destination"; cp -a "$pristine" "$card"; mkdir -p "$destination"; }
mkdir -p "$work/empty-card"
started=$(elapsed_ms "$probe" import "$support" "$work/empty-card" "$destination")
add_pictures 24
duration[index]=$(elapsed_ms run_phase index)
run_phase previews
add_pictures 4
run_phase index
duration[previews]=$(elapsed_ms run_phase previews)
reset_card
duration[import]=$(elapsed_ms run_phase import)

# The card's originals by content.
declare -A original_of
while read -r sum path; do original_of[$sum]=$(basename "$path"); done \
  < <(sha256sum "$pristine"/DCIM/100TEST/*)

check_import() {
  local sum path name
  local -A copied
  # Every file of the destination is a complete copy of a card original, under its own name.
  while read -r sum path; do
    [[ $(basename "$path") != .* ]] || fail "an interrupted copy is left in the destination: $(basename "$path")"
    [ -n "${original_of[$sum]:-}" ] || fail "a partial or foreign file is in the destination: $(basename "$path")"
    copied[${original_of[$sum]}]=1
  done < <(find "$destination" -type f -exec sha256sum {} +)
  # An original is gone only when its complete copy is in the destination.
  for name in "${original_of[@]}"; do
    [ -e "$card/DCIM/100TEST/$name" ] || [ -n "${copied[$name]:-}" ] \
      || fail "the card original $name was deleted without a complete copy"
  done
}

check_index() {
  local integrity
  integrity=$(sqlite3 "$support/index.sqlite" "PRAGMA integrity_check")
  [ "$integrity" = ok ] || fail "the index is damaged: $integrity"
  [ "$(sqlite3 "$support/index.sqlite" "SELECT item_id FROM favorites ORDER BY item_id")" = "$favorites" ] \
    || fail "a favorite was lost"
  # Previews are named by item id; anything else is a leftover of an interrupted write.
  local leftovers
  leftovers=$(find "$support/Proxies" -type f ! -regex '.*/[0-9A-F-]+\(\.[a-z0-9]+\)+' -printf '%f\n' | head -5)
  [ -z "$leftovers" ] || fail "partial files in Proxies: $leftovers"
  [ -z "$(find "$support/Proxies" -type f -empty -printf x)" ] || fail "an empty file in Proxies"
}

# On a busy machine each round takes much longer; past the budget the suite ends early, once every
# phase has been cut at least once, so that it stays bounded to a few minutes.
budget=${QUORVIN_FAULTS_BUDGET_SECONDS:-240}
phases=(index previews import quit)
done_rounds=0
for round in $(seq 1 "$rounds"); do
  if [ "$round" -gt 4 ] && [ "$SECONDS" -gt "$budget" ]; then
    echo "the time budget of $budget s is spent: stopped after $done_rounds of $rounds rounds"
    break
  fi
  phase=${phases[$(( (round - 1) % 4 ))]}
  case $phase in
    index|quit) add_pictures 24 ;;
    previews) add_pictures 4; run_phase index || fail "indexing before the previews failed" ;;
    import) reset_card ;;
  esac
  window=${duration[$phase]:-${duration[index]}}
  delay=$(awk -v from="$started" -v to="$window" -v r="$RANDOM" \
    'BEGIN { if (to < from) from = 0; printf "%.3f", (from + (to - from) * r / 32768) / 1000 }')
  if [ "$phase" = quit ]; then
    quit_ms=$(awk -v d="$delay" 'BEGIN { printf "%d", d * 1000 }')
    # Files a kill of an earlier round failed (read while the process ended) stay failed.
    not_ready="SELECT COUNT(*) FROM files WHERE state != 2"
    before=$(sqlite3 "$support/index.sqlite" "$not_ready")
    run_phase quit || fail "the quit during indexing failed"
    run_phase index || fail "the run after the quit failed"
    check_index
    after=$(sqlite3 "$support/index.sqlite" "$not_ready")
    [ "$after" -le "$before" ] || fail "$((after - before)) files are not ready after a quit and a new start"
    done_rounds=$round
    continue
  fi
  phase_command "$phase"
  "${command[@]}" > /dev/null 2>&1 &
  pid=$!
  sleep "$delay"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true

  [ "$phase" = import ] && check_import
  # The next start: the same work again, to its end.
  run_phase "$phase" || fail "the run after the kill failed"
  [ "$phase" = import ] && check_import
  check_index
  done_rounds=$round
done
echo "$done_rounds kills and quits: the index, the favorites, the previews and the card originals came through"

# The destination goes away part way through an import with delete: it is renamed and an empty
# folder of its name takes its place, as an unplugged drive leaves its empty mount folder. Nothing
# is written into the new folder, and an original is gone only with its complete copy in the folder
# that was chosen.
phase="a destination that goes away"
delay=0
reset_card
"$probe" import "$support" "$card" "$destination" --delete > "$work/away.out" 2>&1 &
pid=$!
wait_until=$(( SECONDS + 60 ))
until [ -n "$(find "$destination" -name 'DSC_*' -print -quit)" ] || ! kill -0 "$pid" 2>/dev/null; do
  [ "$SECONDS" -lt "$wait_until" ] || fail "the import made no copy within a minute"
  sleep 0.01
done
mv "$destination" "$work/Imported-away"
mkdir "$destination"
wait "$pid" || true
[ -z "$(ls -A "$destination")" ] || fail "the import wrote into the folder made in place of its destination"
chosen=$destination
destination=$work/Imported-away
check_import
destination=$chosen
grep -q "nothing more was copied" "$work/away.out" || [ -z "$(ls -A "$card/DCIM/100TEST")" ] \
  || fail "the import stopped without saying why: $(cat "$work/away.out")"
echo "a destination that went away part way stopped the import and the card kept what was not copied"
