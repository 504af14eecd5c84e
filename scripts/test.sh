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
  local plain
  plain=$(grep -Eo '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  local p=0 f=0
  if [ -n "$counts" ]; then
    f=${counts%% *}
    p=$((${counts##* } - f))
  elif [ -n "$plain" ]; then
    p=${plain%% *}
    f=${plain##*, }
    f=${f%% *}
  elif [ "$status" -eq 0 ]; then
    p=1
  fi
  # A stage that failed without counting a failed test (a build, a script) counts as one.
  if [ "$status" -ne 0 ]; then
    [ "$f" -gt 0 ] || f=1
    failures+=("$name")
  fi
  passed=$((passed + p))
  failed=$((failed + f))
  rm -f "$log"
  return 0
}

step "native build" bash -c "cmake --preset native >/dev/null && cmake --build --preset native -j$jobs"
# Inside a private namespace of its own, so the tests that need ports 69 and 80 run too.
step "native tests" scripts/netns-run.sh ctest --preset native -j"$jobs" --timeout 600
step "windows build" bash -c "cmake --preset windows >/dev/null && cmake --build --preset windows -j$jobs"
step "windows tests (Wine)" scripts/windows-tests.sh build/windows
step "windows scenarios (Wine)" tests/e2e/run-windows-e2e.sh
# The Linux program's windows under Xvfb, on the native build.
step "linux program (GTK)" env TOV_GTK_BUILD="$root/build/native" tests/gtk/run-gtk-tests.sh
if [ -x scripts/test-hardening.sh ]; then
  step "hardening" scripts/test-hardening.sh
fi

echo
if [ ${#failures[@]} -gt 0 ]; then
  echo "failed stages: ${failures[*]}"
fi
echo "tests: $passed passed, $failed failed"
[ ${#failures[@]} -eq 0 ]
