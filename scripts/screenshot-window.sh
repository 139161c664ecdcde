#!/usr/bin/env bash
# Takes pictures of the progress window on a virtual X display (Xvfb), one PNG per look:
# mid-campaign, finished, idle, and with captions too long for their rows. Not run by CI; for
# looking at the window after changing it.
#
#   scripts/screenshot-window.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR defaults to build-window and must hold the window_demo program
# (cmake --build BUILD_DIR --target window_demo); OUT_DIR defaults to BUILD_DIR/screenshots.
# Needs xvfb-run, xwininfo and ImageMagick's import. There is no window manager on the
# virtual display, so the pictures show the client area without a title bar.
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs on the virtual display: shows each look, waits for the window, grabs it.
shoot() {
    local demo=$1 out=$2 look id
    for look in sending finished idle long; do
        "$demo" "$look" 4 &
        id=
        for _ in $(seq 50); do
            id=$(xwininfo -root -tree 2>/dev/null | awk '/"Quillmark"/ {print $1; exit}')
            [[ -n $id ]] && break
            sleep 0.1
        done
        if [[ -z $id ]]; then
            echo "screenshot-window.sh: the window did not appear ($look)" >&2
            kill "$!" 2>/dev/null || true
            return 1
        fi
        sleep 1 # let it paint
        import -window "$id" "$out/window-$look.png"
        echo "$out/window-$look.png"
        wait "$!"
    done
}

# The script calls itself again inside xvfb-run.
if [[ ${1:-} == --on-display ]]; then
    shoot "$2" "$3"
    exit
fi

build=${1:-build-window}
out=${2:-$build/screenshots}
demo=$build/tests/app/window_demo
if [[ ! -x $demo ]]; then
    echo "screenshot-window.sh: $demo not found; build the window_demo target first" >&2
    exit 1
fi
mkdir -p "$out"
xvfb-run --auto-servernum --server-args="-screen 0 1024x400x24 -dpi 96" \
    "$PWD/scripts/screenshot-window.sh" --on-display "$demo" "$out"
