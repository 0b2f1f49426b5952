"""Discs authored like commercial ones: a DVD that starts on its menu, worked with the keys and
the mouse, and pictures whose pixels are not square (anamorphic 16:9 PAL, 4:3 NTSC, a file
with 64:45 pixels), which must keep their shape on screen."""

import time

import pytest

from conftest import client_area, video_rect, wait_for, win_path

RED, BLUE, YELLOW = (200, 0, 0), (0, 0, 200), (220, 220, 0)
# The menu disc's buttons, centres in the 720 x 576 picture (make-media.sh).
BUTTON_CENTRES = {1: (210, 288), 2: (510, 288)}


def picture_rect(rect, aspect):
    """Where a picture of the display aspect lands, letterboxed into the video area."""
    x0, y0, x1, y1 = rect
    w, h = x1 - x0, y1 - y0
    if w / h > aspect:
        pw, ph = h * aspect, h
    else:
        pw, ph = w, w / aspect
    left, top = x0 + (w - pw) / 2, y0 + (h - ph) / 2
    return left, top, left + pw, top + ph


def title_colour(player, rect):
    shot = player.shot("title")
    for name, colour in (("red", RED), ("blue", BLUE), ("yellow", YELLOW)):
        if shot.fraction(rect, lambda p, c=colour: _near(p, c)) > 0.6:
            return name
    return None


def _near(pixel, colour, tolerance=70):
    return all(abs(pixel[i] - colour[i]) <= tolerance for i in range(3))


