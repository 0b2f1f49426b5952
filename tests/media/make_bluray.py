#!/usr/bin/env python3
"""Authors a tiny HDMV Blu-ray disc for the tests, as a UDF image or as a BDMV folder.

    make_bluray.py OUT.iso [--chapters 4] [--chapter-seconds 3] [--size 1280x720]
                   [--video-kbps 2000] [--at-end hold|stop|repeat]
    make_bluray.py OUTDIR --folder [--no-index] [--no-clpi] [--no-mobj] [--missing-clip]
    make_bluray.py OUT.iso --pressed [--clips 2] [--fps 23.976] [--playlists 61]
                   [--udf250 sound|main-metadata|metadata-past-end]

One title (playlist 00000, clip 00000): H.264 video on PID 0x1011, one solid colour per
chapter (red, green, blue, yellow, ...) with an IDR frame at every chapter start, and two AC3
tracks on PIDs 0x1100 (eng, 440 Hz) and 0x1101 (fra, 880 Hz). First play runs movie object 1
(JumpTitle 1); title 1 runs movie object 0 (PlayPL 0). By default the play item then holds
its last picture; with --at-end stop the movie object just ends, after which libbluray,
asked for more data, logs an error on every read and libVLC loops without reaching an end.
--no-index / --no-clpi leave out index.bdmv / the CLIPINF files (also from BACKUP) to
exercise error handling. The video is kept at a constant bitrate because libVLC reports
libbluray's read position as the playback time: a near-empty stream is read far ahead.
--clips spreads the chapters over several clips, one play item each. --pressed authors the
structure of a pressed disc (see pressed_disc); --udf250 writes the image as pressed BD-ROMs
are (udf250.py) instead of genisoimage's UDF 1.02 + ISO 9660 bridge.
Needs ffmpeg (with libx264 and the ac3 encoder) and, for bridge images, genisoimage.
The output is written under a temporary name and renamed when complete.
"""
import argparse, os, shutil, struct, subprocess, sys, tempfile

import udf250

VIDEO_PID, AUDIO_PIDS, PMT_PID = 0x1011, (0x1100, 0x1101), 0x0100
LANGS, TONES = ("eng", "fra"), (440, 880)
COLOURS = ("red", "green", "blue", "yellow", "magenta", "cyan", "white", "orange", "purple")
FPS, PKT, UNIT = 24, 192, 6144           # source packet = 4-byte arrival header + 188-byte TS
VIDEO_FORMAT = {"1280x720": 5, "1920x1080": 6}   # 720p / 1080p progressive
RATE_23_976, RATE_24, ASPECT_16_9, AC3_TYPE, H264_TYPE = 1, 2, 3, 0x81, 0x1B


def encode(path, chapters, seconds, size, kbps, edge=False, colours=COLOURS, fps=FPS):
    """Writes the BDAV (192-byte packet) transport stream with ffmpeg. edge: a white band along
    the picture's last 8 lines."""
    graph = ";".join(f"color=c={colours[i % len(colours)]}:s={size}:r={fps}:d={seconds}[c{i}]"
                     for i in range(chapters))
    graph += ";" + "".join(f"[c{i}]" for i in range(chapters))
    graph += f"concat=n={chapters}:v=1:a=0"
    if edge:
        graph += ",drawbox=x=0:y=ih-8:w=iw:h=8:color=white:t=fill"
    graph += ",format=yuv420p[v]"
    total = chapters * seconds
    cmd = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"]
    for tone in TONES:
        cmd += ["-f", "lavfi", "-i", f"sine=frequency={tone}:sample_rate=48000:duration={total}"]
    cmd += ["-filter_complex", graph, "-map", "[v]", "-map", "0:a", "-map", "1:a",
            "-c:v", "libx264", "-preset", "veryfast", "-profile:v", "high", "-level", "4.1",
            "-b:v", f"{kbps}k", "-minrate", f"{kbps}k", "-maxrate", f"{kbps}k",
            "-bufsize", f"{kbps}k", "-g", str(round(float(fps))), "-x264-params", "scenecut=0:nal-hrd=cbr",
            "-force_key_frames", f"expr:gte(t,n_forced*{seconds})", "-forced-idr", "1",
            "-c:a", "ac3", "-b:a", "96k", "-ac", "2"]
    for i, lang in enumerate(LANGS):
        cmd += [f"-metadata:s:a:{i}", f"language={lang}"]
    cmd += ["-streamid", f"0:{VIDEO_PID}", "-streamid", f"1:{AUDIO_PIDS[0]}",
            "-streamid", f"2:{AUDIO_PIDS[1]}", "-mpegts_pmt_start_pid", str(PMT_PID),
            "-mpegts_m2ts_mode", "1", "-f", "mpegts", path]
    subprocess.run(cmd, check=True)


