#!/usr/bin/env bash
# Draws the application icon (1024 px): a mint ring with an orbiting dot on a dark tile.
# From it: "orvik.ico" with nine sizes (Windows executable, window and tray icon) and the
# hicolor theme PNGs that the Linux install puts beside the desktop entry.
# Needs ImageMagick and python3. Output goes to qml/assets/ and packaging/linux/icons/.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=qml/assets
linux=packaging/linux/icons/hicolor
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Masks are grey images (white = inside); colour layers take their opacity from them.
paint() { # colour-source mask output
    convert "$1" \( "$2" -colorspace Gray \) -alpha off -compose CopyOpacity -composite "$3"
}

# The tile: a rounded square with a deep teal gradient and a soft light from the top left.
convert -size 1024x1024 xc:black -fill white -draw 'roundrectangle 64,64 960,960 210,210' "$work/tile-mask.png"
convert -size 1024x1024 gradient:'#18403f'-'#0a1519' "$work/tile-colour.png"
convert -size 1024x1024 xc:black -fill white -draw 'ellipse 330,230 430,300 0,360' -blur 0x150 \
    -evaluate multiply 0.25 "$work/light-mask.png"
convert -size 1024x1024 xc:'#9df2d0' "$work/light-colour.png"
paint "$work/light-colour.png" "$work/light-mask.png" "$work/light.png"
convert "$work/tile-colour.png" "$work/light.png" -compose Over -composite "$work/tile-lit.png"
paint "$work/tile-lit.png" "$work/tile-mask.png" "$work/tile.png"
# A hairline rim so the tile keeps its edge on dark panels.
convert -size 1024x1024 xc:none -fill none -stroke '#2f5a5a' -strokewidth 6 \
    -draw 'roundrectangle 67,67 957,957 207,207' "$work/rim.png"

# The mark: a ring open at the upper right, where a dot sits on its orbit.
# Centre (512,530), radius 270; the ring runs clockwise from -13 deg round to -77 deg.
geometry=$(python3 -c '
import math
cx, cy, r = 512, 530, 270
at = lambda a: (cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
ring = " ".join("%.1f,%.1f" % at(-13 + k * 296 / 160) for k in range(161))
dx, dy = at(-45)
print("polyline %s" % ring)
print("%.1f,%.1f %.1f,%.1f" % (dx, dy, dx + 58, dy))')
ring=$(sed -n 1p <<<"$geometry")
dot=$(sed -n 2p <<<"$geometry")
convert -size 1024x1024 xc:black -fill none -stroke white -strokewidth 112 \
    -draw "stroke-linecap round stroke-linejoin round $ring" \
    -stroke none -fill white -draw "circle $dot" "$work/mark-mask.png"
convert -size 1024x1024 gradient:'#c8fbe8'-'#5ccdac' "$work/mark-colour.png"
paint "$work/mark-colour.png" "$work/mark-mask.png" "$work/mark.png"
# A faint glow under the mark.
convert "$work/mark-mask.png" -blur 0x40 -evaluate multiply 0.45 "$work/glow-mask.png"
convert -size 1024x1024 xc:'#9df2d0' "$work/glow-colour.png"
paint "$work/glow-colour.png" "$work/glow-mask.png" "$work/glow.png"

convert "$work/tile.png" "$work/rim.png" -compose Over -composite \
    "$work/glow.png" -compose Over -composite \
    "$work/mark.png" -compose Over -composite \
    -strip -depth 8 -define png:color-type=6 "$out/orvik-app-icon.png"

python3 tools/artwork/pack-ico.py "$out/orvik-app-icon.png" "$out/orvik.ico" 16 20 24 32 40 48 64 128 256

for size in 16 24 32 48 64 128 256 512; do
    mkdir -p "$linux/${size}x${size}/apps"
    convert "$out/orvik-app-icon.png" -filter Lanczos -resize "${size}x${size}" \
        -strip -depth 8 -define png:color-type=6 "$linux/${size}x${size}/apps/com.orvikvpn.OrvikVPN.png"
done
