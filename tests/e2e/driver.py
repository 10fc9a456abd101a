"""Drives the real client under Wine in Xvfb: start it, find its windows, read
pixels of screenshots, send input with xdotool, read the stand-in browser's log.

Expects the environment the test harness sets up: DISPLAY, WINEPREFIX (with the
stand-in registered), a warm wineserver, and the demo platform on the port the
client was built for (DUSKMERE_PLATFORM_PORT, 8350 by default).
"""
import ctypes
import json
import os
import pwd
import re
import select
import signal
import socket
import subprocess
import tempfile
import threading
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


def wait_for(predicate, timeout=15.0, interval=0.1, what="condition", seen=None):
    """Polls until predicate() is truthy; returns its value or raises, with
    what seen() reports at that moment if given."""
    end = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > end:
            raise AssertionError("timed out waiting for " + what + ("; seen: " + seen() if seen else ""))
        time.sleep(interval)


# --- windows -------------------------------------------------------------

def find_windows(name, visible=True):
    args = ["xdotool", "search"] + (["--onlyvisible"] if visible else []) + ["--name", name]
    out = subprocess.run(args, capture_output=True, text=True).stdout
    return [int(w) for w in out.split()]


_XWININFO = re.compile(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s+(-?\d+)", re.M)


def geometry(window):
    """(x, y, width, height) of an X window, in screen coordinates. (xdotool's
    geometry counts a window manager's frame offset twice.)"""
    values = dict(_XWININFO.findall(run("xwininfo", "-id", str(window))))
    return tuple(int(values[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


def settled_geometry(window, timeout=10.0):
    """geometry(window) once it holds still: three reads 0.1 s apart agree. A
    window just mapped may still be on its way to its place (a window manager
    framing it, Wine replacing its X window)."""
    reads = []

    def still():
        reads.append(geometry(window))
        return reads[-1] if len(reads) >= 3 and reads[-3] == reads[-2] == reads[-1] else None
    return wait_for(still, timeout, what="window %d holding still" % window)


class _ConfigureEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("above", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class _Event(ctypes.Union):
    _fields_ = [("xconfigure", _ConfigureEvent), ("pad", ctypes.c_long * 24)]


def report_place(window, x, y, width, height):
    """Tells the owner of `window` that it stands at x, y on the screen, as a
    window manager does with a synthetic ConfigureNotify, without moving it."""
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_Event)]
    for name in ("XFlush", "XCloseDisplay"):
        getattr(xlib, name).argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(None)
    if not display:
        raise AssertionError("no X display to send to")
    event = _Event()
    event.xconfigure = _ConfigureEvent(type=22, send_event=1, display=display, event=window, window=window,
                                       x=x, y=y, width=width, height=height)
    structure_notify_mask = 1 << 17
    sent = xlib.XSendEvent(display, window, 0, structure_notify_mask, ctypes.byref(event))
    xlib.XFlush(display)
    xlib.XCloseDisplay(display)
    if not sent:
        raise AssertionError("ConfigureNotify to window %d not sent" % window)


def is_viewable(window):
    out = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True).stdout
    return "IsViewable" in out


def client_windows():
    """Visible top-level X windows of the client (Wine sets WM_CLASS to the exe)."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "duskmere.exe"],
                         capture_output=True, text=True).stdout
    return [int(w) for w in out.split()]


def _geometries(windows):
    """(window, geometry) for each of `windows`, as they are asked; None for a
    window destroyed since it was listed."""
    for window in windows:
        try:
            yield window, geometry(window)
        except subprocess.CalledProcessError:
            yield window, None


def _first_of_size(windows, size):
    """The first of `windows` of `size` (any size if None) still there."""
    return next((window for window, placed in _geometries(windows)
                 if placed and (size is None or placed[2:] == tuple(size))), None)


def wait_window_of_size(size, timeout=20.0):
    """The visible client window of exactly `size`, e.g. a dialog without a title."""
    return wait_for(lambda: _first_of_size(client_windows(), size), timeout,
                    what="client window of size %s" % (size,))


def wait_window(name, timeout=20.0, size=None):
    """The one visible window called `name` (of the given size, if any)."""
    return wait_for(lambda: _first_of_size(find_windows(name), size), timeout, what="window %r" % name)


# --- input ---------------------------------------------------------------

def window_manager():
    """Whether a window manager runs on the display (it names itself on the root)."""
    out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True).stdout
    return "window id" in out


def active_window():
    """The window the window manager made active (_NET_ACTIVE_WINDOW), or None."""
    out = subprocess.run(["xprop", "-root", "_NET_ACTIVE_WINDOW"], capture_output=True, text=True).stdout
    ids = re.findall(r"0x[0-9a-f]+", out)
    return int(ids[0], 16) if ids and int(ids[0], 16) else None


def input_focus():
    """The X window that has the keyboard focus, or None."""
    out = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout
    return int(out) if out.strip().isdigit() else None


def focus(window):
    """Gives `window` the keyboard focus: through the window manager when one
    runs (as a click on the window would), else straight from the X server.
    With a window manager the focus moves once the window manager and Wine are
    done; keys typed before then would reach the window that had it."""
    if window_manager():
        subprocess.run(["xdotool", "windowactivate", "--sync", str(window)], capture_output=True, timeout=10)
        wait_for(lambda: input_focus() == window, 5, what="keyboard focus on window %d" % window)
    else:
        subprocess.run(["xdotool", "windowfocus", "--sync", str(window)], capture_output=True, timeout=10)


def key(window, *keys):
    focus(window)
    # Once the window has the focus, the keys go where a keyboard's would. Named,
    # xdotool would send the rest of a combination as events of its own when the
    # window went on the first key (alt+F4) and stop on the error.
    target = [] if window_manager() else ["--window", str(window)]
    try:
        run("xdotool", "key", *target, *keys)
    finally:
        # A key left down would repeat into every later test (with a window
        # manager, a held alt+F4 closes each window that becomes active).
        held = {part for combination in keys for part in combination.split("+")}
        subprocess.run(["xdotool", "keyup", *sorted(held | {"alt", "ctrl", "shift", "super"})], capture_output=True)


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
        # The heap check reads what Wine says about the client from its stderr.
        with open(os.environ.get("DUSKMERE_CLIENT_STDERR") or os.devnull, "ab") as stderr:
            self.proc = subprocess.Popen(["wine", CLIENT], env=wine_env(STANDIN_BROWSER_LOG=self.log_path, **env),
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=stderr)

    def log(self):
        with open(self.log_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def events(self, event, **match):
        return [e for e in self.log() if e.get("event") == event
                and all(e.get(k) == v for k, v in match.items())]

    def wait_event(self, event, timeout=20.0, after=0, **match):
        """The matching log lines from line `after` on, once there is one."""
        def found():
            return [e for e in self.log()[after:] if e.get("event") == event
                    and all(e.get(k) == v for k, v in match.items())]
        return wait_for(found, timeout, what="stand-in event %s %s" % (event, match))

    def mark(self):
        """Where the log ends now: wait_event(after=...) sees only what comes later."""
        return len(self.log())

    def wait_painted(self, instance, url, timeout=20.0):
        """Waits until the browser has completed and drawn its document `url`:
        after its last top-level navigate_complete for it, both its
        document_complete and its first paint, in either order (a page with
        frames is drawn before its frames complete, and it completes last)."""
        def drawn():
            log = self.log()
            arrivals = [i for i, e in enumerate(log) if e.get("instance") == instance
                        and e["event"] == "navigate_complete" and e["url"] == url and not e["frame"]]
            since = [e["event"] for e in log[arrivals[-1]:] if e.get("instance") == instance
                     and e.get("url") == url and not e.get("frame")] if arrivals else []
            return "document_complete" in since and "painted" in since
        wait_for(drawn, timeout, what="browser %d showing %s" % (instance, url))

    def view_origin(self, instance):
        """(x, y) of the browser's view in its parent's client area, as last placed."""
        placed = self.events("window", instance=instance)
        if not placed:
            raise AssertionError("browser %d was never placed" % instance)
        return placed[-1]["x"], placed[-1]["y"]

    def element(self, instance, kind, name, url=None, timeout=10.0):
        """Centre of a field, button or link of the browser's current document in
        its view's client coordinates, as the stand-in last laid it out; with
        `url`, only once that document is the current one."""
        def find():
            laid_out = self.events("elements", instance=instance)
            if not laid_out or (url is not None and laid_out[-1]["url"] != url):
                return None
            for entry in laid_out[-1]["elements"].split("|"):
                k, n, x, y, w, h = entry.split(" ")
                if (k, n) == (kind, name):
                    return int(x) + int(w) // 2, int(y) + int(h) // 2
            return None
        try:
            return wait_for(find, timeout)
        except AssertionError:
            laid_out = self.events("elements", instance=instance)
            raise AssertionError("no %s %s in browser %d%s; it last laid out %s" % (
                kind, name, instance, " on " + url if url else "", laid_out[-1] if laid_out else "nothing"))

    def elements(self, instance):
        """(kind, name) of each element of the browser's current document."""
        laid_out = self.events("elements", instance=instance)
        if not laid_out or not laid_out[-1]["elements"]:
            return []
        return [tuple(entry.split(" ")[:2]) for entry in laid_out[-1]["elements"].split("|")]

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
# The demo platform's account, and the server list its login form redirects to.
DEMO_USER = "wanderer"
DEMO_PASSWORD = "jade-gate"
LOGGED_IN = "/vornak/servers"
PANEL_BROWSER = (270, 141, 631, 444)   # x, y, w, h in the panel's client area


SERVER_1 = "/vornak/play?server=1&client=1"   # the server list's first link


def shown_before_first_page(log, instance):
    """The `window` lines that put a browser on the screen before its first page
    arrived, and the last one before it if that left the browser visible (its
    window would show with the window above it). The control shows its window
    as it is activated in place, inside a window not yet shown; the host hides
    it again, and that is all a player could never see."""
    shown, last = [], None
    for line in log:
        if line.get("instance") != instance:
            continue
        if line["event"] in ("navigate_complete", "document_complete"):
            return shown + ([last] if last and last["visible"] and last not in shown else [])
        if line["event"] == "window":
            last = line
            if line["shown"]:
                shown.append(line)
    raise AssertionError("browser %d completed no page" % instance)


class LoginWindows:
    """The backdrop of a running client and the page its panel shows."""

    def __init__(self, client):
        self.client = client
        self.backdrop, self.panel = wait_for(self._placed, 20, what="login windows in place", seen=self._seen)

    @staticmethod
    def _seen():
        """The client's windows and where they are (None: gone), for a failure message."""
        return "windows named Duskmere %s, client windows %s" % (list(_geometries(find_windows("Duskmere"))),
                                                                  list(_geometries(client_windows())))

    def _placed(self):
        """(backdrop, panel) once the one backdrop holds still with its panel over
        it: the panel comes up once the backdrop is shown on its final X window."""
        backdrops = find_windows("Duskmere")
        try:
            backdrops = [w for w in backdrops if geometry(w)[2:] == BACKDROP_SIZE]
            if len(backdrops) != 1:
                return None
            placed = settled_geometry(backdrops[0])
            panels = [w for w in client_windows() if w != backdrops[0] and geometry(w) == placed]
        except subprocess.CalledProcessError:
            return None  # replaced meanwhile
        return (backdrops[0], panels[0]) if len(panels) == 1 else None

    def browser_rect(self):
        x, y, _, _ = geometry(self.backdrop)
        bx, by, bw, bh = PANEL_BROWSER
        return x + bx, y + by, bw, bh

    def wait_page(self, path, timeout=20.0):
        """Waits until the panel shows the page at `path`, drawn."""
        self.client.wait_painted(1, PLATFORM + path, timeout)

    def element(self, kind, name, path="/vornak"):
        """Screen centre of a field, button or link of the panel's page, as the
        stand-in last laid it out."""
        x, y = self.client.element(1, kind, name, PLATFORM + path)
        left, top, _, _ = geometry(self.backdrop)
        view_x, view_y = self.client.view_origin(1)
        return left + view_x + x, top + view_y + y

    def type_into(self, name, text):
        """Clicks into a field of the login form and types, as a player does."""
        click(*self.element("field", name))
        run("xdotool", "type", "--delay", "30", text)

    def input_taken(self):
        """Returns once the login windows' thread has taken every input sent so
        far: a key typed into the login form after it reaches the page."""
        click(*self.element("field", "user"))
        seen = self.client.mark()
        run("xdotool", "type", "k")
        self.client.wait_event("edit", after=seen, instance=1, name="user")

    def fill_in(self, user=DEMO_USER, password=DEMO_PASSWORD):
        self.type_into("user", user)
        self.type_into("password", password)

    def log_in(self):
        """Types the demo account into the login form and presses its button;
        returns once the server list shows."""
        self.fill_in()
        click(*self.element("button", ""))
        self.wait_page(LOGGED_IN)

    def click_link(self, href, path=LOGGED_IN):
        """Clicks the link to `href` on the panel's page at `path`."""
        click(*self.element("link", href, path))


# --- what the X server saw -------------------------------------------------

class MappedWindows:
    """Top-level X windows mapped while this watch runs, as the X server reports
    them (xev on the root window), so that a window shown for an instant is
    seen too. `mapped` lists (window, name, size); the name is None when the
    window was gone before it could be asked, the size the last one reported.
    Under a window manager the frame is what maps on the root: it stands for
    the window it was given (ReparentNotify)."""

    def __init__(self):
        self.mapped = []
        self._sizes = {}
        self._framed = {}
        self._marks = set()
        self._lock = threading.Lock()
        self._proc = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure",
                                       "-event", "property"], stdout=subprocess.PIPE,
                                      stderr=subprocess.DEVNULL, text=True)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        # Watching from the moment a property change of ours comes back.
        mark = "_DUSKMERE_WATCH_%d" % os.getpid()
        wait_for(lambda: self._mark(mark), 10, interval=0.05, what="X event watch")
        run("xprop", "-root", "-remove", mark)

    def _mark(self, name):
        run("xprop", "-root", "-f", name, "8s", "-set", name, "1")
        with self._lock:
            return name in self._marks

    # The second line of an event names the window it is about, with its size
    # for creations and changes.
    _SUBJECT = re.compile(r"^\s+(?:event|parent) 0x[0-9a-f]+, window (0x[0-9a-f]+)"
                          r"(?:, \(-?\d+,-?\d+\), width (\d+), height (\d+))?")
    _ATOM = re.compile(r"^\s+atom \S+ \((\w+)\)")
    _PARENT = re.compile(r", parent (0x[0-9a-f]+),")

    def _read(self):
        event = None
        for line in self._proc.stdout:
            if line[:1].isalpha():
                event = line.split(" ", 1)[0]
                continue
            atom = self._ATOM.match(line)
            if event == "PropertyNotify" and atom:
                with self._lock:
                    self._marks.add(atom.group(1))
            subject = self._SUBJECT.match(line)
            if not subject:
                continue
            window = int(subject.group(1), 16)
            parent = self._PARENT.search(line)
            with self._lock:
                if event == "ReparentNotify" and parent:
                    self._framed[int(parent.group(1), 16)] = window
                if subject.group(2):
                    self._sizes[window] = (int(subject.group(2)), int(subject.group(3)))
                if event == "MapNotify":
                    window = self._framed.get(window, window)
                size = self._sizes.get(window)
            if event == "MapNotify":
                name = subprocess.run(["xdotool", "getwindowname", str(window)], capture_output=True, text=True)
                with self._lock:
                    self.mapped.append((window, name.stdout.strip() if name.returncode == 0 else None, size))

    def stop(self):
        """The windows mapped so far; the watch ends."""
        if self._proc.poll() is None:
            self._proc.terminate()
            self._proc.wait(timeout=10)
        self._reader.join(timeout=10)
        self._proc.stdout.close()
        with self._lock:
            return list(self.mapped)


