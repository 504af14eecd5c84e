#!/usr/bin/env bash
# One scenario of the Linux program, inside a private network namespace (scripts/netns-run.sh):
#   gtk-scenario.sh NAME OUT_DIR
# Environment: TOV_GTK_BUILD (the native build folder holding the program, tov-sim and the test
# helpers). Writes OUT_DIR/result.log, one PASS or FAIL line per check; exits 1 on any FAIL.
set -u
name=$1
OUT=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
NATIVE=${TOV_GTK_BUILD:?}
PROGRAM=$NATIVE/src/ui/gtk/tov-upgrade
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
. "$here/scenarios.sh"
trap finish EXIT

if start_display; then
  "scenario_$name"
fi
[ "$FAILED" -eq 0 ]
