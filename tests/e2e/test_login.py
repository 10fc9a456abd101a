"""The login panel over the backdrop: its page, its screening of navigations and
the hand-off of game addresses to the game window."""
import driver

PLATFORM = driver.PLATFORM
SERVER_LINKS = {"server 1": 0, "server 2": 1, "client=10": 2, "capital Client": 3, "news": 4,
                "frame": 5, "meta refresh": 6}
GAME_SIZE = driver.SCREEN  # the work area of a screen without a taskbar


class LoginPanelTest(driver.ClientTest):
    def setUp(self):
        self.client = self.start_client()
        self.login = driver.LoginWindows(self.client)
        self.login.wait_page("/vornak")

    def open_server_list(self):
        self.login.log_in()

    def game_window(self):
        return driver.wait_window("Duskmere", size=GAME_SIZE)

    def test_browser_hidden_until_its_first_page_completes(self):
        log = self.client.log()
        panel = [e for e in log if e.get("instance") == 1]
        first_complete = next(i for i, e in enumerate(panel) if e["event"] == "navigate_complete")
        shown_before = [e for e in panel[:first_complete] if e["event"] == "window" and e["visible"]
                        and (e["x"], e["y"]) == (270, 141)]
        self.assertEqual(shown_before, [])
        last_window = [e for e in panel if e["event"] == "window"][-1]
        self.assertEqual((last_window["x"], last_window["y"], last_window["w"], last_window["h"]),
                         driver.PANEL_BROWSER)
        self.assertTrue(last_window["visible"])
        self.assertEqual(panel[first_complete]["url"], PLATFORM + "/vornak")

    def assert_intercepted(self, url, frame=False, panel_page=driver.LOGGED_IN):
        self.client.wait_event("before_navigate", instance=1, url=url, frame=frame, cancelled=True)
        self.client.wait_event("navigate", instance=2, url=url)
        game = self.game_window()
        driver.wait_for(lambda: not driver.is_viewable(self.login.backdrop), 10, what="backdrop hidden")
        self.assertTrue(driver.is_viewable(game))
        self.client.wait_event("navigate_complete", instance=2, url=url)
        # The panel keeps the page it showed.
        panel_pages = self.client.events("navigate_complete", instance=1, frame=False)
        self.assertEqual(panel_pages[-1]["url"], PLATFORM + panel_page)

    def test_marker_as_last_parameter_opens_the_game(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["server 1"])
        self.assert_intercepted(PLATFORM + "/vornak/play?server=1&client=1")

    def test_client_10_contains_the_marker(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["client=10"])
        self.assert_intercepted(PLATFORM + "/vornak/play?server=3&mode=client=10")

    def test_frame_navigation_is_screened_too(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["frame"])
        self.assert_intercepted(PLATFORM + "/vornak/play?server=5&client=1", frame=True,
                                panel_page="/vornak/frame")

    def test_navigation_without_a_click_is_screened(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["meta refresh"])
        self.assert_intercepted(PLATFORM + "/vornak/play?server=6&client=1", panel_page="/vornak/auto")

    def assert_stays_in_panel(self, path):
        self.login.wait_page(path)
        answered = self.client.events("before_navigate", instance=1, url=PLATFORM + path)
        self.assertEqual([e["cancelled"] for e in answered], [False])
        self.assertEqual([e for e in self.client.log() if e.get("instance") == 2], [])
        self.assertTrue(driver.is_viewable(self.login.backdrop))

    def test_capital_marker_stays_in_the_panel(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["capital Client"])
        self.assert_stays_in_panel("/vornak/play?server=4&Client=1")

    def test_address_without_marker_stays_in_the_panel(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["news"])
        self.assert_stays_in_panel("/vornak/news")


if __name__ == "__main__":
    driver.main()
