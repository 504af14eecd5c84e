#!/usr/bin/env bash
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
#   bench/wait-cpu-bench.sh [SECONDS] [gtk|wine]...    (root; defaults: 15 s a phase, both)
# The settling phase is always 20 s. Logs: build/native/bench/wait-cpu/, build/windows/bench/wait-cpu/.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
NATIVE=$ROOT/build/native
WIN_BUILD=$ROOT/build/windows
seconds=${1:-15}
shift $(($# > 0 ? 1 : 0))
programs=${*:-gtk wine}

if [ "$(hostname)" != tov-test ]; then
  [ "$(id -u)" -eq 0 ] || { echo "wait-cpu-bench: needs root (a private namespace)" >&2; exit 2; }
  for program in $programs; do
    case $program in
      gtk) needs="$NATIVE/src/ui/gtk/tov-upgrade" ;;
      wine) needs="$WIN_BUILD/src/ui/win32/tov-upgrade.exe $WIN_BUILD/src/ui/win32/tov-driver.exe" ;;
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

# ticks PID: utime + stime of the whole process (every thread) in clock ticks.
ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
# switches PID: context switches of its threads so far (voluntary: mostly wake-ups after a wait).
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}
now_ns() { date +%s%N; }

# measure SECONDS "PROGRAM PHASE PROCESS=PID"...: one line per process: its CPU share and wake-ups over SECONDS.
measure() {
  local span=$1
  shift
  local item label pid start end
  local -A t0 s0
  for item in "$@"; do
    pid=${item#*=}
    t0[$pid]=$(ticks "$pid") s0[$pid]=$(switches "$pid")
  done
  start=$(now_ns)
  sleep "$span"
  end=$(now_ns)
  for item in "$@"; do
    label=${item%%=*} pid=${item#*=}
    [ -r "/proc/$pid/stat" ] || { echo "wait-cpu-bench: $label ended during the measurement" >&2; return 1; }
    awk -v l="$label" -v dt=$(($(ticks "$pid") - t0[$pid])) -v hz="$HZ" \
      -v ds=$(($(switches "$pid") - s0[$pid])) -v ns=$((end - start)) 'BEGIN {
        s = ns / 1e9
        split(l, f, " ")
        printf "%-5s %-11s %-16s %6.2f %% of one core  (%.1f s, %d ticks, %.0f context switches/s)\n",
          f[1], f[2], f[3], 100 * dt / hz / s, s, dt, ds / s }' | tee -a "$summaries"
  done
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
  measure "$span" "gtk $phase tov-upgrade=$PROGRAM_PID"
  local status=$?
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
  local exe server status
  if ! exe=$(wine_pid_of tov-upgrade.exe) || ! server=$(wineserver_pid); then
    echo "wait-cpu-bench: tov-upgrade.exe or its wineserver not found" >&2
    return 1
  fi
  measure "$span" "wine $phase tov-upgrade.exe=$exe" "wine $phase wineserver=$server"
  status=$?
  wine_end_all
  bench_stop_sim
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
  else
    wine_setup "$out" || exit 1
    for phase in connecting waiting settling; do
      wine_phase "$phase" || exit 1
    done
    wine_teardown
  fi
done
echo
echo "Summary (goal: below 1 % of one core per phase for the GTK program):"
cat "$summaries"
rm -f "$summaries"
