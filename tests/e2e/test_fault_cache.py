"""The cache cleaner against folders it does not expect: missing, read-only, or
so full that the player quits before the purge is done. The cleaning window
comes and goes, the game window works afterwards or the client exits with 16,
and nothing outside the two cache folders is touched, not even through a link
inside them."""
import os
import shutil
import stat
import subprocess

import driver
import game_session as gs

CACHE, COOKIES = driver.CACHE_FOLDERS
CONFIRM_SIZE = (256, 110)
LARGE_PURGE = (400, 250)   # folders x files: several seconds of purging, more than a quit takes


def tree(root):
    """Everything under root as (relative path, contents or None for folders),
    links listed but not followed."""
    found = []
    for folder, folders, files in os.walk(root):
        for name in folders:
            found.append((os.path.relpath(os.path.join(folder, name), root), None))
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found.append((os.path.relpath(path, root), f.read()))
    return sorted(found)


def files_under(root):
    return sum(len(files) for _, _, files in os.walk(root))


def fill(root, folders, files, mode=None):
    """folders x files small files under root, in folders of their own, which it
    returns; with `mode`, files and folders get that permission (folders keep
    their search bit)."""
    made = [os.path.join(root, "entries%03d" % d) for d in range(folders)]
    for folder in made:
        os.makedirs(folder, exist_ok=True)
        for f in range(files):
            path = os.path.join(folder, "item%03d.dat" % f)
            with open(path, "w") as out:
                out.write("cached %d" % f)
            if mode is not None:
                os.chmod(path, mode)
        if mode is not None:
            os.chmod(folder, mode | stat.S_IXUSR)
    return made


class CacheFaultTest(driver.ClientTest):
    def setUp(self):
        self.client = self.start_client()
        self.game = gs.GameWindow(self.client)
        # A folder beside the cache folders, which no cleaning may reach.
        self.canary = driver.user_folder("AppData", "Local", "Microsoft", "Windows", "canary-%d" % os.getpid())
        self.addCleanup(shutil.rmtree, self.canary, True)
        fill(self.canary, 2, 3)
        self.canary_tree = tree(self.canary)

    def tearDown(self):
        self.assertEqual(tree(self.canary), self.canary_tree, "the cleaning reached outside the cache folders")

    def link_canary_from_cache(self):
        os.makedirs(CACHE, exist_ok=True)
        link = os.path.join(CACHE, "canary-link")
        os.symlink(self.canary, link)
        self.addCleanup(lambda: os.path.lexists(link) and os.unlink(link))

    def cleaning_windows(self):
        found = []
        for window in driver.client_windows():
            try:
                if window != self.game.window and driver.geometry(window)[2:] == gs.WORK_AREA:
                    found.append(window)
            except subprocess.CalledProcessError:
                pass  # gone meanwhile
        return found

    def clean_and_wait(self):
        """Clicks the clean button; returns once the cleaning window has come and gone."""
        watch = driver.MappedWindows()
        try:
            self.game.click_button("clean")
            driver.wait_for(lambda: [m for m in watch.mapped
                                     if m[0] != self.game.window and m[2] == gs.WORK_AREA],
                            10, what="cleaning window shown")
            driver.wait_for(lambda: not self.cleaning_windows(), 60, what="cleaning window gone")
        finally:
            watch.stop()

    def assert_game_usable(self):
        self.game.click_button("restore")
        self.game.wait_geometry(gs.NORMAL_ORIGIN + gs.NORMAL_SIZE)
        self.game.click_button("maximise")
        self.game.wait_geometry((0, 0) + gs.WORK_AREA)

    def test_cleaning_logs_the_player_out(self):
        def session_cookies():
            found = []
            for folder, _, names in os.walk(COOKIES):
                for name in names:
                    with open(os.path.join(folder, name), "rb") as f:
                        if b"vornak_session" in f.read():
                            found.append(name)
            return found
        self.assertNotEqual(session_cookies(), [], "the browser kept no session cookie")
        self.clean_and_wait()
        self.assertEqual(session_cookies(), [])
        self.game.click_button("server")
        driver.key(driver.wait_window_of_size(CONFIRM_SIZE), "Return")
        self.client.wait_event("refresh", instance=1)
        # The panel's page reloaded without the cookie: the platform answers with its login form.
        driver.wait_for(lambda: "field user" in self.client.events("elements", instance=1)[-1]["elements"], 20,
                        what="the login form back in the panel")

    def test_missing_cache_folders(self):
        for folder in driver.CACHE_FOLDERS:
            shutil.rmtree(folder, ignore_errors=True)
            self.addCleanup(os.makedirs, folder, exist_ok=True)
        self.clean_and_wait()
        self.assert_game_usable()

    def test_read_only_cache_folders_and_files(self):
        made = fill(COOKIES, 2, 5, stat.S_IRUSR) + fill(CACHE, 3, 5, stat.S_IRUSR)
        self.link_canary_from_cache()
        for folder in driver.CACHE_FOLDERS:
            self.addCleanup(os.chmod, folder, os.stat(folder).st_mode)
            os.chmod(folder, stat.S_IRUSR | stat.S_IXUSR)
        self.clean_and_wait()
        self.assert_game_usable()
        # Read-only is no protection from the cleaner; the folders themselves stay.
        self.assertEqual([folder for folder in made if os.path.lexists(folder)], [])
        for folder in driver.CACHE_FOLDERS:
            self.assertTrue(os.path.isdir(folder))

    def test_quit_from_the_icon_menu_while_a_large_purge_runs(self):
        for folder in fill(CACHE, *LARGE_PURGE):
            self.addCleanup(shutil.rmtree, folder, True)
        self.link_canary_from_cache()
        self.game.click_button("clean")
        cleaning = driver.wait_for(self.cleaning_windows, 10, what="cleaning window shown")[0]

        # The game window is disabled under the cleaning window; its icon's menu still answers.
        driver.raise_window("Wine System Tray")
        before = set(driver.client_windows())
        driver.click(*gs.tray_icon_point(), button=3)
        menu = driver.wait_for(lambda: set(driver.client_windows()) - before, 10, what="icon menu").pop()
        x, y, w, h = driver.geometry(menu)
        driver.click(x + w // 2, y + h // 2)
        confirm = driver.wait_window_of_size(CONFIRM_SIZE)
        self.assertTrue(driver.is_viewable(cleaning), "the purge ended before the quit")
        driver.key(confirm, "Return")
        self.assertEqual(self.client.exit_code(timeout=30), 16)
        self.assertGreater(files_under(CACHE), 0, "the exit waited for the whole purge")


if __name__ == "__main__":
    driver.main()
