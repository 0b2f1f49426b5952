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
#   dvdmenu/VIDEO_TS       PAL 4:3 DVD-Video whose first play jumps to a VMGM menu (grey field, two
#   menu.iso               boxes labelled TITLE 1 / TITLE 2; a 3 s cell that loops until a button is
#                          activated) with two buttons, in 720x576 picture coordinates:
#                            button 1 -> title 1, solid red, 4 s
#                              drawn box x 110..309, y 238..337 (200x100), centre (210,288)
#                            button 2 -> title 2, solid blue, 4 s
#                              drawn box x 410..609, y 238..337 (200x100), centre (510,288)
#                          The disc's button table holds x 110-310 / 410-610, y 238-338, which
#                          libdvdnav hit-tests with both ends inclusive (one pixel more than the box).
#                          Button 1 is highlighted first; Left/Right move between the two; a title
#                          that ends calls the menu again. menu.iso is dvdmenu/ as a UDF + ISO 9660
#                          bridge image.
#   pal169.iso             PAL 720x576 anamorphic 16:9 DVD (SAR 64:45), no menu, one 4 s title: a
#                          white disc on black, round at 1024x576 display (stored as a 270x384 ellipse)
#   ntsc43.iso             NTSC 720x480 4:3 DVD (SAR 8:9), no menu, one 4 s title: a white disc on
#                          black, round at 640x480 display (stored as a 360x320 ellipse)
#   sar.mkv                3 s 720x576 H.264 with SAR 64:45 (16:9 display): a white disc, round at
#                          1024x576 display (stored as a 270x384 ellipse)
#   bluray.iso, bluray/    HDMV Blu-ray (tests/media/make_bluray.py): first play jumps to title 1, four
#                          3 s chapters in red, green, blue, yellow; AC-3 audio eng and fra
#   lang.iso               PAL 4:3 DVD, no menu, one 4 s title with two AC-3 audio streams (en 440 Hz,
#                          fr 880 Hz) and two subpicture streams (en: box at the bottom reading
#                          ENGLISH, fr: box at the top reading FRANCAIS)
#   bd1080.iso             one-chapter 1080p Blu-ray, red with a white band along its last 8 lines
#   bd_noindex.iso,        one-chapter Blu-rays missing BDMV/index.bdmv, and missing the clip
#   bd_noclpi.iso          information (CLIPINF): damaged discs
#   bdpressed.iso          Blu-ray made like a pressed disc: UDF 2.50 with a metadata partition and its
#                          mirror, no ISO 9660; 1080p at 23.976, first play shows a 1 s grey logo
#                          playlist and goes through a menu-like movie object to title 1, whose
#                          object sets registers and starts the film (playlist 00001) at its first
#                          mark (PlayPLMark); the film is two clips holding four 5 s chapters red,
#                          green, blue, yellow (marks with their entry stream), AC-3 eng and fra
#   bdmany.iso             like bdpressed.iso (720p, four 3 s chapters), its film playlist among 60
#                          others: logo and menu loops, clips, duplicates and decoys of nearly the
#                          film's length differing in one clip (magenta, cyan); 7 index titles
#   bd_mirror.iso,         one-chapter UDF 2.50 Blu-rays: the metadata file zeroed (its mirror holds
#   bd_pastend.iso         the file system), and both metadata files pointing past the image's end
#   bd_nomobj.iso,         one-chapter Blu-rays missing BDMV/MovieObject.bdmv, and whose playlist
#   bd_noclip.iso          names a clip that is not on the disc
#   vcd.cue, vcd.bin       PAL Video CD 2.0 (vcdimager): two MPEG tracks, each one entry point, 4 s
#                          solid red with a 440 Hz tone, then 4 s solid blue; 352x288 shown at 4:3
#   long.mkv               80 s 320x240 H.264, a flat dark blue field (long enough to keep a position)
#   resume.iso             PAL 4:3 352x288 DVD whose first play jumps to a VMGM menu without buttons
#                          (grey, a 3 s cell that loops); title 1 solid red 4 s, title 2 solid blue 80 s
#   bd_aacs.iso            one-chapter Blu-ray marked AACS-encrypted as a pressed one is (AACS folder
#                          with unit key file, MKB and copy control; every aligned unit's packets
#                          scrambled); no keys exist for it
#   bdj.iso                Blu-ray with a Java (BD-J) first play (tests/media/bdj/): a teal menu with a
#                          white PLAY FILM box over the film's playlist; Enter starts title 1, the film:
#                          two 31 s chapters, red then green
#   bd_nojar.iso           a Java first play whose object names BDMV/JAR/00000.jar, which is missing
#   chap6.iso              PAL 4:3 352x288 DVD, no menu, one title of six 8 s chapters in solid red,
#                          green, blue, yellow, magenta, cyan
#   subs80.mkv             80 s 320x240 H.264 dark field with two subtitle tracks, neither default,
#                          a cue every second: eng a short "E", fre a line of "FRANCAIS"
#   menulang.iso           PAL 4:3 352x288 DVD whose first play shows its title menu, kept in two
#                          languages: en a green field, fr a magenta one (3 s cells that loop)
#   interlaced.iso         PAL 4:3 DVD, no menu, one 6 s interlaced title (top field first): vertical
#                          stripes 16 px wide that move 8 px right with every field
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

