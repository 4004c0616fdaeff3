#!/usr/bin/env python3
"""End-to-end tests of the launcher under a real X session (run through tests/gui/with-x-session.sh).

Each test starts the demo login site and a fresh launcher with its own home directory, drives it with
real input through XTEST (xdotool), and checks window properties (xprop, xdotool), screenshots of the
root window and what the pages themselves saw (their beacons to the demo server).
"""
import argparse
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import uuid
from urllib.parse import urlparse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from private_network import enter_private_network  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from xsession import (geometry, net_wm_state, pixel, run, screen_size, screenshot,  # noqa: E402,F401
                      wait_for, window_under, xdotool)

ARGS = None
ROOT_COLOUR = (0x12, 0xAB, 0x34)
LOGIN_W, LOGIN_H = 1250, 870
GAME_GREEN = (0x2E, 0x8B, 0x57)  # the demo game page's background
# How long a test's set-up waits for the login window (shortened to make set-up fail on purpose).
SETUP_WINDOW_TIMEOUT = float(os.environ.get("KESTRUNE_E2E_WINDOW_TIMEOUT", "20"))


def frame_extents(wid):
    out = run("xprop", "-id", str(wid), "_NET_FRAME_EXTENTS", check=False)
    numbers = [int(n) for n in re.findall(r"\d+", out.split("=", 1)[1])] if "=" in out else []
    return tuple(numbers) if len(numbers) == 4 else (0, 0, 0, 0)


def web_content_processes(root):
    """The engine's content processes below the process `root`."""
    parents, names = {}, {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                text = f.read()
        except OSError:
            continue
        name = text[text.find("(") + 1:text.rfind(")")]
        fields = text[text.rfind(")") + 2:].split()
        if fields and fields[0] != "Z":
            parents[int(entry)] = int(fields[1])
            names[int(entry)] = name
    found = []
    for pid, name in names.items():
        if name != "WebKitWebProces":
            continue
        up = pid
        while up in parents and up > 1:
            up = parents[up]
            if up == root:
                found.append(pid)
                break
    return found


# Every process this run started, so that whatever fails (a set-up, an interrupt) none outlives it.
STARTED = []
_MARK = "KESTRUNE_E2E_STARTED"


def start(cmd, env=None, **kwargs):
    """Starts `cmd` in a process group of its own and records it. Its environment carries a mark of
    its own, so that what it starts in turn is found and ended with it, even what leaves its process
    group (a session bus a program starts for itself, the accessibility bus)."""
    env = dict(os.environ if env is None else env)
    env[_MARK] = uuid.uuid4().hex
    proc = subprocess.Popen(cmd, start_new_session=True, env=env, **kwargs)
    proc.mark = env[_MARK]
    STARTED.append(proc)
    return proc


def marked(mark):
    needle = ("%s=%s" % (_MARK, mark)).encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                if needle in f.read().split(b"\0"):
                    found.append(int(entry))
        except OSError:
            continue
    return found


def end(proc):
    """Ends `proc`, everything in its process group and every process it started; waits for `proc`."""
    if proc is None:
        return
    try:
        os.killpg(proc.pid, 9)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        pass
    for pid in marked(proc.mark):
        try:
            os.kill(pid, 9)
        except (ProcessLookupError, PermissionError):
            pass


def end_all():
    for proc in STARTED:
        end(proc)


def login_port():
    return urlparse(ARGS.login_url).port or 80


class DemoServer:
    def __init__(self, port):
        self.proc = start([ARGS.server, "--port", str(port), "--root", ARGS.site], stdout=subprocess.PIPE,
                          text=True)
        # The server says when it listens; one that cannot take its port ends instead.
        first = self.proc.stdout.readline()
        if not first.startswith("serving "):
            end(self.proc)
            raise RuntimeError("the demo server could not listen on port %d (is another program using it?)"
                               % port)
        self.beacons = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            parts = line.split()
            if len(parts) >= 2 and parts[0] == "BEACON":
                self.beacons.put(parts[1])

    def drain(self):
        while True:
            try:
                self.seen.append(self.beacons.get_nowait())
            except queue.Empty:
                return self.seen

    def wait(self, name, timeout=20):
        return wait_for(lambda: name in self.drain(), timeout, "beacon " + name)

    def forget(self):
        self.drain()
        self.seen.clear()

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            end(self.proc)


class LauncherSession(unittest.TestCase):
    """A fresh launcher with its own home for every test, against the demo server of the class."""
    @classmethod
    def setUpClass(cls):
        run("xsetroot", "-solid", "#%02x%02x%02x" % ROOT_COLOUR)
        cls.server = DemoServer(login_port())
        # Called even when a later part of the class's set-up fails.
        cls.addClassCleanup(lambda: cls.server.stop())

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="kestrune-e2e-")
        self.proc = None
        # Clean-ups run when the set-up fails half-way too (tearDown does not).
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)
        self.addCleanup(lambda: end(self.proc))
        os.makedirs(os.path.join(self.home, "Desktop"))
        env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"))
        env.pop("XDG_DESKTOP_DIR", None)
        self.env = env
        self.server.forget()
        self.proc = start([ARGS.launcher], env=env, cwd="/")
        if "KESTRUNE_E2E_FAIL_SETUP_AFTER" in os.environ:  # the harness's own check of its clean-ups
            time.sleep(float(os.environ["KESTRUNE_E2E_FAIL_SETUP_AFTER"]))
            raise AssertionError("set-up made to fail")
        self.login = wait_for(self.find_login_window, SETUP_WINDOW_TIMEOUT, "the login window")
        self.server.wait("login-ready")
        time.sleep(0.3)

    def find_login_window(self):
        for wid in self.visible_windows():
            if geometry(wid)[2:] == (LOGIN_W, LOGIN_H):
                return wid
        return None

    def visible_windows(self):
        out = xdotool("search", "--onlyvisible", "--pid", self.proc.pid, check=False)
        return [int(w) for w in out.split()]

    def login_origin(self):
        x, y, _, _ = geometry(self.login)
        return x, y

    def click(self, x, y, button=1):
        xdotool("mousemove", x, y)
        time.sleep(0.05)
        xdotool("click", button)

    def opaque_bare_point(self, shot):
        """A point of the login window's skin that no control covers."""
        ox, oy = self.login_origin()
        for y in range(500, 560, 4):
            for x in range(300, 440, 4):
                if pixel(shot, ox + x, oy + y) != ROOT_COLOUR:
                    return ox + x, oy + y
        self.fail("no opaque skin left of the login frame")

    def close_game(self, game):
        run("wmctrl", "-i", "-c", hex(game))
        wait_for(lambda: game not in self.visible_windows(), 5, "the game window to close")


