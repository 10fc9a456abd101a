"""The game window on the screen: its title strip, the display modes a player
switches between, and dragging."""
import driver
import game_session as gs


class GameWindowTest(driver.ClientTest):
    def setUp(self):
        self.client = self.start_client()
        self.game = gs.GameWindow(self.client)

    def test_chat_line_sent_with_enter_and_enter_escape_keep_the_game(self):
        driver.click(*self.game.page_point("field", "line"))
        driver.run("xdotool", "type", "--delay", "30", "hail the caravan")
        driver.run("xdotool", "key", "Return")
        self.client.wait_event("document_complete", instance=2, url=driver.PLATFORM + "/vornak/chat?server=1")
        with open(driver.SharedPlatform().log, encoding="utf-8") as f:
            posts = [line.strip() for line in f if line.startswith("POST /vornak/chat")]
        self.assertEqual(posts[-1], "POST /vornak/chat?server=1 line=hail+the+caravan")
        geometry = self.game.geometry()
        driver.click(*self.game.page_point("field", "line"))
        driver.run("xdotool", "key", "Return", "Escape")
        driver.wait_for(lambda: len(self.client.events("document_complete", instance=2)) >= 3, 10,
                        what="the empty line submitted too")
        self.game.input_taken()
        self.assertTrue(self.game.visible() and self.client.running())
        self.assertEqual(self.game.geometry(), geometry)

    def test_strip_shows_the_stretched_background_and_the_buttons_normal_rows(self):
        shot = driver.Screenshot()
        x0, y0, width, _ = self.game.geometry()
        # Background between the logo (0..144) and the server button.
        for x in (150, 700, width - 530):
            for row in gs.STRIP_ROWS:
                self.assertTrue(driver.close_to(shot.pixel(x0 + x, y0 + row), gs.STRIP_COLOURS[row], 8),
                                "background at (%d, %d) shows %s" % (x, row, shot.pixel(x0 + x, y0 + row)))
        # Every button of the work-area strip shows the first (normal) row of its image.
        for name in ("close", "restore", "minimise", "full screen", "boss", "clean", "refresh", "server"):
            image, _, drawn = gs.BUTTONS[name]
            bx, by, _, _ = self.game.button_rect(name)
            for column in range(2, drawn - 2, 5):
                expected = gs.image_rows(image, column, gs.STRIP_ROWS)
                for row in (3, 10, 15, 20, 26):
                    self.assertTrue(driver.close_to(shot.pixel(bx + column, by + row), expected[row], 8),
                                    "%s at (%d, %d) shows %s, image %s" % (
                                        name, column, row, shot.pixel(bx + column, by + row), expected[row]))

    def test_double_click_on_the_strip_switches_between_work_area_and_normal_window(self):
        self.assertEqual(driver.settled_geometry(self.game.window), (0, 0) + gs.WORK_AREA)
        driver.click(300, 15, repeat=2)
        self.game.wait_geometry(gs.NORMAL_ORIGIN + gs.NORMAL_SIZE)
        x, y = gs.NORMAL_ORIGIN
        driver.click(x + 300, y + 15, repeat=2)
        self.game.wait_geometry((0, 0) + gs.WORK_AREA)

    def test_restore_and_maximise_buttons_switch_the_modes(self):
        self.game.click_button("restore")
        self.game.wait_geometry(gs.NORMAL_ORIGIN + gs.NORMAL_SIZE)
        self.game.click_button("maximise")
        self.game.wait_geometry((0, 0) + gs.WORK_AREA)

    def test_dragging_the_strip_moves_only_the_normal_window(self):
        driver.drag(300, 15, 120, 90)
        driver.drag(400, 15, -150, 60)
        self.game.input_taken()
        self.assertEqual(driver.settled_geometry(self.game.window), (0, 0) + gs.WORK_AREA)

        self.game.click_button("restore")
        self.game.wait_geometry(gs.NORMAL_ORIGIN + gs.NORMAL_SIZE)
        x, y = gs.NORMAL_ORIGIN
        driver.drag(x + 300, y + 15, -100, 80)
        self.game.wait_geometry((x - 100, y + 80) + gs.NORMAL_SIZE)

    def test_f11_toggles_full_screen_over_the_strip_band(self):
        driver.key(self.game.window, "F11")
        self.game.wait_strip(False)
        self.game.wait_geometry((0, 0) + driver.SCREEN)
        shot = driver.Screenshot()
        self.assertTrue(driver.close_to(shot.pixel(300, 10), gs.PAGE_BACKGROUND, 8),
                        "the band shows %s, not the page" % (shot.pixel(300, 10),))
        driver.key(self.game.window, "F11")
        self.game.wait_strip(True)
        self.assertEqual(driver.settled_geometry(self.game.window), (0, 0) + gs.WORK_AREA)

    def test_full_screen_button_hides_the_strip_and_f11_brings_it_back(self):
        self.game.click_button("full screen")
        self.game.wait_strip(False)
        driver.key(self.game.window, "F11")
        self.game.wait_strip(True)

    def test_alt_f4_asks_first_and_a_no_leaves_the_game_whole(self):
        driver.key(self.game.window, "alt+F4")
        confirm = driver.wait_window_of_size((256, 110))
        driver.key(confirm, "Escape")
        driver.wait_for(lambda: not driver.is_viewable(confirm), 10, what="confirmation gone")
        # Still holding its hotkeys and painting its strip.
        driver.key(self.game.window, "F11")
        self.game.wait_strip(False)
        driver.key(self.game.window, "F11")
        self.game.wait_strip(True)
        self.assertTrue(self.client.running())
        self.assertTrue(self.game.visible())

    def test_refresh_button_reloads_the_game_page(self):
        self.game.click_button("refresh")
        self.client.wait_event("refresh", instance=2)

    def test_clean_button_runs_the_cache_cleaner_over_the_game(self):
        # With little to delete the cleaner may be gone before a poll could see
        # it: the X server's map events tell.
        watch = driver.MappedWindows()
        try:
            self.game.click_button("clean")
            mapped = driver.wait_for(lambda: [m for m in watch.mapped
                                              if m[0] != self.game.window and m[2] == gs.WORK_AREA],
                                     10, what="cache cleaner")
        finally:
            watch.stop()
        driver.wait_for(lambda: not driver.is_viewable(mapped[0][0]), 60, what="cache cleaner done")
        self.assertTrue(self.client.running())
        self.assertTrue(self.game.visible())


if __name__ == "__main__":
    driver.main()
