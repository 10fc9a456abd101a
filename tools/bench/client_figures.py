"""Figures for the client under Wine in Xvfb: start-up against a minimal Win32
program, resident memory, and the time from choosing a server to the game page.
Prints medians; judges nothing.

Every figure is taken twice: with the programs' windows unmanaged (Wine alone
places and activates them, as Windows does) and managed by the window manager
the bench display runs (openbox, as on a Linux desktop). Expects the
environment of tests/e2e/driver.py.
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import driver  # noqa: E402
import x_map  # noqa: E402

MINIMAL = os.path.join(driver.BUILD, "tools", "bench", "minimal_window.exe")
START_RUNS = 7
GAME_RUNS = 5
SETTLE = 0.5   # seconds between a window showing and reading the memory


def set_managed(program, managed):
    key = r"HKCU\Software\Wine\AppDefaults\%s\X11 Driver" % os.path.basename(program)
    driver.run("wine", "reg", "add", key, "/v", "Managed", "/d", "Y" if managed else "N", "/f")


def resident_kib(proc):
    """VmRSS of the Linux process that runs the program (wine becomes it)."""
    with open("/proc/%d/cmdline" % proc.pid, "rb") as f:
        if not f.read().split(b"\0")[0].endswith(b".exe"):
            raise AssertionError("process %d does not run a Windows program" % proc.pid)
    with open("/proc/%d/status" % proc.pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def minimal_start(watch):
    """Seconds from starting the minimal program to its window mapped, and its VmRSS."""
    started = time.monotonic()
    proc = subprocess.Popen(["wine", MINIMAL], env=driver.wine_env(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        mapped = watch.wait("Duskmere-bench", driver.BACKDROP_SIZE) - started
        time.sleep(SETTLE)
        return mapped, resident_kib(proc)
    finally:
        proc.kill()
        proc.wait(timeout=10)


def client_start(watch):
    """Seconds from starting the client to its backdrop mapped, and to the login
    page complete (seen in the log within 10 ms)."""
    started = time.monotonic()
    client = driver.Client()
    try:
        mapped = watch.wait("Duskmere", driver.BACKDROP_SIZE) - started
        driver.wait_for(lambda: client.events("document_complete", instance=1, url=driver.PLATFORM + "/vornak"),
                        30, interval=0.01, what="login page complete")
        return mapped, time.monotonic() - started
    finally:
        client.stop()


def enter_game():
    """Milliseconds from the server link's BeforeNavigate2 to the game page shown,
    and the client's VmRSS with the login page shown and with the game shown."""
    client = driver.Client()
    try:
        login = driver.LoginWindows(client)
        login.wait_page("/vornak")
        login_kib = resident_kib(client.proc)
        login.log_in()
        login.click_link(driver.SERVER_1)
        shown = driver.wait_for(client.game_page_shown, 30, what="game page shown")
        asked = client.events("before_navigate", instance=1, cancelled=True)[0]
        time.sleep(SETTLE)
        return shown["ms"] - asked["ms"], login_kib, resident_kib(client.proc)
    finally:
        client.stop()


def figures(managed):
    """Each figure's values over the runs, by name."""
    for program in (MINIMAL, driver.CLIENT):
        set_managed(program, managed)
    watch = x_map.MapWatch()
    try:
        # One run of each first, so that neither pays for a cold file cache.
        minimal_start(watch)
        client_start(watch)
        minimal = [minimal_start(watch) for _ in range(START_RUNS)]
        client = [client_start(watch) for _ in range(START_RUNS)]
    finally:
        watch.close()
    game = [enter_game() for _ in range(GAME_RUNS)]
    return {
        "minimal window mapped (ms)": [m[0] * 1000 for m in minimal],
        "client backdrop mapped (ms)": [c[0] * 1000 for c in client],
        "client login page complete (ms)": [c[1] * 1000 for c in client],
        "enter game: link to game page (ms)": [g[0] for g in game],
        "VmRSS minimal window (MiB)": [m[1] / 1024 for m in minimal],
        "VmRSS client, login page (MiB)": [g[1] / 1024 for g in game],
        "VmRSS client, game page (MiB)": [g[2] / 1024 for g in game],
    }


def summary(values):
    return "%7.1f (%.1f-%.1f)" % (statistics.median(values), min(values), max(values))


def main():
    print("median (lowest-highest): start-up of %d runs after a warm-up run, enter game and memory of %d runs"
          % (START_RUNS, GAME_RUNS), flush=True)
    results = {"unmanaged": figures(managed=False), "managed": figures(managed=True)}
    print("%-36s %-24s %-24s" % ("", "unmanaged windows", "managed windows"))
    for name in results["unmanaged"]:
        print("%-36s %-24s %-24s" % (name, summary(results["unmanaged"][name]), summary(results["managed"][name])))
    for mode, figure in results.items():
        ratio = statistics.median(figure["client backdrop mapped (ms)"]) / \
            statistics.median(figure["minimal window mapped (ms)"])
        print("start-up ratio client / minimal, %s windows: %.1f" % (mode, ratio))


if __name__ == "__main__":
    main()
