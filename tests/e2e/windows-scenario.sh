#!/usr/bin/env bash
# One Windows scenario: tov-upgrade.exe under Wine and Xvfb against the simulated device, with
# tov-driver.exe playing the user. Run inside a private namespace (scripts/netns-run.sh):
#   windows-scenario.sh STEPS_FILE OUT_DIR
# Environment: TOV_WIN_BUILD (the MinGW build folder), TOV_NATIVE_BUILD (holds tools/sim/tov-sim),
# TOV_SCENARIO_PREFIX (a Wine prefix of this scenario's own).
# The steps file's header lines say how to run the device and what its log must show:
#   # sim: OPTIONS          options for tov-sim (address 127.0.0.2, port 80 are given)
#   # sim-log: PATTERN      the device's event log must match PATTERN (grep -E)
#   # sim-log-not: PATTERN  and must not
#   # time-limit: SECONDS   for the driver (default 120)
set -u
steps=$1
out=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win=${TOV_WIN_BUILD:?}
native=${TOV_NATIVE_BUILD:?}
mkdir -p "$out"
# run.log is where the caller collects this script's own output: keep it.
rm -rf "$out/shots"
find "$out" -maxdepth 1 -name '*.log' ! -name run.log -delete
fail() {
  echo "FAIL: $*" | tee -a "$out/result.log"
}

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
wine_env_start_display || { fail "no display"; kill "$sim"; exit 1; }

limit=$(sed -n 's/^# time-limit: //p' "$steps")
timeout "${limit:-120}" "$WINELOADER" "$win/src/ui/win32/tov-driver.exe" \
  --program "$win/src/ui/win32/tov-upgrade.exe" --log "$out/driver.log" --shots "$out/shots" \
  "$steps" >"$out/driver.out" 2>&1
status=$?
[ $status -eq 0 ] || fail "driver status $status (see driver.log)"

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
exit $status
