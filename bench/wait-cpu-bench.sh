#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The CPU the programs use while they only wait, in three phases, each against a fresh simulated
# device:
#   connecting  the device takes the first request and never answers (tov-sim --fault-hang 1):
#               the "Connecting with TOV@..." window stays
#   waiting     the device closes the upgrade request unanswered (tov-sim --fault-close 2): the
#               listener waits for a read request that never comes
#   settling    the 49,984 ms after a whole transfer: measured from 12 s to 32 s into it
# for the GTK program (xdotool plays the user, then nothing touches it) and for tov-upgrade.exe
# under Wine (the driver plays the user, then sleeps). The share is utime + stime from
# /proc/PID/stat over the wall-clock interval, in percent of one core; under Wine the exe's
# process and the namespace's wineserver are given apart. Context switches per second (all
# threads) show how often the process wakes. Goal: below 1 % per phase for the GTK program.
#   bench/wait-cpu-bench.sh [SECONDS] [gtk|wine]...    (root; defaults: 20 s a phase, both)
# The settling phase is always 20 s. Logs: build/native/bench/wait-cpu/, build/windows/bench/wait-cpu/.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
NATIVE=$ROOT/build/native
WIN_BUILD=$ROOT/build/windows
# The Windows program and the driver built beside it.
WIN_PROGRAM_DIR=$WIN_BUILD/src/programs/tov-upgrade-win32
seconds=${1:-20}
shift $(($# > 0 ? 1 : 0))
programs=${*:-gtk wine}

if [ "$(hostname)" != tov-test ]; then
  [ "$(id -u)" -eq 0 ] || { echo "wait-cpu-bench: needs root (a private namespace)" >&2; exit 2; }
  for program in $programs; do
    case $program in
      gtk) needs="$NATIVE/src/programs/tov-upgrade-gtk/tov-upgrade-logged" ;;
      wine) needs="$WIN_PROGRAM_DIR/tov-upgrade.exe $WIN_PROGRAM_DIR/tov-driver.exe" ;;
      *) echo "wait-cpu-bench: unknown program $program" >&2; exit 2 ;;
    esac
    for file in $needs "$NATIVE/tools/sim/tov-sim"; do
      [ -x "$file" ] || { echo "wait-cpu-bench: $file is missing (build the presets)" >&2; exit 2; }
    done
    if [ "$program" = wine ]; then
      "$ROOT/scripts/wine-prefix.sh" "$WIN_BUILD" >/dev/null || exit 2
    fi
  done
  for tool in xdotool Xvfb; do
    command -v "$tool" >/dev/null || { echo "wait-cpu-bench: $tool is missing" >&2; exit 2; }
  done
  # shellcheck disable=SC2086 # one argument per program
  exec "$ROOT/scripts/netns-run.sh" "$0" "$seconds" $programs
fi

# shellcheck source=bench-lib.sh
. "$ROOT/bench/bench-lib.sh"
SETTLING_START=12 # seconds into the 49,984 ms wait
SETTLING_SECONDS=20
# A window just shown may still be drawing: the measurement starts this much later.
QUIET=3
HZ=$(getconf CLK_TCK)

