#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The test command (README; CI runs it through .ci/run): installs what is missing, configures and
# builds every preset, runs each preset's tests with `ctest --preset P` (the test preset selects
# its stage's tests by label; each test that needs one enters a private network namespace at its
# ctest entry) and ends with one line "N passed, N failed" summed from CTest's JUnit results (a
# failed build, or a ctest run that left no result, counts as one failure). Needs root.
#   scripts/test.sh [PRESET...]        (default: native windows asan tsan fuzz)
# Environment: TOV_JOBS (parallel build jobs and tests, default 2).
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${TOV_JOBS:-2}

all=(native windows asan tsan fuzz)
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=("${all[@]}")
for p in "${presets[@]}"; do
  [[ " ${all[*]} " == *" $p "* ]] || { echo "test.sh: unknown preset $p (${all[*]})" >&2; exit 2; }
done

if [ "$(id -u)" -ne 0 ] || ! scripts/install-deps.sh; then
  echo "test.sh: needs root and the packages of scripts/install-deps.sh"
  echo "0 passed, 1 failed"
  exit 1
fi

passed=0
failed=0
problems=()
started=$SECONDS

# fail_once WHAT: something that is not a counted test went wrong (a build, a ctest run).
fail_once() {
  failed=$((failed + 1))
  problems+=("$1")
}

# build PRESET [ARG...]: configures and builds one preset.
build() {
  local p=$1 t0=$SECONDS
  shift
  echo "==== build $p"
  cmake --preset "$p" >/dev/null && cmake --build --preset "$p" -j"$jobs" "$@"
  local status=$?
  echo "==== build $p: $((SECONDS - t0)) s"
  return $status
}

declare -A built
for p in "${presets[@]}"; do
  if build "$p"; then built[$p]=1; else fail_once "build $p"; fi
done
# The Windows scenarios upgrade the native build's simulated device.
if [ -n "${built[windows]:-}" ] && [[ " ${presets[*]} " != *" native "* ]]; then
  build native --target tov-sim || fail_once "build native tov-sim"
fi

# run_tests PRESET: the preset's tests, counted from the JUnit file ctest writes (a test that
# could not run, a missing program say, is a failed one).
run_tests() {
  local p=$1 t0=$SECONDS junit=$PWD/build/$1/Testing/results.xml
  echo "==== tests $p: ctest --preset $p -j$jobs"
  rm -f "$junit"
  ctest --preset "$p" -j"$jobs" --output-junit "$junit"
  local status=$? ran=0 f=0
  if [ -f "$junit" ]; then
    ran=$(grep -Ec '<testcase [^>]*status="(run|fail|notrun)"' "$junit")
    f=$(grep -Ec '<testcase [^>]*status="(fail|notrun)"' "$junit")
  fi
  passed=$((passed + ran - f))
  failed=$((failed + f))
  [ "$f" -eq 0 ] || problems+=("tests $p")
  # No result at all, or a ctest run that failed without a failed test (a preset error), counts once.
  if [ "$ran" -eq 0 ] || { [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; }; then
    fail_once "ctest $p"
  fi
  echo "==== tests $p: $((SECONDS - t0)) s"
}

# unselected PRESET: a test the preset's build registers that none of the test preset's filters
# selects would silently never run: each one counts as a failure.
names() { sed -n 's/^ *Test *#[0-9]*: //p' | sort; }
unselected() {
  local p=$1 name
  while IFS= read -r name; do
    echo "not run by the test preset $p (no label of its filter): $name"
    fail_once "unselected $name"
  done < <(comm -23 <(ctest --test-dir "build/$p" -N 2>/dev/null | names) \
    <(ctest --preset "$p" -N 2>/dev/null | names))
}

for p in "${presets[@]}"; do
  [ -n "${built[$p]:-}" ] || continue
  run_tests "$p"
  case $p in native | windows) unselected "$p" ;; esac
done

echo
echo "took $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
[ ${#problems[@]} -eq 0 ] || echo "failed: ${problems[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
