#!/usr/bin/env bash
# Builds the Windows installer with Debian's NSIS (makensis) from the MinGW build and a libVLC
# for Windows:
#   bash packaging/build-windows-installer.sh LIBVLC_DIR [OUTPUT_FOLDER]   (default: build/)
#   bash packaging/build-windows-installer.sh --check LIBVLC_DIR           (only the check)
# LIBVLC_DIR is a folder of VLC for Windows (64-bit) holding libvlc.dll, libvlccore.dll and
# plugins\, as the VLC zip for win64 unpacks. Prints the installer's path as its last line.
# The installer (packaging/velloran.nsi) holds velloran.exe (build/mingw/bin), Tavrin.dll,
# brellix.dll, cdemu/batchmnt.exe and that libVLC.
set -euo pipefail
# Folders given relative to where the command was started.
absolute() { [[ -z "$1" || "$1" == /* ]] && printf '%s' "$1" || printf '%s' "$PWD/$1"; }
check_only=0
if [[ "${1-}" == "--check" ]]; then check_only=1; shift; fi
libvlc=$(absolute "${1-}")
out=$(absolute "${2-}")
cd "$(dirname "$0")/.."
top=$PWD
build=${VELLORAN_BUILD:-$top/build}
out=${out:-$build}

# What is missing, said at once and all of it, before anything is built.
if [[ -z "$libvlc" ]]; then
    cat >&2 <<MSG
windows-installer: LIBVLC_DIR is not set. The installer carries libVLC for Windows, which this
machine does not build: give the folder of a 64-bit VLC for Windows (the vlc-3.x-win64 zip
unpacked), which holds libvlc.dll, libvlccore.dll and plugins\\, as in
    make windows-installer LIBVLC_DIR=/path/to/vlc-3.0.20
MSG
    exit 2
fi
if [[ ! -d "$libvlc" ]]; then
    echo "windows-installer: LIBVLC_DIR=$libvlc is no folder. It should be the folder of a" >&2
    echo "64-bit VLC for Windows (libvlc.dll, libvlccore.dll, plugins\\)." >&2
    exit 2
fi
missing=()
[[ -f "$libvlc/libvlc.dll" ]] || missing+=("libvlc.dll")
[[ -f "$libvlc/libvlccore.dll" ]] || missing+=("libvlccore.dll")
[[ -d "$libvlc/plugins" ]] || missing+=("the plugins folder")
if ((${#missing[@]})); then
    echo "windows-installer: LIBVLC_DIR=$libvlc lacks what the installer carries:" >&2
    printf '    %s\n' "${missing[@]}" >&2
    echo "It should be the folder of a 64-bit VLC for Windows" \
        "(libvlc.dll, libvlccore.dll, plugins\\)." >&2
    exit 2
fi
((check_only)) && exit 0

command -v makensis >/dev/null || {
    echo "windows-installer: makensis is missing" \
        "(Debian's nsis; scripts/install-deps.sh installs it)" >&2
    exit 2
}

for f in mingw/bin/velloran.exe Tavrin.dll brellix.dll cdemu/batchmnt.exe; do
    [[ -f "$build/$f" ]] ||
        { echo "windows-installer: $build/$f is missing; run make build first" >&2; exit 1; }
done

version=$(tr -d ' \n' < packaging/VERSION)
work=$(mktemp -d /tmp/velloran-nsis.XXXXXX)
trap 'rm -rf "$work"' EXIT
stage="$work/stage"
gen="$work/generated"
mkdir -p "$stage/cdemu" "$gen"
cp "$build/mingw/bin/velloran.exe" "$build/Tavrin.dll" "$build/brellix.dll" "$stage/"
cp "$build/cdemu/batchmnt.exe" "$stage/cdemu/"
cp "$libvlc/libvlc.dll" "$libvlc/libvlccore.dll" "$stage/"
cp -r "$libvlc/plugins" "$stage/plugins"

# files.nsh: every staged file, installed folder by folder and removed one by one (and then its
# folders, deepest first, each only once empty): the uninstaller removes what was installed
# and nothing else of the folder.
nsis_quote() { local s=${1//\$/\$\$}; printf '%s' "${s//\"/\$\\\"}"; }
{
    echo '!macro InstallFiles'
    (cd "$stage" && find . -type d | sed 's|^\./\{0,1\}||' | LC_ALL=C sort) | while read -r dir; do
        win=${dir//\//\\}
        echo "  SetOutPath \"\$INSTDIR${win:+\\$(nsis_quote "$win")}\""
        (cd "$stage/${dir:-.}" && find . -maxdepth 1 -type f | sed 's|^\./||' | LC_ALL=C sort) |
        while read -r file; do
            echo "  File \"$(nsis_quote "$stage/${dir:+$dir/}$file")\""
        done
    done
    echo '  SetOutPath "$INSTDIR"'
    echo '!macroend'
    echo '!macro RemoveFiles'
    (cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) | while read -r file; do
        echo "  Delete \"\$INSTDIR\\$(nsis_quote "${file//\//\\}")\""
    done
    (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | LC_ALL=C sort -r) |
    while read -r dir; do
        echo "  RMDir \"\$INSTDIR\\$(nsis_quote "${dir//\//\\}")\""
    done
    echo '!macroend'
} > "$gen/files.nsh"

# extensions.nsh: the disc images and the extensions of the player's own media lists
# (playback/MediaTypes.cpp, as the Open File dialog offers them; "*f4v" and "*..tod" there
# mean .f4v and .tod).
packaging/media-extensions.sh > "$work/extensions.txt"
{
    echo '!macro ForEachExtension ACTION'
    while read -r ext; do
        case "$ext" in
            .iso | .img | .cue) progid='${PROGID_IMAGE}' ;;
            *) progid='${PROGID_MEDIA}' ;;
        esac
        echo "  !insertmacro \${ACTION} \"$ext\" \"$progid\""
    done < "$work/extensions.txt"
    echo '!macroend'
} > "$gen/extensions.nsh"

size=$(du -sk "$stage" | cut -f1)
mkdir -p "$out"
setup="$(cd "$out" && pwd)/velloran-${version}-setup.exe"
makensis -V2 -NOCD \
    -DVERSION="$version" -DSTAGE="$stage" -DGENERATED="$gen" -DOUTFILE="$setup" \
    -DICON="$top/resources/velloran.ico" -DINSTALLED_KB="$size" \
    packaging/velloran.nsi >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log" >&2; exit 1; }
# Its warnings, if any (-V2 writes nothing else).
[[ -s "$work/makensis.log" ]] && cat "$work/makensis.log" >&2
echo "$setup"
