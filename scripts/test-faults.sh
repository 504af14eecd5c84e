#!/usr/bin/env bash
# The end-to-end fault matrix on the native build: the real upgrade against the simulated device,
# one private network namespace per scenario (root). Builds in build/faults; the scaled-clock
# matrix and the two real-clock scenarios (49,984 ms each) run side by side.
#   scripts/test-faults.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${TOV_JOBS:-2}
if [ "$(id -u)" -ne 0 ]; then
  echo "test-faults.sh: needs root (private network namespaces)" >&2
  exit 2
fi
[ -f build/faults/build.ninja ] ||
  cmake -S . -B build/faults -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOV_FAULT_TESTS=ON
cmake --build build/faults -j"$jobs" --target tov-fault-matrix tov-fault-matrix-real-clock
cd build/faults
ctest -L faults -j3 --output-on-failure --timeout 600
