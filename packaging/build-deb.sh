#!/usr/bin/env bash
# Builds the Debian package of the player from the built tree (make build) with dpkg-deb:
#   bash packaging/build-deb.sh [OUTPUT_FOLDER]      (default: build/)
# and prints the package's path as its last line.
#
# What it installs:
#   /usr/lib/velloran/          velloran.exe.so, Tavrin.dll, brellix.dll, cdemu/batchmnt.exe,
#                               cdemu/isofs: the player laid out as build/ holds it
#   /usr/bin/velloran           the command (packaging/velloran)
#   /usr/share/applications/velloran.desktop
#   /usr/share/icons/hicolor/<size>/apps/velloran.png
#
# Depends: the packages of the libraries the player and the image server link (found by
# dpkg-shlibdeps: libVLC, libswscale, FUSE, libudfread, libiso9660 and the C and C++ runtime),
# Wine to run the player, libVLC's plugins and the FUSE mount helper. No maintainer scripts:
# the desktop and icon caches are rebuilt by the dpkg triggers of desktop-file-utils and
# hicolor-icon-theme, on installing and on removing alike.
set -euo pipefail
out=${1-}
[[ -z "$out" || "$out" == /* ]] || out="$PWD/$out"
cd "$(dirname "$0")/.."
top=$PWD
build=${VELLORAN_BUILD:-$top/build}
out=${out:-$build}

for f in velloran.exe.so Tavrin.dll brellix.dll cdemu/batchmnt.exe cdemu/isofs; do
    [[ -f "$build/$f" ]] ||
        { echo "build-deb: $build/$f is missing; run make build first" >&2; exit 1; }
done

version=$(tr -d ' \n' < packaging/VERSION)
arch=$(dpkg --print-architecture)
stage=$(mktemp -d /tmp/velloran-deb.XXXXXX)
trap 'rm -rf "$stage"' EXIT
root="$stage/debian/velloran"
lib="$root/usr/lib/velloran"

install -d "$lib/cdemu" "$root/usr/bin" "$root/usr/share/applications" "$root/DEBIAN"
# Stripped as Debian strips: the dynamic symbols (Wine finds the player's by them) stay.
strip_to() {
    strip --strip-unneeded --remove-section=.comment --remove-section=.note -o "$2" "$1"
    chmod 755 "$2"
}
strip_to "$build/velloran.exe.so" "$lib/velloran.exe.so"
strip_to "$build/cdemu/isofs" "$lib/cdemu/isofs"
install -m 644 "$build/Tavrin.dll" "$build/brellix.dll" "$lib/"
install -m 755 "$build/cdemu/batchmnt.exe" "$lib/cdemu/"
install -m 755 packaging/velloran "$root/usr/bin/velloran"
install -m 644 packaging/velloran.desktop "$root/usr/share/applications/velloran.desktop"

# The icon: the disc of the product logo (the left 145 x 155 pixels of resources/logo.png),
# centred on a transparent square. No time stamps in the PNGs: the same build, the same files.
disc="$stage/disc.png"
convert resources/logo.png -crop 145x155+0+0 +repage -trim +repage -background none \
    -gravity center -extent 128x128 "$disc"
for size in 16 24 32 48 64 128; do
    dir="$root/usr/share/icons/hicolor/${size}x${size}/apps"
    install -d "$dir"
    convert "$disc" -resize "${size}x${size}" -strip -define png:exclude-chunks=date,time \
        "PNG32:$dir/velloran.png"
    chmod 644 "$dir/velloran.png"
done

# The shared libraries' packages, with the versions their symbols need.
cat > "$stage/debian/control" <<CONTROL
Source: velloran

Package: velloran
Architecture: any
CONTROL
shlibs=$(cd "$stage" && dpkg-shlibdeps -O "$lib/velloran.exe.so" "$lib/cdemu/isofs" 2>/dev/null |
         sed -n 's/^shlibs:Depends=//p')
[[ -n "$shlibs" ]] || { echo "build-deb: dpkg-shlibdeps found no library packages" >&2; exit 1; }
# The player is a 64-bit Winelib program, built against this Wine.
wine_version=$(dpkg-query -W -f='${Version}' wine64)
wine_upstream=${wine_version#*:}
wine_upstream=${wine_upstream%%[~+-]*}
depends="wine (>= $wine_upstream~), wine64 (>= $wine_upstream~), vlc-plugin-base, fuse3, $shlibs"
rm -f "$stage/debian/control"

size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat > "$root/DEBIAN/control" <<CONTROL
Package: velloran
Version: $version
Architecture: $arch
Maintainer: Velloran developers <velloran@quondel.invalid>
Installed-Size: $size
Depends: $depends
Section: video
Priority: optional
Description: disc image player for Windows, run under Wine
 Velloran plays disc images as discs: an .iso is mounted read-only as a
 virtual drive and its DVD-Video, Blu-ray or Video CD structure plays with
 titles, chapters, audio and subtitle tracks through libVLC. It also plays
 DVD and Blu-ray folders and ordinary media files.
 .
 This package runs the Windows player under Wine in a Wine prefix of its own
 (~/.local/share/velloran/wine), offers it for disc images and media files
 in the desktop's menus and "Open With" lists, and starts it with the
 command velloran.
CONTROL
(cd "$root" && find usr -type f -exec md5sum {} + | sort -k2) > "$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$out"
deb="$out/velloran_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
