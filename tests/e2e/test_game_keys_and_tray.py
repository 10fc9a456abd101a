"""The game window reached from elsewhere: the boss key while another program
has the focus, the boss button and the notification-area icon with its menu,
and F10 already taken by another program."""
import driver
import game_session as gs


class GameReachedFromElsewhereTest(driver.ClientTest):
    def test_f10_hides_and_shows_the_game_while_notepad_has_the_focus(self):
        game = gs.GameWindow(self.start_client())
        driver.start_wine(self, "notepad")
        notepad = driver.wait_window("Notepad")
        driver.key(notepad, "F10")
        game.wait_visible(False)
        driver.key(notepad, "F10")
        game.wait_visible(True)
        self.assertEqual(driver.settled_geometry(game.window), (0, 0) + gs.WORK_AREA)
        game.wait_strip(True)

    def test_boss_button_hides_the_game_and_the_icon_double_click_toggles_it(self):
        game = gs.GameWindow(self.start_client())
        game.click_button("boss")
        game.wait_visible(False)
        x, y = gs.tray_icon_point()
        driver.click(x, y, repeat=2)
        game.wait_visible(True)
        # The shown game window covers the tray window; bring the tray up to reach it.
        driver.raise_window("Wine System Tray")
        driver.click(x, y, repeat=2)
        game.wait_visible(False)

    def test_icon_menu_offers_exit_which_asks_and_then_quits_with_16(self):
        client = self.start_client()
        game = gs.GameWindow(client)
        game.click_button("boss")
        game.wait_visible(False)
        before = set(driver.client_windows())
        x, y = gs.tray_icon_point()
        driver.click(x, y, button=3)
        menu = driver.wait_for(lambda: set(driver.client_windows()) - before, 10, what="icon menu").pop()
        mx, my, mw, mh = driver.geometry(menu)
        self.assertLess(mh, 40, "one item only")
        driver.click(mx + mw // 2, my + mh // 2)
        confirm = driver.wait_window_of_size((256, 110))
        self.assertTrue(client.running())
        driver.key(confirm, "Return")
        self.assertEqual(client.exit_code(), 16)

    def test_f10_taken_by_another_program_is_reported_once_and_left_to_it(self):
        holder = driver.start_wine(self, driver.tool("hold_hotkey"), "F10")
        self.assertEqual(driver.read_line(holder), "holding F10")
        # Every report the client maps, however briefly.
        watch = driver.MappedWindows()
        self.addCleanup(watch.stop)

        def reports():
            return [m for m in watch.mapped if m[1] == "duskmere"]

        client = self.start_client()
        game = gs.GameWindow(client, expect_boxes=1)
        self.assertEqual(game.boxes_seen, 1)

        driver.key(game.window, "F10")
        driver.key(game.window, "F11")
        game.wait_strip(False)
        self.assertTrue(game.visible(), "F10 belongs to the other program")
        driver.key(game.window, "F11")
        game.wait_strip(True)
        self.assertEqual(len(reports()), 1, "F11 was free: no second report: %s" % (reports(),))

        # Back to the server list: the game window's clean-up reports the key it never had.
        game.click_button("server")
        confirm = driver.wait_window_of_size((256, 110))
        driver.key(confirm, "Return")
        self.assertEqual(game.dismiss_boxes(1), 1)
        client.wait_event("refresh", instance=1)
        driver.LoginWindows(client).wait_page(driver.LOGGED_IN)
        self.assertEqual(len(reports()), 2, "reports: %s" % (reports(),))


if __name__ == "__main__":
    driver.main()
