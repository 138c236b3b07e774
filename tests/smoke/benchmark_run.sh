#!/usr/bin/env bash
# Presses start in the real window on a private X server and checks what the run printed and
# what the window showed at its end.
#   benchmark_run.sh ASMBENCH CHECKER SCREENSHOT.png
set -euo pipefail
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "benchmark run: xvfb-run is not installed; skipped"
  exit 77
fi
asmbench=$1 checker=$2 shot=$3
export QT_QPA_PLATFORM=xcb
out=$(xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$asmbench" --run --screenshot "$shot")
printf '%s\n' "$out"

captions=("Rotating... " "Smoothing... " "Contour... " "Emboss... " "Ripple... " "Relief... " "Twirl... ")
mapfile -t lines <<<"$out"
[ "${#lines[@]}" -eq 8 ] || { echo "expected 8 lines, got ${#lines[@]}"; exit 1; }
for i in "${!captions[@]}"; do
  [[ "${lines[$i]}" =~ ^"${captions[$i]}"[0-9]+([.,][0-9]+)?$ ]] || { echo "bad line $i: ${lines[$i]}"; exit 1; }
done
[[ "${lines[7]}" =~ ^Score:\ -?[0-9]+\ \((green|red)\)$ ]] || { echo "bad score line: ${lines[7]}"; exit 1; }
colour=${BASH_REMATCH[1]}
"$checker" "$shot" "$colour"
