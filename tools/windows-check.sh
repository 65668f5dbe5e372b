#!/usr/bin/env bash
# Windows checks on a Linux machine:
#  (a) every source a Windows build compiles (product, tests, tools; syntax only) compiles with
#      MinGW-w64 against Qt's headers;
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
for module in "" QtCore QtGui QtNetwork QtQml QtQuick QtQuickControls2 QtWidgets QtTest QtQuickTest; do
    qt_includes+=(-isystem "$qt/$module")
done

echo "== (a) every source a Windows build compiles, syntax only"
# Every source of the project, wherever it sits, but nothing from build folders.
project_sources() {
    find . -path './build*' -prune -o -path './.git' -prune -o -type f \( "$@" \) -print | sort
}
# Left out, as CMake leaves them out on Windows: the Linux halves, the wine program (built in
# (c)), the libFuzzer targets (clang only), and the tests and benchmarks built only off Windows
# in tests/CMakeLists.txt and bench/CMakeLists.txt.
mapfile -t sources < <(project_sources -name '*.cpp' -not -name '*_linux.cpp' \
    -not -path './tests/win/*' -not -path './tests/fuzz/*' \
    -not -path './tests/connection/tst_runtimefolders.cpp' \
    -not -path './tests/connection/tst_clientquit.cpp' \
    -not -path './tests/app/tst_executable.cpp' \
    -not -path './tests/routing/tst_processlist.cpp' \
    -not -path './tests/routing/tst_iconprovider.cpp' \
    -not -path './bench/bench_routing.cpp' -not -path './bench/bench_subscription.cpp' \
    -not -path './bench/bench_coreflood.cpp' -not -path './bench/bench_longlist.cpp')
mkdir -p "$out/generated" "$out/benchmark-include" "$out/moc"
# moc's output only defines what Q_OBJECT declares: an empty file stands in for the syntax.
grep -ohE '^#include "[A-Za-z0-9_]+\.moc"' "${sources[@]}" | cut -d'"' -f2 | sort -u |
    while read -r moc; do : > "$out/moc/$moc"; done
ln -sfn /usr/include/benchmark "$out/benchmark-include/benchmark" # header-only use here
sed 's/@[A-Z_]*@/example.invalid/g' profiles/deployment.h.in > "$out/generated/deployment.h"
defines=(-DORVIK_SOURCE_DIR='"."' -DORVIK_TEST_DATA='"."' -DORVIK_INSPECT_EXE='"x"'
         -DORVIK_CLIENT_EXE='"x"' -DORVIK_STANDIN_EXE='"x"' -DORVIK_FLOOR_EXE='"x"'
         -DORVIK_HARNESS_EXE='"x"'
         -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_NETWORK_LIB -DQT_QML_LIB -DQT_QUICK_LIB
         -DQT_TESTLIB_LIB)
printf '%s\n' "${sources[@]}" | xargs -P 2 -I{} sh -c 'echo "   $1"; shift; "$@"' _ {} \
    "$cxx" "${common[@]}" "${defines[@]}" -I"$out/generated" -I"$out/moc" -isystem "$out/benchmark-include" "${qt_includes[@]}" \
    -fsyntax-only {}

echo "== (b) resource script"
"$windres" -O coff -i packaging/windows/orvik.rc -o "$out/orvik.res"

echo "== (c) Qt-free helpers under wine"
mapfile -t helpers < <(project_sources -name '*_win32.cpp')
mapfile -t cases < <(project_sources -path './tests/win/*.cpp')
"$cxx" "${common[@]}" -O1 -static -o "$out/wintests.exe" \
    "${cases[@]}" "${helpers[@]}" "$out/orvik.res" \
    -lcrypt32 -liphlpapi -lws2_32 -lshell32 -lole32 -luser32 -lgdi32 -ladvapi32 -lversion -luuid

# A program without any icon, for the icon cases.
printf 'int main() { return 0; }\n' | "$cxx" -x c++ - -static -o "$out/noicon.exe"

export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The first run creates the prefix and may print about syswow64; only our exit code counts.
# Windows need a display: wine draws through X, so give it a virtual one.
timeout 600 xvfb-run -a wine "$out/wintests.exe"
echo "== Windows checks passed"
