"""Dictation on a Wayland desktop: the real quillo binary under sway (headless),
driven by its commands around real speech, typing into a native Wayland GTK 3
text view; and, where no key can be sent, the text left on the clipboard.

Runs itself inside scripts/test-desktop.sh --wayland when started elsewhere.
"""

import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import (BINARY, SOURCE_DIR, FakeServices, GtkTextTarget, QuilloProcess, notifications, speak_while,
                        wait_until)

TRANSCRIPT = "Go forward ten meters."
UPLOAD_ONLY = {"quillo.streamingEnabled": False}


class WaylandTextTarget(GtkTextTarget):
    """The GTK text view as a native Wayland window, focused through sway."""

    def focus(self):
        wait_until(lambda: subprocess.run(["swaymsg", f'[title="^{self.title}$"] focus'],
                                          capture_output=True).returncode == 0, what="sway to focus the text view")


def wait_for_quillo_window():
    """Quillo's main window opens at launch and takes the focus once mapped: wait for it before focusing a target."""
    wait_until(lambda: "org.quillo.Quillo" in subprocess.run(["swaymsg", "-t", "get_tree"], capture_output=True,
                                                             text=True).stdout, what="Quillo's window")


def wl_clipboard():
    result = subprocess.run(["wl-paste", "--no-newline"], capture_output=True, text=True)
    return result.stdout if result.returncode == 0 else None


