"""Where the client's start-up goes, under Wine in Xvfb with unmanaged windows:
the moments from the process's start to the login page, read from Wine's trace
timestamps (+loaddll, +win, +gdiplus), the stand-in browser's log and the X
server's MapNotify. Wine's timestamps, the stand-in's performance counter and
CLOCK_MONOTONIC_RAW are one clock. Tracing slows every run down, so these are
shares of a start-up, not its length: that is client_figures.py's.
Expects the environment of tests/e2e/driver.py.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import client_figures  # noqa: E402
import x_map  # noqa: E402

driver = client_figures.driver
RUNS = 5
TRACE = re.compile(r"^(\d+\.\d+):([0-9a-f]{4}):trace:(\w+):(\w+) (.*)$")
BACKDROP_PIXELS = "%d %d " % driver.BACKDROP_SIZE


def raw_now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def traced_start(watch):
    """Seconds from the process's start to each moment of one start-up."""
    to_raw = raw_now() - time.monotonic()
    with tempfile.NamedTemporaryFile(prefix="wine-trace-", suffix=".txt") as trace:
        # The driver sends the client's stderr, where Wine traces, to this file.
        os.environ["DUSKMERE_CLIENT_STDERR"] = trace.name
        started = raw_now()
        client = driver.Client(WINEDEBUG="+timestamp,+loaddll,+win,+gdiplus")
        del os.environ["DUSKMERE_CLIENT_STDERR"]
        try:
            mapped = watch.wait("Duskmere", driver.BACKDROP_SIZE) + to_raw
            complete = driver.wait_for(lambda: client.events("document_complete", instance=1,
                                                             url=driver.PLATFORM + "/vornak"),
                                       30, interval=0.01, what="login page complete")[0]["ms"] / 1000
            created = client.events("created", instance=1)[0]["ms"] / 1000
        finally:
            client.stop()
        trace.seek(0)
        lines = [m.groups() for m in map(TRACE.match, trace.read().decode("utf-8", "replace").splitlines()) if m]
    main = next(tid for _, tid, channel, _, text in lines if channel == "loaddll" and "duskmere.exe" in text)
    ours = [(float(t), channel, function, text) for t, tid, channel, function, text in lines if tid == main]
    loaded = [(t, text) for t, channel, _, text in ours if channel == "loaddll"]
    # The executable's imports: what loads before the display driver.
    imports = next(i for i, (_, text) in enumerate(loaded) if "winex11.drv" in text)
    window = next(t for t, _, function, text in ours if function == "WIN_CreateWindowEx" and "#8002" in text)
    # The backdrop's image: the decode that made a bitmap of its size.
    scan0 = next(i for i, (_, _, function, text) in enumerate(ours)
                 if function == "GdipCreateBitmapFromScan0" and text.startswith(BACKDROP_PIXELS))
    decoded = next(t for t, _, function, text in ours[scan0:] if function == "decode_frame_wic" and "=>" in text)
    return {
        "executable loaded": loaded[0][0] - started,
        "its imports loaded": loaded[imports - 1][0] - started,
        "first window created": window - started,
        "panel and browser created": created - started,
        "backdrop image decoded": decoded - started,
        "backdrop mapped": mapped - started,
        "login page complete": complete - started,
    }


def main():
    for program in (client_figures.MINIMAL, driver.CLIENT):
        client_figures.set_managed(program, False)
    watch = x_map.MapWatch()
    try:
        traced_start(watch)   # warm-up
        runs = [traced_start(watch) for _ in range(RUNS)]
    finally:
        watch.close()
    print("start-up breakdown, traced, unmanaged windows: ms from the process's start, median of %d runs" % RUNS)
    previous = 0.0
    for name in runs[0]:
        median = statistics.median(run[name] * 1000 for run in runs)
        print("  %-28s %7.1f  (+%6.1f)" % (name, median, median - previous))
        previous = median


if __name__ == "__main__":
    main()
