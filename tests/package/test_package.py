"""The Debian package as `make deb` builds it: what it installs, what it depends
on, and that the desktop's own validators and lintian accept it.

Skipped (77) in build directories without the program (the sanitizer builds).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

BUILD_DIR = os.environ.get("QUILLO_BUILD_DIR", "build")
BINARY = os.environ.get("QUILLO_BINARY", os.path.join(BUILD_DIR, "quillo"))
APP_ID = "org.quillo.Quillo"

EXPECTED_FILES = {
    "/usr/bin/quillo": 0o755,
    f"/usr/share/applications/{APP_ID}.desktop": 0o644,
    f"/usr/share/metainfo/{APP_ID}.metainfo.xml": 0o644,
    f"/usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg": 0o644,
    "/usr/share/icons/hicolor/symbolic/apps/quillo-idle-symbolic.svg": 0o644,
    "/usr/share/icons/hicolor/symbolic/apps/quillo-off-symbolic.svg": 0o644,
    "/usr/share/icons/hicolor/symbolic/apps/quillo-recording-symbolic.svg": 0o644,
    "/usr/share/icons/hicolor/symbolic/apps/quillo-processing-symbolic.svg": 0o644,
    "/usr/share/man/man1/quillo.1.gz": 0o644,
    "/usr/share/doc/quillo/global-keys.md": 0o644,
    "/usr/share/doc/quillo/copyright": 0o644,
    "/usr/share/doc/quillo/changelog.gz": 0o644,
}


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="quillo-package-")
        built = run("cpack", "-G", "DEB", "-B", cls.dir, "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"))
        if built.returncode != 0:
            raise AssertionError(f"cpack failed:\n{built.stdout}\n{built.stderr}")
        debs = [f for f in os.listdir(cls.dir) if f.endswith(".deb")]
        assert len(debs) == 1, debs
        cls.deb = os.path.join(cls.dir, debs[0])
        cls.root = os.path.join(cls.dir, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def field(self, name):
        return run("dpkg-deb", "-f", self.deb, name).stdout.strip()

    def test_installs_exactly_its_files_owned_by_root(self):
        self.assertRegex(os.path.basename(self.deb), r"^quillo_\d+\.\d+(\.\d+)?_amd64\.deb$")
        found = {}
        for line in run("dpkg-deb", "-c", self.deb).stdout.splitlines():
            mode, owner, _size, _date, _time, path = line.split(None, 5)
            self.assertEqual(owner, "root/root", path)
            if not mode.startswith("d"):
                found[path.lstrip(".")] = mode
        self.assertEqual(set(found), set(EXPECTED_FILES))
        for path, mode in EXPECTED_FILES.items():
            self.assertEqual(found[path], "-rwxr-xr-x" if mode == 0o755 else "-rw-r--r--", path)

    def test_depends_on_its_libraries_and_the_model(self):
        depends = self.field("Depends")
        for package in ("libc6", "libqt6widgets6", "libpulse0", "libcurl4", "pocketsphinx-en-us", "libqt6svg6"):
            self.assertIn(package, depends)
        for package in ("qt6-wayland", "wl-clipboard", "wtype", "at-spi2-core", "notification-daemon"):
            self.assertIn(package, self.field("Recommends"))

    def test_the_desktop_knows_quillo_by_one_id(self):
        desktop = os.path.join(self.root, f"usr/share/applications/{APP_ID}.desktop")
        metainfo = os.path.join(self.root, f"usr/share/metainfo/{APP_ID}.metainfo.xml")
        checked = run("desktop-file-validate", desktop)
        self.assertEqual((checked.returncode, checked.stdout), (0, ""))
        checked = run("appstreamcli", "validate", "--no-net", metainfo)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        with open(desktop) as f:
            self.assertIn(f"Icon={APP_ID}\n", f.read())
        with open(metainfo) as f:
            self.assertIn(f'<launchable type="desktop-id">{APP_ID}.desktop</launchable>', f.read())
        # The window, the notifications and the autostart entry use the id
        # compiled into the program.
        with open(os.path.join(self.root, "usr/bin/quillo"), "rb") as f:
            self.assertIn(APP_ID.encode(), f.read())

    def test_lintian_finds_no_errors(self):
        if not shutil.which("lintian"):
            self.skipTest("lintian is not installed (scripts/install-deps.sh installs it)")
        checked = run("lintian", "--fail-on", "error", "--no-tag-display-limit", self.deb)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)


if __name__ == "__main__":
    if not os.path.exists(BINARY) or not os.path.exists(os.path.join(BUILD_DIR, "CPackConfig.cmake")):
        print(f"skipped: no {BINARY} to package in this build")
        sys.exit(77)
    unittest.main()
