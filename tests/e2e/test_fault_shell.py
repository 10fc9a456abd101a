"""The desktop refusing the game window what it asks for: F11 already held by
another program, a notification area that takes no icon. The player hears of
the key once, of the icon never, and the game window works and quits with 16."""
import driver
import game_session as gs

CONFIRM_SIZE = (256, 110)
BROWSER_FULL_SCREEN = (0, 0) + driver.SCREEN


def placed(event):
    return event["x"], event["y"], event["w"], event["h"]


class ReachedGame(gs.GameWindow):
    """The game window of a client already sent to it."""

    def __init__(self, client):
        self.client = client
        self.window = driver.wait_window("Duskmere", size=gs.WORK_AREA)
        client.wait_painted(2, gs.GAME_URL)
        self.wait_strip(True)


class ShellFaultTest(driver.ClientTest):
    def setUp(self):
        # Every window the client maps, message boxes included, however briefly.
        self.watch = driver.MappedWindows()
        self.addCleanup(self.watch.stop)

    def reports(self):
        return [m for m in self.watch.mapped if m[1] == "duskmere"]

    def game_browser_reports(self):
        return [e for e in self.client.log() if e.get("instance") == 2 and e["event"] == "window"]

    def quit_from_the_strip(self, game):
        game.click_button("close")
        driver.key(driver.wait_window_of_size(CONFIRM_SIZE), "Return")
        self.assertEqual(self.client.exit_code(), 16)

    def test_f11_held_elsewhere_is_reported_once_and_f10_still_works(self):
        holder = driver.start_wine(self, driver.tool("hold_hotkey"), "F11")
        self.assertEqual(driver.read_line(holder), "holding F11")
        self.client = self.start_client()
        login = driver.LoginWindows(self.client)
        login.wait_page("/vornak")
        login.log_in()
        login.click_link(driver.SERVER_1)

        box = driver.wait_for(gs.message_boxes, 20, what="the report")[0]
        self.assertEqual(driver.window_texts("duskmere"), [["OK", "RegisterHotKey F11 false"]])
        driver.key(box, "Return")
        game = ReachedGame(self.client)

        # F11 goes to the other program; F10, pressed after it, is the game's and hides it.
        seen = len(self.game_browser_reports())
        driver.key(game.window, "F11")
        driver.key(game.window, "F10")
        game.wait_visible(False)
        self.assertEqual([e for e in self.game_browser_reports()[seen:] if placed(e) == BROWSER_FULL_SCREEN], [])
        driver.start_wine(self, "notepad")
        driver.key(driver.wait_window("Notepad"), "F10")
        game.wait_visible(True)

        self.quit_from_the_strip(game)
        self.assertEqual(len(self.reports()), 1, "reports: %s" % (self.reports(),))

    def test_notification_area_refusing_the_icon_leaves_the_game_working(self):
        tray = driver.start_wine(self, driver.tool("refuse_tray"))
        self.assertEqual(driver.read_line(tray), "refusing icons")
        self.client = self.start_client()
        game = gs.GameWindow(self.client)
        self.assertEqual(driver.read_line(tray), "refused", "the icon went elsewhere")

        seen = len(self.game_browser_reports())
        driver.key(game.window, "F11")
        driver.wait_for(lambda: [e for e in self.game_browser_reports()[seen:]
                                 if placed(e) == BROWSER_FULL_SCREEN], 10, what="full screen")
        driver.key(game.window, "F11")
        game.wait_strip(True)

        self.assertFalse(driver.tray_shown(), "an icon got into Wine's own notification area")
        self.quit_from_the_strip(game)
        self.assertEqual(self.reports(), [], "the refusal was reported")


if __name__ == "__main__":
    driver.main()
