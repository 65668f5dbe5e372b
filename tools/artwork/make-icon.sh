#!/usr/bin/env bash
# Draws the application icon (1024 px) and packs "orvik.ico" with nine sizes from it.
# Needs ImageMagick. Output goes to qml/assets/.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=qml/assets
mkdir -p "$out"
convert -size 1024x1024 xc:none \
    -fill '#0b1418' -draw 'roundrectangle 64,64 960,960 200,200' \
    -fill none -stroke '#9df2d0' -strokewidth 64 \
    -draw 'stroke-linecap round path "M 632,332 A 240,240 0 1,1 392,332"' \
    -draw 'line 512,220 512,500' \
    -define png:color-type=6 "$out/orvik-app-icon.png"
python3 tools/artwork/pack-ico.py "$out/orvik-app-icon.png" "$out/orvik.ico" 16 20 24 32 40 48 64 128 256
