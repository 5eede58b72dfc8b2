#!/usr/bin/env bash
# Builds the speed table and zrsignal (default preset) and prints every speed figure as
# markdown: the machine, evaluation beside hand-written C++ and peer engines, a show of many
# formulas, compile times and a million-frame zrsignal run.
# ExprTk joins the table when ZR_EXPRTK_INCLUDE_DIR names a directory holding exprtk.hpp.
# Usage: scripts/bench.sh [table] [show] [pixels] [compile] [zrsignal]   (no argument: all)
set -euo pipefail
cd "$(dirname "$0")/.."

configure=(cmake --preset default)
if [[ -n "${ZR_EXPRTK_INCLUDE_DIR:-}" ]]; then
    configure+=("-DZR_EXPRTK_INCLUDE_DIR=${ZR_EXPRTK_INCLUDE_DIR}")
fi
"${configure[@]}" >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target speed_table zrsignal >/dev/null

sections=("$@")
[[ ${#sections[@]} -gt 0 ]] || sections=(table show pixels compile zrsignal)
wanted() {
    local s
    for s in "${sections[@]}"; do [[ "$s" == "$1" ]] && return 0; done
    return 1
}

model=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
cpus=$(lscpu | sed -n 's/^CPU(s): *//p' | head -n 1)
printf 'Machine: %s, %s CPUs, %s.\n\n' "${model:-unknown CPU}" "${cpus:-?}" "$(uname -sr)"

table_sections=()
for s in table show pixels compile; do
    if wanted "$s"; then table_sections+=("$s"); fi
done
if [[ ${#table_sections[@]} -gt 0 ]]; then
    build/default/bench/speed_table "${table_sections[@]}" 2>/dev/null
fi

if wanted zrsignal; then
    zrsignal=build/default/bin/zrsignal
    formula='__sin(0.1)*50+50'
    runs=7
    if command -v hyperfine >/dev/null; then
        json=$(mktemp)
        hyperfine --warmup 1 --runs "${runs}" --export-json "${json}" \
            "${zrsignal} eval --frames 1000000 '${formula}'" >/dev/null
        seconds=$(sed -n 's/.*"median": *\([0-9.e+-]*\).*/\1/p' "${json}" | head -n 1)
        rm -f "${json}"
    else
        times=()
        for ((i = 0; i < runs; ++i)); do
            start=$(date +%s.%N)
            "${zrsignal}" eval --frames 1000000 "${formula}" >/dev/null
            end=$(date +%s.%N)
            times+=("$(awk -v a="${start}" -v b="${end}" 'BEGIN { print b - a }')")
        done
        seconds=$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$((runs / 2 + 1))p")
    fi
    printf '`zrsignal eval --frames 1000000 '\''%s'\'' > /dev/null`: %.3f s (median of %d runs).\n' \
        "${formula}" "${seconds}" "${runs}"
fi
