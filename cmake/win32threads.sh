#!/bin/sh
# Compiler and link launcher of the shipped modules: runs the toolchain's
# win32-thread-model driver where the build names the posix one, so that the
# modules carry no POSIX thread runtime (whose imports need newer Windows
# than the workstation's). Every other command runs unchanged.
case $1 in
  *-posix) tool=$1; shift; exec "${tool%-posix}-win32" "$@" ;;
  *) exec "$@" ;;
esac