def pad_to_units(path):
    """Appends null packets (PID 0x1FFF) so the file is whole 6144-byte aligned units."""
    size = os.path.getsize(path)
    with open(path, "r+b") as f:
        f.seek(size - PKT)
        ats = struct.unpack(">I", f.read(4))[0] & 0x3FFFFFFF
        f.seek(size)
        for _ in range((-size % UNIT) // PKT):
            ats = (ats + 1) & 0x3FFFFFFF     # arrival clock keeps rising; copy bits stay 0
            f.write(struct.pack(">I", ats) + b"\x47\x1f\xff\x10" + b"\xff" * 184)
    return os.path.getsize(path) // PKT


def scan(path):
    """Returns (pcr_pid, entry points [(pts90, spn)] at video random-access points, end pts90)."""
    data = open(path, "rb").read()
    pcr_pid, entries, last_pts = VIDEO_PID, [], 0
    for spn in range(len(data) // PKT):
        ts = data[spn * PKT + 4:(spn + 1) * PKT]
        pid, pusi, afc = ((ts[1] & 0x1F) << 8) | ts[2], ts[1] & 0x40, (ts[3] >> 4) & 3
        off, rai = 4, False
        if afc & 2:
            rai = ts[4] > 0 and bool(ts[5] & 0x40)
            off = 5 + ts[4]
        if not pusi or not afc & 1:
            continue
        if pid == PMT_PID:
            sec = ts[off + 1 + ts[off]:]
            pcr_pid = ((sec[8] & 0x1F) << 8) | sec[9]
        elif pid == VIDEO_PID and ts[off:off + 3] == b"\0\0\1" and ts[off + 7] & 0x80:
            p = ts[off + 9:off + 14]
            pts = ((p[0] >> 1) & 7) << 30 | p[1] << 22 | (p[2] >> 1) << 15 | p[3] << 7 | p[4] >> 1
            last_pts = max(last_pts, pts)
            if rai:
                entries.append((pts, spn))
    if not entries:
        sys.exit("make_bluray: no video random-access points found in the stream")
    return pcr_pid, entries, last_pts + 90000 // FPS


def header(magic, *addrs):
    """Type tag, version "0200", section start addresses, zero padding up to byte 40."""
    out = magic + b"0200" + b"".join(struct.pack(">I", a) for a in addrs)
    return out + bytes(40 - len(out))


def block(body, lenfmt=">I"):
    return struct.pack(lenfmt, len(body)) + body


def index_bdmv(first_play=1, top_menu=0xFFFF, titles=(0,)):
    """Index table: the movie objects of first play, top menu and titles 1, 2, ..."""
    app = block(bytes(2 + 32))                     # no output mode preference, no user data
    obj = lambda ref: struct.pack(">IHHI", 1 << 30, 0, ref, 0)  # HDMV object, movie playback
    table = struct.pack(">H", len(titles)) + b"".join(obj(t) for t in titles)
    indexes = block(obj(first_play) + obj(top_menu) + table)
    return header(b"INDX", 40 + len(app), 0) + app + indexes


# HDMV commands: operation word, then the two operands.
def command(word, dst=0, src=0):
    return bytes.fromhex(word) + struct.pack(">II", dst, src)


PLAY_PL = lambda pl: command("22800000", pl)
PLAY_PL_MARK = lambda pl, mark: command("42C20000", pl, mark)
JUMP_TITLE = lambda title: command("21810000", title)
JUMP_OBJECT = lambda obj: command("21800000", obj)
MOVE_GPR = lambda reg, value: command("50400001", reg, value)   # GPR[reg] = value


def movie_object_bdmv(at_end, objects=None):
    """objects: each movie object's commands; by default title 1's (PlayPL 0) and first play's
    (JumpTitle 1)."""
    if objects is None:
        title = [PLAY_PL(0), JUMP_TITLE(1)] if at_end == "repeat" else [PLAY_PL(0)]
        objects = [title, [JUMP_TITLE(1)]]
    objs = b"".join(struct.pack(">HH", 0, len(cmds)) + b"".join(cmds) for cmds in objects)
    return header(b"MOBJ", 0) + block(struct.pack(">IH", 0, len(objects)) + objs)


def video_attr(size, rate=RATE_24):
    return bytes([H264_TYPE, VIDEO_FORMAT[size] << 4 | rate])


def audio_attr(lang):
    return bytes([AC3_TYPE, 3 << 4 | 1]) + lang.encode()   # stereo, 48 kHz


def mpls(items, marks, size, still, rate=RATE_24, mark_pid=0xFFFF):
    """items: play items (clip, in45, out45), the last one holding still; marks: entry marks
    (play item, time45), naming mark_pid as their entry stream."""
    def stream(pid, attr):
        return block(struct.pack(">BH", 1, pid) + bytes(6), ">B") + block(attr.ljust(5, b"\0"), ">B")
    stn = struct.pack(">H8B4x", 0, 1, len(AUDIO_PIDS), 0, 0, 0, 0, 0, 0)
    stn += stream(VIDEO_PID, video_attr(size, rate))
    stn += b"".join(stream(pid, audio_attr(lang)) for pid, lang in zip(AUDIO_PIDS, LANGS))
    body = struct.pack(">HHH", 0, len(items), 0)
    for i, (clip, in45, out45) in enumerate(items):
        hold = still if i == len(items) - 1 else 0
        item = clip.encode() + b"M2TS" + struct.pack(">HBII8xBBH", 1, 0, in45, out45, 0, hold, 0)
        body += block(item + block(stn, ">H"), ">H")
    playlist = block(body)
    app = block(struct.pack(">BBH8xH", 0, 1, 0, 0))          # sequential playback
    marks = block(struct.pack(">H", len(marks)) + b"".join(
        struct.pack(">BBHIHI", 0, 1, item, t, mark_pid, 0) for item, t in marks))  # entry marks
    list_pos = 40 + len(app)
    return header(b"MPLS", list_pos, list_pos + len(playlist), 0) + app + playlist + marks


def ep_map(entries):
    """EP map for the video PID: a coarse entry whenever the high PTS / SPN bits change."""
    coarse, fine, last = [], [], None
    for i, (pts, spn) in enumerate(entries):
        key = (pts >> 19, spn >> 17)
        if key != last:
            coarse.append(struct.pack(">II", i << 14 | (pts >> 19) & 0x3FFF, spn))
            last = key
        fine.append(struct.pack(">I", 1 << 28 | ((pts >> 9) & 0x7FF) << 17 | spn & 0x1FFFF))
    data = struct.pack(">I", 4 + 8 * len(coarse)) + b"".join(coarse) + b"".join(fine)
    counts = 1 << 34 | len(coarse) << 18 | len(fine)    # stream type 1 (video), 48 bits
    head = struct.pack(">BBH", 0, 1, VIDEO_PID) + counts.to_bytes(6, "big")
    return struct.pack(">H", 1) + head + struct.pack(">I", len(head) + 4) + data


def clpi(packets, pcr_pid, in45, out45, entries, size, rate=RATE_24):
    ts_type = block(b"\x80HDMV" + bytes(25), ">H")
    clip = block(struct.pack(">HBBIII128x", 0, 1, 1, 0, 48_000_000 // 8, packets) + ts_type)
    seq = block(struct.pack(">BBIBBHIII", 0, 1, 0, 1, 0, pcr_pid, 0, in45, out45))
    streams = [(VIDEO_PID, video_attr(size, rate) + bytes([ASPECT_16_9 << 4]))]
    streams += [(pid, audio_attr(lang)) for pid, lang in zip(AUDIO_PIDS, LANGS)]
    prog = struct.pack(">BBIHBB", 0, 1, 0, PMT_PID, len(streams), 0) + b"".join(
        struct.pack(">H", pid) + block(attr.ljust(21, b"\0"), ">B") for pid, attr in streams)
    prog, cpi = block(prog), block(ep_map(entries))
    seq_pos = 40 + len(clip)
    prog_pos = seq_pos + len(seq)
    cpi_pos = prog_pos + len(prog)
    mark_pos = cpi_pos + len(cpi)
    return (header(b"HDMV", seq_pos, prog_pos, cpi_pos, mark_pos, 0)
            + clip + seq + prog + cpi + block(b""))


def add_clip(bdmv, name, colours, seconds, args, fps, rate, files):
    """Encodes clip name (one chapter per colour) and its clip information into files; returns
    its play item (clip, in45, out45) and its chapter marks (time45) on random-access points."""
    m2ts = os.path.join(bdmv, "STREAM", name + ".m2ts")
    encode(m2ts, len(colours), seconds, args.size, args.video_kbps, args.edge, colours, fps)
    packets = pad_to_units(m2ts)
    pcr_pid, entries, end90 = scan(m2ts)
    in90 = entries[0][0]
    # each chapter mark sits on the random-access point nearest its nominal start
    marks = [min(entries, key=lambda e: abs(e[0] - in90 - c * seconds * 90000))[0]
             for c in range(len(colours))]
    if not args.no_clpi:
        files[f"CLIPINF/{name}.clpi"] = clpi(packets, pcr_pid, in90 // 2, end90 // 2, entries,
                                             args.size, rate)
    return (name, in90 // 2, end90 // 2), [m // 2 for m in marks]


def pressed_disc(bdmv, args, fps, rate, files, film, film_marks):
    """Playlists, movie objects and index as pressed discs have them: first play shows a logo
    playlist, then goes through a menu-like movie object to title 1, whose object sets registers
    and starts the film playlist at its first mark; --playlists adds short clips, menu loops,
    duplicates and decoys of nearly the film's length that differ in one clip, and a few
    extra titles. Returns the film playlist's number."""
    clip = lambda name, colours, seconds: add_clip(bdmv, name, colours, seconds, args, fps, rate,
                                                   files)
    logo, _ = clip("00090", ("gray",), 1)
    lists = [([logo], [(0, logo[1])])]
    if args.playlists:
        menu, _ = clip("00091", ("darkslategray",), 2)
        alt, alt_marks = clip("00092", ("magenta", "cyan")[:len(film_marks[-1])],
                              args.chapter_seconds)
        for k in range(args.playlists - 1):
            kind = k % 6
            if kind == 0:
                lists.append(([menu], [(0, menu[1])]))
            elif kind == 1:
                lists.append(([logo], [(0, logo[1])]))
            elif kind == 2:   # a decoy: the film with its last clip swapped, cut k/6 s short
                cut = alt[:2] + (alt[2] - k // 6 % 4 * 22500,)
                lists.append((film[:-1] + [cut], [(0, film[0][1])]))
            elif kind == 3:   # the film's last clip alone
                lists.append(([film[-1]], [(0, film[-1][1])]))
            elif kind == 4:   # a duplicate of the film
                lists.append((film, [(0, film[0][1])]))
            else:             # the alternative clip alone
                lists.append(([alt], [(0, alt[1])]))
    film_pl = len(lists) // 2 if args.playlists else 1
    marks = [(i, t) for i, item_marks in enumerate(film_marks) for t in item_marks]
    lists.insert(film_pl, (film, marks))
    still = 2 if args.at_end == "hold" else 0
    for number, (items, item_marks) in enumerate(lists):
        files[f"PLAYLIST/{number:05d}.mpls"] = mpls(items, item_marks, args.size,
                                                    still if number == film_pl else 0, rate,
                                                    VIDEO_PID)
    title = [MOVE_GPR(0, 1), MOVE_GPR(1, 0), PLAY_PL_MARK(film_pl, 0)]
    if args.at_end == "repeat":
        title.append(JUMP_TITLE(1))
    objects = [title, [MOVE_GPR(0, 0), MOVE_GPR(2, 1), PLAY_PL(0), JUMP_OBJECT(2)],
               [MOVE_GPR(3, 1), MOVE_GPR(4, 0), JUMP_TITLE(1)]]
    extras = list(range(1, len(lists), 10)) if args.playlists else []   # bonus titles
    objects += [[PLAY_PL(n + (n >= film_pl)), JUMP_OBJECT(2)] for n in extras]
    files["MovieObject.bdmv"] = movie_object_bdmv(args.at_end, objects)
    files["index.bdmv"] = index_bdmv(1, 2, [0] + [3 + i for i in range(len(extras))])
    return film_pl


def author(root, args):
    bdmv = os.path.join(root, "BDMV")
    for d in ("PLAYLIST", "CLIPINF", "STREAM", "AUXDATA", "BDJO", "JAR",
              "BACKUP/PLAYLIST", "BACKUP/CLIPINF", "BACKUP/BDJO"):
        os.makedirs(os.path.join(bdmv, d))
    os.makedirs(os.path.join(root, "CERTIFICATE", "BACKUP"))
    fps, rate = (24000 / 1001, RATE_23_976) if args.fps == "23.976" else (FPS, RATE_24)
    files = {}
    film, film_marks = [], []
    per_clip = -(-args.chapters // args.clips)
    for n, first in enumerate(range(0, args.chapters, per_clip)):
        colours = [COLOURS[c % len(COLOURS)] for c in range(first, min(first + per_clip,
                                                                       args.chapters))]
        item, marks = add_clip(bdmv, f"{n:05d}", colours, args.chapter_seconds, args, fps, rate,
                               files)
        film.append(item)
        film_marks.append(marks)
    if args.pressed or args.playlists:
        pressed_disc(bdmv, args, fps, rate, files, film, film_marks)
    else:
        still = 2 if args.at_end == "hold" else 0      # 2: hold the last picture indefinitely
        marks = [(i, t) for i, item_marks in enumerate(film_marks) for t in item_marks]
        files["MovieObject.bdmv"] = movie_object_bdmv(args.at_end)
        files["PLAYLIST/00000.mpls"] = mpls(film, marks, args.size, still, rate)
        files["index.bdmv"] = index_bdmv()
    for name in ["index.bdmv"] * args.no_index + ["MovieObject.bdmv"] * args.no_mobj:
        del files[name]
    if args.missing_clip:   # the film's last clip is gone, its playlist still names it
        os.remove(os.path.join(bdmv, "STREAM", film[-1][0] + ".m2ts"))
        files.pop(f"CLIPINF/{film[-1][0]}.clpi", None)
    for name, data in files.items():
        for sub in ("", "BACKUP"):
            with open(os.path.join(bdmv, sub, name), "wb") as f:
                f.write(data)
    if args.no_clpi:
        for sub in ("CLIPINF", "BACKUP/CLIPINF"):
            os.rmdir(os.path.join(bdmv, sub))
    if args.aacs:
        import bd_aacs
        bd_aacs.mark(root)
    if args.java_menu:
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "bdj"))
        import bdj_disc
        bdj_disc.add_java_menu(root, jar=args.java_menu == "menu")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("out", help="image to write (or the folder, with --folder)")
    ap.add_argument("--folder", action="store_true", help="write a BDMV folder, no image")
    ap.add_argument("--chapters", type=int, default=4)
    ap.add_argument("--chapter-seconds", type=int, default=3)
    ap.add_argument("--size", choices=sorted(VIDEO_FORMAT), default="1280x720")
    ap.add_argument("--video-kbps", type=int, default=2000,
                    help="constant video bitrate, kept up with filler data (default 2000)")
    ap.add_argument("--at-end", choices=("stop", "hold", "repeat"), default="hold",
                    help="after the title: the movie object ends (stop), the last picture "
                         "stays (hold) or the title starts again (repeat)")
    ap.add_argument("--volume", default="VELLORAN_BD", help="volume label of the image")
    ap.add_argument("--edge", action="store_true", help="a white band along the bottom lines")
    ap.add_argument("--no-index", action="store_true", help="leave out index.bdmv")
    ap.add_argument("--no-clpi", action="store_true", help="leave out CLIPINF/00000.clpi")
    ap.add_argument("--no-mobj", action="store_true", help="leave out MovieObject.bdmv")
    ap.add_argument("--missing-clip", action="store_true",
                    help="leave out the film's last clip (stream and clip information)")
    ap.add_argument("--clips", type=int, default=1, help="clips the film's chapters share")
    ap.add_argument("--fps", choices=("24", "23.976"), default="24")
    ap.add_argument("--pressed", action="store_true",
                    help="first play through a logo and a menu-like object, PlayPLMark")
    ap.add_argument("--playlists", type=int, default=0,
                    help="this many playlists in all, the film's among them (implies --pressed)")
    ap.add_argument("--udf250", choices=("sound", "main-metadata", "metadata-past-end"),
                    help="write a UDF 2.50 image without ISO 9660 (udf250.py), whole or damaged")
    ap.add_argument("--aacs", action="store_true",
                    help="mark the disc AACS-encrypted (tests/media/bd_aacs.py); no keys exist")
    ap.add_argument("--java-menu", choices=("menu", "no-jar"),
                    help="a BD-J first play (tests/media/bdj/): its menu Xlet starts title 1 on "
                         "Enter; no-jar: the Java object names a JAR that is not on the disc")
    args = ap.parse_args()
    if not 1 <= args.chapters <= 99 or args.chapter_seconds < 1:
        ap.error("need 1..99 chapters of at least 1 second")
    out = os.path.abspath(args.out)
    work = tempfile.mkdtemp(prefix=".bluray.", dir=os.path.dirname(out))
    try:
        root = os.path.join(work, "disc")
        author(root, args)
        if args.folder:
            if os.path.isdir(out):
                shutil.rmtree(out)
            os.replace(root, out)
        elif args.udf250:
            udf250.write_image(root, out, args.volume,
                               None if args.udf250 == "sound" else args.udf250)
        else:
            subprocess.run(["genisoimage", "-udf", "-iso-level", "3", "-quiet", "-V", args.volume,
                            "-o", os.path.join(work, "disc.iso"), root], check=True)
            os.replace(os.path.join(work, "disc.iso"), out)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
