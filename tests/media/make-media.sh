#!/usr/bin/env bash
# Generates the media the tests play, into OUTDIR (default build/testmedia). Idempotent: every
# item that already exists is kept; each one is written under a temporary name first, so an
# interrupted run never leaves a half-written file that a later run would take as done.
#
#   testsrc.mkv            5 s 320x240 H.264 test picture + 440 Hz AAC tone
#   audio.mp3              3 s tone, no video
#   twoaudio.mkv/.srt      5 s video with two audio tracks (eng, fre) + external subtitles
#   folder3/short1..3.mp4  2 s each, differently coloured
#   mpeg2_30s.mpg          30 s 720x576 MPEG-2 (benchmarks)
#   dvd/VIDEO_TS           DVD-Video: title 1 = 3 chapters, audio eng+fre, one subpicture
#                          track; title 2 = a second, shorter film
#   dvd12/VIDEO_TS         DVD-Video: one title with 12 chapters
#   dvd.iso                dvd/ as a UDF + ISO 9660 bridge image, like a pressed DVD
#   data.iso               an ISO 9660 / Joliet image holding only documents
set -euo pipefail
out=${1:-build/testmedia}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d "$out/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
have() { [[ -e "$out/$1" ]]; }
log() { echo "make-media: $*"; }

if ! have testsrc.mkv; then
    log testsrc.mkv
    ff -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 \
        -t 5 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 64k "$work/t.mkv"
    mv "$work/t.mkv" "$out/testsrc.mkv"
fi

if ! have audio.mp3; then
    log audio.mp3
    ff -f lavfi -i sine=frequency=660:sample_rate=44100 -t 3 -c:a libmp3lame -b:a 64k "$work/a.mp3"
    mv "$work/a.mp3" "$out/audio.mp3"
fi

if ! have twoaudio.mkv; then
    log twoaudio.mkv
    ff -f lavfi -i testsrc2=size=320x240:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=48000 \
        -f lavfi -i sine=frequency=880:sample_rate=48000 \
        -map 0:v -map 1:a -map 2:a -t 5 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
        -c:a aac -b:a 64k \
        -metadata:s:a:0 language=eng -metadata:s:a:0 title=English \
        -metadata:s:a:1 language=fre -metadata:s:a:1 title=Français \
        "$work/two.mkv"
    mv "$work/two.mkv" "$out/twoaudio.mkv"
fi

if ! have twoaudio.srt; then
    log twoaudio.srt
    printf '1\r\n00:00:00,000 --> 00:00:05,000\r\nSUBTITLE TEXT\r\n\r\n' > "$work/two.srt"
    mv "$work/two.srt" "$out/twoaudio.srt"
fi

if ! have folder3/short3.mp4; then
    log folder3
    mkdir -p "$out/folder3"
    colours=(red green blue)
    for i in 1 2 3; do
        [[ -e "$out/folder3/short$i.mp4" ]] && continue
        ff -f lavfi -i "color=c=${colours[i-1]}:size=320x240:rate=25" \
            -f lavfi -i "sine=frequency=$((300 + i * 100)):sample_rate=48000" -t 2 \
            -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 64k \
            -movflags +faststart "$work/s.mp4"
        mv "$work/s.mp4" "$out/folder3/short$i.mp4"
    done
fi

if ! have mpeg2_30s.mpg; then
    log mpeg2_30s.mpg
    ff -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 \
        -t 30 -c:v mpeg2video -b:v 2500k -c:a mp2 -b:a 128k -f mpeg "$work/m.mpg"
    mv "$work/m.mpg" "$out/mpeg2_30s.mpg"
fi