# --- programs next to the client ---------------------------------------------

TOOLS = os.path.join(BUILD, "tests", "e2e", "tools")


def tool(name):
    """A Windows program of tests/e2e/tools, as built."""
    path = os.path.join(TOOLS, name + ".exe")
    if not os.path.exists(path):
        raise AssertionError("%s is not built: build the tests (make build)" % path)
    return path


def start_wine(test, *args):
    """A Windows program under Wine for the rest of `test`; its output is readable."""
    proc = subprocess.Popen(["wine"] + list(args), env=wine_env(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def end():
        if proc.poll() is None:
            proc.kill()
        proc.wait(timeout=10)
        proc.stdout.close()
    test.addCleanup(end)
    return proc


def read_line(proc, timeout=20.0):
    """The next line a program started by start_wine writes, without its end."""
    ready, _, _ = select.select([proc.stdout], [], [], timeout)
    if not ready:
        raise AssertionError("timed out waiting for a line from %s" % (proc.args,))
    return proc.stdout.readline().rstrip("\n")


def window_texts(caption):
    """What each visible Windows window captioned `caption` says: the texts of its
    controls, one list per window."""
    out = subprocess.run(["wine", tool("window_texts"), caption], env=wine_env(), capture_output=True,
                         text=True, timeout=30, check=True).stdout
    return [line.split(" | ") for line in out.splitlines() if line.strip()]


def raise_window(caption):
    """Puts a Windows window on top of Wine's own stacking and of X's. While a
    full-screen window holds the pointer, clicks go by Wine's stacking; openbox
    keeps an active full-screen window above every other, so there the window
    is activated as well."""
    subprocess.run(["wine", tool("raise_window"), caption], env=wine_env(), capture_output=True, timeout=30,
                   check=True)
    if window_manager():
        run("xdotool", "windowactivate", "--sync", str(wait_window(caption)))


def tray_shown():
    """Whether Wine's stand-alone notification area is on the screen: it is
    mapped while it holds an icon."""
    return any(is_viewable(w) for w in find_windows("Wine System Tray", visible=False))


def user_folder(*parts):
    """A path on the host inside the Wine user's profile folder."""
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", pwd.getpwuid(os.getuid()).pw_name, *parts)


# The shell's Temporary Internet Files and Cookies folders.
CACHE_FOLDERS = tuple(user_folder("AppData", "Local", "Microsoft", "Windows", name)
                      for name in ("INetCache", "INetCookies"))


# --- the demo platform -------------------------------------------------------

PLATFORM_PORT = int(os.environ.get("DUSKMERE_PLATFORM_PORT", "8350"))


def platform_answers():
    try:
        socket.create_connection(("127.0.0.1", PLATFORM_PORT), timeout=1).close()
        return True
    except OSError:
        return False


class SharedPlatform:
    """The demo platform the harness runs for the whole session, known by the
    pidfile it keeps next to the Wine prefix. A case may stop it, or put one that
    answers differently in its place; restore() brings back a plain one, started
    as the harness starts it, which leaves its id in the same pidfile."""

    def __init__(self):
        folder = os.path.dirname(os.environ["WINEPREFIX"].rstrip("/"))
        self.pidfile = os.path.join(folder, "platform-%d.pid" % PLATFORM_PORT)
        self.log = os.path.join(folder, "platform-%d.log" % PLATFORM_PORT)

    def stop(self):
        with open(self.pidfile) as f:
            pid = int(f.read())
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        wait_for(lambda: not platform_answers(), 10, what="demo platform stopped")

    def start(self, *options):
        """One on the platform's port; options as tools/demo-platform/server.py takes them."""
        if os.path.exists(self.pidfile):
            os.unlink(self.pidfile)
        with open(self.log, "a") as log:
            # Detached: it serves the rest of the run, after this case and this process.
            subprocess.run(["setsid", "--fork", "/usr/bin/python3",
                            os.path.join(ROOT, "tools", "demo-platform", "server.py"),
                            "--port", str(PLATFORM_PORT), "--pidfile", self.pidfile] + list(options),
                           stdin=subprocess.DEVNULL, stdout=log, stderr=log, check=True, timeout=10)
        wait_for(lambda: self._pid_written() and platform_answers(), 10, what="demo platform answering")

    def _pid_written(self):
        try:
            with open(self.pidfile) as f:
                return f.read().endswith("\n")
        except FileNotFoundError:
            return False

    def restore(self):
        if platform_answers():
            self.stop()
        self.start()
