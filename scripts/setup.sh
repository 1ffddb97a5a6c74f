#!/bin/sh
# Installs the Debian 12 packages Quillo needs to build, run and test.
# Idempotent: when everything is present it only checks and returns.
# Usage: scripts/setup.sh [EXTRA_PACKAGE ...]
set -eu

PACKAGES="
build-essential cmake ninja-build pkg-config ccache git
qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libqt5svg5
libhpdf-dev libturbojpeg0-dev libjpeg62-turbo-dev
libopencv-dev libv4l-dev libfreetype-dev
fonts-wqy-microhei fonts-dejavu-core
xvfb xauth xdotool x11-apps
poppler-utils libpoppler-qt5-dev img2pdf qpdf
tesseract-ocr tesseract-ocr-eng tesseract-ocr-chi-sim libtesseract-dev
"
# Extra tools for the sanitizer, fuzzing and leak stages of CI.
if [ "${QUILLO_SETUP_CI_EXTRAS:-0}" = 1 ]; then
  PACKAGES="$PACKAGES clang libclang-rt-14-dev valgrind"
fi
# Scripts that need more (packaging, the cross build) name it as arguments.
PACKAGES="$PACKAGES $*"

missing=""
for p in $PACKAGES; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $p" ;;
  esac
done

if [ -z "$missing" ]; then
  exit 0
fi

echo "setup: installing$missing"
apt=$(dirname "$0")/apt.sh
"$apt" update -qq
# shellcheck disable=SC2086
"$apt" install -y -qq --no-install-recommends $missing
