#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command inside a private network namespace of its own (root only): its own loopback
# (brought up, 127.0.0.0/8), its own host name, nothing reaching any other network. Ports 69 and
# 80 are free there, so several scenarios can run side by side.
#   scripts/netns-run.sh COMMAND [ARG...]
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "netns-run.sh: needs root (unshare --net)" >&2
  exit 2
fi
exec unshare --net --mount --uts -- bash -c 'ip link set lo up && hostname tov-test && exec "$@"' netns-run "$@"
