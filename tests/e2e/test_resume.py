"""Resuming where the viewer left off. long.mkv and title 2 of resume.iso last 80 s, so halfway
(40 s) is kept: not within 30 s of either end, nor in the last 5 %."""

import struct

import pytest

from conftest import SETTINGS_KEY, run, video_rect, wait_for, win_path
from test_person import walk_menu
from test_bar import SEEK_LEFT, SEEK_Y, TIME_KNOB, Bar, click_bar, start_playing, time_knob
from test_discs import title_colour


def knob_between(player, bar, low, high, timeout=15):
    """Waits until the seek knob stands between the fractions low and high of the bar."""
    def fraction():
        knob = time_knob(player.shot("knob"), bar)
        return -1 if knob is None else (knob - SEEK_LEFT - TIME_KNOB / 2) / bar.seek_travel
    return wait_for(lambda: low < fraction() < high, timeout)


def seek_halfway_and_close(player, bar):
    click_bar(player, bar, SEEK_LEFT + TIME_KNOB // 2 + round(0.5 * bar.seek_travel), SEEK_Y + 6)
    assert knob_between(player, bar, 0.45, 0.6, 10)
    assert player.close() == 0


def test_a_file_left_halfway_resumes_there_after_a_restart_and_home_starts_over(
        player, media, fresh_settings):
    seek_halfway_and_close(player, start_playing(player, media, "long.mkv"))
    bar = start_playing(player, media, "long.mkv")
    assert knob_between(player, bar, 0.45, 0.65)
    # The notice: white text over the flat dark blue picture.
    assert wait_for(lambda: player.shot("notice").fraction(
        video_rect(player), lambda p: min(p) > 200) > 0.001, 5)
    player.key("Home")
    assert knob_between(player, bar, -0.01, 0.1, 10)
    assert player.close() == 0


def play_second_title(player, media):
    """resume.iso from its menu: Next steps to title 1 (red), then to title 2 (blue, 80 s)."""
    player.start(win_path(media / "resume.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - DVD Menu$", 60), player.caption()
    rect = video_rect(player)
    for colour in ("red", "blue"):
        player.key("Next")
        assert wait_for(lambda: title_colour(player, rect) == colour, 15), player.caption()
    return rect


def test_a_disc_image_resumes_in_its_second_title_not_at_its_menu(player, media, fresh_settings):
    rect = play_second_title(player, media)
    seek_halfway_and_close(player, Bar(player))
    player.start(win_path(media / "resume.iso"))
    assert wait_for(lambda: title_colour(player, rect) == "blue", 60), player.caption()
    assert knob_between(player, Bar(player), 0.45, 0.65)
    assert player.close() == 0


@pytest.mark.parametrize("kind,resumes", [("valid", True), ("corrupt", False),
                                          ("oversized", False)])
def test_a_corrupt_or_oversized_stored_entry_is_ignored(player, media, fresh_settings, kind,
                                                        resumes):
    # long.mkv at 40 s of 80 s as the player stores it; corrupt: the time past the length.
    record = struct.pack("<IiiIqqQ", 1, -1, -1, 0, 90000 if kind == "corrupt" else 40000,
                         80000, 1) + (bytes(4000) if kind == "oversized" else b"")
    added = run(["wine", "reg", "add", SETTINGS_KEY + r"\Resume", "/v",
                 win_path(media / "long.mkv").lower(), "/t", "REG_BINARY", "/d", record.hex(),
                 "/f"], env=player.env, timeout=60)
    assert added.returncode == 0, added.stderr
    bar = start_playing(player, media, "long.mkv")
    if resumes:
        assert knob_between(player, bar, 0.45, 0.65)
    else:
        # It plays on from the start, past the moment a kept position would have been reached.
        assert knob_between(player, bar, 0.01, 0.1, 10)
        assert not knob_between(player, bar, 0.2, 1.0, 3)
    assert player.caption() == "Velloran - long.mkv"
    assert player.close() == 0


def subtitle_line(player, shot):
    """Share of light pixels in the lowest third of the video: subs80.mkv's French line covers
    about 0.016, its English one letter a thirtieth of that."""
    x0, y0, x1, y1 = video_rect(player)
    return shot.fraction((x0, y0 + (y1 - y0) * 2 // 3, x1, y1), lambda p: min(p) > 150)


def test_a_subtitle_track_chosen_comes_back_with_the_position(player, media, fresh_settings):
    # subs80.mkv: neither subtitle track is on by default.
    def subtitle(shot):
        return subtitle_line(player, shot)

    bar = start_playing(player, media, "subs80.mkv")
    assert subtitle(player.shot("none")) < 0.002
    # Video > Subtitle Track, the last item: Disable, eng, fre, Open file...
    walk_menu(player, "alt+v", ["Up", "Right", "Down", "Down", "Return"])
    assert wait_for(lambda: subtitle(player.shot("chosen")) > 0.008, 10)
    seek_halfway_and_close(player, bar)
    start_playing(player, media, "subs80.mkv")
    assert knob_between(player, Bar(player), 0.45, 0.65)
    assert wait_for(lambda: subtitle(player.shot("back")) > 0.008, 10)
    assert player.close() == 0
