#!/usr/bin/env bash
# The Windows scenarios: tov-upgrade.exe under Wine and Xvfb against the simulated device, played
# by tov-driver.exe, each scenario (tests/e2e/windows/*.steps) in a private network namespace of
# its own, several at once. Needs root. Prints "N passed, N failed"; non-zero exit on a failure.
#   tests/e2e/run-windows-e2e.sh [SCENARIO...]
# Environment: TOV_WIN_BUILD (default build/windows), TOV_NATIVE_BUILD (default build/native, for
# tov-sim), TOV_E2E_JOBS (scenarios at once, default 6). Logs and screenshots (BMP and PNG) go to
# $TOV_WIN_BUILD/e2e/<scenario>/.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win=${TOV_WIN_BUILD:-$root/build/windows}
native=${TOV_NATIVE_BUILD:-$root/build/native}
win=$(realpath -m "$win")
native=$(realpath -m "$native")
jobs=${TOV_E2E_JOBS:-6}

missing=
for f in "$win/src/ui/win32/tov-upgrade.exe" "$win/src/ui/win32/tov-driver.exe" \
  "$native/tools/sim/tov-sim"; do
  [ -e "$f" ] || missing="$missing $f"
done
if [ -n "$missing" ]; then
  echo "run-windows-e2e: missing:$missing (build both presets first)"
  echo "0 passed, 1 failed"
  exit 1
fi

scenarios=()
if [ $# -gt 0 ]; then
  for name in "$@"; do scenarios+=("$root/tests/e2e/windows/$name.steps"); done
else
  # The long ones (the real 49,984 ms wait) first, so the short ones run beside them.
  for f in "$root"/tests/e2e/windows/*.steps; do
    grep -q '^# time-limit:' "$f" && scenarios+=("$f")
  done
  for f in "$root"/tests/e2e/windows/*.steps; do
    grep -q '^# time-limit:' "$f" || scenarios+=("$f")
  done
fi

# The shared prefix is made once; each scenario runs on a hard-linked copy with its own registry
# files, since every scenario has a wineserver of its own that writes them back.
(. "$root/scripts/wine-env.sh" "$win") || { echo "0 passed, 1 failed"; exit 1; }
base=$win/wine-prefix
out=$win/e2e
mkdir -p "$out/prefixes"

run_one() {
  local steps=$1 name
  name=$(basename "$steps" .steps)
  local prefix=$out/prefixes/$name
  rm -rf "$prefix" "$out/$name"
  mkdir -p "$out/$name"
  cp -al "$base" "$prefix"
  local reg
  for reg in "$prefix"/*.reg; do
    cp --remove-destination "$base/$(basename "$reg")" "$reg"
  done
  local start=$SECONDS
  TOV_WIN_BUILD=$win TOV_NATIVE_BUILD=$native TOV_SCENARIO_PREFIX=$prefix \
    timeout 300 "$root/scripts/netns-run.sh" "$root/tests/e2e/windows-scenario.sh" "$steps" \
    "$out/$name" >"$out/$name/run.log" 2>&1
  local status=$?
  echo "$status $((SECONDS - start))" >"$out/$name/status"
  rm -rf "$prefix"
}

start=$SECONDS
running=0
for steps in "${scenarios[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_one "$steps" &
  running=$((running + 1))
done
wait

passed=0
failed=0
for steps in "${scenarios[@]}"; do
  name=$(basename "$steps" .steps)
  read -r status seconds <"$out/$name/status" 2>/dev/null || { status=1; seconds=?; }
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    echo "PASS $name (${seconds}s)"
  else
    failed=$((failed + 1))
    echo "FAIL $name (${seconds}s): see $out/$name/"
    grep -h '^FAIL' "$out/$name/driver.log" "$out/$name/result.log" 2>/dev/null | sed 's/^/    /'
  fi
done
echo "windows scenarios took $((SECONDS - start)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
