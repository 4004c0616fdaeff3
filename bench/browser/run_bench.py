#!/usr/bin/env python3
"""Whole-process benchmark of the launcher against a bare GTK + WebKitGTK window, run side by side.

For each program and run: a fresh demo server (--bench: the login page logs in by itself and the
pages report their events through /beacon), then the program. Measured:
  start->ready  from process start to the login page's load event (beacon "login-ready")
  rss           resident memory of the program's own process at that moment (VmRSS, kB)
  handoff       from the page's decision (beacon "handoff") to the game page's load event
                (beacon "game-ready"): the launcher opens its game window, the baseline navigates
Prints the medians and the ratios launcher / baseline. Needs a display (DISPLAY) or xvfb-run.
"""
import argparse
import os
import queue
import signal
import statistics
import subprocess
import sys
import threading
import time


def read_beacons(proc, out):
    for line in proc.stdout:
        parts = line.split()
        if len(parts) == 3 and parts[0] == "BEACON":
            out.put((parts[1], int(parts[2]) / 1e6))


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return -1


def wait_for(beacons, name, timeout):
    deadline = time.monotonic() + timeout
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        try:
            what, when = beacons.get(timeout=left)
        except queue.Empty:
            return None
        if what == name:
            return when


def one_run(server, port, command, timeout):
    srv = subprocess.Popen([server, "--port", str(port), "--bench"], stdout=subprocess.PIPE, text=True)
    srv.stdout.readline()  # "serving ..."
    beacons = queue.Queue()
    threading.Thread(target=read_beacons, args=(srv, beacons), daemon=True).start()
    start = time.monotonic()
    prog = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        ready = wait_for(beacons, "login-ready", timeout)
        rss = rss_kb(prog.pid)
        decided = wait_for(beacons, "handoff", timeout) if ready else None
        game = wait_for(beacons, "game-ready", timeout) if decided else None
    finally:
        os.killpg(prog.pid, signal.SIGTERM)
        prog.wait()
        srv.terminate()
        srv.wait()
    if ready is None or game is None:
        return None
    return (ready - start) * 1000.0, rss, (game - decided) * 1000.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--launcher", help="the launcher binary (built with the default login address)")
    parser.add_argument("--port", type=int, default=48123)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--timeout", type=float, default=30.0)
    args = parser.parse_args()

    url = f"http://127.0.0.1:{args.port}/login.html"
    programs = [("baseline", [args.baseline, url])]
    if args.launcher:
        programs.append(("launcher", [args.launcher]))
    results = {name: [] for name, _ in programs}
    for _ in range(args.runs):
        for name, command in programs:  # interleaved, so both see the same machine load
            r = one_run(args.server, args.port, command, args.timeout)
            if r is None:
                print(f"{name}: run failed (no beacons)", file=sys.stderr)
            else:
                results[name].append(r)

    medians = {}
    for name, runs in results.items():
        if not runs:
            continue
        medians[name] = tuple(statistics.median(r[i] for r in runs) for i in range(3))
        m = medians[name]
        print(f"{name:9s} runs={len(runs)} start->ready={m[0]:8.1f} ms  rss={m[1]:8.0f} kB  handoff={m[2]:7.1f} ms")
    if "launcher" in medians and "baseline" in medians:
        l, b = medians["launcher"], medians["baseline"]
        print(f"ratios launcher/baseline: start->ready {l[0] / b[0]:.2f}  rss {l[1] / b[1]:.2f}  handoff {l[2] / b[2]:.2f}")
    return 0 if medians else 1


if __name__ == "__main__":
    sys.exit(main())
