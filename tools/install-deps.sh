#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those that are missing.
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake ninja-build git pkg-config python3
    # Qt 6 and its QML modules
    qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools qt6-tools-dev
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
    qml6-module-qtquick-window qml6-module-qtquick-templates qml6-module-qtqml-workerscript
    qml6-module-qttest libgl1-mesa-dev
    # the QML base types' information, for qmllint
    qml6-module-qtqml qml6-module-qtqml-models
    # secrets in the desktop keyring
    libsecret-1-dev libsodium-dev gnome-keyring dbus-x11
    # tests: a virtual display, screenshots, the window font, benchmarks, fuzzing
    xvfb xauth x11-utils imagemagick fonts-manrope libbenchmark-dev clang libclang-rt-14-dev
    # the Linux desktop entry check
    desktop-file-utils
    openssl
    # Windows checks: cross compiler and wine
    mingw-w64 g++-mingw-w64-x86-64-posix wine64 wine
    # tools/fresh-check.sh: a fresh Debian root to prove these two commands on
    debootstrap
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
