"""The player as a person uses it: the Title and Chapter menus walked with the keys, paths typed
into the file dialogs, every route of opening, two starts in quick succession."""

import re
import shutil
import time

from conftest import drive_letters, video_rect, wait_for, win_path
from test_bar import SEEK_LEFT, TIME_KNOB, Bar, time_knob
from test_open import DISC_CAPTION, choose_in_file_dialog


def walk_menu(player, accelerator, keys):
    player.key(accelerator)
    for key in keys:
        time.sleep(0.3)
        player.xdo("key", key)


def test_title_and_chapter_are_chosen_from_the_controls_menu(player, media, fresh_settings):
    # Controls ends Title, Chapter, separator, Full Screen: Up from the first item wraps to
    # Full Screen, then Chapter, then Title, whose list begins with the DVD Menu.
    player.start(win_path(media / "dvd.iso"))
    assert player.wait_caption(r" - Title 1\b", 60), player.caption()
    shown = time.monotonic()
    walk_menu(player, "alt+c", ["Up", "Up", "Up", "Right", "Down", "Down", "Return"])
    # Title 1 runs 6 s: only the menu reaches title 2 this soon.
    assert player.wait_caption(r" - Title 2\b", 4), player.caption()
    assert time.monotonic() - shown < 5.5
    assert player.close() == 0

    # A single-title disc of twelve 1 s chapters: chapter 10 begins 9 s in, so the title ends
    # about 3 s after the choice; played on from the start it ends 12 s in.
    player.start(win_path(media / "dvd12"))
    assert player.wait_caption(r" - Title 1\b", 60), player.caption()
    shown = time.monotonic()
    walk_menu(player, "alt+c", ["Up", "Up", "Right"] + ["Down"] * 9 + ["Return"])
    assert player.wait_caption(r"^Velloran$", 8), player.caption()
    assert time.monotonic() - shown < 10
    assert player.close() == 0


def test_every_route_opens_a_path_by_what_it_holds(player, media, tmp_path, fresh_settings):
    shutil.copy(media / "dvd.iso", tmp_path / "film.img")
    # A typed path longer than MAX_PATH: the dialog used to crash on it.
    deep = tmp_path / "/".join(["d" * 60] * 4)
    deep.mkdir(parents=True)
    shutil.copy(media / "dvd.iso", deep / "film.iso")
    assert len(win_path(deep / "film.iso")) > 270
    rows = [
        ("command line", tmp_path / "film.img", DISC_CAPTION),
        ("command line", media / "dvd", r"\\dvd - Title 1\b"),
        ("ctrl+o", media / "dvd.iso", DISC_CAPTION),
        ("ctrl+i", deep / "film.iso", DISC_CAPTION),
    ]
    letters = drive_letters(player.env)
    for route, path, expected in rows:
        if route == "command line":
            player.start(win_path(path))
        else:
            player.start()
            assert player.wait_caption(r"^Velloran$")
            player.key(route)
            choose_in_file_dialog(player, path)
        assert player.wait_caption(expected, 60), (route, path, player.caption())
        assert player.close() == 0, (route, path)
        assert drive_letters(player.env) == letters


def test_two_quick_starts_make_one_player(player, media, fresh_settings):
    letters = drive_letters(player.env)
    player.start(win_path(media / "dvd.iso"), wait=False)
    time.sleep(0.2)
    second = player.start_other(win_path(media / "long.mkv"))
    # Either may reach the player's lock first; one of them ends, the other is the player.
    starts = [player.proc, second]
    assert wait_for(lambda: any(p.poll() is not None for p in starts), 60)
    ended = [p for p in starts if p.poll() is not None]
    assert len(ended) == 1 and ended[0].returncode == 0
    player.proc = next(p for p in starts if p.poll() is None)
    player.wait_window(40)
    time.sleep(3)
    assert len(player.main_candidates()) == 1
    assert player.close() == 0
    # Whatever the first start mounted goes with the one player.
    assert wait_for(lambda: drive_letters(player.env) == letters, 20)


PICTURES = {"grey": (128, 128, 128), "slate": (47, 79, 79), "red": (255, 0, 0),
            "green": (0, 128, 0), "blue": (0, 0, 255), "yellow": (255, 255, 0)}


def picture(player, rect):
    """The name of the solid colour filling the video, or None."""
    shot = player.shot("picture")
    for name, colour in PICTURES.items():
        if shot.colour_fraction(rect, colour, 50) > 0.6:
            return name
    return None


