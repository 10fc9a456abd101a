#!/usr/bin/env python3
"""Self-test of the stand-in browser control under Wine.

Starts the demo platform on a free port, registers the control in a Wine prefix
(a throwaway one unless --prefix is given), runs the self-test host against the
platform's pages, and checks what really happened: the control's JSON log, the
host's own observations, the platform's request log, the registry, and pixels
of screenshots. Exits non-zero when any check fails.

    python3 tools/standin-browser/selftest/run.py --build /tmp/standin/build
"""

import argparse
import itertools
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[3]
SERVER = ROOT / "tools" / "demo-platform" / "server.py"
CLASS_KEY = r"HKLM\Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}"
SERVER_KEY = CLASS_KEY + r"\InprocServer32"
GAME_BACKGROUND = (0x20, 0x30, 0x48)
WHITE = (255, 255, 255)
# OLEMISC_SETCLIENTSITEFIRST | ACTIVATEWHENVISIBLE | INSIDEOUT | CANTLINKINSIDE | RECOMPOSEONRESIZE
MISC_STATUS = 0x20000 | 0x100 | 0x80 | 0x10 | 0x1
DOCHOSTUIINFO_SIZE_X64 = 32


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(predicate, timeout, interval=0.1):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= end:
            return value
        time.sleep(interval)


class Checks:
    def __init__(self):
        self.failures = []
        self.passed = 0
        self.group = ""

    def start(self, group):
        self.group = group
        print(f"== {group}", flush=True)

    def check(self, condition, what, detail=""):
        if condition:
            self.passed += 1
            print(f"   ok    {what}", flush=True)
        else:
            self.failures.append(f"{self.group}: {what}")
            print(f"   FAIL  {what}" + (f"\n         {detail}" if detail else ""), flush=True)
        return condition


class Wine:
    def __init__(self, prefix, display):
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=display)
        self.env.pop("STANDIN_BROWSER_LOG", None)

    def run(self, *args, timeout=60):
        # Output goes through files, not pipes: Wine's service processes inherit
        # the handles and would keep a pipe open long after the program ends.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(["wine", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=err, timeout=timeout).returncode
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, code, out.read().decode("utf-8", "replace"),
                                               err.read().decode("utf-8", "replace"))

    def reg_query(self, key):
        result = self.run("reg", "query", key)
        return result.returncode == 0, result.stdout

    def reg(self, *args):
        return self.run("reg", *args).returncode == 0


