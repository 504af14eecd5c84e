#!/usr/bin/env bash
# How long a real client takes to fetch the 725,912-byte image over loopback (512-byte blocks):
# (a) from our TFTP listener and session, (b) from tftpd-hpa serving the same bytes. Prints the
# median of each, per client, and the ratio ours / tftpd-hpa (target: at most 1.25).
#   bench/tftp-bench.sh [BUILD_DIR] [REPETITIONS]      (root; it runs itself in a private namespace)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(hostname)" != tov-test ]; then
  exec "$root/scripts/netns-run.sh" "$0" "$@"
fi
build=$(cd "${1:-$root/build/native}" && pwd)
reps=${2:-9}
serve=$build/tests/tftp/tftp-serve
for tool in "$serve" curl atftp in.tftpd; do
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

# One fetch from a fresh run of our listener (which ends by itself after the transfer).
oursTime() {
  local client=$1
  "$serve" --write "$work/srv/$name" 127.0.0.1 "/$name" >"$work/port" 2>/dev/null &
  local pid=$! port=""
  for _ in $(seq 1 200); do
    port=$(sed -n 's/^port //p' "$work/port")
    [ -n "$port" ] && break
    sleep 0.02
  done
  [ -n "$port" ] || { echo "tftp-bench: our listener did not start" >&2; exit 1; }
  fetchTime "$client" "$port"
  wait "$pid"
}

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
  : >"$work/hpa.$client"
  for _ in $(seq 1 "$reps"); do
    oursTime "$client" >>"$work/ours.$client"
    fetchTime "$client" 1069 >>"$work/hpa.$client"
  done
  ours=$(median <"$work/ours.$client")
  hpa=$(median <"$work/hpa.$client")
  awk -v c="$client" -v o="$ours" -v h="$hpa" -v n="$reps" 'BEGIN {
    printf "%-6s %d fetches each: ours median %.1f ms, tftpd-hpa median %.1f ms, ratio %.2f (target <= 1.25)\n",
      c, n, o * 1000, h * 1000, o / h }'
done
