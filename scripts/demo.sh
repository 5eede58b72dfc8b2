#!/usr/bin/env bash
# The first command: installs what is missing, builds zrsignal, synthesises a 16-second drum
# loop at 120 beats per minute and runs two lighting formulas on it, writing CSV and SVG files.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target zrsignal make-drumloop -j "$(nproc 2>/dev/null || echo 2)"

tools=build/default/tools
zrsignal=build/default/bin/zrsignal
out=build/demo
mkdir -p "$out"

"$tools/drumloop/make-drumloop" "$out/drumloop.wav"

chaser='counter(0, 7, onbeat(level))'
flash='__fadeoutlinear(12, onbeat(level))'
"$zrsignal" eval --audio "$out/drumloop.wav" --format csv "$chaser" >"$out/chaser.csv"
"$zrsignal" eval --audio "$out/drumloop.wav" --format csv "$flash" >"$out/flash.csv"
"$zrsignal" plot --audio "$out/drumloop.wav" --output "$out/chaser.svg" "$chaser"
"$zrsignal" plot --audio "$out/drumloop.wav" --output "$out/flash.svg" level --expr "$flash"

steps=$(awk -F, 'NR > 1 && $2 != previous { n++ } { previous = $2 } END { print n + 0 }' "$out/chaser.csv")
cat <<SUMMARY

Demo done. On a 16-second drum loop at 120 beats per minute (a kick on every beat):
  $chaser
      steps through 8 fixtures, once per beat: $steps steps in 640 frames at 40 fps
  $flash
      flashes a dimmer to 100 on each kick and fades it out over 12 frames

  audio:  $out/drumloop.wav
  values: $out/chaser.csv
          $out/flash.csv
  plots:  $out/chaser.svg
          $out/flash.svg (with the audio level)
SUMMARY