# dvdauthor with the log kept quiet unless it fails.
dvd_author() { # xml video-format(PAL|NTSC)
    VIDEO_FORMAT=$2 dvdauthor -x "$1" >"$1.log" 2>&1 || { cat "$1.log" >&2; exit 1; }
}

# spumux one subpicture stream into an MPEG (all subpictures here are PAL).
spu_mux() { # xml stream in.mpg out.mpg
    VIDEO_FORMAT=PAL spumux -s "$2" "$1" <"$3" >"$4" 2>"$1.log" || { cat "$1.log" >&2; exit 1; }
}

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
    spu_mux "$work/spu.xml" 0 "$work/t1.mpg" "$work/t1s.mpg"
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
    dvd_author "$work/dvd.xml" PAL
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
    dvd_author "$work/dvd12.xml" PAL
    rm -rf "$out/dvd12"
    mv "$work/dvd12" "$out/dvd12"
fi

if ! have dvd.iso; then
    log dvd.iso
    genisoimage -quiet -dvd-video -udf -V TESTDVD -o "$work/dvd.iso" "$out/dvd"
    mv "$work/dvd.iso" "$out/dvd.iso"
fi

if ! have bluray.iso; then
    log bluray
    python3 "$(dirname "$0")/make_bluray.py" "$work/bluray.iso"
    python3 "$(dirname "$0")/make_bluray.py" --folder "$work/bluray"
    rm -rf "$out/bluray"
    mv "$work/bluray" "$out/bluray"
    mv "$work/bluray.iso" "$out/bluray.iso"
fi

if ! have bd1080.iso; then
    log bd1080.iso
    python3 "$(dirname "$0")/make_bluray.py" --chapters 1 --chapter-seconds 6 --size 1920x1080 \
        --edge "$work/bd1080.iso"
    mv "$work/bd1080.iso" "$out/bd1080.iso"
fi

for damage in noindex noclpi; do
    have "bd_$damage.iso" && continue
    log "bd_$damage.iso"
    python3 "$(dirname "$0")/make_bluray.py" --chapters 1 --chapter-seconds 2 "--no-${damage#no}" \
        "$work/bd_$damage.iso"
    mv "$work/bd_$damage.iso" "$out/bd_$damage.iso"
done

bluray() { python3 "$(dirname "$0")/make_bluray.py" "$@"; }

if ! have bdpressed.iso; then
    log bdpressed.iso
    bluray --pressed --clips 2 --fps 23.976 --size 1920x1080 --chapter-seconds 5 \
        --video-kbps 1000 --udf250 sound "$work/bdpressed.iso"
    mv "$work/bdpressed.iso" "$out/bdpressed.iso"
fi

if ! have bdmany.iso; then
    log bdmany.iso
    bluray --playlists 61 --clips 2 --video-kbps 800 --udf250 sound "$work/bdmany.iso"
    mv "$work/bdmany.iso" "$out/bdmany.iso"
fi

for damage in mirror:--udf250=main-metadata pastend:--udf250=metadata-past-end nomobj:--no-mobj \
              noclip:--missing-clip; do
    name=bd_${damage%%:*}.iso
    have "$name" && continue
    log "$name"
    bluray --chapters 1 --chapter-seconds 2 --video-kbps 800 "${damage#*:}" "$work/$name"
    mv "$work/$name" "$out/$name"
done

