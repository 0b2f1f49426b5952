"""Bad input on the real player: every case ends in the message the player gives for it, or
plays, and never in a crash or a hang. The player must still answer and close normally."""

import os
import signal
import shutil
import time

import pytest

from conftest import fuse_mounts, run, video_rect, wait_for, win_path
from test_mount_tool import isofs_processes, waiting_tools


def refused_with_a_message(player, path):
    player.start(win_path(path))
    box = player.wait_dialog(r"^Velloran$", 30)
    assert box, f"no message for {path.name}"
    player.key("Return", window=box)
    assert wait_for(lambda: not player.dialogs(), 10)
    assert player.wait_caption(r"^Velloran$")
    assert player.running()
    assert player.close() == 0


def test_a_zero_byte_file_with_a_media_extension(player, tmp_path, fresh_settings):
    empty = tmp_path / "empty.mkv"
    empty.write_bytes(b"")
    refused_with_a_message(player, empty)


def test_random_bytes_with_a_media_extension(player, tmp_path, fresh_settings):
    noise = tmp_path / "noise.avi"
    noise.write_bytes(os.urandom(256 * 1024))
    refused_with_a_message(player, noise)


def test_a_missing_file_on_the_command_line_is_named_in_a_message(player, tmp_path,
                                                                  fresh_settings):
    player.start(win_path(tmp_path / "gone.mkv"))
    box = player.wait_dialog()
    assert box, "no message for the missing file"
    assert "gone.mkv does not exist." in player.dialog_text(box), player.dialog_text(box)
    player.key("Return", window=box)
    assert player.wait_caption(r"^Velloran$")
    assert player.close() == 0


def test_a_path_outside_ascii_plays_and_is_named_in_the_caption(player, media, tmp_path,
                                                                fresh_settings):
    # No blanks: the player takes the whole command line as the path, and Wine quotes an
    # argument with blanks.
    folder = tmp_path / "Films_d'été_日本"
    folder.mkdir()
    film = folder / "Café_ñ.mkv"
    shutil.copy(media / "testsrc.mkv", film)
    player.start(win_path(film))
    assert player.wait_caption(r"^Velloran - Café_ñ\.mkv$", 30), player.caption()
    assert player.close() == 0


def test_a_path_of_259_characters_plays(player, media, tmp_path, fresh_settings):
    base = win_path(tmp_path)
    # Z:\...\<folder>\<name>.mkv with exactly 259 characters in all.
    name_length = 40
    folder_length = 259 - len(base) - 1 - 1 - name_length
    assert folder_length > 10
    folder = tmp_path / ("d" * folder_length)
    folder.mkdir()
    film = folder / ("n" * (name_length - 4) + ".mkv")
    shutil.copy(media / "testsrc.mkv", film)
    assert len(win_path(film)) == 259
    player.start(win_path(film))
    assert player.wait_caption(r"^Velloran - n+\.mkv$", 30), player.caption()
    assert player.close() == 0


