#!/usr/bin/env bash
# Draws the brand image "orvik-brand.png" (700 × 180, transparent): the ring-and-dot mark
# of the application icon beside the wordmark "OrvikVPN" set in Manrope ExtraBold.
# Needs ImageMagick, python3 and the font in qml/assets/ (tools/artwork/copy-font.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=qml/assets
font="$out/Manrope-ExtraBold.ttf"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The mark, drawn four times larger than placed and scaled down for clean edges.
geometry=$(python3 -c '
import math
cx, cy, r = 320, 320, 215
at = lambda a: (cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
ring = " ".join("%.1f,%.1f" % at(-13 + k * 296 / 160) for k in range(161))
dx, dy = at(-45)
print("polyline %s" % ring)
print("%.1f,%.1f %.1f,%.1f" % (dx, dy, dx + 46, dy))')
ring=$(sed -n 1p <<<"$geometry")
dot=$(sed -n 2p <<<"$geometry")
convert -size 640x640 xc:black -fill none -stroke white -strokewidth 90 \
    -draw "stroke-linecap round stroke-linejoin round $ring" \
    -stroke none -fill white -draw "circle $dot" -colorspace Gray "$work/mark-mask.png"
convert -size 640x640 gradient:'#c8fbe8'-'#5ccdac' "$work/mark-mask.png" \
    -alpha off -compose CopyOpacity -composite -filter Lanczos -resize 150x150 "$work/mark.png"

# The wordmark: "Orvik" in the window's text colour, "VPN" in its accent.
convert -background none -font "$font" -pointsize 104 -kerning -3 \
    -fill '#f1f7f7' label:Orvik -fill '#9df2d0' label:VPN -gravity south +append \
    -trim +repage "$work/word.png"

convert -size 700x180 xc:none \
    "$work/mark.png" -gravity west -geometry +8+0 -compose Over -composite \
    "$work/word.png" -gravity west -geometry +186+2 -compose Over -composite \
    -strip -depth 8 -define png:color-type=6 "$out/orvik-brand.png"
identify "$out/orvik-brand.png"
