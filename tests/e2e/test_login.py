"""The login panel over the backdrop: its page, its screening of navigations and
the hand-off of game addresses to the game window."""
import driver

PLATFORM = driver.PLATFORM
# The server list's links, in its order.
SERVER_LINKS = {"server 1": driver.SERVER_1, "server 2": "/vornak/play?client=1&server=2",
                "client=10": "/vornak/play?server=3&mode=client=10",
                "capital Client": "/vornak/play?server=4&Client=1", "news": "/vornak/news",
                "frame": "/vornak/frame", "meta refresh": "/vornak/auto", "other schemes": "/vornak/schemes",
                "server 7 in a new window": "/vornak/play?server=7&client=1",
                "news in a new window": "/vornak/news", "new windows page": "/vornak/windows"}
SCHEME_FRAMES = ("file:///C:/client=1.htm", "javascript:'client=1'", "res://ieframe.dll/client=1.htm")
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
        self.assertEqual(driver.shown_before_first_page(panel, 1), [])
        last_window = [e for e in panel if e["event"] == "window"][-1]
        self.assertEqual((last_window["x"], last_window["y"], last_window["w"], last_window["h"]),
                         driver.PANEL_BROWSER)
        self.assertTrue(last_window["visible"])
        self.assertEqual(panel[first_complete]["url"], PLATFORM + "/vornak")

    def assert_intercepted(self, url, frame=False, panel_page=driver.LOGGED_IN):
        self.client.wait_event("before_navigate", instance=1, url=url, frame=frame, cancelled=True)
        self.assert_in_game_window(url, panel_page)

    def assert_in_game_window(self, url, panel_page=driver.LOGGED_IN):
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

    def typed(self, *keys_and_texts):
        """Sends keys (a tuple) and texts (a string) to the focused window, as a player types."""
        for item in keys_and_texts:
            if isinstance(item, tuple):
                driver.run("xdotool", "key", "--delay", "60", *item)
            else:
                driver.run("xdotool", "type", "--delay", "30", item)

    def test_typed_login_posts_exactly_the_typed_values(self):
        driver.click(*self.login.element("field", "user"))
        self.typed(driver.DEMO_USER, ("Tab",), driver.DEMO_PASSWORD, ("Return",))
        self.login.wait_page(driver.LOGGED_IN)
        with open(driver.SharedPlatform().log, encoding="utf-8") as f:
            posts = [line.strip() for line in f if line.startswith("POST /vornak/login")]
        self.assertEqual(posts[-1], "POST /vornak/login user=%s&password=%s" % (driver.DEMO_USER, driver.DEMO_PASSWORD))
        self.assertEqual(self.client.elements(1), [("link", href) for href in SERVER_LINKS.values()])
        self.assertTrue(driver.is_viewable(self.login.backdrop))

    def test_tab_past_the_page_wraps_inside_it(self):
        # The panel's buttons are no tab stops: a Tab past the page's last
        # element stays in the page, and the next one starts it again.
        driver.click(*self.login.element("field", "password"))
        self.typed(("Tab", "Tab"))
        self.client.wait_event("focus", instance=1, element="link")
        focus_outs = len(self.client.events("focus_out", instance=1))
        self.typed(("Tab",))
        self.client.wait_event("key_to_site", instance=1, key=9, hr=0)
        wrapped = self.client.mark()
        self.typed(("Tab",))
        self.client.wait_event("focus", instance=1, element="field", name="user", after=wrapped)
        self.assertEqual(len(self.client.events("focus_out", instance=1)), focus_outs)

    def test_backspace_and_select_all_replace_a_field(self):
        driver.click(*self.login.element("field", "user"))
        self.typed("wanderers", ("BackSpace",))
        self.client.wait_event("edit", instance=1, name="user", value="wanderer")
        self.typed(("ctrl+a",), "ronin")
        self.client.wait_event("edit", instance=1, name="user", value="ronin")

    def assert_stays_in_panel(self, path):
        self.login.wait_page(path)
        answered = self.client.events("before_navigate", instance=1, url=PLATFORM + path)
        self.assertEqual([e["cancelled"] for e in answered], [False])
        self.assertEqual([e for e in self.client.log() if e.get("instance") == 2], [])
        self.assertTrue(driver.is_viewable(self.login.backdrop))

    def test_a_game_address_for_a_new_window_opens_the_game_window(self):
        # A link with target="_blank": the control asks its host for a new
        # window with NewWindow3, and the panel cancels it and hands the game
        # address to the game window, so no plain browser window shows the
        # game outside the game window and the screening.
        self.open_server_list()
        url = PLATFORM + SERVER_LINKS["server 7 in a new window"]
        self.login.click_link(SERVER_LINKS["server 7 in a new window"])
        asked = self.client.wait_event("new_window", instance=1, url=url)
        self.assertTrue(asked[-1]["cancelled"], asked)
        self.assert_in_game_window(url)
        browsers = {e["instance"] for e in self.client.log() if e["event"] == "created"}
        self.assertEqual(browsers, {1, 2}, "only the panel's and the game window's controls")

    def test_capital_marker_stays_in_the_panel(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["capital Client"])
        self.assert_stays_in_panel("/vornak/play?server=4&Client=1")

    def test_address_without_marker_stays_in_the_panel(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["news"])
        self.assert_stays_in_panel("/vornak/news")

    def test_marker_in_other_schemes_stays_in_the_panel(self):
        self.open_server_list()
        self.login.click_link(SERVER_LINKS["other schemes"])
        self.login.wait_page("/vornak/schemes")
        for url in SCHEME_FRAMES:
            self.client.wait_event("before_navigate", instance=1, url=url, frame=True)
        screened = [e["cancelled"] for url in SCHEME_FRAMES
                    for e in self.client.events("before_navigate", instance=1, url=url)]
        # Every address with the marker is cancelled; none of these opens a game.
        self.assertEqual(screened, [True] * len(SCHEME_FRAMES))
        self.assertEqual([e for e in self.client.log() if e.get("instance") == 2], [])
        self.assertTrue(driver.is_viewable(self.login.backdrop))
        panel_pages = self.client.events("navigate_complete", instance=1, frame=False)
        self.assertEqual(panel_pages[-1]["url"], PLATFORM + "/vornak/schemes")


if __name__ == "__main__":
    driver.main()
