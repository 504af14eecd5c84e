#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks, under Wine, that the Windows build lists this computer's addresses as the resolver
# gives them: inside a private network namespace whose hosts file names the computer 127.0.0.1
# and 127.0.0.3 (in that order), listLocalAddresses must return exactly those two, in file order.
#   scripts/netns-run.sh scripts/check-local-addresses.sh [BUILD_DIR]
# (root; BUILD_DIR defaults to build/windows). The windows preset runs it as the ctest entry
# wine.local-addresses.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
exe=$build/tests/tov-unit-tests.exe
[ -f "$exe" ] || { echo "check-local-addresses.sh: $exe not built" >&2; exit 2; }
# The namespace's host name is tov-test (scripts/netns-run.sh); the device would be 127.0.0.2.
if [ "$(hostname)" != tov-test ]; then
    echo "check-local-addresses.sh: run it inside scripts/netns-run.sh (it bind-mounts /etc/hosts)" >&2
    exit 2
fi

. "$root/scripts/wine-env.sh" "$build"
wine_env_private_server
hosts=$(mktemp)
check() { # EXPECTED-LIST HOSTS-ADDRESS...
    local expected=$1 address status=0
    shift
    printf "127.0.0.1\tlocalhost\n" >"$hosts"
    for address in "$@"; do
        printf "%s\ttov-test\n" "$address" >>"$hosts"
    done
    mount --bind "$hosts" /etc/hosts
    echo "== hosts file names tov-test $*; expecting $expected"
    TOV_EXPECT_LOCAL_ADDRESSES=$expected TOV_EXPECT_HOST_NAME=tov-test \
        timeout 120 "$WINELOADER" "$exe" --gtest_filter="Platform.LocalAddresses*" \
        || status=$?
    umount /etc/hosts
    return $status
}
cd "$build/tests"
status=0
check 127.0.0.1,127.0.0.3 127.0.0.1 127.0.0.3 || status=1
# Second case: ten addresses for the name, of which the first eight are kept, in file order.
ten=$(seq -f "127.0.1.%g" 10 -1 1)
eight=$(seq -s, -f "127.0.1.%g" 10 -1 3)
check "$eight" $ten || status=1
wineserver -k 2>/dev/null || true
rm -f "$hosts"
[ $status -eq 0 ] && echo "check-local-addresses: passed" || echo "check-local-addresses: FAILED"
exit $status
