#!/usr/bin/env bash
# Builds and runs the tests.
#   scripts/test.sh          the optimised build and all its tests but the soak: what to run after
#                            a change.
#   scripts/test.sh --all    the full matrix that CI runs: the optimised build and its tests, the
#                            soak included; a Release build (-O3) where every warning is an error;
#                            every test but the soak with AddressSanitizer and
#                            UndefinedBehaviorSanitizer; the tests of parsers on several threads
#                            and of shows on several frame threads under ThreadSanitizer.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    "") all=false ;;
    --all) all=true ;;
    *) echo "usage: scripts/test.sh [--all]" >&2; exit 2 ;;
esac
jobs=$(nproc 2>/dev/null || echo 2)
presets=(default)
$all && presets+=(release asan)
for preset in "${presets[@]}"; do
    echo "=== ${preset} ==="
    cmake --preset "${preset}" >/dev/null
    cmake --build --preset "${preset}" -j "${jobs}"
    # The soak (label "soak", minutes long) runs in the full matrix's default build only: under
    # the sanitizers it would take many times as long.
    if [ "${preset}" = default ] && $all; then
        ctest --preset "${preset}" -j "${jobs}"
    elif [ "${preset}" != release ]; then
        ctest --preset "${preset}" -j "${jobs}" -LE soak
    fi
done
if $all; then
    echo "=== tsan ==="
    cmake --preset tsan >/dev/null
    cmake --build --preset tsan -j "${jobs}" --target threads_test show_differential_test
    ctest --preset tsan -R '^Threads\.|RandomShow'
fi
echo "All tests passed."
