# SPDX-License-Identifier: MIT
# Helpers for the Linux program's scenarios: a display of their own, the simulated device, the
# program with its window log, and xdotool playing the user. Sourced by gtk-scenario.sh.

# Out folder, log and result file are set by the caller: OUT, UI_LOG, RESULT.
SHOTS=${SHOTS:-$OUT/screenshots}
mkdir -p "$SHOTS"

pass() { echo "PASS $*" >>"$RESULT"; }
fail() {
  echo "FAIL $*" >>"$RESULT"
  FAILED=1
}
FAILED=0

# start_display: Xvfb on the first free display number (parallel scenarios share /tmp).
start_display() {
  local fifo=$OUT/displayfd
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$OUT/xvfb.log" 2>&1 &
  XVFB_PID=$!
  local number
  read -r -t 20 number <"$fifo" || number=""
  rm -f "$fifo"
  [ -n "$number" ] || { fail "no display"; return 1; }
  export DISPLAY=:$number
  export NO_AT_BRIDGE=1 GDK_BACKEND=x11
}

# start_sim OPTIONS...: the device on 127.0.0.2:80, its event log in sim.log.
start_sim() {
  "$NATIVE/tools/sim/tov-sim" --address 127.0.0.2 --port 80 --log "$OUT/sim.log" \
    --ready-file "$OUT/sim.ready" "$@" >"$OUT/sim.out" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    [ -e "$OUT/sim.ready" ] && return 0
    sleep 0.1
  done
  fail "the simulated device did not start"
  return 1
}

# start_program [RUNNER...]: the program (optionally under a runner such as setpriv), given
# PROGRAM_ARG as its argument when that is set (an image file).
start_program() {
  : >"$UI_LOG"
  chmod 0666 "$UI_LOG" # the program may run as another user
  TOV_GTK_LOG=$UI_LOG "$@" "$PROGRAM" ${PROGRAM_ARG:+"$PROGRAM_ARG"} >"$OUT/program.out" 2>&1 &
  PROGRAM_PID=$!
}

