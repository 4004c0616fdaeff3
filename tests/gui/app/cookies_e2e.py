#!/usr/bin/env python3
"""The launcher keeps players logged in: cookies across restarts, between its windows, with a damaged
store and with two launchers on one data folder (run through tests/gui/with-x-session.sh).

The launcher's login address is built in, so the script runs in a network namespace of its own
(private_network.py): the login site's port there is free whatever else runs on the machine. Its
server plays a login site whose form POST answers with a persistent and a session cookie and a 303
to the game address, and notes every request with its Cookie header.
"""
import argparse
import glob
import http.server
import os
import shutil
import sqlite3
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from urllib.parse import urlparse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from xsession import geometry, run, wait_for, xdotool  # noqa: E402
from private_network import enter_private_network  # noqa: E402

ARGS = None
LOGIN_W, LOGIN_H = 1250, 870


class LoginSite(http.server.ThreadingHTTPServer):
    """The login page at the launcher's built-in address, the form's POST and the game page."""
    daemon_threads = True

    def __init__(self, port, login_path):
        super().__init__(("127.0.0.1", port), Handler)
        self.login_path = login_path
        self.lock = threading.Lock()
        self.requests = []       # (method, path, Cookie header or "")
        self.beacons = []
        self.auto_login = False  # the login page posts its form by itself, once /may-login answers
        self.gates = []          # the n-th /may-login waits for gates[n] to be set (none: answers at once)
        self.asked = 0
        self.logins = 0
        self.distinct = False    # each login gets its own persistent cookie name
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def note(self, method, path, cookie):
        with self.lock:
            self.requests.append((method, path, cookie))

    def reset(self):
        with self.lock:
            self.requests.clear()
            self.beacons.clear()
            self.logins = 0
            self.asked = 0
            self.gates = []

    def requests_to(self, prefix):
        with self.lock:
            return [r for r in self.requests if r[1].startswith(prefix)]

    def has_beacon(self, name):
        with self.lock:
            return self.beacons.count(name)


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def send(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        site = self.server
        site.note("GET", self.path, self.headers.get("Cookie", ""))
        if self.path.startswith("/beacon?"):
            with site.lock:
                site.beacons.append(self.path.split("?", 1)[1])
            self.send(204)
        elif self.path == "/may-login":
            with site.lock:
                gate = site.gates[site.asked] if site.asked < len(site.gates) else None
                site.asked += 1
            if gate is not None:
                gate.wait(60)
            self.send(204)
        elif urlparse(self.path).path == site.login_path:
            auto = "true" if site.auto_login else "false"
            page = ("<!doctype html><html><head><title>login</title></head>"
                    "<body style='background:#2040c0'><form id='f' method='post' action='/login'>"
                    "<input name='user' value='player'></form><script>"
                    "window.addEventListener('load', function () {"
                    "  var visits = Number(localStorage.getItem('visits') || 0);"
                    "  localStorage.setItem('visits', visits + 1);"
                    "  new Image().src = '/beacon?visits-' + visits;"
                    "  new Image().src = '/beacon?login-ready';"
                    "  if (%s) fetch('/may-login').then(function () { document.getElementById('f').submit(); });"
                    "});</script></body></html>" % auto)
            self.send(200, page.encode(), [("Content-Type", "text/html; charset=utf-8")])
        elif self.path.startswith("/game.html"):
            page = ("<!doctype html><html><body style='background:#2e8b57'><script>"
                    "window.addEventListener('load', function () { new Image().src = '/beacon?game-ready'; });"
                    "</script></body></html>")
            self.send(200, page.encode(), [("Content-Type", "text/html; charset=utf-8")])
        else:
            self.send(404)

    def do_POST(self):
        site = self.server
        site.note("POST", self.path, self.headers.get("Cookie", ""))
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with site.lock:
            site.logins += 1
            n = site.logins
        name = "remember%d" % n if site.distinct else "remember"
        self.send(303, headers=[
            ("Location", "/game.html?client=1&login=%d" % n),
            ("Set-Cookie", "%s=token%d; Path=/; Max-Age=86400; HttpOnly" % (name, n)),
            ("Set-Cookie", "session=visit%d; Path=/" % n),
        ])


def cookies_of(header):
    return dict(part.strip().split("=", 1) for part in header.split(";") if "=" in part)


class CookieTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        url = urlparse(ARGS.login_url)
        cls.site = LoginSite(url.port or 80, url.path or "/")

    @classmethod
    def tearDownClass(cls):
        cls.site.shutdown()

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="kestrune-cookies-")
        os.makedirs(os.path.join(self.home, "Desktop"))
        self.data = os.path.join(self.home, ".local", "share", "kestrune")
        self.env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"))
        self.env.pop("XDG_DESKTOP_DIR", None)
        self.site.reset()
        self.site.auto_login = False
        self.site.distinct = False
        self.procs = []

    def tearDown(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def start(self):
        proc = subprocess.Popen([ARGS.launcher], env=self.env, cwd="/")
        self.procs.append(proc)
        return proc

    def windows(self, proc):
        out = xdotool("search", "--onlyvisible", "--pid", proc.pid, check=False)
        return [int(w) for w in out.split()]

    def login_window(self, proc):
        return wait_for(lambda: next((w for w in self.windows(proc) if geometry(w)[2:] == (LOGIN_W, LOGIN_H)), None),
                        30, "the login window")

    def close(self, proc):
        """Closes the game window if one is open, then the login window's close button: exit code 0."""
        login = self.login_window(proc)
        for game in [w for w in self.windows(proc) if w != login]:
            run("wmctrl", "-i", "-c", hex(game))
            wait_for(lambda: game not in self.windows(proc), 10, "the game window to close")
        xdotool("windowactivate", login, check=False)
        time.sleep(0.3)
        x, y, _, _ = geometry(login)
        xdotool("mousemove", x + 1034 + 11, y + 312 + 11)
        time.sleep(0.05)
        xdotool("click", 1)
        self.assertEqual(proc.wait(15), 0)

    def wait_game_requests(self, count):
        return wait_for(lambda: len(self.site.requests_to("/game.html")) >= count and self.site.requests_to("/game.html"),
                        30, "%d game page request(s)" % count)

    def first_login_request(self):
        wait_for(lambda: self.site.has_beacon("login-ready"), 30, "the login page's document-ready beacon")
        requests = self.site.requests_to(urlparse(ARGS.login_url).path)
        self.assertTrue(requests)
        return requests[0]

    def stored_cookies(self):
        db = sqlite3.connect("file:%s?mode=ro" % os.path.join(self.data, "cookies.sqlite"), uri=True, timeout=10)
        try:
            self.assertEqual(db.execute("PRAGMA integrity_check").fetchone()[0], "ok")
            return sorted(name for (name,) in db.execute("SELECT name FROM moz_cookies"))
        finally:
            db.close()

    def test_persistent_cookie_outlives_a_restart_and_the_session_cookie_does_not(self):
        self.site.auto_login = True
        launcher = self.start()
        self.login_window(launcher)
        self.assertEqual(self.first_login_request()[2], "")  # a new player has no cookies
        wait_for(lambda: self.site.has_beacon("visits-0"), 10, "the first visit's local storage")
        # The game window's request carries both cookies the login page was just given.
        game = self.wait_game_requests(1)[0]
        self.assertEqual(cookies_of(game[2]), {"remember": "token1", "session": "visit1"})
        self.site.auto_login = False
        self.close(launcher)

        # Only the persistent cookie was stored, and everything is the user's alone.
        self.assertEqual(self.stored_cookies(), ["remember"])
        for folder in (self.data, os.path.join(self.data, "site-data"), os.path.join(self.data, "cache")):
            self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o700, folder)
        self.assertEqual(stat.S_IMODE(os.stat(os.path.join(self.data, "cookies.sqlite")).st_mode), 0o600)

        self.site.reset()
        launcher = self.start()
        self.login_window(launcher)
        self.assertEqual(cookies_of(self.first_login_request()[2]), {"remember": "token1"})
        self.close(launcher)
        # Local storage came through as well, and the engine kept nothing outside the data folder.
        self.assertEqual(self.site.has_beacon("visits-1"), 1)
        strays = [os.path.join(top, name) for top, dirs, files in os.walk(self.home)
                  for name in dirs + files if "webkit" in name.lower()]
        self.assertEqual([p for p in strays if not p.startswith(self.data + os.sep)], [])

    def test_damaged_store_is_kept_aside_and_the_launcher_shows_the_login_page(self):
        os.makedirs(self.data, mode=0o700)
        damaged = b"SQLite format 3\x00" + bytes(range(256)) * 40
        with open(os.path.join(self.data, "cookies.sqlite"), "wb") as f:
            f.write(damaged)
        self.site.auto_login = True
        launcher = self.start()
        self.login_window(launcher)
        self.first_login_request()
        aside = glob.glob(os.path.join(self.data, "cookies.sqlite.damaged-*"))
        self.assertEqual(len(aside), 1, os.listdir(self.data))
        with open(aside[0], "rb") as f:
            self.assertEqual(f.read(), damaged)
        # The fresh store is in use: the login's persistent cookie went into it.
        self.wait_game_requests(1)
        self.site.auto_login = False
        self.close(launcher)
        self.assertEqual(self.stored_cookies(), ["remember"])

    def test_two_launchers_at_once_keep_each_others_cookies(self):
        self.site.auto_login = True
        self.site.distinct = True
        self.site.gates = [threading.Event(), threading.Event()]
        # Both have loaded the empty store before either logs in; then each stores its own cookie.
        first = self.start()
        self.login_window(first)
        wait_for(lambda: self.site.asked >= 1, 30, "the first login page")
        second = self.start()
        self.login_window(second)
        wait_for(lambda: self.site.asked >= 2, 30, "the second login page")
        self.site.gates[0].set()
        first_game = self.wait_game_requests(1)[0]
        self.site.gates[1].set()
        second_game = self.wait_game_requests(2)[1]
        self.assertEqual(cookies_of(first_game[2]).get("remember1"), "token1")
        # The second launcher never saw the first one's cookie...
        self.assertEqual(cookies_of(second_game[2]), {"remember2": "token2", "session": "visit2"})
        self.site.auto_login = False
        self.close(second)
        self.close(first)
        # ...and writing its own left it in the store.
        self.assertEqual(self.stored_cookies(), ["remember1", "remember2"])

        self.site.reset()
        launcher = self.start()
        self.login_window(launcher)
        self.assertEqual(cookies_of(self.first_login_request()[2]), {"remember1": "token1", "remember2": "token2"})
        self.close(launcher)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--login-url", required=True)
    ARGS, rest = parser.parse_known_args()
    enter_private_network()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
