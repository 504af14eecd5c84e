#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine with the build's private prefix: the cross build's test
# launcher (CMAKE_CROSSCOMPILING_EMULATOR), so plain `ctest` works without any setup.
#   scripts/wine-run.sh PROGRAM.exe [ARG...]
# Inside a private network namespace (scripts/netns-run.sh, where the windows preset's ctest
# entries run it, as root) the program gets a wineserver and a prefix of its own: its sockets are
# the namespace's, and tests that ctest runs side by side never share a wineserver.
# The build folder is the nearest one above the working directory holding CMakeCache.txt
# (ctest runs each test inside the build tree), unless TOV_WINE_BUILD_DIR or WINEPREFIX is set.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -z "${TOV_WINE_BUILD_DIR:-}" ]; then
    dir=$PWD
    while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir=$(dirname "$dir")
    done
    [ -f "$dir/CMakeCache.txt" ] && TOV_WINE_BUILD_DIR=$dir
fi
. "$here/wine-env.sh" "${TOV_WINE_BUILD_DIR:-}"
if [ "$(id -u)" -ne 0 ] || [ "$(readlink /proc/self/ns/mnt)" = "$(readlink /proc/1/ns/mnt)" ]; then
    exec "$WINELOADER" "$@"
fi
wine_env_private_server
# A prefix of its own too (a hard-linked copy, registry files copied whole): two wineservers
# writing one prefix's registry at once break each other's programs.
private=$(mktemp -d "$(dirname "$WINEPREFIX")/wine-run.XXXXXX")
cp -al "$WINEPREFIX" "$private/prefix"
for reg in "$private"/prefix/*.reg; do
    cp --remove-destination "$WINEPREFIX/$(basename "$reg")" "$reg"
done
export WINEPREFIX=$private/prefix
status=0
"$WINELOADER" "$@" || status=$?
# The namespace's wineserver would linger a few seconds, holding ctest's output pipe open.
wineserver -k 2>/dev/null || true
rm -rf "$private"
exit $status
