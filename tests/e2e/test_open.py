"""Every way of opening media, end to end: the Open File and Open ISO dialogs, disc images on
the command line (played as a disc, or offered for browsing when they hold no video), the
folder play list with Previous, Next and the end of a file."""

import re
import shutil
import tempfile
from pathlib import Path
import subprocess
import time

from conftest import drive_letters, video_rect, wait_for, win_path

DISC_CAPTION = r"^Velloran - ([K-Z]):\\ - .+"


def choose_in_file_dialog(player, path):
    dialog = player.wait_dialog(r"^Select File$", 15)
    assert dialog, "the file dialog did not open"
    time.sleep(0.5)
    player.type(win_path(path), window=dialog)
    player.key("Return", window=dialog)
    assert wait_for(lambda: not player.dialogs(r"^Select File$"), 10)


def test_open_file_dialog_plays_the_chosen_file(player, media, fresh_settings):
    player.start()
    assert player.wait_caption(r"^Velloran$")
    player.key("ctrl+o")
    choose_in_file_dialog(player, media / "testsrc.mkv")
    assert player.wait_caption(r"^Velloran - testsrc\.mkv$", 30), player.caption()
    assert player.close() == 0


def test_open_iso_plays_a_dvd_image_as_a_disc_and_unmounts_at_exit(player, media,
                                                                  fresh_settings):
    letters = drive_letters(player.env)
    player.start()
    assert player.wait_caption(r"^Velloran$")
    player.key("ctrl+i")
    choose_in_file_dialog(player, media / "dvd.iso")
    caption = player.wait_caption(DISC_CAPTION, 60)
    assert caption, player.caption()
    letter = re.match(DISC_CAPTION, caption).group(1).lower()
    assert f"{letter}:" in drive_letters(player.env) - letters
    time.sleep(1.5)
    shot = player.shot("dvd")
    assert shot.saturated_fraction(video_rect(player)) > 0.2
    assert player.close() == 0
    # The image goes with the player (the fixture also checks the FUSE mounts).
    assert drive_letters(player.env) == letters


def test_an_iso_on_the_command_line_plays_as_a_disc(player, media, fresh_settings):
    player.start(win_path(media / "dvd.iso"))
    assert player.wait_caption(DISC_CAPTION, 60), player.caption()
    assert player.close() == 0


def test_a_data_image_asks_and_no_unmounts_it(player, media, fresh_settings):
    letters = drive_letters(player.env)
    player.start(win_path(media / "data.iso"))
    box = player.wait_dialog(r"^Velloran$", 60)
    assert box, "no question for an image without video"
    assert len(drive_letters(player.env) - letters) == 1  # mounted while it asks
    player.key("n", window=box)
    assert wait_for(lambda: not player.dialogs(), 10)
    assert wait_for(lambda: drive_letters(player.env) == letters, 30)
    assert player.running()
    assert player.caption() == "Velloran"
    assert player.close() == 0


def test_a_folder_on_the_command_line_is_ignored(player, media, fresh_settings):
    player.start(win_path(media / "dvd"))
    assert player.wait_caption(r"^Velloran$")
    time.sleep(2)
    assert not player.dialogs()
    assert player.caption() == "Velloran"
    assert player.close() == 0


def test_next_and_previous_step_through_the_folder_with_wrap_around(player, media,
                                                                   fresh_settings):
    folder = media / "folder3"
    player.start(win_path(folder / "short1.mp4"))

    # A step before the new file has shown any time is ignored, so each key waits until the
    # file has played a little (the files are two seconds long).
    def step(key, expected):
        time.sleep(0.6)
        player.key(key)
        assert player.wait_caption(expected, 15), player.caption()

    assert player.wait_caption(r"short1\.mp4$", 30)
    step("Next", r"short2\.mp4$")
    step("Prior", r"short1\.mp4$")
    step("Prior", r"short3\.mp4$")
    # The last file of the folder ends and playback stops.
    assert player.wait_caption(r"^Velloran$", 20), player.caption()
    assert player.close() == 0


def test_the_end_of_a_file_starts_the_next_one(player, media, fresh_settings):
    player.start(win_path(media / "folder3" / "short1.mp4"))
    assert player.wait_caption(r"short1\.mp4$", 30)
    assert player.wait_caption(r"short2\.mp4$", 20), player.caption()
    assert player.close() == 0


def mount_tool(player, *args):
    tool = player_build() / "cdemu" / "batchmnt.exe"
    return subprocess.run(["wine", str(tool), *args], env=player.env, timeout=90, text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          stdin=subprocess.DEVNULL)


def player_build():
    import conftest
    return conftest.BUILD


