#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reads the resources of the built tov-upgrade.exe under Wine (tov-resources.exe) and checks them
# (check-resources.py): the windows preset's ctest entry wine.resources.
#   check-resources.sh BUILD_DIR TOV_RESOURCES_EXE TOV_UPGRADE_EXE PROJECT_VERSION
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$1 reader=$2 program=$3 version=$4
out=$build/tests/win32-resources/resources.txt
# Wine takes the program's path as a Windows one: the whole file system is drive Z:.
TOV_WINE_BUILD_DIR=$build "$root/scripts/wine-run.sh" "$reader" "Z:${program//\//\\}" | tr -d '\r' >"$out"
cat "$out"
exec python3 "$here/check-resources.py" "$out" "$version"
