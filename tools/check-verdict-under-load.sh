#!/usr/bin/env bash
# Runs the benchmark alone, then beside `stress-ng --cpu 2`, and prints both verdicts: the run beside
# it must be noisy. The verdict depends on the machine's load, so this is a check to run by hand on a
# machine that is otherwise idle, not a test (stress-ng comes from tools/install-deps.sh).
#   tools/check-verdict-under-load.sh [ASMBENCH] [SECONDS]
set -euo pipefail
asmbench=${1:-build/release/app/asmbench}
seconds=${2:-5}
run() {
  "$asmbench" --headless --no-save --threads 0 --min-time "$seconds" --json - 2>/dev/null |
    python3 -c 'import json, sys; d = json.load(sys.stdin); v = d["verdict"]
print(v["state"] + "".join("; " + r["text"] for r in v["reasons"]))'
}
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "alone:          $(run)"
stress-ng --cpu 2 --timeout $((seconds * 3))s --quiet &
stressing=$!
trap 'kill "$stressing" 2>/dev/null || true' EXIT
sleep 1
beside=$(run)
echo "beside stress:  $beside"
case $beside in
  noisy* | *"other programs used"*) ;;
  *) echo "the run beside stress-ng should be noisy" >&2; exit 1 ;;
esac
