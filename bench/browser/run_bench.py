#!/usr/bin/env python3
"""Whole-process benchmark of the launcher against a bare GTK + WebKitGTK program doing the same work.

The baseline (kestrune-bench-baseline) shows a borderless 1250 x 870 window painting the same skin
picture (decoded with GdkPixbuf) behind a web view of the login browser's size and place; on the
page's hand-off decision it cancels that navigation and opens a second, maximised window with a new,
related web view on the game address. The launcher does its own work for the same page.

Runs alternate launcher and baseline (the order flips every round), each with a fresh demo server
(--bench: the login page logs in by itself and the pages report their events through /beacon). Each
program keeps its own home, cache and data folders for all its runs, after one uncounted run, so a
run is an ordinary start; with --first-start every run starts from empty folders. Measured per run:
  start->ready  process start to the login page's load event (beacon "login-ready")
  handoff       the page's decision (beacon "handoff") to the game page's load event ("game-ready")
  to request    the decision to the server's receipt of the game page's request: the part of the
                hand-off before the game page's load starts
  to script     the decision to the request for the game page's first script: its document is in
                and being read
  viewport      the game page's viewport as its first script saw it, counted over the runs: the
                maximised window's, when the program let the page in at its final size
  cpu to ready  processor time of the program's own process until login-ready
  ui cpu handoff  processor time of the program's UI thread from the decision to the game page's load
  tree login    PSS of the whole process tree 200 ms after login-ready, before the page decides
  rss           resident memory of the program's own process (VmRSS) at login-ready; its anonymous
                and shared-memory parts (RssAnon, RssShmem: X shared-memory images) beside it
  before        VmRSS at the hand-off decision
  peak          highest VmRSS from the decision until the game page has loaded and settled (VmHWM,
                reset at the decision)
  closed        VmRSS once the game window has been closed again and the program has settled;
                closed - before is what the hand-off left behind (also without RssShmem)
Prints medians with min-max and interquartile range for each program, and the ratios launcher /
baseline: of the medians, and the median and range of the per-round ratios. The load average is
printed with every round. Needs an X session with a window manager, for instance:
  tests/gui/with-x-session.sh python3 bench/browser/run_bench.py --build build
"""
import argparse
import os
import queue
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from urllib.parse import urlparse

GAME_TITLE = "微端"


def read_beacons(proc, out):
    for line in proc.stdout:
        parts = line.split()
        if len(parts) == 3 and parts[0] == "BEACON":
            out.put((parts[1], int(parts[2]) / 1e6))
        elif len(parts) == 3 and parts[0] == "REQUEST":
            out.put(("request " + parts[1], int(parts[2]) / 1e6))


def status(pid):
    """VmRSS, VmHWM, RssAnon and RssShmem in kB (missing ones -1)."""
    values = {"VmRSS": -1, "VmHWM": -1, "RssAnon": -1, "RssShmem": -1}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                key = line.split(":", 1)[0]
                if key in values:
                    values[key] = int(line.split()[1])
    except OSError:
        pass
    return values


def read_trace(stream, out):
    """The program's own steps ("TRACE <step> <monotonic microseconds>", with KESTRUNE_TRACE set)."""
    for line in stream:
        parts = line.split()
        if len(parts) == 3 and parts[0] == "TRACE":
            out.append((parts[1], int(parts[2]) / 1e6))


def tree_pss_kb(root):
    """PSS summed over `root` and every process below it (web, network and helper processes), in kB."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    parents[int(entry)] = int(f.read().rsplit(")", 1)[1].split()[1])
            except (OSError, IndexError, ValueError):
                pass
    tree, frontier = {root}, [root]
    while frontier:
        parent = frontier.pop()
        for pid, ppid in parents.items():
            if ppid == parent and pid not in tree:
                tree.add(pid)
                frontier.append(pid)
    total = 0
    for pid in tree:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
                        break
        except OSError:
            pass
    return total


class PeakSampler:
    """Samples the tree's PSS every 50 ms from start() until stop(); the highest value seen."""
    def __init__(self, root):
        self.root, self.peak, self._stop = root, 0, threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop.is_set():
            self.peak = max(self.peak, tree_pss_kb(self.root))
            self._stop.wait(0.05)

    def stop(self):
        self._stop.set()
        self._thread.join()
        return self.peak


def thread_cpu_ms(pid):
    """Processor time of the process's main thread (the UI thread) so far, to the nanosecond."""
    try:
        with open(f"/proc/{pid}/schedstat") as f:
            return int(f.read().split()[0]) / 1e6
    except (OSError, IndexError, ValueError):
        return -1


