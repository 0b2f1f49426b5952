"""The skinned control bar and the video window's context menu, used with the real mouse and
keyboard: the Play/Pause, Stop, Open and Full Screen buttons, a click in the seek bar and in
the volume track, the time text, the full-screen auto-hide and the context menu.

Positions follow the bar's layout for a client width W: Open/Stop at x 1, Play/Pause at 38,
Previous 75, Next 112 (36 x 32 at y 2), the seek bar from x 149 to W - 136 (12 high at y 16),
the volume track 72 x 12 at W - 135, y 15, Mute at W - 62 and Full Screen (32 x 26) at W - 33,
y 5; the bar is 36 high along the bottom of the client area.
"""

import re
import subprocess
import time
from functools import lru_cache

from conftest import REPO, wait_for, win_path

BAR_HEIGHT = 36
SLOT = {"open": 1, "stop": 1, "play": 38, "pause": 38, "prev": 75, "next": 112}
SEEK_LEFT = 149
SEEK_Y = 16            # top of the seek track in the bar
TRACK_ROW = 22         # a bar row through the middle of both knobs
TIME_KNOB = 12
VOLUME_KNOB = 16
VOLUME_TRAVEL = 72 - VOLUME_KNOB
PLAYED = (61, 142, 230)
TEXT_GREY = (149, 149, 149)
BAR_GREY = (28, 28, 28)
SKIN = REPO / "resources" / "skin"


# ---------------------------------------------------------------------------------------------
# where things are

def window_rect(player):
    """Screen rectangle (x, y, width, height) of the main window's X window: the Win32 client
    area plus, out of full screen, the menu bar above it."""
    return player.geometry()


class Bar:
    """The control bar's place on the screen, measured once."""

    def __init__(self, player):
        x, y, w, h = window_rect(player)
        self.x, self.top, self.width = x, y + h - BAR_HEIGHT, w

    def at(self, bx, by):
        return self.x + bx, self.top + by

    @property
    def seek_right(self):
        return self.width - 136

    @property
    def seek_travel(self):
        return self.seek_right - SEEK_LEFT - TIME_KNOB

    @property
    def volume_left(self):
        return self.width - 135

    @property
    def fullscreen_x(self):
        return self.width - 33

    def rect(self):
        return self.x, self.top, self.x + self.width, self.top + BAR_HEIGHT


def click_screen(player, x, y, button=1):
    player.xdo("mousemove", int(x), int(y))
    time.sleep(0.15)
    player.xdo("click", button)
    time.sleep(0.3)


