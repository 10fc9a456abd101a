"""The game platform failing the client: not there at all, answering slowly,
answering with bytes that are no page. The client shows what its browser ends
on, stays responsive and still quits with 16.

These cases take the demo platform of the test run away for their duration and
bring a plain one back afterwards, whatever happens."""
import time

import driver

LOGIN_URL = driver.PLATFORM + "/vornak"
CONFIRM_SIZE = (256, 110)
PANEL_CLOSE = (901 + 14, 82 + 14)   # in backdrop coordinates
SLOW_ANSWER = 10                    # seconds; the stand-in gives up after 15
DRAG_POINT = (120, 300)             # a visible pixel of the backdrop, left of the page


def page_drawn(login):
    """Whether most of the panel's browser area shows a page's light background
    rather than the dark backdrop beneath."""
    left, top, width, height = login.browser_rect()
    shot = driver.Screenshot()
    points = [(left + width * i // 10, top + height * j // 10) for i in range(1, 10) for j in range(1, 10)]
    light = [p for p in points if min(shot.pixel(*p)) >= 230]
    return len(light) > len(points) // 2


class PlatformFaultTest(driver.ClientTest):
    def setUp(self):
        self.platform = driver.SharedPlatform()
        self.addCleanup(self.platform.restore)
        self.platform.stop()

    def revealed_panel_page(self, timeout=20.0):
        """The client, once the panel's browser has finished with the login address and shows it."""
        client = self.start_client()
        login = driver.LoginWindows(client)
        client.wait_event("navigate_complete", timeout, instance=1, url=LOGIN_URL, frame=False)
        client.wait_event("window", instance=1, x=driver.PANEL_BROWSER[0], y=driver.PANEL_BROWSER[1],
                          w=driver.PANEL_BROWSER[2], h=driver.PANEL_BROWSER[3], visible=True)
        client.wait_painted(1, LOGIN_URL, timeout)
        driver.wait_for(lambda: page_drawn(login), 10, what="a page in the panel")
        return client, login

    def quit_from_panel(self, client, login):
        x, y, _, _ = driver.geometry(login.backdrop)
        driver.click(x + PANEL_CLOSE[0], y + PANEL_CLOSE[1])
        driver.key(driver.wait_window_of_size(CONFIRM_SIZE), "Return")
        self.assertEqual(client.exit_code(), 16)

    def test_unreachable_platform_shows_the_error_page_and_the_quit_still_works(self):
        client, login = self.revealed_panel_page()
        self.assertEqual(client.elements(1), [], "an error page, not the login page")
        self.assertTrue(client.running())
        self.quit_from_panel(client, login)

    def test_slow_platform_leaves_the_backdrop_draggable_until_the_page_comes(self):
        self.platform.start("--delay", str(SLOW_ANSWER))
        started = time.time()
        client = self.start_client()
        login = driver.LoginWindows(client)
        client.wait_event("before_navigate", instance=1, url=LOGIN_URL)
        x, y, _, _ = driver.geometry(login.backdrop)
        driver.drag(x + DRAG_POINT[0], y + DRAG_POINT[1], -100, 60)
        driver.wait_for(lambda: driver.geometry(login.backdrop)[:2] == (x - 100, y + 60), 5,
                        what="backdrop dragged while the page loads")
        self.assertEqual(client.events("navigate_complete", instance=1), [], "the page was not due yet")
        self.assertLess(time.time() - started, SLOW_ANSWER)

        client.wait_painted(1, LOGIN_URL, 2 * SLOW_ANSWER)
        self.assertIn(("field", "user"), client.elements(1))
        self.quit_from_panel(client, login)

    def test_garbage_from_the_platform_is_shown_and_the_quit_still_works(self):
        self.platform.start("--garbage")
        client, login = self.revealed_panel_page()
        self.quit_from_panel(client, login)


if __name__ == "__main__":
    driver.main()
