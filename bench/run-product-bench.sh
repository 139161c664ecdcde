#!/usr/bin/env bash
# The whole product against a plain stdlib mail merge, side by side through one SMTP sink.
#
# Quillmark: a 2,000-recipient campaign (an HTML template of about 4 KB with placeholders in the
# subject and the body) sent with delay 0 by the real QuillmarkExternal, started the way a user
# starts it (`quillmark send DATAFILE --delay 0 --no-notify --wait`), through an smtp:// account
# to postfix's smtp-sink on 127.0.0.1. Three runs, each from a fresh mail store and report file;
# each must end "Completed" with 2,000 "Successfully sent" report lines.
#   campaign wall time  from starting `quillmark send` until `--wait` returns (so it includes the
#                       controller, the sender's start-up, its first 100 ms timer and the
#                       controller's 200 ms polling of the store)
#   sender rate         2,000 / (last report write - report file creation): the sender's own
#                       sending loop, without start-up and polling (report lines themselves only
#                       carry whole seconds, the file's birth and change times carry nanoseconds)
#   sender peak RSS     VmHWM of the QuillmarkExternal process, read twice a second while it runs
#                       (it is started detached, so /usr/bin/time cannot wait for it)
#
# The sender runs with the options a user gets by default: at priority Idle (nice 19), keeping a
# copy of every message in Sent Items, and storing its progress durably after every recipient.
#
# Peer: ../shared/bench/peer-stdlib-merge.py -n 2000 --mode persistent --runs 3 to the same sink;
# its median rate of the three runs, and its peak RSS from /usr/bin/time -f %M.
#
# Everything runs in a throwaway HOME / XDG_CONFIG_HOME / XDG_DATA_HOME / XDG_RUNTIME_DIR, so the
# user's own settings store, mail profiles and mail are never touched; nothing listens or is sent
# to anywhere but 127.0.0.1.
#
# Benchmarks:
#   scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release
#   bench/run-product-bench.sh build-bench          (BUILD_DIR defaults to build)
# Optional environment: QUILLMARK_BENCH_PORT (the sink's port; a free one by default),
# QUILLMARK_BENCH_SEND_OPTIONS (more options for `quillmark send`, e.g. "--delete-sent" or
# "--priority Normal"). Run it on a quiet machine: the sender, the sink and the peer share the CPUs.
set -euo pipefail

readonly recipients=2000
readonly runs=3
readonly campaignTimeout=300 # seconds for one whole campaign; far beyond any healthy run
readonly peerTimeout=600

root=$(cd "$(dirname "$0")/.." && pwd)
fail() {
    echo "run-product-bench: $*" >&2
    exit 1
}

