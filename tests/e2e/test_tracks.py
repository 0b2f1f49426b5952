"""Titles, subtitles and snapshots on the real player: Next and Previous move between the
titles of a disc image, an external subtitle file chosen from the Video menu shows its text,
and Ctrl+S writes a snapshot into the configured folder."""

import re
import subprocess
import time

from conftest import run, video_rect, wait_for, win_path

PREFERENCES_KEY = r"HKCU\Software\Quondel\Velloran\Preferences"


def test_next_and_previous_move_between_the_titles_of_a_disc(player, media, fresh_settings):
    player.start(win_path(media / "dvd.iso"))
    pattern = r"^Velloran - [K-Z]:\\ - (.+)$"
    first = player.wait_caption(pattern, 60)
    assert first, player.caption()
    first_title = re.match(pattern, first).group(1)
    time.sleep(1)
    player.key("Next")
    second = player.wait_caption(lambda c: re.match(pattern, c) and c != first, 20)
    assert second, player.caption()
    time.sleep(1)
    player.key("Prior")
    back = player.wait_caption(lambda c: re.match(pattern, c) and c != second, 20)
    assert back and re.match(pattern, back).group(1) == first_title, back
    assert player.close() == 0


def black_film(folder, seconds=20):
    film = folder / "black.mkv"
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                    "-f", "lavfi", "-i", "color=c=black:size=640x360:rate=25",
                    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000",
                    "-t", str(seconds), "-c:v", "libx264", "-preset", "ultrafast",
                    "-pix_fmt", "yuv420p", "-c:a", "aac", str(film)], check=True, timeout=120)
    return film


def test_an_external_subtitle_chosen_from_the_menu_shows_its_text(player, tmp_path,
                                                                  fresh_settings):
    film = black_film(tmp_path)
    subtitle = tmp_path / "words.srt"
    subtitle.write_text("1\r\n00:00:00,000 --> 00:00:20,000\r\nWWWWWWWW MMMMMMMM\r\n\r\n")
    player.start(win_path(film))
    assert player.wait_caption(r"black\.mkv$", 30)
    time.sleep(1)
    rect = video_rect(player)
    before = player.shot("before")
    assert before.non_black_fraction(rect) < 0.01
    # Video > Subtitle Track (the last item) > Open file... (its last entry).
    player.key("alt+v")
    time.sleep(0.4)
    player.key("Up")
    player.key("Right")
    player.key("Up")
    player.key("Return")
    dialog = player.wait_dialog(r"^Select File$", 15)
    assert dialog, "the subtitle file dialog did not open"
    time.sleep(0.5)
    player.type(win_path(subtitle), window=dialog)
    player.key("Return", window=dialog)
    assert wait_for(lambda: not player.dialogs(r"^Select File$"), 10)
    assert wait_for(lambda: player.shot("subtitle").non_black_fraction(rect) > 0.002, 15)
    assert player.close() == 0


def test_ctrl_s_writes_a_snapshot_into_the_preference_folder(player, media, tmp_path,
                                                             fresh_settings):
    shots = tmp_path / "snapshots"
    shots.mkdir()
    run(["wine", "reg", "add", PREFERENCES_KEY, "/v", "SnapshotFolder", "/t", "REG_SZ",
         "/d", win_path(shots), "/f"], env=player.env, timeout=60)
    try:
        player.start(win_path(media / "mpeg2_30s.mpg"))
        assert player.wait_caption(r"mpeg2_30s\.mpg$", 30)
        time.sleep(1.5)
        player.key("ctrl+s")
        found = wait_for(lambda: [p for p in shots.iterdir() if p.name.startswith("snap-")], 15)
        assert found, list(shots.iterdir())
        assert found[0].stat().st_size > 1000
        assert player.close() == 0
    finally:
        run(["wine", "reg", "delete", PREFERENCES_KEY, "/v", "SnapshotFolder", "/f"],
            env=player.env, timeout=60)
