"""The real player under Xvfb: start-up, caption, playing what the command line names, the
second-instance hand-over, message boxes, full screen and the placement kept across runs."""

import re
import shutil
import struct
import time

import pytest

from conftest import SETTINGS_KEY, video_rect, wait_for, win_path


def test_starts_idle_with_the_product_caption_and_logo(player, fresh_settings):
    player.start()
    assert player.wait_caption(r"^Velloran$"), player.caption()
    x, y, w, h = player.geometry()
    # The first start without a stored placement: 672 wide (the client area).
    assert w == 672
    shot = player.shot("idle")
    # The logo sits in the middle of the black video area.
    x0, y0, x1, y1 = video_rect(player)
    cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
    assert shot.non_black_fraction((cx - 150, cy - 70, cx + 150, cy + 70)) > 0.05
    assert shot.non_black_fraction((x0, y0 + 5, x0 + 60, y0 + 60)) < 0.05
    assert player.close() == 0


def test_a_file_on_the_command_line_plays_with_picture(player, media, fresh_settings):
    player.start(win_path(media / "testsrc.mkv"))
    assert player.wait_caption(r"^Velloran - testsrc\.mkv$", 30), player.caption()
    time.sleep(1.5)
    shot = player.shot("playing")
    # The test picture's colour bars fill the video area.
    assert shot.saturated_fraction(video_rect(player)) > 0.2
    # Space pauses: the picture stays, the caption still names the file.
    player.key("space")
    time.sleep(0.5)
    assert re.match(r"^Velloran - testsrc\.mkv$", player.caption())
    assert player.close() == 0


# Wine, like Explorer, puts a path with a blank in double quotes on the command line.
@pytest.mark.parametrize("folder_name", [None, "My Films"])
def test_a_second_instance_hands_its_file_over(player, media, tmp_path, fresh_settings,
                                               folder_name):
    folder = media
    if folder_name:
        folder = tmp_path / folder_name
        folder.mkdir()
        for name in ("testsrc.mkv", "twoaudio.mkv"):
            shutil.copy(media / name, folder / name)
    player.start(win_path(folder / "testsrc.mkv"))
    assert player.wait_caption(r"^Velloran - testsrc\.mkv$", 30), player.caption()
    second = player.start_other(win_path(folder / "twoaudio.mkv"))
    # The second instance only hands the path over and ends.
    second.wait(30)
    assert second.returncode == 0
    assert player.wait_caption(r"^Velloran - twoaudio\.mkv$", 30), player.caption()
    assert len(player.main_candidates()) == 1
    assert player.close() == 0


def test_an_unplayable_file_is_refused_with_a_message(player, tmp_path, fresh_settings):
    notes = tmp_path / "notes.txt"
    notes.write_text("not a film\n")
    player.start(win_path(notes))
    box = player.wait_dialog()
    assert box, "no message box"
    player.key("Return", window=box)
    assert wait_for(lambda: not player.dialogs(), 10)
    assert player.wait_caption(r"^Velloran$")
    assert player.close() == 0


def test_about_box_opens_with_alt_question_mark(player, fresh_settings):
    player.start()
    player.wait_caption(r"^Velloran$")
    player.key("alt+question")
    about = player.wait_dialog(r"^About$", 10)
    assert about, "no About box"
    player.key("Return", window=about)
    assert wait_for(lambda: not player.dialogs(r"^About$"), 10)
    assert player.close() == 0


def test_full_screen_and_back_and_the_placement_survives_a_restart(player, media,
                                                                  fresh_settings):
    player.start(win_path(media / "mpeg2_30s.mpg"))
    assert player.wait_caption(r"mpeg2_30s\.mpg", 30)
    player.xdo("windowmove", player.window, 140, 90)
    time.sleep(1)
    before = player.geometry()

    player.key("f")
    assert wait_for(lambda: player.geometry()[2:] == (1280, 800), 10), player.geometry()
    # The bar hides itself after five seconds without activity; then video covers the screen.
    player.move_mouse(640, 300)
    time.sleep(7)
    shot = player.shot("fullscreen")
    assert shot.saturated_fraction((0, 0, 1280, 800)) > 0.3
    assert shot.saturated_fraction((0, 770, 1280, 800)) > 0.2  # no bar at the bottom

    player.key("Escape")
    assert wait_for(lambda: player.geometry() == before, 10), (player.geometry(), before)
    assert player.close() == 0

    kind, data = player.reg_query(SETTINGS_KEY, "MAIN_WP")
    assert kind == "REG_BINARY" and len(data) == 44
    length, _flags, show = struct.unpack_from("<III", data, 0)
    assert length == 44 and show == 1

    player.start()
    assert wait_for(lambda: player.geometry() == before, 10), (player.geometry(), before)
    assert player.close() == 0


def test_double_click_on_the_video_toggles_full_screen(player, fresh_settings):
    player.start()
    assert player.wait_caption(r"^Velloran$")
    framed = player.geometry()
    x0, y0, x1, y1 = video_rect(player)
    player.xdo("mousemove", (x0 + x1) // 2, (y0 + y1) // 2 + 120)
    time.sleep(0.3)
    player.xdo("click", "--repeat", "2", "--delay", "80", "1")
    assert wait_for(lambda: player.geometry()[2:] == (1280, 800), 10), player.geometry()
    time.sleep(0.5)
    player.xdo("mousemove", 640, 500)
    time.sleep(0.3)
    player.xdo("click", "--repeat", "2", "--delay", "80", "1")
    assert wait_for(lambda: player.geometry() == framed, 10), (player.geometry(), framed)
    assert player.close() == 0


def test_without_the_preferences_library_the_commands_say_so(player, tmp_path, monkeypatch,
                                                             fresh_settings):
    import shutil

    import conftest
    install = tmp_path / "install"
    shutil.copytree(conftest.BUILD, install,
                    ignore=shutil.ignore_patterns("Tavrin.dll", "mingw", "native", "wine",
                                                  "testmedia", "e2e-shots", "testlibs",
                                                  "velloran_tests*", "*.png"))
    monkeypatch.setattr(conftest, "EXE", install / "velloran.exe.so")
    player.start()
    assert player.wait_caption(r"^Velloran$")
    player.key("ctrl+d")
    box = player.wait_dialog()
    assert box, "Open Disk without Tavrin.dll showed nothing"
    player.key("Return", window=box)
    assert wait_for(lambda: not player.dialogs(), 10)
    assert player.running()
    assert player.close() == 0


def test_at_the_end_of_the_only_file_playback_stops_and_the_logo_returns(player, media,
                                                                        tmp_path,
                                                                        fresh_settings):
    import shutil
    film = tmp_path / "only.mkv"
    shutil.copy(media / "testsrc.mkv", film)
    player.start(win_path(film))
    assert player.wait_caption(r"^Velloran - only\.mkv$", 30)
    time.sleep(1)
    rect = video_rect(player)
    assert player.shot("playing").saturated_fraction(rect) > 0.2
    # Five seconds of film, then the player goes back to idle.
    assert player.wait_caption(r"^Velloran$", 20), player.caption()
    time.sleep(1)
    idle = player.shot("idle")
    assert idle.saturated_fraction(rect) < 0.05
    x0, y0, x1, y1 = rect
    cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
    assert idle.non_black_fraction((cx - 150, cy - 70, cx + 150, cy + 70)) > 0.05
    assert player.close() == 0
