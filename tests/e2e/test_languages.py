"""Preferred languages chosen in the Preferences dialog reach the discs that play next: the
subtitles of lang.iso and the menu of menulang.iso, green in English and magenta in French."""

from conftest import run, video_rect, wait_for, win_path
from test_discs import picture_rect
from test_person import walk_menu
from test_resume import subtitle_line
from test_tracks import PREFERENCES_KEY


def choose_languages(player, choices):
    """Tools > Preferences..., each (field mnemonic, first letter of the entry), then OK."""
    walk_menu(player, "alt+t", ["Return"])
    dialog = player.wait_dialog(r"^Preferences$")
    assert dialog, "no Preferences dialog"
    for field, letter in choices:
        player.key(field, window=dialog)
        player.xdo("key", letter)
    player.xdo("key", "Return")
    assert wait_for(lambda: not player.dialogs(r"^Preferences$"), 10)


def forget_languages(player):
    for value in ("AudioLanguage", "SubtitleLanguage", "MenuLanguage"):
        run(["wine", "reg", "delete", PREFERENCES_KEY, "/v", value, "/f"], env=player.env,
            timeout=60)


def white_in(shot, picture, y0, y1):
    """Share of near-white pixels in the band y0..y1 (of 576 lines) of the subtitle boxes."""
    left, top, right, bottom = picture
    sx, sy = (right - left) / 720, (bottom - top) / 576
    rect = (left + 230 * sx, top + y0 * sy, left + 490 * sx, top + y1 * sy)
    return shot.fraction(rect, lambda p: min(p) > 200)


def test_subtitles_and_menus_in_the_languages_chosen_in_the_preferences(player, media,
                                                                      fresh_settings):
    player.start()
    try:
        # Subtitles (Alt+B) and Disc menus (Alt+N): French, the first entry under F.
        choose_languages(player, [("alt+b", "f"), ("alt+n", "f")])
        assert player.close() == 0
        # lang.iso shows its subtitle boxes from 0.5 s to 3.5 s: French at the top, English at
        # the bottom.
        player.start(win_path(media / "lang.iso"))
        assert player.wait_caption(r"^Velloran - [K-Z]:\\ - ", 60), player.caption()
        picture = picture_rect(video_rect(player), 4 / 3)
        seen = []

        def french_shown():
            shot = player.shot("subtitle")
            seen.append((white_in(shot, picture, 60, 100), white_in(shot, picture, 474, 514)))
            return seen[-1][0] > 0.3 and seen[-1][1] < 0.1

        assert wait_for(french_shown, 4), seen
        assert player.close() == 0
        player.start(win_path(media / "menulang.iso"))
        assert player.wait_caption(r" - DVD Menu$", 60), player.caption()
        rect = video_rect(player)
        magenta = lambda p: p[0] > 180 and p[1] < 80 and p[2] > 180
        assert wait_for(lambda: player.shot("menu").fraction(rect, magenta) > 0.5, 10)
        assert player.close() == 0
    finally:
        forget_languages(player)


def test_my_subtitles_show_while_the_audio_is_in_another_language(player, media, fresh_settings):
    player.start()
    try:
        # Audio (Alt+U): French; Subtitles (Alt+B): "Mine, when the audio is in another language".
        choose_languages(player, [("alt+u", "f"), ("alt+b", "m")])
        assert player.close() == 0
        # subs80.mkv's audio has no language; its French subtitles are not on by default.
        player.start(win_path(media / "subs80.mkv"))
        assert player.wait_caption(r"subs80\.mkv$", 30), player.caption()
        assert wait_for(lambda: subtitle_line(player, player.shot("mine")) > 0.008, 10)
        assert player.close() == 0
    finally:
        forget_languages(player)
