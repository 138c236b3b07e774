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
#   tools/install-deps.sh arm64   only what the arm64 build (preset arm64) and its tests under the
#                                 emulator need: the cross compiler, qemu-user, the :arm64 libraries
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  nlohmann-json3-dev libxxhash-dev libhwy-dev libmpfr-dev libmagick++-dev libjpeg-dev libpng-dev python3-jsonschema
  fonts-liberation2 qt6-translations-l10n xvfb xauth
  qt6-tools-dev qt6-l10n-tools librsvg2-bin
  dpkg-dev file lintian desktop-file-utils appstream
  stress-ng
  libpq-dev postgresql-15
)
if [ "${1:-}" = "bench" ]; then
  packages+=(libopencv-dev)
fi
# arm64: Qt's moc and rcc come from the native Qt; ImageMagick's arm64 runtime, its extra coders
# (metafiles) and its configuration header stand in for its development package, which cannot sit
# beside the native one (tools/cross-magick.sh makes it linkable from the native one's files). The
# emulator loads the programs with the multiarch C library, libc6:arm64.
if [ "${1:-}" = "arm64" ]; then
  packages=(
    cmake ninja-build pkg-config dpkg-dev qt6-base-dev nlohmann-json3-dev libcli11-dev libmagick++-dev
    g++-aarch64-linux-gnu qemu-user
    qt6-base-dev:arm64 qt6-svg-dev:arm64 libhwy-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64 libxxhash-dev:arm64
    libsqlite3-dev:arm64 libjpeg-dev:arm64 libpng-dev:arm64 libmpfr-dev:arm64
    libmagick++-6.q16-8:arm64 libmagickcore-6-arch-config:arm64 libmagickcore-6.q16-6-extra:arm64
    libc6:arm64
  )
fi
if [ "${1:-}" = "i386" ]; then
  packages=(
    g++-i686-linux-gnu qemu-user
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
# The cross builds' libraries come from Debian's multiarch archive for that architecture.
case "${1:-}" in
  i386|arm64)
    if ! dpkg --print-foreign-architectures | grep -qx "$1"; then
      $sudo dpkg --add-architecture "$1"
    fi
    ;;
esac
export DEBIAN_FRONTEND=noninteractive
# Another apt or dpkg at work (an upgrade, a second terminal) holds dpkg's lock: wait for it, up to
# ASMPIC_APT_LOCK_WAIT seconds, rather than fail at once, and say so.
wait=${ASMPIC_APT_LOCK_WAIT:-600}
if command -v lslocks >/dev/null 2>&1 && lslocks -n -o PATH 2>/dev/null | grep -q '^/var/lib/dpkg/lock'; then
  echo "install-deps: another apt or dpkg holds the package lock; waiting for it (up to ${wait} s)" >&2
fi
apt=(apt-get -o "DPkg::Lock::Timeout=$wait")
$sudo "${apt[@]}" update -qq
$sudo "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
