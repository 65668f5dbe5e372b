#!/usr/bin/env bash
# Copies the Manrope font from Debian's fonts-manrope into qml/assets/ and writes its
# licence text (SIL OFL 1.1) as OFL.txt. "Manrope.ttf" is the regular face the window
# loads first; the heavier weights it uses (semi-bold, bold, extra-bold) sit beside it under
# their own names. The light weights are left out: every loaded face costs start-up time.
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=/usr/share/fonts/truetype/manrope
copyright=/usr/share/doc/fonts-manrope/copyright
out=qml/assets
[[ -f "$source_dir/Manrope-Regular.ttf" ]] || { echo "install fonts-manrope first" >&2; exit 1; }

cp "$source_dir/Manrope-Regular.ttf" "$out/Manrope.ttf"
for weight in SemiBold Bold ExtraBold; do
    cp "$source_dir/Manrope-$weight.ttf" "$out/Manrope-$weight.ttf"
done

# The upstream notice and licence paragraph of the Debian copyright file, unfolded.
{
    echo "Copyright 2018-2020 Mikhail Sharanda"
    echo "Copyright 2018 The Manrope Project Authors (https://github.com/sharanda/manrope)"
    echo
    awk '
        /^License: OFL-1.1/ { inside = 1; next }
        inside && /^[^ ]/ { exit }
        inside { sub(/^ /, ""); if ($0 == ".") $0 = ""; print }
    ' "$copyright"
} > "$out/OFL.txt"
