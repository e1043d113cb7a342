#!/bin/sh
# Runs PROGRAM with the arguments help2man passes and lays its help out as
# help2man reads it, so that the programs' help texts stay as they are:
# further synopsis lines under "Usage:" ("       ksx4ctl --help") become
# "  or:  ksx4ctl --help", a synopsis continued on the next line ("   [--verbose]")
# is joined into one, and a command described from the line's start
# ("transfer  Copies ...") is indented like an option, with the lines that
# go on describing it.
# Usage: help_layout.sh PROGRAM ARG...
set -e
program=$1
shift
text=$("$program" "$@")
printf '%s\n' "$text" | awk -v name="$(basename "$program")" '
  function flush() { if (held != "") print held; held = "" }
  /^Usage: / { flush(); usage = 1; held = $0; next }
  usage && index($0, name " ") > 1 && $0 ~ "^ +" name " " { flush(); sub(/^ +/, "  or:  "); held = $0; next }
  usage && /^ +\[/ { sub(/^ +/, " "); held = held $0; next }
  { flush(); usage = 0 }
  /^[a-z][a-z-]*  [^ ]/ { item = 1; print "  " $0; next }
  item && /^ / { print "  " $0; next }
  { item = 0; print }
  END { flush() }'
