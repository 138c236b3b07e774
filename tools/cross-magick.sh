#!/usr/bin/env bash
# Makes ImageMagick's C++ library linkable for another architecture (i386, arm64) next to the
# native build. Debian's Magick++ development packages of two architectures cannot be installed
# together (some of their dependencies are not multiarch), but its runtime libraries and its
# per-architecture configuration headers can; the headers themselves are architecture-independent.
# What the development packages add is only pkg-config files and the unversioned .so links: this
# script writes both into DEST, from the native pkg-config files with the architecture swapped.
#   tools/cross-magick.sh TRIPLET DEST     e.g. tools/cross-magick.sh i386-linux-gnu build/magick-i386
# Then PKG_CONFIG_PATH=DEST/pkgconfig finds Magick++ for that architecture.
set -euo pipefail
triplet=$1
dest=$2
native=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=/usr/lib/$triplet

mkdir -p "$dest/pkgconfig" "$dest/lib"
dest=$(cd "$dest" && pwd)
for lib in Magick++-6.Q16 MagickWand-6.Q16 MagickCore-6.Q16; do
  soname=$(ls "$libdir"/lib"$lib".so.* 2>/dev/null | sort | head -n1 || true)
  if [ -z "$soname" ]; then
    echo "cross-magick: $libdir/lib$lib.so.* is missing (install its :${triplet%%-*} runtime package)" >&2
    exit 1
  fi
  ln -sfn "$soname" "$dest/lib/lib$lib.so"
done
for pc in ImageMagick-im6.q16 MagickWand-im6.q16 ImageMagick++-im6.q16; do
  sed -e "s|/usr/lib/$native|$dest/lib|g" -e "s|/usr/include/$native/|/usr/include/$triplet/|g" \
    "/usr/lib/$native/pkgconfig/$pc.pc" >"$dest/pkgconfig/$pc.pc"
done
ln -sfn ImageMagick-im6.q16.pc "$dest/pkgconfig/MagickCore-6.Q16.pc"
ln -sfn MagickWand-im6.q16.pc "$dest/pkgconfig/MagickWand-6.Q16.pc"
ln -sfn ImageMagick++-im6.q16.pc "$dest/pkgconfig/Magick++.pc"
