#!/usr/bin/env bash
# Runs the real-window smoke test on a private X server: Xvfb, 24 bits deep, on a free display.
#   real_window.sh PROGRAM SCREENSHOT.png
set -euo pipefail
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "real window: xvfb-run is not installed; skipped"
  exit 77
fi
export QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$1" "$2"
