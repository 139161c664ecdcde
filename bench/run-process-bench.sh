#!/usr/bin/env bash
# Start-up and command timings of the real processes, through the process_bench program
# (bench/ProcessBench.cpp):
#   start-up to first tick  QuillmarkExternal started on a stored "Sending" campaign, until its first
#                           tick has delivered the first copy into a maildir: folder (seen through
#                           inotify the moment the copy is renamed into new/), median of 11 runs,
#                           for campaigns of 10 and 2,000 recipients; also the time until the
#                           process listens for commands
#   command round trip      `show` from ipc's CommandClient to a running idle sender and back, in
#                           process (median of 500), and a whole `quillmark show` process run
#                           (median of 51)
# Everything runs in a throwaway HOME (settings store, profiles, mail, runtime folder), so the
# user's own settings and any sender of theirs are never touched; nothing uses the network.
#
# Benchmarks:
#   scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release
#   bench/run-process-bench.sh build-bench          (BUILD_DIR defaults to build)
# Further arguments go to process_bench, e.g. --benchmark_filter=ControllerShow.
set -euo pipefail

readonly benchTimeout=600

root=$(cd "$(dirname "$0")/.." && pwd)
fail() {
    echo "run-process-bench: $*" >&2
    exit 1
}

if [[ $# -ge 1 && $1 != -* ]]; then
    build=$(realpath -e -- "$1" 2>/dev/null) || fail "no build directory $1"
    shift
else
    build=$root/build
fi
bench=$build/bench/process_bench
[[ -x $bench ]] || fail "no $bench: build the process_bench target first (scripts/build.sh $build)"
[[ -x /usr/bin/python3 ]] || fail "needs /usr/bin/python3"

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-process-bench.XXXXXX")
benchPid=
# Ends whatever is still running: the benchmark, and any sender it left behind if it was killed
# (a sender's lock file names its process id; only QuillmarkExternal processes are ended).
cleanUp() {
    if [[ -n $benchPid ]] && kill -0 "$benchPid" 2>/dev/null; then
        kill "$benchPid" 2>/dev/null || true
        wait "$benchPid" 2>/dev/null || true
    fi
    local lock pid
    for lock in "$work"/home/.cache/quillmark-bench-*/runtime/quillmark-sender-*.lock; do
        [[ -f $lock ]] || continue
        pid=$(head -n 1 "$lock")
        if [[ $pid =~ ^[0-9]+$ && $(readlink "/proc/$pid/exe" 2>/dev/null) == */QuillmarkExternal ]]; then
            kill "$pid" 2>/dev/null || true
        fi
    done
    rm -rf -- "$work"
}
trap cleanUp EXIT
trap 'exit 130' INT TERM

export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
export XDG_RUNTIME_DIR=$work/runtime
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

json=$work/process-bench.json
status=0
timeout "$benchTimeout" "$bench" --benchmark_out="$json" --benchmark_out_format=json "$@" &
benchPid=$!
wait "$benchPid" || status=$?
benchPid=
[[ $status -eq 0 ]] || fail "process_bench failed (status $status)"
[[ -s $json ]] || fail "process_bench wrote no results"

echo
echo "== Summary (medians)"
/usr/bin/python3 - "$json" <<'EOF' || fail "a benchmark failed (see above)"
import json, sys

results = json.load(open(sys.argv[1]))
failed = False
for b in results["benchmarks"]:
    name = b["name"].split("/iterations")[0]
    if b.get("error_occurred"):
        print(f"  {name}: FAILED: {b.get('error_message', '')}")
        failed = True
    elif name.startswith("BM_StartupToFirstTick/"):
        n = name.split("/")[1]
        print(f"  start-up to first tick, {n} recipients: {b['median_ms']:.1f} ms "
              f"(listening for commands after {b['listening_median_ms']:.1f} ms)")
    elif name.startswith("BM_CommandRoundTrip"):
        print(f"  command round trip (CommandClient, show): {b['median_us']:.0f} us")
    elif name.startswith("BM_ControllerShow"):
        print(f"  quillmark show, whole process run: {b['median_ms']:.1f} ms")
sys.exit(1 if failed else 0)
EOF
