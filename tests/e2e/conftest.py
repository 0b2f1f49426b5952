"""Shared fixtures of the end-to-end tests: the real player under Wine on a private X display.

Every session gets its own Xvfb display with a small window manager (openbox, so frames and
full screen behave as on a desktop) and a fresh Wine prefix. Tests start build/velloran.exe
with arguments, wait for its window, read the caption, type and click with xdotool, take
screenshots and read registry values. Each test ends by closing the player and checking that
nothing stays behind: no player process, no mounted image, no extra drive letter.

Environment:
  VELLORAN_BUILD        the installation-like build folder (default: build/ of the repository)
  VELLORAN_MEDIA        generated test media (default: build/testmedia, made on demand)
  VELLORAN_E2E_DISPLAY  use this X display instead of starting one (it should have a window
                        manager); the DISPLAY and WINEPREFIX that run-tests.sh exports are not
                        reused, so the in-process tests and these never share state
  VELLORAN_E2E_SHOTS    where screenshots are kept (default: build/e2e-shots)
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("VELLORAN_BUILD") or REPO / "build").resolve()
EXE = BUILD / "velloran.exe.so"
SCREEN = (1280, 800)
SETTINGS_KEY = r"HKCU\Software\Quondel\Velloran"
HANDOVER_KEY = r"HKCU\Software\Velloran"


# ---------------------------------------------------------------------------------------------
# small process helpers

def run(cmd, env=None, timeout=60, check=False):
    """Runs a command and returns its CompletedProcess (text output, never raising on exit code
    unless check is set)."""
    return subprocess.run(cmd, env=env, timeout=timeout, check=check, text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL)


def wait_for(predicate, timeout, interval=0.2):
    """Polls predicate until it returns something true or the time is up; returns its last
    result."""
    end = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= end:
            return result
        time.sleep(interval)


def win_path(path):
    """The Wine (Z:) path of a Linux path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


# The session's folder (its Wine prefix, and in it the mount tool's mount folders), once made:
# only what lies in it is the tests' own. Other FUSE mounts and servers on the machine are
# neither counted nor taken down.
SESSION_ROOT = None


def ours(path):
    return SESSION_ROOT is None or path.startswith(SESSION_ROOT + "/")


def fuse_mounts():
    """The session's FUSE mount points, from /proc/mounts."""
    points = set()
    try:
        with open("/proc/mounts") as f:
            for line in f:
                fields = line.split()
                point = fields[1].replace("\\040", " ") if len(fields) >= 3 else ""
                if "fuse" in fields[2] and ours(point):
                    points.add(point)
    except OSError:
        pass
    return points


# ---------------------------------------------------------------------------------------------
# screenshots

