"""The launcher against the end-to-end tests' own login site (e2e_site/), for test scripts that drive
a page's keyboard, pointer and drops and read its beacons; run under tests/gui/with-x-session.sh.

The login page has three focusable elements (Return in the first logs in); the game page a
full-screen button and a pointer-lock area; both report their focus, keys and drags as beacons."""
import argparse
import os
import signal
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import launcher_e2e as e2e  # noqa: E402
from launcher_e2e import wait_for, xdotool  # noqa: E402

SITE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "e2e_site")


class SiteSession(e2e.LauncherSession):
    def beacons(self, prefix, count, timeout=10):
        """The next `count` beacons starting with `prefix`, in order."""
        got = wait_for(lambda: len([b for b in self.server.drain() if b.startswith(prefix)]) >= count and
                       [b for b in self.server.seen if b.startswith(prefix)], timeout, "%d x %s" % (count, prefix))
        return got[:count]

    def press(self, key):
        self.server.forget()
        xdotool("key", key)

    def application(self):
        """The launcher as the accessibility bus shows it (through pyatspi), or None."""
        import pyatspi
        from gi.repository import GLib
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == self.proc.pid:
                    return app
            except GLib.Error:  # an earlier test's launcher, gone since
                continue
        return None

    def page_texts(self):
        """The names and texts of everything the launcher's windows show, through the accessibility bus."""
        import pyatspi
        from gi.repository import GLib
        app = self.application()
        texts = []
        try:
            found = pyatspi.findAllDescendants(app, lambda _: True) if app is not None else []
        except (GLib.Error, TypeError):
            # A page's process went, or a page replaced its document, while the tree was walked (the
            # bus then gives no children for a node it had just listed): none this time.
            return texts
        for a in found:
            try:
                if a.name:
                    texts.append(a.name)
                texts.append(a.queryText().getText(0, -1))
            except (NotImplementedError, GLib.Error):  # no text, or gone with its page's process
                pass
        return texts

    def log_in(self):
        """Return in the login page's first field; the game window once its page has loaded."""
        self.press("Return")
        self.server.wait("game-ready")
        return wait_for(lambda: [w for w in self.visible_windows() if w != self.login], 10, "the game window")[0]


def main(with_accessibility_bus=False):
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--server", required=True)
    parser.add_argument("--login-url", required=True)
    args, rest = parser.parse_known_args()
    args.site = SITE
    e2e.ARGS = args
    e2e.enter_private_network()
    if with_accessibility_bus:
        # A session bus of this run's own, inside the private network (its socket may be abstract),
        # on which the accessibility bus starts when first asked for; the launcher's toolkit joins it.
        if os.environ.get("KESTRUNE_E2E_SESSION_BUS") != "1":
            os.environ["KESTRUNE_E2E_SESSION_BUS"] = "1"
            os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable] + sys.argv)
        os.environ.pop("NO_AT_BRIDGE", None)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2)
    finally:
        e2e.end_all()
