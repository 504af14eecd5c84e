#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the package with `cpack -G DEB` in the native build folder and checks what is inside: the
# files a desktop program brings and nothing else, a version that is the project's, dependencies
# computed from the binary, and a program without the tests' window log. Unpacks it into
# BUILD_DIR/tests/package/root for the checks after it (lintian, desktop-file-validate,
# appstreamcli): the native preset's ctest entry package.deb.
#   build-deb.sh CPACK BUILD_DIR PROJECT_VERSION
set -u
cpack=$1 build=$2 version=$3
unpacked=$build/tests/package/root
failed=0
check() { # WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "PASS $what"; else echo "FAIL $what"; failed=1; fi
}

rm -rf "$build/packages" "$unpacked"
# The package carries no image (a user gives the maker's file): it is made in a build of its own,
# configured without one, beside the tests' build that carries the stand-in.
source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
package_build=$build/tests/package/build
{ cmake -S "$source" -B "$package_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOV_FIRMWARE_IMAGE=none -DTOV_BUILD_TESTS=OFF &&
    cmake --build "$package_build" -j2 --target tov-artifacts; } >"$build/tests/package/build.log" 2>&1 ||
  { echo "FAIL the package's build (see $build/tests/package/build.log)"; exit 1; }
(cd "$package_build" && "$cpack" -G DEB) || { echo "FAIL cpack -G DEB"; exit 1; }
mkdir -p "$build/packages"
cp "$package_build"/packages/tov-upgrade_*.deb "$build/packages/"
debs=("$build"/packages/tov-upgrade_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL no single .deb in $build/packages"; exit 1; }
deb=${debs[0]}
echo "== $deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

field() { dpkg-deb --field "$deb" "$1"; }
check "file name tov-upgrade_${version}_$(dpkg --print-architecture).deb" \
  test "$(basename "$deb")" = "tov-upgrade_${version}_$(dpkg --print-architecture).deb"
check "Version: $version" test "$(field Version)" = "$version"
# Written by dpkg-shlibdeps from what the binary links: GTK 3 and the C library at least.
check "Depends computed from the binary (libgtk-3-0, libc6)" \
  bash -c '[[ "$1" == *libgtk-3-0* && "$1" == *libc6* ]]' depends "$(field Depends)"

expected=$(
  cat <<'LIST'
./usr/bin/tov-upgrade
./usr/bin/tov-upgrade-cli
./usr/share/applications/org.example.tov_upgrade.desktop
./usr/share/doc/tov-upgrade/changelog.gz
./usr/share/doc/tov-upgrade/copyright
./usr/share/icons/hicolor/scalable/apps/tov-upgrade.svg
./usr/share/locale/de/LC_MESSAGES/tov-upgrade.mo
./usr/share/man/man1/tov-upgrade-cli.1.gz
./usr/share/man/man1/tov-upgrade.1.gz
./usr/share/metainfo/org.example.tov_upgrade.metainfo.xml
./usr/share/mime/packages/tov-upgrade.xml
LIST
)
actual=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
check "exactly the program's files" diff <(echo "$expected") <(echo "$actual")

dpkg-deb --extract "$deb" "$unpacked"
program=$unpacked/usr/bin/tov-upgrade
# The window log is the tests' alone: the packaged program carries neither its code nor a read of
# any environment variable of its own.
check "no window log in the packaged program" bash -c '! grep -q TOV_GTK_LOG "$1"' grep "$program"
check "the packaged program reads no environment variable" \
  bash -c '! nm -D --undefined-only "$1" | grep -Eq "\b(secure_)?(g_)?getenv\b"' nm "$program"
# The licence: MIT in the copyright file (machine-readable, lintian reads its syntax) and in the
# metainfo, whose id names the desktop entry and which provides both programs.
copyright=$unpacked/usr/share/doc/tov-upgrade/copyright
check "machine-readable copyright file, MIT for every file" bash -c \
  'head -1 "$1" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" &&
   grep -qx "License: MIT" "$1" && grep -q "Permission is hereby granted, free of charge" "$1"' \
  copyright "$copyright"
metainfo=$unpacked/usr/share/metainfo/org.example.tov_upgrade.metainfo.xml
check "metainfo: MIT, CC0-1.0 metadata, the desktop entry's id, both programs, version $version" \
  python3 - "$metainfo" "$version" "$unpacked/usr/share/applications" <<'PY'
import os, sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
id = root.findtext("id")
ok = (root.findtext("project_license") == "MIT" and root.findtext("metadata_license") == "CC0-1.0"
      and root.findtext("launchable") == id + ".desktop"
      and os.path.exists(os.path.join(sys.argv[3], id + ".desktop"))
      and sorted(b.text for b in root.iter("binary")) == ["tov-upgrade", "tov-upgrade-cli"]
      and root.find("releases/release").get("version") == sys.argv[2]
      and "tov-upgrade-cli" in ET.tostring(root.find("description"), encoding="unicode"))
sys.exit(0 if ok else 1)
PY
check "the packaged programs carry no image" \
  bash -c '"$1" --version | grep -qx "carries no firmware image: name one with --image FILE"' \
  version "$unpacked/usr/bin/tov-upgrade-cli"
for page in tov-upgrade tov-upgrade-cli; do
  check "the man page $page(1) reads without warnings" \
    bash -c 'out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null); echo -n "$out"; [ -z "$out" ]' \
    man "$unpacked/usr/share/man/man1/$page.1.gz"
done
exit $failed