def test_a_disc_whose_image_server_dies_is_reported_as_gone(player, media, fresh_settings):
    before = set(isofs_processes())
    player.start(win_path(media / "dvd.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
    servers = wait_for(lambda: set(isofs_processes()) - before, 10)
    assert servers, "no image server serves the disc"
    for pid in servers:
        os.kill(pid, signal.SIGKILL)
    assert player.wait_dialog(r"^Velloran$", 30), "the player fell back to its logo without a word"
    player.key("Return", window=player.dialogs()[0])
    assert wait_for(lambda: not player.dialogs(), 10)
    assert player.caption() == "Velloran"
    assert player.close() == 0


def test_an_image_named_in_cyrillic_and_cjk_is_found_again_and_unmounted(player, media, tmp_path,
                                                                          fresh_settings):
    image = tmp_path / "\u0444\u0438\u043b\u044c\u043c \u6620\u753b.iso"
    shutil.copy(media / "dvd.iso", image)
    before = fuse_mounts()
    player.start(win_path(image))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
    # Opened again in the same run: the player finds its own mount in the tool's listing,
    # takes it down and mounts the image afresh.
    second = player.start_other(win_path(image))
    second.wait(30)
    time.sleep(3)
    assert not player.dialogs(), "opening the image again failed"
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 30), player.caption()
    assert len(fuse_mounts() - before) == 1
    assert player.close() == 0
    assert wait_for(lambda: fuse_mounts() == before, 15), fuse_mounts() - before


def _damaged(data, marker, count):
    """data with the first count occurrences of marker overwritten."""
    data = bytearray(data)
    at = 0
    for _ in range(count):
        at = data.find(marker, at)
        assert at >= 0, marker
        data[at:at + len(marker)] = b"X" * len(marker)
    return bytes(data)


# name, how it is made from the media folder, and what the player must show: None for playing,
# else the message box's lines (the fixed line, then words of the reason below it).
DAMAGED_SOURCES = [
    ("zero.iso", lambda m: b"", ("Could not mount the file.", "not a disc image")),
    ("noise.iso", lambda m: os.urandom(2 << 20), ("Could not mount the file.", "not a disc image")),
    ("notes.iso", lambda m: b"Shopping list\r\n" * 5000, ("Could not mount the file.", "not a disc")),
    ("half.iso", lambda m: (m / "dvd.iso").read_bytes()[:(m / "dvd.iso").stat().st_size // 2],
     ("Could not mount the file.", "truncated")),
    # libdvdread falls back on the backup of a damaged IFO.
    ("one_ifo.iso", lambda m: _damaged((m / "dvd.iso").read_bytes(), b"DVDVIDEO-VMG", 1), None),
    ("all_ifo.iso", lambda m: _damaged(_damaged((m / "dvd.iso").read_bytes(), b"DVDVIDEO-VMG", 2),
                                        b"DVDVIDEO-VTS", 4), ("Could not load the file.",)),
    ("bd_noindex.iso", lambda m: (m / "bd_noindex.iso").read_bytes(),
     ("Could not load the file.", "index.bdmv")),
    ("bd_noclpi.iso", lambda m: (m / "bd_noclpi.iso").read_bytes(),
     ("Could not load the file.", "CLIPINF", "00000.m2ts")),
    ("bd_nomobj.iso", lambda m: (m / "bd_nomobj.iso").read_bytes(),
     ("Could not load the file.", "MovieObject.bdmv")),
    ("bd_noclip.iso", lambda m: (m / "bd_noclip.iso").read_bytes(),
     ("Could not load the file.", "00000.mpls", "00000.m2ts")),
    # UDF 2.50: a zeroed metadata file is read from its mirror; metadata past the end is named.
    ("bd_mirror.iso", lambda m: (m / "bd_mirror.iso").read_bytes(), None),
    ("bd_pastend.iso", lambda m: (m / "bd_pastend.iso").read_bytes(),
     ("Could not mount the file.", "beyond the end")),
    ("bd_nojar.iso", lambda m: (m / "bd_nojar.iso").read_bytes(),
     ("Could not load the file.", "BDJO\\00000.bdjo", "JAR\\00000.jar", "not on the disc")),
    # libaacs is installed, no keys are: libVLC's reason arrives through its dialog.
    ("bd_aacs.iso", lambda m: (m / "bd_aacs.iso").read_bytes(),
     ("Could not load the file.", "encrypted (AACS)", "no keys")),
    ("lost.cue", lambda m: (m / "vcd.cue").read_bytes().replace(b"vcd.bin", b"lost.bin"),
     ("Could not load the file.", "lost.bin", "missing")),
    ("garbage.cue", lambda m: os.urandom(4096), ("Could not load the file.", "not a cue sheet")),
    ("alone.bin", lambda m: (m / "vcd.bin").read_bytes(), ("Could not load the file.", ".cue")),
]


def test_damaged_disc_images_give_a_reason_leave_nothing_mounted_and_the_player_goes_on(
        player, media, tmp_path, fresh_settings):
    before = fuse_mounts()
    player.start()
    sparse = tmp_path / "huge.iso"
    with open(sparse, "wb") as f:
        f.truncate(8 << 30)
    cases = [(name, None, expected) for name, _, expected in DAMAGED_SOURCES]
    for name, make, _ in DAMAGED_SOURCES:
        (tmp_path / name).write_bytes(make(media))
    cases.append(("huge.iso", None, ("Could not mount the file.", "not a disc image")))
    for name, _, expected in cases:
        player.start_other(win_path(tmp_path / name)).wait(30)
        if expected is None:
            assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 40), (name, player.caption())
            assert not player.dialogs(), name
            continue
        box = player.wait_dialog(r"^Velloran$", 40)
        assert box, f"no message for {name}: {player.caption()}"
        text = player.dialog_text(box)
        for words in expected:
            assert words in text, (name, text)
        player.key("Return", window=box)
        assert wait_for(lambda: not player.dialogs(), 10), name
        assert wait_for(lambda: not fuse_mounts() - before, 10), (name, fuse_mounts() - before)
    # Still usable: a good file plays.
    player.start_other(win_path(media / "testsrc.mkv")).wait(30)
    assert player.wait_caption(r"^Velloran - testsrc\.mkv$", 30), player.caption()
    assert player.close() == 0
    assert wait_for(lambda: not fuse_mounts() - before, 15), fuse_mounts() - before


def test_a_killed_player_leaves_no_mount_beyond_its_next_start(player, media, fresh_settings):
    before = fuse_mounts()
    player.start(win_path(media / "dvd.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
    assert wait_for(lambda: fuse_mounts() - before, 10)
    # A mount tool is started to wait for the player's next command. The player is killed the
    # moment the tool appears, while the tool is still starting: it ends with the player all the
    # same.
    assert wait_for(waiting_tools, 10, interval=0.005), "no mount tool waits"
    os.kill(player.proc.pid, signal.SIGKILL)
    assert wait_for(lambda: not waiting_tools(), 10), "the waiting mount tool outlives the player"
    player.kill()
    time.sleep(2)
    assert fuse_mounts() - before, "the image went with the player: nothing to clean up"
    # The next start takes down what the killed run left behind, and plays on normally.
    player.start(win_path(media / "testsrc.mkv"))
    assert player.wait_caption(r"^Velloran - testsrc\.mkv$", 30), player.caption()
    assert wait_for(lambda: not fuse_mounts() - before, 15), fuse_mounts() - before
    assert player.close() == 0


def test_two_quick_starts_both_reach_the_running_player(player, media, fresh_settings):
    before = fuse_mounts()
    player.start()
    first = player.start_other(win_path(media / "dvd.iso"))
    time.sleep(0.2)
    second = player.start_other(win_path(media / "testsrc.mkv"))
    first.wait(30)
    second.wait(30)
    # The image was taken (it is mounted, and stays so until the next image or the exit), and
    # the file after it plays.
    assert player.wait_caption(r"^Velloran - testsrc\.mkv$", 40), player.caption()
    assert fuse_mounts() - before, "the first start's image never reached the player"
    assert player.close() == 0


# Runs its arguments in a private mount namespace where /dev/fuse is a stand-in, as in a
# container without FUSE.
WITHOUT_FUSE = ("unshare", "-m", "--propagation", "private", "sh", "-c",
                'mount --bind /dev/null /dev/fuse && exec "$0" "$@"')


def test_without_fuse_images_play_from_the_file_and_the_user_is_told_once(player, media,
                                                                           fresh_settings):
    if run(["unshare", "-m", "true"], timeout=20).returncode != 0:
        pytest.skip("this machine cannot make a mount namespace")
    before = fuse_mounts()
    player.start(win_path(media / "dvd.iso"), wrapper=WITHOUT_FUSE)
    box = player.wait_dialog(r"^Velloran$", 40)
    assert box, player.caption()
    text = player.dialog_text(box)
    assert "plays without a drive" in text and "FUSE" in text, text
    player.key("Return", window=box)
    assert player.wait_caption(r"^Velloran - Z:\\.*\\dvd\.iso - ", 40), player.caption()
    # A second image, handed over: no second word about it.
    player.start_other(win_path(media / "bluray.iso")).wait(30)
    assert player.wait_caption(r"^Velloran - Z:\\.*\\bluray\.iso - ", 40), player.caption()
    assert not player.dialogs()
    rect = video_rect(player)
    assert wait_for(lambda: player.shot("bd").colour_fraction(rect, (255, 0, 0), 90) > 0.3, 20)
    assert not fuse_mounts() - before
    assert player.close() == 0
