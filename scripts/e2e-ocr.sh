#!/bin/sh
# Searchable PDFs tried as a new user would, on a private X server:
#   1. two page pictures of known text made by tests/tools/pagepictures (page 1
#      Chinese, page 2 English, sentences no suite or bench reads) on a
#      page-turning simulated 1920x1080 camera; the settings file says PDF
#      scans (FileFormat=1) with text recognition on (Ocr=1);
#   2. the scan button scans page 1, Space scans page 2 after the turn; within
#      60 s of its scan each PDF reads back through pdftotext at 90 % (Chinese)
#      and 95 % (English) of its characters, white space ignored;
#   3. "合并pdf" makes a third stamped PDF whose pages read back the same, in
#      order; qpdf --check is clean for every PDF;
#   4. the close button ends the program with exit code 0 and no hidden
#      temporary (".*.pdf.*") stays in the folder;
#   5. a second run with TESSDATA_PREFIX on an empty folder: the first scan
#      shows one "错误" box, the second none; both PDFs are valid, without
#      text; closing gives exit code 0.
# Prints one summary line with the figures; exits non-zero when any step failed.
#   QUILLO_BUILD_DIR     build folder (default: build/)
#   QUILLO_ARTEFACT_DIR  where logs, screenshots and read-back texts go (default: <build>/artefacts)
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
artefacts=${QUILLO_ARTEFACT_DIR:-$build/artefacts}
e2e_name=e2e-ocr
. "$top/scripts/e2e-common.sh"

[ -n "${QUILLO_E2E_INNER:-}" ] || e2e_outside "xdotool pdftotext qpdf" "quillo sessiongrab pagepictures"

