#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (plus AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60), starting from the
# committed corpus. New inputs go to build/fuzz-corpus/<target>; crashes to build/fuzz-crashes.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      TARGET: compile, macro, syntax, show, osc, studio (default: all)
# Without clang it says so and exits 0: the corpus replay of the test suite still runs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(compile macro syntax show osc studio)

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ not found: skipping the fuzzing run"
    exit 0
fi

build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZR_BUILD_TESTS=OFF -DZR_BUILD_BENCHMARKS=OFF -DZR_FUZZ_ENGINE=ON \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target $(printf '%s_fuzzer ' "${targets[@]}")

mkdir -p build/fuzz-crashes
# The sanitizer runtimes of this generation can take a malloc'd dynamic TLS block for an old
# glibc header and crash the leak check's tracer at exit; not intercepting __tls_get_addr avoids it.
export ASAN_OPTIONS="intercept_tls_get_addr=0${ASAN_OPTIONS:+:${ASAN_OPTIONS}}"
for target in "${targets[@]}"; do
    echo "=== ${target}: ${seconds} s ==="
    mkdir -p "build/fuzz-corpus/${target}"
    dictionary=fuzz/expressions.dict
    [ -f "fuzz/${target}.dict" ] && dictionary="fuzz/${target}.dict"
    "$build/fuzz/${target}_fuzzer" -dict="$dictionary" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build/fuzz-crashes/${target}-" \
        "build/fuzz-corpus/${target}" "fuzz/corpus/${target}"
done
