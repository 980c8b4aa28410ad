# The steps of session.sh, run inside its mount namespace and display. Needs: quorvin, probe,
# shots (paths) and the QUORVIN_* settings session.sh describes.

work=$(mktemp -d)
home=$work/home
pictures=$home/Pictures
drive=/mnt/Travel
card=/mnt/EOS_DIGITAL
card_loop=""
log=$work/quorvin.log
support=""
pid=""

cleanup() {
  [ -z "$pid" ] || kill "$pid" 2> /dev/null || true
  umount -l "$drive" 2> /dev/null || true
  umount -l "$card" 2> /dev/null || true
  [ -z "$card_loop" ] || losetup -d "$card_loop" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED at step ${current_step:-setup}: $*"
  [ ! -f "$log" ] || { echo "--- the program's output:"; tail -n 40 "$log"; }
  exit 1
}

# Waits up to $1 seconds until the condition $2 holds. The condition is a piece of shell code,
# evaluated afresh each time, so it is quoted with single quotes where it reads the disk or the log.
wait_until() {
  local wait_deadline=$((SECONDS + $1))
  until eval "$2"; do
    [ "$SECONDS" -lt "$wait_deadline" ] || return 1
    sleep 0.2
  done
}

# A read of the index beside the running program; before its tables exist, nothing.
sql() { sqlite3 -readonly "$support/index.sqlite" "$1" 2> /dev/null; }
now_ms() { date +%s%3N; }

# Runs one step: its function, then a screenshot of the screen.
current_step=""
step() {
  current_step=$1
  local started
  started=$(now_ms)
  "step_$1" || fail "the step's checks did not pass"
  [ -z "${QUORVIN_STEP_LOG:-}" ] || echo "$1 $started $(now_ms)" >> "$QUORVIN_STEP_LOG"
  ffmpeg -loglevel error -y -f x11grab -video_size 1400x900 -i "$DISPLAY" -frames:v 1 "$shots/$1.png" ||
    fail "no screenshot"
  echo "step $1: ok ($shots/$1.png)"
}

# ---------------------------------------------------------------------------------------------
# The fixture: a home whose Pictures hold JPEGs with and without an EXIF thumbnail, a HEIC, a
# short clip, a PDF and two copies of one photo; and a drive.

# A JPEG of `size` showing `pattern`; with "thumbnail", an EXIF thumbnail as cameras write.
make_jpeg() {
  local path=$1 pattern=$2 size=$3 thumbnail=${4:-}
  ffmpeg -loglevel error -y -f lavfi -i "$pattern=size=$size" -frames:v 1 -q:v 3 "$path"
  exiv2 -M"set Exif.Image.Make Quorvin" -M"set Exif.Image.Model Test Camera" \
    -M"set Exif.Photo.DateTimeOriginal 2024:06:$((10 + ${#pattern} % 10)) 10:20:30" "$path"
  if [ -n "$thumbnail" ]; then
    ffmpeg -loglevel error -y -i "$path" -vf scale=160:-2 "${path%.*}-thumb.jpg"
    exiv2 -it "$path"
    rm "${path%.*}-thumb.jpg"
  fi
}