cleanup() {
  bench_stop_sim
  gtk_teardown 2>/dev/null
  wine_teardown
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ticks PID[,PID...]: utime + stime of the processes (every thread) in clock ticks.
ticks() {
  local pid n=0
  for pid in ${1//,/ }; do
    n=$((n + $(sed 's/^.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }')))
  done
  echo "$n"
}
# switches PID[,PID...]: context switches of their threads so far (voluntary ones are mostly
# wake-ups after a wait).
switches() {
  local pid
  for pid in ${1//,/ }; do
    cat /proc/"$pid"/task/*/status 2>/dev/null
  done | awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}
now_ns() { date +%s%N; }

# measure SECONDS "PROGRAM PHASE PROCESS=PID[,PID...]"...: one line per process (or group of
# processes): CPU share and context switches over the same SECONDS.
measure() {
  local span=$1
  shift
  local item label pids start end pid
  local -A t0 s0
  for item in "$@"; do
    pids=${item#*=}
    t0[$pids]=$(ticks "$pids") s0[$pids]=$(switches "$pids")
  done
  start=$(now_ns)
  sleep "$span"
  end=$(now_ns)
  for item in "$@"; do
    label=${item%%=*} pids=${item#*=}
    for pid in ${pids//,/ }; do
      [ -r "/proc/$pid/stat" ] ||
        { echo "wait-cpu-bench: $label ($pid) ended during the measurement" >&2; return 1; }
    done
    awk -v l="$label" -v dt=$(($(ticks "$pids") - t0[$pids])) -v hz="$HZ" \
      -v ds=$(($(switches "$pids") - s0[$pids])) -v ns=$((end - start)) 'BEGIN {
        s = ns / 1e9
        split(l, f, " ")
        printf "%-5s %-11s %-19s %6.2f %% of one core  (%.1f s, %3d ticks, %4.0f context switches/s)\n",
          f[1], f[2], f[3], 100 * dt / hz / s, s, dt, ds / s }' | tee -a "$summaries"
  done
}

# thread_ticks PID: "TID COMM TICKS" per thread of the process, in thread order.
thread_ticks() {
  local task
  for task in /proc/"$1"/task/*; do
    echo "${task##*/} $(cat "$task/comm" 2>/dev/null) $(sed 's/^.*) //' "$task/stat" 2>/dev/null |
      awk '{ print $12 + $13 }')"
  done | sort -n
}

# measure_threads SECONDS PID: the CPU ticks of each thread of the process over SECONDS (threads
# that came or went meanwhile are left out), as one line.
measure_threads() {
  local before
  before=$(thread_ticks "$2")
  sleep "$1"
  join <(echo "$before") <(thread_ticks "$2") |
    awk '{ printf "%s%s/%s %d", (NR > 1 ? ", " : ""), $1, $2, $5 - $3 } END { print "" }'
}

# other_wine_pids: this namespace's Wine processes but the one named (services, winedevice,
# explorer...), comma-separated.
other_wine_pids() {
  local pid first list=""
  for pid in $(net_ns_pids); do
    first=$( (tr '\0' '\n' <"/proc/$pid/cmdline") 2>/dev/null | head -n 1)
    case $first in
      *"$1") ;;
      [A-Z]:\\*) list=$list${list:+,}$pid ;;
    esac
  done
  echo "$list"
}

# gtk_phase PHASE: the GTK program brought to PHASE, then measured.
gtk_phase() {
  local phase=$1 span=$seconds
  gtk_run "$out/$phase"
  case $phase in
    connecting) bench_sim "$OUT" 127.0.0.2 --fault-hang 1 ;;
    waiting) bench_sim "$OUT" 127.0.0.2 --fault-close 2 ;;
    settling) bench_sim "$OUT" 127.0.0.2 ;;
  esac || return 1
  start_program
  case $phase in
    connecting) continue_notice && enter_address 127.0.0.2 && await connecting && sleep "$QUIET" ;;
    waiting) gtk_to_confirm && await waiting && sleep "$QUIET" ;;
    settling)
      gtk_to_confirm &&
        { bench_wait_for "$OUT/sim.log" "$LAST_ACK" 60 "$PROGRAM_PID" || fail "no whole transfer"; } &&
        sleep "$SETTLING_START"
      span=$SETTLING_SECONDS ;;
  esac
  [ "$FAILED" -eq 0 ] || { grep '^FAIL' "$RESULT" >&2; return 1; }
  measure_threads "$span" "$PROGRAM_PID" >"$OUT/threads" &
  local threads=$!
  measure "$span" "gtk $phase tov-upgrade=$PROGRAM_PID" "gtk $phase (Xvfb)=$XVFB_PID"
  local status=$?
  wait "$threads"
  echo "      ticks per thread (tid/name; the second is the GUI thread): $(cat "$OUT/threads")" |
    tee -a "$summaries"
  gtk_stop_program
  bench_stop_sim
  return $status
}

