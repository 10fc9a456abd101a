"""The typical road, start to exit, in one run of the client: the login windows
and their page, a server chosen, the game window with its keys, and a confirmed
quit that leaves nothing behind."""
import driver
import game_session as gs

GAME_URL = driver.PLATFORM + "/vornak/play?server=1&client=1"
CONFIRM_SIZE = (256, 110)
CLOSE_BUTTON = (driver.SCREEN[0] - 17, 15)   # the strip's close button, x W-32..W-2, y 0..30
BROWSER_FULL_SCREEN = (0, 0) + driver.SCREEN
BROWSER_UNDER_STRIP = (0, gs.STRIP_HEIGHT, driver.SCREEN[0], driver.SCREEN[1] - gs.STRIP_HEIGHT)


def placed(event):
    return event["x"], event["y"], event["w"], event["h"]


class TypicalRoadTest(driver.ClientTest):
    def wait_game_browser_at(self, rect, after):
        """The game browser's first window report after log line `after` that shows it at `rect`."""
        def found():
            later = self.client.log()[after:]
            return [e for e in later if e.get("instance") == 2 and e["event"] == "window"
                    and e["visible"] and placed(e) == rect]
        return driver.wait_for(found, 10, what="game browser at %s" % (rect,))

    def test_from_start_to_exit_16(self):
        # No icon of an earlier client may still be on its way out of the notification area.
        driver.wait_for(lambda: not driver.tray_shown(), 10, what="notification area empty at the start")
        self.client = self.start_client()

        # Start: the backdrop, the panel over it, and the login page revealed once it came.
        login = driver.LoginWindows(self.client)
        centred = ((driver.SCREEN[0] - driver.BACKDROP_SIZE[0]) // 2,
                   (driver.SCREEN[1] - driver.BACKDROP_SIZE[1]) // 2)
        self.assertEqual(driver.settled_geometry(login.backdrop), centred + driver.BACKDROP_SIZE)
        panel = login.panel
        login.wait_page("/vornak")
        panel_log = [e for e in self.client.log() if e.get("instance") == 1]
        first_page = next(i for i, e in enumerate(panel_log) if e["event"] == "navigate_complete")
        self.assertEqual(panel_log[first_page]["url"], driver.PLATFORM + "/vornak")
        # Judged at the end, so that the rest of the road is walked whatever it says.
        shown_early = driver.shown_before_first_page(panel_log, 1)
        last_report = [e for e in panel_log if e["event"] == "window"][-1]
        self.assertEqual(placed(last_report), driver.PANEL_BROWSER)
        self.assertTrue(last_report["visible"])
        self.assertFalse(driver.tray_shown(), "no icon before the game window")

        # A server chosen: the panel cancels the navigation, the game window takes the address.
        login.log_in()
        login.click_link(driver.SERVER_1)
        self.client.wait_event("before_navigate", instance=1, url=GAME_URL, frame=False, cancelled=True)
        game = driver.wait_window("Duskmere", size=gs.WORK_AREA)
        self.assertEqual(driver.settled_geometry(game), (0, 0) + gs.WORK_AREA)
        self.client.wait_event("navigate", instance=2, url=GAME_URL)
        self.client.wait_event("navigate_complete", instance=2, url=GAME_URL, frame=False)
        driver.wait_for(lambda: not driver.is_viewable(login.backdrop) and not driver.is_viewable(panel), 10,
                        what="login windows hidden")
        driver.wait_for(driver.tray_shown, 10, what="the game window's icon")
        self.assertEqual(self.client.events("navigate", instance=1, url=GAME_URL), [])

        # F11 to full screen and back.
        seen = len(self.client.log())
        driver.key(game, "F11")
        self.wait_game_browser_at(BROWSER_FULL_SCREEN, seen)
        seen = len(self.client.log())
        driver.key(game, "F11")
        self.wait_game_browser_at(BROWSER_UNDER_STRIP, seen)
        self.assertEqual(driver.settled_geometry(game), (0, 0) + gs.WORK_AREA)

        # F10 hides the game; F10 pressed in another program brings it back.
        driver.key(game, "F10")
        driver.wait_for(lambda: not driver.is_viewable(game), 10, what="game window hidden")
        driver.start_wine(self, "notepad")
        notepad = driver.wait_window("Notepad")
        driver.key(notepad, "F10")
        driver.wait_for(lambda: driver.is_viewable(game), 10, what="game window shown")
        self.assertEqual(driver.settled_geometry(game), (0, 0) + gs.WORK_AREA)

        # The close button asks; Enter confirms; the process ends with 16 and shows nothing on its way.
        driver.click(*CLOSE_BUTTON)
        confirm = driver.wait_window_of_size(CONFIRM_SIZE)
        self.assertTrue(self.client.running())
        exiting = driver.MappedWindows()
        try:
            driver.key(confirm, "Return")
            self.assertEqual(self.client.exit_code(), 16)
        finally:
            shown_on_exit = exiting.stop()
        self.assertEqual(shown_on_exit, [], "windows mapped while the client exited")
        driver.wait_for(lambda: not driver.tray_shown(), 10, what="the icon gone")
        self.assertEqual(shown_early, [], "the panel's browser showed before its first page")


if __name__ == "__main__":
    driver.main()
