# Sourced by the end-to-end scripts: what they all do the same way. The caller
# sets $top, $build, $artefacts and $e2e_name (the summary line's first word)
# before sourcing it; the window's sizes (kWindowWidth=780 ...) come from the
# header its layout code uses.
eval "$(sed -n 's/^constexpr int \(k[A-Za-z]*\) = \([0-9]*\);.*/\1=\2/p' "$top/ui/windowmetrics.h")"
[ -n "${kListColumnWidth:-}" ] || { echo "$e2e_name: no window sizes in $top/ui/windowmetrics.h" >&2; exit 2; }

# e2e_outside "TOOL..." "TARGET..." [ARGUMENT]: checks the tools, builds the
# targets, runs this script again inside a private X server with ARGUMENT, and
# prints the one summary line from the report it leaves; exits with its verdict.
e2e_outside() {
  for tool in xvfb-run $1; do
    command -v "$tool" >/dev/null || { echo "$e2e_name: $tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
  done
  started=$(date +%s)
  if [ -f "$build/build.ninja" ]; then
    # shellcheck disable=SC2086
    cmake --build "$build" -j "$(nproc)" --target $2 >/dev/null || { echo "$e2e_name: FAIL (build)"; exit 1; }
  else
    QUILLO_BUILD_DIR=$build "$top/scripts/build.sh" || { echo "$e2e_name: FAIL (build)"; exit 1; }
  fi
  mkdir -p "$artefacts"
  report=$(mktemp)
  QUILLO_E2E_INNER=1 QUILLO_E2E_REPORT=$report QUILLO_BUILD_DIR=$build QUILLO_ARTEFACT_DIR=$artefacts \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" ${3:+"$3"}
  inner=$?
  steps=$(cat "$report" 2>/dev/null)
  rm -f "$report"
  verdict=PASS
  [ "$inner" -eq 0 ] || verdict=FAIL
  echo "$e2e_name: $verdict — ${steps:-program steps did not run}; $(($(date +%s) - started))s; artefacts in $artefacts"
  [ "$verdict" = PASS ]
  exit $?
}

# grab OUT.png X,Y ...: screenshot of window $wid; prints "R G B" per point.
grab() { "$build/tests/sessiongrab" "$wid" "$@"; }

near() { # "r g b" R G B: each channel within 8
  set -- $1 "$2" "$3" "$4"
  for d in $(($1 - $4)) $(($2 - $5)) $(($3 - $6)); do [ "${d#-}" -le 8 ] || return 1; done
}

running() { # PID: true while the process runs (an exited, unreaped child is a zombie)
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d ' ' -f 1)
  [ -n "$state" ] && [ "$state" != Z ]
}

wait_exit() { # PID SECONDS: waits for the process, sets $code to its exit code
  i=0
  while running "$1" && [ "$i" -lt "$(($2 * 10))" ]; do sleep 0.1; i=$((i + 1)); done
  if running "$1"; then code=timeout; return; fi
  wait "$1"
  code=$?
}
