#!/bin/sh
# Hands-free scanning tried as a user would, on a private X server:
#   1. five page pictures of our own on a page-turning simulated camera
#      (scene=FOLDER,hold=3); key A switches automatic capture on; expect
#      five stamped .jpg files, pages 1 to 5 in order, none with the hand in it,
#      counted 1 to 5 for the badge;
#   2. Space scans once more; Space twice in a row scans once (the second
#      press comes too soon after the first went up, under the busy mask);
#      Space held for 1.5 s, repeated by the X server, scans once;
#   3. the settings file holds AutoCapture=1; a second run starts with
#      automatic capture on and scans the first page without any key.
# Prints one summary line; exits non-zero when any step failed.
# With --tarvo the camera is of the Tarvo family: it outlines the page, the
# watcher waits for the outline to be whole and steady, and scans are cropped.
#   QUILLO_BUILD_DIR     build folder (default: build/)
#   QUILLO_ARTEFACT_DIR  where logs and screenshots go (default: <build>/artefacts)
set -u
case "${1:-}" in
  --tarvo) export QUILLO_HANDSFREE_FLAGS=tarvo, ;;
  "") ;;
  *) echo "usage: $0 [--tarvo]" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
artefacts=${QUILLO_ARTEFACT_DIR:-$build/artefacts}
e2e_name=e2e-handsfree
. "$top/scripts/e2e-common.sh"

[ -n "${QUILLO_E2E_INNER:-}" ] || e2e_outside "xdotool" "quillo sessiongrab pagepictures" "${1:-}"

# ---------------------------------------------------------------------------
# Inside the X server from here on.
report=$QUILLO_E2E_REPORT
fail() { echo "e2e-handsfree: $*" >&2; printf '%s' "failed: $*" >"$report"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillo-handsfree.XXXXXX") || exit 1
home=$work/home
pages=$work/pages
pids=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
mkdir -p "$home/.runtime" "$pages" "$work/tmp" && chmod 700 "$home/.runtime"
export XDG_RUNTIME_DIR=$home/.runtime
"$build/tests/pagepictures" make "$pages" 5 2>/dev/null || fail "cannot make the page pictures"

# The twelve keys as a settings window's save leaves them; without a settings
# file the mode would last for one run only.
cat >"$home/NorLastSetting.ini" <<INI
[Settings]
FilePath=$home
DevName=0
XResolution=1280
YResolution=960
bIsWater=0
WaterContent=
WaterFont=20
WaterColorR=0
WaterColorG=0
WaterColorB=0
bTextEn=0
FileFormat=0
INI

start_quillo() { # LOG
  HOME=$home TMPDIR=$work/tmp ORVIX_V4L2=0 \
    ORVIX_SIMULATED_CAMERAS="Book|1280x960|${QUILLO_HANDSFREE_FLAGS:-}scene=$pages,hold=3" "$build/quillo" >"$1" 2>&1 &
  pid=$!
  pids="$pids $pid"
  wid=$(timeout 20 xdotool search --sync --all --onlyvisible --pid "$pid" --name '^Quillo$' 2>/dev/null | head -n 1)
  [ -n "$wid" ] || fail "no Quillo window within 20 s"
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  # The live picture is there once the middle of the picture area is no
  # longer window grey.
  i=0
  while :; do
    colour=$("$build/tests/sessiongrab" "$wid" "$artefacts/handsfree-start.png" \
      "$(((WIDTH - kListColumnWidth) / 2)),$(((HEIGHT - kBottomBandHeight) / 2))") || fail "cannot grab the window"
    [ "$colour" = "217 217 217" ] || break
    i=$((i + 1)); [ "$i" -lt 100 ] || fail "no live picture within 20 s"
    sleep 0.2
  done
}

stamped() { ls "$home" | grep -E '^[0-9]{17}\.jpg$'; }
count() { stamped | wc -l; }
wait_count() { # N SECONDS: waits until there are at least N stamped files
  i=0
  while [ "$(count)" -lt "$1" ]; do
    i=$((i + 1)); [ "$i" -lt "$(($2 * 10))" ] || return 1
    sleep 0.1
  done
}
key() { xdotool key --window "$wid" "$@" 2>/dev/null; } # xdotool complains about the bare X server's focus

# --- 1. five pages turned, five scans ---------------------------------------
start_quillo "$artefacts/handsfree-first.log"
key a
sleep 1
"$build/tests/sessiongrab" "$wid" "$artefacts/handsfree-badge.png" >/dev/null 2>&1
# 5 pages of 3 s with four turns of 1 s, timed from the capture's start.
wait_count 5 40 || fail "only $(count) scans 40 s after pressing A (log: $artefacts/handsfree-first.log)"
sleep 3
[ "$(count)" -eq 5 ] || fail "$(count) scans for five pages"
found=$(cd "$home" && "$build/tests/pagepictures" identify $(stamped) 2>/dev/null)
[ "$(echo "$found" | cut -d ' ' -f 1 | tr '\n' ' ')" = "1 2 3 4 5 " ] ||
  fail "the scans show pages $(echo "$found" | cut -d ' ' -f 1 | tr '\n' ' '), not 1 to 5"
echo "$found" | awk '$2 > 0 { bad = 1 } END { exit bad }' || fail "a scan shows the hand: $found"
# The badge counts what the mode scanned: "自动 5".
[ "$(grep -c 'since switched on' "$artefacts/handsfree-first.log")" -eq 5 ] &&
  grep -q 'scanning (5 since switched on)' "$artefacts/handsfree-first.log" ||
  fail "the automatic scans were not counted 1 to 5 (log: $artefacts/handsfree-first.log)"

# --- 2. Space, and Space under the busy mask ---------------------------------
key space
wait_count 6 10 || fail "Space did not scan"
sleep 2
key space space
wait_count 7 10 || fail "Space twice did not scan"
sleep 2
[ "$(count)" -eq 7 ] || fail "Space twice in a row made $(($(count) - 6)) scans, not 1"
# Through the server's own keyboard (XTEST), which repeats a held key.
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool keydown space 2>/dev/null; sleep 1.5; xdotool keyup space 2>/dev/null
wait_count 8 10 || fail "Space held down did not scan"
sleep 2
[ "$(count)" -eq 8 ] || fail "Space held for 1.5 s made $(($(count) - 7)) scans, not 1"

# --- 3. kept across runs -----------------------------------------------------
grep -q '^AutoCapture=1' "$home/NorLastSetting.ini" || fail "AutoCapture=1 not in the settings file"
kill "$pid"
wait "$pid" 2>/dev/null
start_quillo "$artefacts/handsfree-second.log"
wait_count 9 10 || fail "the second run did not scan its first page by itself"
again=$(cd "$home" && "$build/tests/pagepictures" identify $(stamped | tail -n 1) 2>/dev/null)
[ "${again%% *}" = 1 ] || fail "the second run scanned page ${again%% *}, not 1"
kill "$pid"

printf '%s' "A: pages 1-5 scanned once each, no hand; Space once; Space twice under the mask once; Space held 1.5 s once; AutoCapture=1 kept, next run scans by itself" >"$report"
