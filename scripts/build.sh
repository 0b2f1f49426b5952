#!/usr/bin/env bash
# Builds the three parts into build/, laid out like an installation:
#   build/mingw   Windows binaries: Tavrin.dll, brellix.dll, cdemu/batchmnt.exe and a Windows
#                 build of the player (checked to compile and link, not run here)
#   build/native  the Linux FUSE server behind the mount tool under Wine
#   build/wine    the Winelib player and its tests
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=$(nproc)

# An include that points up the layers fails the build before anything compiles.
bash scripts/check-layers.sh >/dev/null || { bash scripts/check-layers.sh; exit 1; }

cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DCMAKE_BUILD_TYPE=Release \
    -DVELLORAN_OUT="$top/build" >/dev/null
cmake --build build/mingw -j"$jobs"

cmake -S . -B build/native -DVELLORAN_HOST=native -DCMAKE_BUILD_TYPE=Release \
    -DVELLORAN_OUT="$top/build" >/dev/null
cmake --build build/native -j"$jobs"

cmake -S . -B build/wine -DCMAKE_TOOLCHAIN_FILE=cmake/winelib.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLORAN_OUT="$top/build" >/dev/null
cmake --build build/wine -j"$jobs"
