#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds what goes out (the Debian package, tov-upgrade.exe and tov-upgrade-cli.exe) a second
# time, from a copy of the source tree in another folder, and checks that every product is the
# same bytes as the native and windows presets' own. A difference is named by diffoscope in the
# log; the second tree is kept for a look. The native preset's ctest entry package.reproducible.
#   reproducible.sh SOURCE_DIR NATIVE_BUILD_DIR WINDOWS_BUILD_DIR WORK_DIR
# Without the windows preset's programs it builds them first in WORK_DIR/first, so two builds are
# compared either way.
set -u
src=$1 native=$2 windows=$3 work=$4
jobs=${TOV_JOBS:-2}
failed=0
rm -rf "$work"
mkdir -p "$work"

# The options a preset's folder was configured with that change what it makes.
cached() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }
options() { # BUILD_DIR NAME...
  local dir=$1 name value
  shift
  for name in "$@"; do
    value=$(cached "$dir" "$name")
    [ -n "$value" ] && printf '%s\n' "-D$name=$value"
  done
}
# The package is made in a build of its own, without an image (build-deb.sh).
package_build=$native/tests/package/build
mapfile -t native_options < <(options "$package_build" CMAKE_BUILD_TYPE TOV_FIRMWARE_IMAGE \
  TOV_DEBUG_LOG TOV_PACKAGE_MAINTAINER TOV_PACKAGE_HOMEPAGE)
# The package's time stamps are the last commit's, also for the copy, which has no history.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && epoch=$(git -C "$src" log -1 --format=%ct 2>/dev/null); then
  export SOURCE_DATE_EPOCH=$epoch
fi

# copy_source TO: the files of the source tree (tracked or not ignored, as they are now).
copy_source() {
  mkdir -p "$1"
  if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$src" && git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
      tar --null -T - -cf -) | tar -C "$1" -xf -
  else
    tar -C "$src" --exclude=./build -cf - . | tar -C "$1" -xf -
  fi
}

# quietly LOG COMMAND...: runs the command with its output in LOG, shown only if it fails.
quietly() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log"; return 1; }
}

# build_windows SOURCE OPTION...: the two Windows programs in SOURCE/build/windows.
build_windows() {
  local tree=$1
  shift
  (cd "$tree" && quietly "$tree/../windows-configure.log" cmake --preset windows \
    -DTOV_BUILD_TESTS=OFF "$@" &&
    quietly "$tree/../windows-build.log" cmake --build --preset windows -j"$jobs" \
      --target tov-upgrade tov-upgrade-cli)
}

exes=(src/programs/tov-upgrade-win32/tov-upgrade.exe src/programs/tov-upgrade-cli/tov-upgrade-cli.exe)
if [ -f "$windows/CMakeCache.txt" ] && [ -f "$windows/${exes[0]}" ] && [ -f "$windows/${exes[1]}" ]; then
  mapfile -t windows_options < <(options "$windows" CMAKE_BUILD_TYPE TOV_FIRMWARE_IMAGE TOV_DEBUG_LOG)
  first_windows=$windows
else
  echo "== no Windows programs in $windows: building them first in $work/first"
  windows_options=(-DCMAKE_BUILD_TYPE=Release)
  copy_source "$work/first/tov-upgrade"
  build_windows "$work/first/tov-upgrade" "${windows_options[@]}" ||
    { echo "FAIL the first Windows build"; exit 1; }
  first_windows=$work/first/tov-upgrade/build/windows
fi

second=$work/second/source-copy
echo "== the second build, in $second (SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-unset})"
copy_source "$second"
t0=$SECONDS
(cd "$second" && quietly ../native-configure.log cmake -S . -B build/package -G Ninja \
  -DTOV_BUILD_TESTS=OFF "${native_options[@]}" &&
  quietly ../native-build.log cmake --build build/package -j"$jobs" --target tov-artifacts &&
  cd build/package && quietly ../../../cpack.log cpack -G DEB) ||
  { echo "FAIL the second package build"; exit 1; }
build_windows "$second" "${windows_options[@]}" || { echo "FAIL the second Windows build"; exit 1; }
echo "== built in $((SECONDS - t0)) s"

# same WHAT FIRST SECOND: the two products are one sequence of bytes.
same() {
  if cmp -s "$2" "$3"; then
    echo "PASS $1 is the same bytes in both builds ($(sha256sum <"$2" | cut -c1-16))"
  else
    echo "FAIL $1 differs: $2 and $3"
    failed=1
    if command -v diffoscope >/dev/null; then
      diffoscope --no-progress --max-report-size 200000 --max-page-size 200000 "$2" "$3"
    else
      echo "(diffoscope is not installed: scripts/install-deps.sh)"
    fi
  fi
}
debs=("$native"/packages/tov-upgrade_*.deb)
same "the Debian package $(basename "${debs[0]}")" "${debs[0]}" \
  "$second/build/package/packages/$(basename "${debs[0]}")"
for exe in "${exes[@]}"; do
  same "$(basename "$exe")" "$first_windows/$exe" "$second/build/windows/$exe"
done
[ $failed -eq 0 ] && rm -rf "$work"
exit $failed
