#!/usr/bin/env python3
"""Installs the Windows packages into a Wine prefix, runs the installed program and removes it.

Runs inside tests/gui/win32/wine-session.sh (Xvfb + openbox, WINEPREFIX set, a wine server of its
own). Two rounds:

1. The installer, silently: the program and its uninstaller under the 32-bit Program Files, the
   all-users Start-menu entry pointing at it, the uninstall entry with its values. The installed
   program starts: its 1250 x 870 login window appears, it writes its browser-mode values and its
   desktop link. A silent uninstall while it runs changes nothing. Once it has ended, the silent
   uninstall (the entry's own QuietUninstallString) removes all of it; another program's uninstall
   entry, browser-mode values and Start-menu file stay, and so does a file the user put into the
   installation folder.
2. The portable zip: the same program, started from a folder of the user's, makes the desktop link
   its own; installing and removing the installer's copy then leaves that link alone.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
FEATURES = r"HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl"
NEIGHBOUR = "KestruneTestNeighbour"
NEIGHBOUR_EXE = "neighbour.exe"
LOGIN_SIZE = (1250, 870)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def log(message):
    print(message, flush=True)


def run(args, timeout=60, check_status=True):
    result = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    out = result.stdout.decode("utf-8", "replace")
    if check_status and result.returncode != 0:
        raise Failure("%s exited with %d: %s %s" % (args, result.returncode, out,
                                                   result.stderr.decode("utf-8", "replace")))
    return result.returncode, out


def wait_until(what, probe, timeout):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.25)


class Prefix:
    """The Wine prefix of the session: its paths, its registry (the 32-bit view, as the installer
    sees it) and the probe program."""

    def __init__(self, probe):
        self.root = os.environ["WINEPREFIX"]
        self.probe = probe

    def unix(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        check(drive.upper() == "C", "path outside drive C: " + windows_path)
        parts = [p for p in rest.split("\\") if p]
        return os.path.join(self.root, "drive_c", *parts)

    def query(self, key, name=None):
        """The values of a key as {name: (type, data)}, or None when the key does not exist."""
        args = ["wine", "reg", "query", key, "/reg:32"]
        if name is not None:
            args[4:4] = ["/v", name]
        status, out = run(args, check_status=False)
        if status != 0:
            return None
        values = {}
        for line in out.splitlines():
            m = re.match(r"^    (.+?)    (REG_[A-Z_]+)(?:    (.*))?$", line.rstrip("\r"))
            if m:
                values[m.group(1)] = (m.group(2), m.group(3) or "")
        return values

    def add(self, key, name, kind, data):
        run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f", "/reg:32"])

    def delete_key(self, key):
        run(["wine", "reg", "delete", key, "/f", "/reg:32"], check_status=False)

    def delete_value(self, key, name):
        run(["wine", "reg", "delete", key, "/v", name, "/f", "/reg:32"], check_status=False)

    def probe_line(self, *args):
        _, out = run(["wine", self.probe] + list(args), check_status=False)
        return out.strip()

    def desktop(self):
        out = self.probe_line("desktop")
        check(out.startswith("desktop "), "no desktop folder: " + out)
        return out[len("desktop "):]

    def link_target(self, windows_path):
        out = self.probe_line("link", windows_path)
        return out[len("target "):] if out.startswith("target ") else None

    def browser_values(self, exe_name):
        """The program's two browser-mode values as read through the API, e.g. {'emulation': '8000'}."""
        out = self.probe_line("registry", exe_name)
        values = {}
        for line in out.splitlines():
            label, _, rest = line.partition(" ")
            m = re.search(r"value=(\d+)", rest)
            values[label] = m.group(1) if m else None
        return values


def same_path(a, b):
    return a is not None and b is not None and a.rstrip("\\").lower() == b.rstrip("\\").lower()


def program_files_32(prefix):
    """The 32-bit Program Files folder: "Program Files (x86)" on a 64-bit system."""
    if os.path.isdir(os.path.join(prefix.root, "drive_c", "Program Files (x86)")):
        return r"C:\Program Files (x86)"
    return r"C:\Program Files"


