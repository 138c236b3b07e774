#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Quiet and quick when
# everything is already there; runs `apt-get update` once, only when something is missing.
#   tools/install-deps.sh         what the programs and the tests need
#   tools/install-deps.sh bench   that, and OpenCV for the side-by-side benchmark (bench/peers_bench)
#   tools/install-deps.sh i386    only what the i386 build adds to that (preset i386): the cross
#                                 compiler and the :i386 libraries; of ImageMagick the runtime (with the
#                                 extra decoders, metafiles among them) and the configuration header
#                                 only, since its development packages cannot sit beside the native
#                                 ones (tools/cross-magick.sh makes it linkable)
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
if [ "${1:-}" = "i386" ]; then
  packages=(
    g++-i686-linux-gnu
    qt6-base-dev:i386 qt6-svg-dev:i386 qt6-tools-dev:i386 libsqlite3-dev:i386
    libgtest-dev:i386 libgmock-dev:i386 libxxhash-dev:i386 libhwy-dev:i386 libjpeg-dev:i386 libpng-dev:i386
    libmpfr-dev:i386
    libmagick++-6.q16-8:i386 libmagickcore-6.q16-6-extra:i386 libmagickcore-6-arch-config:i386
  )
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
if [ "${1:-}" = "i386" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
