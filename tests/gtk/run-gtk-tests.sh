#!/usr/bin/env bash
# The Linux program's tests: builds it (build/gtk, two jobs), runs its unit tests and every window
# scenario, each in a private network namespace with its own Xvfb, the long full upgrades in the
# background alongside the rest. Screenshots of every window go to build/gtk/screenshots/.
# Prints "N passed, N failed"; exits non-zero on any failure. Needs root (namespaces).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
build=${TOV_GTK_BUILD:-$root/build/gtk}
export TOV_GTK_BUILD=$build
out=$build/gtk-tests
shots=$build/screenshots
jobs=${TOV_JOBS:-2}
started=$(date +%s)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$build" -j"$jobs" --target tov-upgrade tov-sim tov-gtk-tests tov-x-close || {
  echo "build failed"
  echo "0 passed, 1 failed"
  exit 1
}

rm -rf "$out" "$shots"
mkdir -p "$out" "$shots"
passed=0
failed=0
failures=()

# The unit tests: one count per test case.
"$root/scripts/netns-run.sh" "$build/tests/gtk/tov-gtk-tests" >"$out/unit.log" 2>&1
unit_status=$?
unit_passed=$(grep -c '^\[       OK \]' "$out/unit.log")
unit_failed=$(grep -c '^\[  FAILED  \] [A-Za-z]*\.' "$out/unit.log")
passed=$((passed + unit_passed))
failed=$((failed + unit_failed))
if [ "$unit_status" -ne 0 ]; then
  failures+=("unit tests (see $out/unit.log)")
  [ "$unit_failed" -eq 0 ] && failed=$((failed + 1))
fi
echo "unit tests: $unit_passed passed, $unit_failed failed"

# scenario NAME: runs in the background; its verdict is collected at the end.
declare -A pids
scenario() {
  local name=$1
  local dir=$out/$name
  mkdir -p "$dir"
  local shot_dir=$shots
  [ "$name" = full_upgrade_as_nobody ] && shot_dir=$dir/screenshots
  TOV_GTK_SHOTS=$shot_dir timeout 240 "$root/scripts/netns-run.sh" \
    "$root/tests/gtk/gtk-scenario.sh" "$name" "$dir" >"$dir/scenario.out" 2>&1 &
  pids[$name]=$!
}
collect() {
  local name=$1
  wait "${pids[$name]}"
  local status=$?
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    echo "PASS $name"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "FAIL $name (status $status)"
    grep '^FAIL' "$out/$name/result.log" 2>/dev/null | sed 's/^/    /'
  fi
}

# The two full upgrades wait 49,984 ms each: they start first and run beside the rest, which go
# two at a time so the machine's two cores keep up with the windows.
long=(full_upgrade full_upgrade_as_nobody)
short=(notice_enter address_and_confirm address_escape confirm_close_box cancel_connecting
  close_connecting cancel_waiting password_cancel cancel_settling)
for name in "${long[@]}"; do scenario "$name"; done
for ((i = 0; i < ${#short[@]}; i += 2)); do
  scenario "${short[i]}"
  [ $((i + 1)) -lt ${#short[@]} ] && scenario "${short[i + 1]}"
  collect "${short[i]}"
  [ $((i + 1)) -lt ${#short[@]} ] && collect "${short[i + 1]}"
done
for name in "${long[@]}"; do collect "$name"; done

echo
[ ${#failures[@]} -gt 0 ] && echo "failed: ${failures[*]}"
echo "screenshots: $shots"
echo "time: $(($(date +%s) - started)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
