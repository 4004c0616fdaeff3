#!/usr/bin/env python3
"""Checks that the end-to-end test leaves no process behind when its set-up fails: once with the
login site's port taken by another program, once with every test's set-up failing after the
launcher started. Runs in a network namespace of its own, so the port it takes is nobody else's.

    e2e_cleanup_check.py <launcher_e2e.py arguments>
"""
import os
import socket
import subprocess
import sys
import time
import uuid
from urllib.parse import urlparse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from private_network import enter_private_network  # noqa: E402

E2E = os.path.join(os.path.dirname(os.path.abspath(__file__)), "launcher_e2e.py")
SKIP = 77


def marked_processes(token):
    """Pids of live processes whose environment holds the run's token (the run's descendants)."""
    found = []
    needle = ("KESTRUNE_E2E_RUN=" + token).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                if needle in f.read().split(b"\0"):
                    with open("/proc/%s/stat" % entry) as s:
                        if s.read().rsplit(")", 1)[1].split()[0] != "Z":
                            found.append(int(entry))
        except OSError:
            continue
    return found


def describe(pids):
    out = []
    for pid in pids:
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                out.append("%d %s" % (pid, f.read().replace(b"\0", b" ").decode(errors="replace").strip()))
        except OSError:
            out.append("%d (gone)" % pid)
    return "; ".join(out)


def launcher_processes(token, launcher):
    out = []
    for pid in marked_processes(token):
        try:
            if os.path.realpath("/proc/%d/exe" % pid) == os.path.realpath(launcher):
                out.append(pid)
        except OSError:
            pass
    return out


def run_e2e(args, extra_env, tests):
    """Runs the end-to-end test; its exit status, whether a launcher was seen running, and what is
    left of the run one second after it ended."""
    token = uuid.uuid4().hex
    env = dict(os.environ, KESTRUNE_E2E_RUN=token, **extra_env)
    proc = subprocess.Popen([sys.executable, E2E] + args + tests, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    launcher = args[args.index("--launcher") + 1]
    seen = False
    while proc.poll() is None:
        seen = seen or bool(launcher_processes(token, launcher))
        time.sleep(0.05)
    err = proc.stderr.read()
    time.sleep(1.0)
    return proc.returncode, seen, marked_processes(token), err


def main():
    enter_private_network()
    if os.environ.get("KESTRUNE_PRIVATE_NETWORK") != "1":
        print("no network namespace here: the login port cannot be taken without disturbing others")
        return SKIP
    args = sys.argv[1:]
    port = urlparse(args[args.index("--login-url") + 1]).port or 80
    tests = ["LauncherTest.test_f5_loads_the_page_again_in_both_windows",
             "LauncherTest.test_minimise_button_and_restore"]
    failures = []

    # Another program holds the login site's port: the run fails, and leaves nothing running.
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as taken:
        taken.bind(("127.0.0.1", port))
        taken.listen(1)
        status, _, left, err = run_e2e(args, {}, tests)
    if status == 0:
        failures.append("the run passed with its port taken")
    if "could not listen on port %d" % port not in err:
        failures.append("the run did not say its port was taken:\n" + err[-2000:])
    if left:
        failures.append("port taken: processes left running: " + describe(left))

    # Each test's set-up fails after its launcher started: every launcher is ended with it.
    status, seen, left, err = run_e2e(args, {"KESTRUNE_E2E_FAIL_SETUP_AFTER": "3"}, tests)
    if status == 0:
        failures.append("the run passed though its set-ups failed")
    if not seen:
        failures.append("no launcher was seen running during the failing set-ups:\n" + err[-2000:])
    if err.count("set-up made to fail") < len(tests):
        failures.append("not every set-up failed as asked:\n" + err[-2000:])
    if left:
        failures.append("failed set-ups: processes left running: " + describe(left))

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