if [[ $# -gt 1 ]]; then
    fail "usage: bench/run-product-bench.sh [BUILD_DIR]"
fi
if [[ $# -eq 1 ]]; then
    build=$(realpath -e -- "$1" 2>/dev/null) || fail "no build directory $1"
else
    build=$root/build
fi
controller=$build/src/cli/quillmark
sender=$build/src/app/QuillmarkExternal
peer=$(realpath -e -- "$root/../shared/bench/peer-stdlib-merge.py" 2>/dev/null) ||
    fail "no peer script at $root/../shared/bench/peer-stdlib-merge.py"
sinkScript=$(realpath -e -- "$root/../shared/bench/smtp-sink.sh" 2>/dev/null) ||
    fail "no sink script at $root/../shared/bench/smtp-sink.sh"
[[ -x $controller && -x $sender ]] || fail "no $controller or $sender: build the tree first (scripts/build.sh $build)"
[[ -x /usr/bin/time && -x /usr/bin/python3 ]] || fail "needs /usr/bin/time and /usr/bin/python3"

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-product-bench.XXXXXX")
sinkPid=
senderPid=
watchPid=
childPid= # the controller or the peer, each under timeout (which passes our kill on to it)
cleanUp() {
    local pid
    for pid in "$childPid" "$watchPid" "$senderPid" "$sinkPid"; do
        if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
        fi
    done
    rm -rf -- "$work"
}
trap cleanUp EXIT
trap 'exit 130' INT TERM

# --- the sink, started with the caller's own HOME (its binary is cached there) -----------------
if [[ -n ${QUILLMARK_BENCH_PORT:-} ]]; then
    port=$QUILLMARK_BENCH_PORT
    if ! [[ $port =~ ^[0-9]+$ ]] || ((port < 1024 || port > 65535)); then
        fail "QUILLMARK_BENCH_PORT must be a port from 1024 to 65535"
    fi
else
    port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
fi
sinkPid=$("$sinkScript" "$port") || fail "the smtp-sink did not start on 127.0.0.1:$port"

# --- a throwaway home for everything else ------------------------------------------------------
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
export XDG_RUNTIME_DIR=$work/runtime
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM # the sender runs headless
mkdir -p "$XDG_CONFIG_HOME/tollmere" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$work/campaign"
mkdir -m 700 "$XDG_RUNTIME_DIR"

cat >"$XDG_CONFIG_HOME/tollmere/mail-profiles.toml" <<EOF
default = "Bench"

[profiles.Bench]
user-name = "Ann Sender"
user-address = "ann.sender@example.com"

[[profiles.Bench.accounts]]
name = "Sink"
from = "Ann Sender <ann.sender@example.com>"
transport = "smtp://127.0.0.1:$port"
timeout-seconds = 10
EOF

dataFile=$work/campaign/Spring.xml
{
    printf '<?xml version="1.0" encoding="utf-8"?>\n<campaign MessageClass="IPM.Note">\n'
    for ((i = 0; i < recipients; i++)); do
        printf '  <recipient address="reader%d@example.com"><field name="FirstName">Zoë %d</field>' "$i" "$i"
        printf '<field name="LastName">Example</field><field name="City">Zürich</field>'
        printf '<field name="Plan">Gold</field></recipient>\n'
    done
    printf '</campaign>\n'
} >"$dataFile"
{
    printf 'From: Ann Sender <ann.sender@example.com>\r\n'
    printf 'Subject: Spring news for [Substitute: FirstName, Default: "friend"]\r\n'
    printf 'MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n'
    printf '<html><body><p>Dear <b>[Substitute: FirstName, Default: &quot;friend&quot;]</b>,</p>\r\n'
    for ((i = 0; i < 24; i++)); do
        printf '<p>Spring has come to our shop in [Substitute: City, Default: &quot;your town&quot;], with '
        printf '<a href="https://example.com/offer">offers</a> for every '
        printf '<i>[Substitute: Plan, Default: &quot;&quot;]</i> member.</p>\r\n'
    done
    printf '</body></html>\r\n'
} >"${dataFile%.xml}.oft"

median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) exit 1; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Keeps the highest VmHWM (KiB) of process $1 in file $2 until the process is gone. Shell
# built-ins only and two reads a second, so the watcher takes next to no CPU from the sender.
watchPeakRss() {
    local pid=$1 out=$2 key value _
    while [[ -r /proc/$pid/status ]]; do
        while read -r key value _; do
            if [[ $key == VmHWM: ]]; then
                echo "$value" >"$out"
                break
            fi
        done <"/proc/$pid/status" 2>/dev/null || true
        sleep 0.5
    done
}

# The process id in "Started the Quillmark sender ... (process N)." once the controller printed it.
startedPid() {
    sed -n 's/^Started the Quillmark sender .* (process \([0-9]*\))\.$/\1/p' "$1"
}

# One Quillmark campaign; sets runWall (seconds), runRate (the sender loop's msg/s) and runRss (KiB).
# Runs in this shell, not a subshell, so the exit trap knows the sender to end.
runQuillmark() {
    local run=$1
    local out=$work/send-$run.txt rss=$work/rss-$run.txt
    # A fresh mail store and report file for every run. The last run's are moved aside, not
    # deleted: on ext4 without a journal, files created soon after thousands were deleted pay
    # for skipping the freed inodes, which would slow the next run down. They go at the end.
    if [[ -e $XDG_DATA_HOME/tollmere ]]; then
        mv -- "$XDG_DATA_HOME/tollmere" "$work/data-before-run-$run"
    fi
    local start end status=0
    start=$(date +%s.%N)
    # shellcheck disable=SC2086 # the extra options are meant to split into words
    timeout "$campaignTimeout" "$controller" send "$dataFile" --delay 0 --no-notify --wait \
        ${QUILLMARK_BENCH_SEND_OPTIONS:-} >"$out" 2>&1 &
    childPid=$!
    while kill -0 "$childPid" 2>/dev/null && [[ -z $(startedPid "$out") ]]; do
        sleep 0.005
    done
    senderPid=$(startedPid "$out")
    if [[ -n $senderPid ]]; then
        watchPeakRss "$senderPid" "$rss" &
        watchPid=$!
    fi
    wait "$childPid" || status=$?
    end=$(date +%s.%N)
    childPid=
    [[ $status -eq 0 ]] || fail "run $run: quillmark send failed (status $status): $(tail -n 1 "$out")"
    grep -qx "Campaign completed: $recipients recipients." "$out" || fail "run $run: no completion line: $(tail -n 1 "$out")"
    local state
    state=$("$controller" settings get "Tollmere - Bench" Quillmark SendState) || fail "run $run: cannot read SendState"
    [[ $state == Completed ]] || fail "run $run: the campaign ended $state, not Completed"

    # The finished sender was sent SIGTERM by the controller; the next run needs its lock free.
    local deadline=$((SECONDS + 10))
    while kill -0 "$senderPid" 2>/dev/null; do
        ((SECONDS < deadline)) || fail "run $run: the finished sender $senderPid did not end within 10 s"
        sleep 0.05
    done
    wait "$watchPid" 2>/dev/null || true
    watchPid=
    senderPid=

    local report sent
    report=$(sed -n 's/^Report file: //p' "$out")
    [[ -n $report && -f $report ]] || fail "run $run: no report file ($report)"
    sent=$(grep -c 'Successfully sent to ' "$report" || true)
    [[ $sent -eq $recipients ]] || fail "run $run: $sent report lines say sent, not $recipients"
    local born changed
    born=$(stat -c %.9W "$report")
    changed=$(stat -c %.9Y "$report")
    [[ $born != 0* ]] || fail "this file system keeps no birth times; cannot time the sender's own loop"
    runWall=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')
    runRate=$(awk -v b="$born" -v c="$changed" -v n="$recipients" 'BEGIN { printf "%.1f", n / (c - b) }')
    runRss=$(cat "$rss" 2>/dev/null || echo unknown)
}

echo "Quillmark: $recipients recipients, delay 0, smtp://127.0.0.1:$port (smtp-sink), $runs runs"
walls=()
rates=()
rsses=()
for ((run = 1; run <= runs; run++)); do
    runQuillmark "$run"
    wall=$runWall rate=$runRate rss=$runRss
    printf '  run %d: campaign wall %.2f s = %.0f msg/s; sender loop %.0f msg/s; sender peak RSS %s KiB\n' \
        "$run" "$wall" "$(awk -v w="$wall" -v n="$recipients" 'BEGIN { print n / w }')" "$rate" "$rss"
    walls+=("$wall")
    rates+=("$rate")
    rsses+=("$rss")
done
qWall=$(printf '%s\n' "${walls[@]}" | median)
qRate=$(awk -v w="$qWall" -v n="$recipients" 'BEGIN { printf "%.1f", n / w }')
qLoopRate=$(printf '%s\n' "${rates[@]}" | median)
qRss=$(printf '%s\n' "${rsses[@]}" | sort -g | tail -n 1)

echo "Peer: peer-stdlib-merge.py -n $recipients --mode persistent --runs $runs (same sink)"
peerOut=$work/peer.txt
peerStatus=0
timeout "$peerTimeout" /usr/bin/time -f '%M' -o "$work/peer-rss.txt" /usr/bin/python3 "$peer" -n "$recipients" \
    --port "$port" --mode persistent --runs "$runs" --workdir "$work/peer" >"$peerOut" 2>&1 &
childPid=$!
wait "$childPid" || peerStatus=$?
childPid=
[[ $peerStatus -eq 0 ]] || fail "the peer failed (status $peerStatus): $(tail -n 1 "$peerOut")"
sed 's/^/  /' "$peerOut"
okRuns=$(grep -c "^persistent .* N=$recipients ok=$recipients " "$peerOut" || true)
[[ $okRuns -eq $runs ]] || fail "the peer delivered all $recipients messages in only $okRuns of $runs runs"
pRate=$(sed -n 's/^persistent .* wall=\([0-9.]*\)s .*/\1/p' "$peerOut" |
    awk -v n="$recipients" '{ print n / $1 }' | median)
pRss=$(tail -n 1 "$work/peer-rss.txt")

echo
echo "== Summary ($recipients messages through smtp-sink on 127.0.0.1, median of $runs runs each)"
printf '  Quillmark  %8.1f msg/s  (campaign wall %.2f s from send to --wait returning; sender loop alone %.0f msg/s)\n' \
    "$qRate" "$qWall" "$qLoopRate"
printf '  peer       %8.1f msg/s  (stdlib smtplib, one connection)\n' "$pRate"
printf '  ratio Quillmark/peer: %.2f (campaign wall), %.2f (sender loop)\n' \
    "$(awk -v a="$qRate" -v b="$pRate" 'BEGIN { print a / b }')" \
    "$(awk -v a="$qLoopRate" -v b="$pRate" 'BEGIN { print a / b }')"
printf '  peak RSS   Quillmark sender %s KiB (highest of %d runs), peer %s KiB\n' "$qRss" "$runs" "$pRss"
