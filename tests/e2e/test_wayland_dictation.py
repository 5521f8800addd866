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


class WaylandDictation(unittest.TestCase):
    def setUp(self):
        self.services = FakeServices()
        self.target = WaylandTextTarget(title="Quillo Wayland target")
        self.quillo = None

    def tearDown(self):
        if self.quillo:
            self.quillo.stop()
            self.quillo.cleanup()
        self.target.close()
        self.services.stop()

    def start_quillo(self, env_extra=None):
        self.quillo = QuilloProcess(env_extra={**self.services.env(), **(env_extra or {})},
                                    preferences=UPLOAD_ONLY).start()
        wait_until(lambda: self.command("status").stdout.strip() == "idle", what="the control interface")
        wait_for_quillo_window()

    def command(self, name):
        return subprocess.run([BINARY, name], capture_output=True, text=True, timeout=15, env=self.quillo.env)

    def dictate(self):
        self.target.focus()
        speak_while(lambda: self.command("start"), lambda: self.command("stop"))

    def test_start_and_stop_type_the_text_into_a_wayland_window_and_keep_the_clipboard(self):
        subprocess.run(["wl-copy", "the user's own clipboard"], check=True)
        self.start_quillo()
        self.dictate()
        try:
            wait_until(lambda: self.target.text() == TRANSCRIPT, timeout=15, what="the typed text")
        except AssertionError:
            self.fail(f"target holds {self.target.text()!r}; quillo log:\n{self.quillo.log()}")
        history = wait_until(self.quillo.history, what="the history file")
        self.assertEqual([e["text"] for e in history], [TRANSCRIPT])
        self.assertIsNone(history[0].get("appName"), "Wayland names no front application")
        wait_until(lambda: wl_clipboard() == "the user's own clipboard", timeout=3, what="the clipboard to come back")
        self.assertTrue(any(summary == "Hotkeys Limited" and "Wayland session" in body
                            for summary, body in notifications()), notifications())

    def test_where_no_key_can_be_sent_the_text_stays_on_the_clipboard_and_the_user_is_told_once(self):
        # A compositor without the virtual keyboard protocol, as wtype reports it.
        bin_dir = tempfile.mkdtemp(prefix="quillo-bin-")
        fake = os.path.join(bin_dir, "wtype")
        with open(fake, "w") as f:
            f.write("#!/bin/sh\necho 'Compositor does not support the virtual keyboard protocol' >&2\nexit 1\n")
        os.chmod(fake, stat.S_IRWXU)
        self.start_quillo({"PATH": bin_dir + ":" + os.environ["PATH"]})
        self.dictate()
        wait_until(lambda: wl_clipboard() == TRANSCRIPT, timeout=15, what="the dictation on the clipboard")
        self.assertEqual(self.command("paste-last").returncode, 0)
        wait_until(lambda: self.quillo.log().count("[Quillo] Paste into") == 2, what="the second paste")
        told = [n for n in notifications() if n[0] == "Dictation Left on the Clipboard"]
        self.assertEqual(len(told), 1, notifications())
        self.assertEqual(wl_clipboard(), TRANSCRIPT)
        self.assertEqual(self.target.text(), "")


class PortalShortcuts(unittest.TestCase):
    """The keys of a desktop with the GlobalShortcuts portal: a fake one on the private bus."""

    def test_the_portal_binds_the_three_actions_and_its_hold_key_dictates(self):
        services = FakeServices()
        target = WaylandTextTarget(title="Quillo portal target")
        log = os.path.join(tempfile.mkdtemp(prefix="quillo-portal-"), "bind.log")
        portal = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE_DIR, "tests", "fakes", "portal",
                                                                      "fake_portal.py"), log])
        quillo = None
        try:
            wait_until(lambda: "true" in subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                 "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.portal.Desktop"],
                capture_output=True, text=True).stdout, what="the fake portal")
            quillo = QuilloProcess(env_extra=services.env(), preferences=UPLOAD_ONLY).start()
            wait_until(lambda: "Global shortcuts bound" in quillo.log(), what="the shortcuts to be bound")
            wait_for_quillo_window()
            with open(log) as f:
                bound = json.loads(f.readline())["shortcuts"]
            self.assertEqual([(s[0], s[1].get("preferred_trigger")) for s in bound],
                             [("hold", "Alt_R"), ("toggle", "Control_R"), ("pasteLast", "F5")])

            press = lambda down: subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.portal.Desktop",
                 "/org/freedesktop/portal/desktop", "org.quillo.FakePortal.Press", "string:hold",
                 f"boolean:{'true' if down else 'false'}"], check=True, capture_output=True)
            target.focus()
            speak_while(lambda: press(True), lambda: press(False))
            try:
                wait_until(lambda: target.text() == TRANSCRIPT, timeout=15, what="the typed text")
            except AssertionError:
                self.fail(f"target holds {target.text()!r}; quillo log:\n{quillo.log()}")
        finally:
            if quillo:
                quillo.stop()
                quillo.cleanup()
            portal.terminate()
            portal.wait(timeout=5)
            shutil.rmtree(os.path.dirname(log), ignore_errors=True)
            target.close()
            services.stop()


if __name__ == "__main__":
    if not os.environ.get("WAYLAND_DISPLAY"):
        desktop = os.path.join(SOURCE_DIR, "scripts", "test-desktop.sh")
        sys.exit(subprocess.call([desktop, "--wayland", sys.executable, os.path.abspath(__file__)]))
    unittest.main(verbosity=2)
