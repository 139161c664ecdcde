#!/usr/bin/env bash
# Draws the window icon, a blue quill writing on a sealed letter, at 32 x 32 and 16 x 16
# pixels in at most 16 colours. The PNG files are kept in the repository; run this again
# after changing the drawing. Needs ImageMagick 6 (`convert`).
set -euo pipefail
cd "$(dirname "$0")"

ink='#0f2a52'
paper='#f3ead2'

# draw SIZE LINE SEAL OUT: the picture on a 256-pixel canvas with strokes LINE wide (thicker
# for the small size, so the shapes survive the reduction), reduced to SIZE.
draw() {
    local size=$1 line=$2 seal=$3 out=$4
    local half=$((line / 2))
    local commands=(
        # the letter and its flap
        -stroke "$ink" -strokewidth "$line" -fill "$paper" -draw "roundrectangle 12,96 200,232 12,12"
        -fill none -strokewidth "$((line * 3 / 4))" -draw "polyline 18,102 106,164 194,102"
    )
    if [[ $seal == yes ]]; then
        commands+=(-stroke '#7a1f17' -strokewidth "$half" -fill '#c0392b' -draw "circle 70,186 70,208")
    fi
    commands+=(
        # the quill: a blue vane with a light rib, and a gold nib touching the letter
        -stroke "$ink" -strokewidth "$half" -fill '#2f6fb5'
        -draw "path 'M 248,6 C 196,22 150,78 136,160 C 180,132 232,80 248,6 Z'"
        -stroke '#8fc3ee' -strokewidth "$((line / 3 + 1))" -fill none
        -draw "path 'M 242,16 C 204,50 168,100 142,154'"
        -stroke "$ink" -strokewidth "$half" -fill '#e3b23c' -draw "polygon 128,150 108,220 156,166"
    )
    convert -size 256x256 xc:none "${commands[@]}" \
        -filter Box -resize "${size}x${size}" +dither -colors 16 -define png:color-type=3 "PNG8:$out"
}

draw 32 12 yes quillmark-32.png
draw 16 22 no quillmark-16.png
