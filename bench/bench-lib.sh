# SPDX-License-Identifier: MIT
# shellcheck shell=bash disable=SC2034 # what it sets is read by the caller and the GTK helpers
# Helpers of program-bench.sh and wait-cpu-bench.sh, sourced inside their private namespace: the
# simulated device, the Linux program played with the GTK scenarios' helpers (tests/gtk), and
# tov-upgrade.exe under Wine played by the Windows scenarios' driver (tests/win32-driver).
# The caller sets ROOT (the checkout), NATIVE (build/native), WIN_BUILD (build/windows; not WIN,
# which the GTK helpers use for the current X window) and WIN_PROGRAM_DIR (the folder of
# tov-upgrade.exe and the driver in it).

# The image's 725,912 bytes in 512-byte blocks.
BLOCKS=1418
# The device's ACK of the last block, as its event log writes it.
LAST_ACK='"event":"tftp_send","op":"ACK".*"block":1418[,}]'

SIM_PID=""
DRIVER_PID=""
# Commands that run the device, and the program or harness, on chosen CPUs (empty: where the
# scheduler puts them); set by program-bench.sh --cpus.
RUN_DEVICE=()
RUN_SERVER=()
WINE_UP=0

# bench_sim DIR ADDRESS [OPTION...]: a fresh device on ADDRESS:80, its event log in DIR/sim.log.
bench_sim() {
  local dir=$1 address=$2
  shift 2
  rm -f "$dir/sim.ready" "$dir/sim.log"
  "${RUN_DEVICE[@]}" "$NATIVE/tools/sim/tov-sim" --address "$address" --port 80 --log "$dir/sim.log" \
    --ready-file "$dir/sim.ready" "$@" >"$dir/sim.out" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    [ -e "$dir/sim.ready" ] && return 0
    sleep 0.1
  done
  echo "bench: the simulated device did not start (see $dir/sim.out)" >&2
  return 1
}

bench_stop_sim() {
  if [ -n "$SIM_PID" ]; then
    kill "$SIM_PID" 2>/dev/null
    wait "$SIM_PID" 2>/dev/null
    SIM_PID=""
  fi
}

# bench_wait_for FILE PATTERN SECONDS [PID]: true once FILE has a line matching PATTERN (grep -E);
# false after SECONDS, or as soon as PID (the process that should get there) has ended.
bench_wait_for() {
  local file=$1 pattern=$2 limit=$3 pid=${4:-} waited=0
  until grep -Eq -- "$pattern" "$file" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 20)) ]; then
      return 1
    fi
    if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
      grep -Eq -- "$pattern" "$file" 2>/dev/null
      return
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
}

# us_per_block SIM_LOG: microseconds per block of the device's fetch, from its read request (its
# first tftp_send) to its ACK of the last block (its last tftp_send of op ACK), over 1,418 blocks;
# nothing when the log holds no whole transfer.
us_per_block() {
  jq -rs --argjson blocks "$BLOCKS" '
    [.[] | select(.event == "tftp_send")] as $sent
    | ($sent | map(select(.op == "ACK")) | last) as $ack
    | if ($sent | length) > 0 and $sent[0].op == "RRQ" and $ack != null and $ack.block == $blocks
      then (($ack.us - $sent[0].us) / $blocks * 10 | round / 10) else empty end' "$1"
}

# first_answer_ms SIM_LOG: milliseconds from the device's read request to the server's first
# answer (its OACK): what the server does before the first block, included in us_per_block.
first_answer_ms() {
  jq -rs '[.[] | select(.event == "tftp_send" or .event == "tftp_recv")] as $e
    | ($e | map(select(.event == "tftp_recv")) | first) as $answer
    | if ($e | length) > 0 and $e[0].op == "RRQ" and $answer != null
      then (($answer.us - $e[0].us) / 100 | round / 10) else empty end' "$1"
}

# turnaround_us SIM_LOG: the median time from the device's ACK to the next packet it receives
# (the server's reaction to each ACK, seen from the device): the steady pace, without the stalls.
turnaround_us() {
  jq -rs '[.[] | select(.event == "tftp_send" or .event == "tftp_recv")] as $e
    | [range(1; ($e | length) - 1) as $i
       | select($e[$i].event == "tftp_send" and $e[$i + 1].event == "tftp_recv")
       | $e[$i + 1].us - $e[$i].us] | sort
    | if length > 0 then .[length / 2 | floor] else empty end' "$1"
}

# resends SIM_LOG: how many packets the device had to send again (each costs its 1 s time-out).
resends() { grep -c '"event":"tftp_resend"' "$1"; }

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.1f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# --- The Linux program ---------------------------------------------------------------------------

# gtk_setup OUT: the scenarios' helpers and an Xvfb of their own, logs under OUT.
gtk_setup() {
  OUT=$1
  UI_LOG=$OUT/ui.log
  RESULT=$OUT/result.log
  SHOTS=$OUT/screenshots
  : >"$RESULT"
  # The tests' build of the program: its window log is how the helpers find its windows.
  PROGRAM=$NATIVE/src/programs/tov-upgrade-gtk/tov-upgrade-logged
  # shellcheck source=../tests/gtk/gtk-lib.sh
  . "$ROOT/tests/gtk/gtk-lib.sh"
  # shellcheck source=../tests/gtk/scenarios.sh
  . "$ROOT/tests/gtk/scenarios.sh"
  start_display
}

