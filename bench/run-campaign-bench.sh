#!/bin/sh
# Runs each campaign benchmark in a process of its own, so the peak resident set each one
# reports (ru_maxrss) is its own and not the other's. Also prints what /usr/bin/time saw.
#   bench/run-campaign-bench.sh [BUILD_DIR]     (default: build)
set -eu
build=${1:-build}
bench="$build/bench/campaign_bench"
[ -x "$bench" ] || { echo "no $bench: build the campaign_bench target first" >&2; exit 1; }
for filter in 'BM_CampaignThroughMaildir/10000/' 'BM_LoadDataFile/100000/'; do
    /usr/bin/time -f "$filter: %e s wall, %M KB peak resident" "$bench" --benchmark_filter="$filter"
done
