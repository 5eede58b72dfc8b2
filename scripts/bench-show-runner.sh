#!/usr/bin/env bash
# The frame time of a big show: 100 universes of 128 RGBW pars each (51,200 slots, one
# formula per slot), run with the simulated clock, so frames follow each other as fast as they
# can. Prints the mean and maximum time of a frame's work (evaluating every formula, turning
# the values into slots and handing them over) from zrsignal's own summary line, and the CPU
# time per frame of the whole program:
#   - with the CSV rows written to /dev/null (no network), and
#   - sending all 100 universes by sACN, to 127.0.0.1 inside a network namespace of its own
#     when unshare -n is allowed (as root), so no packet leaves the machine; skipped otherwise.
#   scripts/bench-show-runner.sh [FRAMES]        (default 400)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-400}
cmake --preset default >/dev/null
cmake --build --preset default --target zrsignal -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
zrsignal=build/default/bin/zrsignal
out=build/bench-show
mkdir -p "$out"
show=$out/show-100-universes.toml

{
    echo "fps = 40"
    echo "[variables]"
    echo "level = 60"
    for u in $(seq 1 100); do
        printf '[[output]]\nuniverse = %d\nprotocol = "sacn"\naddress = "127.0.0.1"\n' "$u"
    done
    for u in $(seq 1 100); do
        cat <<FIXTURE
[[fixture]]
name = "pars$u"
universe = $u
address = 1
count = 128
channels = [
  { name = "red",   formula = "rgb.red.hsi((50 + 50*__sawtooth(0.05) + index*0.78) % 100, 100, 50)" },
  { name = "green", formula = "rgb.green.hsi((50 + 50*__sawtooth(0.05) + index*0.78) % 100, 100, 50)" },
  { name = "blue",  formula = "rgb.blue.hsi((50 + 50*__sawtooth(0.05) + index*0.78) % 100, 100, 50)" },
  { name = "white", formula = "__fadeoutlinear(10, counter(0, 127, onbeat(level)) == index) * level / 100" },
]
FIXTURE
    done
} >"$show"

# "M ms mean, X ms max" from the summary line on stderr.
frame_time() {
    sed -n 's/.*frame time \([0-9.]*\) ms mean, \([0-9.]*\) ms max.*/\1 ms mean, \2 ms max/p'
}

# Runs `zrsignal run SHOW --clock sim --frames N [OPTIONS]` (in a fresh network namespace when
# the first argument is "namespace") and prints its summary's frame time and the CPU seconds
# (user + system, every thread) it used, as "FRAME_TIME|CPU".
measure() {
    local where=$1 n=$2
    shift 2
    local command=("$zrsignal" run "$show" --clock sim --frames "$n" "$@")
    [ "$where" = namespace ] && command=(unshare -n sh -c 'ip link set lo up && exec "$0" "$@"' "${command[@]}")
    /usr/bin/time -f "cpu %U %S" -o "$out/time" "${command[@]}" 2>"$out/summary" >/dev/null
    echo "$(frame_time <"$out/summary")|$(awk '{ print $2 + $3 }' "$out/time")"
}

# The frame time measured by the loop itself is wall-clock time, which other work on the
# machine stretches; the CPU time per frame, from runs of N and of 0 frames, does not.
report() {
    local label=$1 where=$2
    shift 2
    local with without
    with=$(measure "$where" "$frames" "$@")
    without=$(measure "$where" 0 "$@")
    printf '  %-28s frame time %s; CPU %.1f ms per frame (compiling the show: %.1f s CPU)\n' "$label" \
        "${with%|*}" "$(echo "(${with#*|} - ${without#*|}) * 1000 / $frames" | bc -l)" "${without#*|}"
}

echo "show: $show (100 universes, 51,200 slots), $frames frames, --clock sim, $(nproc) cores, load ${load:-$(cut -d' ' -f1 /proc/loadavg)}"
report "--print csv > /dev/null:" here --print csv
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    report "sACN, 100 universes:" namespace
else
    echo "  sACN: skipped (needs root for unshare -n, so that no packet leaves the machine)"
fi