def click_bar(player, bar, bx, by):
    click_screen(player, *bar.at(bx, by))
    # Off the bar again, so that no tooltip covers what the next screenshot measures.
    player.move_mouse(bar.x + bar.width // 2, max(bar.top - 150, 5))


def click_button(player, bar, name):
    if name in SLOT:
        click_bar(player, bar, SLOT[name] + 18, 2 + 16)
    elif name == "fullscreen":
        click_bar(player, bar, bar.fullscreen_x + 16, 5 + 13)
    else:
        raise ValueError(name)


def popups(player):
    """Visible menus of the player: its top-level X windows other than the main window and
    taller than a tooltip."""
    found = []
    out = player.xdo("search", "--onlyvisible", "--class", "velloran").stdout.split()
    for w in (int(v) for v in out if v.isdigit()):
        if w == player.window:
            continue
        geometry = player.geometry(w)
        if geometry and geometry[3] > 40:
            found.append(w)
    return found


# ---------------------------------------------------------------------------------------------
# what the bar shows

@lru_cache(maxsize=None)
def glyph_mask(name):
    """The opaque pixels of a button image, as a set of (x, y) within its 36 x 32 slot."""
    raw = subprocess.run(["convert", str(SKIN / f"{name}.png"), "-alpha", "extract", "-depth",
                          "8", "gray:-"], check=True, stdout=subprocess.PIPE, timeout=30).stdout
    w = 36
    return frozenset((i % w, i // w) for i, a in enumerate(raw) if a >= 128)


def glyph_score(shot, bar, slot_x, name):
    mask = glyph_mask(name)
    inside = outside = inside_bright = outside_dark = 0
    for y in range(32):
        for x in range(36):
            p = shot.pixel(bar.x + slot_x + x, bar.top + 2 + y)
            if (x, y) in mask:
                inside += 1
                inside_bright += max(p) > 120
            else:
                outside += 1
                outside_dark += max(p) < 80
    return (inside_bright / max(inside, 1) + outside_dark / max(outside, 1)) / 2


def shown_glyph(shot, bar, slot, candidates):
    """The candidate image the slot shows, or None when none matches well."""
    scores = {name: glyph_score(shot, bar, SLOT[slot], name) for name in candidates}
    best = max(scores, key=scores.get)
    return best if scores[best] > 0.9 else None


def row(shot, bar, by, bx0, bx1):
    return [shot.pixel(bar.x + bx, bar.top + by) for bx in range(bx0, bx1)]


def near(p, colour, tolerance):
    return all(abs(p[i] - colour[i]) <= tolerance for i in range(3))


def played_width(shot, bar):
    """Width of the blue played part of the seek bar."""
    return sum(1 for p in row(shot, bar, TRACK_ROW, SEEK_LEFT, bar.seek_right)
               if near(p, PLAYED, 30))


def knob_centre(shot, bar, bx0, bx1):
    """Middle of the bright knob in the track row between bar columns bx0 and bx1."""
    xs = [bx0 + i for i, p in enumerate(row(shot, bar, TRACK_ROW, bx0, bx1)) if min(p) > 180]
    return (xs[0] + xs[-1]) / 2 if xs else None


def time_knob(shot, bar):
    return knob_centre(shot, bar, SEEK_LEFT, bar.seek_right)


def volume_knob(shot, bar):
    return knob_centre(shot, bar, bar.volume_left, bar.volume_left + 72)


def text_pixels(shot, bar):
    """Bar coordinates of the time text's grey pixels in the strip above the seek bar."""
    found = []
    for by in range(0, SEEK_Y):
        for bx in range(SEEK_LEFT, bar.seek_right):
            if near(shot.pixel(bar.x + bx, bar.top + by), TEXT_GREY, 25):
                found.append((bx, by))
    return found


def bar_shown(shot, bar):
    return shot.colour_fraction(bar.rect(), BAR_GREY, tolerance=6) > 0.5


def start_playing(player, media, name="mpeg2_30s.mpg"):
    player.start(win_path(media / name))
    assert player.wait_caption(rf"^Velloran - {re.escape(name)}$", 30), player.caption()
    bar = Bar(player)
    # Playing once the bar shows the played part growing.
    assert wait_for(lambda: played_width(player.shot("started"), bar) > 3, 20)
    return bar


# ---------------------------------------------------------------------------------------------
# the buttons

def test_the_play_pause_button_pauses_and_resumes_and_stop_returns_to_idle(player, media,
                                                                          fresh_settings):
    bar = start_playing(player, media)
    shot = player.shot("playing")
    assert shown_glyph(shot, bar, "pause", ["pause", "play"]) == "pause"
    assert shown_glyph(shot, bar, "stop", ["stop", "open"]) == "stop"

    click_button(player, bar, "pause")
    paused = wait_for(lambda: (lambda s: s if shown_glyph(s, bar, "play", ["pause", "play"])
                               == "play" else None)(player.shot("paused")), 10)
    assert paused, "the button does not show Play after pausing"
    assert shown_glyph(paused, bar, "stop", ["stop", "open"]) == "stop"
    # The played part stands still while paused (about 13 pixels a second while playing).
    time.sleep(0.5)
    first = played_width(player.shot("paused-a"), bar)
    time.sleep(1.5)
    assert abs(played_width(player.shot("paused-b"), bar) - first) <= 1
    assert player.caption() == "Velloran - mpeg2_30s.mpg"

    click_button(player, bar, "play")
    assert wait_for(lambda: played_width(player.shot("resumed"), bar) > first + 6, 10)
    assert shown_glyph(player.shot("resumed-glyph"), bar, "pause", ["pause", "play"]) == "pause"

    click_button(player, bar, "stop")
    assert player.wait_caption(r"^Velloran$", 15), player.caption()
    x, y, w, h = window_rect(player)
    rect = (x + 8, y + 30, x + w - 8, y + h - BAR_HEIGHT - 4)  # the video area, inset
    idle = wait_for(lambda: (lambda s: s if s.saturated_fraction(rect) < 0.05 else None)(
        player.shot("stopped")), 10)
    assert idle, "the picture stays after Stop"
    cx, cy = x + w // 2, y + (h - BAR_HEIGHT) // 2
    assert idle.non_black_fraction((cx - 150, cy - 70, cx + 150, cy + 70)) > 0.05  # the logo
    assert shown_glyph(idle, bar, "open", ["stop", "open"]) == "open"
    assert shown_glyph(idle, bar, "play", ["pause", "play"]) == "play"
    assert played_width(idle, bar) == 0
    assert player.close() == 0


def test_the_open_button_shows_the_open_menu_and_escape_closes_it(player, fresh_settings):
    player.start()
    assert player.wait_caption(r"^Velloran$")
    bar = Bar(player)
    assert not popups(player)
    click_screen(player, *bar.at(SLOT["open"] + 18, 18))
    menu = wait_for(lambda: popups(player), 10)
    assert menu, "no menu after a click on Open"
    # The three open commands: a short menu, not the long context menu.
    height = player.geometry(menu[0])[3]
    assert height < 120, height
    player.xdo("key", "Escape")
    assert wait_for(lambda: not popups(player), 10), "Escape left the menu open"
    # Its first item opens the file dialog.
    click_screen(player, *bar.at(SLOT["open"] + 18, 18))
    assert wait_for(lambda: popups(player), 10)
    player.xdo("key", "Down", "Return")
    dialog = player.wait_dialog(r"^Select File$", 15)
    assert dialog, "Open File... from the Open menu showed no file dialog"
    player.key("Escape", window=dialog)
    assert wait_for(lambda: not player.dialogs(r"^Select File$"), 10)
    assert player.caption() == "Velloran"
    assert player.close() == 0


def test_full_screen_button_and_the_bar_hiding_itself(player, media, fresh_settings):
    bar = start_playing(player, media)
    framed = window_rect(player)
    click_button(player, bar, "fullscreen")
    assert wait_for(lambda: window_rect(player) == (0, 0, 1280, 800), 10), window_rect(player)
    full = Bar(player)
    assert (full.top, full.width) == (800 - BAR_HEIGHT, 1280)
    player.move_mouse(640, 300)
    started = time.monotonic()
    shot = player.shot("fullscreen")
    assert bar_shown(shot, full)
    assert shown_glyph(shot, full, "pause", ["pause", "play"]) == "pause"

    # Still mouse: the bar goes after five seconds, and the video reaches the bottom.
    hidden = wait_for(lambda: not bar_shown(player.shot("waiting"), full), 12, 0.5)
    assert hidden, "the bar did not hide itself"
    assert time.monotonic() - started > 4.5
    assert player.shot("hidden").saturated_fraction((0, 770, 1280, 800)) > 0.2

    # A person moving the mouse down towards the bar brings it back.
    for y in (400, 500, 600, 700):
        player.move_mouse(640, y)
        time.sleep(0.15)
    assert wait_for(lambda: bar_shown(player.shot("back"), full), 5), "the bar did not return"
    # Resting over the bar it stays.
    player.move_mouse(640, 790)
    time.sleep(6)
    assert bar_shown(player.shot("resting"), full)

    # Its Leave Full Screen button brings the framed window back.
    click_button(player, full, "fullscreen")
    assert wait_for(lambda: window_rect(player) == framed, 10), (window_rect(player), framed)
    assert shown_glyph(player.shot("framed"), Bar(player), "pause", ["pause", "play"]) == "pause"
    assert player.close() == 0


# ---------------------------------------------------------------------------------------------
# the sliders and the time text

def test_a_click_in_the_seek_bar_jumps_there(player, media, fresh_settings):
    bar = start_playing(player, media)
    before = player.shot("before")
    early = time_knob(before, bar)
    assert early is not None and early < SEEK_LEFT + 60
    # Three quarters along: the knob's middle goes to the click.
    target = SEEK_LEFT + TIME_KNOB // 2 + round(0.75 * bar.seek_travel)
    click_bar(player, bar, target, SEEK_Y + 6)
    after = wait_for(lambda: (lambda s: s if (time_knob(s, bar) or 0) > target - 15 else None)(
        player.shot("after")), 10)
    assert after, time_knob(player.shot("late"), bar)
    assert time_knob(after, bar) < target + 30
    assert abs(played_width(after, bar) - (time_knob(after, bar) - TIME_KNOB / 2 - SEEK_LEFT)) <= 3
    # It plays on from there.
    pos = time_knob(after, bar)
    assert wait_for(lambda: (time_knob(player.shot("on"), bar) or 0) > pos + 5, 10)
    assert player.caption() == "Velloran - mpeg2_30s.mpg"
    assert player.close() == 0


def test_a_click_in_the_middle_of_the_volume_track_sets_half_volume(player, media,
                                                                   fresh_settings):
    bar = start_playing(player, media)
    full = volume_knob(player.shot("full"), bar)
    # Volume 100: the knob ends flush with the track's right end.
    assert full is not None and abs(full - (bar.volume_left + VOLUME_TRAVEL + 8)) <= 1, full
    click_bar(player, bar, bar.volume_left + 36, 15 + 6)
    half = wait_for(lambda: (lambda s: volume_knob(s, bar) if volume_knob(s, bar) and
                             volume_knob(s, bar) < full - 10 else None)(player.shot("half")), 10)
    assert half, "the volume knob did not move"
    # Volume 50 puts the knob 28 pixels in, so its middle is where the click was.
    assert abs(half - (bar.volume_left + 28 + 8)) <= 1, half
    # Mute sends the knob to the left end; again brings it back.
    click_bar(player, bar, bar.width - 62 + 14, 9 + 12)
    assert wait_for(lambda: abs((volume_knob(player.shot("muted"), bar) or 0)
                                - (bar.volume_left + 8)) <= 1, 10)
    click_bar(player, bar, bar.width - 62 + 14, 9 + 12)
    assert wait_for(lambda: abs((volume_knob(player.shot("unmuted"), bar) or 0) - half) <= 1, 10)
    assert player.close() == 0


def test_the_time_text_shows_length_then_elapsed_in_grey_above_the_seek_bar(player, media,
                                                                          fresh_settings):
    player.start()
    assert player.wait_caption(r"^Velloran$")
    bar = Bar(player)
    idle = text_pixels(player.shot("idle"), bar)
    assert idle, "no grey time text while idle"
    assert player.close() == 0

    bar = start_playing(player, media)
    first = player.shot("first")
    pixels = text_pixels(first, bar)
    assert len(pixels) > 40
    xs = [x for x, _ in pixels]
    ys = [y for _, y in pixels]
    # Right-aligned at the seek bar's right end, at the bottom of the strip above it.
    assert bar.seek_right - 4 <= max(xs) < bar.seek_right
    assert 90 <= bar.seek_right - min(xs) <= 140, (min(xs), bar.seek_right)
    assert SEEK_Y - 4 <= max(ys) < SEEK_Y and min(ys) >= 1
    # As time passes only the right-hand part (the elapsed time) changes; the length stays.
    left, right = min(xs), max(xs) + 1
    middle = (left + right) // 2

    def columns(shot, x0, x1):
        return [shot.pixel(bar.x + x, bar.top + y) for y in range(SEEK_Y) for x in range(x0, x1)]
    assert wait_for(lambda: columns(player.shot("later"), middle + 4, right)
                    != columns(first, middle + 4, right), 5)
    later = player.shot("later-check")
    assert columns(later, left, middle - 4) == columns(first, left, middle - 4)
    assert player.close() == 0


# ---------------------------------------------------------------------------------------------
# the context menu

def context_menu(player, x, y):
    click_screen(player, x, y, button=3)
    menu = wait_for(lambda: popups(player), 10)
    assert menu, "no context menu after a right click"
    return menu


def test_the_context_menu_idle_enters_and_leaves_full_screen_by_keys(player, fresh_settings):
    player.start()
    assert player.wait_caption(r"^Velloran$")
    framed = window_rect(player)
    x, y, w, h = framed
    context_menu(player, x + w // 2, y + h // 3)
    player.xdo("key", "Escape")
    assert wait_for(lambda: not popups(player), 10), "Escape left the context menu open"
    assert window_rect(player) == framed

    # From the bottom: Preferences..., Snapshot, Full Screen.
    context_menu(player, x + w // 2, y + h // 3)
    player.xdo("key", "Up", "Up", "Up", "Return")
    assert wait_for(lambda: window_rect(player) == (0, 0, 1280, 800), 10), window_rect(player)
    assert not popups(player)
    # In full screen the same place holds Leave Full Screen.
    context_menu(player, 640, 300)
    player.xdo("key", "Up", "Up", "Up", "Return")
    assert wait_for(lambda: window_rect(player) == framed, 10), (window_rect(player), framed)
    # The menu bar kept its menus: Controls opens with its accelerator.
    player.key("alt+c")
    assert wait_for(lambda: popups(player), 10), "the Controls menu is gone from the menu bar"
    player.xdo("key", "Escape", "Escape")
    assert wait_for(lambda: not popups(player), 10)
    assert player.close() == 0


def test_the_context_menu_while_playing_pauses_by_keys(player, media, fresh_settings):
    bar = start_playing(player, media)
    # Over the playing picture, a little above the middle.
    over_video = (bar.x + bar.width // 2, bar.top - 250)
    context_menu(player, *over_video)
    player.xdo("key", "Escape")
    assert wait_for(lambda: not popups(player), 10), "Escape left the context menu open"
    assert shown_glyph(player.shot("still-playing"), bar, "pause", ["pause", "play"]) == "pause"

    # Open File..., Open Disk..., Open ISO..., Play, Pause.
    context_menu(player, *over_video)
    player.xdo("key", "Down", "Down", "Down", "Down", "Down", "Return")
    assert wait_for(lambda: not popups(player), 10)
    assert wait_for(lambda: shown_glyph(player.shot("paused"), bar, "play", ["pause", "play"])
                    == "play", 10), "Pause from the context menu did not pause"
    first = played_width(player.shot("paused-a"), bar)
    time.sleep(1.5)
    assert abs(played_width(player.shot("paused-b"), bar) - first) <= 1
    assert player.close() == 0
