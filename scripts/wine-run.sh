#!/usr/bin/env bash
# Runs a Windows program under Wine with the build's private prefix: the cross build's test
# launcher (CMAKE_CROSSCOMPILING_EMULATOR), so plain `ctest` works without any setup.
#   scripts/wine-run.sh PROGRAM.exe [ARG...]
# The build folder is the nearest one above the working directory holding CMakeCache.txt
# (ctest runs each test inside the build tree), unless TOV_WINE_BUILD_DIR or WINEPREFIX is set.
set -eu
if [ -z "${TOV_WINE_BUILD_DIR:-}" ]; then
    dir=$PWD
    while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir=$(dirname "$dir")
    done
    [ -f "$dir/CMakeCache.txt" ] && TOV_WINE_BUILD_DIR=$dir
fi
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "${TOV_WINE_BUILD_DIR:-}"
exec "$WINELOADER" "$@"