# program_ends SECONDS: waits for the program; passes when it ended with status 0.
program_ends() {
  local limit=$1 waited=0
  while kill -0 "$PROGRAM_PID" 2>/dev/null && [ "$waited" -lt $((limit * 10)) ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$PROGRAM_PID" 2>/dev/null; then
    fail "program still running after ${limit}s"
    kill "$PROGRAM_PID" 2>/dev/null
    return 1
  fi
  wait "$PROGRAM_PID"
  local status=$?
  [ "$status" -eq 0 ] && pass "program ended with status 0" || fail "program ended with status $status"
}

finish() {
  [ -n "${PROGRAM_PID:-}" ] && kill "$PROGRAM_PID" 2>/dev/null
  [ -n "${SIM_PID:-}" ] && kill "$SIM_PID" 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}

# shows KIND: how many windows of this kind have been shown so far.
shows() { grep -cx "end: $1" "$UI_LOG" 2>/dev/null; }

# await KIND [SECONDS]: waits for one more window of the kind than had been shown when the
# scenario last looked (SEEN_<kind>), then sets WIN to its X window.
await() {
  local kind=$1 limit=${2:-20}
  local key=SEEN_${kind//-/_}
  local seen=${!key:-0}
  local waited=0
  while [ "$(shows "$kind")" -le "$seen" ]; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      fail "no $kind window within ${limit}s"
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  printf -v "$key" '%s' $((seen + 1))
  local title
  title=$(block "$kind" | sed -n 's/^title: //p')
  WIN=$(block "$kind" | sed -n 's/^window: //p')
  # The X server must know the window by the title the program gave it.
  if [ -z "$WIN" ] || ! xdotool getwindowname "$WIN" >/dev/null 2>&1; then
    fail "$kind window \"$title\" not found on the display"
    return 1
  fi
  pass "$kind window shown: $title"
  # The demo keeps a picture of every window, numbered in the order they came.
  if [ -n "${TOV_GTK_SHOT_EVERY_WINDOW:-}" ]; then
    SHOT_COUNT=$((${SHOT_COUNT:-0} + 1))
    shot "$(printf '%02d' "$SHOT_COUNT")-$kind"
  fi
}


# block KIND: the log lines of the latest window of the kind.
block() {
  awk -v kind="$1" '$0 == "show: " kind {buf = ""; inb = 1}
    inb {buf = buf $0 "\n"}
    $0 == "end: " kind {inb = 0; last = buf}
    END {printf "%s", last}' "$UI_LOG"
}

# has KIND LINE: the latest window of the kind showed exactly this line.
has() {
  if block "$1" | grep -Fxq -- "$2"; then
    pass "$1: $2"
  else
    fail "$1 lacks: $2"
  fi
}

# has_error TEXT: the latest error box showed the failure's text as GNOME words it, the part up
# to the first ": " as the primary text and the rest as the secondary one, beside its icon.
has_error() {
  has error "label: ${1%%: *}"
  [ "${1#*: }" = "$1" ] || has error "label: ${1#*: }"
  has error "icon"
}

# centred KIND: the window stands in the middle of the 1024 x 768 screen.
centred() {
  local x y w h
  read -r x y w h < <(block "$1" | sed -n 's/^place: //p')
  if [ "$x" = $(((1024 - w) >> 1)) ] && [ "$y" = $(((768 - h) >> 1)) ]; then
    pass "$1 centred"
  else
    fail "$1 not centred: $x $y $w $h"
  fi
}

# logged LINE [SECONDS]: the log gets this exact line.
logged() {
  local line=$1 limit=${2:-20} waited=0
  until grep -Fxq -- "$line" "$UI_LOG"; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      fail "log lacks: $line"
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  pass "log: $line"
}

# never_logged PATTERN: no log line matches (grep -E).
never_logged() {
  if grep -Eq -- "$1" "$UI_LOG"; then fail "log shows: $1"; else pass "log never shows: $1"; fi
}

# shot NAME: a picture of the current window, kept under the build folder.
shot() {
  sleep 0.3 # let it draw
  import -window "$WIN" "$SHOTS/$1.png" 2>>"$OUT/import.log" || fail "no screenshot $1"
}

# keys KEY...: focuses the current window and presses the keys in turn.
keys() {
  xdotool windowfocus --sync "$WIN" 2>/dev/null
  sleep 0.2
  xdotool key --clearmodifiers --delay 60 "$@"
}

# type TEXT: types into the focused widget of the current window.
type_text() {
  xdotool windowfocus --sync "$WIN" 2>/dev/null
  sleep 0.2
  xdotool type --delay 40 -- "$1"
}

# a11y KIND NAME EXPECTED: the current window (accessible name NAME) as a screen reader finds it
# over AT-SPI (a11y-tree.py), its unnamed layout boxes left out, is exactly EXPECTED (as a set): one
# "<role>: <name>" line per control, captions with the control they name. The tree goes to
# OUT/a11y-KIND.txt. Needs the program's AT-SPI bridge: a D-Bus session, NO_AT_BRIDGE unset.
A11Y_TREE=$(dirname "${BASH_SOURCE[0]}")/a11y-tree.py # Debian's python3, which has pyatspi
a11y() {
  local kind=$1 name=$2 expected=$3 tree=$OUT/a11y-$1.txt
  if ! /usr/bin/python3 "$A11Y_TREE" "$PROGRAM_PID" "$name" 20 >"$tree.all" 2>>"$OUT/a11y.log"; then
    fail "$kind: no window \"$name\" over AT-SPI"
    return 1
  fi
  # In any order: a grid hands its children over last first.
  grep -Evx '(filler|panel): ' "$tree.all" | sort >"$tree"
  if diff -u <(printf '%s\n' "$expected" | sort) "$tree" >"$tree.diff"; then
    pass "$kind: accessibility tree, $(wc -l <"$tree") objects with their roles and names"
  else
    fail "$kind: accessibility tree differs from the expected one: $tree.diff"
  fi
}

# sim_log PATTERN: the device's event log matches (grep -E).
sim_log() {
  if grep -Eq -- "$1" "$OUT/sim.log"; then pass "device log: $1"; else fail "device log lacks: $1"; fi
}
