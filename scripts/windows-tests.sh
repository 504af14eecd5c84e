#!/usr/bin/env bash
# Builds the Windows program and its tests with MinGW-w64 and runs the tests under Wine inside a
# private network namespace (loopback only), then the hosts-file check of the local addresses.
#   scripts/windows-tests.sh [BUILD_DIR]          (root; BUILD_DIR defaults to build/win)
# Needs: cmake ninja-build g++-mingw-w64-x86-64 binutils-mingw-w64 wine64 googletest python3.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/win}

cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/mingw-w64-x86_64.cmake"
cmake --build "$build" -j2
build=$(cd "$build" && pwd)

# Make the Wine prefix once, outside the namespace (about 10 s the first time).
. "$root/scripts/wine-env.sh" "$build"

status=0
"$root/scripts/netns-run.sh" bash -c '
    set -euo pipefail
    . "$1/scripts/wine-env.sh" "$2"
    wine_env_private_server   # this namespace gets its own wineserver, hence its own sockets
    status=0
    ctest --test-dir "$2" --output-on-failure --timeout 600 || status=$?
    wineserver -k 2>/dev/null || true
    exit $status
' windows-tests "$root" "$build" || status=1
"$root/scripts/check-local-addresses.sh" "$build" || status=1
exit $status