def test_a_disc_arriving_while_idle_is_opened_and_ignored_while_playing(player, media,
                                                                       fresh_settings):
    image = win_path(media / "dvd.iso")
    player.start()
    assert player.wait_caption(r"^Velloran$")
    try:
        result = mount_tool(player, image, "N:", "/wait")
        assert result.returncode == 0, result.stdout
        assert player.wait_caption(r"^Velloran - N:\\ - .+", 30), player.caption()
    finally:
        mount_tool(player, "/unmount", image)
    assert player.close() == 0


def test_a_disc_arriving_while_a_file_plays_is_ignored(player, media, fresh_settings):
    image = win_path(media / "dvd.iso")
    player.start(win_path(media / "mpeg2_30s.mpg"))
    assert player.wait_caption(r"mpeg2_30s\.mpg$", 30)
    try:
        result = mount_tool(player, image, "N:", "/wait")
        assert result.returncode == 0, result.stdout
        time.sleep(3)
        assert re.search(r"mpeg2_30s\.mpg$", player.caption()), player.caption()
    finally:
        mount_tool(player, "/unmount", image)
    assert player.close() == 0


def menu(player, accelerator, downs):
    """Opens a menu of the menu bar with its Alt key and runs the item `downs` places below
    the first."""
    player.key(accelerator)
    time.sleep(0.4)
    for _ in range(downs):
        player.xdo("key", "Down")
        time.sleep(0.1)
    player.xdo("key", "Return")
    time.sleep(0.3)


def test_a_second_open_iso_unmounts_the_first_and_yes_browses_the_data_image(
        player, media, fresh_settings):
    letters = drive_letters(player.env)
    player.start()
    assert player.wait_caption(r"^Velloran$")
    player.key("ctrl+i")
    choose_in_file_dialog(player, media / "dvd.iso")
    assert player.wait_caption(DISC_CAPTION, 60), player.caption()
    first = drive_letters(player.env) - letters
    assert len(first) == 1
    player.key("ctrl+i")
    choose_in_file_dialog(player, media / "data.iso")
    box = player.wait_dialog(r"^Velloran$", 60)
    assert box, "no question for the data image"
    now = drive_letters(player.env) - letters
    assert len(now) == 1, now  # the DVD image went before the data image came
    player.key("y", window=box)
    assert wait_for(lambda: not player.dialogs(), 10)
    # Yes keeps the image mounted for the file browser.
    time.sleep(2)
    assert drive_letters(player.env) - letters == now
    assert player.close() == 0
    assert wait_for(lambda: drive_letters(player.env) == letters, 20)


def test_eject_disk_when_stopped_unmounts_the_image(player, media, fresh_settings):
    letters = drive_letters(player.env)
    player.start(win_path(media / "dvd.iso"))
    assert player.wait_caption(DISC_CAPTION, 60), player.caption()
    assert len(drive_letters(player.env) - letters) == 1
    menu(player, "alt+c", 1)  # Controls > Stop
    assert player.wait_caption(r"^Velloran$", 15), player.caption()
    menu(player, "alt+f", 3)  # File > Eject Disk
    assert wait_for(lambda: drive_letters(player.env) == letters, 20)
    assert player.running()
    assert player.close() == 0


def test_open_disk_plays_a_dvd_folder_and_refuses_a_plain_one(player, media, request,
                                                             fresh_settings):
    # A short folder name keeps the typing quick.
    discs = Path(tempfile.mkdtemp(prefix="vd", dir="/tmp"))
    request.addfinalizer(lambda: shutil.rmtree(discs, ignore_errors=True))
    (discs / "plain").mkdir(parents=True)
    shutil.copytree(media / "dvd" / "VIDEO_TS", discs / "film" / "VIDEO_TS")
    shutil.copy(media / "audio.mp3", discs / "a.mp3")
    # Something from that folder first: the chooser starts where the current media is.
    player.start(win_path(discs / "a.mp3"))
    assert player.wait_caption(r"a\.mp3$", 30)

    def choose(folder):
        player.key("ctrl+d")
        chooser = player.wait_dialog(r"^(Browse|Choose|Select)", 15)
        assert chooser, "the folder chooser did not open"
        time.sleep(1)
        # The chooser's edit box, after the tree, takes a typed path.
        player.xdo("windowfocus", "--sync", chooser, timeout=10)
        player.xdo("key", "Tab")
        player.xdo("key", "ctrl+a")
        player.xdo("type", "--delay", "20", win_path(folder))
        player.xdo("key", "Return")

    choose(discs / "film")
    folder = re.escape(win_path(discs / "film"))
    assert player.wait_caption(rf"^Velloran - {folder} - .+", 30), player.caption()
    choose(discs / "plain")
    box = player.wait_dialog(r"^Velloran$", 15)
    assert box, "no message for a folder without a disc"
    player.key("Return", window=box)
    assert player.close() == 0
