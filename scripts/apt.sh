#!/bin/sh
# Runs apt-get with root rights: directly as root, through sudo otherwise.
# The one place where the scripts gain root for package work.
# Usage: scripts/apt.sh APT-GET-ARGUMENTS ...
set -eu
if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive exec apt-get "$@"
fi
# sudo drops the caller's environment; env sets the one variable as root.
exec sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@"
