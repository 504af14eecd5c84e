#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One libFuzzer target for a bounded time: the fuzz preset's tests (tests/hardening). New inputs
# go to a scratch corpus under the build folder, the committed seeds stay as they are; a crash,
# sanitizer report, leak or time-out ends it non-zero and leaves its input in BUILD_DIR/findings.
#   scripts/run-fuzzer.sh FUZZER SEED_DIR BUILD_DIR SECONDS
set -u
fuzzer=$1 seeds=$2 build=$3 seconds=$4
name=$(basename "$seeds")
# libFuzzer refuses a corpus folder that does not exist yet.
mkdir -p "$build/corpus-work/$name" "$build/findings" || exit 1
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$build/findings/$name-" "$build/corpus-work/$name" "$seeds"