def choose_chapter(player, number):
    """Controls > Chapter (second from the bottom) > the chapter, with the keys."""
    walk_menu(player, "alt+c", ["Up", "Up", "Right"] + ["Down"] * (number - 1) + ["Return"])


def checked_chapter(player, count):
    """Opens Controls > Chapter, returns the number of the item that carries the check mark
    (its left margin is the only one with a glyph) and closes the menu again."""
    walk_menu(player, "alt+c", ["Up", "Up"])
    time.sleep(0.3)
    before = player.shot("menu")
    player.xdo("key", "Right")
    time.sleep(0.6)
    after = player.shot("chapters")
    player.xdo("key", "Escape", "Escape", "Escape")
    # The submenu is where the menu's white appeared; the pictures are never white.
    white = [(x, y) for y in range(0, after.height, 2) for x in range(0, after.width, 2)
             if min(after.pixel(x, y)) > 245 and after.pixel(x, y) != before.pixel(x, y)]
    xs, ys = sorted(x for x, _ in white), sorted(y for _, y in white)
    left, top, bottom = xs[0], ys[0], ys[-1]
    rows = (bottom - top) / count
    marks = []
    for i in range(count):
        y0 = int(top + i * rows + 2)
        box = list(after.region(left + 2, y0, left + 18, int(y0 + rows - 4)))
        background = max(set(box), key=box.count)
        marks.append(sum(1 for p in box if max(abs(p[c] - background[c]) for c in range(3)) > 60))
    return marks.index(max(marks)) + 1 if max(marks) > 4 else None


def seek_fraction(player):
    """Where the seek bar's knob stands, 0 at the start and 1 at the end."""
    bar = Bar(player)
    knob = time_knob(player.shot("seek"), bar)
    return None if knob is None else (knob - SEEK_LEFT - TIME_KNOB / 2) / bar.seek_travel


def test_chapters_of_a_pressed_blu_ray_are_reached_every_time(player, media, fresh_settings):
    # UDF 2.50 without ISO 9660, a logo and a menu-like object before the title, the film in
    # two clips started at its first mark: four 5 s chapters red, green, blue, yellow.
    player.start(win_path(media / "bdpressed.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - Title 1$", 60), player.caption()
    rect = video_rect(player)
    assert wait_for(lambda: picture(player, rect) == "red", 20), picture(player, rect)
    # Chapter 4 (15 s) is 13 s away when played on, chapter 2 (5 s) lies behind: within the
    # waits below only the choice gets there, also when the disc restarts. Chapter 2 is chosen
    # three seconds after chapter 4 (its walk through the menu takes two), before the film ends.
    for _ in range(3):
        time.sleep(2)
        choose_chapter(player, 4)
        chosen = time.monotonic()
        assert wait_for(lambda: picture(player, rect) == "yellow", 4), picture(player, rect)
        assert wait_for(lambda: 0.7 < (seek_fraction(player) or 0) < 0.95, 3), seek_fraction(player)
        time.sleep(max(0.0, chosen + 1 - time.monotonic()))
        choose_chapter(player, 2)
        assert wait_for(lambda: picture(player, rect) == "green", 3.5), picture(player, rect)
        assert wait_for(lambda: 0.2 < (seek_fraction(player) or 1) < 0.45, 3), seek_fraction(player)
        assert re.search(r"^Velloran - [K-Z]:\\ - Title 1$", player.caption()), player.caption()
    choose_chapter(player, 4)
    assert wait_for(lambda: picture(player, rect) == "yellow", 4), picture(player, rect)
    assert checked_chapter(player, 4) == 4
    assert player.close() == 0


def test_a_disc_of_many_playlists_starts_its_film_and_lists_its_titles(player, media,
                                                                        fresh_settings):
    # 62 playlists: the film (red, green | blue, yellow in two clips) among logo and menu
    # loops, clips, duplicates and decoys; index titles 1 (the film) and 2 to 8 (extras).
    player.start(win_path(media / "bdmany.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - Title 1$", 60), player.caption()
    rect = video_rect(player)
    assert wait_for(lambda: picture(player, rect) == "red", 20), picture(player, rect)
    choose_chapter(player, 3)
    assert wait_for(lambda: picture(player, rect) == "blue", 3), picture(player, rect)
    # Controls > Title: Top Menu, Title 1 ... Title 8, First Play. Title 2 is a menu loop.
    walk_menu(player, "alt+c", ["Up", "Up", "Up", "Right", "Down", "Down", "Return"])
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - Title 2$", 5), player.caption()
    assert wait_for(lambda: picture(player, rect) == "slate", 4), picture(player, rect)
    assert player.close() == 0
