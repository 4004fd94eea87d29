#!/bin/sh
# Runs a Windows program of the build under Wine for ctest. The output goes
# through a file: a Wine service that the program starts on demand (the
# desktop window, RPC) inherits its standard handles and outlives it, and on
# an inherited pipe ctest would wait for the end of the output until the
# suite's time-out although the program has long finished.
out=$(mktemp) || exit 1
wine "$@" > "$out" 2>&1 < /dev/null &
pid=$!
trap 'kill $pid 2>/dev/null; cat "$out"; rm -f "$out"; exit 124' INT TERM
wait $pid
status=$?
cat "$out"
rm -f "$out"
exit $status
