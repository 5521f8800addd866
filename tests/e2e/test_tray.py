"""Dictation switched off and on again from the tray menu of the real quillo binary.

The tray icon is a real window inside the test desktop's tray host; the test
clicks it and picks "Dictation: ON" from the menu like a user. While off, the
hotkey does nothing at all: no capture stream on the audio server, no request
to the services, no text. Switched on again, the next dictation works.
"""

import os
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import (KEY_ALT_R, FakeServices, QuilloProcess, TextTarget, choose_from_tray_menu, key_down, key_up,
                        recording_streams, speak_while, tray_icon, tray_icon_pixels, wait_until)

TRANSCRIPT = "Go forward ten meters."
TOGGLE_ENTRY = 1  # the first entry the arrow key reaches, below the disabled heading


class CaptureWatch:
    """Notes the most capture streams seen open while it runs."""

    def __init__(self):
        self.most = 0
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.watch)
        self.thread.start()

    def watch(self):
        while not self.done.wait(0.05):
            self.most = max(self.most, len(recording_streams()))

    def stop(self):
        self.done.set()
        self.thread.join()
        return self.most


class DictationOffEndToEnd(unittest.TestCase):
    def setUp(self):
        self.services = FakeServices()
        self.target = TextTarget()
        self.quillo = QuilloProcess(env_extra=self.services.env(), preferences={"quillo.streamingEnabled": False})
        self.quillo.start()

    def tearDown(self):
        self.quillo.stop()
        self.quillo.cleanup()
        self.target.close()
        self.services.stop()

    def dictate(self):
        self.target.focus()
        watch = CaptureWatch()
        speak_while(lambda: key_down(KEY_ALT_R), lambda: key_up(KEY_ALT_R))
        return watch.stop()

    def test_switched_off_the_hotkey_does_nothing_and_switched_on_it_dictates_again(self):
        icon = tray_icon()
        pixels_on = wait_until(lambda: tray_icon_pixels(icon), what="the tray icon's image")
        self.assertEqual(recording_streams(), [], "nothing records before the first dictation")

        choose_from_tray_menu(TOGGLE_ENTRY)
        wait_until(lambda: tray_icon_pixels(icon) != pixels_on, what="the tray icon to show dictation is off")
        self.assertEqual(self.dictate(), 0, "no capture stream was opened while dictation was off")
        # Give a wrongly started dictation every chance to show itself.
        with self.assertRaises(AssertionError):
            wait_until(lambda: self.target.text() or self.services.requests(), timeout=3)
        self.assertEqual(self.quillo.history(), [])

        choose_from_tray_menu(TOGGLE_ENTRY)
        wait_until(lambda: tray_icon_pixels(icon) == pixels_on, what="the tray icon to show dictation is on")
        self.assertGreater(self.dictate(), 0, "the dictation recorded")
        try:
            wait_until(lambda: self.target.text() == TRANSCRIPT, timeout=20, what="the pasted text")
        except AssertionError:
            self.fail(f"target holds {self.target.text()!r}; quillo log:\n{self.quillo.log()}")
        self.assertEqual(len(self.services.requests("listen")), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
