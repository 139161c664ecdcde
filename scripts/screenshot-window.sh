#!/usr/bin/env bash
# Takes pictures of the real sender's window on a virtual X display (Xvfb) while it sends the
# example campaign (examples/spring) through a Maildir profile, one PNG per moment:
#   window-sending.png    mid-campaign, at the second of four recipients
#   window-suspended.png  started again after `quillmark suspend`, waiting for `quillmark resume`
#   window-finished.png   the campaign completed
# Not run by CI; for looking at the window after changing it. Everything runs in a throwaway
# home (HOME and the XDG folders), so your own settings, logs and mail are never touched.
#
#   scripts/screenshot-window.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR defaults to build and must hold the built quillmark and QuillmarkExternal;
# OUT_DIR defaults to BUILD_DIR/screenshots. Needs xvfb-run, xwininfo and ImageMagick's import.
# There is no window manager on the virtual display, so the pictures show the client area
# without a title bar.
set -euo pipefail
cd "$(dirname "$0")/.."

profile=Screenshots
application="Tollmere - $profile"

fail() {
    echo "screenshot-window.sh: $*" >&2
    exit 1
}

state() {
    "$quillmark" settings get "$application" Quillmark SendState 2>/dev/null || true
}

# Polls (every 0.1 s, at most 20 s) until the command succeeds.
eventually() {
    local _
    for _ in $(seq 200); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

window_id() {
    xwininfo -root -tree 2>/dev/null | awk '/"Quillmark"/ {print $1; exit}'
}

has_window() { [[ -n $(window_id) ]]; }
has_no_window() { [[ -z $(window_id) ]]; }
state_is() { [[ $(state) == "$1" ]]; }
past_second_recipient() { [[ $("$quillmark" settings get "$application" Quillmark RecipientIndex) -ge 2 ]]; }
process_gone() { ! kill -0 "$1" 2>/dev/null; }

shoot() {
    local name=$1 id
    id=$(window_id)
    [[ -n $id ]] || fail "no window to take ($name)"
    sleep 1 # let it paint
    import -window "$id" "$out/window-$name.png"
    echo "$out/window-$name.png"
}

# Runs on the virtual display.
on_display() {
    local sent pid
    sent=$("$quillmark" send examples/spring/Spring.xml --profile "$profile" --delay 2 --no-notify)
    pid=$(sed -n 's/^Started the Quillmark sender .* (process \([0-9]*\))\.$/\1/p' <<<"$sent")
    [[ -n $pid ]] || fail "the controller started no sender: $sent"
    eventually has_window || fail "the window did not appear"
    eventually past_second_recipient || fail "the second recipient was not sent"
    shoot sending

    # Suspending ends the sender with its place kept; a sender started again waits for resume.
    "$quillmark" suspend --profile "$profile" >/dev/null
    eventually process_gone "$pid" || fail "the suspended sender did not end"
    eventually has_no_window || fail "the suspended sender's window stayed"
    "$sender" &
    pid=$!
    eventually has_window || fail "the window of the restarted sender did not appear"
    shoot suspended

    "$quillmark" resume --profile "$profile" >/dev/null
    eventually state_is Completed || fail "the campaign did not complete (state $(state))"
    shoot finished
    kill "$pid"
    wait "$pid" || true
}

build=${1:-build}
out=${2:-$build/screenshots}
quillmark=$PWD/$build/src/cli/quillmark
sender=$PWD/$build/src/app/QuillmarkExternal
for program in "$quillmark" "$sender"; do
    [[ -x $program ]] || fail "$program not found; build $build first"
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The script calls itself again inside xvfb-run, in the throwaway home.
if [[ ${3:-} == --on-display ]]; then
    on_display
    exit
fi

home=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-screenshots-XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config/tollmere" "$home/data" "$home/runtime"
chmod 700 "$home/runtime"
cat >"$home/config/tollmere/mail-profiles.toml" <<EOF
default = "$profile"

[profiles.$profile]
user-name = "Ann Example"
user-address = "ann.example@example.com"

[[profiles.$profile.accounts]]
name = "Local delivery"
from = "Ann Example <ann.example@example.com>"
transport = "maildir:$home/delivered"
EOF
HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/runtime \
    xvfb-run --auto-servernum --server-args="-screen 0 1024x400x24 -dpi 96" \
    "$PWD/scripts/screenshot-window.sh" "$build" "$out" --on-display
