#!/usr/bin/env bash
# Windows checks on a Linux machine:
#  (a) every Windows-only source compiles (syntax only) with MinGW-w64 against Qt's headers;
#  (b) the resource script (icon group, version information, manifest) compiles;
#  (c) the Qt-free Win32 helpers (*_win32.cpp) and tests/win/ build into one test program
#      that carries the client's resources and runs under wine; any failed case fails.
# Usage: tools/windows-check.sh [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build-windows-check}")
mkdir -p "$out"

cxx=x86_64-w64-mingw32-g++-posix
windres=x86_64-w64-mingw32-windres
qt=/usr/include/x86_64-linux-gnu/qt6

common=(-std=c++20 -Wall -Wextra -Werror -DUNICODE -D_UNICODE -DORVIK_VERSION='"0.3.1"' -I.)
qt_includes=()
for module in "" QtCore QtGui QtNetwork QtQml QtQuick QtWidgets; do
    qt_includes+=(-isystem "$qt/$module")
done

echo "== (a) Windows sources, syntax only"
# Every source of the project, wherever it sits, but nothing from build folders.
project_sources() {
    find . -path './build*' -prune -o -path './.git' -prune -o -type f \( "$@" \) -print | sort
}
mapfile -t sources < <(project_sources -name '*_win.cpp' -o -name '*_win32.cpp')
for source in "${sources[@]}"; do
    echo "   $source"
    "$cxx" "${common[@]}" "${qt_includes[@]}" -fsyntax-only "$source"
done

echo "== (b) resource script"
"$windres" -O coff -i packaging/windows/orvik.rc -o "$out/orvik.res"

echo "== (c) Qt-free helpers under wine"
mapfile -t helpers < <(project_sources -name '*_win32.cpp')
mapfile -t cases < <(project_sources -path './tests/win/*.cpp')
"$cxx" "${common[@]}" -O1 -static -o "$out/wintests.exe" \
    "${cases[@]}" "${helpers[@]}" "$out/orvik.res" \
    -lcrypt32 -liphlpapi -lws2_32 -lshell32 -lole32 -luser32 -lgdi32 -ladvapi32 -lversion -luuid

export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The first run creates the prefix and may print about syswow64; only our exit code counts.
# Windows need a display: wine draws through X, so give it a virtual one.
timeout 600 xvfb-run -a wine "$out/wintests.exe"
echo "== Windows checks passed"
