#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Windows build's shared Wine prefix (BUILD_DIR/wine-prefix, about 10 s the first time)
# before any test uses it: the windows preset's fixture test wine.prefix. Fails without one.
#   scripts/wine-prefix.sh BUILD_DIR
set -u
build=${1:?usage: wine-prefix.sh BUILD_DIR}
# shellcheck source=wine-env.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "$build"
if [ -f "$WINEPREFIX/.tov-ready" ]; then
  echo "Wine prefix ready: $WINEPREFIX"
else
  echo "no Wine prefix at $WINEPREFIX"
  exit 1
fi
