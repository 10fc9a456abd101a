"""The login backdrop as a player meets it: placed, shaped, dragged, closed."""
import os

import driver

BACKDROP_PNG = os.path.join(driver.ROOT, "res", "art", "155.png")
SIZE = (980, 668)
CENTRED = ((driver.SCREEN[0] - SIZE[0]) // 2, (driver.SCREEN[1] - SIZE[1]) // 2)
UNDERLAY = (0, 160, 80)


class BackdropTest(driver.ClientTest):
    def setUp(self):
        self.start_underlay(UNDERLAY)
        # Off the login windows: nothing hit-tests them before a case touches them.
        driver.run("xdotool", "mousemove", "--sync", "0", "0")
        self.client = self.start_client()
        self.login = driver.LoginWindows(self.client)
        self.login.wait_page("/vornak")
        self.window = self.login.backdrop

    def test_mapped_centred_at_image_size(self):
        self.assertEqual(driver.settled_geometry(self.window), CENTRED + SIZE)

    def test_alpha_decides_what_shows(self):
        left, top = CENTRED
        shot = driver.Screenshot()
        for x, y in [(1, 1), (978, 666), (940, 630)]:
            self.assertEqual(driver.png_pixel(BACKDROP_PNG, x, y)[3], 0)
            self.assertTrue(driver.close_to(shot.pixel(left + x, top + y), UNDERLAY),
                            "transparent pixel (%d, %d) shows %s" % (x, y, shot.pixel(left + x, top + y)))
        for x, y in [(490, 60), (100, 334)]:
            r, g, b, a = driver.png_pixel(BACKDROP_PNG, x, y)
            self.assertEqual(a, 255)
            self.assertTrue(driver.close_to(shot.pixel(left + x, top + y), (r, g, b)),
                            "opaque pixel (%d, %d) shows %s" % (x, y, shot.pixel(left + x, top + y)))

    def test_drag_by_visible_pixel_moves_it(self):
        left, top = CENTRED
        driver.drag(left + 120, top + 60, -100, 80)
        driver.wait_for(lambda: driver.geometry(self.window)[:2] == (left - 100, top + 80), 5,
                        what="backdrop moved by the drag")

    def test_a_late_word_on_the_panels_place_parts_nothing(self):
        # Under load Wine may take the panel to stand where openbox framed it for
        # a moment (0,0) when it is already over the backdrop; the same report,
        # sent here, must leave both where they are on the screen.
        driver.report_place(self.login.panel, 0, 0, *SIZE)
        # A key typed into the page after it reaches the client after it (one X
        # connection, in order); with the pair parted, the click misses the field.
        self.login.input_taken()
        self.assertEqual(driver.settled_geometry(self.window), CENTRED + SIZE)
        self.assertEqual(driver.settled_geometry(self.login.panel), CENTRED + SIZE)

    def test_enter_and_escape_do_nothing(self):
        driver.key(self.window, "Return")
        driver.key(self.window, "Escape")
        self.login.input_taken()
        self.assertTrue(self.client.running())
        self.assertTrue(driver.is_viewable(self.window))

    def test_alt_f4_ends_the_process(self):
        left, top = CENTRED
        driver.click(left + 120, top + 60)  # the backdrop, not the panel over it, becomes active
        driver.key(self.window, "alt+F4")
        self.assertEqual(self.client.exit_code(), 0)


if __name__ == "__main__":
    driver.main()
