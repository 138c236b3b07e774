#!/usr/bin/env bash
# Checks the Debian package that the package_build test made, unpacked into a temporary root far
# from the build tree:
#   check_package.sh unpacked|lintian|desktop|appstream PACKAGE_DIR
# Exit status 77 (skipped) only where the checking tool itself is not installed.
set -euo pipefail
mode=$1
shopt -s nullglob
debs=("$2"/*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "expected one .deb in $2, found ${#debs[@]}" >&2
  exit 1
fi
deb=${debs[0]}

fail() {
  echo "$mode: $*" >&2
  exit 1
}
need() {
  command -v "$1" >/dev/null 2>&1 || {
    echo "$mode: $1 is not installed (Debian package $2); skipped"
    exit 77
  }
}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

case $mode in
  unpacked)
    echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, $(dpkg-deb -c "$deb" | grep -vc '/$') files"
    # No ASMPIC_ASSETS and no source tree within reach: the programs find their data beside them.
    # The run is stored in a history of its own, not in the user's.
    score=$(env -u ASMPIC_ASSETS -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_DATA_HOME="$root/data" \
      "$root/usr/bin/asmbench" --headless --quiet) || fail "asmbench --headless --quiet failed: $score"
    [[ $score =~ ^Score:\ -?[0-9]+\ \((green|red)\)$ ]] || fail "unexpected output: $score"
    echo "unpacked asmbench: $score"
    "$root/usr/bin/asmpic" --help | grep -q '^Usage:' || fail "asmpic --help printed no usage"
    "$root/usr/bin/asmpic" "$root/usr/share/asmpic-bench/picture1.jpg" 'ASM_PixelEffects:OpCode=1' \
      -o "$root/contour.bmp" || fail "asmpic could not run a call on the packaged picture"
    [ -s "$root/contour.bmp" ] || fail "asmpic wrote no picture"

    expected=(
      usr/share/applications/asmpic-bench.desktop
      usr/share/metainfo/org.asmpicbench.AsmpicBench.metainfo.xml
      usr/share/icons/hicolor/scalable/apps/asmpic-bench.svg
      usr/share/man/man1/asmbench.1.gz usr/share/man/man1/asmpic.1.gz
      usr/share/bash-completion/completions/asmbench usr/share/bash-completion/completions/asmpic
      usr/share/asmpic-bench/picture1.jpg usr/share/asmpic-bench/picture2.bmp usr/share/asmpic-bench/icon.png
      usr/share/asmpic-bench/translations/asmbench_en.qm
      usr/share/doc/asmpic-bench/copyright usr/share/doc/asmpic-bench/changelog.gz
    )
    for size in 16 22 24 32 48 64 128 256 512; do
      expected+=("usr/share/icons/hicolor/${size}x${size}/apps/asmpic-bench.png")
    done
    for file in "${expected[@]}"; do
      [ -s "$root/$file" ] || fail "missing from the package: $file"
    done
    for size in 16 512; do
      file "$root/usr/share/icons/hicolor/${size}x${size}/apps/asmpic-bench.png" |
        grep -q "PNG image data, $size x $size" || fail "the ${size}x${size} icon has another size"
    done
    # The dependencies come from the programs' shared libraries.
    depends=$(dpkg-deb -f "$deb" Depends)
    [[ $depends == *libqt6widgets6* && $depends == *libc6* ]] || fail "Depends lacks the shared libraries: $depends"
    # Completion works only where bash-completion loads it.
    [[ $(dpkg-deb -f "$deb" Recommends) == *bash-completion* ]] || fail "the package does not recommend bash-completion"
    ;;
  lintian)
    need lintian lintian
    lintian --fail-on error --display-info "$deb"
    ;;
  desktop)
    need desktop-file-validate desktop-file-utils
    desktop-file-validate "$root/usr/share/applications/asmpic-bench.desktop"
    echo "desktop entry valid"
    ;;
  appstream)
    need appstreamcli appstream
    appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
    # The metadata, the desktop entry and the icons together, as a software centre reads them.
    appstreamcli validate-tree --no-net "$root"
    ;;
  *)
    fail "unknown mode"
    ;;
esac
