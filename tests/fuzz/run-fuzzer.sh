#!/bin/sh
# Runs a libFuzzer target for a bounded time on a fresh copy of its seeds.
# Usage: run-fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS [LIBFUZZER_OPTION...]
# Fails (non-zero) on any crash, sanitizer report, leak or slow input; the
# input that failed is kept in WORK_DIR/artifacts.
set -eu
if [ $# -lt 4 ]; then
  echo "usage: $0 FUZZER SEED_DIR WORK_DIR SECONDS [LIBFUZZER_OPTION...]" >&2
  exit 2
fi
fuzzer=$1 seeds=$2 work=$3 seconds=$4
shift 4

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts" "$work/tmp"
cp "$seeds"/* "$work/corpus/"
# What a target writes (the history's spool, the health-record export's
# files) stays here and goes with the next run.
export TMPDIR="$work/tmp"
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/leak-ignore.txt"

exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" \
  "$work/corpus"
