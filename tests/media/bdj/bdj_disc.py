"""Gives an authored HDMV BDMV tree a BD-J (Java) first play, as most pressed Blu-rays have:
index.bdmv's first play names BDMV/BDJO/00000.bdjo, whose one auto-started application is the
Xlet MenuXlet (MenuXlet.java beside this file, compiled with javac against the jar that
libbluray-bdj installs) from BDMV/JAR/00000.jar. The Xlet draws its menu and starts title 1,
the disc's HDMV film title, on Enter. jar=False leaves the JAR out: a damaged disc whose
Java object names a JAR that is not there."""
import glob, os, shutil, struct, subprocess, tempfile, zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
JAR_NAME, XLET = "00000", "MenuXlet"


def _header(magic, *addrs):
    out = magic + b"0200" + b"".join(struct.pack(">I", a) for a in addrs)
    return out + bytes(40 - len(out))


def _block(body, lenfmt=">I"):
    return struct.pack(lenfmt, len(body)) + body


def _app_string(text):
    """Length byte, text, and a pad byte that keeps the field at an even length."""
    data = text.encode()
    return bytes([len(data)]) + data + (b"" if len(data) % 2 else b"\0")


def index_bdmv():
    """First play: BD-J object 00000 (interactive); title 1: HDMV movie object 0, the film;
    title 2: the same BD-J object, the menu as a title of its own. A disc without a BD-J title
    is not taken for a Java disc by libVLC, which then never shows the Java graphics."""
    app = _block(bytes(2 + 32))
    java = struct.pack(">IH", 2 << 30, 3 << 14) + JAR_NAME.encode() + b"\0"
    no_top_menu = struct.pack(">IHHI", 1 << 30, 0, 0xFFFF, 0)
    film = struct.pack(">IHHI", 1 << 30, 0, 0, 0)
    indexes = _block(java + no_top_menu + struct.pack(">H", 2) + film + java)
    return _header(b"INDX", 40 + len(app), 0) + app + indexes


def bdjo():
    terminal = _block(b"*****" + bytes([2 << 4 | 1 << 3 | 1 << 2]) + bytes(4))  # 1280x720
    cache = _block(bytes([1, 0]) + bytes([1]) + JAR_NAME.encode() + b"\0\0\0" + bytes(3))
    # Access to all playlists; the film's starts with the title, as the moving background behind
    # the menu (the menu's graphics need a picture to be drawn over).
    playlists = _block(struct.pack(">I", 1 << 21 | 1 << 20 | 1 << 19) + b"00000\0")
    app = bytes([1, 1 << 4]) + struct.pack(">IH", 0x7FFF0001, 0x4000)  # autostart, BD-J title app
    app += bytes(10)                                             # descriptor tag and length
    app += struct.pack(">H", 1 << 12) + struct.pack(">HBBBx", 1, 1, 0, 0)  # one profile
    app += bytes([1, 1 << 6 | 3 << 4])                           # priority, binding, visibility
    app += struct.pack(">H", 0)                                  # no names
    app += _app_string("") + struct.pack(">H", 0)                # icon locator and flags
    app += _app_string(JAR_NAME) + _app_string("") + _app_string(XLET)
    app += bytes([0, 0])                                         # no parameters
    table = _block(bytes([1, 0]) + app)
    keys = struct.pack(">I", 0)
    access = _block(b".", ">H")
    # A Java object's address table is 40 bytes after the type and version, not 32.
    return _header(b"BDJO", 0) + bytes(8) + terminal + cache + playlists + table + keys + access


def xlet_jar(path):
    jars = sorted(glob.glob("/usr/share/java/libbluray-j2se-*.jar"))
    if not jars:
        raise SystemExit("bdj_disc: libbluray-bdj is not installed (no libbluray-j2se jar)")
    work = tempfile.mkdtemp(prefix=".xlet.")
    try:
        subprocess.run(["javac", "--release", "8", "-nowarn", "-cp", jars[-1], "-d", work,
                        os.path.join(HERE, XLET + ".java")], check=True)
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as jar:
            for name in sorted(os.listdir(work)):
                jar.write(os.path.join(work, name), name)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def add_java_menu(root, jar=True):
    bdmv = os.path.join(root, "BDMV")
    for sub in ("", "BACKUP"):
        with open(os.path.join(bdmv, sub, "index.bdmv"), "wb") as f:
            f.write(index_bdmv())
        with open(os.path.join(bdmv, sub, "BDJO", JAR_NAME + ".bdjo"), "wb") as f:
            f.write(bdjo())
    if jar:
        xlet_jar(os.path.join(bdmv, "JAR", JAR_NAME + ".jar"))
