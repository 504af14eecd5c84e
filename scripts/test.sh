#!/usr/bin/env bash
# Installs what is missing, builds both programs and runs every test: the native unit tests and
# device scenarios, then the Windows build's tests under Wine. Ends with "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${TOV_JOBS:-2}

scripts/install-deps.sh || exit 1

passed=0
failed=0
failures=()
# step NAME COMMAND...: runs one stage, counting ctest's results when it prints them.
step() {
  local name=$1
  shift
  echo "==== $name"
  local log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local counts
  counts=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$counts" ]; then
    local f=${counts%% *}
    local total=${counts##* }
    passed=$((passed + total - f))
    failed=$((failed + f))
  elif [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
  [ "$status" -eq 0 ] || failures+=("$name")
  rm -f "$log"
  return 0
}

step "native build" bash -c "cmake --preset native >/dev/null && cmake --build --preset native -j$jobs"
step "native tests" ctest --preset native -j"$jobs" --timeout 600
step "windows build" bash -c "cmake --preset windows >/dev/null && cmake --build --preset windows -j$jobs"
step "windows tests (Wine)" bash -c "source scripts/wine-env.sh build/windows && ctest --preset windows --timeout 600"
if [ -x tests/e2e/run-windows-e2e.sh ]; then
  step "windows scenarios (Wine)" tests/e2e/run-windows-e2e.sh
fi

echo
if [ ${#failures[@]} -gt 0 ]; then
  echo "failed stages: ${failures[*]}"
fi
echo "tests: $passed passed, $failed failed"
[ ${#failures[@]} -eq 0 ]