# gtk_run DIR: points the helpers at a fresh run folder (their window counts start again).
gtk_run() {
  OUT=$1
  UI_LOG=$OUT/ui.log
  RESULT=$OUT/result.log
  mkdir -p "$OUT"
  : >"$RESULT"
  FAILED=0
  local seen
  for seen in ${!SEEN_@}; do unset "$seen"; done
}

# gtk_to_confirm: the notice, the device's address, then "Upgrade" at the confirmation.
gtk_to_confirm() {
  continue_notice && enter_address 127.0.0.2 && await confirm && keys Return
}

gtk_stop_program() {
  if [ -n "${PROGRAM_PID:-}" ]; then
    kill "$PROGRAM_PID" 2>/dev/null
    wait "$PROGRAM_PID" 2>/dev/null
    PROGRAM_PID=""
  fi
}

gtk_teardown() {
  gtk_stop_program
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  fi
}

# --- tov-upgrade.exe under Wine -------------------------------------------------------------------

# The driver's steps up to each phase (tests/win32-driver/driver.cpp lists them).
STEPS_ADDRESS=(-e "expect TOV-1000/2000 Firmware Upgrade" -e "press IDOK" -e gone
  -e "expect TOV-1000/2000 Firmware Upgrade" -e "address 127.0.0.2" -e "press IDOK" -e gone)
STEPS_CONFIRM=("${STEPS_ADDRESS[@]}" -e "expect-prefix Confirm Upgrade to Ver." -e "press IDOK"
  -e gone)
# The driver then sleeps: it neither polls the windows nor asks the wineserver anything.
STEPS_IDLE=(-e "sleep 600000")

# wine_setup OUT: as the Windows scenarios: this computer is tov-test on 127.0.0.1 and 127.0.0.3,
# a copy of the build's Wine prefix, a wineserver of this namespace, an Xvfb of its own.
wine_setup() {
  local out=$1 base=$WIN_BUILD/wine-prefix reg
  [ -f "$base/.tov-ready" ] || { echo "bench: no Wine prefix $base" >&2; return 1; }
  printf '127.0.0.1 localhost\n127.0.0.1 tov-test\n127.0.0.3 tov-test\n' >"$out/hosts"
  mount --bind "$out/hosts" /etc/hosts || return 1
  export WINEPREFIX=$out/wine-prefix
  rm -rf "$WINEPREFIX"
  cp -al "$base" "$WINEPREFIX" || return 1
  # The wineserver writes the registry back: files of its own, not links to the shared ones.
  for reg in "$WINEPREFIX"/*.reg; do
    cp --remove-destination "$base/$(basename "$reg")" "$reg"
  done
  # shellcheck source=../scripts/wine-env.sh
  . "$ROOT/scripts/wine-env.sh" "$WIN_BUILD"
  wine_env_private_server || return 1
  wine_env_start_display || return 1
  WINE_UP=1
}

# wine_program DIR STEP_ARGS...: tov-upgrade.exe started and played by the driver; DRIVER_PID.
wine_program() {
  local dir=$1
  shift
  "${RUN_SERVER[@]}" "$WINELOADER" "$WIN_PROGRAM_DIR/tov-driver.exe" \
    --program "$WIN_PROGRAM_DIR/tov-upgrade.exe" --log "$dir/driver.log" "$@" >"$dir/driver.out" 2>&1 &
  DRIVER_PID=$!
}

# wine_end_all: every Windows process of this namespace's wineserver ends, and the server too.
wine_end_all() {
  [ "$WINE_UP" = 1 ] || return 0
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  if [ -n "$DRIVER_PID" ]; then
    wait "$DRIVER_PID" 2>/dev/null
    DRIVER_PID=""
  fi
}

wine_teardown() {
  [ "$WINE_UP" = 1 ] || return 0
  wine_end_all
  wine_env_stop_display
  rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
  WINE_UP=0
}

# net_ns_pids: the processes of this network namespace (the wineserver and Windows processes
# it starts may be reparented, but they stay here).
net_ns_pids() {
  local mine pid
  mine=$(readlink /proc/self/ns/net)
  for pid in /proc/[0-9]*; do
    [ "$(readlink "$pid/ns/net" 2>/dev/null)" = "$mine" ] && echo "${pid#/proc/}"
  done
}

# wine_pid_of NAME: this namespace's process whose program (first argument) ends with NAME.
wine_pid_of() {
  local pid first
  for pid in $(net_ns_pids); do
    first=$(tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | head -n 1)
    case $first in
      *"$1") echo "$pid"; return 0 ;;
    esac
  done
  return 1
}

# wineserver_pid: this namespace's wineserver.
wineserver_pid() {
  local pid
  for pid in $(net_ns_pids); do
    case $(cat "/proc/$pid/comm" 2>/dev/null) in
      wineserver*) echo "$pid"; return 0 ;;
    esac
  done
  return 1
}