def cpu_ms(pid):
    """User and system time the process itself has used so far (its helper processes not counted)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000.0 / os.sysconf("SC_CLK_TCK")
    except (OSError, IndexError, ValueError):
        return -1


def reset_peak(pid):
    try:
        with open(f"/proc/{pid}/clear_refs", "w") as f:
            f.write("5")  # resets VmHWM to the current VmRSS
        return True
    except OSError:
        return False


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def wait_for(beacons, name, timeout, passed=None):
    """The time of the next event called name; the first time of every other event on the way goes
    into passed."""
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
        if passed is not None:
            passed.setdefault(what, when)


def game_windows(pid):
    """X ids of the program's windows whose title names the game window."""
    out = subprocess.run(["wmctrl", "-l", "-p"], capture_output=True, text=True).stdout
    found = []
    for line in out.splitlines():
        fields = line.split(None, 4)
        if len(fields) == 5 and fields[2] == str(pid) and GAME_TITLE in fields[4]:
            found.append(fields[0])
    return found


def close_game_window(pid, timeout):
    """Asks the window manager to close the game window, as the user would; True once it is gone."""
    deadline = time.monotonic() + timeout
    windows = []
    while not windows and time.monotonic() < deadline:
        windows = game_windows(pid)
        if not windows:
            time.sleep(0.05)
    for wid in windows:
        subprocess.run(["wmctrl", "-i", "-c", wid], capture_output=True)
    while time.monotonic() < deadline:
        if not game_windows(pid):
            return True
        time.sleep(0.05)
    return False


def one_run(server, port, command, home, timeout, settle, in_place=False):
    """One start, hand-off and close. `in_place`: the program hands off by navigating its one window
    (a browser's app mode), so there is no game window to close."""
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local/share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
               KESTRUNE_TRACE="1")
    srv = subprocess.Popen([server, "--port", str(port), "--bench"], stdout=subprocess.PIPE, text=True)
    srv.stdout.readline()  # "serving ..."
    beacons = queue.Queue()
    threading.Thread(target=read_beacons, args=(srv, beacons), daemon=True).start()
    start = time.monotonic()
    prog = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, env=env,
                            start_new_session=True)
    trace = []
    threading.Thread(target=read_trace, args=(prog.stderr, trace), daemon=True).start()
    result = None
    try:
        ready = wait_for(beacons, "login-ready", timeout)
        if ready is None:
            return None
        at_ready = status(prog.pid)
        tree_at_ready = tree_pss_kb(prog.pid)
        cpu_at_ready = cpu_ms(prog.pid)
        # Once the login page has settled, before the page decides (300 ms after its load event):
        # what the program holds while a player reads the login page.
        time.sleep(max(0.0, ready + 0.2 - time.monotonic()))
        tree_settled = tree_pss_kb(prog.pid)
        decided = wait_for(beacons, "handoff", timeout)
        if decided is None:
            return None
        at_decision = status(prog.pid)
        ui_at_decision = thread_cpu_ms(prog.pid)
        before = at_decision["VmRSS"]
        reset_peak(prog.pid)
        sampler = PeakSampler(prog.pid)
        passed = {}
        game = wait_for(beacons, "game-ready", timeout, passed)
        if game is None:
            sampler.stop()
            return None
        ui_at_game = thread_cpu_ms(prog.pid)
        time.sleep(settle)
        while not beacons.empty():  # the page's last beacons may come after its load event's
            what, when = beacons.get_nowait()
            passed.setdefault(what, when)
        peak = status(prog.pid)["VmHWM"]
        tree_peak = sampler.stop()
        closed = closed_shm = tree_closed = -1
        if not in_place and close_game_window(prog.pid, timeout):
            time.sleep(settle)
            after = status(prog.pid)
            closed, closed_shm = after["VmRSS"], after["RssShmem"]
            tree_closed = tree_pss_kb(prog.pid)
        # The program's own steps of the hand-off, from the decision on (ms).
        steps = {}
        for step, when in list(trace):
            if when < decided - 0.001 or when > game:
                continue
            name, n = step, 1
            while name in steps:  # a step taken again (the game view's own navigation) is numbered
                n += 1
                name = f"{step}#{n}"
            steps[name] = (when - decided) * 1000.0
        result = {
            "start->ready ms": (ready - start) * 1000.0,
            "handoff ms": (game - decided) * 1000.0,
            "to request ms": (passed["request /game.html"] - decided) * 1000.0 if "request /game.html" in passed else None,
            "to script ms": (passed["request /record.js"] - decided) * 1000.0 if "request /record.js" in passed else None,
            "cpu to ready ms": cpu_at_ready,
            "ui cpu handoff ms": ui_at_game - ui_at_decision,
            "rss kB": at_ready["VmRSS"],
            "anon kB": at_ready["RssAnon"],
            "shmem kB": at_ready["RssShmem"],
            "before kB": before,
            "peak kB": peak,
            "closed kB": closed,
            "closed shmem kB": closed_shm,
            "closed-before kB": closed - before if closed >= 0 else None,
            "closed-before no-shm kB": (closed - closed_shm) - (before - at_decision["RssShmem"]) if closed >= 0 else None,
            "tree pss kB": tree_at_ready,
            "tree login pss kB": tree_settled,
            "tree peak pss kB": tree_peak,
            "tree closed pss kB": tree_closed if tree_closed >= 0 else None,
            "steps": steps,
            # The game page's beacon "game-viewport-<first script's>-<load event's>": what it saw.
            "viewport": next((k.split("-")[2] for k in passed if k.startswith("game-viewport-")), None),
        }
    finally:
        os.killpg(prog.pid, signal.SIGTERM)
        prog.wait()
        srv.terminate()
        srv.wait()
    return result


