#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real programs' TFTP transfer as the simulated device sees it, next to the core harness
# (tftp-serve: our listener and transfer without any window) built for the same platform, in one
# run, alternating program and harness:
#   native:  the GTK program under Xvfb, xdotool playing the user  /  tftp-serve
#   windows: tov-upgrade.exe under Wine + Xvfb, the scenarios' driver playing the user  /
#            tftp-serve.exe under the same Wine
# Each run has a fresh device (tov-sim, no password); the figure is the device's own: from its
# read request (its first tftp_send) to its ACK of the last block (its last tftp_send of op ACK),
# in microseconds per block (1,418 blocks). The program is stopped once the transfer is over (the
# 49,984 ms wait that follows is not measured here). Prints per platform the medians and the
# ratio program / harness (goal: at most 1.25).
#   bench/program-bench.sh [--cpus D,S] [REPETITIONS] [native|windows]...
#                                                   (root; defaults: 5, both, no CPUs chosen)
# --cpus D,S runs the device on CPU D and the program or harness (with everything it starts: the
# driver, the wineserver) on CPU S, e.g. 0,0 or 0,1, to take the scheduler's placement out of
# the comparison (a wake-up across CPUs costs far more than one on the same CPU here).
# Logs of the last run: build/native/bench/program/, build/windows/bench/program/.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
NATIVE=$ROOT/build/native
WIN_BUILD=$ROOT/build/windows
# The Windows program and the driver built beside it.
WIN_PROGRAM_DIR=$WIN_BUILD/src/programs/tov-upgrade-win32
cpus=""
if [ "${1:-}" = --cpus ]; then
  cpus=${2:?--cpus needs D,S}
  shift 2
fi
reps=${1:-5}
shift $(($# > 0 ? 1 : 0))
platforms=${*:-native windows}

if [ "$(hostname)" != tov-test ]; then
  [ "$(id -u)" -eq 0 ] || { echo "program-bench: needs root (a private namespace)" >&2; exit 2; }
  for platform in $platforms; do
    case $platform in
      native) needs="$NATIVE/src/programs/tov-upgrade-gtk/tov-upgrade-logged
        $NATIVE/tests/tftp/tftp-serve" ;;
      windows) needs="$WIN_PROGRAM_DIR/tov-upgrade.exe $WIN_PROGRAM_DIR/tov-driver.exe
        $WIN_BUILD/tests/tftp/tftp-serve.exe" ;;
      *) echo "program-bench: unknown platform $platform" >&2; exit 2 ;;
    esac
    for file in $needs "$NATIVE/tools/sim/tov-sim"; do
      [ -x "$file" ] || { echo "program-bench: $file is missing (build the presets)" >&2; exit 2; }
    done
    # The shared Wine prefix is made once, outside any namespace, as the Windows tests do.
    if [ "$platform" = windows ]; then
      "$ROOT/scripts/wine-prefix.sh" "$WIN_BUILD" >/dev/null || exit 2
    fi
  done
  for tool in jq curl xdotool Xvfb; do
    command -v "$tool" >/dev/null || { echo "program-bench: $tool is missing" >&2; exit 2; }
  done
  # shellcheck disable=SC2086 # one argument per platform
  exec "$ROOT/scripts/netns-run.sh" "$0" ${cpus:+--cpus "$cpus"} "$reps" $platforms
fi

# shellcheck source=bench-lib.sh
. "$ROOT/bench/bench-lib.sh"
NAME=/tov1a2b.bin # the name the harness offers (the program draws its own)
if [ -n "$cpus" ]; then
  RUN_DEVICE=(taskset -c "${cpus%,*}")
  RUN_SERVER=(taskset -c "${cpus#*,}")
fi
SERVE_PID=""

cleanup() {
  [ -n "$SERVE_PID" ] && kill "$SERVE_PID" 2>/dev/null
  bench_stop_sim
  gtk_teardown 2>/dev/null
  wine_teardown
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# harness_run DIR SERVER...: a fresh device on 127.0.0.1 (tftp-serve answers only the address it
# listens on) told by an upgrade request of our own to fetch NAME from SERVER, which serves one
# fetch on 127.0.0.1, prints "port P" and ends.
harness_run() {
  local dir=$1 port=""
  shift
  mkdir -p "$dir"
  bench_sim "$dir" 127.0.0.1 || return 1
  "${RUN_SERVER[@]}" "$@" 127.0.0.1 "$NAME" >"$dir/serve.out" 2>"$dir/serve.err" &
  SERVE_PID=$!
  for _ in $(seq 1 200); do
    port=$(sed -n 's/^port \([0-9]*\).*/\1/p' "$dir/serve.out" 2>/dev/null)
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "bench: $1 did not start" >&2; return 1; }
  # Wine starts its helper processes with the first program: let them settle first, as they have
  # long done when the real program's user presses "Upgrade".
  sleep "${HARNESS_SETTLE:-0.5}"
  curl -s -m 10 -o "$dir/upgrade.out" "http://127.0.0.1/admin/upgrade?tftp://127.0.0.1:$port$NAME"
  bench_wait_for "$dir/sim.log" "$LAST_ACK" 30 "$SERVE_PID"
  wait "$SERVE_PID"
  local status=$?
  SERVE_PID=""
  bench_stop_sim
  [ $status -eq 0 ] || { echo "bench: $1 ended with status $status" >&2; return 1; }
}

