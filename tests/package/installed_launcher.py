#!/usr/bin/env python3
"""Starts the installed launcher from the PATH under the current X session (tests/gui/with-x-session.sh)
against the demo login site and waits for the login page's document-ready beacon.

Runs in a network namespace of its own, so the demo site's built-in port is free there whatever else
runs on the machine.
"""
import argparse
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from urllib.parse import urlparse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui", "app"))
from private_network import enter_private_network  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--site", required=True)
    parser.add_argument("--login-url", required=True)
    parser.add_argument("--expect", default="/usr/bin/kestrune", help="where the PATH must find kestrune")
    args = parser.parse_args()
    enter_private_network()

    launcher = shutil.which("kestrune")
    if launcher != args.expect:
        sys.exit("kestrune on the PATH is %r, not %r" % (launcher, args.expect))

    port = urlparse(args.login_url).port or 80
    server = subprocess.Popen([args.server, "--port", str(port), "--root", args.site], stdout=subprocess.PIPE,
                              text=True)
    beacons = queue.Queue()

    def read():
        for line in server.stdout:
            parts = line.split()
            if len(parts) >= 2 and parts[0] == "BEACON":
                beacons.put(parts[1])
    threading.Thread(target=read, daemon=True).start()

    home = tempfile.mkdtemp(prefix="kestrune-installed-")
    os.makedirs(os.path.join(home, "Desktop"))
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"))
    env.pop("XDG_DESKTOP_DIR", None)
    proc = subprocess.Popen(["kestrune"], env=env, cwd="/")
    try:
        end = time.monotonic() + 60
        while True:
            if proc.poll() is not None:
                sys.exit("the installed launcher ended with %d before its login page was ready" % proc.returncode)
            try:
                if beacons.get(timeout=max(0.1, min(1.0, end - time.monotonic()))) == "login-ready":
                    break
            except queue.Empty:
                if time.monotonic() > end:
                    sys.exit("no document-ready beacon from the login page of the installed launcher")
        # The desktop link it made starts the installed program.
        with open(os.path.join(home, "Desktop", "Kestrune.desktop"), encoding="utf-8") as f:
            if args.expect not in f.read():
                sys.exit("the desktop link does not start " + args.expect)
        print("installed launcher: login page ready")
    finally:
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        server.terminate()
        server.wait(5)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
