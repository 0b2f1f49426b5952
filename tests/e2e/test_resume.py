"""Resuming where the viewer left off: a file and a disc image left halfway start there again
after a restart, with a notice over the picture; Home goes back to the start; a damaged stored
entry is ignored. long.mkv and title 2 of resume.iso are 80 s long, so halfway (40 s) is a
position worth keeping (not within 30 s of either end, nor in the last 5 %)."""

import re
import struct

import pytest

from conftest import SETTINGS_KEY, run, video_rect, wait_for, win_path
from test_bar import SEEK_LEFT, SEEK_Y, TIME_KNOB, Bar, click_bar, start_playing, time_knob
from test_discs import title_colour

RESUME_KEY = SETTINGS_KEY + r"\Resume"


def knob_fraction(player, bar):
    """How far along the seek bar the knob stands, 0 to 1; None when it cannot be seen."""
    knob = time_knob(player.shot("knob"), bar)
    return None if knob is None else (knob - SEEK_LEFT - TIME_KNOB / 2) / bar.seek_travel


def knob_between(player, bar, low, high, timeout=15):
    return wait_for(lambda: low < (knob_fraction(player, bar) or -1) < high, timeout)


def seek_halfway(player, bar):
    click_bar(player, bar, SEEK_LEFT + TIME_KNOB // 2 + round(0.5 * bar.seek_travel), SEEK_Y + 6)
    assert knob_between(player, bar, 0.45, 0.6, 10), knob_fraction(player, bar)


def notice_shown(player):
    """White text over the flat dark blue picture of long.mkv."""
    return player.shot("notice").fraction(video_rect(player), lambda p: min(p) > 200) > 0.001


def test_a_file_left_halfway_resumes_there_after_a_restart_and_home_starts_over(
        player, media, fresh_settings):
    bar = start_playing(player, media, "long.mkv")
    seek_halfway(player, bar)
    assert player.close() == 0

    bar = start_playing(player, media, "long.mkv")
    assert knob_between(player, bar, 0.45, 0.65), knob_fraction(player, bar)
    assert wait_for(lambda: notice_shown(player), 5)
    player.key("Home")
    assert knob_between(player, bar, -0.01, 0.1, 10), knob_fraction(player, bar)
    assert player.close() == 0


def test_a_disc_image_resumes_in_its_second_title_not_at_its_menu(player, media, fresh_settings):
    player.start(win_path(media / "resume.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - DVD Menu$", 60), player.caption()
    rect = video_rect(player)
    # Next steps past the menu to title 1 (red), then to title 2 (blue).
    player.key("Next")
    assert wait_for(lambda: title_colour(player, rect) == "red", 15), player.caption()
    player.key("Next")
    assert wait_for(lambda: title_colour(player, rect) == "blue", 15), player.caption()
    bar = Bar(player)
    seek_halfway(player, bar)
    assert player.close() == 0

    player.start(win_path(media / "resume.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - (?!DVD Menu)", 60), player.caption()
    assert wait_for(lambda: title_colour(player, rect) == "blue", 20), player.caption()
    assert knob_between(player, Bar(player), 0.45, 0.65), knob_fraction(player, Bar(player))
    assert player.close() == 0


def stored_entry(kind):
    """A stored entry for long.mkv: 40 s of 80 s as the player writes it, the same with the
    time past the length, or the same with bytes appended."""
    time = 90000 if kind == "corrupt" else 40000
    record = struct.pack("<IiiIqqQ", 1, -1, -1, 0, time, 80000, 1)
    return record + bytes(4000) if kind == "oversized" else record


@pytest.mark.parametrize("kind,resumes", [("valid", True), ("corrupt", False),
                                          ("oversized", False)])
def test_a_corrupt_or_oversized_stored_entry_is_ignored(player, media, fresh_settings, kind,
                                                        resumes):
    name = win_path(media / "long.mkv").lower()
    added = run(["wine", "reg", "add", RESUME_KEY, "/v", name, "/t", "REG_BINARY", "/d",
                 stored_entry(kind).hex(), "/f"], env=player.env, timeout=60)
    assert added.returncode == 0, added.stderr
    bar = start_playing(player, media, "long.mkv")
    if resumes:
        assert knob_between(player, bar, 0.45, 0.65), knob_fraction(player, bar)
    else:
        # Playing on from the start, well past the moment a kept position would be reached.
        assert knob_between(player, bar, 0.01, 0.1, 10), knob_fraction(player, bar)
        assert not knob_between(player, bar, 0.2, 1.0, 3)
    assert re.match(r"^Velloran - long\.mkv$", player.caption())
    assert player.close() == 0