# ---------------------------------------------------------------------------
# Inside the X server from here on.
report=$QUILLO_E2E_REPORT
figures=""
fail() { echo "e2e-ocr: $*" >&2; printf '%s' "${figures:+$figures; }failed: $*" >"$report"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillo-ocr.XXXXXX") || exit 1
pages=$work/pages
pids=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
mkdir -p "$pages" "$work/tmp" "$work/notessdata" "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
"$build/tests/pagepictures" text "$pages" 2>/dev/null || fail "cannot make the page pictures"
# The truths stay beside the pictures: the camera shows only .png and .jpg files.
cat "$pages/page1.txt" "$pages/page2.txt" >"$work/both.txt"

# Page 1 lies this long from the stream's start, then a hand turns it (1 s).
hold=10

settings() { # HOME: the twelve keys a settings window's save leaves, then PdfImages and Ocr
  mkdir -p "$1/.runtime" && chmod 700 "$1/.runtime"
  cat >"$1/NorLastSetting.ini" <<INI
[Settings]
FilePath=$1
DevName=0
XResolution=1920
YResolution=1080
bIsWater=0
WaterContent=
WaterFont=20
WaterColorR=0
WaterColorG=0
WaterColorB=0
bTextEn=0
FileFormat=1
PdfImages=0
Ocr=1
INI
}

start_quillo() { # HOME LOG [VARIABLE=VALUE...]: sets $pid, $wid, the button points and $live (the live picture's second)
  qhome=$1 log=$2
  shift 2
  env "$@" HOME="$qhome" XDG_RUNTIME_DIR="$qhome/.runtime" TMPDIR="$work/tmp" ORVIX_V4L2=0 \
    ORVIX_SIMULATED_CAMERAS="Book|1920x1080|scene=$pages,hold=$hold" "$build/quillo" >"$log" 2>&1 &
  pid=$!
  pids="$pids $pid"
  wid=$(timeout 20 xdotool search --sync --all --onlyvisible --pid "$pid" --name '^Quillo$' 2>/dev/null | head -n 1)
  [ -n "$wid" ] || fail "no Quillo window within 20 s (log: $log)"
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  # Window-relative points, as in scripts/e2e.sh; "合并pdf" sits in the
  # bottom right corner inside the layout's margin.
  scan_x=$(((WIDTH - kListColumnWidth) / 2)); scan_y=$((HEIGHT - kBottomBandMargin - kScanButtonHeight / 2))
  close_x=$((WIDTH - kTitleBarMargin - kTitleButtonSize / 2)); close_y=$((kTitleBarMargin + kTitleButtonSize / 2))
  merge_x=$((WIDTH - kBottomBandMargin - kMergeButtonWidth / 2))
  merge_y=$((HEIGHT - kBottomBandMargin - kMergeButtonHeight / 2))
  i=0
  while :; do
    colour=$(grab "$artefacts/ocr-start.png" "$scan_x,$(((HEIGHT - kBottomBandHeight) / 2))") ||
      fail "cannot grab the window"
    near "$colour" 217 217 217 || break
    i=$((i + 1)); [ "$i" -lt 100 ] || fail "no live picture within 20 s (log: $log)"
    sleep 0.2
  done
  live=$(date +%s)
}

click() { xdotool mousemove "$((X + $1))" "$((Y + $2))" click 1; }
key() { xdotool key --window "$wid" "$@" 2>/dev/null; } # xdotool complains about the bare X server's focus
stamped() { ls "$1" | grep -E '^[0-9]{17}\.pdf$'; }
count() { stamped "$1" | wc -l; }

wait_count() { # HOME N SECONDS: waits until there are at least N stamped PDFs
  i=0
  while [ "$(count "$1")" -lt "$2" ]; do
    i=$((i + 1)); [ "$i" -lt "$(($3 * 10))" ] || return 1
    sleep 0.1
  done
}

# The text pdftotext reads from PDF (or from its page PAGE), into OUT.
read_back() { # PDF OUT [PAGE]
  if [ -n "${3:-}" ]; then pdftotext -f "$3" -l "$3" -enc UTF-8 "$1" "$2"; else pdftotext -enc UTF-8 "$1" "$2"; fi
}

accuracy() { "$build/tests/pagepictures" accuracy "$1" "$2" 2>/dev/null; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; } # A B: A >= B

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Waits for the trace line saying PDF carries its text; sets $took to the
# seconds since SINCE_MS (one decimal). Fails at once on a trace line saying
# it will not, or when none comes within 60 s.
wait_recognised() { # PDF LOG SINCE_MS
  while ! grep -qF "text recognition: $1 carries its text" "$2"; do
    if grep -qE "no searchable PDF|unavailable for|cannot replace|no longer listed" "$2"; then
      fail "the text of $(basename "$1") was not written: $(grep -E 'text recognition' "$2" | tail -n 1)"
    fi
    [ "$(($(now_ms) - $3))" -lt 60000 ] || fail "$(basename "$1") got no text within 60 s of its scan (log: $2)"
    sleep 0.2
  done
  took=$(awk -v ms="$(($(now_ms) - $3))" 'BEGIN { printf "%.1f", ms / 1000 }')
}

check_read() { # PDF PAGE|"" TRUTH MINIMUM NAME: reads back and checks the share, adds it to the figures
  out=$artefacts/ocr-$5.txt
  read_back "$1" "$out" $2 || fail "pdftotext cannot read $(basename "$1")"
  share=$(accuracy "$3" "$out") || fail "cannot measure the accuracy of $5"
  figures="${figures:+$figures, }$5 $share"
  at_least "$share" "$4" || fail "$5 reads back $share of its characters, below $4 (see $out)"
}

no_temporaries() { # HOME: fails naming the hidden temporaries (".*.pdf.*") left there
  left=$(ls -A "$1" | grep -E '^\..*\.pdf\.')
  [ -z "$left" ] || fail "hidden temporaries left in $1: $(echo "$left" | tr '\n' ' ')"
}

all_valid() { # HOME: qpdf --check of every PDF; prints the first that fails
  for f in "$1"/*.pdf; do
    [ -e "$f" ] || continue
    qpdf --check "$f" >/dev/null 2>&1 || { basename "$f"; return 1; }
  done
}

# --- 1, 2. two pages scanned, each searchable -------------------------------
home=$work/home
settings "$home"
log=$artefacts/ocr-first.log
start_quillo "$home" "$log"
# The button is white left of its label.
near "$(grab "$artefacts/ocr-start.png" "$((merge_x - 60)),$merge_y")" 255 255 255 ||
  fail "no white 合并pdf button at ($((merge_x - 60)),$merge_y); see $artefacts/ocr-start.png"
scanned=$(now_ms)
click "$scan_x" "$scan_y"
wait_count "$home" 1 15 || fail "no stamped PDF 15 s after clicking scan"
first=$home/$(stamped "$home" | head -n 1)
wait_recognised "$first" "$log" "$scanned"
check_read "$first" "" "$pages/page1.txt" 0.90 "page1-zh"
figures="$figures in ${took}s"

# Past the turn: the stream started before the live picture was seen.
while [ "$(($(date +%s) - live))" -le "$((hold + 2))" ]; do sleep 0.2; done
scanned=$(now_ms)
key space
wait_count "$home" 2 15 || fail "Space made no second stamped PDF within 15 s"
second=$home/$(stamped "$home" | sed -n 2p)
wait_recognised "$second" "$log" "$scanned"
check_read "$second" "" "$pages/page2.txt" 0.95 "page2-en"
figures="$figures in ${took}s"

# --- 3. the merge ------------------------------------------------------------
click "$merge_x" "$merge_y"
wait_count "$home" 3 30 || fail "no merged PDF 30 s after clicking 合并pdf (log: $log)"
merged=$home/$(stamped "$home" | sed -n 3p)
# The merge writes under a hidden name and renames: a stamped name is whole.
pagecount=$(qpdf --show-npages "$merged" 2>/dev/null)
[ "$pagecount" = 2 ] || fail "the merged PDF has ${pagecount:-no} pages, not 2"
check_read "$merged" 1 "$pages/page1.txt" 0.90 "merged-p1"
check_read "$merged" 2 "$pages/page2.txt" 0.95 "merged-p2"
check_read "$merged" "" "$work/both.txt" 0.90 "merged-all"
bad=$(all_valid "$home") || fail "qpdf --check fails for $bad"

# --- 4. closing --------------------------------------------------------------
click "$close_x" "$close_y"
wait_exit "$pid" 15
[ "$code" = 0 ] || fail "closing the window ended with exit code $code (log: $log)"
no_temporaries "$home"

# --- 5. no language data -----------------------------------------------------
home=$work/bare
settings "$home"
log=$artefacts/ocr-nodata.log
start_quillo "$home" "$log" TESSDATA_PREFIX="$work/notessdata"
click "$scan_x" "$scan_y"
box=$(timeout 60 xdotool search --sync --all --onlyvisible --pid "$pid" --name '^错误$' 2>/dev/null | head -n 1)
[ -n "$box" ] || fail "no data: no 错误 box within 60 s of the scan (log: $log)"
grab "$artefacts/ocr-nodata-box.png" >/dev/null 2>&1
[ "$(xdotool search --all --onlyvisible --pid "$pid" --name '^错误$' 2>/dev/null | wc -l)" -eq 1 ] ||
  fail "no data: more than one 错误 box for one scan"
xdotool windowfocus --sync "$box" key Return 2>/dev/null
i=0
while xdotool search --all --onlyvisible --pid "$pid" --name '^错误$' >/dev/null 2>&1; do
  i=$((i + 1)); [ "$i" -lt 50 ] || fail "no data: the 错误 box stays after Return"
  sleep 0.1
done
wait_count "$home" 1 15 || fail "no data: the first scan left no stamped PDF"
click "$scan_x" "$scan_y"
wait_count "$home" 2 15 || fail "no data: the second scan left no stamped PDF within 15 s"
# Both pages' recognition has ended once each is named in a trace line.
i=0
while [ "$(grep -c 'text recognition unavailable for' "$log")" -lt 2 ]; do
  i=$((i + 1)); [ "$i" -lt 300 ] || fail "no data: the second page's recognition did not end within 30 s (log: $log)"
  sleep 0.1
done
sleep 1
boxes=$(xdotool search --all --onlyvisible --pid "$pid" --name '^错误$' 2>/dev/null | wc -l)
[ "$boxes" -eq 0 ] || fail "no data: the second scan showed another 错误 box"
bad=$(all_valid "$home") || fail "no data: qpdf --check fails for $bad"
for f in $(stamped "$home"); do
  read_back "$home/$f" "$work/bare.txt" || fail "no data: pdftotext cannot read $f"
  [ -z "$(tr -d ' \t\r\n\f' <"$work/bare.txt")" ] || fail "no data: $f has text"
done
click "$close_x" "$close_y"
wait_exit "$pid" 15
[ "$code" = 0 ] || fail "no data: closing ended with exit code $code (log: $log)"
no_temporaries "$home"

printf '%s' "read back: $figures; merged in order; qpdf clean; close exit 0, no temporaries; no language data: one 错误 box for two scans, PDFs valid without text, exit 0" >"$report"
