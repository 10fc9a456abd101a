"""Between the login windows and the game window: going back to the server list,
quitting, and the login windows' own behaviour (colour key, joint move)."""
import driver

PLATFORM = driver.PLATFORM
GAME_SIZE = driver.SCREEN
CONFIRM_SIZE = (256, 110)
SERVER_BUTTON = (driver.SCREEN[0] - 526 + 30, 15)   # the strip's server-selection button
CLOSE_BUTTON = (driver.SCREEN[0] - 2 - 15, 15)
PANEL_CLOSE = (901 + 14, 82 + 14)                    # in backdrop coordinates


class HandOffTest(driver.ClientTest):
    def setUp(self):
        self.client = self.start_client()
        self.login = driver.LoginWindows(self.client)
        self.login.wait_page("/vornak")

    def enter_game(self):
        self.login.log_in()
        self.login.click_link(driver.SERVER_1)
        return driver.wait_window("Duskmere", size=GAME_SIZE)

    def confirm(self, answer):
        dialog = driver.wait_window_of_size(CONFIRM_SIZE)
        if driver.window_manager():
            # Opened, it is the active window by itself: a key pressed now reaches it.
            driver.wait_for(lambda: driver.active_window() == dialog, 5, what="confirmation active")
        driver.key(dialog, answer)
        driver.wait_for(lambda: not driver.is_viewable(dialog), 10, what="confirmation closed")

    def test_confirmed_server_list_brings_back_a_refreshed_login(self):
        game = self.enter_game()
        driver.click(*SERVER_BUTTON)
        self.confirm("Return")
        driver.wait_for(lambda: driver.is_viewable(self.login.backdrop), 10, what="backdrop shown again")
        self.client.wait_event("refresh", instance=1)
        driver.wait_for(lambda: game not in driver.client_windows(), 10, what="game window gone")
        self.login.wait_page(driver.LOGGED_IN)

        # The next game address makes a new game window, in the work-area mode.
        self.login.click_link("/vornak/play?client=1&server=2")
        self.client.wait_event("navigate", instance=3, url=PLATFORM + "/vornak/play?client=1&server=2")
        new_game = driver.wait_window("Duskmere", size=GAME_SIZE)
        self.assertEqual(driver.settled_geometry(new_game), (0, 0) + GAME_SIZE)

    def test_declined_server_list_changes_nothing(self):
        game = self.enter_game()
        driver.click(*SERVER_BUTTON)
        self.confirm("Escape")
        # The game window still takes its keys: what the answer did is done by then.
        seen = self.client.mark()
        driver.key(game, "F11")
        self.client.wait_event("window", after=seen, instance=2, x=0, y=0, w=GAME_SIZE[0], h=GAME_SIZE[1])
        self.assertTrue(driver.is_viewable(game))
        self.assertFalse(driver.is_viewable(self.login.backdrop))
        self.assertEqual(self.client.events("refresh"), [])

    def test_quit_confirmed_from_the_game_exits_with_16(self):
        self.enter_game()
        driver.click(*CLOSE_BUTTON)
        self.confirm("Return")
        self.assertEqual(self.client.exit_code(), 16)

    def test_quit_confirmed_from_the_panel_exits_with_16(self):
        x, y, _, _ = driver.geometry(self.login.backdrop)
        driver.click(x + PANEL_CLOSE[0], y + PANEL_CLOSE[1])
        self.confirm("Return")
        self.assertEqual(self.client.exit_code(), 16)

    def test_declined_quit_from_the_panel_changes_nothing(self):
        x, y, _, _ = driver.geometry(self.login.backdrop)
        driver.click(x + PANEL_CLOSE[0], y + PANEL_CLOSE[1])
        self.confirm("Escape")
        self.login.input_taken()
        self.assertTrue(self.client.running())
        self.assertTrue(driver.is_viewable(self.login.backdrop))


class LoginWindowsTest(driver.ClientTest):
    def setUp(self):
        self.client = self.start_client()
        self.login = driver.LoginWindows(self.client)
        self.login.wait_page("/vornak")
        self.panel = driver.wait_for(self.find_panel, 10, what="login panel")

    def find_panel(self):
        backdrop = driver.geometry(self.login.backdrop)
        for window in driver.client_windows():
            if window != self.login.backdrop and driver.geometry(window) == backdrop:
                return window
        return None

    def test_panel_surface_shows_the_backdrop_and_passes_clicks_to_it(self):
        x, y, _, _ = driver.geometry(self.login.backdrop)
        backdrop_png = driver.png_pixel(driver.ROOT + "/res/art/155.png", 120, 300)
        shot = driver.Screenshot()
        self.assertTrue(driver.close_to(shot.pixel(x + 120, y + 300), backdrop_png[:3]),
                        "panel surface shows %s" % (shot.pixel(x + 120, y + 300),))
        driver.drag(x + 120, y + 300, 60, -40)
        driver.wait_for(lambda: driver.geometry(self.login.backdrop)[:2] == (x + 60, y - 40), 5,
                        what="backdrop dragged through the panel")
        driver.wait_for(lambda: driver.geometry(self.panel)[:2] == (x + 60, y - 40), 5,
                        what="panel followed")


if __name__ == "__main__":
    driver.main()
