#!/usr/bin/env bash
# Measures the reference results shipped in assets/references: one headless run of each kernel
# variant (best, baseline, reference) on this machine, single core and with one engine per core,
# each saved as a result document that also says what produced it (processor, its instruction
# sets, kernel target, mode, threads, the commit and the fingerprint of the kernels' sources) and
# how. The test References.WereMeasuredWithTheKernelsOfThisBuild fails until this runs again after
# any edit of a kernel source.
#   [MIN_TIME=5] tools/measure-references.sh [ASMBENCH]     (default: build/release/app/asmbench)
# Rebuild first (the fingerprint is the build's). Takes about three minutes with MIN_TIME=5 (each
# kernel variant runs timed passes for 3 x MIN_TIME seconds and more, the reference kernels
# longest). Measure on an otherwise idle machine: other work on it lowers every figure.
set -euo pipefail
cd "$(dirname "$0")/.."
asmbench=${1:-build/release/app/asmbench}
min_time=${MIN_TIME:-5}
started=$SECONDS
threads=$(nproc)
out=assets/references
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for choice in best baseline reference; do
  echo "measure-references: $choice kernels, --min-time $min_time, --threads $threads" >&2
  "$asmbench" --headless --kernels "$choice" --min-time "$min_time" --threads "$threads" --no-save \
    --json "$tmp/$choice.json" >/dev/null
  python3 - "$tmp/$choice.json" "$out/$choice-kernels.json" "$choice" "$min_time" <<'PY'
import json, platform, sys
source, target, choice, min_time = sys.argv[1:]
with open(source, encoding="utf-8") as f:
    document = json.load(f)
flags = []
with open("/proc/cpuinfo", encoding="utf-8") as f:
    for line in f:
        if line.startswith(("flags", "Features")):
            flags = line.split(":", 1)[1].split()
            break
wanted = ["sse2", "ssse3", "sse4_1", "sse4_2", "avx", "avx2", "fma", "avx512f", "avx512bw", "avx512vl",
          "avx512_vnni", "asimd", "sve", "sve2"]
build = document["program"]["build"]
document["reference"] = {
    "description": f"the {choice} kernels",
    "measured_by": f"tools/measure-references.sh (asmbench --headless --kernels {choice} --min-time {min_time} "
                   f"--threads {document['settings']['threads']})",
    "cpu_model": document["machine"]["cpu_model"],
    "instruction_sets": [f for f in wanted if f in flags],
    "kernel_choice": build.get("kernel_choice", choice),
    "kernel_target": build.get("kernel_target"),
    "mode": document["mode"],
    "threads": document["settings"]["threads"],
    "source_commit": document["fingerprint"]["source_commit"],
    "kernel_sources": document["fingerprint"]["kernel_sources"],
}
with open(target, "w", encoding="utf-8") as f:
    json.dump(document, f, indent=1)
    f.write("\n")
PY
done
echo "measure-references: wrote $(ls "$out"/*.json | tr '\n' ' ')in $((SECONDS - started)) s" >&2
