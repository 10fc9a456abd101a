"""`make release`: the addresses it refuses before compiling anything, and a
release for a test address, which the make target reads back (imports, version,
manifest, address, checksum) before it succeeds."""
import os
import subprocess
import tempfile
import unittest

ROOT = os.environ["DUSKMERE_ROOT"]
RELEASE_DIR = os.environ["DUSKMERE_RELEASE_DIR"]
TEST_URL = "https://play.duskmere.invalid/vornak"


def make_release(folder, **variables):
    # Not a sub-make of the make that may run the tests: no inherited job server.
    env = {k: v for k, v in os.environ.items() if k not in ("MAKEFLAGS", "MAKELEVEL", "MFLAGS")}
    args = ["make", "-C", ROOT, "--no-print-directory", "release", "RELEASE_DIR=" + folder]
    args += ["%s=%s" % item for item in variables.items()]
    return subprocess.run(args, env=env, capture_output=True, text=True, timeout=840)


def check_address(url, allow_local=""):
    return subprocess.run(["cmake", "-DPLATFORM_URL=" + url, "-DALLOW_LOCAL_PLATFORM=" + allow_local,
                           "-P", os.path.join(ROOT, "cmake", "platform_url.cmake")], capture_output=True, text=True)


class Release(unittest.TestCase):
    def test_refuses_addresses_players_cannot_use(self):
        with tempfile.TemporaryDirectory() as scratch:
            folder = os.path.join(scratch, "release")
            for variables, named in (({}, "PLATFORM_URL is not set"),
                                     ({"PLATFORM_URL": "http://127.0.0.1:8350/vornak"}, "ALLOW_LOCAL_PLATFORM=1"),
                                     ({"PLATFORM_URL": "https://play.example.com/login"}, "path /vornak")):
                with self.subTest(**variables):
                    result = make_release(folder, **variables)
                    self.assertNotEqual(result.returncode, 0)
                    self.assertIn(named, " ".join(result.stderr.split()))
                    self.assertFalse(os.path.exists(os.path.join(folder, "duskmere.exe")))
        for url in ("ftp://play.example.com/vornak", "https://user@play.example.com/vornak",
                    "https://play.example.com/vornak/", "https://play.example.com:70000/vornak",
                    "http://localhost/vornak", "http://[::1]/vornak", "http://127.1.2.3/vornak",
                    "http://10.0.0.8/vornak", "http://172.16.0.1/vornak", "http://172.31.255.1/vornak",
                    "http://192.168.1.20:8080/vornak"):
            with self.subTest(url=url):
                result = check_address(url)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("PLATFORM_URL=" + url, " ".join(result.stderr.split()))
        for url, allow_local in (("http://play.example.com/vornak", ""), ("https://203.0.113.9:8443/vornak", ""),
                                 ("http://172.32.0.1/vornak", ""), ("http://[2001:db8::1]/vornak", ""),
                                 ("http://192.168.1.20:8080/vornak", "1")):
            with self.subTest(url=url, allow_local=allow_local):
                self.assertEqual(check_address(url, allow_local).returncode, 0)

    def test_release_for_a_test_address(self):
        result = make_release(RELEASE_DIR, PLATFORM_URL=TEST_URL)
        self.assertEqual(result.returncode, 0, result.stdout[-3000:] + result.stderr[-3000:])
        print(result.stdout.strip().splitlines()[-1])
        # The development build, pointed at the demo platform and unstripped, is not one.
        dev = subprocess.run([os.path.join(ROOT, "tools", "release", "check_release.py"),
                              os.path.join(ROOT, "build", "x86"), TEST_URL], capture_output=True, text=True)
        self.assertNotEqual(dev.returncode, 0)
        self.assertIn("not stripped", dev.stderr)
        self.assertIn("127.0.0.1", dev.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
