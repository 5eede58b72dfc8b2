#!/usr/bin/env bash
# Builds and runs every test: optimised, then with AddressSanitizer and
# UndefinedBehaviorSanitizer; then the tests of parsers on several threads under
# ThreadSanitizer. In between, a Release build (-O3) where every warning is an error.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
for preset in default release asan; do
    echo "=== ${preset} ==="
    cmake --preset "${preset}" >/dev/null
    cmake --build --preset "${preset}" -j "${jobs}"
    if [ "${preset}" != release ]; then
        ctest --preset "${preset}" -j "${jobs}"
    fi
done
echo "=== tsan ==="
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "${jobs}" --target threads_test
ctest --preset tsan -R '^Threads\.'
echo "All tests passed."
