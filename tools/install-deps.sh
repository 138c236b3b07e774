#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Quiet and quick when
# everything is already there; runs `apt-get update` once, only when something is missing.
#   tools/install-deps.sh         what the programs and the tests need
#   tools/install-deps.sh bench   that, and OpenCV for the side-by-side benchmark (bench/peers_bench)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  nlohmann-json3-dev libxxhash-dev libhwy-dev libmpfr-dev libmagick++-dev libjpeg-dev libpng-dev python3-jsonschema
  fonts-liberation2 xvfb xauth
  qt6-tools-dev qt6-l10n-tools librsvg2-bin
  dpkg-dev file lintian desktop-file-utils appstream
)
if [ "${1:-}" = "bench" ]; then
  packages+=(libopencv-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
