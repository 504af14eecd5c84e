#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One scenario of the Linux program, inside a private network namespace (scripts/netns-run.sh):
#   gtk-scenario.sh NAME OUT_DIR
# Environment: TOV_GTK_BUILD (the native build folder holding the program, tov-sim and the test
# helpers), TOV_GTK_SHOTS (where the screenshots go, by default OUT_DIR/screenshots),
# TOV_GTK_SHOT_EVERY_WINDOW (when set, a numbered picture of every window as it comes, as the demo
# keeps). For other runs of the same machinery (the installed package's test): TOV_GTK_PROGRAM
# (the program, by default the build's tov-upgrade-logged) and TOV_GTK_SCENARIOS (the file of
# scenario_<name> functions, by default scenarios.sh).
# Writes OUT_DIR/result.log, one PASS or FAIL line per check; exits 1 on any FAIL, after printing
# the FAIL lines. The native preset runs each scenario as the ctest entry gtk.<name>.
set -u
name=$1
OUT=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
NATIVE=${TOV_GTK_BUILD:?}
PROGRAM=${TOV_GTK_PROGRAM:-$NATIVE/src/programs/tov-upgrade-gtk/tov-upgrade-logged}
X_CLOSE=$NATIVE/tests/gtk/tov-x-close
mkdir -p "$OUT"
rm -f "$OUT"/*.log "$OUT"/*.out "$OUT"/sim.ready
UI_LOG=$OUT/ui.log
RESULT=$OUT/result.log
SHOTS=${TOV_GTK_SHOTS:-$OUT/screenshots}
: >"$RESULT"
# shellcheck source=gtk-lib.sh
. "$here/gtk-lib.sh"
# shellcheck source=scenarios.sh
. "${TOV_GTK_SCENARIOS:-$here/scenarios.sh}"
trap finish EXIT

if start_display; then
  "scenario_$name"
fi
# A scenario that checked nothing (say a name with no function) proves nothing.
grep -q '^PASS' "$RESULT" || fail "no check passed"
if [ "$FAILED" -ne 0 ]; then
  grep '^FAIL' "$RESULT"
  echo "logs and screenshots: $OUT/"
fi
[ "$FAILED" -eq 0 ]
