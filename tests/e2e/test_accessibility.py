"""The real quillo binary read and driven through the accessibility bus, as a
screen reader or voice control sees it, and the API keys saved from Settings.

Each of the six pages is opened by pressing its named tab; on each, every
visible button, switch, picker and tab must have a name. A recording shows
itself as a notification, which screen readers speak. Then a key typed into
Settings' API keys card and saved goes to the desktop's Secret Service when one
runs (gnome-keyring, unlocked with a test password, on the test desktop's
bus) and is read back from there after a restart; where no Secret Service
answers it goes to credentials.json, private to the user.
"""

import os
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import BINARY, QuilloProcess, run, wait_until

try:
    import pyatspi
except ImportError:
    # The bindings are the distribution's (python3-pyatspi), for its own Python.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

PAGES = ["Home", "Insights", "History", "Dictionary", "Snippets", "Settings"]
NAMED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_PAGE_TAB_LIST,
}
KEY = "sk-e2e-test-key-0123456789"
NO_SECRET_SERVICE = """
from gi.repository import Gio, GLib
Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.secrets", Gio.BusNameOwnerFlags.NONE, None, None, None)
GLib.MainLoop().run()
"""

def walk(accessible):
    yield accessible
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def press(accessible):
    actions = accessible.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    actions.doAction(names.index("press") if "press" in names else 0)


def find(root, role, name=None, prefix=None):
    for accessible in walk(root):
        if accessible.getRole() != role or not showing(accessible):
            continue
        if (name is None or accessible.name == name) and (prefix is None or accessible.name.startswith(prefix)):
            return accessible
    return None


def quillo_window():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and "quillo" in (app.name or "").lower():
            for window in app:
                if window is not None and find(window, pyatspi.ROLE_PAGE_TAB_LIST, "Pages"):
                    return window
    return None


class AccessibilityEndToEnd(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quillo-a11y-")
        self.daemons = []
        self.quillo = None

    def tearDown(self):
        if self.quillo:
            self.quillo.stop()
            self.quillo.cleanup()
        for daemon in reversed(self.daemons):
            daemon.terminate()
            daemon.wait(timeout=10)

    def start_quillo(self, env):
        env = dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        if self.quillo is None:
            self.quillo = QuilloProcess(env_extra=env)
        else:
            self.quillo.log_file = open(self.quillo.log_path, "a")
        self.quillo.start()
        # A second start brings the running one's window forward.
        subprocess.run([BINARY], env=self.quillo.env, timeout=30, capture_output=True)
        return wait_until(quillo_window, timeout=20, what="the main window on the accessibility bus")

    def open_page(self, window, title):
        tab = find(window, pyatspi.ROLE_PAGE_TAB, title)
        self.assertIsNotNone(tab, title)
        press(tab)
        wait_until(lambda: tab.getState().contains(pyatspi.STATE_SELECTED), timeout=5, what=title + " selected")

    def save_key(self, window):
        self.open_page(window, "Settings")
        field = wait_until(lambda: find(window, pyatspi.ROLE_PASSWORD_TEXT, "OpenAI API key"), timeout=5,
                           what="the OpenAI key field")
        field.queryEditableText().setTextContents(KEY)
        press(find(window, pyatspi.ROLE_PUSH_BUTTON, "Save the OpenAI key"))
        return wait_until(lambda: find(window, pyatspi.ROLE_LABEL, prefix="Saved in"), timeout=15,
                          what="the key saved").name

    def credentials_file(self):
        return os.path.join(self.quillo.config, "quillo", "credentials.json")

    def test_pages_are_named_tabs_and_every_visible_control_has_a_name(self):
        window = self.start_quillo({})
        tabs = [a.name for a in walk(find(window, pyatspi.ROLE_PAGE_TAB_LIST, "Pages"))
                if a.getRole() == pyatspi.ROLE_PAGE_TAB]
        self.assertEqual(tabs, PAGES)
        for title in PAGES:
            self.open_page(window, title)
            unnamed = [f"{a.getRoleName()} in {a.parent.getRoleName() if a.parent else '?'}" for a in walk(window)
                       if a.getRole() in NAMED_ROLES and showing(a) and not (a.name or "").strip()]
            self.assertEqual(unnamed, [], f"unnamed on {title}")

    def test_a_recording_is_announced_as_a_notification(self):
        self.start_quillo({})

        def indicator():
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and "quillo" in (app.name or "").lower():
                    for window in app:
                        if window is not None and window.getRole() == pyatspi.ROLE_NOTIFICATION and showing(window):
                            return window.name
            return None

        def command(name):
            return subprocess.run([BINARY, name], env=self.quillo.env, timeout=30, capture_output=True, text=True)

        self.assertIsNone(indicator())
        self.assertEqual(command("start").returncode, 0, self.quillo.log())
        self.assertEqual(wait_until(indicator, timeout=10, what="the recording notification"), "Recording")
        self.assertEqual(command("cancel").returncode, 0)
        wait_until(lambda: indicator() is None, timeout=10, what="the notification gone")

    def test_a_saved_key_goes_to_the_secret_service_and_comes_back_after_a_restart(self):
        keyrings = os.path.join(self.work, "data")
        os.makedirs(keyrings, mode=0o700)
        daemon = subprocess.Popen(["gnome-keyring-daemon", "--unlock", "--foreground", "--components=secrets"],
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  env=dict(os.environ, XDG_DATA_HOME=keyrings))
        # With an empty password gnome-keyring makes no login keyring to store in.
        daemon.stdin.write(b"quillo-test")
        daemon.stdin.close()
        self.daemons.append(daemon)
        wait_until(lambda: "collection/login" in run(
            "dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.secrets", "/org/freedesktop/secrets",
            "org.freedesktop.DBus.Properties.Get", "string:org.freedesktop.Secret.Service", "string:Collections",
            check=False).stdout, timeout=10, what="the Secret Service's login keyring")

        window = self.start_quillo({})
        self.assertEqual(self.save_key(window), "Saved in the desktop's keyring (ends in …6789).", self.quillo.log())
        self.assertFalse(os.path.exists(self.credentials_file()))
        self.assertNotIn(KEY, self.quillo.log())

        self.quillo.stop()
        window = self.start_quillo({})
        self.open_page(window, "Settings")
        wait_until(lambda: find(window, pyatspi.ROLE_LABEL, "Saved in the desktop's keyring (ends in …6789)."),
                   timeout=10, what="the key read back from the keyring")

    def test_without_a_secret_service_the_key_goes_to_a_private_file(self):
        # The Secret Service's name taken by a process that serves nothing, so
        # that the bus cannot start a keyring on demand and every call fails.
        blocker = subprocess.Popen(["/usr/bin/python3", "-c", NO_SECRET_SERVICE])
        self.daemons.append(blocker)
        wait_until(lambda: "true" in run("dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                                         "string:org.freedesktop.secrets").stdout,
                   timeout=10, what="the Secret Service's name taken")

        window = self.start_quillo({})
        self.assertEqual(self.save_key(window), f"Saved in {self.credentials_file()} (ends in …6789).")
        self.assertEqual(stat.S_IMODE(os.stat(self.credentials_file()).st_mode), 0o600)
        with open(self.credentials_file()) as f:
            self.assertIn(KEY, f.read())
        self.assertNotIn(KEY, self.quillo.log())


if __name__ == "__main__":
    unittest.main()
