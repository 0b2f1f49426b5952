#!/usr/bin/env bash
# Runs every benchmark (or those named: bench/run.sh engine playlist) on a private display and
# Wine prefix. Each one measures the program's
# way against a reference in the same run and prints the ratio; nothing here asserts a time.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source scripts/test-env.sh
# Large enough for a 1080p picture at 1:1 and a full screen that scales it up.
export TEST_SCREEN=2560x1440x24
start_test_env
trap stop_test_env EXIT
export VELLORAN_MEDIA="$top/build/testmedia"
bash tests/media/make-media.sh "$VELLORAN_MEDIA" >/dev/null
export VELLORAN_MEDIA_WIN="Z:${VELLORAN_MEDIA//\//\\}"
bench_media="$top/build/benchmedia"
bash bench/make-media.sh "$bench_media" >/dev/null
bench_media_win="Z:${bench_media//\//\\}"

wanted=" $* "
bench() { # name executable args...
    local name=$1 exe=$2
    shift 2
    [[ $wanted == "  " || $wanted == *" $name "* ]] || return 0
    echo "== $name"
    if [[ ! -e "$exe" ]]; then
        echo "not built: $exe"
        return
    fi
    timeout 900 wine "$exe" "$@" 2>&1 | filter_wine |
        grep -vE '^\[[0-9a-f]{8,}\]|^ALSA lib|^\[(h264|mpeg|aac|mp3)|^No such file or directory\.$|^Unknown PCM'
}

bench playlist "$top/build/wine/bench/bench_playlist.exe.so"
bench bar "$top/build/wine/bench/bench_bar.exe.so"
bench mount "$top/build/bench_mount.exe.so"
bench bluray "$top/build/bench_bluray.exe.so"
# A DVD-Video image over 1 GB: the test DVD plus a 1000 MB file of random bytes in a folder of
# its own. Made only when the benchmark runs (about 2 GB of disk while it is made), and removed
# afterwards.
if [[ $wanted == "  " || $wanted == *" bigimage "* ]]; then
    big="$bench_media/big"
    rm -rf "$big"
    mkdir -p "$big/root/PAD"
    cp -al "$VELLORAN_MEDIA/dvd/VIDEO_TS" "$big/root/VIDEO_TS"
    head -c 1000M /dev/urandom >"$big/root/PAD/padding.bin"
    genisoimage -quiet -dvd-video -udf -V BIGDVD -o "$big/big.iso" "$big/root"
    rm -rf "$big/root"
    # Written back before the timing starts: the kernel's writing of the fresh image to disk
    # would otherwise load the machine during the reads. Then dropped from the page cache, so
    # that the benchmark's warming read brings it in from the disk, as an image a user opens
    # is read: the pages its writing left behind reach the image server's splices several
    # times slower (0.5 against 3-4 GB/s through the drive under Wine).
    sync "$big/big.iso"
    dd if="$big/big.iso" iflag=nocache count=0 status=none
    bench bigimage "$top/build/bench_bigimage.exe.so" "Z:${big//\//\\}\\big.iso"
    rm -rf "$big"
fi
# The medians of the ratio lines on standard input ("CPU a (with wineserver b), RSS c").
medians() {
    awk 'BEGIN { n = 0 }
        /ratio engine/ {
            for (i = 1; i <= NF; ++i) {
                if ($i == "CPU") cpu[n] = $(i + 1) + 0
                if ($i == "wineserver") server[n] = $(i + 1) + 0
                if ($i == "RSS") rss[n] = $(i + 1) + 0
            }
            ++n
        }
        function median(a, n,    i, j, t) {
            for (i = 0; i < n; ++i)
                for (j = i + 1; j < n; ++j)
                    if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
            return a[int(n / 2)]
        }
        END {
            if (n) printf "  median of %d runs: CPU %.2f (with wineserver %.2f), RSS %.2f\n",
                n, median(cpu, n), median(server, n), median(rss, n)
        }'
}
# Each engine case in its own process, so that its peak memory is its own. Normal size: the
# picture at 1:1; full screen: the whole screen. On a 2-core machine shared with other work the
# CPU of one run, cvlc's as much as the engine's, moves by about a tenth, and cvlc's peak memory
# differs by up to 8 MB between runs; so each case runs three times and the medians follow.
engine_case() { # file width height frames
    local runs=$bench_media/engine_runs.txt
    : >"$runs"
    for round in 1 2 3; do
        bench engine "$top/build/wine/bench/bench_engine.exe.so" "$bench_media_win\\$1" "$2" "$3" \
            "$4" | tee -a "$runs"
    done
    medians <"$runs"
    rm -f "$runs"
}
for media in h264_1080p30.mkv:1920x1080:300 mpeg2_576p25.mpg:720x576:500 \
    h264_1080p60.mkv:1920x1080:600; do
    IFS=: read -r file size frames <<<"$media"
    engine_case "$file" ${size/x/ } "$frames"
    [[ $file == *p60* ]] || engine_case "$file" 2560 1440 "$frames"
done
# Memory over 300 open/play/stop cycles of files and discs through the controller; several
# minutes. Narrower runs: bench_memory.exe.so 300 files|discs logic|engine|kept.
bench memory "$top/build/wine/bench/bench_memory.exe.so"