def login_windows():
    """Geometry of every visible X window of kestrune.exe: a list of (id, width, height)."""
    status, out = run(["xdotool", "search", "--onlyvisible", "--class", r"^kestrune\.exe$"], check_status=False)
    found = []
    for window in out.split() if status == 0 else []:
        s, geometry = run(["xdotool", "getwindowgeometry", "--shell", window], check_status=False)
        fields = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
        if s == 0 and "WIDTH" in fields:
            found.append((window, int(fields["WIDTH"]), int(fields["HEIGHT"])))
    return found


def nsis_uninstallers_running(prefix):
    """The uninstaller copies itself into a temporary folder (~nsu*.tmp) and runs from there, so
    the command that starts it returns at once; this finds those copies in this prefix."""
    running = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read().decode("utf-8", "replace")
            with open("/proc/%s/environ" % pid, "rb") as f:
                environ = f.read().decode("utf-8", "replace").split("\0")
        except OSError:
            continue
        if "~nsu" in cmdline and ("WINEPREFIX=" + prefix.root) in environ:
            running.append(pid)
    return running


def run_quiet_uninstall(prefix, command):
    m = re.match(r'^"([^"]+)"\s+(.*)$', command)
    check(m is not None, "QuietUninstallString is not a quoted program with arguments: " + command)
    run(["wine", m.group(1)] + m.group(2).split(), timeout=60)
    time.sleep(0.5)
    wait_until("the uninstaller to end", lambda: not nsis_uninstallers_running(prefix), 60)


class Program:
    """One run of a kestrune.exe, until its login window has appeared and it has prepared the
    machine (its browser-mode values and its desktop link)."""

    def __init__(self, prefix, exe, desktop_link):
        self.prefix = prefix
        self.exe = exe
        self.link = desktop_link
        self.process = subprocess.Popen(["wine", exe], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait_ready(self):
        windows = wait_until("the login window of " + self.exe,
                             lambda: [w for w in login_windows() if (w[1], w[2]) == LOGIN_SIZE], 90)
        check(len(windows) == 1, "expected one login window, found %s" % windows)
        check(self.process.poll() is None, "the program ended by itself")
        target = wait_until("the desktop link to point at " + self.exe,
                            lambda: self.prefix.link_target(self.link) if os.path.exists(self.prefix.unix(self.link)) else None, 30)
        check(same_path(target, self.exe), "the desktop link points at %s, not %s" % (target, self.exe))
        values = self.prefix.browser_values("kestrune.exe")
        check(values == {"emulation": "8000", "gpu": "8000"}, "browser-mode values after start: %s" % values)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)
        wait_until("the login window to go", lambda: not login_windows(), 20)


def assert_installed(prefix, args, install_dir, start_link):
    exe = install_dir + r"\kestrune.exe"
    uninstaller = install_dir + r"\uninstall.exe"
    check(os.path.isfile(prefix.unix(exe)), "no " + exe)
    check(os.path.isfile(prefix.unix(uninstaller)), "no " + uninstaller)
    with zipfile.ZipFile(args.zip) as z, open(prefix.unix(exe), "rb") as f:
        check(z.namelist() == ["kestrune.exe"], "the zip holds %s" % z.namelist())
        check(z.read("kestrune.exe") == f.read(), "the installed program differs from the zip's")

    check(os.path.isfile(prefix.unix(start_link)), "no Start-menu entry " + start_link)
    target = prefix.link_target(start_link)
    check(same_path(target, exe), "the Start-menu entry points at %s" % target)

    entry = prefix.query(UNINSTALL + r"\Kestrune")
    check(entry is not None, "no uninstall entry")
    expected = {
        "DisplayName": ("REG_SZ", "Kestrune"),
        "DisplayVersion": ("REG_SZ", args.version),
        "DisplayIcon": ("REG_SZ", exe + ",0"),
        "InstallLocation": ("REG_SZ", install_dir),
        "UninstallString": ("REG_SZ", '"%s"' % uninstaller),
        "QuietUninstallString": ("REG_SZ", '"%s" /S' % uninstaller),
    }
    for name, value in expected.items():
        check(entry.get(name) == value, "uninstall entry %s is %s, not %s" % (name, entry.get(name), value))
    check(entry.get("Publisher", ("", ""))[1].strip() != "", "uninstall entry without a publisher")
    return entry


