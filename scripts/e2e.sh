#!/bin/sh
# End-to-end check of the real program on a private X server:
#   1. start build/quillo on a simulated camera with an empty home folder,
#      click the scan button where the layout puts it, expect a 17-digit .jpg
#      in the home folder, keep a screenshot, close with the title bar's close
#      button and expect exit code 0;
#   2. start a second instance while one runs: it must show its box and, once
#      the box is answered with Return, exit with 255;
#   3. run the TestSession suite through ctest.
# Prints one summary line; exits non-zero when any step failed.
#   QUILLO_BUILD_DIR     build folder (default: build/)
#   QUILLO_ARTEFACT_DIR  where screenshots go (default: <build>/artefacts)
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
artefacts=${QUILLO_ARTEFACT_DIR:-$build/artefacts}
camera='Tarvo S1|1600x1200,800x600|tarvo'

if [ -z "${QUILLO_E2E_INNER:-}" ]; then
  for tool in xvfb-run xdotool xwd python3; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
  done
  started=$(date +%s)
  if [ -f "$build/build.ninja" ]; then
    cmake --build "$build" --target quillo TestSession >/dev/null || { echo "e2e: FAIL (build)"; exit 1; }
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
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  rm -rf "$home" "$guardtmp"
}
trap cleanup EXIT INT TERM
mkdir -p "$home/.runtime" && chmod 700 "$home/.runtime"

# Reads an xwd dump: "pixel X Y" prints "R G B"; "near X Y R G B" succeeds
# when the pixel is within 8 of that colour in each channel; "png OUT"
# writes a PNG.
xwdtool() {
  python3 - "$@" <<'PY'
import struct, sys, zlib
path, cmd = sys.argv[1], sys.argv[2]
data = open(path, 'rb').read()
h = struct.unpack('>25I', data[:100])
header_size, fmt, depth, width, height = h[0], h[2], h[3], h[4], h[5]
byte_order, bpp, bpl, ncolors = h[7], h[11], h[12], h[19]
masks = h[14:17]
if fmt != 2 or bpp not in (24, 32):
    sys.exit('unsupported xwd layout: format %d, %d bits per pixel' % (fmt, bpp))
pixels = data[header_size + 12 * ncolors:]
step = bpp // 8
order = '<' if byte_order == 0 else '>'
def shift(mask):
    return (mask & -mask).bit_length() - 1
shifts = [shift(m) for m in masks]
def rgb(x, y):
    off = y * bpl + x * step
    raw = pixels[off:off + step] + (b'\0' if step == 3 else b'')
    value = struct.unpack(order + 'I', raw)[0]
    return tuple((value & m) >> s for m, s in zip(masks, shifts))
if cmd == 'pixel':
    print('%d %d %d' % rgb(int(sys.argv[3]), int(sys.argv[4])))
elif cmd == 'near':
    got = rgb(int(sys.argv[3]), int(sys.argv[4]))
    sys.exit(0 if all(abs(g - int(w)) <= 8 for g, w in zip(got, sys.argv[5:8])) else 1)
elif cmd == 'png':
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(rgb(x, y))
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff)
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(bytes(rows), 6)) + chunk(b'IEND', b'')
    open(sys.argv[3], 'wb').write(png)
PY
}

start_quillo() { # LOG: starts the program in the background, sets $pid
  HOME=$home TMPDIR=$guardtmp XDG_RUNTIME_DIR=$home/.runtime ORVIX_V4L2=0 \
    ORVIX_SIMULATED_CAMERAS=$camera "$build/quillo" >"$1" 2>&1 &
  pid=$!
  pids="$pids $pid"
}

window_of() { # PID: the visible "Quillo" window of that process
  timeout 20 xdotool search --sync --all --onlyvisible --pid "$1" --name '^Quillo$' 2>/dev/null | head -n 1
}

running() { # PID: true while the process runs (an exited, unreaped child is a zombie)
  state=$(ps -o stat= -p "$1" 2>/dev/null)
  [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}

wait_exit() { # PID SECONDS: waits for the process, sets $code to its exit code
  i=0
  while running "$1" && [ "$i" -lt "$(($2 * 10))" ]; do sleep 0.1; i=$((i + 1)); done
  if running "$1"; then code=timeout; return; fi
  wait "$1"
  code=$?
}

stamped_jpegs() { ls "$home" | grep -E '^[0-9]{17}\.jpg$'; }

# --- 1. scan and close -----------------------------------------------------
start_quillo "$artefacts/e2e-first.log"
first=$pid
wid=$(window_of "$first")
[ -n "$wid" ] || fail "no Quillo window within 20 s"
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH" -eq 780 ] && [ "$HEIGHT" -eq 480 ] || fail "window is ${WIDTH}x$HEIGHT, not 780x480"

# Window-relative points, from the layout: the right column is 220 wide, the
# 240x36 scan button is centred in the left column and sits on the bottom
# band's lower layout margin (9); the 40x40 close button ends 5 pixels inside
# the title bar's right and top edges.
scan_x=$(((WIDTH - 220) / 2)); scan_y=$((HEIGHT - 9 - 18))
close_x=$((WIDTH - 5 - 20)); close_y=$((5 + 20))
video_x=$(((WIDTH - 220) / 2)); video_y=$(((HEIGHT - 140) / 2))

# The scan button is enabled once the live picture is drawn: wait until the
# middle of the picture area is no longer window grey.
shot=$artefacts/e2e-window.xwd
i=0
while :; do
  xwd -silent -id "$wid" -out "$shot" || fail "xwd could not read the window"
  xwdtool "$shot" near "$video_x" "$video_y" 217 217 217 || break
  i=$((i + 1)); [ "$i" -lt 100 ] || fail "no live picture within 20 s"
  sleep 0.2
done
xwdtool "$shot" near "$scan_x" "$scan_y" 255 255 255 ||
  fail "no white scan button at ($scan_x,$scan_y): $(xwdtool "$shot" pixel "$scan_x" "$scan_y"); see $shot"
# The close icon's white cross runs through the button's centre, on blue.
xwdtool "$shot" near "$close_x" "$close_y" 255 255 255 && xwdtool "$shot" near "$((close_x - 10))" "$close_y" 54 146 238 ||
  fail "no close button at ($close_x,$close_y); see $shot"

xdotool mousemove "$((X + scan_x))" "$((Y + scan_y))" click 1
i=0
while [ -z "$(stamped_jpegs)" ]; do
  i=$((i + 1)); [ "$i" -lt 150 ] || fail "no stamped .jpg in the home folder 15 s after the click"
  sleep 0.1
done
jpeg=$(stamped_jpegs | head -n 1)
[ "$(head -c 3 "$home/$jpeg" | od -An -tx1 | tr -d ' \n')" = ffd8ff ] || fail "$jpeg is not a JPEG"
sleep 1 # let the busy mask go and the tile paint before the screenshot
xwd -silent -id "$wid" -out "$shot" && xwdtool "$shot" png "$artefacts/e2e-window.png" ||
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

printf '%s' "scan wrote $jpeg, close exit 0, second instance exit 255" >"$report"
