#!/bin/sh
# Runs a Windows program of the build under Wine for ctest. The output goes
# through a file: a Wine service that the program starts on demand (the
# desktop window, RPC) inherits its standard handles and outlives it, and on
# an inherited pipe ctest would wait for the end of the output until the
# suite's time-out although the program has long finished.
#
# A program that ends having written nothing at all never ran: Wine itself
# failed under it (its server gone). That is said in a line ./mcr looks for.
program=$(basename "$1")
out=$(mktemp) || exit 1
wine "$@" > "$out" 2>&1 < /dev/null &
pid=$!
finish() {
  cat "$out"
  [ "$1" -ne 0 ] && [ ! -s "$out" ] &&
    echo "wine-run: $program ended with status $1 and wrote nothing: the Wine server failed under it"
  rm -f "$out"
  exit "$1"
}
trap 'kill $pid 2>/dev/null; finish 124' INT TERM
wait $pid
finish $?
