#!/usr/bin/env bash
# Runs every benchmark on a private display and Wine prefix. Each one measures the program's
# way against a reference in the same run and prints the ratio; nothing here asserts a time.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source scripts/test-env.sh
start_test_env
trap stop_test_env EXIT
export VELLORAN_MEDIA="$top/build/testmedia"
bash tests/media/make-media.sh "$VELLORAN_MEDIA" >/dev/null
export VELLORAN_MEDIA_WIN="Z:${VELLORAN_MEDIA//\//\\}"

bench() { # name executable args...
    local name=$1 exe=$2
    shift 2
    echo "== $name"
    if [[ ! -e "$exe" ]]; then
        echo "not built: $exe"
        return
    fi
    timeout 900 wine "$exe" "$@" 2>&1 | filter_wine |
        grep -vE '^\[[0-9a-f]{8,}\]|^ALSA lib|^\[(h264|mpeg|aac|mp3)'
}

bench playlist "$top/build/wine/bench/bench_playlist.exe.so"
bench bar "$top/build/wine/bench/bench_bar.exe.so"
bench mount "$top/build/bench_mount.exe.so"
bench engine "$top/build/wine/bench/bench_engine.exe.so"
