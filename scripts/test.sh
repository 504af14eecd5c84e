#!/usr/bin/env bash
# The test command (README; CI runs it through .ci/run): installs what is missing, configures and
# builds every preset, runs each preset's tests with ctest by label, and ends with one line
# "N passed, N failed" summed over all of them (a failed build counts as one failure). Needs root:
# every test runs in a private network namespace (scripts/netns-run.sh), loopback only, and those
# that need ports 69 and 80 or a Wine server of their own get one more of their own.
#   scripts/test.sh [PRESET...]        (default: native windows asan tsan fuzz)
# Environment: TOV_JOBS (parallel build jobs and tests, default 2).
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${TOV_JOBS:-2}

# What each preset's stage runs (ctest -L): between them, every test that preset registers.
declare -A labels=(
  [native]='unit|timed|faults|sim|tftp|gtk|cli|package' # unit and timed tests, fault matrix,
                                                        # device, Linux and command-line programs,
                                                        # the Debian package
  [windows]='wine'                                      # unit tests, local addresses, resources,
                                                        # scenarios under Wine
  [asan]='asan' [tsan]='tsan' [fuzz]='fuzz' # hardening
)
all=(native windows asan tsan fuzz)
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=("${all[@]}")
for p in "${presets[@]}"; do
  [ -n "${labels[$p]:-}" ] || { echo "test.sh: unknown preset $p (${all[*]})" >&2; exit 2; }
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

# run_tests PRESET: the preset's tests, counted from ctest's own summary.
run_tests() {
  local p=$1 t0=$SECONDS log
  echo "==== tests $p: ctest --preset $p -L '${labels[$p]}' -j$jobs"
  log=$(mktemp)
  scripts/netns-run.sh ctest --preset "$p" -L "${labels[$p]}" -j"$jobs" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local counts f=0 total=0
  counts=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$counts" ]; then
    f=${counts%% *}
    total=${counts##* }
  fi
  passed=$((passed + total - f))
  failed=$((failed + f))
  [ "$f" -eq 0 ] || problems+=("tests $p")
  # A ctest run that failed without a failed test (no tests, a preset error) counts once.
  [ "$status" -eq 0 ] || [ "$f" -gt 0 ] || fail_once "ctest $p"
  rm -f "$log"
  echo "==== tests $p: $((SECONDS - t0)) s"
}

# unlabelled PRESET: a test of a preset that should run all of its tests, yet has none of the
# stage's labels, would silently never run: each one counts as a failure.
unlabelled() {
  local p=$1 name
  while IFS= read -r name; do
    echo "not run by scripts/test.sh (no label of '${labels[$p]}'): $name"
    fail_once "unlabelled $name"
  done < <(ctest --preset "$p" -N -LE "${labels[$p]}" 2>/dev/null |
    sed -n 's/^ *Test *#[0-9]*: //p')
}

for p in "${presets[@]}"; do
  [ -n "${built[$p]:-}" ] || continue
  run_tests "$p"
  case $p in native | windows) unlabelled "$p" ;; esac
done

echo
echo "took $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
[ ${#problems[@]} -eq 0 ] || echo "failed: ${problems[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