def spread(values):
    values = sorted(values)
    if len(values) >= 4:
        q = statistics.quantiles(values, n=4)
        iqr = f"IQR {q[0]:.1f}-{q[2]:.1f}"
    else:
        iqr = "IQR n/a"
    return f"median {statistics.median(values):9.1f}  min-max {values[0]:.1f}-{values[-1]:.1f}  {iqr}"


def login_port(build):
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            m = re.match(r"KESTRUNE_LOGIN_URL:\w+=(.*)", line.strip())
            if m:
                return urlparse(m.group(1)).port or 80
    raise SystemExit("no KESTRUNE_LOGIN_URL in the build's CMakeCache.txt")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", help="build directory (programs and the login address's port from there)")
    parser.add_argument("--server")
    parser.add_argument("--baseline")
    parser.add_argument("--launcher", help="the launcher binary (its built-in login address must use --port)")
    parser.add_argument("--port", type=int)
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--timeout", type=float, default=30.0)
    parser.add_argument("--settle", type=float, default=1.0, help="seconds to wait before reading memory")
    parser.add_argument("--final-size-baseline", action="store_true",
                        help="also run the baseline whose game page waits for the maximised size, as the "
                             "launcher's does, and give the ratios against it too")
    parser.add_argument("--chromium", nargs="?", const="chromium", metavar="PROGRAM",
                        help="also run a browser's app mode (Chromium's --app, a profile folder of its own) as "
                             "the bare window a player might use instead; its hand-off is a navigation in place")
    parser.add_argument("--print-steps", action="store_true",
                        help="print every run's own steps of the hand-off, not only their medians")
    parser.add_argument("--first-start", action="store_true",
                        help="every run starts from empty home, cache and data folders (a first start)")
    args = parser.parse_args()
    if args.build:
        args.server = args.server or os.path.join(args.build, "demo", "kestrune-demo-server")
        args.baseline = args.baseline or os.path.join(args.build, "bench", "browser", "kestrune-bench-baseline")
        args.launcher = args.launcher or os.path.join(args.build, "kestrune")
        args.port = args.port or login_port(args.build)
    if not (args.server and args.baseline and args.port):
        parser.error("give --build, or --server, --baseline and --port")
    if "DISPLAY" not in os.environ:
        parser.error("needs an X session (tests/gui/with-x-session.sh)")

    url = f"http://127.0.0.1:{args.port}/login.html"
    programs = [("baseline", [args.baseline, url], False)]
    if args.final_size_baseline:
        programs.append(("baseline-final-size", [args.baseline, "--final-size", url], False))
    if args.launcher:
        programs.append(("launcher", [args.launcher], False))
    if args.chromium:
        chromium = shutil.which(args.chromium)
        if chromium is None:
            parser.error(f"--chromium: no program {args.chromium!r} on the PATH")
        profile = tempfile.mkdtemp(prefix="kestrune-bench-chromium-profile-")
        command = [chromium, f"--app={url}", f"--user-data-dir={profile}", "--no-first-run",
                   "--no-default-browser-check", "--window-size=1250,870",
                   # This machine's network is closed: the browser's own background traffic (updates,
                   # sync, safe browsing) would only fail, again and again, during the measurement.
                   "--disable-background-networking", "--disable-component-update", "--disable-sync"]
        if os.geteuid() == 0:
            command.append("--no-sandbox")  # Chromium refuses to run as root with its sandbox
        programs.append(("chromium-app", command, True))
    results = {name: [] for name, _, _ in programs}
    rounds = []
    homes = {name: tempfile.mkdtemp(prefix=f"kestrune-bench-{name}-") for name, _, _ in programs}
    print(f"load at start: {load_average()}", flush=True)
    # One uncounted run each first: what is measured is a start like every later one (the launcher's
    # registry values, desktop link and icon in place, the web engine's caches made), not the first.
    for name, command, in_place in programs:
        if args.first_start:
            break
        one_run(args.server, args.port, command, homes[name], args.timeout, args.settle, in_place)
    for i in range(args.runs):
        order = programs if i % 2 == 0 else list(reversed(programs))
        this_round = {}
        for name, command, in_place in order:
            if args.first_start:
                shutil.rmtree(homes[name], ignore_errors=True)
                os.makedirs(homes[name])
            r = one_run(args.server, args.port, command, homes[name], args.timeout, args.settle, in_place)
            if r is None:
                print(f"  {name}: run failed (no beacons)", file=sys.stderr)
                continue
            results[name].append(r)
            this_round[name] = r
            if args.print_steps:
                timeline = " ".join(f"{step} {at:.1f}" for step, at in sorted(r["steps"].items(), key=lambda s: s[1]))
                request = f"{r['to request ms']:.1f}" if r["to request ms"] is not None else "-"
                print(f"  {name}: handoff {r['handoff ms']:.1f} request {request}: {timeline}", flush=True)
        rounds.append(this_round)
        line = "  ".join(f"{name} ready {r['start->ready ms']:.0f} ms handoff {r['handoff ms']:.0f} ms "
                         f"rss {r['rss kB']} kB" for name, r in this_round.items())
        print(f"round {i + 1} (load {load_average()}): {line}", flush=True)
    print(f"load at end: {load_average()}")
    for home in homes.values():
        shutil.rmtree(home, ignore_errors=True)

    keys = ["start->ready ms", "handoff ms", "to request ms", "to script ms", "cpu to ready ms", "ui cpu handoff ms", "rss kB", "anon kB", "shmem kB", "before kB", "peak kB", "closed kB",
            "closed shmem kB", "closed-before kB", "closed-before no-shm kB", "tree pss kB", "tree login pss kB", "tree peak pss kB",
            "tree closed pss kB"]
    for name, runs in results.items():
        if not runs:
            continue
        print(f"{name} ({len(runs)} runs)")
        for key in keys:
            values = [r[key] for r in runs if r[key] is not None]
            if values:
                print(f"  {key:17s} {spread(values)}")
        seen = {}
        for r in runs:
            seen[r["viewport"] or "none"] = seen.get(r["viewport"] or "none", 0) + 1
        print("  game page's first script saw " + ", ".join(f"{size} in {n}" for size, n in sorted(seen.items())))
        # The program's own steps of the hand-off (KESTRUNE_TRACE), ms after the page's decision.
        names = []
        for r in runs:
            names += [n for n in r["steps"] if n not in names]
        for step in sorted(names, key=lambda n: statistics.median(r["steps"][n] for r in runs if n in r["steps"])):
            values = [r["steps"][step] for r in runs if step in r["steps"]]
            print(f"  step {step:22s} {spread(values)}")
    for base in [name for name, _, _ in programs if name not in ("launcher", "chromium-app")]:
        if not results.get("launcher") or not results.get(base):
            continue
        both = [r for r in rounds if "launcher" in r and base in r]
        print(f"launcher / {base}")
        for key in ["start->ready ms", "handoff ms", "to request ms", "cpu to ready ms", "rss kB", "peak kB",
                    "tree pss kB", "tree login pss kB"]:
            lvalues = [r[key] for r in results["launcher"] if r[key] is not None]
            bvalues = [r[key] for r in results[base] if r[key] is not None]
            pairs = [r["launcher"][key] / r[base][key] for r in both if r["launcher"][key] is not None and r[base][key]]
            if not lvalues or not bvalues or not pairs:
                continue
            lm, bm = statistics.median(lvalues), statistics.median(bvalues)
            print(f"  {key:17s} ratio of medians {lm / bm:.3f}; per round median {statistics.median(pairs):.3f} "
                  f"min-max {min(pairs):.3f}-{max(pairs):.3f}")
        for key in ["rss kB", "anon kB", "peak kB", "closed kB"]:
            diffs = [(r["launcher"][key] - r[base][key]) / 1024.0 for r in both
                     if r["launcher"][key] >= 0 and r[base][key] >= 0]
            if diffs:
                print(f"  {key:17s} launcher - {base}: median {statistics.median(diffs):+.1f} MiB "
                      f"min-max {min(diffs):+.1f}-{max(diffs):+.1f} MiB")
    if results.get("launcher") and results.get("chromium-app"):
        print("launcher / chromium-app (its hand-off is a navigation in its one window: given beside ours, not as a ratio)")
        for key in ["start->ready ms", "tree pss kB"]:
            lm = statistics.median(r[key] for r in results["launcher"])
            cm = statistics.median(r[key] for r in results["chromium-app"])
            print(f"  {key:17s} ratio of medians {lm / cm:.3f} ({lm:.0f} against {cm:.0f})")
        hl = statistics.median(r["handoff ms"] for r in results["launcher"])
        hc = statistics.median(r["handoff ms"] for r in results["chromium-app"])
        print(f"  handoff ms        launcher {hl:.1f} (a new maximised window); chromium-app {hc:.1f} (in place)")
    return 0 if any(results.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
