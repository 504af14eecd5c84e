#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One Windows scenario: tov-upgrade.exe under Wine and Xvfb against the simulated device, with
# tov-driver.exe playing the user. Run inside a private namespace (scripts/netns-run.sh), as the
# windows preset's ctest entries e2e.<scenario> do (tests/e2e/CMakeLists.txt):
#   windows-scenario.sh STEPS_FILE OUT_DIR
# Environment: TOV_WIN_BUILD (the MinGW build folder), TOV_NATIVE_BUILD (holds tools/sim/tov-sim),
# TOV_SCENARIO_PREFIX (a Wine prefix of this scenario's own; by default a copy of the build's
# shared prefix, made here and removed at the end).
# The steps file's header lines say how to run the device and what its log must show:
#   # sim: OPTIONS          options for tov-sim (address 127.0.0.2, port 80 are given)
#   # sim-log: PATTERN      the device's event log must match PATTERN (grep -E)
#   # sim-log-not: PATTERN  and must not
#   # time-limit: SECONDS   for the driver (default 120)
#   # console: ARGS         run the console program tov-upgrade-cli.exe with ARGS instead of the
#                           windows and the driver: it must exit 0
#   # console-output: PATTERN  its output must match PATTERN (grep -E)
set -u
steps=${1:?usage: windows-scenario.sh STEPS_FILE OUT_DIR}
out=${2:?usage: windows-scenario.sh STEPS_FILE OUT_DIR}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win=${TOV_WIN_BUILD:?}
native=${TOV_NATIVE_BUILD:?}
# The Windows program with the driver beside it, and the console program.
program_dir=$win/src/programs/tov-upgrade-win32
cli=$win/src/programs/tov-upgrade-cli/tov-upgrade-cli.exe
# Nothing of an earlier run may count (a stale sim.ready would pass for a device that is up).
rm -rf "$out"
mkdir -p "$out"
# This script's own output stays beside the scenario's other logs, for diagnosis.
exec > >(tee "$out/run.log") 2>&1
fail() {
  echo "FAIL: $*" | tee -a "$out/result.log"
}
console=$(sed -n 's/^# console: //p' "$steps")
for f in "$program_dir/tov-upgrade.exe" "$program_dir/tov-driver.exe" "$cli" \
  "$native/tools/sim/tov-sim"; do
  [ -e "$f" ] || { fail "missing $f (build the native and windows presets first)"; exit 1; }
done

# Every scenario has a wineserver of its own that writes the registry files back, so by default it
# runs on a hard-linked copy of the shared prefix with registry files of its own.
if [ -z "${TOV_SCENARIO_PREFIX:-}" ]; then
  base=$win/wine-prefix
  [ -f "$base/.tov-ready" ] || { fail "no Wine prefix $base (scripts/wine-prefix.sh)"; exit 1; }
  TOV_SCENARIO_PREFIX=$out/wine-prefix
  rm -rf "$TOV_SCENARIO_PREFIX"
  cp -al "$base" "$TOV_SCENARIO_PREFIX" || { fail "cannot copy the Wine prefix"; exit 1; }
  for reg in "$TOV_SCENARIO_PREFIX"/*.reg; do
    cp --remove-destination "$base/$(basename "$reg")" "$reg"
  done
  trap 'rm -rf "$TOV_SCENARIO_PREFIX"' EXIT
fi

# The computer is called tov-test here; it answers to 127.0.0.1 and 127.0.0.3, in that order.
printf '127.0.0.1 localhost\n127.0.0.1 tov-test\n127.0.0.3 tov-test\n' >"$out/hosts"
mount --bind "$out/hosts" /etc/hosts || { fail "cannot bind-mount the hosts file"; exit 1; }

# shellcheck disable=SC2046
sim_options=$(sed -n 's/^# sim: //p' "$steps")
"$native/tools/sim/tov-sim" --address 127.0.0.2 --port 80 --log "$out/sim.log" \
  --ready-file "$out/sim.ready" $sim_options >"$out/sim.out" 2>&1 &
sim=$!
for _ in $(seq 1 100); do
  [ -e "$out/sim.ready" ] && break
  sleep 0.1
done
[ -e "$out/sim.ready" ] || { fail "the simulated device did not start"; kill "$sim"; exit 1; }

export WINEPREFIX=${TOV_SCENARIO_PREFIX:?}
# shellcheck source=/dev/null
. "$root/scripts/wine-env.sh" "$win"
wine_env_private_server
limit=$(sed -n 's/^# time-limit: //p' "$steps")
if [ -n "$console" ]; then
  # A console program: no display, no driver; its status and output tell.
  # shellcheck disable=SC2086
  timeout "${limit:-120}" "$WINELOADER" "$cli" $console \
    >"$out/console.out" 2>"$out/console.err"
  status=$?
  [ $status -eq 0 ] || fail "console program status $status: $(cat "$out/console.err")"
  while IFS= read -r pattern; do
    grep -Eq -- "$pattern" "$out/console.out" || { fail "console output lacks: $pattern"; status=1; }
  done < <(sed -n 's/^# console-output: //p' "$steps")
else
  wine_env_start_display || { fail "no display"; kill "$sim"; exit 1; }
  timeout "${limit:-120}" "$WINELOADER" "$program_dir/tov-driver.exe" \
    --program "$program_dir/tov-upgrade.exe" --log "$out/driver.log" --shots "$out/shots" \
    "$steps" >"$out/driver.out" 2>&1
  status=$?
  [ $status -eq 0 ] || fail "driver status $status (see driver.log)"
fi

wineserver -k 2>/dev/null
wine_env_stop_display
kill "$sim" 2>/dev/null
wait "$sim" 2>/dev/null

while IFS= read -r pattern; do
  grep -Eq -- "$pattern" "$out/sim.log" || { fail "device log lacks: $pattern"; status=1; }
done < <(sed -n 's/^# sim-log: //p' "$steps")
while IFS= read -r pattern; do
  if grep -Eq -- "$pattern" "$out/sim.log"; then
    fail "device log shows: $pattern"
    status=1
  fi
done < <(sed -n 's/^# sim-log-not: //p' "$steps")

if compgen -G "$out/shots/*.bmp" >/dev/null; then
  python3 "$root/tests/e2e/bmp_to_png.py" "$out"/shots/*.bmp
fi
if [ $status -ne 0 ]; then
  grep -h '^FAIL' "$out/driver.log" 2>/dev/null
  echo "logs and screenshots: $out/"
fi
exit $status
