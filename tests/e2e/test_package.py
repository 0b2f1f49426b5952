"""Installed like any desktop program (packaging/): the Debian package installed, opened on a
DVD image through xdg-open as a fresh user and removed without a trace; the Windows installer
run and uninstalled silently under Wine; the `velloran` command and the desktop entry alone.
xdg-open works as at a desktop without an environment of its own: `file --mime-type` names the
type, the MIME cache that desktop-file-utils' dpkg trigger rebuilds names the program."""

import fcntl
import os
import re
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import REPO, Player, run, video_rect

PACKAGING = REPO / "packaging"
DESKTOP = PACKAGING / "velloran.desktop"
DISC_CAPTION = r"^Velloran - [K-Z]:\\ - .+"
# Installing needs root; sudo without a password otherwise.
APT = [*([] if os.geteuid() == 0 else ["sudo", "-n"]), "apt-get", "-y", "-q",
       "-o", "DPkg::Lock::Timeout=300"]
APT_ENV = dict(os.environ, DEBIAN_FRONTEND="noninteractive")


def media_extensions():
    return run(["bash", str(PACKAGING / "media-extensions.sh")], check=True).stdout.split()


def test_the_desktop_entry_offers_velloran_for_images_disc_folders_and_known_media_types():
    check = run(["desktop-file-validate", str(DESKTOP)])
    assert check.returncode == 0 and not check.stdout.strip(), check.stdout
    line = next(l for l in DESKTOP.read_text().splitlines() if l.startswith("MimeType="))
    types = set(line[len("MimeType="):].split(";"))
    assert {"application/x-cd-image", "application/x-iso9660-image", "application/x-cue",
            "x-content/video-dvd", "x-content/video-bluray"} <= types
    # Each extension of the player's lists that shared-mime-info knows: one of its types.
    globs = re.findall(r"^\d+:([^:]+):\*(\.[a-z0-9]+)$", Path("/usr/share/mime/globs2").read_text(),
                       re.M)
    extensions = media_extensions()
    assert {".iso", ".mkv", ".mp3", ".tod", ".f4v"} <= set(extensions)
    assert not {e for t, e in globs if e in extensions} - {e for t, e in globs if t in types}


# Stands in for wine and wineserver: one line per call, "name|DISPLAY|WINEPREFIX|args...|".
FAKE_WINE = """#!/bin/sh
printf '%s|' "${0##*/}" "${DISPLAY-}" "$WINEPREFIX" "$@" >> "$FAKE_LOG"; echo >> "$FAKE_LOG"
[ "${1-}" = wineboot ] && mkdir -p "$WINEPREFIX"; exit 0
"""


def test_the_windows_installer_says_what_libvlc_dir_lacks(tmp_path):
    make = ["make", "-s", "--no-print-directory", "-C", str(REPO), "windows-installer"]
    result = run(make, timeout=60)
    assert result.returncode and "LIBVLC_DIR is not set" in result.stderr
    (tmp_path / "libvlc.dll").write_bytes(b"MZ")  # no libvlccore.dll, no plugins
    result = run([*make, f"LIBVLC_DIR={tmp_path}"], timeout=60)
    assert result.returncode and re.search(r"libvlccore\.dll\n.*plugins", result.stderr)
    assert "    libvlc.dll" not in result.stderr


# ---------------------------------------------------------------------------------------------
# the Debian package

def known_to_dpkg(name):
    return bool(run(["dpkg-query", "-W", "-f=${db:Status-Abbrev}", name]).stdout.strip())


# What installing and removing may touch, and the caches the dpkg triggers rebuild there.
PLACES = ("/usr/share/applications", "/usr/share/icons/hicolor", "/usr/lib/velloran",
          "/usr/bin/velloran")
CACHES = ("/usr/share/applications/mimeinfo.cache", "/usr/share/icons/hicolor/icon-theme.cache")


def machine_paths():
    paths = {p for p in PLACES if os.path.lexists(p)}
    for place in PLACES:
        for folder, dirs, files in os.walk(place):
            paths.update(os.path.join(folder, n) for n in dirs + files)
    return paths


def caches_naming_velloran():
    return [c for c in CACHES if os.path.exists(c) and b"velloran" in Path(c).read_bytes()]


