#!/bin/sh
# Runs PROGRAM with the arguments help2man passes and lays its help out as
# help2man reads it, so that the programs' help texts stay as they are:
# further synopsis lines under "Usage:" ("       ksx4ctl --help") become
# "  or:  ksx4ctl --help", and a command described from the line's start
# ("transfer  Copies ...") is indented like an option, with the lines that
# go on describing it.
# Usage: help_layout.sh PROGRAM ARG...
set -e
program=$1
shift
text=$("$program" "$@")
printf '%s\n' "$text" | awk -v name="$(basename "$program")" '
  /^Usage: / { usage = 1; print; next }
  usage && index($0, name " ") > 1 && $0 ~ "^ +" name " " { sub(/^ +/, "  or:  "); print; next }
  { usage = 0 }
  /^[a-z][a-z-]*  [^ ]/ { item = 1; print "  " $0; next }
  item && /^ / { print "  " $0; next }
  { item = 0; print }'
