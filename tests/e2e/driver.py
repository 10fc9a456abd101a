"""Drives the real client under Wine in Xvfb: start it, find its windows, read
pixels of screenshots, send input with xdotool, read the stand-in browser's log.

Expects the environment the test harness sets up: DISPLAY, WINEPREFIX (with the
stand-in registered), a warm wineserver, and the demo platform on the port the
client was built for (DUSKMERE_PLATFORM_PORT, 8350 by default).
"""
import json
import os
import subprocess
import tempfile
import time
import unittest

ROOT = os.environ.get("DUSKMERE_ROOT") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("DUSKMERE_BUILD") or os.path.join(ROOT, "build", "x64")
CLIENT = os.path.join(BUILD, "duskmere.exe")
SCREEN = (1920, 1080)
PLATFORM = "http://127.0.0.1:%s" % os.environ.get("DUSKMERE_PLATFORM_PORT", "8350")


def wine_env(**extra):
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    env.update({k: str(v) for k, v in extra.items()})
    return env


def run(*args, check=True, timeout=30):
    return subprocess.run(args, check=check, timeout=timeout, capture_output=True, text=True).stdout


def wait_for(predicate, timeout=15.0, interval=0.1, what="condition"):
    """Polls until predicate() is truthy; returns its value or raises."""
    end = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


# --- windows -------------------------------------------------------------

def find_windows(name, visible=True):
    args = ["xdotool", "search"] + (["--onlyvisible"] if visible else []) + ["--name", name]
    out = subprocess.run(args, capture_output=True, text=True).stdout
    return [int(w) for w in out.split()]


def geometry(window):
    """(x, y, width, height) of an X window, in screen coordinates."""
    values = {}
    for line in run("xdotool", "getwindowgeometry", "--shell", str(window)).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value) if value.lstrip("-").isdigit() else value
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


def is_viewable(window):
    out = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True).stdout
    return "IsViewable" in out


def client_windows():
    """Visible top-level X windows of the client (Wine sets WM_CLASS to the exe)."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "duskmere.exe"],
                         capture_output=True, text=True).stdout
    return [int(w) for w in out.split()]


def wait_window_of_size(size, timeout=20.0):
    """The visible client window of exactly `size`, e.g. a dialog without a title."""
    def found():
        for window in client_windows():
            try:
                if geometry(window)[2:] == tuple(size):
                    return window
            except subprocess.CalledProcessError:
                pass
        return None
    return wait_for(found, timeout, what="client window of size %s" % (size,))


def wait_window(name, timeout=20.0, size=None):
    """The one visible window called `name` (of the given size, if any)."""
    def found():
        for window in find_windows(name):
            if size is None or geometry(window)[2:] == tuple(size):
                return window
        return None
    return wait_for(found, timeout, what="window %r" % name)


# --- input ---------------------------------------------------------------

def focus(window):
    subprocess.run(["xdotool", "windowfocus", "--sync", str(window)], capture_output=True, timeout=10)


def key(window, *keys):
    focus(window)
    run("xdotool", "key", "--window", str(window), *keys)
    # A modifier left down (a client that ended on alt+F4) would reach every later test.
    subprocess.run(["xdotool", "keyup", "alt", "ctrl", "shift", "super"], capture_output=True)


def click(x, y, button=1, repeat=1):
    run("xdotool", "mousemove", "--sync", str(x), str(y))
    time.sleep(0.1)
    run("xdotool", "click", "--repeat", str(repeat), "--delay", "80", str(button))


def drag(x, y, dx, dy, steps=10):
    run("xdotool", "mousemove", "--sync", str(x), str(y))
    time.sleep(0.1)
    run("xdotool", "mousedown", "1")
    for i in range(1, steps + 1):
        time.sleep(0.03)
        run("xdotool", "mousemove", str(x + dx * i // steps), str(y + dy * i // steps))
    time.sleep(0.2)
    run("xdotool", "mouseup", "1")


# --- pixels --------------------------------------------------------------

class Screenshot:
    """The whole screen, read once; pixel(x, y) gives (r, g, b)."""

    def __init__(self):
        fd, self.path = tempfile.mkstemp(suffix=".rgb")
        os.close(fd)
        run("import", "-window", "root", "-depth", "8", "rgb:" + self.path)
        with open(self.path, "rb") as f:
            self.data = f.read()
        os.unlink(self.path)

    def pixel(self, x, y):
        offset = (y * SCREEN[0] + x) * 3
        return tuple(self.data[offset:offset + 3])

    def save(self, path):
        run("import", "-window", "root", path)


def png_pixel(path, x, y):
    """(r, g, b, a) of one pixel of an image file."""
    out = subprocess.run(["convert", path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgba:-"],
                         capture_output=True, check=True).stdout
    return tuple(out[:4])


def close_to(a, b, tolerance=24):
    return all(abs(int(p) - int(q)) <= tolerance for p, q in zip(a, b))


def underlay(rgb):
    """A screen-sized window of one colour, mapped first so that it lies under the
    client: see-through pixels of the client then show that colour. Returns the
    process showing it."""
    fd, path = tempfile.mkstemp(suffix=".png")
    os.close(fd)
    run("convert", "-size", "%dx%d" % SCREEN, "xc:rgb(%d,%d,%d)" % rgb, path)
    proc = subprocess.Popen(["display", "-title", "underlay", "-geometry", "+0+0", path],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_window("underlay", size=SCREEN)
    finally:
        os.unlink(path)
    return proc


# --- the client ----------------------------------------------------------

class Client:
    """One run of duskmere.exe with its own stand-in browser log."""

    def __init__(self, **env):
        fd, self.log_path = tempfile.mkstemp(prefix="standin-", suffix=".jsonl")
        os.close(fd)
        self.proc = subprocess.Popen(["wine", CLIENT], env=wine_env(STANDIN_BROWSER_LOG=self.log_path, **env),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def log(self):
        with open(self.log_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def events(self, event, **match):
        return [e for e in self.log() if e.get("event") == event
                and all(e.get(k) == v for k, v in match.items())]

    def wait_event(self, event, timeout=20.0, **match):
        return wait_for(lambda: self.events(event, **match), timeout, what="stand-in event %s %s" % (event, match))

    def game_page_shown(self):
        """The game browser's first log line as shown after its first page came, or None."""
        arrived = False
        for line in self.log():
            if line["instance"] != 2:
                continue
            arrived = arrived or line["event"] == "navigate_complete"
            if arrived and line["event"] == "window" and line["visible"]:
                return line
        return None

    def exit_code(self, timeout=20.0):
        return self.proc.wait(timeout=timeout)

    def running(self):
        return self.proc.poll() is None

    def stop(self):
        if self.running():
            self.proc.kill()
            self.proc.wait(timeout=10)
        if os.path.exists(self.log_path):
            os.unlink(self.log_path)


