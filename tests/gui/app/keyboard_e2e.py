#!/usr/bin/env python3
"""Keyboard and assistive technology in the launcher, under a real X session with a session bus and
the accessibility bus (run through tests/gui/with-x-session.sh, which this script leaves for a
dbus-run-session of its own).

Input is real (XTEST through xdotool); the buttons are found and pressed through AT-SPI as a screen
reader would. The site is the tests' own (see site_session.py).
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import site_session  # noqa: E402
from launcher_e2e import frame_extents, geometry, net_wm_state, run, screen_size, wait_for, xdotool  # noqa: E402


class KeyboardTest(site_session.SiteSession):
    def test_typing_and_tab_stay_in_the_page_from_the_start(self):
        # No click: the page of the login window has the keyboard, at its autofocus field.
        self.server.forget()
        xdotool("type", "a")
        self.server.wait("login-key-first-a")
        # Tab goes round the page's three elements and back to the first, never out of the page.
        seen = []
        for _ in range(3):
            self.press("Tab")
            seen += self.beacons("login-focus-", 1)
        self.assertEqual(seen, ["login-focus-second", "login-focus-third", "login-focus-first"])
        seen = []
        for _ in range(3):
            self.press("shift+Tab")
            seen += self.beacons("login-focus-", 1)
        self.assertEqual(seen, ["login-focus-third", "login-focus-second", "login-focus-first"])
        self.server.forget()
        xdotool("type", "b")
        self.server.wait("login-key-first-b")
        # The editing keys are the page's: select all, copy, and paste into the next field.
        first = self.beacons("login-value-first-", 1)[0]
        self.press("ctrl+a")
        self.press("ctrl+c")
        self.press("Tab")
        self.beacons("login-focus-second", 1)
        self.press("ctrl+v")
        self.server.wait(first.replace("-first-", "-second-"))

    def test_keyboard_comes_back_to_the_login_page_after_the_game_window(self):
        game = self.log_in()
        # The game page has the keyboard without a click.
        self.server.forget()
        xdotool("type", "g")
        self.server.wait("game-key-full-g")
        self.close_game(game)
        time.sleep(0.3)
        self.server.forget()
        xdotool("type", "c")
        self.server.wait("login-key-first-c")

    def test_full_screen_page_fills_the_screen_and_gives_the_layout_back(self):
        game = self.log_in()
        wait_for(lambda: "MAXIMIZED_VERT" in net_wm_state(game), 5, "maximised")
        time.sleep(0.3)
        self.press("Return")  # the focused button asks for full screen
        self.server.wait("game-fullscreen-1")
        sw, sh = screen_size()
        wait_for(lambda: "game-viewport-%dx%d" % (sw, sh) in self.server.drain(), 10, "a full-screen viewport")
        self.press("x")  # the page leaves full screen
        self.server.wait("game-fullscreen-0")
        wait_for(lambda: "FULLSCREEN" not in net_wm_state(game), 5, "the window to leave full screen")

        def layout_size():
            _, _, gw, gh = geometry(game)
            left, right, top, bottom = frame_extents(game)
            return "game-viewport-%dx%d" % (gw + left + right, gh + top + bottom - 32)
        time.sleep(0.5)
        self.server.forget()
        run("wmctrl", "-i", "-r", hex(game), "-b", "remove,maximized_vert,maximized_horz")
        xdotool("windowsize", game, 900, 600)
        wait_for(lambda: geometry(game)[2:] == (900, 600), 5, "the game window to shrink")
        wait_for(lambda: layout_size() in self.server.drain(), 10, "the window's layout again")

    def test_buttons_are_named_push_buttons_that_a_screen_reader_can_press(self):
        import pyatspi
        app = wait_for(self.application, 10, "the launcher on the accessibility bus")
        frames = [f for f in app if f is not None and f.getRole() == pyatspi.ROLE_FRAME]
        login = [f for f in frames if f.name == "Kestrune"]
        self.assertEqual(len(login), 1, [f.name for f in frames])
        # The window keeps its empty title.
        title = run("xprop", "-id", str(self.login), "WM_NAME", check=False)
        self.assertRegex(title, r'^WM_NAME\([A-Z0-9_]+\) = (""|)\s*$')

        buttons = {}
        pyatspi.findAllDescendants(login[0], lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON and
                                   buttons.setdefault(a.name, a) is None)
        self.assertIn("关闭", buttons)
        self.assertIn("最小化", buttons)
        # Neither they nor the frame around the page are keyboard stops; the frame is no control.
        for name in ("关闭", "最小化"):
            self.assertFalse(buttons[name].getState().contains(pyatspi.STATE_FOCUSABLE), name)
        interactive = pyatspi.findAllDescendants(
            login[0], lambda a: a.getRole() in (pyatspi.ROLE_PUSH_BUTTON,) and a.name not in ("关闭", "最小化")
            and a.getRole() != pyatspi.ROLE_DOCUMENT_WEB and not self.inside_page(a))
        self.assertEqual(interactive, [])

        action = buttons["最小化"].queryAction()
        self.assertEqual([action.getName(i) for i in range(action.nActions)], ["click"])
        action.doAction(0)
        wait_for(lambda: "HIDDEN" in net_wm_state(self.login), 5, "the window to be minimised")
        self.assertIsNone(self.proc.poll())

    @staticmethod
    def inside_page(accessible):
        import pyatspi
        a = accessible
        while a is not None:
            if a.getRole() == pyatspi.ROLE_DOCUMENT_WEB:
                return True
            a = a.parent
        return False


if __name__ == "__main__":
    site_session.main(with_accessibility_bus=True)
