#!/usr/bin/env bash
# Runs window_language on a private X server with the user's languages set for English or Russian,
# and an xdg-open first on PATH that cannot open anything (so no mail program ever starts).
#   window_language.sh PROGRAM en|ru PREFIX
set -euo pipefail
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "window language: xvfb-run is not installed; skipped"
  exit 77
fi
opener=$(mktemp -d)
trap 'rm -rf "$opener"' EXIT
printf '#!/bin/sh\necho "xdg-open: no method available for opening $1" >&2\nexit 4\n' >"$opener/xdg-open"
chmod +x "$opener/xdg-open"
export PATH="$opener:$PATH" QT_QPA_PLATFORM=xcb
unset LC_ALL LC_MESSAGES
case $2 in
  en) export LANGUAGE=en_GB:en LANG=en_GB.UTF-8 ;;
  ru) export LANGUAGE=ru_RU:ru:en LANG=ru_RU.UTF-8 ;;  # English comes second: Russian wins
esac
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$1" "$2" "$3"