# gtk_program_run DIR: the Linux program upgrades a fresh device on 127.0.0.2 until its last ACK.
gtk_program_run() {
  gtk_run "$1"
  bench_sim "$OUT" 127.0.0.2 || return 1
  start_program "${RUN_SERVER[@]}"
  gtk_to_confirm
  bench_wait_for "$OUT/sim.log" "$LAST_ACK" 60 "$PROGRAM_PID" || fail "no whole transfer"
  gtk_stop_program
  bench_stop_sim
  [ "$FAILED" -eq 0 ] || { grep '^FAIL' "$RESULT" >&2; return 1; }
}

# wine_program_run DIR: tov-upgrade.exe upgrades a fresh device on 127.0.0.2 until its last ACK.
wine_program_run() {
  local dir=$1 ok=0
  mkdir -p "$dir"
  bench_sim "$dir" 127.0.0.2 || return 1
  wine_program "$dir" "${STEPS_CONFIRM[@]}" "${STEPS_IDLE[@]}"
  bench_wait_for "$dir/sim.log" "$LAST_ACK" 90 "$DRIVER_PID" || ok=1
  wine_end_all
  bench_stop_sim
  [ $ok -eq 0 ] || { echo "bench: no whole transfer (see $dir/driver.log)" >&2; return 1; }
}

# record KIND DIR: the run's figure, kept in a list per kind, with two clues to where the time
# goes: the wait for the first answer, and the median reaction to an ACK.
record() {
  local figure first pace
  figure=$(us_per_block "$2/sim.log")
  first=$(first_answer_ms "$2/sim.log")
  pace=$(turnaround_us "$2/sim.log")
  [ -n "$figure" ] || { echo "bench: no whole transfer in $2/sim.log" >&2; return 1; }
  echo "$figure" >>"$results/$1"
  echo "$first" >>"$results/$1.first"
  echo "$pace" >>"$results/$1.pace"
  awk -v f="$figure" -v a="$first" -v b="$BLOCKS" 'BEGIN { print f - a * 1000 / b }' >>"$results/$1.rest"
  local again
  again=$(resends "$2/sim.log")
  [ "$again" -eq 0 ] || echo "  ($1 run: the device resent $again packets)"
  printf '  %-8s %7.1f us/block  (first answer after %.1f ms; ACK to next block, median %d us)\n' \
    "$1" "$figure" "$first" "$pace"
}

summary() {
  local platform=$1 program=$2 harness=$3
  local p h pf hf pp hp pr hr
  p=$(median <"$results/program")
  h=$(median <"$results/harness")
  pf=$(median <"$results/program.first")
  hf=$(median <"$results/harness.first")
  pp=$(median <"$results/program.pace")
  hp=$(median <"$results/harness.pace")
  pr=$(median <"$results/program.rest")
  hr=$(median <"$results/harness.rest")
  awk -v pl="$platform" -v pn="$program" -v hn="$harness" -v p="$p" -v h="$h" -v n="$reps" \
    -v pf="$pf" -v hf="$hf" -v pp="$pp" -v hp="$hp" -v pr="$pr" -v hr="$hr" 'BEGIN {
    printf "%-8s %d runs each: %s median %.1f us/block, %s median %.1f us/block; ratio %.2f (goal <= 1.25)\n",
      pl, n, pn, p, hn, h, p / h
    printf "%-8s medians of the clues: first answer (RRQ to OACK) %.1f ms / %.1f ms; ACK to next block %.0f us / %.0f us\n",
      "", pf, hf, pp, hp
    printf "%-8s without the first answer: %.1f us/block / %.1f us/block; ratio %.2f\n", "", pr, hr, pr / hr
    }' | tee -a "$summaries"
}

summaries=$(mktemp)
for platform in $platforms; do
  case $platform in
    native) out=$NATIVE/bench/program ;;
    windows) out=$WIN_BUILD/bench/program ;;
  esac
  rm -rf "$out"
  mkdir -p "$out"
  results=$out/figures
  mkdir -p "$results"
  echo "$platform:"
  if [ "$platform" = native ]; then
    gtk_setup "$out" || exit 1
    for i in $(seq 1 "$reps"); do
      gtk_program_run "$out/program-$i" && record program "$out/program-$i" || exit 1
      harness_run "$out/harness-$i" "$NATIVE/tests/tftp/tftp-serve" &&
        record harness "$out/harness-$i" || exit 1
    done
    gtk_teardown
    summary native tov-upgrade tftp-serve
  else
    wine_setup "$out" || exit 1
    for i in $(seq 1 "$reps"); do
      wine_program_run "$out/program-$i" && record program "$out/program-$i" || exit 1
      HARNESS_SETTLE=2 harness_run "$out/harness-$i" "$WINELOADER" \
        "$WIN_BUILD/tests/tftp/tftp-serve.exe" && record harness "$out/harness-$i" || exit 1
      wine_end_all
    done
    wine_teardown
    summary windows tov-upgrade.exe tftp-serve.exe
  fi
done
echo
if [ -n "$cpus" ]; then
  placement="the device on CPU ${cpus%,*}, the program or harness on CPU ${cpus#*,}"
else
  placement="CPUs as the scheduler chose"
fi
echo "Summary (microseconds per block of the device's fetch, RRQ to last ACK; $placement;"
echo "$(nproc) CPUs, load average at the end $(cut -d' ' -f1-3 /proc/loadavg)):"
cat "$summaries"
rm -f "$summaries"