class DemoServer:
    def __init__(self, workdir, name, *options):
        self.port = free_port()
        self.log = workdir / f"server-{name}.log"
        self.process = subprocess.Popen(
            [sys.executable, str(SERVER), "--port", str(self.port), "--log", str(self.log), *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def listening():
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.5):
                    return True
            except OSError:
                return False
        if not wait_until(listening, 10):
            raise RuntimeError(f"demo server {name} did not start")

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def requests(self):
        return self.log.read_text(encoding="utf-8").splitlines() if self.log.exists() else []

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class HostRun:
    """One run of the self-test host; its report lines, exit code and the control's log."""

    counter = itertools.count(1)

    def __init__(self, session, url, *arguments):
        n = next(self.counter)
        self.log_path = session.workdir / f"control-{n}.jsonl"
        self.go_path = session.workdir / f"go-{n}"
        self.out_path = session.workdir / f"host-{n}.out"
        env = dict(session.wine.env, STANDIN_BROWSER_LOG=windows_path(self.log_path))
        # The step HOLD keeps the host's window up until release() is called.
        arguments = ["hold:" + windows_path(self.go_path) if a == "HOLD" else a for a in arguments]
        with open(self.out_path, "wb") as out:
            self.process = subprocess.Popen(["wine", str(session.host_exe), url, *arguments], env=env,
                                            stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        self.returncode = None

    @property
    def lines(self):
        text = self.out_path.read_text(encoding="utf-8", errors="replace") if self.out_path.exists() else ""
        return [line.rstrip("\r") for line in text.split("\n") if line.strip()]

    def wait_ready(self, timeout=40):
        if not wait_until(lambda: self.fact("ready") is not None or self.process.poll() is not None, timeout):
            return None
        ready = self.fact("ready")
        return tuple(int(v) for v in ready.split()) if ready else None

    def release(self):
        self.go_path.touch()

    def finish(self, timeout=60):
        try:
            self.returncode = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.returncode = self.process.wait()
        return self

    def fact(self, key):
        """The rest of the first stdout line that starts with key, or None."""
        for line in self.lines:
            if line == key or line.startswith(key + " "):
                return line[len(key) + 1:]
        return None

    def sink_events(self, sink=1, dispid=None):
        events = []
        for line in self.lines:
            if not line.startswith("event "):
                continue
            fields = dict(part.split("=", 1) for part in line.split(" ")[1:5])
            fields["url"] = line.split(" url=", 1)[1]
            if int(fields["sink"]) == sink and (dispid is None or int(fields["dispid"]) == dispid):
                events.append(fields)
        return events

    def other_events(self, sink=1, dispid=None):
        """Events other than 250/252/259 as the host's sink saw them: (dispid, types, values)."""
        found = []
        for line in self.lines:
            if not line.startswith("other "):
                continue
            head, _, values = line.partition(" values=")
            fields = dict(part.split("=", 1) for part in head.split(" ")[1:])
            if int(fields["sink"]) == sink and (dispid is None or int(fields["dispid"]) == dispid):
                found.append((int(fields["dispid"]), fields["types"], values.split()))
        return found

    def sink_order(self, sink=1):
        """The DISPIDs the sink heard, in order."""
        order = []
        for line in self.lines:
            if line.startswith(("event ", "other ")) and f" sink={sink} " in line:
                order.append(int(line.split(" dispid=", 1)[1].split(" ", 1)[0]))
        return order

    @property
    def log(self):
        if not self.log_path.exists():
            return []
        records = []
        for line in self.log_path.read_text(encoding="utf-8").splitlines():
            try:
                records.append(json.loads(line))
            except json.JSONDecodeError:
                records.append({"event": "unparsable", "line": line})
        return records

    def events(self, event, /, **fields):
        return [r for r in self.log if r.get("event") == event and
                all(r.get(k) == v for k, v in fields.items())]

    def wait_log(self, event, /, timeout=15, **fields):
        return wait_until(lambda: self.events(event, **fields), timeout)

    def describe(self):
        return "host said: " + " | ".join(self.lines[-8:]) + f" (exit {self.returncode})"


class Screenshot:
    """The whole X screen as RGB pixels, read through ImageMagick."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    @classmethod
    def take(cls, env, keep_as):
        subprocess.run(["import", "-window", "root", str(keep_as)], env=env, check=True, timeout=30)
        size = subprocess.run(["identify", "-format", "%w %h", str(keep_as)], capture_output=True,
                              text=True, check=True, timeout=30).stdout.split()
        data = subprocess.run(["convert", str(keep_as), "-depth", "8", "rgb:-"], capture_output=True,
                              check=True, timeout=30).stdout
        return cls(int(size[0]), int(size[1]), data)

    def getpixel(self, xy):
        x, y = xy
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


class Session:
    def __init__(self, args, workdir):
        self.workdir = workdir
        self.build = Path(args.build).resolve()
        self.dll = self.build / "standin-browser.dll"
        self.host_exe = self.build / "standin-browser-host.exe"
        self.prefix = Path(args.prefix) if args.prefix else workdir / "prefix"
        self.display = args.display
        self.wine = Wine(self.prefix, self.display)
        self.xvfb = None
        self.servers = []
        self.checks = Checks()

    # Environment

    def start_display(self):
        if Path(f"/tmp/.X11-unix/X{self.display.lstrip(':')}").exists():
            return
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1920x1080x24"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: Path(f"/tmp/.X11-unix/X{self.display.lstrip(':')}").exists(), 10):
            raise RuntimeError("Xvfb did not start")

    def start_wine(self):
        if not (self.prefix / "system.reg").exists():
            print(f"creating Wine prefix {self.prefix}", flush=True)
            self.wine.run("wineboot", "-i", timeout=180)
            subprocess.run(["wineserver", "-w"], env=self.wine.env, timeout=180)
        # One warm wineserver for the whole run; its output must not hold our pipes open.
        subprocess.Popen(["wineserver", "-p"], env=self.wine.env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wine.run("wineboot", timeout=120)

    def server(self, name, *options):
        server = DemoServer(self.workdir, name, *options)
        self.servers.append(server)
        return server

    def stop(self):
        for server in self.servers:
            server.stop()
        subprocess.run(["wineserver", "-k"], env=self.wine.env, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)

    def host(self, url, *arguments, timeout=60):
        return HostRun(self, url, *arguments).finish(timeout)

    def screenshot(self):
        return Screenshot.take(self.wine.env, self.workdir / f"shot-{time.monotonic_ns()}.png")

    def click(self, x, y):
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"],
                       env=self.wine.env, check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def count_colour(image, rect, colour, tolerance=4):
    left, top, right, bottom = rect
    count = 0
    for y in range(top, bottom, 2):
        for x in range(left, right, 2):
            pixel = image.getpixel((x, y))
            if all(abs(p - c) <= tolerance for p, c in zip(pixel, colour)):
                count += 1
    return count


def is_link_blue(pixel):
    return pixel[0] < 60 and pixel[1] < 60 and pixel[2] > 180


def link_lines(image, rect):
    """Rows of link-blue pixels in rect, merged into one band per drawn link."""
    left, top, right, bottom = rect
    bands = []
    for y in range(top, bottom):
        xs = [x for x in range(left, right) if is_link_blue(image.getpixel((x, y)))]
        if not xs:
            continue
        if bands and y - bands[-1]["bottom"] <= 3:
            bands[-1]["bottom"] = y
            bands[-1]["left"] = min(bands[-1]["left"], xs[0])
        else:
            bands.append({"top": y, "bottom": y, "left": xs[0]})
    return bands


def ordered(records, *names):
    """True when the first record of each named event comes in the given order."""
    positions = []
    for name in names:
        matches = [i for i, r in enumerate(records) if r.get("event") == name]
        if not matches:
            return False
        positions.append(matches[0])
    return positions == sorted(positions)


# The checks, one function per behaviour.

def check_registration(s):
    c = s.checks
    c.start("registration")
    result = s.wine.run("regsvr32", "/s", windows_path(s.dll))
    c.check(result.returncode == 0, "regsvr32 registers the DLL", result.stderr[-300:])
    ok, text = s.wine.reg_query(SERVER_KEY)
    c.check(ok and windows_path(s.dll).lower() in text.lower(), "InprocServer32 names the DLL's path", text)
    c.check("ThreadingModel" in text and "Apartment" in text, "ThreadingModel is Apartment", text)


def check_unregistration(s):
    c = s.checks
    c.start("unregistration")
    # A value of someone else's in the class key must survive.
    s.wine.reg("add", CLASS_KEY, "/v", "Owner", "/d", "someone else", "/f")
    s.wine.run("regsvr32", "/u", "/s", windows_path(s.dll))
    c.check(not s.wine.reg_query(SERVER_KEY)[0], "InprocServer32 is removed")
    ok, text = s.wine.reg_query(CLASS_KEY)
    c.check(ok and "someone else" in text, "a class key that holds more is kept", text)

    s.wine.reg("delete", CLASS_KEY, "/f")
    s.wine.run("regsvr32", "/s", windows_path(s.dll))
    s.wine.run("regsvr32", "/u", "/s", windows_path(s.dll))
    c.check(not s.wine.reg_query(CLASS_KEY)[0], "a class key left empty is removed")
    # Leave the prefix as it was found: with the stand-in registered.
    s.wine.run("regsvr32", "/s", windows_path(s.dll))


def check_embedding(s, platform):
    c = s.checks
    c.start("embedding, persisted state and a first navigation")
    url = platform.url("/vornak/servers")
    run = s.host(url, "--state", "0a0b0cff00", "docs:1")
    log = run.log
    c.check(run.returncode == 0 and run.fact("done") is not None, "host ran to the end", run.describe())
    c.check([(r["instance"], r["event"]) for r in log[:1]] == [(1, "created")], "first log line is created, instance 1",
            str(log[:1]))
    c.check(all(r.get("instance") == 1 for r in log), "every line names instance 1")
    c.check(run.events("load", bytes="0a0b0cff00") != [], "load logs the persisted bytes as hex",
            str(run.events("load")))
    c.check(run.fact("misc_status") == hex(MISC_STATUS), "GetMiscStatus", run.fact("misc_status"))
    c.check(run.fact("handler_host_info") == f"cbSize={DOCHOSTUIINFO_SIZE_X64}",
            "GetHostInfo gets cbSize = sizeof(DOCHOSTUIINFO)", run.fact("handler_host_info"))
    c.check(run.events("host_info", flags=12) != [], "host_info logs the flags the host returned")
    c.check(ordered(log, "host_info", "load", "window", "navigate"), "host info comes before the first page",
            str([r["event"] for r in log]))
    c.check(run.fact("control_window") == "parent_ok=1 vscroll=0 client_edge=0 visible=1",
            "a child of the site's window, no border and no scroll bar with flags 12",
            run.fact("control_window"))
    c.check(run.events("window", x=20, y=20, w=760, h=540, visible=True) != [],
            "window logged at the site's rectangle")
    c.check(run.fact("navigate_dispid") == "104", "GetIDsOfNames(Navigate) is 104")
    c.check(run.fact("cookies_distinct") == "1", "two sinks get distinct cookies")
    c.check(ordered(log, "navigate", "before_navigate", "navigate_complete", "document_complete"),
            "navigate, BeforeNavigate2, NavigateComplete2, DocumentComplete in order",
            str([r["event"] for r in log]))
    for name in ("navigate", "navigate_complete", "document_complete"):
        c.check(run.events(name, url=url) != [], f"{name} carries the address")
    c.check(run.events("before_navigate", url=url, frame=False, cancelled=False) != [],
            "before_navigate: top level, not cancelled")
    c.check(not any(line.startswith(("bad_args", "bad_call")) for line in run.lines),
            "event arguments have the layout hosts rely on",
            "; ".join(l for l in run.lines if l.startswith("bad_")))
    before = run.sink_events(1, 250)
    later = run.sink_events(1, 252) + run.sink_events(1, 259)
    c.check(len(before) == 1 and before[0]["inside_navigate"] == "1" and before[0]["target"] == "top",
            "BeforeNavigate2 fires inside Navigate, with the control as pDisp", str(before))
    c.check(len(later) == 2 and all(e["inside_navigate"] == "0" and e["target"] == "top" for e in later),
            "NavigateComplete2 and DocumentComplete fire later, with the control as pDisp", str(later))
    c.check(len(run.sink_events(2)) == len(run.sink_events(1)) == 3, "both sinks receive every event")
    order = run.sink_order(1)
    # BeforeNavigate2, DownloadBegin, ProgressChange, CommandStateChange, NavigateComplete2, TitleChange,
    # DownloadComplete, ProgressChange (-1), DocumentComplete.
    c.check(order == [250, 106, 108, 105, 252, 113, 104, 108, 259], "the events of a page load, in order",
            str(order))
    types = {d: t for d, t, _ in run.other_events(1)}
    c.check(types == {106: "", 104: "", 108: "3,3", 105: "3,b", 113: "8"},
            "DownloadBegin/Complete no arguments; ProgressChange two VT_I4; CommandStateChange VT_I4, VT_BOOL; "
            "TitleChange VT_BSTR", str(types))
    progress = [v for d, _, v in run.other_events(1) if d == 108]
    c.check(progress and progress[-1][:1] == ["-1"], "the last ProgressChange is -1", str(progress))
    c.check(run.fact("handler_host_info") is not None and
            sum(l.startswith("handler_host_info") for l in run.lines) == 1,
            "GetHostInfo once for the first document")
    c.check(run.fact("site_inplace_deactivate") is not None and run.fact("window_destroyed") == "1",
            "InPlaceDeactivate destroys the window and tells the site")
    c.check(run.fact("released") == "refs=0", "the last Release frees the control", run.fact("released"))


def check_links_and_cancel(s, platform):
    c = s.checks
    c.start("drawn links, clicks and a cancelled navigation")
    run = HostRun(s, platform.url("/vornak/servers"), "--cancel", "client=1", "docs:1", "HOLD")
    rect = run.wait_ready()
    if not c.check(rect is not None, "host is up", run.describe()):
        run.release()
        run.finish()
        return
    left, top, right, bottom = rect
    shot = s.screenshot()
    bands = link_lines(shot, rect)
    c.check(len(bands) == 11, "eleven links drawn in link blue", str(bands))
    c.check(shot.getpixel((right - 10, bottom - 10)) == WHITE, "default page background is white",
            str(shot.getpixel((right - 10, bottom - 10))))
    if len(bands) == 11:
        game = platform.url("/vornak/play?server=1&client=1")
        s.click(bands[0]["left"] + 3, (bands[0]["top"] + bands[0]["bottom"]) // 2)
        c.check(run.wait_log("before_navigate", url=game), "clicking the first link fires BeforeNavigate2")
        c.check(run.events("before_navigate", url=game, cancelled=True, frame=False) != [],
                "the host's cancel is logged")
        news = platform.url("/vornak/news")
        s.click(bands[4]["left"] + 3, (bands[4]["top"] + bands[4]["bottom"]) // 2)
        c.check(run.wait_log("document_complete", url=news), "clicking the news link loads it")
        c.check(run.events("navigate_complete", url=game) == [], "no NavigateComplete2 for the cancelled address")
        requests = platform.requests()
        c.check("/vornak/news" in requests and "/vornak/play?server=1&client=1" not in requests,
                "the cancelled address is never fetched", str(requests))
        c.check(len(run.events("navigate")) == 1, "clicks navigate without Navigate calls")
    run.release()
    run.finish()
    c.check(run.returncode == 0, "host exits cleanly", run.describe())


def check_frames(s, platform):
    c = s.checks
    c.start("frames")
    framed = platform.url("/vornak/frame")
    frame_src = platform.url("/vornak/play?server=5&client=1")

    run = HostRun(s, framed, "docs:2", "HOLD")
    rect = run.wait_ready()
    if rect:
        c.check(count_colour(s.screenshot(), rect, GAME_BACKGROUND) > 5000,
                "the frame's document is drawn inside the page")
    run.release()
    run.finish()
    log = run.log
    c.check(rect is not None and run.returncode == 0, "host ran to the end", run.describe())
    c.check(run.events("before_navigate", url=frame_src, frame=True, cancelled=False) != [],
            "before_navigate for the frame, frame true")
    c.check(run.events("navigate_complete", url=frame_src, frame=True) != [] and
            run.events("document_complete", url=frame_src, frame=True) != [],
            "navigate_complete and document_complete for the frame")
    def first(event, frame):
        return next((i for i, r in enumerate(log) if r.get("event") == event and r.get("frame") == frame), None)
    steps = [first("navigate_complete", False), first("before_navigate", True), first("document_complete", True),
             first("document_complete", False)]
    c.check(None not in steps and steps == sorted(steps),
            "the page's NavigateComplete2, then the frame's navigation, its DocumentComplete, the page's last",
            str(steps))
    c.check(run.sink_order(1)[-3:] == [104, 108, 259],
            "DownloadComplete, the last ProgressChange and the page's DocumentComplete end the load",
            str(run.sink_order(1)))
    frame_events = [e for e in run.sink_events(1) if e["url"] == frame_src]
    c.check(len(frame_events) == 3 and all(e["target"] == "frame" for e in frame_events),
            "frame events carry the frame's own pDisp, not the control", str(frame_events))

    run = HostRun(s, framed, "--cancel", "client=1", "docs:1", "sleep:1000", "HOLD")
    rect = run.wait_ready()
    if rect:
        c.check(count_colour(s.screenshot(), rect, GAME_BACKGROUND) == 0,
                "a cancelled frame leaves its box empty")
    run.release()
    run.finish()
    c.check(run.events("before_navigate", url=frame_src, frame=True, cancelled=True) != [],
            "a frame navigation can be cancelled")
    c.check(run.events("navigate_complete", frame=True) == [], "a cancelled frame never completes")
    c.check(run.events("document_complete", url=framed, frame=False) != [], "the page still completes")

    moved = platform.url("/vornak/moved")
    news = platform.url("/vornak/news")
    run = s.host(moved, "docs:1", "location")
    c.check(run.events("before_navigate", url=moved) != [] and run.events("before_navigate", url=news) == [],
            "a server redirect fires no BeforeNavigate2 of its own", str(run.events("before_navigate")))
    c.check(run.events("navigate_complete", url=news) != [] and run.events("document_complete", url=news) != [] and
            run.events("navigate_complete", url=moved) == [],
            "NavigateComplete2 and DocumentComplete carry the address the redirect ended at")
    c.check(run.fact("location_url") == f"hr=0x00000000 {news}", "so does LocationURL", run.fact("location_url"))
    c.check((run.fact("location_name") or "").endswith("Vornak — news"), "LocationName is the page's title",
            run.fact("location_name"))


def check_external(s, platform):
    c = s.checks
    c.start("window.external and the host UI handler")
    run = s.host(platform.url("/vornak/external"), "docs:1")
    c.check(run.events("external", name="xxyyzz", value="Wibble") != [],
            "data-external=xxyyzz shows the external object's value", str(run.events("external")))
    c.check(run.events("external", name="nosuch", value=None) != [], "an unknown name logs null")

    run = s.host(platform.url("/vornak/external"), "--no-handler", "docs:1")
    c.check(run.returncode == 0, "a site without a UI handler works", run.describe())
    c.check(run.events("host_info") == [], "no host_info without a handler")
    c.check(run.events("external", name="xxyyzz", value=None) != [], "no external object without a handler")
    c.check(run.fact("control_window") == "parent_ok=1 vscroll=1 client_edge=1 visible=1",
            "without a handler: 3-D border and vertical scroll bar", run.fact("control_window"))


def check_scrolling_border_and_menus(s, platform):
    c = s.checks
    c.start("scroll bar, border and context menus")
    run = HostRun(s, platform.url("/vornak/long"), "--flags", "0", "--menu-hr", "1", "docs:1", "scroll",
                  "rightclick", "HOLD")
    rect = run.wait_ready()
    if rect:
        shot = s.screenshot()
        left, top, right, bottom = rect
        edge = shot.getpixel((left, (top + bottom) // 2))
        inside = shot.getpixel((left + 4, bottom - 4))
        c.check(edge != WHITE and inside == WHITE, "flags 0 draw a sunken border around a white page",
                f"edge {edge} inside {inside}")
    run.release()
    run.finish()
    c.check(run.fact("control_window") == "parent_ok=1 vscroll=1 client_edge=1 visible=1",
            "flags 0: WS_VSCROLL and WS_EX_CLIENTEDGE", run.fact("control_window"))
    scroll = dict(kv.split("=") for kv in (run.fact("scroll") or "").split() if "=" in kv)
    c.check(scroll and int(scroll["max"]) > int(scroll["page"]) and int(scroll["after"]) > int(scroll["before"]),
            "a long page scrolls", run.fact("scroll"))
    c.check(run.events("context_menu", hr=1) != [], "context_menu logs the host's S_FALSE")
    c.check((run.fact("handler_context_menu") or "").startswith("id=0 "),
            "ShowContextMenu gets CONTEXT_MENU_DEFAULT", run.fact("handler_context_menu"))
    c.check(run.fact("menu_shown") == "1", "the control shows its own menu when the host declines")

    run = s.host(platform.url("/vornak/long"), "docs:1", "scroll", "rightclick")
    c.check(run.fact("scroll") == "none", "DOCHOSTUIFLAG_SCROLL_NO: no scroll bar on a long page",
            run.fact("scroll"))
    c.check(run.events("context_menu", hr=0) != [], "context_menu logs the host's S_OK")
    c.check(run.fact("menu_shown") == "0", "no menu when the host handles it")


def check_game_page_background(s, platform):
    c = s.checks
    c.start("page background")
    run = HostRun(s, platform.url("/vornak/play?server=1&client=1"), "docs:1", "HOLD")
    rect = run.wait_ready()
    if rect:
        left, top, right, bottom = rect
        pixel = s.screenshot().getpixel((right - 10, bottom - 10))
        c.check(pixel == GAME_BACKGROUND, "body background #203048 fills the view", str(pixel))
    run.release()
    run.finish()
    c.check(rect is not None and run.returncode == 0, "host ran to the end", run.describe())


def check_refresh_and_meta_refresh(s, platform):
    c = s.checks
    c.start("refresh, unadvise and meta refresh")
    news = platform.url("/vornak/news")
    before = platform.requests().count("/vornak/news")
    run = s.host(news, "docs:1", "unadvise", "refresh", "downloads:2")
    c.check(run.events("refresh") != [], "refresh is logged")
    c.check(run.fact("unadvise") == "hr=0x00000000" and run.fact("unadvise_again") == "hr=0x80040200",
            "Unadvise takes a cookie once, then answers CONNECT_E_NOCONNECTION",
            f"{run.fact('unadvise')} / {run.fact('unadvise_again')}")
    c.check(len(run.other_events(1, 104)) == 2 and len(run.other_events(2, 104)) == 1,
            "an unadvised sink hears nothing more", run.describe())
    c.check(len(run.events("before_navigate")) == 1 and len(run.events("navigate_complete")) == 1 and
            len(run.events("document_complete")) == 1,
            "a refresh fires none of BeforeNavigate2, NavigateComplete2 and DocumentComplete",
            str([r["event"] for r in run.log]))
    c.check(len(run.other_events(1, 106)) == 2 and len(run.other_events(1, 113)) == 2,
            "it does fire DownloadBegin, DownloadComplete and TitleChange")
    c.check(sum(l.startswith("handler_host_info") for l in run.lines) == 2, "GetHostInfo again for the refresh")
    c.check(platform.requests().count("/vornak/news") - before == 2, "a refresh fetches the page again")

    # A page that answered a POST is posted again (the real control asks first).
    form = "POST /vornak/login user=someone&password=wrong"
    run = s.host(platform.url("/vornak"), "docs:1", "show", "type:someone", "key:Tab", "type:wrong", "key:Return",
                 "docs:2", "refresh", "downloads:3")
    c.check(platform.requests().count(form) == 2, "a refresh of a POST's answer posts again",
            str(platform.requests()[-4:]))
    c.check(run.events("refresh_reposts", url=platform.url("/vornak/login")) != [],
            "and logs that the real control would ask first")

    auto = platform.url("/vornak/auto")
    game = platform.url("/vornak/play?server=6&client=1")
    run = s.host(auto, "--cancel", "client=1", "docs:1", "sleep:2500")
    log = run.log
    c.check(run.events("before_navigate", url=game, cancelled=True, frame=False) != [],
            "meta refresh navigates by itself after its delay", str(run.events("before_navigate")))
    c.check(len(run.events("navigate")) == 1, "without any Navigate call")
    done = [i for i, r in enumerate(log) if r.get("event") == "document_complete"]
    started = [i for i, r in enumerate(log) if r.get("event") == "before_navigate" and r.get("url") == game]
    c.check(done and started and done[0] < started[0], "only once the page has completed")

    run = s.host(auto, "docs:2")
    c.check(run.events("document_complete", url=game) != [], "an uncancelled meta refresh loads its target")


def check_window_events(s, platform):
    c = s.checks
    c.start("window placement and visibility")
    run = s.host(platform.url("/vornak/news"), "docs:1", "move:40,50,300,200", "hide", "show")
    windows = run.events("window")
    moved = {"instance": 1, "event": "window", "x": 40, "y": 50, "w": 300, "h": 200, "visible": True, "shown": True}
    placed = [{k: v for k, v in w.items() if k != "ms"} for w in windows[1:2]]
    c.check(placed == [moved], "SetObjectRects moves the window and is logged", str(windows))
    c.check([(w["visible"], w["shown"]) for w in windows[1:4]] == [(True, True), (False, False), (True, True)],
            "hide and show are logged", str(windows))
    c.check(run.fact("hide") == "visible=0" and run.fact("show") == "visible=1",
            "OLEIVERB_HIDE and OLEIVERB_SHOW change the window's visibility")


def check_login_form_and_cookies(s, platform):
    c = s.checks
    c.start("a form typed into and posted, its cookie and cache entries")
    login = platform.url("/vornak/login")
    run = s.host(platform.url("/vornak"), "docs:1", "show", "type:wanderer", "key:Tab", "type:jade-gate",
                 "key:Return", "docs:2")
    lines = run.lines
    activation = [l for l in lines if l.startswith(("site_ui_activate", "set_active_object", "site_on_focus"))]
    c.check(activation[:4] == ["site_ui_activate", "set_active_object frame 1", "set_active_object ui_window 1",
                               "site_on_focus 1"],
            "UI activation: OnUIActivate, SetActiveObject on frame and UI window, OnFocus(TRUE)", str(activation))
    c.check([(e.get("element"), e.get("name")) for e in run.events("focus")][:2] ==
            [("field", "user"), ("field", "password")], "autofocus, then Tab to the password",
            str(run.events("focus")))
    c.check("POST /vornak/login user=wanderer&password=jade-gate" in platform.requests(),
            "the platform receives exactly the typed values", str(platform.requests()[-3:]))
    c.check(run.fact("post_data") == "dims=1 bytes=user=wanderer&password=jade-gate",
            "PostData: a one-dimensional byte array behind two references", run.fact("post_data"))
    c.check(run.fact("headers") == "null " and
            "headers set Content-Type: application/x-www-form-urlencoded|" in lines,
            "Headers: null for a link, the form's Content-Type for a post", str([l for l in lines if "headers" in l]))
    servers = platform.url("/vornak/servers")
    c.check(run.events("submit", method="POST", url=login) != [] and
            run.events("document_complete", url=servers) != [],
            "the submission completes where the platform's 303 sends it", str(run.events("document_complete")))
    c.check(sum(l.startswith("handler_host_info") for l in lines) == 2, "GetHostInfo for each document")
    c.check(any("vornak_session=" in e["cookie"] for e in run.events("cookie_received")),
            "the session cookie is received", str(run.events("cookie_received")))

    before = platform.requests().count("/vornak/servers")
    run = s.host(platform.url("/vornak/servers"), "docs:1", "refresh", "downloads:2")
    c.check(any("vornak_session=" in e["cookie"] for e in run.events("cookie_sent")),
            "a later process sends the stored cookie", str(run.events("cookie_sent")))
    c.check(platform.requests().count("/vornak/servers") - before == 2 and run.events("refresh_reposts") == [],
            "refreshing the list the redirect led to is a plain GET")
    c.check(len(run.events("elements")) and run.events("elements")[-1]["elements"].count("link ") == 11,
            "with it, the server list instead of the login form", str(run.events("elements")[-1:]))
    profile = next((s.prefix / "drive_c" / "users").glob("*/AppData/Local/Microsoft/Windows"), None)
    cookies = [p for p in (profile / "INetCookies").rglob("*.txt") if b"vornak_session" in p.read_bytes()] \
        if profile else []
    cached = [p for p in (profile / "INetCache").rglob("*") if p.is_file() and b"Vornak" in p.read_bytes()] \
        if profile else []
    c.check(cookies != [], "the cookie is a file in the profile's cookie store", str(profile))
    c.check(cached != [], "pages are files in Temporary Internet Files", str(profile))


def check_keyboard_contract(s, platform):
    c = s.checks
    c.start("the keyboard contract, editing and encoding")
    run = s.host(platform.url("/vornak"), "--cancel", "login", "docs:1", "show", "type:张 三", "key:BackSpace",
                 "type:三", "key:Tab", "type:old", "key:ctrl+A", "type:pw 1", "key:Tab", "key:Tab", "key:Tab",
                 "key:shift+Tab", "key:F1", "key:Escape", "key:shift+Tab", "key:shift+Tab", "key:Return",
                 "key:F5", "docs:2")
    accel = [l.split(" handler_saw")[0] for l in run.lines if l.startswith("translate_accelerator")]
    c.check(accel[3:6] == ["translate_accelerator key=9 hr=0x00000000", "translate_accelerator key=9 hr=0x00000000",
                           "translate_accelerator key=9 hr=0x00000001"],
            "Tab moves through the page, and past its last element answers S_FALSE", str(accel))
    c.check([l for l in run.lines if l.startswith("site_translate")][:2] ==
            ["site_translate_accelerator key=9 modifiers=0", "site_translate_accelerator key=112 modifiers=0"],
            "the keys the page does not take go to IOleControlSite::TranslateAccelerator",
            str([l for l in run.lines if l.startswith("site_translate")]))
    c.check([e.get("element") for e in run.events("focus")][2:6] == ["button", "link", "none", "link"],
            "Shift+Tab comes back to the last element", str(run.events("focus")))
    c.check("translate_accelerator key=27 hr=0x00000001" in accel and
            "site_translate_accelerator key=27 modifiers=0" in run.lines,
            "Escape is declined without a field that takes it, and offered to the site", str(accel))
    c.check("translate_accelerator key=116 hr=0x00000000" in accel and run.events("refresh") != [], "F5 refreshes")
    c.check(accel[:1] == ["translate_accelerator key=8 hr=0x00000000"] and
            "translate_accelerator key=65 hr=0x00000000" in accel,
            "Backspace and Ctrl+A are taken in TranslateAccelerator", str(accel))
    c.check(run.fact("post_data") == "dims=1 bytes=user=%E5%BC%A0+%E4%B8%89&password=pw+1",
            "Backspace, Ctrl+A and typing edit; UTF-8 with spaces as +", run.fact("post_data"))
    c.check(not any(r.startswith("POST /vornak/login user=%E5") for r in platform.requests()),
            "a cancelled submission sends nothing")
    edits = run.events("edit", name="password")
    c.check(edits and edits[-1]["value"] == "****", "password edits are logged masked", str(edits[-1:]))

    dead = free_port()
    odd = platform.url(f"/vornak/odd-forms?dead={dead}")
    run = s.host(odd, "docs:1", "show", "paste:10000", "key:Return", "docs:2", "key:Tab")
    posted = [r for r in platform.requests() if r.startswith("POST /vornak/odd-forms")]
    c.check(posted == [f"POST /vornak/odd-forms?dead={dead} note={'x' * 10000}&go=1"],
            "no action posts to its own page; 10,000 pasted characters are sent whole; a nameless field is not",
            str([p[:80] for p in posted]))
    last = [l for l in run.lines if "translate_accelerator" in l][-2:]
    c.check(last == ["site_translate_accelerator key=9 modifiers=0",
                     "translate_accelerator key=9 hr=0x00000001 handler_saw=3"],
            "a page with nothing to focus hands Tab straight back", str(last))
    run = s.host(odd, "docs:1", "show", "key:Tab", "key:Tab", "key:Tab", "type:q", "key:Return", "docs:2")
    dead_url = f"http://127.0.0.1:{dead}/vornak/login?q=q"
    c.check(run.events("document_complete", url=dead_url) != [],
            "a GET form appends its query; an unanswered port ends on the error page", str(run.events("submit")))


def check_keys_need_routing(s, platform):
    c = s.checks
    c.start("keys only through TranslateAccelerator, and only while UI-active")
    run = s.host(platform.url("/vornak"), "--no-key-routing", "docs:1", "show", "type:abcd", "key:BackSpace",
                 "key:Left", "key:Delete", "key:ctrl+A", "key:Delete", "key:Tab", "type:e")
    edits = [e["value"] for e in run.events("edit", name="user")]
    c.check(edits == ["a", "ab", "abc", "abcd", "abcde"],
            "a host that never routes keys: characters arrive, Backspace, Delete, arrows and Ctrl+A are dead",
            str(edits))

    run = s.host(platform.url("/vornak"), "docs:1", "key:Tab", "key:F5", "key:BackSpace")
    accel = [l for l in run.lines if l.startswith("translate_accelerator")]
    c.check(accel == ["translate_accelerator key=9 hr=0x00000001 handler_saw=0",
                      "translate_accelerator key=116 hr=0x00000001 handler_saw=0",
                      "translate_accelerator key=8 hr=0x00000001 handler_saw=0"],
            "before UI activation every key is declined, offered to no one", str(accel))
    c.check(run.events("refresh") == [] and not any(l.startswith("site_translate") for l in run.lines) and
            [e for e in run.events("focus") if e["element"] != "field"] == [],
            "and acted on by no one", str(run.events("focus")))

    windows = platform.url("/vornak/windows")
    run = s.host(windows, "docs:1", "show", *["key:Tab"] * 6, "key:Escape", "key:shift+Tab", "key:Escape")
    accel = [l.split(" handler_saw")[0] for l in run.lines if l.startswith("translate_accelerator key=27")]
    c.check(run.events("focus")[-2:-1] and run.events("focus")[-2]["name"] == "search" and
            run.events("key", key="Escape", name="search") != [],
            "Escape reaches a focused field that takes it", str(run.events("focus")[-2:]))
    c.check(accel == ["translate_accelerator key=27 hr=0x00000000", "translate_accelerator key=27 hr=0x00000001"],
            "taken there (S_OK), declined on a link (S_FALSE)", str(accel))


def element_centres(run, url):
    """The page's elements from the control's last elements line: (kind, name) -> (x, y)."""
    lines = run.events("elements", url=url)
    found = []
    for entry in (lines[-1]["elements"].split("|") if lines else []):
        kind, name, x, y, w, h = entry.split(" ")
        found.append(((kind, name), (int(x) + int(w) // 2, int(y) + int(h) // 2)))
    return found


def check_new_windows(s, platform):
    c = s.checks
    c.start("new windows: target, window.open, Shift+click, Navigate's target")
    windows = platform.url("/vornak/windows")
    game = platform.url("/vornak/play?server=7&client=1")
    news = platform.url("/vornak/news")
    links = [xy for (kind, _), xy in element_centres(s.host(windows, "docs:1"), windows) if kind == "link"]
    if not c.check(len(links) == 5, "the page's five links are laid out", str(links)):
        return
    click = [f"click:{x},{y}" for x, y in links]
    before = len(platform.requests())
    run = s.host(windows, "--cancel", "client=1", "docs:1", click[0], click[1], click[2], click[3],
                 f"shift{click[4]}", "sleep:3000")
    opened = run.events("new_window")
    c.check([(e["url"], e["flags"], e["cancelled"]) for e in opened] ==
            [(game, 6, False), (news, 6, False), (news, 6, False), (news, 6, False), (news, 0x10006, False)],
            "target=_blank, window.open, a target naming no frame and Shift+click each open a new window "
            "(NWMF_USERINITED|NWMF_FIRST, plus NWMF_FORCEWINDOW with Shift)", str(opened))
    c.check(run.sink_order(1).count(273) == 5 and 251 not in run.sink_order(1),
            "NewWindow3 for each, NewWindow2 never", str(run.sink_order(1)))
    nw3 = run.other_events(1, 273)
    c.check(nw3 and nw3[0][1] == "4009,400b,13,8,8" and nw3[0][2] == ["6", windows, game],
            "NewWindow3(ppDisp VT_BYREF|VT_DISPATCH, Cancel VT_BYREF|VT_BOOL, dwFlags VT_UI4, "
            "bstrUrlContext, bstrUrl VT_BSTR)", str(nw3[:1]))
    c.check(run.events("before_navigate", instance=1, url=game) == [] and
            len(run.sink_events(1, 250)) == 1, "no BeforeNavigate2 in the page's own control, none at the host",
            str(run.sink_events(1, 250)))
    c.check(run.events("before_navigate", instance=2, url=game, cancelled=False) != [] and
            run.events("document_complete", instance=2, url=game) != [],
            "the new window, a control of its own, loads the game address no host screened",
            str([r for r in run.log if r.get("instance") == 2][:6]))
    c.check(len({r["instance"] for r in run.events("created")}) == 6, "one new instance per window")
    c.check(run.events("document_complete", instance=1, url=news) == [], "the page itself stays where it was")

    run = s.host(windows, "--cancel-new-window", "docs:1", click[1], "sleep:1500")
    requests = platform.requests()[before:]
    c.check([e["cancelled"] for e in run.events("new_window")] == [True] and len(run.other_events(1, 273)) == 1,
            "NewWindow3's Cancel is heeded", str(run.events("new_window")))
    c.check(len(run.events("created")) == 1 and requests.count("/vornak/news") == 4,
            "no window and no fetch for a cancelled new window", str(requests))

    odd = platform.url("/vornak/odd-forms")
    run = s.host(windows, "docs:1", f"navigate:{news}|0|elsewhere||", f"navigate:{news}|1|||",
                 f"navigate:{odd}|0||note=hi&go=1|X-Duskmere-Test: 1\\n", "docs:2")
    c.check([e["url"] for e in run.events("new_window")] == [news, news],
            "Navigate with a target naming no frame, or navOpenInNewWindow, opens a new window",
            str(run.events("new_window")))
    c.check(run.events("navigate", url=odd, post="note=hi&go=1", target="") != [] and
            "POST /vornak/odd-forms note=hi&go=1" in platform.requests() and
            "header /vornak/odd-forms X-Duskmere-Test: 1" in platform.requests(),
            "Navigate's PostData is posted and its Headers are sent", str(platform.requests()[-3:]))
    c.check(run.fact("post_data") == "dims=1 bytes=note=hi&go=1" and
            "headers set X-Duskmere-Test: 1|Content-Type: application/x-www-form-urlencoded|" in run.lines,
            "BeforeNavigate2 shows them", str([l for l in run.lines if l.startswith(("post_data", "headers"))]))


def check_failures(s, platform):
    c = s.checks
    c.start("failed fetches, odd content and slow servers")
    dead = f"http://127.0.0.1:{free_port()}/vornak"
    run = s.host(dead, "docs:1")
    c.check(run.events("navigate_complete", url=dead) != [] and run.events("document_complete", url=dead) != [],
            "a refused connection still completes, with the requested address", run.describe())
    error = run.other_events(1, 271)
    c.check(len(error) == 1 and error[0][1] == "9,400c,400c,400c,400b" and error[0][2] == [str(-2146697212)],
            "NavigateError(pDisp, URL, Frame, StatusCode, Cancel) first, INET_E_CANNOT_CONNECT", str(error))
    order = run.sink_order(1)
    c.check(271 in order and 252 in order and order.index(271) < order.index(252), "before NavigateComplete2",
            str(order))

    missing = platform.url("/vornak/missing")
    run = s.host(missing, "docs:1")
    c.check(run.events("document_complete", url=missing) != [] and
            run.events("navigate_error", url=missing, status=404, cancelled=False) != [],
            "an HTTP error status fires NavigateError with it, and completes too", str(run.events("navigate_error")))

    run = s.host("about:blank", "docs:1")
    c.check(run.events("document_complete", url="about:blank") != [], "about:blank completes")

    garbage = s.server("garbage", "--garbage")
    run = s.host(garbage.url("/vornak"), "docs:1")
    c.check(run.returncode == 0 and run.events("document_complete", url=garbage.url("/vornak")) != [],
            "scrambled bytes are shown as some page", run.describe())

    slow = s.server("slow", "--delay", "3")
    run = s.host(slow.url("/vornak"), "docs:1")
    c.check(run.events("document_complete", url=slow.url("/vornak")) != [], "a slow page completes")
    took = [done["ms"] - asked["ms"] for asked in run.events("before_navigate", url=slow.url("/vornak"))
            for done in run.events("document_complete", url=slow.url("/vornak"))]
    c.check(len(took) == 1 and 3000 <= took[0] < 15000, "the lines' millisecond stamps span the server's delay",
            str(took))
    run = s.host(slow.url("/vornak/news"), "sleep:300", "close", "sleep:4500")
    c.check(run.returncode == 0 and run.fact("done") is not None,
            "closing the control while its fetch is in flight is safe", run.describe())
    c.check(run.events("navigate_complete") == [], "a closed control fires nothing more")
    c.check(run.fact("released") == "refs=0", "and is freed at once", run.fact("released"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="build folder with standin-browser.dll and the host")
    parser.add_argument("--prefix", help="reuse this Wine prefix instead of a throwaway one")
    parser.add_argument("--display", default=":51", help="X display (an Xvfb is started if none is there)")
    parser.add_argument("--keep", action="store_true", help="keep the work folder (logs, screenshots)")
    args = parser.parse_args()

    workdir = Path(tempfile.mkdtemp(prefix="standin-selftest-"))
    session = Session(args, workdir)
    for required in (session.dll, session.host_exe):
        if not required.exists():
            print(f"missing {required}; build the standin-browser and standin-browser-host targets")
            return 2
    try:
        session.start_display()
        session.start_wine()
        platform = session.server("platform")
        check_registration(session)
        check_login_form_and_cookies(session, platform)
        check_keyboard_contract(session, platform)
        check_keys_need_routing(session, platform)
        check_embedding(session, platform)
        check_links_and_cancel(session, platform)
        check_frames(session, platform)
        check_new_windows(session, platform)
        check_external(session, platform)
        check_scrolling_border_and_menus(session, platform)
        check_game_page_background(session, platform)
        check_refresh_and_meta_refresh(session, platform)
        check_window_events(session, platform)
        check_failures(session, platform)
        check_unregistration(session)
    finally:
        session.stop()
        if args.keep or session.checks.failures:
            print(f"work folder kept: {workdir}")
        else:
            shutil.rmtree(workdir, ignore_errors=True)

    checks = session.checks
    print(f"\n{checks.passed} checks passed, {len(checks.failures)} failed")
    for failure in checks.failures:
        print(f"  FAILED {failure}")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