# A one-page PDF whose text is `text`, with a correct cross-reference table.
make_pdf() {
  local path=$1 text=$2
  local content="BT /F1 24 Tf 72 700 Td ($text) Tj ET"
  local objects=(
    "<< /Type /Catalog /Pages 2 0 R >>"
    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>"
    "<< /Length ${#content} >>
stream
$content
endstream"
    "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"
  )
  local body="%PDF-1.4"$'\n' offsets=() i
  for i in "${!objects[@]}"; do
    offsets+=("${#body}")
    body+="$((i + 1)) 0 obj"$'\n'"${objects[$i]}"$'\n'"endobj"$'\n'
  done
  local xref=${#body}
  body+="xref"$'\n'"0 $((${#objects[@]} + 1))"$'\n'"0000000000 65535 f "$'\n'
  for i in "${offsets[@]}"; do body+=$(printf '%010d 00000 n ' "$i")$'\n'; done
  body+="trailer"$'\n'"<< /Size $((${#objects[@]} + 1)) /Root 1 0 R >>"$'\n'"startxref"$'\n'"$xref"$'\n'"%%EOF"$'\n'
  printf '%s' "$body" > "$path"
}

make_fixture() {
  mkdir -p "$pictures/Trip" "$home/.config" "$home/.local/share" "$home/.cache" "$home/runtime" \
    "$shots"
  chmod 700 "$home/runtime"
  # Items open in the program's own viewer.
  mkdir -p "$home/.config/Quorvin"
  printf '[General]\nopenInQuorvin=true\n' > "$home/.config/Quorvin/Quorvin.conf"
  make_jpeg "$pictures/Lagoon.jpg" testsrc2 1600x1200 thumbnail
  make_jpeg "$pictures/Harbour.jpg" smptebars 1600x1200 thumbnail
  make_jpeg "$pictures/Market.jpg" rgbtestsrc 1200x900
  make_jpeg "$pictures/Trip/Lighthouse.jpg" testsrc 1200x900
  cp -p "$pictures/Lagoon.jpg" "$pictures/Trip/Lagoon copy.jpg"
  vips heifsave "$pictures/Market.jpg" "$pictures/Street.heic" --compression hevc
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25:duration=2" -f lavfi -i "sine=f=440:d=2" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$pictures/Waves.mp4"
  make_pdf "$pictures/Itinerary.pdf" "Quorvin trip itinerary"

  # The private namespace's own /mnt, so that nothing of the machine's mounts shows.
  mount -t tmpfs e2e-mounts /mnt
  mkdir -p "$drive"
  # The drive is a file system of its own on a block device, as a USB drive shows one.
  truncate -s 128M "$work/drive.img"
  mkfs.ext4 -q -F -L Travel "$work/drive.img"
  if ! mount -o loop "$work/drive.img" "$drive" 2> /dev/null; then
    echo "skipped: no loop device can be mounted here (the drive is a file system of its own)"
    exit 77
  fi
  make_jpeg "$drive/Canyon.jpg" smptehdbars 1600x1200 thumbnail
  cp -p "$pictures/Harbour.jpg" "$drive/Harbour.jpg"
  make_card
}

# A camera's memory card: a file system with DCIM/100TEST on a loop device that udev's database
# (the namespace's own) calls an SD card. It is plugged in by its step. (Not FAT: the kernels CI
# runs on may have no FAT driver.)
make_card() {
  truncate -s 64M "$work/card.img"
  mkfs.ext4 -q -F -L EOS_DIGITAL "$work/card.img"
  card_loop=$(losetup -f --show "$work/card.img")
  mkdir -p "$card"
  mount "$card_loop" "$card"
  mkdir -p "$card/DCIM/100TEST"
  make_jpeg "$card/DCIM/100TEST/IMG_0001.JPG" mandelbrot 1600x1200 thumbnail
  make_jpeg "$card/DCIM/100TEST/IMG_0002.JPG" life 1200x900 thumbnail
  make_jpeg "$card/DCIM/100TEST/IMG_0003.JPG" cellauto 1200x900 thumbnail
  (cd "$card/DCIM/100TEST" && sha256sum ./*.JPG > "$work/card.sha256")
  umount "$card"
  local number
  number=$(printf '%d:%d' "0x$(stat -c %t "$card_loop")" "0x$(stat -c %T "$card_loop")")
  mkdir -p /run/udev
  mount -t tmpfs e2e-udev /run/udev
  mkdir -p /run/udev/data
  printf 'E:ID_DRIVE_FLASH_SD=1\nE:ID_FS_LABEL=EOS_DIGITAL\nE:ID_FS_TYPE=ext4\n' > "/run/udev/data/b$number"
}

# ---------------------------------------------------------------------------------------------
# The program and the window.

start_program() {
  local arguments=(--add "$drive")
  [ -z "${QUORVIN_STALL_LOG:-}" ] || arguments+=(--stall-log "$QUORVIN_STALL_LOG")
  if [ -n "${QUORVIN_BACKGROUND_INDEX:-}" ]; then
    mkdir -p "$home/.local/share/Quorvin"
    cp "$QUORVIN_BACKGROUND_INDEX" "$home/.local/share/Quorvin/index.sqlite"
  fi
  HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_CACHE_HOME=$home/.cache \
  XDG_RUNTIME_DIR=$home/runtime QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 \
    "$quorvin" "${arguments[@]}" > "$log" 2>&1 &
  pid=$!
  wait_until 60 'grep -q "^support folder: " "$log"' || fail "the program did not start"
  support=$(sed -n 's/^support folder: //p' "$log")
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Quorvin' | head -n 1) || fail "no window"
  xdotool windowsize "$window" 1400 900 windowmove "$window" 0 0 windowfocus --sync "$window"
}

key() { xdotool key --window "$window" --clearmodifiers "$@"; sleep 0.3; }
type_text() { xdotool type --window "$window" --delay 30 "$1"; sleep 0.3; }
click() { xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"; sleep 0.3; }

files_of() { sql "SELECT COUNT(*) FROM files f JOIN sources s ON s.id = f.source_id WHERE s.root_path = '$1' AND $2"; }
indexed() {
  [ "$(files_of "$1" "f.state IN (0, 1)")" = 0 ] && [ "$(files_of "$1" "f.state = 2")" -ge "$2" ]
}

# Window coordinates of the middle of the grid's first tile: right of the sidebar, below the
# toolbar and the activity strip.
grid_x=370
grid_y=170
# The Favorite button of the details pane's action bar for a photo with a file at hand: the bar's
# fourth button, which the 340-pixel pane puts at the start of its second line.
favorite_x=1116
favorite_y=391

# ---------------------------------------------------------------------------------------------
# The steps.

step_first_start() {
  start_program
  # Pictures: 8 files (the copy is a file of its own); the drive: 2.
  wait_until 240 'indexed "$home" 8' || { echo "the home folder was not indexed"; return 1; }
  wait_until 120 'indexed "$drive" 2' || { echo "the drive was not indexed"; return 1; }
  # The camera pictures have their small previews from their EXIF thumbnails by now.
  local missing="SELECT filename FROM items WHERE filename IN ('Lagoon.jpg', 'Harbour.jpg', 'Canyon.jpg') AND preview_ext = ''"
  wait_until 120 '[ -z "$(sql "$missing")" ]' || { echo "without a small preview: $(sql "$missing")"; return 1; }
  "$probe" search "$support" Lagoon > "$work/found" && grep -q 'Lagoon' "$work/found" ||
    { echo "the index finds no Lagoon"; return 1; }
}

step_search() {
  search_for Lagoon 1 || { echo "the search for Lagoon did not show its one item"; return 1; }
}

step_select() {
  local id
  id=$(sql "SELECT item_id FROM files WHERE rel_path LIKE '%Lagoon.jpg'" | head -n 1)
  # One item with two copies, both in Pictures.
  [ "$(sql "SELECT COUNT(*) FROM files WHERE item_id = '$id'")" = 2 ] || { echo "Lagoon has not two copies"; return 1; }
  local clicks panes
  clicks=$(grep -c 'click to selection state' "$log" || true)
  panes=$(grep -c 'click to inspector image' "$log" || true)
  click "$grid_x" "$grid_y"
  wait_until 10 '[ "$(grep -c "click to selection state" "$log")" -gt "$clicks" ]' || { echo "the click selected nothing"; return 1; }
  # The pane beside the grid is laid out once it shows the item's image; its buttons are where
  # the next step clicks only from then on.
  wait_until 20 '[ "$(grep -c "click to inspector image" "$log")" -gt "$panes" ]' ||
    { echo "the pane beside the grid did not show the item"; return 1; }
}

step_favorite() {
  # The action bar of the pane beside the grid: Favorite is its last button.
  click "$favorite_x" "$favorite_y"
  local lagoon="SELECT item_id FROM files WHERE rel_path = 'Pictures/Lagoon.jpg'"
  wait_until 10 '[ "$(sql "SELECT COUNT(*) FROM favorites WHERE item_id = ($lagoon)")" = 1 ]' ||
    { echo "no favorite was kept"; return 1; }
}

# The mean brightness (0 to 255) of a part of the screen, for telling the viewer's black ground
# from the grid's white one.
screen_brightness() {
  ffmpeg -loglevel error -y -f x11grab -video_size 1400x900 -i "$DISPLAY" -frames:v 1 "$work/now.png"
  vips crop "$work/now.png" "$work/part.png" 10 300 150 300
  vips avg "$work/part.png" | cut -d. -f1
}

step_fullscreen() {
  # A double click on the tile opens the viewer; Escape leaves it.
  xdotool mousemove --window "$window" "$grid_x" "$grid_y" click --repeat 2 --delay 80 1
  wait_until 10 '[ "$(screen_brightness)" -lt 60 ]' || { echo "the viewer did not open"; return 1; }
  cp "$work/now.png" "$shots/fullscreen-open.png"
  key Escape
  wait_until 10 '[ "$(screen_brightness)" -gt 200 ]' || { echo "the viewer did not close"; return 1; }
}

# The edit commands with a toolbar button holding the keyboard: the program lives on.
step_keyboard() {
  key ctrl+f
  key Tab
  key ctrl+c
  key ctrl+a
  key ctrl+v
  key ctrl+x
  [ -e "/proc/$pid" ] || { echo "the program ended on an edit command"; return 1; }
}

# Searches for `text` through the search field and waits until the grid shows `found` items.
search_for() {
  local text=$1 found=$2 searches
  searches=$(grep -c 'search called by search field' "$log" || true)
  key ctrl+f
  key ctrl+a
  type_text "$text"
  wait_until 20 '[ "$(grep -c "search called by search field" "$log")" -gt "$searches" ]' || return 1
  wait_until 20 'tail -n 20 "$log" | grep -q "search grid gen .* found $found "'
}

step_unplug() {
  umount "$drive" || { echo "cannot unplug the drive"; return 1; }
  # The status ticker sees the drive gone within a second or two.
  sleep 3
  # The drive's item is still listed, with its preview; the details pane says where it is.
  search_for Canyon 1 || { echo "the drive's item is not listed while the drive is away"; return 1; }
  click "$grid_x" "$grid_y"
  [ "$(files_of "$drive" "1")" = 2 ] || { echo "the drive's rows were dropped"; return 1; }
  [ -n "$(sql "SELECT preview_ext FROM items WHERE filename = 'Canyon.jpg' AND preview_ext != ''")" ] ||
    { echo "the drive's item lost its preview"; return 1; }
}

step_plug_in() {
  mount -o loop "$work/drive.img" "$drive" || { echo "cannot plug the drive in again"; return 1; }
  # Back online, the drive is the same source: its rows are as they were, and a picture added to it
  # now is indexed as the drive's.
  # Made aside and moved in whole, as a file manager's copy ends: the drive is watched, and the
  # steps of making it would show up as files of their own.
  make_jpeg "$work/Mesa.jpg" testsrc 1200x900 thumbnail
  cp "$work/Mesa.jpg" "$drive/.Mesa.jpg.part"
  mv "$drive/.Mesa.jpg.part" "$drive/Mesa.jpg"
  wait_until 90 'indexed "$drive" 3' || { echo "the drive is not followed again after it came back"; return 1; }
  [ "$(files_of "$drive" "f.state = 2")" = 3 ] || { echo "the drive's files are not all ready"; return 1; }
}

# The device row of the card below "Devices" in the sidebar, and the Import… button of the
# device panel beside the grid.
device_x=85
device_y=395
# The session benchmark's background index adds five pinned folders and a drive above them.
[ -z "${QUORVIN_BACKGROUND_INDEX:-}" ] || device_y=638
import_x=1115
import_y=255

# Clicks a point of the import sheet given from its bottom edge and from its left edge, or with a
# negative x from its right edge (the sheet is a window of its own over the main one, as large as
# its content).
click_in_sheet() {
  local sheet=$1 x=$2 from_bottom=$3 WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$sheet" | grep -E '^(WIDTH|HEIGHT)=')"
  [ "$x" -ge 0 ] || x=$((WIDTH + x))
  xdotool mousemove --window "$sheet" "$x" "$((HEIGHT - from_bottom))" click 1
  sleep 0.3
}

step_import_card() {
  mount "$card_loop" "$card" || { echo "cannot plug the card in"; return 1; }
  # Once the program has seen the card, its row selects it and the device panel offers Import….
  local sheet=""
  wait_until 30 'click "$device_x" "$device_y"; click "$import_x" "$import_y";
    sheet=$(xdotool search --onlyvisible --name "^Import from EOS_DIGITAL" | head -n 1); [ -n "$sheet" ]' ||
    { echo "no import sheet for the card"; return 1; }
  # Delete from card after importing, confirmed (the alert starts on Cancel: Tab, then Space); then
  # Import into the sheet's first choice, the home's Downloads.
  click_in_sheet "$sheet" 27 91
  local alert=""
  wait_until 10 'alert=$(xdotool search --onlyvisible --name "^Delete from the card after importing" | head -n 1); [ -n "$alert" ]' ||
    { echo "no confirmation for deleting after import"; return 1; }
  # Without a window manager nothing gives the alert the keyboard: it is given it, and the keys are
  # typed as a person types them (not sent to a window), so that the alert's own focus chain takes them.
  xdotool windowfocus --sync "$alert"
  xdotool key --clearmodifiers Tab
  sleep 0.3
  xdotool key --clearmodifiers space
  sleep 0.3
  wait_until 10 '! xdotool search --onlyvisible --name "^Delete from the card after importing" > /dev/null' ||
    { echo "Tab and Space did not confirm deleting after import"; return 1; }
  xdotool windowfocus --sync "$sheet"
  click_in_sheet "$sheet" -60 32
  local downloads=$home/Downloads
  wait_until 60 '[ -z "$(find "$card/DCIM" -type f)" ]' ||
    { echo "the card's originals were not deleted after the import"; return 1; }
  # Every original went only with a complete copy of it beside the others.
  (cd "$downloads" && sha256sum --quiet -c "$work/card.sha256") ||
    { echo "the copies in Downloads are not the card's files"; return 1; }
  wait_until 60 'indexed "$home" 11' || { echo "the imported files were not indexed"; return 1; }
  # Xvfb has no window manager to hand the focus back to the window when the sheet closes.
  xdotool windowfocus --sync "$window"
}

step_quit() {
  # The window is gone before the key is released, which xdotool reports; the exit code tells.
  xdotool key --window "$window" ctrl+q 2> /dev/null || true
  wait_until 30 '[ ! -e "/proc/$pid" ]' || { echo "the program did not quit"; return 1; }
  local code=0
  wait "$pid" || code=$?
  pid=""
  [ "$code" = 0 ] || { echo "the program ended with exit code $code"; return 1; }
  [ "$(sql 'PRAGMA integrity_check')" = ok ] || { echo "the index fails its integrity check"; return 1; }
}

run_session() {
  make_fixture
  step first_start
  step search
  step select
  step favorite
  step fullscreen
  step keyboard
  step unplug
  step plug_in
  step import_card
  step quit
  echo "the session ran to its end; screenshots in $shots"
}