def portal_log(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


def failing_wtype():
    """A PATH entry whose wtype fails as on a compositor without the virtual keyboard protocol."""
    bin_dir = tempfile.mkdtemp(prefix="quillo-bin-")
    fake = os.path.join(bin_dir, "wtype")
    with open(fake, "w") as f:
        f.write("#!/bin/sh\necho 'Compositor does not support the virtual keyboard protocol' >&2\nexit 1\n")
    os.chmod(fake, stat.S_IRWXU)
    return bin_dir + ":" + os.environ["PATH"]


class WaylandDictation(unittest.TestCase):
    def setUp(self):
        self.services = FakeServices()
        self.target = WaylandTextTarget(title="Quillo Wayland target")
        self.quillo = None
        self.portal_log = None

    def tearDown(self):
        if self.quillo:
            self.quillo.stop()
            self.quillo.cleanup()
        self.target.close()
        self.services.stop()

    def start_portal(self, remote_desktop):
        """The fake GlobalShortcuts and RemoteDesktop portals; the remote keyboard is "grant"ed or "refuse"d."""
        folder = tempfile.mkdtemp(prefix="quillo-portal-")
        self.portal_log = os.path.join(folder, "portal.log")
        portal = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE_DIR, "tests", "fakes", "portal",
                                                                      "fake_portal.py"), self.portal_log, remote_desktop])
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        self.addCleanup(portal.wait, timeout=5)
        self.addCleanup(portal.terminate)
        wait_until(lambda: "true" in subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
             "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.portal.Desktop"],
            capture_output=True, text=True).stdout, what="the fake portal")

    def start_quillo(self, env_extra=None):
        self.quillo = QuilloProcess(env_extra={**self.services.env(), **(env_extra or {})},
                                    preferences=UPLOAD_ONLY).start()
        wait_until(lambda: self.command("status").stdout.strip() == "idle", what="the control interface")
        wait_for_quillo_window()

    def command(self, name):
        return subprocess.run([BINARY, name], capture_output=True, text=True, timeout=15, env=self.quillo.env)

    def dictate(self, press=None, release=None):
        self.target.focus()

        def start():
            (press or (lambda: self.assertEqual(self.command("start").returncode, 0)))()
            # Speech played before the recording runs would be lost.
            wait_until(lambda: self.command("status").stdout.strip() == "recording", what="the recording")

        speak_while(start, release or (lambda: self.assertEqual(self.command("stop").returncode, 0)))

    def assertTyped(self, expected):
        try:
            wait_until(lambda: self.target.text() == expected, timeout=15, what="the typed text")
        except AssertionError:
            self.fail(f"target holds {self.target.text()!r}; quillo log:\n{self.quillo.log()}")

    def test_start_and_stop_type_the_text_into_a_wayland_window_and_keep_the_clipboard(self):
        subprocess.run(["wl-copy", "the user's own clipboard"], check=True)
        self.start_quillo()
        self.dictate()
        self.assertTyped(TRANSCRIPT)
        history = wait_until(self.quillo.history, what="the history file")
        self.assertEqual([e["text"] for e in history], [TRANSCRIPT])
        self.assertIsNone(history[0].get("appName"), "Wayland names no front application")
        wait_until(lambda: wl_clipboard() == "the user's own clipboard", timeout=3, what="the clipboard to come back")
        self.assertTrue(any(summary == "Hotkeys Limited" and "without global shortcuts" in body
                            for summary, body in notifications()), notifications())

    def test_a_refused_remote_keyboard_without_a_virtual_one_leaves_the_text_on_the_clipboard_told_once(self):
        self.start_portal("refuse")
        self.start_quillo({"PATH": failing_wtype()})
        self.dictate()
        wait_until(lambda: wl_clipboard() == TRANSCRIPT, timeout=15, what="the dictation on the clipboard")
        self.assertEqual(self.command("paste-last").returncode, 0)
        wait_until(lambda: self.quillo.log().count("[Quillo] Paste into") == 2, what="the second paste")
        told = [n for n in notifications() if n[0] == "Dictation Left on the Clipboard"]
        self.assertEqual(len(told), 1, notifications())
        self.assertEqual(wl_clipboard(), TRANSCRIPT)
        self.assertEqual(self.target.text(), "")
        self.assertIn("refused", self.quillo.log())

    def test_the_portal_binds_the_three_actions_and_its_hold_key_dictates(self):
        # A refused remote keyboard: the virtual one types.
        self.start_portal("refuse")
        self.start_quillo()
        wait_until(lambda: "Global shortcuts bound" in self.quillo.log(), what="the shortcuts to be bound")
        bound = [e for e in portal_log(self.portal_log) if e["method"] == "BindShortcuts"][0]["shortcuts"]
        self.assertEqual([(s[0], s[1].get("preferred_trigger")) for s in bound],
                         [("hold", "Alt_R"), ("toggle", "Control_R"), ("pasteLast", "F5")])
        press = lambda down: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.portal.Desktop",
             "/org/freedesktop/portal/desktop", "org.quillo.FakePortal.Press", "string:hold",
             f"boolean:{'true' if down else 'false'}"], check=True, capture_output=True)
        self.dictate(lambda: press(True), lambda: press(False))
        self.assertTyped(TRANSCRIPT)
        self.assertTrue(any(summary == "Hotkeys Limited" and "the desktop's global shortcuts" in body
                            for summary, body in notifications()), notifications())

    def test_a_granted_remote_keyboard_presses_ctrl_v_and_is_not_asked_again(self):
        self.start_portal("grant")
        self.start_quillo()
        wait_until(lambda: "granted the remote keyboard" in self.quillo.log(), what="the remote keyboard")
        self.dictate()
        ctrl, v = 0xffe3, 0x76
        wait_until(lambda: [(e["keysym"], e["state"]) for e in portal_log(self.portal_log)
                            if e["method"] == "NotifyKeyboardKeysym"] == [(ctrl, 1), (v, 1), (v, 0), (ctrl, 0)],
                   what="Ctrl+V through the portal")
        # The next launch hands the kept token over, so the desktop does not ask again.
        self.quillo.stop()
        self.quillo.log_file = open(self.quillo.log_path, "a")
        self.quillo.start()
        wait_until(lambda: len([e for e in portal_log(self.portal_log) if e["method"] == "SelectDevices"]) == 2,
                   what="the second session")
        selects = [e for e in portal_log(self.portal_log) if e["method"] == "SelectDevices"]
        self.assertNotIn("restore_token", selects[0]["options"])
        self.assertEqual(selects[1]["options"].get("restore_token"), "token-1")
        self.assertEqual(selects[1]["options"].get("persist_mode"), 2)


if __name__ == "__main__":
    if not os.environ.get("WAYLAND_DISPLAY"):
        desktop = os.path.join(SOURCE_DIR, "scripts", "test-desktop.sh")
        sys.exit(subprocess.call([desktop, "--wayland", sys.executable, os.path.abspath(__file__)]))
    unittest.main(verbosity=2)