def assert_removed(prefix, install_dir, start_link):
    check(not os.path.exists(prefix.unix(install_dir + r"\kestrune.exe")), "kestrune.exe is left")
    check(not os.path.exists(prefix.unix(install_dir + r"\uninstall.exe")), "uninstall.exe is left")
    check(not os.path.exists(prefix.unix(start_link)), "the Start-menu entry is left")
    check(prefix.query(UNINSTALL + r"\Kestrune") is None, "the uninstall entry is left")
    values = prefix.browser_values("kestrune.exe")
    check(values == {"emulation": None, "gpu": None}, "browser-mode values left: %s" % values)


def plant_neighbours(prefix, start_menu):
    """What other programs have: their own uninstall entry, their browser-mode values beside the
    launcher's, their own Start-menu file."""
    prefix.add(UNINSTALL + "\\" + NEIGHBOUR, "DisplayName", "REG_SZ", "Neighbour")
    prefix.add(FEATURES + r"\FEATURE_BROWSER_EMULATION", NEIGHBOUR_EXE, "REG_DWORD", "11001")
    prefix.add(FEATURES + r"\FEATURE_GPU_RENDERING", NEIGHBOUR_EXE, "REG_DWORD", "1")
    with open(os.path.join(prefix.unix(start_menu), "Neighbour.txt"), "w") as f:
        f.write("another program's file\n")


def assert_neighbours(prefix, start_menu):
    check(prefix.query(UNINSTALL + "\\" + NEIGHBOUR) == {"DisplayName": ("REG_SZ", "Neighbour")},
          "another program's uninstall entry changed")
    for feature, value in (("FEATURE_BROWSER_EMULATION", "0x2af9"), ("FEATURE_GPU_RENDERING", "0x1")):
        found = prefix.query(FEATURES + "\\" + feature, NEIGHBOUR_EXE)
        check(found == {NEIGHBOUR_EXE: ("REG_DWORD", value)}, "another program's %s value: %s" % (feature, found))
    check(os.path.isfile(os.path.join(prefix.unix(start_menu), "Neighbour.txt")), "another program's Start-menu file is gone")


