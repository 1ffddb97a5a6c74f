#!/bin/sh
# End-to-end check of the real program on a private X server:
#   1. start build/quillo on a simulated camera with an empty home folder and
#      a file name, as a launcher passes one (named on standard error, ignored),
#      click the scan button where the layout puts it, expect a 17-digit .jpg
#      in the home folder, keep a screenshot, close with the title bar's close
#      button and expect exit code 0;
#   2. start a second instance while one runs: it must show its box and, once
#      the box is answered with Return, exit with 255;
#   3. as root only: scan a PDF page into a 1 MB tmpfs, expect the "错误" box,
#      no damaged file under a final name (qpdf --check, JPEG markers) and no
#      temporary file left; without root it says so and skips;
#   4. run the TestSession suite through ctest.
# Prints one summary line; exits non-zero when any step failed.
#   QUILLO_BUILD_DIR     build folder (default: build/)
#   QUILLO_ARTEFACT_DIR  where screenshots go (default: <build>/artefacts)
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
artefacts=${QUILLO_ARTEFACT_DIR:-$build/artefacts}
camera='Tarvo S1|1600x1200,800x600|tarvo'
e2e_name=e2e
. "$top/scripts/e2e-common.sh"

if [ -z "${QUILLO_E2E_INNER:-}" ]; then
  for tool in xvfb-run xdotool xwd; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
  done
  started=$(date +%s)
  if [ -f "$build/build.ninja" ]; then
    cmake --build "$build" -j "$(nproc)" --target quillo TestSession sessiongrab >/dev/null || { echo "e2e: FAIL (build)"; exit 1; }
  else
    QUILLO_BUILD_DIR=$build "$top/scripts/build.sh" || { echo "e2e: FAIL (build)"; exit 1; }
  fi
  mkdir -p "$artefacts"
  report=$(mktemp)
  QUILLO_E2E_INNER=1 QUILLO_E2E_REPORT=$report QUILLO_BUILD_DIR=$build QUILLO_ARTEFACT_DIR=$artefacts \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0"
  inner=$?
  if QUILLO_ARTEFACT_DIR=$artefacts ctest --test-dir "$build" -R '^TestSession$' --output-on-failure \
      >"$artefacts/e2e-ctest.log" 2>&1; then
    suite=passed
  else
    suite=FAILED
    tail -40 "$artefacts/e2e-ctest.log"
  fi
  steps=$(cat "$report" 2>/dev/null)
  rm -f "$report"
  verdict=PASS
  [ "$inner" -eq 0 ] && [ "$suite" = passed ] || verdict=FAIL
  echo "e2e: $verdict — ${steps:-program steps did not run}; TestSession $suite; $(($(date +%s) - started))s; artefacts in $artefacts"
  [ "$verdict" = PASS ]
  exit $?
fi

# ---------------------------------------------------------------------------
# Inside the X server from here on.
report=$QUILLO_E2E_REPORT
fail() { echo "e2e: $*" >&2; printf '%s' "failed: $*" >"$report"; exit 1; }

home=$(mktemp -d "${TMPDIR:-/tmp}/quillo-e2e-home.XXXXXX") || exit 1
# The single-instance guard names its objects after files in the temporary
# folder; a private one keeps this run apart from other Quillos on the machine.
guardtmp=$(mktemp -d "${TMPDIR:-/tmp}/quillo-e2e-tmp.XXXXXX") || exit 1
pids=""
pids_unmount=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  [ -z "$pids_unmount" ] || umount "$pids_unmount" 2>/dev/null
  rm -rf "$home" "$guardtmp"
}
trap cleanup EXIT INT TERM
mkdir -p "$home/.runtime" && chmod 700 "$home/.runtime"
export XDG_RUNTIME_DIR=$home/.runtime

start_quillo() { # LOG [ARGUMENT...]: starts the program in the background, sets $pid
  log=$1; shift
  HOME=$home TMPDIR=$guardtmp ORVIX_V4L2=0 \
    ORVIX_SIMULATED_CAMERAS=$camera "$build/quillo" "$@" >"$log" 2>&1 &
  pid=$!
  pids="$pids $pid"
}

