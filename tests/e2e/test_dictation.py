"""A whole dictation with the real quillo binary in the test desktop.

Real recorded speech plays into the test microphone while XTest holds the
hotkey; the loopback fake services answer; the text must land in another
application's text widget, the history file must hold it and the clipboard
must come back.
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import (KEY_ALT_R, KEY_CONTROL_R, KEY_F5, FakeServices, QuilloProcess, TextTarget, clipboard,
                        key_down, key_up, notifications, speak_while, tap, wait_until)

TRANSCRIPT = "Go forward ten meters."
# These dictations take the upload route; the live route has its own test.
UPLOAD_ONLY = {"quillo.streamingEnabled": False}


class DictationEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.services = FakeServices()
        cls.target = TextTarget()
        cls.quillo = QuilloProcess(env_extra=cls.services.env(), preferences=UPLOAD_ONLY).start()
        cls.target.focus()

    @classmethod
    def tearDownClass(cls):
        status = cls.quillo.stop()
        cls.target.close()
        cls.services.stop()
        log = cls.quillo.log()
        cls.quillo.cleanup()
        if status not in (0, None):
            raise AssertionError(f"quillo exited with {status} on SIGTERM; its log:\n{log}")

    def assertPastedEventually(self, expected, timeout=15):
        try:
            wait_until(lambda: self.target.text() == expected, timeout=timeout, what="the pasted text")
        except AssertionError:
            self.fail(f"target holds {self.target.text()!r}, expected {expected!r}; quillo log:\n{self.quillo.log()}")

    def test_1_hold_key_dictation_pastes_stores_and_restores_the_clipboard(self):
        owner = subprocess.Popen(["xclip", "-selection", "clipboard", "-loops", "3"], stdin=subprocess.PIPE)
        owner.stdin.write(b"the user's own clipboard")
        owner.stdin.close()
        wait_until(lambda: clipboard() == "the user's own clipboard", what="the user's clipboard")
        self.target.focus()

        speak_while(lambda: key_down(KEY_ALT_R), lambda: key_up(KEY_ALT_R))
        self.assertPastedEventually(TRANSCRIPT)

        listen = [r for r in self.services.requests() if r["endpoint"] == "listen"]
        self.assertEqual(len(listen), 1)
        self.assertGreater(listen[0]["body_size"], 10000, "a real recording was uploaded")

        history = wait_until(self.quillo.history, what="the history file")
        self.assertEqual([e["text"] for e in history], [TRANSCRIPT])
        self.assertGreater(history[0]["duration"], 2.0)
        self.assertEqual(history[0].get("appName"), "Quillotarget")  # Tk's WM_CLASS spelling

        wait_until(lambda: clipboard() == "the user's own clipboard", timeout=3, what="the clipboard to come back")
        self.assertEqual(self.target.state()[0], 0, "no Return was pressed")
        owner.kill()
        owner.wait()

    def test_2_toggle_key_starts_and_stops_hands_free(self):
        before = self.target.text()
        speak_while(lambda: tap(KEY_CONTROL_R), lambda: tap(KEY_CONTROL_R))
        self.assertPastedEventually(before + TRANSCRIPT)
        self.assertEqual(len(self.quillo.history()), 2)

    def test_3_paste_last_pastes_the_last_dictation_again(self):
        before = self.target.text()
        requests_before = len(self.services.requests())
        tap(KEY_F5)
        self.assertPastedEventually(before + TRANSCRIPT)
        self.assertEqual(len(self.services.requests()), requests_before, "paste-last sends nothing anywhere")
        self.assertEqual(len(self.quillo.history()), 2, "paste-last adds no history entry")


class RejectedKeyEndToEnd(unittest.TestCase):
    def test_a_rejected_key_is_notified_and_nothing_is_pasted(self):
        services = FakeServices("--answer", "listen=401:deepgram_error_401.json")
        target = TextTarget()
        quillo = QuilloProcess(env_extra=services.env(), preferences=UPLOAD_ONLY).start()
        try:
            target.focus()
            seen = len(notifications())
            speak_while(lambda: key_down(KEY_ALT_R), lambda: key_up(KEY_ALT_R))
            found = wait_until(lambda: notifications()[seen:], timeout=15, what="a notification")
            self.assertIn(("Quillo Error", "Deepgram rejected the API key. Check DEEPGRAM_API_KEY or credentials.json. "
                           "The dictation was kept: press Retry, or retry it later from History."), found)
            time.sleep(1.0)
            self.assertEqual(target.text(), "")
            self.assertEqual(quillo.history(), [])
            recordings = os.path.join(os.environ["XDG_RUNTIME_DIR"], "quillo")
            self.assertEqual([f for f in os.listdir(recordings) if f.endswith(".m4a")] if os.path.isdir(recordings)
                             else [], [], "the recording is kept elsewhere, not left behind")
        finally:
            quillo.stop()
            quillo.cleanup()
            target.close()
            services.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
