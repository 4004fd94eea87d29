#!/usr/bin/env bash
# Called by ./mcr demo after the build, with a wineserver running:
#   sample/demo.sh BUILD_DIR [MCRHOST ARGS...]
# Lays out the sample workstation in BUILD_DIR/sample (and points the
# workstation's registry key in the build's Wine prefix at it), then runs
# sample/tour.mac on it. With arguments, runs mcrhost with them instead,
# after the sample's start-up macro: ./mcr demo --trace my.mac. With
# --dialogs, runs sample/dialogs.mac, which opens every dialog of the words;
# the build's Wine has no display, so each dialog is saved as a picture in
# BUILD_DIR/dialogs and cancelled, and the run finishes unattended.
set -euo pipefail

BUILD=$1
shift
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SAMPLE=$BUILD/sample

mcr() { MCR_BUILD="$BUILD" "$ROOT/mcr" "$@"; }

rm -rf "$SAMPLE"
mkdir -p "$SAMPLE"
WINSAMPLE=$(mcr wine winepath -w "$SAMPLE")
mcr wine wine "$BUILD/x64/bin/mkworkstation.exe" "$WINSAMPLE"
echo

if (($# == 0)); then
  cd "$ROOT"
  set -- sample/tour.mac
elif [[ $1 == --dialogs ]]; then
  cd "$ROOT"
  shift
  rm -rf "$BUILD/dialogs"
  echo "(each dialog is saved in $BUILD/dialogs as it appears, then cancelled)"
  set -- --snapshot "$(mcr wine winepath -w "$BUILD/dialogs")" "$@" sample/dialogs.mac
fi
mcr host --startup "$WINSAMPLE\\startup.mac" "$@"
