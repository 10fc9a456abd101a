"""Walks the client through its screens and saves a screenshot of each to
build/demo/: login, server list, the game window in its three display modes,
the quit confirmation and the cache cleaner; then quits the client.

Expects the environment of tests/e2e/driver.py (a display, the prefix, a warm
wineserver and the demo platform).
"""
import os
import pwd
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import driver  # noqa: E402

OUT = os.path.join(driver.ROOT, "build", "demo")
NORMAL_SIZE = (1000, 700)
NORMAL = ((driver.SCREEN[0] - NORMAL_SIZE[0]) // 2, (driver.SCREEN[1] - NORMAL_SIZE[1]) // 2) + NORMAL_SIZE
FULL = (0, 0) + driver.SCREEN   # Xvfb has no taskbar: the work area is the screen too
CONFIRM_SIZE = (256, 110)
PAGE_BACKGROUND = (0x20, 0x30, 0x48)
CACHE_FILES = 4000
# Strip buttons: left and right edge as offsets from the window's right edge.
CLOSE = (32, 2)
CLEAN = (383, 298)


def shoot(name):
    driver.run("import", "-window", "root", os.path.join(OUT, name))
    print("build/demo/" + name, flush=True)


def click_strip(window, button):
    x, y, width, _ = driver.geometry(window)
    left, right = button
    driver.click(x + width - (left + right) // 2, y + 15)


def wait_geometry(window, geometry):
    driver.wait_for(lambda: driver.geometry(window) == geometry, 10, what="game window at %s" % (geometry,))


def wait_page_colour(x, y, shown, what):
    """Until the screen at (x, y) shows the game page's background, or stops showing it."""
    driver.wait_for(lambda: driver.close_to(driver.Screenshot().pixel(x, y), PAGE_BACKGROUND, 8) == shown, 10,
                    what=what)


def fill_internet_cache(count):
    """Small files in the prefix's Temporary Internet Files, for the cleaner to delete."""
    folder = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", pwd.getpwuid(os.getuid()).pw_name,
                          "AppData", "Local", "Microsoft", "Windows", "INetCache", "demo")
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        with open(os.path.join(folder, "item%05d.css" % i), "w") as f:
            f.write("/* cached */\n")


def cleaner(game):
    """The screen-covering window of the cache cleaner, while it shows."""
    def covers(window):
        try:
            return driver.geometry(window) == FULL
        except subprocess.CalledProcessError:
            return False
    return [w for w in driver.client_windows() if w != game and covers(w)]


def main():
    # A run that stops half-way must not leave an older series looking current.
    shutil.rmtree(OUT, ignore_errors=True)
    os.makedirs(OUT)
    client = driver.Client()
    try:
        login = driver.LoginWindows(client)
        login.wait_page("/vornak")
        login.fill_in()
        shoot("01-login.png")
        driver.click(*login.element("button", ""))
        login.wait_page(driver.LOGGED_IN)
        shoot("02-servers.png")

        login.click_link(driver.SERVER_1)
        game = driver.wait_window("Duskmere", 30, size=driver.SCREEN)
        driver.wait_for(client.game_page_shown, 30, what="game page shown")
        wait_page_colour(960, 600, True, "the game page drawn")
        shoot("03-game-maximized.png")

        driver.click(300, 15, repeat=2)
        wait_geometry(game, NORMAL)
        wait_page_colour(100, 540, False, "the screen left of the normal window cleared")
        wait_page_colour(960, 600, True, "the page drawn in the normal window")
        shoot("04-game-normal.png")

        driver.key(game, "F11")
        wait_geometry(game, FULL)
        wait_page_colour(300, 10, True, "the page over the band")
        shoot("05-game-fullscreen.png")
        # Back to the work area's size, which here is the screen's too.
        driver.key(game, "F11")
        wait_page_colour(300, 10, False, "the strip back")

        click_strip(game, CLOSE)
        confirm = driver.wait_window_of_size(CONFIRM_SIZE)
        shoot("06-confirm.png")
        driver.key(confirm, "Escape")
        driver.wait_for(lambda: not driver.is_viewable(confirm), 10, what="confirmation closed")

        fill_internet_cache(CACHE_FILES)
        click_strip(game, CLEAN)
        driver.wait_for(lambda: cleaner(game), 10, what="cache-cleaning overlay")
        shoot("07-cleaning.png")
        driver.wait_for(lambda: not cleaner(game), 120, what="cache cleaned")

        click_strip(game, CLOSE)
        driver.key(driver.wait_window_of_size(CONFIRM_SIZE), "Return")
        print("the client quit with exit code %d" % client.exit_code())
    finally:
        client.stop()


if __name__ == "__main__":
    main()
