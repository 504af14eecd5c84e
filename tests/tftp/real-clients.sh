#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Real TFTP clients fetch the image from our listener and must get exactly its bytes: curl (with
# its default options "tsize 0 blksize 512 timeout 6", and with none) and atftp (no options, and a
# non-numeric tsize).
# tftp-hpa's client is not used: it ignores an OACK it did not ask for and times out.
# Loopback only, inside a private network namespace (port 69):
#   scripts/netns-run.sh tests/tftp/real-clients.sh build/native/tests/tftp/tftp-serve
set -uo pipefail
serve=${1:?usage: real-clients.sh PATH-TO-tftp-serve}
if [ "$(hostname)" != tov-test ]; then
  echo "real-clients.sh: run it inside scripts/netns-run.sh (needs port 69)" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=/tov1a2b.bin
passed=0
failed=0

# fetch CASE SIZE CLIENT: SIZE is "embedded" or a byte count; CLIENT is curl, curl-plain, atftp
# or atftp-banana (asks for "tsize banana": options are not read, nothing may break).
fetch() {
  local case=$1 size=$2 client=$3
  local sizeArgs=()
  [ "$size" != embedded ] && sizeArgs=(--size "$size")
  rm -f "$work/served" "$work/fetched" "$work/port"
  "$serve" "${sizeArgs[@]}" --write "$work/served" 127.0.0.1 "$name" \
    >"$work/port" 2>"$work/serve.err" &
  local pid=$!
  local port=""
  for _ in $(seq 1 100); do
    port=$(sed -n 's/^port //p' "$work/port")
    [ -n "$port" ] && break
    sleep 0.05
  done
  local status=0
  case $client in
    curl) timeout 30 curl -sS -o "$work/fetched" "tftp://127.0.0.1:$port/$name" || status=$? ;;
    curl-plain) timeout 30 curl -sS --tftp-no-options -o "$work/fetched" \
        "tftp://127.0.0.1:$port/$name" || status=$? ;;
    atftp) timeout 30 atftp -g -r "$name" -l "$work/fetched" 127.0.0.1 "$port" \
        >"$work/client.out" 2>&1 || status=$? ;;
    atftp-banana) timeout 30 atftp --option "tsize banana" -g -r "$name" -l "$work/fetched" \
        127.0.0.1 "$port" >"$work/client.out" 2>&1 || status=$? ;;
  esac
  # Our side ends by itself once the transfer is over.
  local ended=no
  for _ in $(seq 1 100); do
    if ! kill -0 "$pid" 2>/dev/null; then ended=yes; break; fi
    sleep 0.05
  done
  [ "$ended" = no ] && kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  if [ -z "$port" ]; then
    echo "FAIL $case: the listener did not start"; failed=$((failed + 1)); return
  fi
  if [ "$status" -ne 0 ] || ! cmp -s "$work/served" "$work/fetched"; then
    echo "FAIL $case: client status $status, $(stat -c %s "$work/fetched" 2>/dev/null || echo no) bytes of $(stat -c %s "$work/served")"
    failed=$((failed + 1)); return
  fi
  if ! grep -q "transfer complete" "$work/serve.err"; then
    echo "FAIL $case: our side did not see the transfer complete: $(cat "$work/serve.err")"
    failed=$((failed + 1)); return
  fi
  echo "ok   $case ($(stat -c %s "$work/fetched") bytes, port $port)"
  passed=$((passed + 1))
}

fetch "curl, embedded image" embedded curl
fetch "curl without options, embedded image" embedded curl-plain
fetch "atftp, embedded image" embedded atftp
fetch "curl, whole blocks (1536 bytes)" 1536 curl
fetch "atftp, whole blocks (1536 bytes)" 1536 atftp
fetch "curl, one byte" 1 curl
fetch "atftp, empty image" 0 atftp
fetch "atftp asking for tsize \"banana\"" 1536 atftp-banana
echo "real clients: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