def start_on_menu(player, media):
    player.start(win_path(media / "menu.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - DVD Menu$", 60), player.caption()
    # The menu's buttons appear with its first picture.
    time.sleep(2)


def test_the_keys_move_between_menu_buttons_and_enter_plays_the_chosen_title(
        player, media, fresh_settings):
    start_on_menu(player, media)
    rect = video_rect(player)
    player.key("Right")
    player.key("Return")
    assert wait_for(lambda: title_colour(player, rect) == "blue", 20), player.caption()
    assert "DVD Menu" not in player.caption()
    assert player.close() == 0


@pytest.mark.parametrize("button,colour", [(1, "red"), (2, "blue")])
def test_a_click_on_a_menu_button_plays_its_title_without_full_screen(
        player, media, fresh_settings, button, colour):
    start_on_menu(player, media)
    rect = video_rect(player)
    framed = player.geometry()
    left, top, right, bottom = picture_rect(rect, 4 / 3)
    bx, by = BUTTON_CENTRES[button]
    x = left + bx * (right - left) / 720
    y = top + by * (bottom - top) / 576
    x0, y0, _, _ = client_area(player)
    # A click outside every button does nothing.
    player.click(rect[0] + 4 - x0, rect[1] + 4 - y0)
    time.sleep(1)
    assert "DVD Menu" in player.caption()
    player.click(x - x0, y - y0)
    assert wait_for(lambda: title_colour(player, rect) == colour, 20), player.caption()
    assert player.geometry() == framed  # a single click is no full-screen switch
    assert player.close() == 0


def white_box(shot, rect):
    """Bounding box of the bright pixels inside rect, to within a pixel."""
    xs, ys = [], []
    x0, y0, x1, y1 = (int(v) for v in rect)
    for y in range(y0, y1):
        row = y * shot.width * 3
        for x in range(x0 + (y & 1), x1, 2):
            i = row + x * 3
            if min(shot.data[i], shot.data[i + 1], shot.data[i + 2]) > 160:
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None


@pytest.mark.parametrize("name,caption", [
    ("pal169.iso", r"^Velloran - [K-Z]:\\ - "),
    ("ntsc43.iso", r"^Velloran - [K-Z]:\\ - "),
    ("sar.mkv", r"sar\.mkv$"),
])
def test_a_circle_stays_round_whatever_the_shape_of_the_pixels(
        player, media, fresh_settings, name, caption):
    player.start(win_path(media / name))
    assert player.wait_caption(caption, 60), player.caption()
    x0, y0, x1, y1 = video_rect(player)
    # Clear of the "Powered by" link in the top right corner; the circle is centred.
    rect = (x0 + 130, y0, x1 - 130, y1)
    seen = []

    def round_enough():
        box = white_box(player.shot("circle"), rect)
        if box and box[3] - box[1] >= 40:
            seen.append((box[2] - box[0]) / (box[3] - box[1]))
            return abs(seen[-1] - 1) <= 0.02
        return False

    assert wait_for(round_enough, 20), sorted(set(round(r, 3) for r in seen))
    assert player.close() == 0


def test_a_1080_line_blu_ray_shows_its_bottom_lines(player, media, fresh_settings):
    # The disc's picture ends in a white band 8 lines high; stretched into the decoder's 1088
    # lines, the picture would lose it below the edge.
    player.start(win_path(media / "bd1080.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
    x0, y0, x1, y1 = video_rect(player)
    x = (x0 + x1) // 2
    seen = []

    def lowest_line_is_white():
        shot = player.shot("edge")
        lines = [y for y in range(y0, y1) if max(shot.pixel(x, y)) > 40]
        seen.append(shot.pixel(x, lines[-1]) if lines else None)
        return bool(lines) and min(seen[-1]) > 180

    assert wait_for(lowest_line_is_white, 20), seen[-3:]
    assert player.close() == 0


# The DVD has two subtitle languages; the Blu-ray none ("Open file..." only).
@pytest.mark.parametrize("image,subtitle_items", [("lang.iso", 4), ("bluray.iso", 1)])
def test_both_languages_of_a_disc_are_in_the_audio_and_subtitle_menus(player, media, image,
                                                                     subtitle_items,
                                                                     fresh_settings):
    player.start(win_path(media / image))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - .", 60), player.caption()
    time.sleep(1.5)
    player.key("space")  # paused, the short title keeps its tracks while the menus are read

    def popups():
        out = player.xdo("search", "--onlyvisible", "--class", "velloran").stdout.split()
        return [int(w) for w in out if w.isdigit() and int(w) != player.window]

    def popup_heights():
        return sorted(player.geometry(w)[3] for w in popups())

    def open_heights(*keys):
        player.key(keys[0])
        for key in keys[1:]:
            time.sleep(0.3)
            player.xdo("key", key)  # no new focus, which would close the menu
        if not wait_for(lambda: len(popups()) == 2, 10):
            player.shot("menu")
            pytest.fail(f"{keys}: {popup_heights()}")
        heights = popup_heights()
        player.xdo("key", "Escape", "Escape", "Escape")
        assert wait_for(lambda: not popups(), 10)
        time.sleep(0.5)
        return heights

    # Audio holds two items and its Audio Channel popup five: the height of one item.
    audio, channels = open_heights("alt+a", "Down", "Right")
    item = (channels - audio) / 3
    border = audio - 2 * item

    def items(height):
        return round((height - border) / item)

    tracks = max(open_heights("alt+a", "Right"))  # taller than Audio's two items
    assert items(tracks) == 3, (tracks, item)  # Disable, English, French
    # Video > Subtitle Track is the popup's last item.
    subtitles = min(open_heights("alt+v", "Up", "Right"))  # shorter than Video's nine
    assert items(subtitles) == subtitle_items, (subtitles, item)
    assert player.close() == 0


def test_a_blu_ray_image_plays_and_a_chosen_chapter_is_shown(player, media, fresh_settings):
    player.start(win_path(media / "bluray.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
    rect = video_rect(player)
    assert wait_for(lambda: title_colour(player, rect) == "red", 20), player.caption()
    # Controls > Chapter (second from the bottom) > the fourth chapter, yellow from 9 s: in
    # the 4 s waited after the choice, only the choice gets there.
    player.key("alt+c")
    for key in ("Up", "Up", "Right", "Down", "Down", "Down", "Return"):
        time.sleep(0.3)
        player.xdo("key", key)
    assert wait_for(lambda: title_colour(player, rect) == "yellow", 4), player.caption()
    # The disc's program holds the last picture after its title; the player ends there.
    assert player.wait_caption(r"^Velloran$", 25), player.caption()
    assert player.close() == 0


def test_a_video_cd_image_plays_its_tracks_in_turn_at_four_by_three(player, media, fresh_settings):
    player.start(win_path(media / "vcd.cue"))
    assert player.wait_caption(r"^Velloran - .*\\vcd\.cue - Title 1$", 30), player.caption()
    rect = video_rect(player)
    assert wait_for(lambda: title_colour(player, rect) == "red", 15), player.caption()
    # The 352 x 288 picture fills a 4:3 rectangle and nothing beside it.
    left, top, right, bottom = picture_rect(rect, 4 / 3)
    shot = player.shot("vcd")
    red = lambda p: _near(p, RED)  # noqa: E731
    assert shot.fraction((int(left) + 4, int(top) + 4, int(right) - 4, int(bottom) - 4), red) > 0.9
    if right - left < rect[2] - rect[0] - 16:
        assert shot.fraction((int(left) - 8, int(top), int(left) - 2, int(bottom)), red) < 0.1
        assert shot.fraction((int(right) + 2, int(top), int(right) + 8, int(bottom)), red) < 0.1
    # The second track follows by itself, and the disc ends after its 8 s.
    assert wait_for(lambda: title_colour(player, rect) == "blue", 10), player.caption()
    assert player.wait_caption(r"^Velloran$", 12), player.caption()
    assert player.close() == 0


# bdj.iso (tests/media/bdj/) starts on its Java menu, which plays the film's playlist behind its
# graphics and starts title 1 on Enter. libVLC 3.0 cannot blend the Java graphics into the
# picture (its blender has no routine for their BGRA pixels, whatever the output), so the menu is
# known by its title in the caption and by its answer to Enter.
def test_a_java_menu_disc_runs_its_menu_and_enter_starts_the_film(player, media, fresh_settings):
    player.start(win_path(media / "bdj.iso"))
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - First Play", 60), player.caption()
    # The menu has no end of its own: only Enter leaves it for title 1.
    time.sleep(3)
    assert "First Play" in player.caption()
    assert not player.dialogs()
    player.key("Return")
    assert player.wait_caption(r"^Velloran - [K-Z]:\\ - Title 1", 20), player.caption()
    rect = video_rect(player)
    assert wait_for(lambda: title_colour(player, rect) == "red", 20), player.caption()
    assert player.close() == 0


def test_without_java_a_java_menu_disc_plays_its_film_and_says_why_once(player, media,
                                                                       fresh_settings):
    # Set, JAVA_HOME is the only place libbluray looks for a Java runtime.
    player.env = dict(player.env, JAVA_HOME="/nonexistent-java")
    player.start(win_path(media / "bdj.iso"))
    box = player.wait_dialog(r"^Velloran$", 60)
    assert box, player.caption()
    text = player.dialog_text(box)
    assert "Java menus" in text and "no Java runtime" in text, text
    player.key("Return", window=box)
    assert wait_for(lambda: not player.dialogs(), 10)
    rect = video_rect(player)
    assert wait_for(lambda: title_colour(player, rect) == "red", 20), player.caption()
    assert "First Play" not in player.caption()
    # Opened again: the film plays from its start, and the reason is not told a second time.
    player.start_other(win_path(media / "bdj.iso")).wait(30)
    assert wait_for(lambda: title_colour(player, rect) == "red", 30), player.caption()
    time.sleep(3)
    assert not player.dialogs()
    assert player.close() == 0