# One PAL DVD title: video from a lavfi source, one or two mp2 audio streams.
dvd_title() { # output source seconds nAudio
    local o=$1 src=$2 secs=$3 na=$4
    local args=(-f lavfi -i "$src" -f lavfi -i "sine=frequency=440:sample_rate=48000")
    local maps=(-map 0:v -map 1:a)
    if ((na > 1)); then
        args+=(-f lavfi -i "sine=frequency=880:sample_rate=48000")
        maps+=(-map 2:a)
    fi
    ff "${args[@]}" "${maps[@]}" -t "$secs" -target pal-dvd -b:v 1500k -maxrate 4000k \
        -c:a mp2 -b:a 128k -ac 2 -aspect 4:3 "$o"
}

if ! have dvd/VIDEO_TS/VIDEO_TS.IFO; then
    log dvd
    dvd_title "$work/t1.mpg" "testsrc=size=720x576:rate=25" 6 2
    dvd_title "$work/t2.mpg" "smptebars=size=720x576:rate=25" 3 1
    # A subpicture: a few lines of solid text on a transparent field, at most 4 colours.
    convert -size 720x576 xc:none +antialias -fill white -stroke black -strokewidth 2 \
        -draw "rectangle 200,470 520,520" -type palettematte PNG8:"$work/sub.png" 2>/dev/null ||
        convert -size 720x576 xc:none -fill white -draw "rectangle 200,470 520,520" \
            PNG8:"$work/sub.png"
    cat > "$work/spu.xml" <<XML
<subpictures><stream>
  <spu start="00:00:00.50" end="00:00:05.50" image="$work/sub.png" force="no"/>
</stream></subpictures>
XML
    spumux -s 0 "$work/spu.xml" < "$work/t1.mpg" > "$work/t1s.mpg" 2>"$work/spumux.log" || {
        cat "$work/spumux.log" >&2; exit 1; }
    cat > "$work/dvd.xml" <<XML
<dvdauthor dest="$work/dvd">
  <vmgm />
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" />
      <audio lang="en" />
      <audio lang="fr" />
      <subpicture lang="en" />
      <pgc>
        <vob file="$work/t1s.mpg" chapters="0,00:00:02,00:00:04" />
      </pgc>
    </titles>
  </titleset>
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" />
      <audio lang="en" />
      <pgc>
        <vob file="$work/t2.mpg" />
      </pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    VIDEO_FORMAT=PAL dvdauthor -x "$work/dvd.xml" >"$work/dvdauthor.log" 2>&1 || {
        cat "$work/dvdauthor.log" >&2; exit 1; }
    rm -rf "$out/dvd"
    mv "$work/dvd" "$out/dvd"
fi

if ! have dvd12/VIDEO_TS/VIDEO_TS.IFO; then
    log dvd12
    dvd_title "$work/t12.mpg" "testsrc2=size=720x576:rate=25" 12 1
    chapters=0
    for s in $(seq 1 11); do chapters+=",00:00:$(printf %02d "$s")"; done
    cat > "$work/dvd12.xml" <<XML
<dvdauthor dest="$work/dvd12">
  <vmgm />
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" />
      <pgc><vob file="$work/t12.mpg" chapters="$chapters" /></pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    VIDEO_FORMAT=PAL dvdauthor -x "$work/dvd12.xml" >"$work/dvdauthor12.log" 2>&1 || {
        cat "$work/dvdauthor12.log" >&2; exit 1; }
    rm -rf "$out/dvd12"
    mv "$work/dvd12" "$out/dvd12"
fi

if ! have dvd.iso; then
    log dvd.iso
    genisoimage -quiet -dvd-video -udf -V TESTDVD -o "$work/dvd.iso" "$out/dvd"
    mv "$work/dvd.iso" "$out/dvd.iso"
fi

if ! have data.iso; then
    log data.iso
    mkdir -p "$work/data/docs"
    printf 'Nothing to play here.\r\n' > "$work/data/readme.txt"
    seq 1 2000 > "$work/data/docs/numbers.txt"
    xorriso -as mkisofs -quiet -J -R -V DATADISC -o "$work/data.iso" "$work/data" 2>/dev/null
    mv "$work/data.iso" "$out/data.iso"
fi