class Shot:
    """A screenshot as 8-bit RGB pixels, with the few measurements the tests need."""

    def __init__(self, width, height, data, path=None):
        self.width, self.height, self.data, self.path = width, height, data, path

    @classmethod
    def from_ppm(cls, raw, path=None):
        # P6 header: magic, width, height, maxval, each separated by whitespace (no comments
        # from ImageMagick).
        parts = []
        pos = 0
        while len(parts) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not raw[pos:pos + 1].isspace():
                pos += 1
            parts.append(raw[start:pos])
        pos += 1
        if parts[0] != b"P6" or int(parts[3]) != 255:
            raise ValueError("unexpected screenshot format")
        w, h = int(parts[1]), int(parts[2])
        return cls(w, h, raw[pos:pos + w * h * 3], path)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def region(self, x0, y0, x1, y1, step=1):
        """Pixels of the rectangle [x0, x1) x [y0, y1), clipped to the picture."""
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.width, int(x1)), min(self.height, int(y1))
        for y in range(y0, y1, step):
            row = y * self.width * 3
            for x in range(x0, x1, step):
                i = row + x * 3
                yield self.data[i], self.data[i + 1], self.data[i + 2]

    def fraction(self, rect, test, step=2):
        pixels = list(self.region(*rect, step=step))
        if not pixels:
            return 0.0
        return sum(1 for p in pixels if test(p)) / len(pixels)

    def non_black_fraction(self, rect, threshold=40, step=2):
        return self.fraction(rect, lambda p: max(p) > threshold, step)

    def colour_fraction(self, rect, colour, tolerance=12, step=2):
        return self.fraction(
            rect, lambda p: all(abs(p[i] - colour[i]) <= tolerance for i in range(3)), step)

    def distinct_colours(self, rect, step=2, quantum=32):
        return len({(r // quantum, g // quantum, b // quantum)
                    for r, g, b in self.region(*rect, step=step)})

    def saturated_fraction(self, rect, step=2):
        """Share of strongly coloured pixels (the test pictures' colour bars), which neither a
        black field, a grey skin nor a white logo background has."""
        return self.fraction(rect, lambda p: max(p) - min(p) > 80, step)


def take_shot(display, name, shots_dir):
    shots_dir.mkdir(parents=True, exist_ok=True)
    png = shots_dir / f"{name}.png"
    env = dict(os.environ, DISPLAY=display)
    run(["import", "-window", "root", str(png)], env=env, timeout=30, check=True)
    raw = subprocess.run(["convert", str(png), "-depth", "8", "ppm:-"], check=True,
                         stdout=subprocess.PIPE, timeout=30).stdout
    return Shot.from_ppm(raw, png)


# ---------------------------------------------------------------------------------------------
# the display and the Wine prefix

@pytest.fixture(scope="session")
def display():
    """An X display with a window manager: VELLORAN_E2E_DISPLAY, or a private Xvfb + openbox."""
    given = os.environ.get("VELLORAN_E2E_DISPLAY")
    if given:
        yield given
        return
    n = 300 + os.getpid() % 300
    while os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
        n += 1
    name = f":{n}"
    xvfb = subprocess.Popen(["Xvfb", name, "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                             "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    env = dict(os.environ, DISPLAY=name)
    # The socket appears before the server takes connections; a client started in between
    # (openbox) fails to open the display and exits.
    if not wait_for(lambda: run(["xprop", "-root", "-len", "0"], env=env).returncode == 0, 10):
        xvfb.kill()
        pytest.fail("Xvfb did not start")
    wm = None
    for _ in range(3):
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        # openbox owns the WM selection once it manages the screen.
        if wait_for(lambda: "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                 env=env).stdout, 10):
            break
        wm.kill()
    else:
        xvfb.kill()
        pytest.fail("openbox did not start: without a window manager keys and focus go astray")
    yield name
    for proc in (wm, xvfb):
        if proc and proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()


@pytest.fixture(scope="session")
def wine_env(display, tmp_path_factory):
    """Environment of a fresh Wine prefix for the whole session (about 10 s to create)."""
    global SESSION_ROOT
    root = Path(tempfile.mkdtemp(prefix="velloran-e2e.")).resolve()
    SESSION_ROOT = str(root)
    env = dict(os.environ)
    # A sound device that takes everything, as a desktop has one: without it libVLC says that
    # the audio output failed, and the player passes that on.
    (root / "asound.conf").write_text("pcm.!default { type null }\n")
    env.update({
        "ALSA_CONFIG_PATH": f"/usr/share/alsa/alsa.conf:{root / 'asound.conf'}",
        "DISPLAY": display,
        "WINEPREFIX": str(root / "prefix"),
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
    })
    run(["wineboot", "-i"], env=env, timeout=180)
    run(["wineserver", "-w"], env=env, timeout=120)
    yield env
    run(["wineserver", "-k"], env=env, timeout=30)
    shutil.rmtree(root, ignore_errors=True)


# The generated media the tests open, relative to the media folder.
REQUIRED_MEDIA = (
    "testsrc.mkv",
    "audio.mp3",
    "twoaudio.mkv",
    "folder3/short1.mp4",
    "folder3/short2.mp4",
    "folder3/short3.mp4",
    "mpeg2_30s.mpg",
    "dvd/VIDEO_TS/VIDEO_TS.IFO",
    "dvd.iso",
    "data.iso",
    "menu.iso",
    "pal169.iso",
    "ntsc43.iso",
    "sar.mkv",
    "lang.iso",
    "bluray.iso",
    "vcd.cue",
    "bd1080.iso",
    "bd_noindex.iso",
    "bd_noclpi.iso",
    "long.mkv",
    "resume.iso",
    "bd_aacs.iso",
    "bdj.iso",
    "bd_nojar.iso",
)


@pytest.fixture(scope="session")
def media():
    """The generated test media folder (made on demand; kept between runs). A file that is
    still missing afterwards fails every test that needs the media: a test never passes or
    skips for want of its input."""
    folder = Path(os.environ.get("VELLORAN_MEDIA") or REPO / "build" / "testmedia")
    script = REPO / "tests" / "media" / "make-media.sh"
    if any(not (folder / name).exists() for name in REQUIRED_MEDIA):
        subprocess.run(["bash", str(script), str(folder)], check=False, timeout=300)
    missing = [name for name in REQUIRED_MEDIA if not (folder / name).exists()]
    if missing:
        pytest.fail(f"test media missing in {folder}: {', '.join(missing)} "
                    f"(made by {script}; see its output for the step that failed)",
                    pytrace=False)
    return folder.resolve()


@pytest.fixture(scope="session")
def shots_dir():
    return Path(os.environ.get("VELLORAN_E2E_SHOTS") or REPO / "build" / "e2e-shots")


# ---------------------------------------------------------------------------------------------
# the player

class Player:
    """One running velloran.exe and the means to see and drive it like a person."""

    MAIN_NAME = r"^(Velloran|Media Player)"

    def __init__(self, env, display, shots_dir, test_name):
        self.env = env
        self.display = display
        self.shots_dir = shots_dir
        self.test_name = re.sub(r"[^A-Za-z0-9_.-]", "_", test_name)
        self.proc = None
        self.window = None
        self.shot_count = 0
        self.others = []

    # -- starting and stopping
    def start(self, *args, wait=True, timeout=40, wrapper=()):
        """wrapper: a command the player runs under (it ends by running its arguments)."""
        if not EXE.exists():
            pytest.fail(f"{EXE} is not built")
        self.proc = subprocess.Popen([*wrapper, "wine", str(EXE), *map(str, args)], env=self.env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        if wait:
            self.wait_window(timeout)
        return self

    def start_other(self, *args):
        """Starts a second instance; returns its Popen (the caller waits)."""
        proc = subprocess.Popen(["wine", str(EXE), *map(str, args)], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        self.others.append(proc)
        return proc

    def xdo(self, *args, timeout=20):
        return run(["xdotool", *map(str, args)], env=self.env, timeout=timeout)

    def windows(self, name=None, visible=True):
        args = ["search"]
        if visible:
            args.append("--onlyvisible")
        args += ["--name", name or self.MAIN_NAME]
        out = self.xdo(*args).stdout.split()
        return [int(w) for w in out if w.isdigit()]

    def main_candidates(self):
        """Visible Wine top-level windows named like the main window, largest first."""
        found = []
        for w in self.windows():
            geo = self.geometry(w)
            if geo and geo[2] >= 2 and geo[3] >= 1:
                found.append((geo[2] * geo[3], w))
        return [w for _, w in sorted(found, reverse=True)]

    def wait_window(self, timeout=40):
        def find():
            if self.proc.poll() is not None:
                return "exited"
            c = self.main_candidates()
            return c[0] if c else None
        w = wait_for(find, timeout, 0.3)
        if w == "exited":
            pytest.fail(f"the player exited with {self.proc.returncode} before showing a window")
        if not w:
            pytest.fail("the player's window did not appear")
        self.window = w
        time.sleep(0.5)
        return w

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def close(self, timeout=20):
        """Closes the player as a user does (the window manager's close, i.e. WM_CLOSE) and
        returns its exit code."""
        if not self.running():
            return self.proc.returncode if self.proc else None
        if self.window:
            self.focus()
            self.xdo("key", "--clearmodifiers", "alt+F4")
        if wait_for(lambda: not self.running(), timeout / 2):
            return self.proc.returncode
        # Fall back to the menu: File > Exit.
        self.focus()
        self.xdo("key", "Escape")
        self.xdo("key", "alt+f")
        time.sleep(0.3)
        self.xdo("key", "x")
        wait_for(lambda: not self.running(), timeout / 2)
        return self.proc.returncode if not self.running() else None

    def kill(self):
        for proc in [self.proc, *self.others]:
            if proc is not None and proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except OSError:
                    pass
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    pass

    # -- looking
    def caption(self, window=None):
        return self.xdo("getwindowname", window or self.window).stdout.rstrip("\n")

    def wait_caption(self, test, timeout=20):
        """Waits until the caption satisfies test (a callable or a regular expression)."""
        check = test if callable(test) else (lambda c: re.search(test, c))
        last = [""]

        def probe():
            last[0] = self.caption()
            return check(last[0])
        ok = wait_for(probe, timeout, 0.3)
        return last[0] if ok else None

    def geometry(self, window=None):
        """(x, y, width, height) of a window's X window on the screen: the Win32 client area
        plus, out of full screen, the menu bar above it. From xwininfo: xdotool's
        getwindowgeometry counts the window manager's frame twice in the position."""
        out = run(["xwininfo", "-id", str(window or self.window)], env=self.env,
                  timeout=20).stdout
        vals = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            vals[key] = value.strip()
        try:
            return (int(vals["Absolute upper-left X"]), int(vals["Absolute upper-left Y"]),
                    int(vals["Width"]), int(vals["Height"]))
        except (KeyError, ValueError):
            return None

    def shot(self, label="shot"):
        self.shot_count += 1
        return take_shot(self.display, f"{self.test_name}-{self.shot_count:02d}-{label}",
                         self.shots_dir)

    def dialogs(self, name=r"^Velloran$"):
        """Visible windows with the given name other than the main window (message boxes)."""
        return [w for w in self.windows(name) if w != self.window]

    def dialog_text(self, box):
        """The message of the player's message boxes, as a user reads it."""
        return run(["wine", str(EXE.parent / "dialog_text.exe"), "Velloran"], env=self.env,
                   timeout=30).stdout

    def wait_dialog(self, name=r"^Velloran$", timeout=15):
        found = wait_for(lambda: self.dialogs(name), timeout, 0.3)
        return found[0] if found else None

    # -- typing and clicking
    def focus(self, window=None):
        w = window or self.window
        self.xdo("windowactivate", "--sync", w, timeout=10)
        self.xdo("windowfocus", "--sync", w, timeout=10)

    def key(self, *keys, window=None):
        self.focus(window)
        self.xdo("key", "--clearmodifiers", *keys)
        time.sleep(0.3)

    def type(self, text, window=None):
        self.focus(window)
        self.xdo("type", "--delay", "20", text)

    def click(self, x, y, button=1, window=None):
        """Clicks at (x, y) relative to a window's client area (the main window by default)."""
        self.xdo("mousemove", "--window", window or self.window, int(x), int(y))
        time.sleep(0.15)
        self.xdo("click", button)
        time.sleep(0.3)

    def move_mouse(self, x, y):
        self.xdo("mousemove", int(x), int(y))

    # -- the registry
    def reg_query(self, key, value):
        """(type, data) of a registry value through `wine reg query`, or None. REG_BINARY data
        comes back as bytes, REG_DWORD as int, anything else as text."""
        out = run(["wine", "reg", "query", key, "/v", value], env=self.env, timeout=60).stdout
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0].lower() == value.lower():
                kind = parts[1]
                data = parts[2] if len(parts) > 2 else ""
                if kind == "REG_BINARY":
                    return kind, bytes.fromhex(data.strip())
                if kind == "REG_DWORD":
                    return kind, int(data, 16)
                return kind, data
        return None

    def reg_delete_key(self, key):
        run(["wine", "reg", "delete", key, "/f"], env=self.env, timeout=60)


def drive_letters(env):
    folder = Path(env["WINEPREFIX"]) / "dosdevices"
    try:
        return {p.name.lower() for p in folder.iterdir() if re.fullmatch(r"[a-z]:", p.name)}
    except OSError:
        return set()


@pytest.fixture
def player(request, wine_env, display, shots_dir):
    """A Player for one test. Afterwards the player is closed (killed if it does not close) and
    the test fails when a mount, a drive letter or a player process stays behind."""
    mounts_before = fuse_mounts()
    letters_before = drive_letters(wine_env)
    p = Player(wine_env, display, shots_dir, request.node.name)
    yield p
    if p.running():
        p.close()
    p.kill()
    # Whatever the test left (a message box of a dying player, a hung tool) goes with the
    # prefix's processes; the next test gets a clean wineserver.
    leftovers_mounts = fuse_mounts() - mounts_before
    leftovers_letters = drive_letters(wine_env) - letters_before
    run(["wineserver", "-k"], env=wine_env, timeout=30)
    run(["wineserver", "-w"], env=wine_env, timeout=30)
    for point in leftovers_mounts:
        run(["fusermount3", "-u", "-z", point], timeout=20)
    for letter in leftovers_letters:
        try:
            (Path(wine_env["WINEPREFIX"]) / "dosdevices" / letter).unlink()
        except OSError:
            pass
    if getattr(request.node, "rep_call_passed", False):
        assert not leftovers_mounts, f"images stay mounted: {sorted(leftovers_mounts)}"
        assert not leftovers_letters, f"drive letters stay defined: {sorted(leftovers_letters)}"


@pytest.hookimpl(hookwrapper=True, tryfirst=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    rep = outcome.get_result()
    if rep.when == "call":
        item.rep_call_passed = rep.passed


@pytest.fixture
def fresh_settings(wine_env):
    """Removes the stored window placement and hand-over values before the test."""
    for key in (SETTINGS_KEY, HANDOVER_KEY):
        run(["wine", "reg", "delete", key, "/f"], env=wine_env, timeout=60)
    yield


# ---------------------------------------------------------------------------------------------
# layout knowledge shared by the tests

def client_area(player):
    """Screen rectangle (x0, y0, x1, y1) of the main window as X sees it (client + menu bar
    under a window manager)."""
    x, y, w, h = player.geometry()
    return x, y, x + w, y + h


def bar_rect(player, bar_height=36):
    """Screen rectangle of the control bar: the bottom rows of the main window."""
    x0, y0, x1, y1 = client_area(player)
    return x0, y1 - bar_height, x1, y1


def video_rect(player, bar_height=36, menu_height=30):
    """Screen rectangle of the video area, between the menu bar and the control bar, a little
    inset so that borders do not count."""
    x0, y0, x1, y1 = client_area(player)
    return x0 + 8, y0 + menu_height, x1 - 8, y1 - bar_height - 4