class ClientTest(unittest.TestCase):
    """A test case that starts a fresh client and always ends it."""

    def start_underlay(self, rgb):
        proc = underlay(rgb)
        self.addCleanup(lambda: (proc.kill(), proc.wait()))
        return proc

    def start_client(self, **env):
        client = Client(**env)
        self.addCleanup(client.stop)
        return client


def main():
    unittest.main(verbosity=2)


# --- the login windows ---------------------------------------------------

BACKDROP_SIZE = (980, 668)
PANEL_BROWSER = (270, 141, 631, 444)   # x, y, w, h in the panel's client area


def is_link_blue(rgb):
    r, g, b = rgb
    return b >= 150 and r <= 110 and g <= 110


def link_rows(shot, left, top, width, height, gap=5):
    """Centre rows of the lines of link text drawn in a screen rectangle, top to bottom.
    Runs of blue rows less than `gap` apart belong to one line (glyphs have holes)."""
    runs = []
    for y in range(top, top + height):
        if any(is_link_blue(shot.pixel(x, y)) for x in range(left + 2, left + min(width, 320), 2)):
            if runs and y - runs[-1][1] <= gap:
                runs[-1][1] = y
            else:
                runs.append([y, y])
    return [(first + last) // 2 for first, last in runs]


class LoginWindows:
    """The backdrop of a running client and the page its panel shows."""

    def __init__(self, client):
        self.client = client
        self.backdrop = wait_window("Duskmere", size=BACKDROP_SIZE)

    def browser_rect(self):
        x, y, _, _ = geometry(self.backdrop)
        bx, by, bw, bh = PANEL_BROWSER
        return x + bx, y + by, bw, bh

    def wait_page(self, path, timeout=20.0):
        url = PLATFORM + path
        self.client.wait_event("document_complete", timeout, instance=1, url=url, frame=False)
        time.sleep(0.5)  # the page is drawn after the event

    def click_link(self, index):
        left, top, width, height = self.browser_rect()
        rows = wait_for(lambda: link_rows(Screenshot(), left, top, width, height), 10, what="links drawn")
        if index >= len(rows):
            raise AssertionError("page shows %d links, wanted link %d" % (len(rows), index))
        click(left + 12, rows[index])
