#!/bin/sh
# Runs each campaign benchmark in a process of its own, so the peak resident set each one
# reports (ru_maxrss) is its own and not the other's. Also prints what /usr/bin/time saw.
#
# Three rounds, each one 10,000-recipient campaign and then the same recipients' durable
# writes alone (each delivered copy and progress commit, nothing else): the ceiling any
# campaign can reach on this disk at that moment. Quote the medians of both; the rounds
# alternate so that both meet the same disk (a virtual machine's disk speed drifts).
#   bench/run-campaign-bench.sh [BUILD_DIR]     (default: build)
set -eu
build=${1:-build}
bench="$build/bench/campaign_bench"
[ -x "$bench" ] || { echo "no $bench: build the campaign_bench target first" >&2; exit 1; }

# Each process deletes its thousands of files when it ends; the next one starts once the disk
# has written that out (on ext4 without a journal it would otherwise also pay for skipping the
# freed inodes).
settle() { sync; sleep 10; }
# The result lines only (the benchmark's, and what /usr/bin/time saw).
results() { grep -E '^(BM_|campaign:)' || true; }

for round in 1 2 3; do
    echo "== round $round"
    settle
    /usr/bin/time -f "campaign: %e s wall, %M KB peak resident" "$bench" \
        --benchmark_filter='BM_CampaignThroughMaildir/10000/' 2>&1 | results
    settle
    "$bench" --benchmark_filter='BM_DurableWritesOnly/10000' 2>&1 | results
done
settle
/usr/bin/time -f "load: %e s wall, %M KB peak resident" "$bench" --benchmark_filter='BM_LoadDataFile/100000/'
