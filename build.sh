#!/usr/bin/env bash
# ./build.sh run    installs what is missing, builds, and starts the client
# ./build.sh test   installs what is missing, builds, and runs every test
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-run}
build=${ORVIK_BUILD_DIR:-build}

tools/install-deps.sh
# shellcheck disable=SC2086  # extra arguments are meant to split
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${ORVIK_CMAKE_ARGS:-}
cmake --build "$build"

case "$mode" in
run)
    exec "$build/bin/OrvikVPN"
    ;;
test)
    exec tools/with-keyring.sh ctest --test-dir "$build" --output-on-failure
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
