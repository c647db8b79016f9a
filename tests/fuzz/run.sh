#!/usr/bin/env bash
# Runs a fuzz target for a while from its seeds, in a corpus of its own,
# and fails on any finding (the target then exits non-zero and leaves the
# input beside the build's tests as crash-*, leak-* or timeout-*).
# Usage: run.sh FUZZER SEEDS SECONDS MAX_LEN
set -u
fuzzer=$1 seeds=$2 seconds=$3 max_len=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
corpus=$scratch/corpus log=$scratch/log
mkdir "$corpus"
"$fuzzer" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$PWD/" "$corpus" "$seeds" 2>"$log"
status=$?
grep -E '^(Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" |
    sed "s/^/$(basename "$fuzzer"): /"
if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "FAIL: $(basename "$fuzzer") found a fault (status $status)"
fi
exit "$status"
