#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Linux program where there is no display: --help and --version still answer, and the
# upgrade itself fails with a reason and status 1 (not a quiet 0).
#   no-display.sh PROGRAM VERSION
set -u
program=$1 version=$2
unset DISPLAY WAYLAND_DISPLAY
failed=0
check() { # WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "PASS $what"; else echo "FAIL $what"; failed=1; fi
}
out=$("$program" --help 2>&1); status=$?
check "--help answers without a display" test "$status" = 0
check "--help names the usage" grep -q "^Usage: tov-upgrade \[FILE\]" <<<"$out"
out=$("$program" --version 2>&1); status=$?
check "--version answers without a display" test "$status:$out" = "0:tov-upgrade $version"
out=$("$program" --frobnicate 2>&1); status=$?
check "an unknown option is a usage error" test "$status" = 2
out=$("$program" 2>&1 </dev/null); status=$?
check "without a display: status 1" test "$status" = 1
check "without a display: it says why" grep -q "^tov-upgrade: cannot open a display" <<<"$out"
exit $failed