class LauncherTest(LauncherSession):
    def test_login_window_starts_centred_shaped_framed_and_prepares_the_machine(self):
        sw, sh = screen_size()
        x, y, w, h = geometry(self.login)
        self.assertEqual((x, y, w, h), ((sw - LOGIN_W) // 2, (sh - LOGIN_H) // 2, LOGIN_W, LOGIN_H))
        self.assertNotIn("SKIP_TASKBAR", net_wm_state(self.login))
        extents = run("xprop", "-id", str(self.login), "_NET_FRAME_EXTENTS", check=False)
        self.assertRegex(extents, r"= 0, 0, 0, 0|not found")

        shot = screenshot()
        # The shape box shows its black background in its top rows above the login page.
        for dx in (20, 300, 560):
            self.assertEqual(pixel(shot, x + 456 + dx, y + 364), (0, 0, 0))
        # The login page renders inside the frame (its blue background).
        r, g, b = pixel(shot, x + 456 + 400, y + 370 + 300)
        self.assertTrue(b > 150 and r < 80, (r, g, b))
        # A corner of the window is cut away: the root shows through and takes the pointer.
        self.assertEqual(pixel(shot, x + 2, y + 2), ROOT_COLOUR)
        root = int(run("xwininfo", "-root").split("Window id:")[1].split()[0], 16)
        self.assertEqual(window_under(x + 2, y + 2), root)
        self.assertNotEqual(window_under(*self.opaque_bare_point(shot)), root)

        hive = os.path.join(self.home, ".config", "kestrune", "registry", "HKEY_CURRENT_USER.reg")
        with open(hive, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("FEATURE_BROWSER_EMULATION]", text)
        self.assertIn("FEATURE_GPU_RENDERING]", text)
        self.assertEqual(text.count('"%s"=dword:00001f40' % os.path.basename(ARGS.launcher)), 2)
        link = os.path.join(self.home, "Desktop", "Kestrune.desktop")
        self.assertTrue(os.access(link, os.X_OK))
        with open(link, encoding="utf-8") as f:
            entry = f.read()
        self.assertIn(os.path.realpath(ARGS.launcher), entry)
        # The link shows the program icon, kept in the user's data folder.
        icon = re.search(r"^Icon=(.+)$", entry, re.M).group(1)
        self.assertEqual(icon, os.path.join(self.home, ".local", "share", "kestrune", "kestrune.png"))
        with open(icon, "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

    def test_drag_on_the_skin_and_on_the_shape_box_moves_the_window(self):
        def bare_skin():
            return self.opaque_bare_point(screenshot())

        def shape_box_strip():
            ox, oy = self.login_origin()
            return ox + 456 + 200, oy + 361 + 4

        for where in (bare_skin, shape_box_strip):
            px, py = where()
            before = self.login_origin()
            xdotool("mousemove", px, py)
            xdotool("mousedown", 1)
            for step in range(1, 11):
                xdotool("mousemove", px + 6 * step, py + 4 * step)
                time.sleep(0.02)
            xdotool("mouseup", 1)
            wait_for(lambda: self.login_origin() != before, 5, "the window to move")
            after = self.login_origin()
            self.assertAlmostEqual(after[0] - before[0], 60, delta=3)
            self.assertAlmostEqual(after[1] - before[1], 40, delta=3)

    def test_right_click_never_reaches_the_page_as_release_or_menu(self):
        ox, oy = self.login_origin()
        self.server.forget()
        self.click(ox + 456 + 450, oy + 370 + 280, button=3)
        self.server.wait("login-mousedown-2")
        time.sleep(0.5)
        seen = self.server.drain()
        self.assertNotIn("login-mouseup-2", seen)
        self.assertNotIn("login-contextmenu-2", seen)
        # The keyboard's ways to the menu are blocked as well.
        xdotool("key", "shift+F10")
        xdotool("key", "Menu")
        time.sleep(0.5)
        seen = self.server.drain()
        self.assertFalse([b for b in seen if "contextmenu" in b], seen)
        # No menu window appeared.
        self.assertEqual(len(self.visible_windows()), 1)
        # A left click still reaches the page in full.
        self.click(ox + 456 + 450, oy + 370 + 280)
        self.server.wait("login-mouseup-0")

    def test_block_comes_back_after_the_page_navigates(self):
        ox, oy = self.login_origin()
        self.server.forget()
        self.click(ox + 456 + 137, oy + 370 + 56)   # the "plain page" link
        self.server.wait("plain-ready")
        time.sleep(0.15)
        self.click(ox + 456 + 300, oy + 370 + 200, button=3)
        self.server.wait("plain-mousedown-2")
        time.sleep(0.5)
        seen = self.server.drain()
        self.assertNotIn("plain-mouseup-2", seen)
        self.assertNotIn("plain-contextmenu-2", seen)

    def test_hand_off_from_a_frame(self):
        ox, oy = self.login_origin()
        self.server.forget()
        self.click(ox + 456 + 179, oy + 370 + 91)   # "play from frame" inside the iframe
        self.server.wait("game-ready")
        games = wait_for(lambda: [w for w in self.visible_windows() if w != self.login], 10, "the game window")
        self.assertEqual(xdotool("getwindowname", games[0]).strip(), "Kestrune微端")

    def test_minimise_button_and_restore(self):
        ox, oy = self.login_origin()
        self.click(ox + 1063 + 12, oy + 335 + 11)
        wait_for(lambda: "HIDDEN" in net_wm_state(self.login), 5, "the window to be minimised")
        self.assertIsNone(self.proc.poll())
        xdotool("windowactivate", self.login, check=False)
        wait_for(lambda: "HIDDEN" not in net_wm_state(self.login), 5, "the window to come back")
        time.sleep(0.3)
        x, y, w, h = geometry(self.login)
        self.assertEqual((w, h), (LOGIN_W, LOGIN_H))
        self.assertEqual(pixel(screenshot(), x + 2, y + 2), ROOT_COLOUR)  # still cut to its outline

    def check_game_browser_layout(self, game):
        """The game browser is the window's outer width and its outer height less 32, from the
        client's top left: the game page's green ends there."""
        time.sleep(0.5)
        gx, gy, gw, gh = geometry(game)
        _, _, top, bottom = frame_extents(game)
        browser_h = min(gh + top + bottom - 32, gh)
        shot = screenshot()
        self.assertEqual(pixel(shot, gx + gw // 2, gy + browser_h - 1), GAME_GREEN)
        self.assertEqual(pixel(shot, gx + gw - 1, gy + browser_h // 2), GAME_GREEN)
        if browser_h < gh:
            self.assertNotEqual(pixel(shot, gx + gw // 2, gy + browser_h), GAME_GREEN)

    def hand_off(self):
        """Logs in from the login page; returns the game window once its page has loaded."""
        ox, oy = self.login_origin()
        self.server.forget()
        self.click(ox + 456 + 60, oy + 370 + 22)   # the user name field
        xdotool("key", "Return")
        self.server.wait("game-ready")
        return wait_for(lambda: [w for w in self.visible_windows() if w != self.login], 10, "the game window")[0]

    def test_game_page_sees_its_box_size_from_its_first_script(self):
        for _ in range(10):
            game = self.hand_off()
            viewport = wait_for(lambda: [b for b in self.server.drain() if b.startswith("game-viewport-")], 10,
                                "the game page's viewport")[0]
            wait_for(lambda: "MAXIMIZED_VERT" in net_wm_state(game), 5, "maximised")
            time.sleep(0.3)
            _, _, gw, gh = geometry(game)
            left, right, top, bottom = frame_extents(game)
            box = "%dx%d" % (gw + left + right, gh + top + bottom - 32)
            self.assertEqual(viewport, "game-viewport-%s-%s" % (box, box))
            self.close_game(game)

    def test_unreachable_login_server_shows_the_error_page_until_it_comes_up(self):
        # A fresh start while the login server is down.
        end(self.proc)
        self.server.stop()
        self.proc = start([ARGS.launcher], env=self.env, cwd="/")
        try:
            self.login = wait_for(self.find_login_window, 20, "the login window")
            ox, oy = self.login_origin()
            # The built-in page: white, with dark text in the middle, where the login page is blue.
            def error_page_shown():
                shot = screenshot()
                corner = pixel(shot, ox + 456 + 20, oy + 370 + 20)
                title = [pixel(shot, ox + 456 + x, oy + 361 + y) for y in range(100, 130, 2) for x in range(150, 430, 2)]
                return corner == (255, 255, 255) and any(max(p) < 128 for p in title)
            wait_for(error_page_shown, 10, "the error page")
        finally:
            # The server comes up; the page is reached without a click (first retry after 15 s).
            type(self).server = DemoServer(login_port())
        self.server.wait("login-ready", timeout=25)
        time.sleep(0.5)
        shot = screenshot()
        r, g, b = pixel(shot, ox + 456 + 400, oy + 370 + 300)
        self.assertTrue(b > 150 and r < 80, (r, g, b))

    def test_killed_web_process_brings_back_both_pages(self):
        game = self.hand_off()
        time.sleep(0.3)
        self.server.forget()
        pids = wait_for(lambda: web_content_processes(self.proc.pid), 5, "the web content process")
        for pid in pids:
            os.kill(pid, 9)
        # Both boxes ask their servers again and show their pages; the game window stays.
        self.server.wait("login-ready")
        self.server.wait("game-ready")
        self.assertIn(game, self.visible_windows())
        self.assertEqual(len(self.visible_windows()), 2)
        # Closed, the game window leaves the login page working (and no second hand-off happened).
        self.close_game(game)
        time.sleep(0.3)
        self.assertEqual(self.visible_windows(), [self.login])
        ox, oy = self.login_origin()
        self.server.forget()
        self.click(ox + 456 + 450, oy + 370 + 280)
        self.server.wait("login-mouseup-0")

    def test_f5_loads_the_page_again_in_both_windows(self):
        ox, oy = self.login_origin()
        self.click(ox + 456 + 450, oy + 370 + 280)   # the login page takes the focus
        time.sleep(0.2)
        self.server.forget()
        xdotool("key", "F5")
        self.server.wait("login-ready")
        game = self.hand_off()
        gx, gy, gw, gh = geometry(game)
        self.click(gx + gw // 2, gy + gh // 2)
        time.sleep(0.2)
        self.server.forget()
        xdotool("key", "F5")
        self.server.wait("game-ready")
        self.assertEqual(len(self.visible_windows()), 2)

    def test_hand_off_opens_the_game_window_and_closing_it_returns_to_the_login(self):
        ox, oy = self.login_origin()
        self.click(ox + 456 + 60, oy + 370 + 22)   # the user name field
        xdotool("key", "Return")
        self.server.wait("game-ready")
        game = wait_for(lambda: [w for w in self.visible_windows() if w != self.login], 10, "the game window")[0]
        self.assertEqual(xdotool("getwindowname", game).strip(), "Kestrune微端")
        state = wait_for(lambda: "MAXIMIZED_VERT" in net_wm_state(game) and net_wm_state(game), 5, "maximised")
        self.assertIn("MAXIMIZED_HORZ", state)
        self.assertIn("SKIP_TASKBAR", state)
        self.assertIn("window id", run("xprop", "-id", str(game), "WM_TRANSIENT_FOR"))

        self.check_game_browser_layout(game)

        # The game page is protected as well.
        gx, gy, gw, gh = geometry(game)
        self.server.forget()
        self.click(gx + gw // 2, gy + gh // 2, button=3)
        self.server.wait("game-mousedown-2")
        time.sleep(0.5)
        seen = self.server.drain()
        self.assertNotIn("game-mouseup-2", seen)
        self.assertNotIn("game-contextmenu-2", seen)

        # Made smaller, the game window keeps its browser to the rule; the login window, now in
        # view again, is disabled while the game window is open: its page gets no clicks and its
        # close button is ignored.
        run("wmctrl", "-i", "-r", hex(game), "-b", "remove,maximized_vert,maximized_horz")
        xdotool("windowsize", game, 700, 500)
        xdotool("windowmove", game, 0, 0)
        wait_for(lambda: geometry(game)[2:] == (700, 500), 5, "the game window to shrink")
        self.check_game_browser_layout(game)
        ox, oy = self.login_origin()
        login_page_point = (ox + 456 + 450, oy + 370 + 280)
        self.server.forget()
        self.click(*login_page_point)
        self.click(ox + 1034 + 11, oy + 312 + 11)
        time.sleep(0.5)
        self.assertIsNone(self.proc.poll())
        self.assertIn(self.login, self.visible_windows())
        self.assertFalse([b for b in self.server.drain() if b.startswith("login-mouse")], self.server.seen)

        run("wmctrl", "-i", "-c", hex(game))
        wait_for(lambda: game not in self.visible_windows(), 5, "the game window to close")
        self.assertIsNone(self.proc.poll())
        # Back at the login window, enabled again and still on the login page it showed (the
        # hand-off navigation was cancelled, nothing reloaded it): a left click reaches that page.
        self.server.forget()
        self.click(*login_page_point)
        self.server.wait("login-mouseup-0")
        seen = self.server.drain()
        self.assertIn("login-mousedown-0", seen)
        self.assertNotIn("login-ready", seen)
        self.assertFalse([b for b in seen if b.startswith("game-")], seen)
        # The close button ends the program with 0.
        self.click(ox + 1034 + 11, oy + 312 + 11)
        self.assertEqual(self.proc.wait(10), 0)
        self.assertNotIn("login-ready", self.server.drain())


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--server", required=True)
    parser.add_argument("--site", required=True)
    parser.add_argument("--login-url", required=True)
    ARGS, rest = parser.parse_known_args()
    enter_private_network()  # the demo site's built-in port is this run's alone
    # A run stopped from outside (a test timeout) still ends what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
    finally:
        end_all()


if __name__ == "__main__":
    main()
