#!/usr/bin/env bash
# Usage: session.sh QUORVIN QUORVIN_PROBE SHOTS_DIR
# A person's session with the real program under Xvfb, driven by key and mouse events (xdotool):
# a first start on a temporary home indexes its Pictures and a drive; then a search, a selected
# item with its copies, a favorite, the fullscreen viewer, the drive unplugged (its items stay
# listed with their previews) and plugged in again, a memory card imported into Downloads with its
# originals deleted after the copies are checked, and quit.
# Each step saves a screenshot into SHOTS_DIR and checks the index through QUORVIN_PROBE.
#
# The drive and the card are file systems on loop devices, mounted in a private mount namespace,
# so the test needs root; where it cannot mount one, or where Xvfb, xdotool or ffmpeg is absent, it exits 77
# (skipped) with the reason.
#
# For the session benchmark: QUORVIN_STALL_LOG=FILE has the program note its GUI thread's
# lateness there; QUORVIN_STEP_LOG=FILE gets a line per step (name, start and end in milliseconds
# since the epoch); QUORVIN_BACKGROUND_INDEX=FILE starts the program on a copy of that index.
set -euo pipefail
quorvin=$(realpath "$1")
probe=$(realpath "$2")
shots=$(realpath -m "$3")
here=$(dirname "$(realpath "$0")")

skip() {
  echo "skipped: $*"
  exit 77
}

if [ -z "${QUORVIN_E2E_INSIDE:-}" ]; then
  for tool in xvfb-run Xvfb xauth xdotool ffmpeg exiv2 vips sqlite3 unshare mkfs.ext4 losetup; do
    command -v "$tool" > /dev/null || skip "$tool is not installed (scripts/setup installs it)"
  done
  unshare -m --propagation private true 2> /dev/null ||
    skip "this machine allows no private mount namespace (the drive is a mount)"
  export QUORVIN_E2E_INSIDE=1
  exec unshare -m --propagation private \
    xvfb-run -a -s "-screen 0 1400x900x24" bash "$0" "$@"
fi

source "$here/session-steps.sh"
run_session
