#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A full upgrade of the simulated TOV device, inside a private network namespace (the device on
# 127.0.0.2 with the password "secret", this computer on 127.0.0.1 and 127.0.0.3).
#   scripts/run-demo.sh                           the Linux program: you play the user when a
#                                                 display is there, else xdotool does under Xvfb
#   scripts/run-demo.sh --windows                 the Windows program under Wine; a driver plays
#                                                 the user under Xvfb, prints each window and the
#                                                 result, keeps the screenshots
#   scripts/run-demo.sh --windows --interactive   you answer the Windows program on $DISPLAY
# Needs root (network namespaces) and installs what is missing on first use: for the Linux
# program only what it needs, for the Windows one everything (MinGW-w64, Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "${1:-}" = "--windows" ]; then
  scripts/install-deps.sh
else
  scripts/install-deps.sh --linux-demo
fi
jobs=${TOV_JOBS:-2}
cmake --preset native >/dev/null && cmake --build --preset native -j"$jobs" --target tov-sim
if [ "${1:-}" != "--windows" ]; then
  exec scripts/run-demo-linux.sh
fi
shift
cmake --preset windows >/dev/null && cmake --build --preset windows -j"$jobs" --target tov-upgrade tov-driver

win=$root/build/windows
if [ "${1:-}" = "--interactive" ]; then
  [ -n "${DISPLAY:-}" ] || { echo "run-demo.sh: --interactive needs a display" >&2; exit 1; }
  (. scripts/wine-env.sh "$win" && wine_env_prepare)
  out=$win/demo
  mkdir -p "$out"
  export TOV_DEMO_OUT=$out TOV_DEMO_WIN=$win
  exec scripts/netns-run.sh bash -c '
    printf "127.0.0.1 localhost\n127.0.0.1 tov-test\n127.0.0.3 tov-test\n" >"$TOV_DEMO_OUT/hosts"
    mount --bind "$TOV_DEMO_OUT/hosts" /etc/hosts
    rm -f "$TOV_DEMO_OUT/sim.ready"
    build/native/tools/sim/tov-sim --address 127.0.0.2 --password secret --qop auth \
      --log "$TOV_DEMO_OUT/device.jsonl" --ready-file "$TOV_DEMO_OUT/sim.ready" &
    for _ in $(seq 1 100); do [ -e "$TOV_DEMO_OUT/sim.ready" ] && break; sleep 0.1; done
    . scripts/wine-env.sh "$TOV_DEMO_WIN"
    "$WINELOADER" "$TOV_DEMO_WIN/src/programs/tov-upgrade-win32/tov-upgrade.exe"
    echo "tov-upgrade.exe ended with status $?"
    kill %1'
fi

echo "Upgrading the simulated device (about a minute: the program gives the device 49,984 ms to"
echo "install and restart)..."
status=0
# The Windows scenario of that name (tests/e2e), with the shared Wine prefix it needs.
ctest --preset windows -R '^e2e\.full-upgrade-password$' >/dev/null || status=$?
out=$win/e2e/full-upgrade-password
echo
echo "Windows the program showed:"
grep -E '^window: ' "$out/driver.out" | sed 's/^window: /  /'
echo
echo "The device now reports software version:"
grep -A12 '^window: TOV@' "$out/driver.out" | sed -n 's/^  control 1004 Edit: /  /p'
echo
echo "Screenshots: $out/shots/"
if [ $status -eq 0 ]; then
  echo "Result: upgrade succeeded"
else
  echo "Result: FAILED (see $out/)"
fi
exit $status
