#!/usr/bin/env bash
# Regenerates the example plots (examples/*.svg) with zrsignal. Run scripts/demo.sh first, or
# pass the build's tools directory: examples/make-plots.sh [build/default/tools]
set -euo pipefail
cd "$(dirname "$0")"
tools=${1:-../build/default/tools}
zrsignal=$tools/../bin/zrsignal
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tools/drumloop/make-drumloop" "$work/drumloop.wav"

# 1. Beat-stepped chaser: four fixtures, one lit per beat, each with a short tail.
"$zrsignal" plot --audio "$work/drumloop.wav" --frames 160 --output beat-chaser.svg \
    '__fadeoutlinear(8, counter(0, 3, onbeat(level)) == 0)' \
    --expr '__fadeoutlinear(8, counter(0, 3, onbeat(level)) == 1)'

# 2. Breathing colour: the hue turns once in 20 s while the light breathes every 4 s.
hsi='50 + 50 * __sawtooth(__timeInc() / 20), 100, 25 + 25 * __sin(__timeInc() / 4)'
"$zrsignal" plot --frames 800 --output breathing-colour.svg --title "rgb.*.hsi($hsi)" \
    "rgb.red.hsi($hsi)" --expr "rgb.green.hsi($hsi)" --expr "rgb.blue.hsi($hsi)"

# 3. A sequence of looks with crossfades: full, slow breathing, strobe; 4 s each, 1.5 s fades.
"$zrsignal" plot --frames 960 --output looks-sequence.svg \
    'loop(12, 1.5, 100, 50 + 50 * __sin(__timeInc() / 2), __clock(__timeInc() * 4) > 0)'

# 4. Tap tempo: four taps on a button set the tempo; the pulse keeps going at that tempo.
"$zrsignal" plot --input taps.csv --frames 400 --output tap-tempo.svg \
    'tap' --expr '__taptempo(tap, 40)' --expr '__taptempobpm(tap, 40)'

# 5. Motor pan sweep across the 0/360 degree seam, on a moving head with 540 degrees of pan.
"$zrsignal" plot --frames 960 --output pan-sweep.svg \
    '(360 + 60 * __sin(__timeInc() / 8)) % 360' \
    --expr 'motor.pan(360 + 60 * __sin(__timeInc() / 8), 540) * 5.4'

echo "plots written to $(pwd)"