def clean(prefix, install_dir, start_menu, desktop, portable_dir):
    """Leaves the shared prefix as it was, also after a failed run."""
    prefix.delete_key(UNINSTALL + r"\Kestrune")
    prefix.delete_key(UNINSTALL + "\\" + NEIGHBOUR)
    for feature in ("FEATURE_BROWSER_EMULATION", "FEATURE_GPU_RENDERING"):
        prefix.delete_value(FEATURES + "\\" + feature, NEIGHBOUR_EXE)
        prefix.delete_value(FEATURES + "\\" + feature, "kestrune.exe")
    for path in (start_menu + r"\Kestrune.lnk", start_menu + r"\Neighbour.txt", desktop + r"\Kestrune.lnk"):
        if os.path.exists(prefix.unix(path)):
            os.remove(prefix.unix(path))
    for folder in (install_dir, portable_dir):
        unix = prefix.unix(folder)
        if os.path.isdir(unix):
            for name in os.listdir(unix):
                os.remove(os.path.join(unix, name))
            os.rmdir(unix)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--installer", required=True)
    parser.add_argument("--zip", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--probe", required=True)
    args = parser.parse_args()

    prefix = Prefix(args.probe)
    install_dir = program_files_32(prefix) + r"\Kestrune"
    start_menu = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
    start_link = start_menu + r"\Kestrune.lnk"
    desktop = prefix.desktop()
    desktop_link = desktop + r"\Kestrune.lnk"
    portable_dir = desktop.rsplit("\\", 1)[0] + r"\Downloads\Kestrune portable"
    clean(prefix, install_dir, start_menu, desktop, portable_dir)
    # The uninstaller runs from a copy in the user's temporary folder and leaves that folder behind
    # (Windows clears it in its own time); the test takes away the ones it caused.
    temp = os.path.join(os.path.dirname(prefix.unix(desktop)), "Temp")
    temp_before = set(os.listdir(temp)) if os.path.isdir(temp) else set()
    # With this file on the desktop the program makes no link of its own (another test leaves one).
    no_link_marker = prefix.unix(desktop + "\\我的快捷方式.lnk")
    set_aside = no_link_marker + ".set-aside"
    if os.path.exists(no_link_marker):
        os.replace(no_link_marker, set_aside)
    try:
        plant_neighbours(prefix, start_menu)

        log("round 1: silent install")
        run(["wine", args.installer, "/S"], timeout=120)
        entry = assert_installed(prefix, args, install_dir, start_link)

        log("round 1: the installed program starts")
        program = Program(prefix, install_dir + r"\kestrune.exe", desktop_link)
        try:
            program.wait_ready()
            log("round 1: a silent uninstall while it runs leaves everything")
            run_quiet_uninstall(prefix, entry["QuietUninstallString"][1])
            check(program.process.poll() is None, "the uninstaller ended the running program")
            assert_installed(prefix, args, install_dir, start_link)
            check(os.path.exists(prefix.unix(desktop_link)), "the desktop link went while the program ran")
            check(prefix.browser_values("kestrune.exe") == {"emulation": "8000", "gpu": "8000"},
                  "the browser-mode values went while the program ran")
        finally:
            program.stop()

        log("round 1: silent uninstall")
        notes = prefix.unix(install_dir + r"\player notes.txt")
        with open(notes, "w") as f:
            f.write("the user's own file\n")
        run_quiet_uninstall(prefix, entry["QuietUninstallString"][1])
        assert_removed(prefix, install_dir, start_link)
        check(not os.path.exists(prefix.unix(desktop_link)), "the program's desktop link is left")
        check(os.path.isfile(notes), "the user's file in the installation folder was removed")
        check(sorted(os.listdir(prefix.unix(install_dir))) == ["player notes.txt"],
              "the installation folder holds %s" % os.listdir(prefix.unix(install_dir)))
        assert_neighbours(prefix, start_menu)
        os.remove(notes)

        log("round 2: the portable program makes the desktop link its own")
        os.makedirs(prefix.unix(portable_dir))
        with zipfile.ZipFile(args.zip) as z:
            z.extractall(prefix.unix(portable_dir))
        run(["wine", args.installer, "/S"], timeout=120)
        entry = assert_installed(prefix, args, install_dir, start_link)
        program = Program(prefix, portable_dir + r"\kestrune.exe", desktop_link)
        try:
            program.wait_ready()
        finally:
            program.stop()
        run_quiet_uninstall(prefix, entry["QuietUninstallString"][1])
        assert_removed(prefix, install_dir, start_link)
        check(not os.path.exists(prefix.unix(install_dir)), "the empty installation folder is left")
        check(same_path(prefix.link_target(desktop_link), portable_dir + r"\kestrune.exe"),
              "the portable copy's desktop link was removed or changed")
        assert_neighbours(prefix, start_menu)
    finally:
        clean(prefix, install_dir, start_menu, desktop, portable_dir)
        if os.path.exists(set_aside):
            os.replace(set_aside, no_link_marker)
        for name in (set(os.listdir(temp)) if os.path.isdir(temp) else set()) - temp_before:
            if name.startswith("~nsu"):
                shutil.rmtree(os.path.join(temp, name), ignore_errors=True)
    log("installer test passed")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAIL: %s" % e, file=sys.stderr, flush=True)
        sys.exit(1)
