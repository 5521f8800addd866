"""Knowing the text arrived: the real quillo binary pasting into applications
that publish their text on the accessibility bus, and into one that does not.

One real dictation goes into a Tk widget (no accessibility: unverified, pasted
as ever); paste-last then sends the same words into a VTE terminal, a GTK 3
text view, a GTK 3 text view that refuses pastes and a password entry.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import (KEY_ALT_R, KEY_F5, FakeServices, GtkTextTarget, QuilloProcess, TextTarget, clipboard,
                        key_down, key_up, notifications, run, speak_while, tap, wait_until)

TRANSCRIPT = "Go forward ten meters."


def received(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


class PasteDeliveryEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="quillo-delivery-")
        cls.services = FakeServices()
        cls.quillo = QuilloProcess(env_extra=cls.services.env(), preferences={"quillo.streamingEnabled": False}).start()

    @classmethod
    def tearDownClass(cls):
        cls.quillo.stop()
        cls.quillo.cleanup()
        cls.services.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def outcome(self, count):
        """The last outcome line of quillo's log, once there are `count` of them."""
        lines = lambda: [l for l in self.quillo.log().splitlines() if l.startswith("[Quillo] Paste into ")]
        return wait_until(lambda: len(lines()) >= count and lines(), timeout=10, what=f"paste outcome {count}")[-1]

    def test_1_a_widget_without_accessibility_is_pasted_unverified(self):
        target = TextTarget()
        try:
            speak_while(lambda: key_down(KEY_ALT_R), lambda: key_up(KEY_ALT_R))
            wait_until(lambda: target.text() == TRANSCRIPT, timeout=15, what="the dictation in the Tk widget")
            self.assertEqual(self.outcome(1), "[Quillo] Paste into Quillotarget (Ctrl+V): unverified")
            wait_until(lambda: clipboard() is None, timeout=3, what="the empty clipboard to come back")
        finally:
            target.close()

    def test_2_a_vte_terminal_gets_ctrl_shift_v(self):
        out = os.path.join(self.dir, "terminal")
        terminal = subprocess.Popen(["lxterminal", "--no-remote", "-t", "Quillo terminal", "-e",
                                     f"sh -c 'stty -icanon -echo; cat > {out}'"])
        try:
            window = wait_until(lambda: run("xdotool", "search", "--name", "^Quillo terminal$", check=False)
                                .stdout.split(), timeout=15, what="the terminal")[0]
            run("xdotool", "windowactivate", "--sync", window, check=False)
            time.sleep(0.5)  # the shell in it starts
            tap(KEY_F5)
            # The terminal sees the F5 itself too: Quillo watches keys, it does not take them.
            try:
                wait_until(lambda: received(out).endswith(TRANSCRIPT.encode()), timeout=10, what="the dictation")
            except AssertionError:
                self.fail(f"the terminal received {received(out)!r}; quillo log:\n{self.quillo.log()}")
            self.assertNotIn(b"\x16", received(out), "a Ctrl+V reached the terminal")
            self.assertRegex(self.outcome(2),
                             r"^\[Quillo\] Paste into Lxterminal \(Ctrl\+Shift\+V\): (delivered|unverified)$")
        finally:
            terminal.terminate()
            terminal.wait(timeout=5)

    def test_3_a_gtk_text_view_is_delivered_and_the_clipboard_restored(self):
        view = GtkTextTarget()
        try:
            seen = len(notifications())
            tap(KEY_F5)
            wait_until(lambda: view.text() == TRANSCRIPT, timeout=10, what="the dictation in the GTK view")
            self.assertEqual(self.outcome(3), "[Quillo] Paste into Quillo-gtk-target (Ctrl+V): delivered")
            wait_until(lambda: clipboard() is None, timeout=3, what="the clipboard to be restored")
            self.assertEqual(notifications()[seen:], [])
        finally:
            view.close()

    def test_4_a_view_that_refuses_the_paste_is_not_delivered_and_keeps_the_dictation(self):
        view = GtkTextTarget(title="Quillo refusing target", mode="refuse")
        try:
            seen = len(notifications())
            tap(KEY_F5)
            self.assertEqual(self.outcome(4), "[Quillo] Paste into Quillo-gtk-target (Ctrl+V): not delivered")
            found = wait_until(lambda: notifications()[seen:], timeout=5, what="the notification")
            self.assertEqual(found, [("Dictation Not Pasted",
                                      "Couldn't paste into Quillo-gtk-target. Your dictation is on the clipboard: "
                                      "press Ctrl+V (or Ctrl+Shift+V in a terminal).")])
            time.sleep(1.0)
            self.assertEqual(clipboard(), TRANSCRIPT, "the dictation is left on the clipboard")
            self.assertEqual(view.text(), "")
        finally:
            view.close()

    def test_5_a_password_field_is_never_read(self):
        entry = GtkTextTarget(title="Quillo password target", mode="password")
        try:
            tap(KEY_F5)
            wait_until(lambda: entry.text() == TRANSCRIPT, timeout=10, what="the dictation in the password field")
            self.assertEqual(self.outcome(5), "[Quillo] Paste into Quillo-gtk-target (Ctrl+V): unverified")
        finally:
            entry.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
