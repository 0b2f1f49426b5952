"""The mount tool cdemu/batchmnt.exe under Wine, used as the player uses it: its three command
lines, the drive letter it defines, the files seen through that drive (read-only), and that
nothing stays behind after unmounting. The last test runs the player on an image given on the
command line and checks that closing it unmounts the image."""

import hashlib
import os
import re
import shutil
import struct
import subprocess
import time
from pathlib import Path

import pytest

import conftest
from conftest import BUILD, drive_letters, fuse_mounts, run, wait_for, win_path

TOOL = BUILD / "cdemu" / "batchmnt.exe"
SERVER = BUILD / "cdemu" / "isofs"


def tool(env, *args, timeout=90, given=None):
    """Runs the mount tool (given: the text on its standard input); returns (exit code, output
    with CRLF kept)."""
    proc = subprocess.run(["wine", str(TOOL), *map(str, args)], env=env, timeout=timeout,
                          input=given.encode() if given is not None else None,
                          stdin=None if given is not None else subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return proc.returncode, proc.stdout.decode("latin-1")


def wine_cmd(env, command, timeout=60):
    """Runs one command of Wine's command interpreter; returns its output."""
    proc = subprocess.run(["wine", "cmd", "/c", command], env=env, timeout=timeout,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT)
    return proc.stdout.decode("latin-1")


def drive_folder(env, letter):
    """The Linux folder behind a drive letter of the prefix (through its dosdevices link)."""
    return Path(env["WINEPREFIX"]) / "dosdevices" / f"{letter.lower()}:"


def isofs_processes():
    """Process ids of the session's running image servers (their mount folder is its own)."""
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            exe = os.readlink(entry / "exe")
            state = (entry / "stat").read_text().split(") ", 1)[1][0]
            args = (entry / "cmdline").read_bytes().decode(errors="replace").split("\0")
        except OSError:
            continue
        if os.path.basename(exe) == "isofs" and state != "Z" and \
                any(conftest.ours(a) for a in args[1:] if a):
            pids.append(int(entry.name))
    return pids


def waiting_tools():
    """Process ids of mount tools started ahead of need ("batchmnt.exe /standby")."""
    pids = []
    for entry in Path("/proc").iterdir():
        try:
            args = (entry / "cmdline").read_bytes().split(b"\0")
        except OSError:
            continue
        if any(a.lower().endswith(b"batchmnt.exe") for a in args) and b"/standby" in args:
            pids.append(int(entry.name))
    return pids


def sha(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


@pytest.fixture
def mounter(wine_env):
    """The Wine environment for one test of the tool. Afterwards every image still listed is
    unmounted, and the test fails when a FUSE mount, a drive letter or an image server stays
    behind."""
    if not TOOL.exists() or not SERVER.exists():
        pytest.fail(f"{TOOL} or {SERVER} is not built")
    mounts_before = fuse_mounts()
    letters_before = drive_letters(wine_env)
    servers_before = set(isofs_processes())
    yield wine_env
    _, listing = tool(wine_env, "/list")
    for line in listing.splitlines():
        m = re.match(r"^([A-Z]):\s+(.*?)\s*$", line)
        if m:
            tool(wine_env, "/unmount", m.group(2))
    left_mounts = fuse_mounts() - mounts_before
    left_letters = drive_letters(wine_env) - letters_before
    left_servers = wait_for(lambda: set(isofs_processes()) - servers_before == set(), 5) or \
        set(isofs_processes()) - servers_before
    for point in left_mounts:
        run(["fusermount3", "-u", "-z", point], timeout=20)
    assert not listing.strip(), f"still listed: {listing!r}"
    assert not left_mounts, f"FUSE mounts stay behind: {sorted(left_mounts)}"
    assert not left_letters, f"drive letters stay defined: {sorted(left_letters)}"
    assert left_servers is True, f"image servers still run: {left_servers}"


def mount_ok(env, image, letter):
    rc, out = tool(env, win_path(image), f"{letter}:", "/wait")
    assert rc == 0, out
    assert out == f"{letter}: {win_path(image)}\r\n"
    return drive_folder(env, letter)


def assert_gone(env, image, letter):
    rc, listing = tool(env, "/list")
    assert rc == 0
    assert win_path(image) not in listing
    assert f"{letter.lower()}:" not in drive_letters(env)
    assert "not exist" in wine_cmd(env, f"if exist {letter}:\\ (echo exists) else (echo not exist)")


def shared_folders(path, data):
    """Writes a copy of the ISO 9660 image data in which, in every folder of /CHAIN, Y points at
    X's folder: the folders are shared, 2**24 paths through one chain."""
    d = bytearray(data)

    def records(at):  # name -> offset of the records of the (one-block) folder recorded at `at`
        offset, out = struct.unpack_from("<I", d, at + 2)[0] * 2048, {}
        while d[offset]:
            out[bytes(d[offset + 33:offset + 33 + d[offset + 32]])] = offset
            offset += d[offset]
        return out

    folder = records(16 * 2048 + 156)[b"CHAIN"]  # from the root's record in the volume descriptor
    while b"X" in records(folder):
        x, y = records(folder)[b"X"], records(folder)[b"Y"]
        d[y + 2:y + 18] = d[x + 2:x + 18]  # extent and size, both byte orders
        folder = x
    path.write_bytes(d)
    return path


class TestDvdImage:
    def test_mount_list_read_and_unmount(self, mounter, media):
        env, image = mounter, media / "dvd.iso"
        started = time.monotonic()
        folder = mount_ok(env, image, "K")
        assert time.monotonic() - started < 30

        # The listing: one line with the letter and a colon before the full image path.
        rc, listing = tool(env, "/list")
        assert rc == 0
        assert listing == f"K: {win_path(image)}\r\n"

        # Windows programs see a CD-ROM drive whose root holds the DVD structure.
        dir_out = wine_cmd(env, "dir K:\\VIDEO_TS")
        for name in ("VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_02_1.VOB"):
            assert name in dir_out
        assert "AUDIO_TS" in wine_cmd(env, "dir K:\\")
        # The bytes are the image's: the same as the folder the image was made from.
        for name in ("VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_01_1.VOB"):
            assert sha(folder / "VIDEO_TS" / name) == sha(media / "dvd" / "VIDEO_TS" / name)
        assert any(fields.split()[1] == str(folder.resolve()) for fields in
                   Path("/proc/mounts").read_text().splitlines() if " fuse" in fields)

        # A program still holding a file on the drive (a file browser showing the disc) does
        # not hold up the unmount; it is left with a read error.
        held = open(folder / "VIDEO_TS" / "VTS_02_1.VOB", "rb", buffering=0)
        started = time.monotonic()
        rc, out = tool(env, "/unmount", win_path(image))
        assert rc == 0, out
        assert out.startswith("unmounted K:")
        assert time.monotonic() - started < 10
        with pytest.raises(OSError):
            held.read(2048)
        held.close()
        assert_gone(env, image, "K")

    def test_a_waiting_tool_answers_the_command_it_is_given_as_on_its_command_line(
            self, mounter, media):
        env, image = mounter, media / "dvd.iso"
        assert tool(env, "/standby", given="") == (0, "")
        assert tool(env, "/standby", given=f'"{win_path(image)}" L: /wait') == \
            (0, f"L: {win_path(image)}\r\n")
        assert (drive_folder(env, "L") / "VIDEO_TS" / "VIDEO_TS.IFO").exists()
        assert tool(env, "/standby", given="/list") == tool(env, "/list")
        rc, out = tool(env, "/standby", given=f'/unmount "{win_path(image)}"')
        assert rc == 0 and out.startswith("unmounted L:"), out
        assert_gone(env, image, "L")
        rc, out = tool(env, "/standby", given="/nothing")
        assert rc == 2 and out.startswith("batchmnt: usage"), out

    def test_drive_is_read_only(self, mounter, media):
        env, image = mounter, media / "dvd.iso"
        folder = mount_ok(env, image, "M")
        ifo = folder / "VIDEO_TS" / "VIDEO_TS.IFO"
        before = sha(ifo)
        wine_cmd(env, "echo changed> M:\\new.txt")
        wine_cmd(env, "echo changed>> M:\\VIDEO_TS\\VIDEO_TS.IFO")
        wine_cmd(env, "del /q M:\\VIDEO_TS\\VTS_01_0.BUP")
        wine_cmd(env, "mkdir M:\\newfolder")
        assert not (folder / "new.txt").exists()
        assert not (folder / "newfolder").exists()
        assert (folder / "VIDEO_TS" / "VTS_01_0.BUP").exists()
        assert sha(ifo) == before
        # Also from Linux, as the user Wine runs as.
        with pytest.raises(OSError):
            with open(ifo, "ab") as f:
                f.write(b"x")
        with pytest.raises(OSError):
            (folder / "other.txt").write_text("x")
        rc, _ = tool(env, "/unmount", win_path(image))
        assert rc == 0
        assert_gone(env, image, "M")


class TestDataImage:
    def test_joliet_names_and_contents(self, mounter, media):
        env, image = mounter, media / "data.iso"
        folder = mount_ok(env, image, "L")
        assert wine_cmd(env, "type L:\\readme.txt") == "Nothing to play here.\r\n"
        numbers = (folder / "docs" / "numbers.txt").read_text()
        assert numbers == "".join(f"{i}\n" for i in range(1, 2001))
        assert "numbers.txt" in wine_cmd(env, "dir L:\\docs")
        assert "VIDEO_TS" not in wine_cmd(env, "dir L:\\")
        rc, _ = tool(env, "/unmount", win_path(image))
        assert rc == 0
        assert_gone(env, image, "L")

    def test_rock_ridge_names_and_damaged_folders(self, mounter, tmp_path):
        """A Rock Ridge image without Joliet mounts with its names as written; a copy of it whose
        folders are shared over and over is refused with a reason, promptly."""
        tree, rr = tmp_path / "tree", tmp_path / "rr.iso"
        (tree / "Sub").mkdir(parents=True)
        (tree / "MixedCase.Txt").write_text("rock ridge\n")
        (tree / "Sub" / "Inner.bin").write_bytes(bytes(range(256)) * 40)
        for level in range(24):  # X and Y in every folder; X holds the next level
            for name in "XY":
                (tree / "chain" / ("X/" * level) / name).mkdir(parents=True)
        assert run(["genisoimage", "-quiet", "-R", "-o", str(rr), str(tree)]).returncode == 0
        cases = [(rr, None), (shared_folders(tmp_path / "s.iso", rr.read_bytes()), "loop")]
        for image, reason in cases:
            started = time.monotonic()
            rc, out = tool(mounter, win_path(image), "K:", "/wait")
            assert time.monotonic() - started < 30 and (rc != 0) == bool(reason), (image, out)
            if reason:
                assert reason in out, out
                continue
            folder = drive_folder(mounter, "K")
            assert wine_cmd(mounter, "type K:\\MixedCase.Txt") == "rock ridge\n"
            assert {"MixedCase.Txt", "Sub", "chain"} <= set(os.listdir(folder))
            assert (folder / "Sub" / "Inner.bin").read_bytes() == bytes(range(256)) * 40
            assert tool(mounter, "/unmount", win_path(image))[0] == 0
        assert_gone(mounter, rr, "K")

    def test_path_with_blanks_and_accents(self, mounter, media, tmp_path):
        folder = tmp_path / "mes images"
        folder.mkdir()
        image = folder / "données 1.iso"
        shutil.copyfile(media / "data.iso", image)
        env = mounter
        rc, out = tool(env, win_path(image), "N:", "/wait")
        assert rc == 0, out
        # The listing is UTF-8 (read back here byte for byte), whatever the script of the path.
        rc, listing = tool(env, "/list")
        assert listing.encode("latin-1") == f"N: {win_path(image)}\r\n".encode("utf-8")
        assert wine_cmd(env, "type N:\\readme.txt") == "Nothing to play here.\r\n"
        rc, _ = tool(env, "/unmount", win_path(image))
        assert rc == 0
        assert_gone(env, image, "N")

    def test_second_mount_of_the_same_image_reports_the_first(self, mounter, media):
        env, image = mounter, media / "data.iso"
        mount_ok(env, image, "K")
        rc, out = tool(env, win_path(image), "P:", "/wait")
        assert rc == 0
        assert out.startswith(f"K: {win_path(image)}")
        assert "p:" not in drive_letters(env)
        rc, listing = tool(env, "/list")
        assert listing == f"K: {win_path(image)}\r\n"
        tool(env, "/unmount", win_path(image))
        assert_gone(env, image, "K")

    def test_two_images_on_two_letters(self, mounter, media):
        env = mounter
        mount_ok(env, media / "dvd.iso", "K")
        mount_ok(env, media / "data.iso", "L")
        rc, listing = tool(env, "/list")
        assert sorted(listing.splitlines()) == sorted(
            [f"K: {win_path(media / 'dvd.iso')}", f"L: {win_path(media / 'data.iso')}"])
        tool(env, "/unmount", win_path(media / "dvd.iso"))
        assert wine_cmd(env, "type L:\\readme.txt") == "Nothing to play here.\r\n"
        rc, listing = tool(env, "/list")
        assert listing == f"L: {win_path(media / 'data.iso')}\r\n"
        tool(env, "/unmount", win_path(media / "data.iso"))
        assert_gone(env, media / "data.iso", "L")


class TestRefusals:
    @pytest.mark.parametrize("args", [
        [],
        ["/list", "extra"],
        ["/unmount"],
        ["IMAGE", "K:"],
        ["IMAGE", "K", "/wait"],
        ["IMAGE", "K:\\", "/wait"],
        ["IMAGE", "1:", "/wait"],
        ["IMAGE", "K:", "/now"],
    ])
    def test_other_command_lines_are_refused(self, mounter, media, args):
        args = [win_path(media / "data.iso") if a == "IMAGE" else a for a in args]
        rc, out = tool(mounter, *args)
        assert rc != 0
        assert out.startswith("batchmnt: ")
        assert not drive_letters(mounter) - {"c:", "z:"}

    def test_files_that_are_no_images_fail_quickly_and_leave_nothing(self, mounter, media,
                                                                     tmp_path):
        text = tmp_path / "notes.iso"
        text.write_bytes(b"not an image\r\n" * 5000)
        truncated = tmp_path / "half.iso"
        data = (media / "dvd.iso").read_bytes()
        truncated.write_bytes(data[:len(data) // 2])
        cases = [(text, "not a disc image"), (truncated, "truncated"),
                 (media / "testsrc.mkv", "not a disc image"),
                 (tmp_path / "missing.iso", "cannot open")]
        for image, reason in cases:
            started = time.monotonic()
            rc, out = tool(mounter, win_path(image), "K:", "/wait")
            assert rc != 0, image
            assert reason in out, out
            assert time.monotonic() - started < 30
            assert "k:" not in drive_letters(mounter)
        rc, listing = tool(mounter, "/list")
        assert listing == ""

    def test_letter_in_use_and_unknown_image(self, mounter, media):
        rc, out = tool(mounter, win_path(media / "data.iso"), "C:", "/wait")
        assert rc != 0
        assert "in use" in out
        rc, out = tool(mounter, "/unmount", win_path(media / "data.iso"))
        assert rc != 0
        assert "not mounted" in out


def without_fuse(env, *args, timeout=150):
    """Runs the mount tool (and so its image server) in a private mount namespace in which
    /dev/fuse is unusable, as on a machine or in a container without FUSE. None when this
    machine cannot make such a namespace."""
    if run(["unshare", "-m", "true"], timeout=20).returncode != 0:
        return None
    quoted = " ".join("'" + str(a).replace("'", "'\\''") + "'" for a in args)
    script = f"mount --bind /dev/null /dev/fuse 2>/dev/null || exit 77; exec wine '{TOOL}' {quoted}"
    proc = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c", script],
                          env=env, timeout=timeout, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if proc.returncode == 77:
        return None
    return proc.returncode, proc.stdout.decode("latin-1")


class TestWithoutFuse:
    def test_image_is_served_as_a_read_only_copy_and_removed_on_unmount(self, mounter, media):
        env, image = mounter, media / "dvd.iso"
        started = time.monotonic()
        result = without_fuse(env, win_path(image), "K:", "/wait")
        if result is None:
            pytest.skip("FUSE cannot be hidden from the tool here")
        rc, out = result
        assert rc == 0, out
        lines = out.splitlines()
        assert lines[0] == f"K: {win_path(image)}"
        # The tool says plainly that this is a copy, and why.
        assert lines[1].startswith("batchmnt: FUSE is not available here") and "copy" in lines[1]
        assert time.monotonic() - started < 60
        assert str(drive_folder(env, "K").resolve()) not in fuse_mounts()

        folder = drive_folder(env, "K")
        rc, listing = tool(env, "/list")
        assert listing == f"K: {win_path(image)}\r\n"
        assert "VIDEO_TS.IFO" in wine_cmd(env, "dir K:\\VIDEO_TS")
        for name in ("VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_02_1.VOB"):
            assert sha(folder / "VIDEO_TS" / name) == sha(media / "dvd" / "VIDEO_TS" / name)

        # Nothing on the drive can be changed or deleted through Wine.
        ifo = folder / "VIDEO_TS" / "VIDEO_TS.IFO"
        before = sha(ifo)
        wine_cmd(env, "echo changed>> K:\\VIDEO_TS\\VIDEO_TS.IFO")
        wine_cmd(env, "del /q K:\\VIDEO_TS\\VTS_01_0.BUP")
        assert sha(ifo) == before
        assert (folder / "VIDEO_TS" / "VTS_01_0.BUP").exists()
        if "locked" in lines[1]:
            # Where the copy could be locked, not even new files can be added.
            wine_cmd(env, "echo new> K:\\new.txt")
            wine_cmd(env, "mkdir K:\\newfolder")
            assert not (folder / "new.txt").exists()
            assert not (folder / "newfolder").exists()

        copy = folder.resolve()
        rc, out = tool(env, "/unmount", win_path(image))
        assert rc == 0, out
        assert_gone(env, image, "K")
        assert not copy.exists()

    def test_too_large_or_broken_images_still_fail_with_a_reason(self, mounter, media, tmp_path):
        truncated = tmp_path / "half.iso"
        data = (media / "dvd.iso").read_bytes()
        truncated.write_bytes(data[:len(data) // 2])
        result = without_fuse(mounter, win_path(truncated), "K:", "/wait")
        if result is None:
            pytest.skip("FUSE cannot be hidden from the tool here")
        rc, out = result
        assert rc != 0
        assert out.startswith("batchmnt: ") and "truncated" in out, out
        assert "k:" not in drive_letters(mounter)


def test_player_unmounts_its_image_when_it_closes(player, media):
    """The player opens an image named on its command line as a disc; closing it unmounts the
    image (the player fixture fails the test if a mount or drive letter stays)."""
    before = fuse_mounts()
    player.start(win_path(media / "dvd.iso"))
    caption = player.wait_caption(r"[K-Z]:\\", timeout=40)
    assert caption, f"no drive root in the caption: {player.caption()!r}"
    assert fuse_mounts() - before
    assert player.close() is not None
    assert wait_for(lambda: not (fuse_mounts() - before), 10)
