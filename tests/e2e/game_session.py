"""Reaching and reading the game window of a running client: log in, pick a
server, then find the window, its title strip and its buttons on the screen."""
import os
import subprocess

import driver

# Xvfb has no taskbar, so the work area is the whole screen.
WORK_AREA = driver.SCREEN
NORMAL_SIZE = (1000, 700)
NORMAL_ORIGIN = ((driver.SCREEN[0] - NORMAL_SIZE[0]) // 2, (driver.SCREEN[1] - NORMAL_SIZE[1]) // 2)
GAME_URL = driver.PLATFORM + "/vornak/play?server=1&client=1"
PAGE_BACKGROUND = (0x20, 0x30, 0x48)
STRIP_HEIGHT = 30
ART = os.path.join(driver.ROOT, "res", "art")

# Buttons of the strip: image, left edge as an offset from the client width,
# drawn width (the worked layout of a 1000-pixel window, anchored on the right).
BUTTONS = {
    "close": ("166.png", 32, 30),
    "restore": ("189.png", 61, 29),
    "maximise": ("168.png", 61, 29),
    "minimise": ("169.png", 90, 29),
    "full screen": ("167.png", 194, 64),
    "boss": ("164.png", 298, 104),
    "clean": ("1000.png", 383, 85),
    "refresh": ("170.png", 463, 80),
    "server": ("171.png", 526, 61),
}


def image_rows(name, x, rows):
    """(r, g, b) of column x of an image file, for each of `rows`."""
    out = subprocess.run(["convert", os.path.join(ART, name), "-crop", "1x%d+%d+0" % (max(rows) + 1, x),
                          "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return [tuple(out[3 * y:3 * y + 3]) for y in rows]


STRIP_ROWS = range(STRIP_HEIGHT)
STRIP_COLOURS = image_rows("136.bmp", 0, STRIP_ROWS)


def window_name(window):
    return subprocess.run(["xdotool", "getwindowname", str(window)], capture_output=True, text=True).stdout.strip()


def message_boxes():
    """Visible client windows captioned exactly with the executable's name."""
    return [w for w in driver.client_windows() if window_name(w) == "duskmere"]


class GameWindow:
    """The game window of `client`, entered from the login page's first server."""

    def __init__(self, client, expect_boxes=0):
        self.client = client
        login = driver.LoginWindows(client)
        login.wait_page("/vornak")
        login.log_in()
        login.click_link(driver.SERVER_1)
        self.boxes_seen = self.dismiss_boxes(expect_boxes)
        self.window = driver.wait_window("Duskmere", size=WORK_AREA)
        client.wait_painted(2, GAME_URL)
        self.wait_strip(True)
        if driver.window_manager():
            # The game window takes the focus by itself; a window manager hands
            # it over only after the window came up.
            driver.wait_for(lambda: driver.input_focus() == self.window, 5, what="the game window focused")

    def dismiss_boxes(self, count, timeout=20.0):
        """Answers `count` message boxes, one at a time; returns how many came."""
        seen = 0
        while seen < count:
            box = driver.wait_for(lambda: message_boxes(), timeout, what="message box %d" % (seen + 1))[0]
            driver.key(box, "Return")
            driver.wait_for(lambda: box not in message_boxes(), 10, what="message box gone")
            seen += 1
        return seen

    def geometry(self):
        return driver.geometry(self.window)

    def page_point(self, kind, name):
        """Screen centre of a field, button or link of the game page, as the stand-in laid it out."""
        x, y = self.client.element(2, kind, name)
        view_x, view_y = self.client.view_origin(2)
        wx, wy, _, _ = self.geometry()
        return wx + view_x + x, wy + view_y + y

    def input_taken(self):
        """Returns once the game window's thread has taken every input sent so
        far: a line typed into the chat field after it reaches the page."""
        driver.click(*self.page_point("field", "line"))
        seen = self.client.mark()
        driver.run("xdotool", "type", "k")
        self.client.wait_event("edit", after=seen, instance=2, name="line")

    def visible(self):
        return driver.is_viewable(self.window)

    def strip_shown(self, shot=None):
        """Whether the strip background shows in the band, right of the logo."""
        shot = shot or driver.Screenshot()
        x, y, _, _ = self.geometry()
        return all(driver.close_to(shot.pixel(x + 300, y + row), STRIP_COLOURS[row], 8) for row in (2, 12, 24))

    def wait_strip(self, shown, timeout=15.0):
        driver.wait_for(lambda: self.strip_shown() == shown, timeout,
                        what="strip " + ("shown" if shown else "gone"))

    def button_rect(self, name):
        """(x, y, width, height) of a strip button on the screen."""
        _, from_right, width = BUTTONS[name]
        x, y, w, _ = self.geometry()
        return x + w - from_right, y, width, STRIP_HEIGHT

    def click_button(self, name):
        x, y, w, h = self.button_rect(name)
        driver.click(x + w // 2, y + h // 2)

    def wait_geometry(self, geometry, timeout=10.0):
        driver.wait_for(lambda: self.geometry() == tuple(geometry), timeout,
                        what="game window at %s" % (geometry,))

    def wait_visible(self, visible, timeout=10.0):
        driver.wait_for(lambda: self.visible() == visible, timeout,
                        what="game window " + ("shown" if visible else "hidden"))


def tray_icon_point():
    """Centre of the first icon of Wine's stand-alone tray window."""
    tray = driver.wait_window("Wine System Tray")
    x, y, _, h = driver.geometry(tray)
    return x + h // 2, y + h // 2
