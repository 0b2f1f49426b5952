"""What a viewer reaches for on a disc besides titles: chapter steps inside one title, from the
keys and the Controls menu, and the disc's own menu on a key."""

import time

from conftest import video_rect, wait_for, win_path
from test_person import walk_menu
from test_resume import play_second_title

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
    rect = play_second_title(player, media)  # 80 s long: only the key reaches the menu
    player.key("ctrl+m")
    assert player.wait_caption(r" - DVD Menu$", 8), player.caption()
    assert wait_for(lambda: colour_of(player, rect) == "grey", 8), player.caption()
    assert player.close() == 0


def comb(shot, rect):
    """The share of vertically neighbouring pixels, across the picture's moving vertical
    stripes, that differ as dark from light: what shows two fields woven together."""
    x0, y0, x1, y1 = (int(v) for v in rect)
    pairs = combed = 0
    for y in range(y0, y1 - 1, 2):
        for x in range(x0, x1, 3):
            a, b = shot.pixel(x, y), shot.pixel(x, y + 1)
            pairs += 1
            combed += abs(sum(a) - sum(b)) > 3 * 90
    return combed / max(pairs, 1)


def test_an_interlaced_dvd_title_is_shown_without_combing(player, media, fresh_settings):
    player.start(win_path(media / "interlaced.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
    # Normal Size: one screen line per picture line, where a downscale cannot blend the fields.
    player.key("ctrl+2")
    x0, y0, x1, y1 = video_rect(player)
    rect = (x0 + 120, y0 + 40, x1 - 120, min(y1, 800) - 40)  # inside the picture, on the screen
    seen = []
    for _ in range(3):
        shot = player.shot("stripes")
        if shot.non_black_fraction(rect) > 0.3:
            seen.append(round(comb(shot, rect), 3))
    # Woven fields comb about a third of the pairs.
    assert seen and max(seen) < 0.05, seen
    assert player.close() == 0
