#!/usr/bin/env bash
# Installs the Debian packages the build, the player and the tests need. Idempotent: only what
# is missing is installed, and apt-get update runs only then.
set -euo pipefail

packages=(
    wine wine64 wine64-tools libwine-dev
    libvlc-dev libvlccore-dev vlc-plugin-base vlc-plugin-video-output vlc-bin
    libswscale-dev
    xvfb xdotool x11-utils imagemagick openbox
    ffmpeg dvdauthor genisoimage xorriso vcdimager
    fuse3 libfuse3-dev libudfread-dev libiso9660-dev
    libgtest-dev cmake make g++ pkg-config python3 python3-pytest python3-xlib
    g++-mingw-w64-x86-64
    # make package (dpkg-shlibdeps), make windows-installer (makensis) and their test, which
    # opens the installed desktop entry as a desktop does (xdg-open, update-desktop-database)
    dpkg-dev nsis xdg-utils desktop-file-utils
    # Blu-ray: decryption libraries for viewers who have keys of their own (none are shipped),
    # Java menus (libbluray-bdj finds the runtime through /usr/lib/jvm/default-java), and the
    # compiler the test media script builds its menu Xlet with
    libaacs0 libbdplus0 libbluray-bdj default-jre-headless default-jdk-headless
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -eq 0 ]] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
