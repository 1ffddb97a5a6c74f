#!/bin/sh
# CPU the running program spends on the live preview alone: starts build/quillo
# on a private X server with a simulated camera, lets it settle, and reads the
# process's user and system time from /proc over a fixed span. Once with a
# Tarvo camera (page outline drawn on every frame), once with another camera
# (no outline), both 3264x2448 at 15 frames/s. Prints percent of one core.
#   --seconds N      span of each measurement (default 20)
#   --settle N       seconds between start and measurement (default 6)
#   --baseline DIR   also measure the program of another build folder (for
#                    example the main branch's), in the same run
#   QUILLO_BUILD_DIR build folder of the program measured (default: build/)
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
seconds=20
settle=6
baseline=
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --settle) settle=$2; shift 2 ;;
    --baseline) baseline=$2; shift 2 ;;
    *) echo "previewcpu: unknown argument $1" >&2; exit 2 ;;
  esac
done
case $seconds$settle in *[!0-9]*|'') echo "previewcpu: --seconds and --settle take whole seconds" >&2; exit 2 ;; esac
[ "$seconds" -gt 0 ] || { echo "previewcpu: --seconds must be above 0" >&2; exit 2; }

if [ -z "${QUILLO_PREVIEWCPU_INNER:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "previewcpu: xvfb-run is missing (scripts/setup.sh installs it)" >&2; exit 2; }
  for dir in "$build" ${baseline:+"$baseline"}; do
    [ -x "$dir/quillo" ] || { echo "previewcpu: no program at $dir/quillo; build first" >&2; exit 2; }
  done
  QUILLO_PREVIEWCPU_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$0" --seconds "$seconds" --settle "$settle" ${baseline:+--baseline "$baseline"}
fi

# ---------------------------------------------------------------------------
# Inside the X server from here on.
tick=$(getconf CLK_TCK)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillo-previewcpu.XXXXXX") || exit 1
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

cputicks() { # PID: user + system clock ticks so far (fields 14 and 15)
  sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'
}

running() {
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d ' ' -f 1)
  [ -n "$state" ] && [ "$state" != Z ]
}

measure() { # BUILD CAMERA: prints percent of one core, or a reason
  home=$work/home.$$.$(date +%s%N)
  mkdir -p "$home/.runtime" "$home/tmp" && chmod 700 "$home/.runtime"
  # A private TMPDIR keeps the single-instance guard apart from other Quillos.
  HOME=$home TMPDIR=$home/tmp XDG_RUNTIME_DIR=$home/.runtime ORVIX_V4L2=0 \
    ORVIX_SIMULATED_CAMERAS=$2 "$1/quillo" >"$home/log" 2>&1 &
  pid=$!
  sleep "$settle"
  if ! running "$pid"; then
    echo "did not keep running (see its log: $(tail -n 1 "$home/log"))"
    pid=
    return
  fi
  before=$(cputicks "$pid")
  sleep "$seconds"
  after=$(cputicks "$pid")
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  pid=
  awk -v t="$((after - before))" -v hz="$tick" -v s="$seconds" 'BEGIN { printf "%.1f %% of one core\n", 100 * t / hz / s }'
}

tarvo='Tarvo S1|3264x2448|tarvo'
other='Desk Cam|3264x2448|'
echo "program CPU while previewing 3264x2448 at 15 frames/s, over $seconds s after $settle s settling:"
for dir in "$build" ${baseline:+"$baseline"}; do
  echo "  $dir/quillo"
  echo "    Tarvo camera (page outline): $(measure "$dir" "$tarvo")"
  echo "    other camera (no outline):   $(measure "$dir" "$other")"
done
