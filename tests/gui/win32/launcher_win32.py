#!/usr/bin/env python3
"""Tests of kestrune.exe under Wine in a real X session (run through tests/gui/win32/wine-session.sh).

Each test starts the launcher afresh in the session's Wine prefix, drives it with real input through
XTEST (xdotool) and checks what the X server shows (screenshots, window geometry and state) and what
Windows itself holds of it, read back by the probe program (windows, registry values, shortcuts).
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import xsession  # noqa: E402
from xsession import geometry, net_wm_state, pixel, run, screen_size, screenshot, xdotool  # noqa: E402,F401

ARGS = None
ROOT_COLOUR = (0x12, 0xAB, 0x34)
BEHIND_COLOUR = (0x20, 0x60, 0xA0)  # the probe's window behind the launcher
LOGIN_W, LOGIN_H = 1250, 870
WS_CAPTION, WS_POPUP, WS_THICKFRAME = 0x00C00000, 0x80000000, 0x00040000
REG_DWORD = 4
FEATURE_KEY = r"HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl"


def wine(*args, check=True):
    """Runs a Windows program to its end and returns its output. The output goes through a file, not a
    pipe: a Wine service started on the way inherits the pipe and would hold it open long after."""
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine", *map(str, args)], check=check, stdout=out, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, timeout=60)
        out.seek(0)
        return out.read().decode("utf-8", "replace")


def probe(*args):
    return wine(ARGS.probe, *args)


def pointer_window(x, y):
    # Wine needs a little longer than the X server alone to follow the pointer.
    return xsession.window_under(x, y, settle=0.15)


def wait_for(predicate, timeout, what):
    # Each look may start a Windows program (the probe): a slower pace than the Linux tests'.
    return xsession.wait_for(predicate, timeout, what, interval=0.1)


def root_window():
    return int(run("xwininfo", "-root").split("Window id:")[1].split()[0], 16)


def windows_report():
    """The launcher's top-level windows as Windows sees them: one dict per window."""
    windows = []
    for line in probe("windows").splitlines():
        if line.startswith("window "):
            windows.append({k: v for k, v in (f.split("=", 1) for f in line.split()[1:])})
    return windows


def utf16_hex(text):
    return "".join("%04X" % ord(c) for c in text) or "-"


def unix_path(windows_path):
    return run("winepath", "-u", windows_path).strip()


class LauncherTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        run("xsetroot", "-solid", "#%02x%02x%02x" % ROOT_COLOUR)
        cls.exe = os.path.realpath(ARGS.launcher)
        cls.exe_name = os.path.basename(cls.exe)
        desktop = re.search(r"^desktop (.+)$", probe("desktop"), re.M).group(1).strip()
        cls.desktop = unix_path(desktop)
        os.makedirs(cls.desktop, exist_ok=True)

    def setUp(self):
        # A machine the launcher has not prepared yet.
        wine("reg", "delete", FEATURE_KEY, "/f", check=False)
        for name in os.listdir(self.desktop):
            if name.endswith(".lnk"):
                os.remove(os.path.join(self.desktop, name))
        self.behind = None
        self.proc = None

    def tearDown(self):
        for proc in (self.proc, self.behind):
            if proc is not None and proc.poll() is None:
                proc.kill()
                proc.wait()
        if self.behind is not None and self.behind.stdout is not None:
            self.behind.stdout.close()

    def start(self):
        # Started from another directory: the launcher makes its own its current directory.
        self.proc = subprocess.Popen(["wine", self.exe], cwd="/", stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.login = wait_for(self.find_login, 30, "the login window")
        self.xlogin = wait_for(self.find_xlogin, 10, "the login window on the X server")
        time.sleep(0.5)

    def find_login(self):
        for w in windows_report():
            if w["visible"] == "1" and (w["w"], w["h"]) == (str(LOGIN_W), str(LOGIN_H)):
                return w
        return None

    def find_xlogin(self):
        out = xdotool("search", "--onlyvisible", "--classname", self.exe_name, check=False)
        for wid in (int(w) for w in out.split()):
            if geometry(wid)[2:] == (LOGIN_W, LOGIN_H):
                return wid
        return None

    def frame_of_login(self):
        """The login window's X window and its ancestors below the root (the window manager's frame)."""
        chain, wid, root = [], self.xlogin, root_window()
        while wid and wid != root:
            chain.append(wid)
            m = re.search(r"Parent window id: (0x[0-9a-f]+)", run("xwininfo", "-tree", "-id", str(wid)))
            wid = int(m.group(1), 16) if m else 0
        return chain

    def origin(self):
        return geometry(self.xlogin)[:2]

    def start_behind(self, x, y, w, h):
        """A window of another program behind the launcher that prints every left press it gets."""
        self.behind = subprocess.Popen(["wine", ARGS.probe, "catch", *map(str, (x, y, w, h))], stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, text=True)
        self.presses = []
        ready = threading.Event()

        def read():
            for line in self.behind.stdout:
                if line.startswith("ready"):
                    ready.set()
                elif line.startswith("press"):
                    self.presses.append(tuple(int(v) for v in line.split()[1:]))
        threading.Thread(target=read, daemon=True).start()
        self.assertTrue(ready.wait(30), "the window behind did not come up")
        time.sleep(0.5)

    def click(self, x, y, button=1):
        xdotool("mousemove", x, y)
        time.sleep(0.1)
        xdotool("click", button)
        time.sleep(0.3)

    def bare_skin_point(self, shot):
        """A point of the login window's skin that no control covers (neither the root nor the window
        behind shows there)."""
        ox, oy = self.origin()
        for y in range(500, 560, 4):
            for x in range(300, 440, 4):
                if pixel(shot, ox + x, oy + y) not in (ROOT_COLOUR, BEHIND_COLOUR):
                    return ox + x, oy + y
        self.fail("no opaque skin left of the login frame")

    def test_login_window_opens_centred_and_shaped_without_a_title_bar_and_prepares_the_machine(self):
        self.start()
        sw, sh = screen_size()
        centred = ((sw - LOGIN_W) // 2, (sh - LOGIN_H) // 2)
        self.assertEqual((int(self.login["x"]), int(self.login["y"])), centred)
        self.assertEqual(geometry(self.xlogin), centred + (LOGIN_W, LOGIN_H))
        style = int(self.login["style"], 16)
        self.assertTrue(style & WS_POPUP)
        self.assertFalse(style & WS_CAPTION)
        self.assertFalse(style & WS_THICKFRAME)
        # Exactly a visible pop-up that clips its children and siblings: no boxes, no system menu.
        self.assertEqual(style & 0xFFFF0000, 0x96000000)
        self.assertEqual((self.login["cw"], self.login["ch"]), (str(LOGIN_W), str(LOGIN_H)))
        self.assertEqual(self.login["region"], "3")  # a complex window region: the skin's outline
        self.assertEqual(self.login["owner"], "0")   # its own taskbar button
        extents = run("xprop", "-id", str(self.xlogin), "_NET_FRAME_EXTENTS", check=False)
        self.assertRegex(extents, r"= 0, 0, 0, 0|not found")
        self.assertNotIn("SKIP_TASKBAR", net_wm_state(self.xlogin))

        x, y = centred
        shot = screenshot()
        # The shape box's black strip above the login page.
        for dx in (20, 300, 560):
            self.assertEqual(pixel(shot, x + 456 + dx, y + 364), (0, 0, 0))
        # A corner is cut away: the root shows through and takes the pointer; the skin is the window's.
        self.assertEqual(pixel(shot, x + 2, y + 2), ROOT_COLOUR)
        self.assertEqual(pixel(shot, x + LOGIN_W - 3, y + LOGIN_H - 3), ROOT_COLOUR)
        self.assertEqual(pointer_window(x + 2, y + 2), root_window())
        self.assertIn(pointer_window(*self.bare_skin_point(shot)), self.frame_of_login())

        # Both browser-mode values, named after the executable, with 8000.
        values = probe("registry", self.exe_name)
        self.assertIn("emulation type=%d size=4 value=8000" % REG_DWORD, values)
        self.assertIn("gpu type=%d size=4 value=8000" % REG_DWORD, values)
        # The desktop shortcut points at the executable, read back through the shell.
        link = os.path.join(self.desktop, "Kestrune.lnk")
        self.assertTrue(os.path.isfile(link))
        target = re.search(r"^target (.+)$", probe("link", run("winepath", "-w", link).strip()), re.M)
        self.assertIsNotNone(target)
        self.assertEqual(os.path.realpath(unix_path(target.group(1).strip())), self.exe)

    def test_a_click_in_a_hole_reaches_the_window_behind_and_one_in_the_shape_the_login_window(self):
        sw, sh = screen_size()
        x, y = (sw - LOGIN_W) // 2, (sh - LOGIN_H) // 2
        self.start_behind(x, y, LOGIN_W, LOGIN_H)
        self.start()
        # In the shape first: the window behind gets nothing (a click there would raise it).
        skin = self.bare_skin_point(screenshot())
        self.assertIn(pointer_window(*skin), self.frame_of_login())
        self.click(*skin)
        time.sleep(0.5)
        self.assertEqual(self.presses, [])
        self.assertEqual(self.origin(), (x, y))  # a click without a drag moves nothing
        # A corner hole and the strip beyond the picture (the window is wider than its skin).
        self.click(x + 3, y + 3)
        wait_for(lambda: (x + 3, y + 3) in self.presses, 5, "the press behind the corner hole")
        self.click(x + LOGIN_W - 4, y + 400)
        wait_for(lambda: (x + LOGIN_W - 4, y + 400) in self.presses, 5, "the press behind the right strip")
        self.assertIsNone(self.proc.poll())

    def test_dragging_the_frame_strip_and_the_bare_skin_moves_the_window_by_the_drag(self):
        self.start()

        def strip():
            ox, oy = self.origin()
            return ox + 456 + 200, oy + 361 + 4

        def skin():
            return self.bare_skin_point(screenshot())

        for where in (strip, skin):
            px, py = where()
            before = self.origin()
            xdotool("mousemove", px, py)
            time.sleep(0.1)
            xdotool("mousedown", 1)
            time.sleep(0.3)
            for step in range(1, 11):
                xdotool("mousemove", px + 6 * step, py + 4 * step)
                time.sleep(0.03)
            time.sleep(0.2)
            xdotool("mouseup", 1)
            wait_for(lambda: self.origin() != before, 5, "the window to move")
            time.sleep(0.5)
            after = self.origin()
            self.assertAlmostEqual(after[0] - before[0], 60, delta=3)
            self.assertAlmostEqual(after[1] - before[1], 40, delta=3)
            # Windows sees it where the X server shows it, still unframed.
            login = self.find_login()
            self.assertEqual((int(login["x"]), int(login["y"])), after)
            self.assertFalse(int(login["style"], 16) & WS_CAPTION)

    def test_minimise_button_iconifies_and_restoring_brings_it_back_shaped(self):
        self.start()
        ox, oy = self.origin()
        self.click(ox + 1063 + 12, oy + 335 + 11)
        wait_for(lambda: "HIDDEN" in net_wm_state(self.xlogin), 5, "the window to be iconified")
        iconic = [w for w in windows_report() if w["hwnd"] == self.login["hwnd"]]
        self.assertEqual(iconic[0]["iconic"], "1")
        self.assertIsNone(self.proc.poll())
        xdotool("windowactivate", self.xlogin, check=False)
        wait_for(lambda: "HIDDEN" not in net_wm_state(self.xlogin), 5, "the window to come back")
        time.sleep(0.5)
        restored = self.find_login()
        self.assertIsNotNone(restored)
        self.assertEqual(restored["iconic"], "0")
        self.assertEqual((int(restored["x"]), int(restored["y"])), (ox, oy))
        self.assertEqual(restored["region"], "3")
        self.assertEqual(pixel(screenshot(), ox + 2, oy + 2), ROOT_COLOUR)  # still cut to its outline

    def test_close_button_ends_the_program_with_exit_code_0(self):
        self.start()
        ox, oy = self.origin()
        self.click(ox + 1034 + 11, oy + 312 + 11)
        self.assertEqual(self.proc.wait(20), 0)
        self.assertEqual([w for w in windows_report() if w["visible"] == "1"], [])

    def test_the_executable_carries_its_icon_pointer_manifest_and_version(self):
        report = probe("resources", run("winepath", "-w", self.exe).strip())
        self.assertIn("icon count=1 width=64 height=64 bits=32", report)
        self.assertIn("cursor count=1 width=32 height=32", report)
        manifest = re.search(r"^manifest (.+)$", report, re.M).group(1)
        self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0"\s+'
                                   r'processorArchitecture="x86"')
        self.assertRegex(manifest, r'<assemblyIdentity type="win32" name="[^"]+" version="[^"]+" '
                                   r'processorArchitecture="x86"/>')
        self.assertIn("product Kestrune", report)
        # Without an icon of its own the login window shows the program icon (the X server gets it
        # from Wine as the window's icon property).
        self.start()
        icons = re.findall(r"Icon \((\d+) x (\d+)\)", run("xprop", "-id", str(self.xlogin), "_NET_WM_ICON"))
        self.assertIn(("64", "64"), icons)

    def test_no_shortcut_is_made_when_my_shortcut_is_on_the_desktop(self):
        mine = os.path.join(self.desktop, "我的快捷方式.lnk")
        with open(mine, "wb") as f:
            f.write(b"not really a link")
        self.start()
        time.sleep(0.5)
        self.assertFalse(os.path.exists(os.path.join(self.desktop, "Kestrune.lnk")))
        with open(mine, "rb") as f:
            self.assertEqual(f.read(), b"not really a link")
        # The browser-mode values are written all the same.
        self.assertIn("emulation type=%d size=4 value=8000" % REG_DWORD, probe("registry", self.exe_name))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--probe", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
