"""The player as a person uses it: the Title and Chapter menus walked with the keys, paths typed
into the file dialogs, every route of opening, two starts in quick succession."""

import re
import shutil
import sys
import time

from conftest import REPO, SCREEN, drive_letters, run, video_rect, wait_for, win_path
from test_bar import SEEK_LEFT, TIME_KNOB, Bar, click_screen, popups, text_pixels, time_knob
from test_open import DISC_CAPTION, choose_in_file_dialog

XDND_DROP = REPO / "tests" / "e2e" / "tools" / "xdnd_drop.py"


def walk_menu(player, accelerator, keys):
    player.key(accelerator)
    for key in keys:
        time.sleep(0.3)
        player.xdo("key", key)


# Wine's menus on the test display: items 17 pixels high, separators 9, a 3-pixel border. The
# menu bar's Controls lies 63 pixels right of the window's left edge, 10 below its top.
ITEM, SEPARATOR, BORDER = 17, 9, 3
CONTROLS_AT = (63, 10)


def test_an_item_of_the_controls_menu_is_chosen_with_mouse_clicks(player, media, fresh_settings):
    player.start(win_path(media / "long.mkv"))
    assert player.wait_caption(r"long\.mkv$", 30), player.caption()
    x, y, width, height = player.geometry()
    assert (width, height) != SCREEN
    click_screen(player, x + CONTROLS_AT[0], y + CONTROLS_AT[1])
    menu = wait_for(lambda: popups(player), 5)
    assert menu, "Controls did not open"
    # Full Screen, the last item: sixteen items and five separators above it.
    px, py = player.geometry(menu[0])[:2]
    click_screen(player, px + 40, py + BORDER + 16 * ITEM + 5 * SEPARATOR + ITEM // 2)
    assert wait_for(lambda: tuple(player.geometry()[2:]) == SCREEN, 5), player.geometry()
    assert player.close() == 0


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
    # A Nero image: the disc's sectors, then Nero's chunk list and its footer at the end.
    nero = (media / "dvd.iso").read_bytes()
    (tmp_path / "film.nrg").write_bytes(
        nero + b"END!\0\0\0\0" + b"NER5" + len(nero).to_bytes(8, "big"))
    # A typed path longer than MAX_PATH: the dialog used to crash on it.
    deep = tmp_path / "/".join(["d" * 60] * 4)
    deep.mkdir(parents=True)
    shutil.copy(media / "dvd.iso", deep / "film.iso")
    assert len(win_path(deep / "film.iso")) > 270
    rows = [
        ("command line", tmp_path / "film.img", DISC_CAPTION),
        ("command line", media / "dvd", r"\\dvd - Title 1\b"),
        ("command line", tmp_path / "film.nrg", DISC_CAPTION),
        ("ctrl+o", media / "dvd.iso", DISC_CAPTION),
        ("ctrl+i", deep / "film.iso", DISC_CAPTION),
        ("drop", tmp_path / "film.img", DISC_CAPTION),
        ("drop", media / "testsrc.mkv", r"^Velloran - testsrc\.mkv$"),
    ]
    letters = drive_letters(player.env)
    for route, path, expected in rows:
        if route == "command line":
            player.start(win_path(path))
        else:
            player.start()
            assert player.wait_caption(r"^Velloran$")
            if route == "drop":
                # Dragged from a file manager onto the middle of the window.
                x, y, w, h = player.geometry()
                drag = run([sys.executable, str(XDND_DROP), str(x + w // 2), str(y + h // 2),
                            str(path)], env=player.env, timeout=30)
                assert drag.returncode == 0, drag.stderr
            else:
                player.key(route)
                choose_in_file_dialog(player, path)
        assert player.wait_caption(expected, 60), (route, path, player.caption())
        assert player.close() == 0, (route, path)
        assert drive_letters(player.env) == letters


def test_two_quick_starts_make_one_player_that_plays_the_later_file(player, media,
                                                                     fresh_settings):
    # A file manager opening two selected files starts the player twice a moment apart; either
    # start may reach the player's lock first.
    rows = [("menu.iso", "long.mkv", 0.1, r" - long\.mkv$"),
            ("long.mkv", "menu.iso", 0.2, r" - K:\\ - DVD Menu$")]
    letters = drive_letters(player.env)
    for first, second, gap, expected in rows:
        player.start(win_path(media / first), wait=False)
        time.sleep(gap)
        other = player.start_other(win_path(media / second))
        starts = [player.proc, other]
        assert wait_for(lambda: any(p.poll() is not None for p in starts), 60)
        ended = [p for p in starts if p.poll() is not None]
        assert len(ended) == 1 and ended[0].returncode == 0
        player.proc = next(p for p in starts if p.poll() is None)
        player.wait_window(40)
        # Both play on for good (the menu loops), so what shows is what was opened last.
        time.sleep(4)
        assert player.wait_caption(expected, 10), (first, second, player.caption())
        assert len(player.main_candidates()) == 1
        assert player.close() == 0
        # Whatever was mounted goes with the one player.
        assert wait_for(lambda: drive_letters(player.env) == letters, 20)


def test_the_caption_and_clock_describe_what_plays_now(player, media, tmp_path, fresh_settings):
    # libVLC reports a Blu-ray's time seldom (it stood for 5 s at a time); the elapsed time a
    # viewer reads must change every second. The disc's title runs 12 s.
    player.start(win_path(media / "bluray"))
    assert player.wait_caption(r" - Title 1\b", 60), player.caption()
    bar = Bar(player)
    time.sleep(1)
    texts = []
    for _ in range(6):
        texts.append(set(text_pixels(player.shot("clock"), bar)))
        time.sleep(1)
    assert all(a != b for a, b in zip(texts, texts[1:])), "the clock stood still for a second"

    # Another disc whose title 1 is shorter: the caption gives its length, not the last one's.
    other = player.start_other(win_path(media / "dvd.iso"))
    assert other.wait(30) == 0
    assert player.wait_caption(r"^Velloran - K:\\ - Title 1 \[00:06\]$", 30), player.caption()

    # A Blu-ray whose clip was cut off half way ends as if it had reached its end.
    cut = tmp_path / "cut"
    shutil.copytree(media / "bluray", cut)
    clip = cut / "BDMV" / "STREAM" / "00000.m2ts"
    with open(clip, "r+b") as f:
        f.truncate(clip.stat().st_size // 2 // 6144 * 6144)
    other = player.start_other(win_path(cut))
    assert other.wait(30) == 0
    assert player.wait_caption(r"\\cut - Title 1\b", 30), player.caption()
    assert player.wait_caption(r"^Velloran$", 40), player.caption()
    assert player.close() == 0


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
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - Title 1\b", 60), player.caption()
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
        assert re.search(r"^Velloran - [K-Z]:\\ - Title 1\b", player.caption()), player.caption()
    choose_chapter(player, 4)
    assert wait_for(lambda: picture(player, rect) == "yellow", 4), picture(player, rect)
    assert checked_chapter(player, 4) == 4
    assert player.close() == 0


def test_a_disc_of_many_playlists_starts_its_film_and_lists_its_titles(player, media,
                                                                        fresh_settings):
    # 62 playlists: the film (red, green | blue, yellow in two clips) among logo and menu
    # loops, clips, duplicates and decoys; index titles 1 (the film) and 2 to 8 (extras).
    player.start(win_path(media / "bdmany.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - Title 1\b", 60), player.caption()
    rect = video_rect(player)
    assert wait_for(lambda: picture(player, rect) == "red", 20), picture(player, rect)
    choose_chapter(player, 3)
    assert wait_for(lambda: picture(player, rect) == "blue", 3), picture(player, rect)
    # Controls > Title: Top Menu, Title 1 ... Title 8, First Play. Title 2 is a menu loop.
    walk_menu(player, "alt+c", ["Up", "Up", "Up", "Right", "Down", "Down", "Return"])
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - Title 2$", 5), player.caption()
    assert wait_for(lambda: picture(player, rect) == "slate", 4), picture(player, rect)
    assert player.close() == 0