window_of() { # PID: the visible "Quillo" window of that process
  timeout 20 xdotool search --sync --all --onlyvisible --pid "$1" --name '^Quillo$' 2>/dev/null | head -n 1
}

stamped_jpegs() { ls "$home" | grep -E '^[0-9]{17}\.jpg$'; }

wait_unmasked() { # SHOT SECONDS: waits until the busy mask no longer darkens the title bar
  i=0
  until near "$(grab "$1" "$bar_x,$bar_y")" 54 146 238; do
    i=$((i + 1)); [ "$i" -lt "$(($2 * 10))" ] || return 1
    sleep 0.1
  done
}

# --- 1. scan and close -----------------------------------------------------
start_quillo "$artefacts/e2e-first.log" "$home/page.jpg"
first=$pid
wid=$(window_of "$first")
[ -n "$wid" ] || fail "no Quillo window within 20 s (started with a file name)"
head -n 1 "$artefacts/e2e-first.log" | grep -qxF "quillo: ignoring argument '$home/page.jpg': Quillo opens no files" ||
  fail "the file name is not named on the log's first line (log: $artefacts/e2e-first.log)"
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH" -eq "$kWindowWidth" ] && [ "$HEIGHT" -eq "$kWindowHeight" ] ||
  fail "window is ${WIDTH}x$HEIGHT, not ${kWindowWidth}x$kWindowHeight"

# Window-relative points: the scan button is centred in the left column and
# sits on the bottom band's lower layout margin; the close button ends one
# margin inside the title bar's right and top edges; the middle of the title
# bar is plain bar colour, darkened while the busy mask covers the window.
scan_x=$(((WIDTH - kListColumnWidth) / 2)); scan_y=$((HEIGHT - kBottomBandMargin - kScanButtonHeight / 2))
close_x=$((WIDTH - kTitleBarMargin - kTitleButtonSize / 2)); close_y=$((kTitleBarMargin + kTitleButtonSize / 2))
video_x=$(((WIDTH - kListColumnWidth) / 2)); video_y=$(((HEIGHT - kBottomBandHeight) / 2))
bar_x=$((WIDTH / 2)); bar_y=$close_y

wait_live_picture() { # SHOT: waits up to 20 s until the middle of the picture area is no longer window grey
  local colour tries=0
  while :; do
    colour=$(grab "$1" "$video_x,$video_y") || fail "cannot grab the window"
    near "$colour" 217 217 217 || return 0
    tries=$((tries + 1)); [ "$tries" -lt 100 ] || return 1
    sleep 0.2
  done
}

# The scan button is enabled once the live picture is drawn: wait until the
# middle of the picture area is no longer window grey.
shot=$artefacts/e2e-window.png
wait_live_picture "$shot" || fail "no live picture within 20 s"
# The scan button is white there; the close icon's white cross runs through
# the close button's centre, with the bar's blue beside it.
colours=$(grab "$shot" "$scan_x,$scan_y" "$close_x,$close_y" "$((close_x - 10)),$close_y") ||
  fail "cannot grab the window"
near "$(echo "$colours" | sed -n 1p)" 255 255 255 ||
  fail "no white scan button at ($scan_x,$scan_y); see $shot"
near "$(echo "$colours" | sed -n 2p)" 255 255 255 && near "$(echo "$colours" | sed -n 3p)" 54 146 238 ||
  fail "no close button at ($close_x,$close_y); see $shot"

xdotool mousemove "$((X + scan_x))" "$((Y + scan_y))" click 1
i=0
while [ -z "$(stamped_jpegs)" ]; do
  i=$((i + 1)); [ "$i" -lt 150 ] || fail "no stamped .jpg in the home folder 15 s after the click"
  sleep 0.1
done
jpeg=$(stamped_jpegs | head -n 1)
[ "$(head -c 3 "$home/$jpeg" | od -An -tx1 | tr -d ' \n')" = ffd8ff ] || fail "$jpeg is not a JPEG"
# The mask goes once the save has reported back, in the same pass that paints the tile.
wait_unmasked "$artefacts/e2e-after-scan.png" 10 || fail "the busy mask still covers the window 10 s after the save"
xwd -silent -id "$wid" -out "$artefacts/e2e-after-scan.xwd" && grab "$artefacts/e2e-after-scan.png" ||
  fail "screenshot failed"

