#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the built package as a user would (dpkg -i, then apt-get -f install for anything it
# depends on), upgrades the simulated device with the installed /usr/bin/tov-upgrade started by a
# normal user (installed-scenario.sh through the GTK tests' runner), then purges the package and
# checks that nothing of it is left. Root, inside a private network namespace
# (scripts/netns-run.sh): the native preset's ctest entry package.install.
#   install-upgrade.sh BUILD_DIR OUT_DIR FIRMWARE_FILE
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:?usage: install-upgrade.sh BUILD_DIR OUT_DIR FIRMWARE_FILE}
out=${2:?}
firmware=${3:?}
rm -rf "$out"
mkdir -p "$out"
failed=0
check() { # WHAT COMMAND...: runs the command; PASS or FAIL with WHAT
  local what=$1
  shift
  if "$@"; then echo "PASS $what"; else echo "FAIL $what"; failed=1; fi
}

debs=("$build"/packages/tov-upgrade_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL no single .deb in $build/packages"; exit 1; }
deb=${debs[0]}
installed() { dpkg-query -W -f='${Status}' tov-upgrade 2>/dev/null | grep -q "install ok installed"; }
# A run cut short earlier may have left it installed: the machine goes back to without it, now
# and whatever happens below.
installed && dpkg --purge tov-upgrade >/dev/null
trap 'installed && dpkg --purge tov-upgrade >/dev/null' EXIT

# Everywhere the package puts something, listed before it comes and after it goes.
places=(/usr/bin /usr/share/applications /usr/share/metainfo /usr/share/icons/hicolor
  /usr/share/man/man1 /usr/share/doc)
snapshot() { find "${places[@]}" 2>/dev/null | sort; }
snapshot >"$out/before.txt"

echo "== dpkg -i $deb"
check "dpkg -i" dpkg -i "$deb"
echo "== apt-get -f install"
check "apt-get -f install" apt-get -f install -y -q
check "package installed" installed
dpkg -L tov-upgrade >"$out/installed-files.txt"
check "program at /usr/bin/tov-upgrade" test -x /usr/bin/tov-upgrade
check "no capability granted to the program" test -z "$(getcap /usr/bin/tov-upgrade)"
check "dpkg --verify: files as packaged" dpkg --verify tov-upgrade

echo "== the installed program upgrades the simulated device"
TOV_GTK_BUILD=$build TOV_GTK_PROGRAM=/usr/bin/tov-upgrade TOV_FIRMWARE_FILE=$firmware \
  TOV_GTK_SCENARIOS=$here/installed-scenario.sh TOV_GTK_SHOTS=$out/screenshots \
  "$root/tests/gtk/gtk-scenario.sh" installed_upgrade "$out/scenario"
check "installed program: scenario installed_upgrade (see $out/scenario/result.log)" test $? -eq 0
cat "$out/scenario/result.log"

echo "== dpkg --purge tov-upgrade"
check "dpkg --purge" dpkg --purge tov-upgrade
status=$(dpkg-query -W -f='${db:Status-Status}' tov-upgrade 2>/dev/null)
check "package purged, no configuration files kept" test "${status:-not-installed}" = not-installed
snapshot >"$out/after.txt"
check "nothing left behind (before.txt = after.txt)" diff -u "$out/before.txt" "$out/after.txt"
exit $failed
