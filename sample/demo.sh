#!/usr/bin/env bash
# Called by ./mcr demo and ./mcr check after their build, in the Wine
# environment of ./mcr with a wineserver running:
#   sample/demo.sh BUILD_DIR [MCRHOST ARGS...]
#   sample/demo.sh BUILD_DIR --check FILE...
# Lays out the sample workstation in BUILD_DIR/sample (and points the
# workstation's registry key in the build's Wine prefix at it), puts mcrhost
# with the library and the stand-ins into its program folder icpexe\ (where
# the workstation's task programs live, so that the placement words find the
# sample's icpms.win beside the program that made the window), then runs
# sample/tour.mac on it. With arguments, runs mcrhost with them instead,
# after the sample's start-up macro: ./mcr demo --trace my.mac; --prompt
# alone opens mcrhost's prompt. With --dialogs, runs sample/dialogs.mac,
# which opens every dialog of the words; the build's Wine has no display, so
# each dialog is saved as a picture in BUILD_DIR/dialogs and cancelled, and
# the run finishes unattended. With --check, checks the files against the
# sample's start-up macro (laid out only when the generator is newer).
# Standard output is mcrhost's alone.
set -euo pipefail

BUILD=$1
shift
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# MCR_SAMPLE lays the sample out elsewhere (./mcr pictures: C:\ICPMS).
SAMPLE=${MCR_SAMPLE:-$BUILD/sample}
: "${WINEPREFIX:?runs from ./mcr, in its Wine environment}"

# The sample's folder for Windows programs: Z: is the Unix root.
if [[ $SAMPLE == "$WINEPREFIX"/drive_c/* ]]; then
  WINSAMPLE="C:${SAMPLE#"$WINEPREFIX"/drive_c}"
else
  WINSAMPLE="Z:$SAMPLE"
fi
WINSAMPLE=${WINSAMPLE//\//\\}

lay_out() {
  rm -rf "$SAMPLE"
  mkdir -p "$SAMPLE"
  wine "$BUILD/x64/bin/mkworkstation.exe" "$WINSAMPLE" >&2
  for program in mcrhost.exe MCRPAK.dll dlgframe.dll anlink.dll; do
    cp "$BUILD/x64/bin/$program" "$SAMPLE/icpexe/"
  done
}

if [[ ${1:-} == --check ]]; then
  shift
  [[ $SAMPLE/startup.mac -nt $BUILD/x64/bin/mkworkstation.exe ]] || lay_out
  exec wine "$BUILD/x64/bin/mcrhost.exe" --check --startup "$WINSAMPLE\\startup.mac" "$@"
fi

lay_out
if (($# == 0)); then
  cd "$ROOT"
  set -- sample/tour.mac
elif [[ $1 == --prompt ]]; then
  shift
elif [[ $1 == --dialogs ]]; then
  cd "$ROOT"
  shift
  rm -rf "$BUILD/dialogs"
  echo "(each dialog is saved in $BUILD/dialogs as it appears, then cancelled)" >&2
  set -- --snapshot "Z:${BUILD//\//\\}\\dialogs" "$@" sample/dialogs.mac
fi
exec wine "$SAMPLE/icpexe/mcrhost.exe" --startup "$WINSAMPLE\\startup.mac" "$@"
