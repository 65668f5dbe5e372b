#!/usr/bin/env bash
# The Linux install puts the executable, the desktop entry and the theme icons where desktop
# menus find them, with Exec pointing at the installed executable (also under DESTDIR).
#   check-linux-install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
id=com.orvikvpn.OrvikVPN
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

check() { # ROOT PREFIX: files under ROOT, paths inside the entry relative to PREFIX
    local root=$1 prefix=$2 entry size icon
    entry="$root$prefix/share/applications/$id.desktop"
    [[ -x "$root$prefix/bin/OrvikVPN" ]] || fail "no executable in $root$prefix/bin"
    [[ -f "$entry" ]] || { fail "no desktop entry at $entry"; return; }
    for line in "Exec=$prefix/bin/OrvikVPN" "Icon=$id" "Type=Application"; do
        grep -qx "$line" "$entry" || fail "the entry has no line $line"
    done
    for size in 16 24 32 48 64 128 256 512; do
        icon="$root$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
        # width x height from the PNG header
        [[ -f "$icon" && $(python3 -c 'import struct,sys; print("%dx%d" % struct.unpack(">II", open(sys.argv[1],"rb").read(24)[16:24]))' "$icon") == "${size}x${size}" ]] ||
            fail "no ${size}x${size} icon at $icon"
    done
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
    else
        echo "desktop-file-validate not installed: entry not validated"
    fi
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check "" "$work/prefix"
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
check "$work/stage" /usr

[[ $failures -eq 0 ]] && echo "install layout ok"
exit $((failures > 0))
