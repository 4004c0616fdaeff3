"""What the launcher GUI tests (Linux and Wine alike) ask of their X session: commands, real input
through xdotool, screenshots and pixels, window geometry and state."""
import re
import subprocess
import time


def run(*cmd, check=True):
    return subprocess.run(cmd, check=check, capture_output=True, text=True).stdout


def xdotool(*args, check=True):
    return run("xdotool", *map(str, args), check=check)


def screen_size():
    m = re.search(r"dimensions:\s+(\d+)x(\d+)", run("xdpyinfo"))
    return int(m.group(1)), int(m.group(2))


def screenshot():
    w, h = screen_size()
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], check=True,
                          capture_output=True).stdout
    return w, h, data


def pixel(shot, x, y):
    w, _, data = shot
    i = (y * w + x) * 3
    return tuple(data[i:i + 3])


def geometry(wid):
    """Client area in root coordinates (xwininfo's absolute position, which frames do not skew)."""
    out = run("xwininfo", "-id", str(wid))

    def field(name):
        return int(re.search(name + r":\s+(-?\d+)", out).group(1))
    return field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")


def net_wm_state(wid):
    return run("xprop", "-id", str(wid), "_NET_WM_STATE", check=False)


def window_under(x, y, settle=0.1):
    """The X window under the pointer once it has been moved to (x, y)."""
    xdotool("mousemove", x, y)
    time.sleep(settle)
    values = dict(line.split("=", 1) for line in xdotool("getmouselocation", "--shell").split())
    return int(values["WINDOW"])


def wait_for(predicate, timeout, what, interval=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError("timed out waiting for " + what)
