#!/bin/sh
# Runs each campaign benchmark in a process of its own, so the peak resident set each one
# reports (ru_maxrss) is its own and not the other's. Also prints what /usr/bin/time saw.
# The 10,000-recipient campaign runs three times; its median is the figure to quote. The
# durable writes alone (a recipient's delivered copy and progress commit, nothing else) follow
# it: the ceiling any campaign on this disk can reach.
#   bench/run-campaign-bench.sh [BUILD_DIR]     (default: build)
# On ext4 without a journal, give the disk a few minutes after deleting many files (an earlier
# run's): until then every file the campaign creates pays for skipping the freed inodes.
set -eu
build=${1:-build}
bench="$build/bench/campaign_bench"
[ -x "$bench" ] || { echo "no $bench: build the campaign_bench target first" >&2; exit 1; }
# Each process deletes its thousands of files when it ends; the next one starts once the disk
# has written that out, so it does not pay for its predecessor.
settle() { sync; sleep 10; }
settle
/usr/bin/time -f "campaign: %e s wall, %M KB peak resident" "$bench" \
    --benchmark_filter='BM_CampaignThroughMaildir/10000/' --benchmark_repetitions=3
settle
"$bench" --benchmark_filter='BM_DurableWritesOnly/10000' --benchmark_repetitions=3
settle
/usr/bin/time -f "load: %e s wall, %M KB peak resident" "$bench" --benchmark_filter='BM_LoadDataFile/100000/'
