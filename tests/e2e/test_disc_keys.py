"""What a viewer reaches for on a disc besides titles: chapter steps inside one title, from the
keys and the Controls menu, and the disc's own menu on a key."""

import time

from conftest import video_rect, wait_for, win_path
from test_person import walk_menu

COLOURS = {"red": (255, 0, 0), "green": (0, 255, 0), "blue": (0, 0, 255),
           "yellow": (255, 255, 0), "grey": (128, 128, 128)}


def colour_of(player, rect):
    shot = player.shot("colour")
    for name, c in COLOURS.items():
        if shot.fraction(rect, lambda p, c=c: all(abs(p[i] - c[i]) <= 60 for i in range(3))) > 0.6:
            return name
    return None


def test_chapter_steps_land_on_the_chapters_of_a_single_title(player, media, fresh_settings):
    # One title of six 8 s chapters: red, green, blue, yellow, magenta, cyan.
    player.start(win_path(media / "chap6.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
    rect = video_rect(player)
    assert wait_for(lambda: colour_of(player, rect) == "red", 20), player.caption()
    shown = time.monotonic()
    # Controls: Play, Stop, Previous, Next, Start Over, separator, Previous Chapter, Next Chapter;
    # then the key twice more.
    walk_menu(player, "alt+c", ["Down"] * 6 + ["Return"])
    player.key("ctrl+Next")
    time.sleep(0.4)
    player.key("ctrl+Next")
    # Played on, yellow begins 24 s into the title.
    assert wait_for(lambda: colour_of(player, rect) == "yellow", 5), player.caption()
    assert time.monotonic() - shown < 16
    # Early in a chapter, Previous Chapter goes to the one before, which playing never shows.
    player.key("ctrl+Prior")
    assert wait_for(lambda: colour_of(player, rect) == "blue", 4), player.caption()
    # Later in it, to its start: blue stays past the 3 s or so it had left to run.
    time.sleep(3.5)
    player.key("ctrl+Prior")
    pressed = time.monotonic()
    while time.monotonic() - pressed < 5.5:
        assert colour_of(player, rect) == "blue", player.caption()
    assert player.close() == 0


def test_the_menu_key_brings_back_the_menu_of_a_playing_dvd(player, media, fresh_settings):
    player.start(win_path(media / "resume.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - DVD Menu$", 60), player.caption()
    rect = video_rect(player)
    # Next steps past the menu to title 1 (red), then to title 2 (blue, 80 s).
    for colour in ("red", "blue"):
        player.key("Next")
        assert wait_for(lambda: colour_of(player, rect) == colour, 15), player.caption()
    player.key("ctrl+m")
    assert player.wait_caption(r" - DVD Menu$", 8), player.caption()
    assert wait_for(lambda: colour_of(player, rect) == "grey", 8), player.caption()
    assert player.close() == 0
