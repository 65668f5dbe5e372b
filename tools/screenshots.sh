#!/usr/bin/env bash
# Screenshots of the real window under a virtual X display, one per state:
#   tools/screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
# BUILD_DIR defaults to build/ (it needs the target orvik-ui-harness, built with the tests),
# OUTPUT_DIR to BUILD_DIR/screenshots. Needs xvfb-run, xauth and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots}
harness="$build/tests/ui/orvik-ui-harness"
[[ -x "$harness" ]] || { echo "build $harness first (cmake --build $build)" >&2; exit 1; }

if [[ -z "${ORVIK_SCREENSHOT_DISPLAY:-}" ]]; then
    exec xvfb-run -a -s '-screen 0 1280x1000x24' env ORVIK_SCREENSHOT_DISPLAY=1 "$0" "$build" "$out"
fi

mkdir -p "$out"
work=$(mktemp -d)
pid=
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# shot NAME WINDOW STATE [--show WHAT]
shot() {
    local name=$1 window=$2 state=$3
    shift 3
    rm -f "$work/ready"
    "$harness" --state "$state" --ready-file "$work/ready" "$@" &
    pid=$!
    for _ in $(seq 1 300); do
        [[ -s "$work/ready" ]] && break
        sleep 0.1
    done
    local id
    id=$(awk -v w="$window" '$1 == w { print $2 }' "$work/ready")
    [[ -n "$id" ]] || { echo "no $window window for $name" >&2; exit 1; }
    import -window "$id" "$out/$name.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
    echo "$out/$name.png"
}

shot main-empty main empty
shot main-servers main servers
shot main-connecting main connecting
shot main-connected main connected
shot main-error main error
shot main-small-connected main connected --size 420x650
shot popup main servers --show popup
shot popup-error main error --show popup
shot main-account main account
shot popup-account main account --show popup
shot sites sites servers --show sites
shot apps apps servers --show apps