if ! have data.iso; then
    log data.iso
    mkdir -p "$work/data/docs"
    printf 'Nothing to play here.\r\n' > "$work/data/readme.txt"
    seq 1 2000 > "$work/data/docs/numbers.txt"
    xorriso -as mkisofs -quiet -J -R -V DATADISC -o "$work/data.iso" "$work/data" 2>/dev/null
    mv "$work/data.iso" "$out/data.iso"
fi

# DVD MPEG (AC-3 audio, as on most pressed discs) for the discs below. The picture is a PNG held
# still or a lavfi source; one audio stream per tone frequency given, in that order.
dvd_mpg() { # output target(pal-dvd|ntsc-dvd) aspect seconds picture.png|lavfi-source freq...
    local o=$1 target=$2 aspect=$3 secs=$4 v=$5 n=1 f
    shift 5
    local args=() maps=(-map 0:v)
    if [[ $v == *.png ]]; then args=(-loop 1 -framerate 25 -i "$v"); else args=(-f lavfi -i "$v"); fi
    for f in "$@"; do
        args+=(-f lavfi -i "sine=frequency=$f:sample_rate=48000")
        maps+=(-map "$n:a")
        n=$((n + 1))
    done
    ff "${args[@]}" "${maps[@]}" -t "$secs" -target "$target" -aspect "$aspect" \
        -b:v 1500k -maxrate 4000k -c:a ac3 -b:a 128k -ac 2 "$o"
}

# A DVD-Video folder as a UDF + ISO 9660 bridge image, like a pressed DVD.
dvd_iso() { # folder output-name volume-id
    genisoimage -quiet -dvd-video -udf -V "$3" -o "$work/$2" "$1"
    mv "$work/$2" "$out/$2"
}