xdotool mousemove "$((X + close_x))" "$((Y + close_y))" click 1
wait_exit "$first" 15
[ "$code" = 0 ] || fail "closing the window ended with exit code $code (log: $artefacts/e2e-first.log)"

# --- 2. a second instance ---------------------------------------------------
start_quillo "$artefacts/e2e-running.log"
running=$pid
[ -n "$(window_of "$running")" ] || fail "the first instance of the guard check shows no window"
start_quillo "$artefacts/e2e-second.log"
second=$pid
box=$(window_of "$second")
[ -n "$box" ] || fail "the second instance shows no box"
xdotool windowfocus --sync "$box" key Return
wait_exit "$second" 10
[ "$code" = 255 ] || fail "the second instance ended with $code, not 255"
running "$running" || fail "the running instance went away with the second one"
wid=$(window_of "$running")
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove "$((X + close_x))" "$((Y + close_y))" click 1
wait_exit "$running" 15
[ "$code" = 0 ] || fail "the running instance ended with $code after its close button"

# --- 3. a full disk (root only: mounting a small tmpfs) ----------------------
whole_files() { # DIR: every file under a final name is a whole JPEG or PDF
  for f in "$1"/*; do
    [ -e "$f" ] || continue
    case $f in
      *.pdf) qpdf --check "$f" >/dev/null 2>&1 || { echo "$f"; return 1; } ;;
      *.jpg)
        [ "$(head -c 3 "$f" | od -An -tx1 | tr -d ' \n')" = ffd8ff ] &&
          [ "$(tail -c 2 "$f" | od -An -tx1 | tr -d ' \n')" = ffd9 ] || { echo "$f"; return 1; } ;;
      *) echo "$f"; return 1 ;;
    esac
  done
}
if [ "$(id -u)" -ne 0 ]; then
  echo "e2e: full-disk run skipped: mounting a small tmpfs needs root" >&2
  fulldisk="full-disk run skipped (not root)"
elif ! command -v qpdf >/dev/null; then
  fail "qpdf is missing (scripts/setup.sh installs it)"
else
  small=$(mktemp -d "${TMPDIR:-/tmp}/quillo-e2e-full.XXXXXX") || fail "no folder for the tmpfs"
  mount -t tmpfs -o size=1m tmpfs "$small" || fail "cannot mount a tmpfs on $small"
  pids_unmount="$small"
  # A 1600x1200 page is a PDF of several MB: it cannot fit.
  printf '[Settings]\nFilePath=%s\nDevName=0\nXResolution=1600\nYResolution=1200\nFileFormat=1\n' "$small" \
    >"$home/NorLastSetting.ini"
  start_quillo "$artefacts/e2e-fulldisk.log"
  full=$pid
  wid=$(window_of "$full")
  [ -n "$wid" ] || fail "full disk: no Quillo window within 20 s"
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  wait_live_picture "$artefacts/e2e-fulldisk.png" || fail "full disk: no live picture within 20 s"
  xdotool mousemove "$((X + scan_x))" "$((Y + scan_y))" click 1
  box=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$full" --name '^错误$' 2>/dev/null | head -n 1)
  [ -n "$box" ] || fail "full disk: no 错误 box within 30 s of the scan (log: $artefacts/e2e-fulldisk.log)"
  bad=$(whole_files "$small") || fail "full disk: damaged or unexpected file $bad"
  [ -z "$(ls -A "$small")" ] || fail "full disk: files left in the full folder: $(ls -A "$small" | tr '\n' ' ')"
  xdotool windowfocus --sync "$box" key Return
  wait_unmasked "$artefacts/e2e-fulldisk.png" 10 || fail "full disk: the busy mask stays after the box"
  xdotool mousemove "$((X + close_x))" "$((Y + close_y))" click 1
  wait_exit "$full" 15
  [ "$code" = 0 ] || fail "full disk: closing ended with exit code $code"
  umount "$small" && rmdir "$small"
  pids_unmount=""
  rm -f "$home/NorLastSetting.ini"
  fulldisk="full-disk PDF scan showed 错误 and left no file"
fi

printf '%s' "started with a file name, scan wrote $jpeg, close exit 0, second instance exit 255; $fulldisk" >"$report"
