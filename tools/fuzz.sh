#!/usr/bin/env bash
# tools/fuzz.sh SECONDS
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/, replays the crashing inputs kept in tests/fuzz/regressions/<target>/, then
# fuzzes every target for SECONDS, starting from the seeds in tests/fuzz/corpus/<target>/.
# Fails on any crash, leak, time-out, broken check or sanitizer report; the input that did it
# lands in build-fuzz/fuzz-artifacts/<target>/.
# Targets are declared in tests/fuzz/CMakeLists.txt (orvik_add_fuzzer) and found from there.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-}
if [[ ! $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 SECONDS" >&2
    exit 2
fi
build=${ORVIK_FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVIK_BUILD_FUZZERS=ON -DORVIK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzzers

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

mapfile -t targets <"$build/fuzzers.txt"
failed=()
for target in "${targets[@]}"; do
    [[ -n $target ]] || continue
    exe="$build/tests/fuzz/$target"
    artifacts="$build/fuzz-artifacts/$target"
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$artifacts" "$corpus"
    options=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/")
    [[ -f tests/fuzz/$target.dict ]] && options+=(-dict="tests/fuzz/$target.dict")

    regressions=()
    if [[ -d tests/fuzz/regressions/$target ]]; then
        mapfile -t regressions < <(find "tests/fuzz/regressions/$target" -type f | sort)
    fi
    if [[ ${#regressions[@]} -gt 0 ]]; then
        echo "== $target: replaying ${#regressions[@]} regression inputs"
        if ! "$exe" "${options[@]}" "${regressions[@]}"; then
            failed+=("$target (regressions)")
            continue
        fi
    fi

    echo "== $target: fuzzing for $seconds s"
    # New inputs go to the first folder (inside the build); the committed seeds stay as they are.
    if ! "$exe" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        "$corpus" "tests/fuzz/corpus/$target"; then
        failed+=("$target")
    fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
    echo "== fuzzing FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "== fuzzing passed: ${targets[*]}"
