#!/usr/bin/env python3
"""Start-up of the Windows build under Wine against a bare Win32 program, run side by side.

The baseline (BaselineWindow.cpp, built here with the mingw-w64 compiler) shows a borderless,
centred 1250 x 870 window cut to the skin picture's silhouette and painting the picture (decoded
with WIC). Measured per run: from starting the process to its 1250 x 870 window being visible on the
X server. Absolute times under Wine mean nothing; the ratio launcher / baseline is what counts (Wine
has no web engine here, so the launcher's page shows nothing and is not waited for).

Runs alternate (the order flips every round) after one uncounted run each, on one Wine prefix and
one wine server kept running for all of them. Needs an X session with a window manager:
  tests/gui/with-x-session.sh python3 bench/wine/run_wine_bench.py --launcher kestrune.exe \\
      --skin build/resources/artwork/login_background.png
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 1250, 870
HERE = os.path.dirname(os.path.abspath(__file__))


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def shown(classname):
    """Whether a visible window of the program, of the login window's size, is on the X server."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", classname],
                         capture_output=True, text=True).stdout
    for wid in out.split():
        info = subprocess.run(["xwininfo", "-id", wid], capture_output=True, text=True).stdout
        w = re.search(r"Width:\s+(\d+)", info)
        h = re.search(r"Height:\s+(\d+)", info)
        if w and h and (int(w.group(1)), int(h.group(1))) == (WIDTH, HEIGHT):
            return True
    return False


def one_run(command, classname, env, timeout):
    start = time.monotonic()
    proc = subprocess.Popen(command, env=env, cwd="/", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = None
    try:
        while time.monotonic() - start < timeout:
            if shown(classname):
                elapsed = (time.monotonic() - start) * 1000.0
                break
            if proc.poll() is not None:
                break
            time.sleep(0.005)
    finally:
        proc.kill()
        proc.wait()
        end = time.monotonic() + 10
        while time.monotonic() < end and shown(classname):
            time.sleep(0.05)
    return elapsed


def spread(values):
    values = sorted(values)
    q = statistics.quantiles(values, n=4) if len(values) >= 4 else None
    iqr = f"IQR {q[0]:.0f}-{q[2]:.0f}" if q else "IQR n/a"
    return f"median {statistics.median(values):7.0f} ms  min-max {values[0]:.0f}-{values[-1]:.0f}  {iqr}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True, help="kestrune.exe")
    parser.add_argument("--skin", required=True, help="the login window's skin picture (PNG)")
    parser.add_argument("--work", help="folder for the Wine prefix and the baseline (kept for later runs)")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--timeout", type=float, default=60.0)
    args = parser.parse_args()
    if "DISPLAY" not in os.environ:
        parser.error("needs an X session (tests/gui/with-x-session.sh)")

    work = os.path.abspath(args.work or tempfile.mkdtemp(prefix="kestrune-wine-bench-"))
    os.makedirs(work, exist_ok=True)
    baseline = os.path.join(work, "kestrune-bench-window.exe")
    subprocess.run(["i686-w64-mingw32-g++-posix", "-O2", "-std=c++20", "-static", "-mwindows", "-o", baseline,
                    os.path.join(HERE, "BaselineWindow.cpp"), "-lole32", "-lwindowscodecs", "-luuid", "-lgdi32",
                    "-luser32", "-lshell32"], check=True)
    launcher = os.path.join(work, "kestrune.exe")
    shutil.copyfile(args.launcher, launcher)
    skin = "Z:" + os.path.abspath(args.skin).replace("/", "\\")

    env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), HOME=os.path.join(work, "home"),
               WINEDEBUG="-all", WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d")
    os.makedirs(env["HOME"], exist_ok=True)
    if not os.path.exists(os.path.join(work, "prefix-ready")):
        subprocess.run(["timeout", "300", "wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["timeout", "60", "wineserver", "-w"], env=env)
        open(os.path.join(work, "prefix-ready"), "w").close()
    # One server for every run, so that no run pays for starting it.
    subprocess.run(["timeout", "30", "wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["timeout", "30", "wineserver", "-w"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # (Wine's own background processes keep inherited pipes open: nothing is read from them.)
    server = subprocess.Popen(["wineserver", "-f", "-p"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        subprocess.run(["timeout", "60", "wine", "cmd", "/c", "exit"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        programs = [("baseline", ["wine", baseline, skin], "kestrune-bench-window.exe"),
                    ("launcher", ["wine", launcher], "kestrune.exe")]
        for name, command, classname in programs:  # uncounted: the prefix prepared, the files cached
            one_run(command, classname, env, args.timeout)
        results = {name: [] for name, _, _ in programs}
        rounds = []
        print(f"load at start: {load_average()}", flush=True)
        for i in range(args.runs):
            order = programs if i % 2 == 0 else list(reversed(programs))
            this_round = {}
            for name, command, classname in order:
                ms = one_run(command, classname, env, args.timeout)
                if ms is None:
                    print(f"  {name}: no window within {args.timeout} s", file=sys.stderr)
                    continue
                results[name].append(ms)
                this_round[name] = ms
            rounds.append(this_round)
            print(f"round {i + 1} (load {load_average()}): " +
                  "  ".join(f"{n} {ms:.0f} ms" for n, ms in this_round.items()), flush=True)
        print(f"load at end: {load_average()}")
    finally:
        server.terminate()
        server.wait()
        subprocess.run(["timeout", "30", "wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    for name, values in results.items():
        if values:
            print(f"{name:9s} start->window shown  {spread(values)}")
    if results["launcher"] and results["baseline"]:
        pairs = [r["launcher"] / r["baseline"] for r in rounds if "launcher" in r and "baseline" in r]
        ratio = statistics.median(results["launcher"]) / statistics.median(results["baseline"])
        print(f"launcher / baseline: ratio of medians {ratio:.3f}; per round median {statistics.median(pairs):.3f} "
              f"min-max {min(pairs):.3f}-{max(pairs):.3f}")
    return 0 if all(results.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
