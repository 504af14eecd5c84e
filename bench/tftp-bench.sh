#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# How long a real client takes to fetch the 725,912-byte image over loopback (512-byte blocks):
# (a) from our TFTP listener and transfer, (b) from an ideal lock-step server written for the
# benchmark (bench/ideal_tftp_server.cpp), (c) from tftpd-hpa serving the same bytes. Prints the
# median of each, per client, and the ratio ours / ideal (goal: at most 1.15).
#   bench/tftp-bench.sh [BUILD_DIR] [REPETITIONS]      (root; it runs itself in a private namespace)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(hostname)" != tov-test ]; then
  exec "$root/scripts/netns-run.sh" "$0" "$@"
fi
build=$(cd "${1:-$root/build/native}" && pwd)
reps=${2:-9}
serve=$build/tests/tftp/tftp-serve
ideal=$build/bench/ideal-tftp-server
for tool in "$serve" "$ideal" curl atftp in.tftpd; do
  command -v "$tool" >/dev/null || { echo "tftp-bench: $tool is missing" >&2; exit 2; }
done

work=$(mktemp -d)
hpaPid=""
cleanup() {
  [ -n "$hpaPid" ] && kill "$hpaPid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/srv"
chmod 755 "$work" "$work/srv"
name=tov1a2b.bin

# Seconds the client took for one fetch from 127.0.0.1:PORT; the fetched bytes must be the image.
fetchTime() {
  local client=$1 port=$2
  rm -f "$work/fetched"
  local seconds
  case $client in
    curl)
      seconds=$(curl -sS -o "$work/fetched" -w '%{time_total}' "tftp://127.0.0.1:$port//$name") ;;
    atftp)
      local start end
      start=$(date +%s%N)
      atftp -g -r "/$name" -l "$work/fetched" 127.0.0.1 "$port" >/dev/null 2>&1
      end=$(date +%s%N)
      seconds=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.6f", ns / 1e9 }') ;;
  esac
  cmp -s "$work/fetched" "$work/srv/$name" || { echo "tftp-bench: $client got wrong bytes" >&2; exit 1; }
  echo "$seconds"
}

# One fetch from a fresh run of a server that serves one fetch and ends (ours or the ideal one).
oneShotTime() {
  local client=$1
  shift
  "$@" >"$work/port" 2>/dev/null &
  local pid=$! port=""
  for _ in $(seq 1 200); do
    port=$(sed -n 's/^port //p' "$work/port")
    [ -n "$port" ] && break
    sleep 0.02
  done
  [ -n "$port" ] || { echo "tftp-bench: $1 did not start" >&2; exit 1; }
  fetchTime "$client" "$port"
  wait "$pid"
}
oursTime() { oneShotTime "$1" "$serve" --write "$work/srv/$name" 127.0.0.1 "/$name"; }
idealTime() { oneShotTime "$1" "$ideal" 127.0.0.1 "$work/srv/$name"; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

oursTime curl >/dev/null # writes the image that tftpd-hpa serves, and warms up
chmod 644 "$work/srv/$name"
# Every address of the namespace, which is loopback alone (it will not start on an explicit
# 127.0.0.1 where no other interface has an address).
in.tftpd --listen --foreground --ipv4 --address :1069 --secure "$work/srv" </dev/null \
  >/dev/null 2>&1 &
hpaPid=$!
sleep 0.3

for client in curl atftp; do
  : >"$work/ours.$client"
  : >"$work/ideal.$client"
  : >"$work/hpa.$client"
  for _ in $(seq 1 "$reps"); do
    oursTime "$client" >>"$work/ours.$client"
    idealTime "$client" >>"$work/ideal.$client"
    fetchTime "$client" 1069 >>"$work/hpa.$client"
  done
  ours=$(median <"$work/ours.$client")
  best=$(median <"$work/ideal.$client")
  hpa=$(median <"$work/hpa.$client")
  awk -v c="$client" -v o="$ours" -v i="$best" -v h="$hpa" -v n="$reps" 'BEGIN {
    printf "%-6s %d fetches each, medians: ours %.1f ms, ideal %.1f ms, tftpd-hpa %.1f ms; ours / ideal %.2f (goal <= 1.15)\n",
      c, n, o * 1000, i * 1000, h * 1000, o / i }'
done
