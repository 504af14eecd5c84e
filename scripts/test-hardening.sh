#!/usr/bin/env bash
# The hardening stage: every libFuzzer target for a bounded time (clang, ASan+UBSan), the unit
# tests, timed tests and fault matrix under ASan+UBSan, and the threaded tests under
# ThreadSanitizer. Every program that touches the network runs in a private namespace of its own
# (scripts/netns-run.sh or the fault matrix's own), on loopback only. Needs root.
#   scripts/test-hardening.sh [fuzz|asan|tsan]...   (default: all three)
# Environment: TOV_FUZZ_SECONDS (20 per target), TOV_JOBS (2).
# Ends with "hardening: N passed, N failed", the same counts as "N tests failed out of M", and a
# non-zero status when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${TOV_JOBS:-2}
fuzz_seconds=${TOV_FUZZ_SECONDS:-20}
# Every stage builds with clang: its sanitizers are the reference ones, and it compiles the
# instrumented tests several times faster than g++ does.
clang="-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++"
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(fuzz asan tsan)

passed=0
failed=0
failures=()
started=$(date +%s)

# check NAME COMMAND...: runs one check, counts it, keeps its log under build/hardening-logs.
mkdir -p build/hardening-logs
check() {
  local name=$1
  shift
  local log="build/hardening-logs/${name// /_}.log"
  local t0
  t0=$(date +%s)
  if "$@" >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "  ok    $name ($(($(date +%s) - t0)) s)"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "  FAIL  $name ($(($(date +%s) - t0)) s), log: $log"
    tail -n 30 "$log" | sed 's/^/        /'
  fi
}

# A GoogleTest program passes only on its own verdict: a fatal path ends a process with status 0
# by design, so the status alone could hide a program cut short.
gtest_passes() {
  local log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log" && [ "$status" -eq 0 ]
  local verdict=$?
  rm -f "$log"
  return $verdict
}

configure() { # DIR ARGS...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

# One fuzz target for the set time, in a namespace of its own; new inputs go to a scratch
# corpus under the build folder, the committed seeds stay as they are. Any crash, sanitizer
# report, leak or time-out is a failure and leaves its input in build/fuzz/findings.
run_fuzzer() { # NAME
  local name=$1
  local work="build/fuzz/corpus-work/$name"
  mkdir -p "$work" build/fuzz/findings
  scripts/netns-run.sh "build/fuzz/fuzz/fuzz-$name" -max_total_time="$fuzz_seconds" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/findings/$name-" "$work" "fuzz/corpus/$name"
}

stage_fuzz() {
  echo "==== fuzzing (clang, ASan+UBSan, ${fuzz_seconds} s per target)"
  check "fuzz build" bash -c "$(declare -f configure); configure build/fuzz $clang \
      -DTOV_FUZZ=ON -DTOV_BUILD_TESTS=OFF \
    && cmake --build build/fuzz -j$jobs --target tov-fuzzers"
  local names=(http-response page-value authorization dotted-address firmware-image tftp-listener
    tftp-session)
  # Two at a time, one per core; each verdict is counted once both have ended.
  local i n
  for ((i = 0; i < ${#names[@]}; i += 2)); do
    local pids=()
    for n in "${names[@]:i:2}"; do
      (run_fuzzer "$n" >"build/hardening-logs/fuzz-run_$n.log" 2>&1
        echo $? >"build/hardening-logs/fuzz-run_$n.status") &
      pids+=($!)
    done
    wait "${pids[@]}"
    for n in "${names[@]:i:2}"; do
      check "fuzz $n" fuzz_verdict "$n"
    done
  done
}

# The verdict of one fuzz run: its status, and its statistics for the log.
fuzz_verdict() { # NAME
  local log="build/hardening-logs/fuzz-run_$1.log"
  grep -E 'stat::number_of_executed_units|^Done|ERROR|SUMMARY|check failed' "$log"
  [ "$(cat "build/hardening-logs/fuzz-run_$1.status")" = 0 ] || { tail -n 40 "$log"; return 1; }
}

stage_asan() {
  echo "==== AddressSanitizer + UndefinedBehaviorSanitizer"
  check "asan build" bash -c "$(declare -f configure); configure build/asan $clang \
      -DTOV_SANITIZE=address,undefined -DTOV_FAULT_TESTS=ON \
    && cmake --build build/asan -j$jobs --target tov-unit-tests tov-timed-tests tov-fault-matrix"
  export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  check "asan unit tests" gtest_passes scripts/netns-run.sh build/asan/tests/tov-unit-tests
  check "asan timed tests" gtest_passes scripts/netns-run.sh build/asan/tests/tov-timed-tests
  # The fault matrix enters a namespace of its own per scenario.
  check "asan fault matrix" gtest_passes build/asan/tests/faults/tov-fault-matrix \
    --gtest_filter=-*RealClock*
  unset ASAN_OPTIONS UBSAN_OPTIONS
}

stage_tsan() {
  echo "==== ThreadSanitizer (runner, worker and TFTP threads)"
  check "tsan build" bash -c "$(declare -f configure); configure build/tsan $clang \
      -DTOV_SANITIZE=thread -DTOV_FAULT_TESTS=ON \
    && cmake --build build/tsan -j$jobs --target tov-unit-tests tov-timed-tests tov-fault-matrix"
  # Every end of the program is an immediate process end from whichever thread meets it, with
  # threads never joined by design; those are not races, so thread leaks are not reported.
  export TSAN_OPTIONS="report_thread_leaks=0:halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan-suppressions.txt"
  check "tsan runner tests" gtest_passes scripts/netns-run.sh build/tsan/tests/tov-unit-tests \
    --gtest_filter='BackgroundRequest*:UpgradeSequence*:Platform*:HttpExchange*'
  check "tsan TFTP thread tests" gtest_passes scripts/netns-run.sh build/tsan/tests/tov-timed-tests
  # The scenarios where the threads meet: prompts between workers, the closing request on the
  # TFTP thread, ends and Cancels while another thread is blocked or pumping.
  check "tsan fault matrix" gtest_passes build/tsan/tests/faults/tov-fault-matrix \
    --gtest_filter='Faults.CompleteUpgrade*:Faults.Password*:Faults.RefusedPassword*:Faults.DeviceThatNeverComesBack*:Faults.Hanging*:Faults.UpgradeRequestClosed*:Faults.CancelDuring*:Faults.ConnectionRefused'
  unset TSAN_OPTIONS
}

for s in "${stages[@]}"; do
  t0=$(date +%s)
  case $s in
  fuzz) stage_fuzz ;;
  asan) stage_asan ;;
  tsan) stage_tsan ;;
  *) echo "unknown stage $s (fuzz, asan, tsan)" >&2 && exit 2 ;;
  esac
  echo "  ($s: $(($(date +%s) - t0)) s)"
done

echo
[ ${#failures[@]} -eq 0 ] || echo "failed: ${failures[*]}"
echo "hardening: $passed passed, $failed failed ($(($(date +%s) - started)) s)"
# In ctest's words too, so a caller counting ctest results counts each check.
echo "$failed tests failed out of $((passed + failed))"
[ "$failed" -eq 0 ]
