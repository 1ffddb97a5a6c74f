#!/bin/sh
# Runs one test suite with a temporary HOME so that the settings file and
# stored files never touch the real home. Usage: run-isolated.sh MODE BINARY [ARGS]
# MODE is "offscreen" (headless Qt) or "xvfb" (a private X server).
set -u
mode=$1; shift
home=$(mktemp -d "${TMPDIR:-/tmp}/quillo-test-home.XXXXXX") || exit 1
trap 'rm -rf "$home"' EXIT INT TERM
export HOME="$home"
export XDG_RUNTIME_DIR="$home/.runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache"
export ORVIX_V4L2="${ORVIX_V4L2:-0}"
# A cross build runs its suites through an emulator (qemu-aarch64-static).
if [ -n "${QUILLO_TEST_EMULATOR:-}" ]; then
  set -- $QUILLO_TEST_EMULATOR "$@"
fi
if [ "$mode" = xvfb ]; then
  unset QT_QPA_PLATFORM
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
else
  export QT_QPA_PLATFORM=offscreen
  "$@"
fi