# A white filled ellipse on black whose radii (in stored pixels) make it round on display.
disc_png() { # output WxH rx ry
    local w=${2%x*} h=${2#*x}
    convert -size "$2" xc:black -fill white -draw "ellipse $((w / 2)),$((h / 2)) $3,$4 0,360" \
        PNG24:"$1"
}

# A font file for labels on menus and subpictures; without one they are boxes only.
font=$(fc-match -f '%{file}' 'DejaVu Sans:bold' 2>/dev/null || true)
[[ -f $font && $font != *[:,\'\\]* ]] || font=

if ! have dvdmenu/VIDEO_TS/VIDEO_TS.IFO; then
    log dvdmenu
    # The menu picture: two filled boxes exactly where the buttons are, labelled when a font exists.
    vf="color=c=0x808080:size=720x576:rate=25"
    vf+=",drawbox=x=110:y=238:w=200:h=100:color=0xA02020:t=fill"
    vf+=",drawbox=x=410:y=238:w=200:h=100:color=0x2030A0:t=fill"
    if [[ -n $font ]]; then
        for b in 1:110 2:410; do
            vf+=",drawtext=fontfile=$font:text='TITLE ${b%:*}':fontcolor=white:fontsize=36"
            vf+=":x=${b#*:}+(200-text_w)/2:y=238+(100-text_h)/2"
        done
    fi
    dvd_mpg "$work/menu.mpg" pal-dvd 4:3 3 "$vf" 220
    dvd_mpg "$work/red.mpg" pal-dvd 4:3 4 "color=c=red:size=720x576:rate=25" 440
    dvd_mpg "$work/blue.mpg" pal-dvd 4:3 4 "color=c=blue:size=720x576:rate=25" 660
    # Button highlight (yellow) and activation (green) frames, drawn just inside each button's
    # rectangle; transparent elsewhere, so each picture has two colours.
    for k in highlight:yellow select:lime; do
        convert -size 720x576 xc:none +antialias -fill none -stroke "${k#*:}" -strokewidth 6 \
            -draw "rectangle 113,241 306,334" -draw "rectangle 413,241 606,334" \
            PNG32:"$work/${k%%:*}.png"
    done
    # spumux calls x1/y1 exclusive (the drawn boxes end at 309/609 and 337) but writes them as
    # given into the button table, whose ends libdvdnav takes as inclusive.
    cat > "$work/menu-spu.xml" <<XML
<subpictures><stream>
  <spu start="00:00:00.00" force="yes"
       highlight="$work/highlight.png" select="$work/select.png">
    <button name="b1" x0="110" y0="238" x1="310" y1="338" left="b2" right="b2" />
    <button name="b2" x0="410" y0="238" x1="610" y1="338" left="b1" right="b1" />
  </spu>
</stream></subpictures>
XML
    spu_mux "$work/menu-spu.xml" 0 "$work/menu.mpg" "$work/menus.mpg"
    cat > "$work/dvdmenu.xml" <<XML
<dvdauthor dest="$work/dvdmenu">
  <vmgm>
    <fpc>jump vmgm menu 1;</fpc>
    <menus>
      <video format="pal" aspect="4:3" />
      <audio lang="en" />
      <pgc entry="title">
        <button name="b1">jump title 1;</button>
        <button name="b2">jump title 2;</button>
        <vob file="$work/menus.mpg" />
        <post>jump cell 1;</post>
      </pgc>
    </menus>
  </vmgm>
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" />
      <audio lang="en" />
      <pgc>
        <vob file="$work/red.mpg" />
        <post>call vmgm menu 1;</post>
      </pgc>
      <pgc>
        <vob file="$work/blue.mpg" />
        <post>call vmgm menu 1;</post>
      </pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    dvd_author "$work/dvdmenu.xml" PAL
    rm -rf "$out/dvdmenu"
    mv "$work/dvdmenu" "$out/dvdmenu"
fi

if ! have menu.iso; then
    log menu.iso
    dvd_iso "$out/dvdmenu" menu.iso MENUDVD
fi

# A disc with one title and no menu: name, format (pal|ntsc), the <video> attributes, the MPEG.
one_title_dvd() {
    local name=$1 format=$2 attributes=$3 mpg=$4
    cat > "$work/$name.xml" <<XML
<dvdauthor dest="$work/$name">
  <vmgm />
  <titleset>
    <titles>
      <video format="$format" $attributes />
      <audio lang="en" />
      <pgc><vob file="$mpg" /></pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    dvd_author "$work/$name.xml" "${format^^}"
    dvd_iso "$work/$name" "$name.iso" "${name^^}"
}

if ! have pal169.iso; then
    log pal169.iso
    # Displayed at 1024x576 a 384 px disc is 384 * 720 / 1024 = 270 stored pixels wide.
    disc_png "$work/disc169.png" 720x576 135 192
    dvd_mpg "$work/p169.mpg" pal-dvd 16:9 4 "$work/disc169.png" 440
    one_title_dvd pal169 pal 'aspect="16:9" widescreen="nopanscan"' "$work/p169.mpg"
fi

if ! have ntsc43.iso; then
    log ntsc43.iso
    # Displayed at 640x480 a 320 px disc is 320 * 720 / 640 = 360 stored pixels wide.
    disc_png "$work/disc43.png" 720x480 180 160
    dvd_mpg "$work/n43.mpg" ntsc-dvd 4:3 4 "$work/disc43.png" 440
    one_title_dvd ntsc43 ntsc 'aspect="4:3"' "$work/n43.mpg"
fi

if ! have sar.mkv; then
    log sar.mkv
    disc_png "$work/discsar.png" 720x576 135 192
    ff -loop 1 -framerate 25 -i "$work/discsar.png" -f lavfi -i sine=frequency=440:sample_rate=48000 \
        -t 3 -vf setsar=64/45 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
        -c:a aac -b:a 64k "$work/sar.mkv"
    mv "$work/sar.mkv" "$out/sar.mkv"
fi

if ! have lang.iso; then
    log lang.iso
    dvd_mpg "$work/lang.mpg" pal-dvd 4:3 4 "testsrc2=size=720x576:rate=25" 440 880
    # Two subpicture streams, told apart by place and label: en at the bottom, fr at the top.
    for s in "en 470 ENGLISH" "fr 56 FRANCAIS"; do
        read -r lang y label <<<"$s"
        text=()
        [[ -z $font ]] || text=(-stroke none -fill black -font "$font" -pointsize 32
            -gravity north -annotate "+0+$((y + 8))" "$label")
        convert -size 720x576 xc:none +antialias -fill white -stroke black -strokewidth 2 \
            -draw "rectangle 200,$y 520,$((y + 50))" "${text[@]}" PNG32:"$work/sub-$lang.png"
        cat > "$work/spu-$lang.xml" <<XML
<subpictures><stream>
  <spu start="00:00:00.50" end="00:00:03.50" image="$work/sub-$lang.png" />
</stream></subpictures>
XML
    done
    spu_mux "$work/spu-en.xml" 0 "$work/lang.mpg" "$work/lang0.mpg"
    spu_mux "$work/spu-fr.xml" 1 "$work/lang0.mpg" "$work/lang1.mpg"
    cat > "$work/lang.xml" <<XML
<dvdauthor dest="$work/lang">
  <vmgm />
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" />
      <audio lang="en" />
      <audio lang="fr" />
      <subpicture lang="en" />
      <subpicture lang="fr" />
      <pgc><vob file="$work/lang1.mpg" /></pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    dvd_author "$work/lang.xml" PAL
    dvd_iso "$work/lang" lang.iso LANGDVD
fi

if ! have vcd.cue; then
    log vcd
    ff -f lavfi -i "color=red:s=352x288:r=25:d=4" -f lavfi -i "sine=f=440:d=4" -target pal-vcd \
        "$work/vcd1.mpg"
    ff -f lavfi -i "color=blue:s=352x288:r=25:d=4" -f lavfi -i "sine=f=660:d=4" -target pal-vcd \
        "$work/vcd2.mpg"
    (cd "$work" && vcdimager -q -t vcd2 -l VELLORANVCD -c vcd.cue -b vcd.bin vcd1.mpg vcd2.mpg \
        >/dev/null)
    mv "$work/vcd.bin" "$out/vcd.bin"
    mv "$work/vcd.cue" "$out/vcd.cue"
fi

if ! have long.mkv; then
    log long.mkv
    ff -f lavfi -i color=c=0x102060:size=320x240:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=48000 -t 80 -c:v libx264 -preset ultrafast \
        -pix_fmt yuv420p -c:a aac -b:a 32k "$work/long.mkv"
    mv "$work/long.mkv" "$out/long.mkv"
fi

if ! have resume.iso; then
    log resume.iso
    # Half-resolution PAL keeps the long title small.
    for t in "menu 0x808080 3" "red red 4" "blue blue 80"; do
        read -r name colour secs <<<"$t"
        ff -f lavfi -i "color=c=$colour:size=352x288:rate=25" \
            -f lavfi -i sine=frequency=440:sample_rate=48000 -t "$secs" -target pal-dvd \
            -s 352x288 -aspect 4:3 -b:v 400k -maxrate 1000k -c:a ac3 -b:a 64k -ac 2 \
            "$work/r-$name.mpg"
    done
    cat > "$work/resume.xml" <<XML
<dvdauthor dest="$work/resume">
  <vmgm>
    <fpc>jump vmgm menu 1;</fpc>
    <menus>
      <video format="pal" aspect="4:3" resolution="352x288" />
      <audio lang="en" />
      <pgc entry="title">
        <vob file="$work/r-menu.mpg" />
        <post>jump cell 1;</post>
      </pgc>
    </menus>
  </vmgm>
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" resolution="352x288" />
      <audio lang="en" />
      <pgc>
        <vob file="$work/r-red.mpg" />
        <post>call vmgm menu 1;</post>
      </pgc>
      <pgc>
        <vob file="$work/r-blue.mpg" />
        <post>call vmgm menu 1;</post>
      </pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    dvd_author "$work/resume.xml" PAL
    dvd_iso "$work/resume" resume.iso RESUMEDVD
fi

if ! have bd_aacs.iso; then
    log bd_aacs.iso
    python3 "$(dirname "$0")/make_bluray.py" --chapters 1 --chapter-seconds 2 --aacs \
        "$work/bd_aacs.iso"
    mv "$work/bd_aacs.iso" "$out/bd_aacs.iso"
fi

# The Java disc's film is a film's length: played without menus, libVLC only keeps titles of at
# least 60 s.
if ! have bdj.iso; then
    log bdj.iso
    python3 "$(dirname "$0")/make_bluray.py" --chapters 2 --chapter-seconds 31 --video-kbps 300 \
        --java-menu menu "$work/bdj.iso"
    mv "$work/bdj.iso" "$out/bdj.iso"
fi

if ! have bd_nojar.iso; then
    log bd_nojar.iso
    python3 "$(dirname "$0")/make_bluray.py" --chapters 1 --chapter-seconds 2 --java-menu no-jar \
        "$work/bd_nojar.iso"
    mv "$work/bd_nojar.iso" "$out/bd_nojar.iso"
fi

if ! have chap6.iso; then
    log chap6.iso
    vobs=
    for colour in red lime blue yellow magenta cyan; do
        ff -f lavfi -i "color=c=$colour:size=352x288:rate=25" \
            -f lavfi -i sine=frequency=440:sample_rate=48000 -t 8 -target pal-dvd \
            -s 352x288 -aspect 4:3 -b:v 300k -maxrate 1000k -c:a ac3 -b:a 64k -ac 2 \
            "$work/c-$colour.mpg"
        vobs+="<vob file=\"$work/c-$colour.mpg\" chapters=\"0\" />"
    done
    cat > "$work/chap6.xml" <<XML
<dvdauthor dest="$work/chap6">
  <vmgm />
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" resolution="352x288" />
      <audio lang="en" />
      <pgc>$vobs</pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    dvd_author "$work/chap6.xml" PAL
    dvd_iso "$work/chap6" chap6.iso CHAPTERS6
fi

if ! have interlaced.iso; then
    log interlaced.iso
    # Fields of a 50 frame/s source interleaved into 25 frames: each frame's two fields show the
    # stripes 8 px apart, which combs wherever the fields are shown woven together.
    stripes="nullsrc=s=720x576:r=50,geq=lum='if(lt(mod(X+N*8\\,32)\\,16)\\,220\\,30)':cb=128:cr=128"
    stripes+=",format=yuv420p,tinterlace=mode=interleave_top,setfield=tff"
    ff -f lavfi -i "$stripes" -f lavfi -i sine=frequency=440:sample_rate=48000 -t 6 \
        -target pal-dvd -flags +ilme+ildct -top 1 -aspect 4:3 -b:v 2000k -maxrate 6000k \
        -c:a ac3 -b:a 64k -ac 2 "$work/interlaced.mpg"
    one_title_dvd interlaced pal 'aspect="4:3"' "$work/interlaced.mpg"
fi

if ! have subs80.mkv; then
    log subs80.mkv
    # A cue every second, so that a track chosen while playing shows within one.
    for t in "eng E" "fre FRANCAIS FRANCAIS FRANCAIS"; do
        for s in $(seq 0 79); do
            printf '%d\n00:%02d:%02d,000 --> 00:%02d:%02d,900\n%s\n\n' $((s + 1)) \
                $((s / 60)) $((s % 60)) $((s / 60)) $((s % 60)) "${t#* }"
        done > "$work/subs-${t%% *}.srt"
    done
    ff -f lavfi -i color=c=0x102060:size=320x240:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=48000 -i "$work/subs-eng.srt" \
        -i "$work/subs-fre.srt" -map 0:v -map 1:a -map 2 -map 3 -t 80 -c:v libx264 \
        -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 32k -c:s srt \
        -metadata:s:s:0 language=eng -metadata:s:s:1 language=fre \
        -disposition:s:0 0 -disposition:s:1 0 "$work/subs80.mkv"
    mv "$work/subs80.mkv" "$out/subs80.mkv"
fi

if ! have menulang.iso; then
    log menulang.iso
    for t in "en green" "fr magenta" "title blue"; do
        ff -f lavfi -i "color=c=${t#* }:size=352x288:rate=25" \
            -f lavfi -i sine=frequency=440:sample_rate=48000 -t 3 -target pal-dvd -s 352x288 \
            -aspect 4:3 -b:v 300k -maxrate 1000k -c:a ac3 -b:a 64k -ac 2 "$work/ml-${t% *}.mpg"
    done
    menus=
    for lang in en fr; do
        menus+="<menus lang=\"$lang\"><video format=\"pal\" aspect=\"4:3\" resolution=\"352x288\" />"
        menus+="<pgc entry=\"title\"><vob file=\"$work/ml-$lang.mpg\" /><post>jump cell 1;</post>"
        menus+="</pgc></menus>"
    done
    cat > "$work/menulang.xml" <<XML
<dvdauthor dest="$work/menulang">
  <vmgm>
    <fpc>jump vmgm menu 1;</fpc>
    $menus
  </vmgm>
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" resolution="352x288" />
      <pgc><vob file="$work/ml-title.mpg" /></pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
    dvd_author "$work/menulang.xml" PAL
    dvd_iso "$work/menulang" menulang.iso MENULANG
fi
