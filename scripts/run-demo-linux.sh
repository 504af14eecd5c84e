#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the Linux program against the simulated device, inside a private network namespace
# (root): the device on 127.0.0.2 port 80 with the password "secret", the computer on 127.0.0.1.
# With a display (DISPLAY set and reachable) you play the user; without one the program runs
# under Xvfb with xdotool answering every window, and a screenshot of every window lands in
# build/native/demo/screenshots/.
#   scripts/run-demo-linux.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# The native preset's build folder.
build=$root/build/native
if [ "$(id -u)" -ne 0 ]; then
  echo "run-demo-linux.sh: needs root (a private network namespace)" >&2
  exit 2
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$root" && cmake --preset native >/dev/null)
fi
cmake --build "$build" -j"${TOV_JOBS:-2}" --target tov-upgrade tov-upgrade-logged tov-sim tov-x-close

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  echo "Type the device's address 127.0.0.2; its password is \"secret\"."
  echo "The device restarts for about 50 s after the upload; then the success window shows."
  demo=$(mktemp -d)
  trap 'rm -rf "$demo"' EXIT
  # The namespace reaches the display through its socket under /tmp/.X11-unix (a display over
  # TCP, as ssh -X gives, is out of reach there).
  "$root/scripts/netns-run.sh" bash -c '
    "$1/tools/sim/tov-sim" --address 127.0.0.2 --port 80 --password secret \
      --log "$2/sim.log" --ready-file "$2/ready" >"$2/sim.out" 2>&1 &
    sim=$!
    for _ in $(seq 1 50); do [ -e "$2/ready" ] && break; sleep 0.1; done
    "$1/src/programs/tov-upgrade-gtk/tov-upgrade"
    kill $sim' demo "$build" "$demo"
else
  out=$build/demo
  echo "No display: the program runs under Xvfb, xdotool answers; screenshots in $out/screenshots"
  export TOV_GTK_BUILD=$build TOV_GTK_SHOT_EVERY_WINDOW=1
  if "$root/scripts/netns-run.sh" "$root/tests/gtk/gtk-scenario.sh" full_upgrade "$out"; then
    echo "The upgrade succeeded:"
  else
    echo "The upgrade did not go as expected:"
  fi
  grep -E '^(show|title|close|value software-version)' "$out/ui.log" | grep -v 'Bytes$'
  grep -c '^PASS' "$out/result.log" | sed 's/$/ checks passed/'
  ! grep '^FAIL' "$out/result.log"
fi