def start(env, display, shots_dir, name, cmd):
    player = Player(env, display, shots_dir, name)
    player.proc = subprocess.Popen(cmd, env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
    return player


def test_the_debian_package_installs_opens_a_disc_image_through_xdg_open_and_goes_without_a_trace(
        tmp_path, display, wine_env, media, shots_dir):
    # One installation at a time on this machine, whichever checkout runs the test.
    lock = open("/tmp/velloran-package-test.lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    if known_to_dpkg("velloran"):
        pytest.fail("dpkg already knows a velloran package here; the test installs and removes "
                    "only its own", pytrace=False)
    deb = run(["bash", str(PACKAGING / "build-deb.sh"), str(tmp_path)], timeout=300,
              check=True).stdout.split()[-1]
    # Wine, libVLC's plugins, the FUSE helper and the libraries the player and the image server
    # link (ldd, dpkg -S): no more.
    depends = run(["dpkg-deb", "-f", deb, "Depends"], check=True).stdout
    assert {re.split(r"[\s(]", d.strip())[0] for d in depends.split(",")} == {
        "wine", "wine64", "vlc-plugin-base", "fuse3", "libvlc5", "libvlccore9", "libswscale6",
        "libavutil57", "libfuse3-3", "libudfread0", "libiso9660-11", "libcdio19", "libc6",
        "libstdc++6", "libgcc-s1"}

    home = tmp_path / "home"
    # The sound device the other tests give the player (a desktop has one).
    env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": str(home), "DISPLAY": display,
           "LANG": os.environ.get("LANG", "C.UTF-8"),
           "ALSA_CONFIG_PATH": wine_env["ALSA_CONFIG_PATH"]}
    paths_before = machine_paths()
    assert not caches_naming_velloran()
    players, brought = [], set()
    try:
        result = run([*APT, "install", "--no-install-recommends", deb], env=APT_ENV,
                     timeout=900)
        assert result.returncode == 0, result.stdout + result.stderr
        new = re.search(r"^The following NEW packages will be installed:\n((?:\s.*\n)+)",
                        result.stdout, re.M)
        brought = set(new.group(1).split()) - {"velloran"}
        files = run(["dpkg", "-L", "velloran"], check=True).stdout.split()

        # A file as a file manager shows it, in a folder whose name has a blank.
        (home / "My Films").mkdir(parents=True)
        image = home / "My Films" / "film.iso"
        image.symlink_to(media / "dvd.iso")
        kind = run(["xdg-mime", "query", "filetype", str(image)], env=env).stdout.strip()
        assert re.search(rf"^{re.escape(kind)}=.*\bvelloran\.desktop",
                         Path(CACHES[0]).read_text(), re.M), kind
        assert len(caches_naming_velloran()) == len([c for c in CACHES if os.path.exists(c)])
        if run(["xdg-mime", "query", "default", kind], env=env).stdout.strip() != \
                "velloran.desktop":
            # Another program of this machine comes first for the type: the user picks
            # Velloran as default, as in a desktop's "Open With" dialog.
            run(["xdg-mime", "default", "velloran.desktop", kind], env=env, check=True)

        player = start(env, display, shots_dir, "package-xdg-open", ["xdg-open", str(image)])
        players.append(player)
        player.wait_window(timeout=180)  # the first start makes the prefix first
        assert player.wait_caption(DISC_CAPTION, 60), player.caption()
        assert (home / ".local/share/velloran/wine/drive_c").is_dir()
        time.sleep(1.5)
        assert player.shot("dvd").saturated_fraction(video_rect(player)) > 0.2
        assert player.close() == 0

        # Without a file, as the menu starts it: the idle window.
        idle = start(env, display, shots_dir, "package-idle", ["velloran"])
        players.append(idle)
        idle.wait_window(timeout=60)
        assert idle.wait_caption(r"^Velloran$"), idle.caption()
        assert idle.close() == 0
    finally:
        for p in players:
            p.kill()
        run(["wineserver", "-k"], env=dict(env, WINEPREFIX=f"{home}/.local/share/velloran/wine"),
            timeout=30)
        with open("/proc/mounts") as mounts:
            for point in [l.split()[1] for l in mounts if f" {home}/" in l]:
                run(["fusermount3", "-u", "-z", point.replace("\\040", " ")], timeout=20)
        removed = run([*APT, "purge", "velloran"], env=APT_ENV, timeout=600)
        # What apt brought in for it goes too (where this machine lacked a dependency).
        if [p for p in brought if known_to_dpkg(p)]:
            run([*APT, "purge", *brought], env=APT_ENV, timeout=600)
        shutil.rmtree(home, ignore_errors=True)
        lock.close()

    assert removed.returncode == 0 and not known_to_dpkg("velloran"), removed.stderr
    assert not [p for p in brought if known_to_dpkg(p)]
    assert not [f for f in files if os.path.lexists(f) and not os.path.isdir(f)]
    paths = machine_paths()
    assert paths == paths_before, sorted(paths ^ paths_before)
    assert not caches_naming_velloran()


# ---------------------------------------------------------------------------------------------
# the Windows installer

def read_registry(path):
    """A Wine registry file as {key: {value name ("@" the default): raw data}}, lower case."""
    keys, current = {}, {}
    for line in path.read_text(errors="replace").replace("\\\n", "").splitlines():
        if line.startswith("["):
            current = keys.setdefault(line[1:line.rindex("]")].replace("\\\\", "\\").lower(), {})
        elif m := re.match(r'(@|"((?:[^"\\]|\\.)*)")=(.*)', line):
            current[(m.group(2) or "@").replace("\\\\", "\\").lower()] = m.group(3)
    return keys


def naming_velloran(keys):
    return {(k, n, d) for k, values in keys.items() for n, d in {"": "", **values}.items()
            if "velloran" in f"{k}|{n}|{d}".lower()}


def test_the_windows_installer_installs_and_uninstalls_silently_under_wine(wine_env, tmp_path):
    libvlc = tmp_path / "vlc"  # a stand-in for VLC for Windows: what the installer carries
    for name in ("libvlc.dll", "libvlccore.dll", "plugins/access/libfilesystem_plugin.dll"):
        (libvlc / name).parent.mkdir(parents=True, exist_ok=True)
        (libvlc / name).write_bytes(b"MZ " + name.encode())
    built = run(["bash", str(PACKAGING / "build-windows-installer.sh"), str(libvlc),
                 str(tmp_path)], timeout=300)
    assert built.returncode == 0, built.stderr
    prefix = Path(wine_env["WINEPREFIX"])
    install_dir = prefix / "drive_c/Program Files/Velloran"
    link = prefix / "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velloran.lnk"
    temp = next(prefix.glob("drive_c/users/*/Temp"))
    settle = lambda: run(["wineserver", "-w"], env=wine_env, timeout=180)  # registry on disk
    settle()
    system_before = read_registry(prefix / "system.reg")
    user_before = naming_velloran(read_registry(prefix / "user.reg"))
    temp_before = set(temp.iterdir())
    try:
        assert run(["wine", built.stdout.split()[-1], "/S"], env=wine_env,
                   timeout=120).returncode == 0
        settle()
        assert {str(p.relative_to(install_dir)) for p in install_dir.rglob("*") if p.is_file()} \
            == {"velloran.exe", "Tavrin.dll", "brellix.dll", "cdemu/batchmnt.exe", "libvlc.dll",
                "libvlccore.dll", "plugins/access/libfilesystem_plugin.dll", "uninstall.exe"}
        assert "C:\\Program Files\\Velloran\\velloran.exe".encode("utf-16-le") in link.read_bytes()
        keys = read_registry(prefix / "system.reg")
        classes = "software\\classes\\"
        assert keys[classes + "velloran.discimage\\shell\\open\\command"]["@"] == \
            r'"\"C:\\Program Files\\Velloran\\velloran.exe\" \"%1\""'
        for ext in media_extensions():
            progid = "velloran.discimage" if ext in (".iso", ".img", ".cue") else "velloran.media"
            assert progid in keys.get(f"{classes}{ext}\\openwithprogids", {}), ext
            assert ext in keys[classes + "applications\\velloran.exe\\supportedtypes"], ext
        assert "velloran" in keys["software\\registeredapplications"]
        assert keys["software\\microsoft\\windows\\currentversion\\uninstall\\velloran"][
            "quietuninstallstring"] == r'"\"C:\\Program Files\\Velloran\\uninstall.exe\" /S"'

        # The uninstaller hands over to a copy of itself and returns; settle waits for it.
        assert run(["wine", str(install_dir / "uninstall.exe"), "/S"], env=wine_env,
                   timeout=120).returncode == 0
        settle()
        assert not install_dir.exists() and not link.exists()
        system_after = read_registry(prefix / "system.reg")
        assert naming_velloran(system_after) == naming_velloran(system_before)
        assert naming_velloran(read_registry(prefix / "user.reg")) == user_before
        # The file types' keys as they were: what was there stays, what was made goes.
        assert {k: v for k, v in system_after.items() if k.startswith(classes)} == \
            {k: v for k, v in system_before.items() if k.startswith(classes)}
        # Like every NSIS uninstaller it ran from a copy in the temporary folder, which it left
        # to be deleted at the next start of Windows; nothing else is new there.
        pending = system_after["system\\currentcontrolset\\control\\session manager"].get(
            "pendingfilerenameoperations", "")
        for p in set(temp.iterdir()) - temp_before:
            assert re.fullmatch(r"~nsu\d*\.tmp", p.name) and p.name in pending, p
    finally:  # the session's prefix goes on serving the other tests
        if (install_dir / "uninstall.exe").exists():
            run(["wine", str(install_dir / "uninstall.exe"), "/S"], env=wine_env, timeout=120)
            settle()
        shutil.rmtree(install_dir, ignore_errors=True)
        link.unlink(missing_ok=True)
        for p in set(temp.iterdir()) - temp_before:
            shutil.rmtree(p, ignore_errors=True)