# wine_phase PHASE: tov-upgrade.exe brought to PHASE by the driver (which then sleeps), measured.
wine_phase() {
  local phase=$1
  local dir=$out/$phase span=$seconds
  mkdir -p "$dir"
  case $phase in
    connecting)
      bench_sim "$dir" 127.0.0.2 --fault-hang 1 &&
        wine_program "$dir" "${STEPS_ADDRESS[@]}" -e "expect Connecting with TOV@127.0.0.2" \
          "${STEPS_IDLE[@]}" ;;
    waiting)
      bench_sim "$dir" 127.0.0.2 --fault-close 2 &&
        wine_program "$dir" "${STEPS_CONFIRM[@]}" \
          -e "expect Waiting For Firmware Upload Request From TOV" "${STEPS_IDLE[@]}" ;;
    settling)
      bench_sim "$dir" 127.0.0.2 && wine_program "$dir" "${STEPS_CONFIRM[@]}" "${STEPS_IDLE[@]}" ;;
  esac || return 1
  bench_wait_for "$dir/driver.log" '^step: sleep 600000' 90 "$DRIVER_PID" ||
    { echo "wait-cpu-bench: the driver did not reach $phase (see $dir/driver.log)" >&2; return 1; }
  if [ "$phase" = settling ]; then
    bench_wait_for "$dir/sim.log" "$LAST_ACK" 60 "$DRIVER_PID" ||
      { echo "wait-cpu-bench: no whole transfer (see $dir/sim.log)" >&2; return 1; }
    sleep "$SETTLING_START"
    span=$SETTLING_SECONDS
  else
    sleep "$QUIET"
  fi
  wine_measure "$span" "$phase" tov-upgrade.exe
  local status=$?
  wine_end_all
  bench_stop_sim
  return $status
}

# wine_measure SECONDS PHASE EXE: the Windows program's process, the wineserver, and for
# information the other Wine processes (services, winedevice...) and the X server.
wine_measure() {
  local exe server
  if ! exe=$(wine_pid_of "$3") || ! server=$(wineserver_pid); then
    echo "wait-cpu-bench: $3 or its wineserver not found" >&2
    return 1
  fi
  measure "$1" "wine $2 $3=$exe" "wine $2 wineserver=$server" \
    "wine $2 (other-Wine)=$(other_wine_pids "$3")" "wine $2 (Xvfb)=$tov_wine_xvfb"
}

# harness_phase gtk|wine: for reference, the core harness (tftp-serve, no window) waiting for a
# read request that never comes: what the listener's own 30 ms turns cost.
harness_phase() {
  local dir=$out/harness pid status
  mkdir -p "$dir"
  if [ "$1" = gtk ]; then
    "$NATIVE/tests/tftp/tftp-serve" 127.0.0.1 /tov1a2b.bin >"$dir/serve.out" 2>&1 &
  else
    "$WINELOADER" "$WIN_BUILD/tests/tftp/tftp-serve.exe" 127.0.0.1 /tov1a2b.bin \
      >"$dir/serve.out" 2>&1 &
  fi
  pid=$!
  bench_wait_for "$dir/serve.out" '^port ' 30 "$pid" ||
    { echo "wait-cpu-bench: tftp-serve did not start" >&2; return 1; }
  sleep "$QUIET"
  if [ "$1" = gtk ]; then
    measure "$seconds" "gtk harness tftp-serve=$pid"
  else
    wine_measure "$seconds" harness tftp-serve.exe
  fi
  status=$?
  if [ "$1" = gtk ]; then
    kill "$pid" 2>/dev/null
  else
    wine_end_all
  fi
  wait "$pid" 2>/dev/null
  return $status
}

summaries=$(mktemp)
for program in $programs; do
  case $program in
    gtk) out=$NATIVE/bench/wait-cpu ;;
    wine) out=$WIN_BUILD/bench/wait-cpu ;;
  esac
  rm -rf "$out"
  mkdir -p "$out"
  if [ "$program" = gtk ]; then
    gtk_setup "$out" || exit 1
    for phase in connecting waiting settling; do
      gtk_phase "$phase" || exit 1
    done
    gtk_teardown
    harness_phase gtk || exit 1
  else
    wine_setup "$out" || exit 1
    for phase in connecting waiting settling; do
      wine_phase "$phase" || exit 1
    done
    harness_phase wine || exit 1
    wine_teardown
  fi
done
echo
echo "Summary (goal: below 1 % of one core per phase for the GTK program; lines in brackets"
echo "are for information, \"harness\" is tftp-serve's listener alone, without any window):"
cat "$summaries"
rm -f "$summaries"
