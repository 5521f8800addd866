"""A whole dictation with no service keys: the offline engine on this machine.

Like test_dictation.py, but no key is configured and both service addresses
point at a closed port, so the only way for the words to arrive is the local
speech engine. Real recorded speech plays into the test microphone.
"""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import KEY_ALT_R, QuilloProcess, TextTarget, key_down, key_up, play_speech, wait_until

TRANSCRIPT = "Go forward ten meters."
CLOSED = "http://127.0.0.1:9/v1"  # the discard port: nothing listens there


class OfflineDictationEndToEnd(unittest.TestCase):
    def test_speech_is_transcribed_here_and_pasted_without_any_key(self):
        for name in ("OPENAI_API_KEY", "DEEPGRAM_API_KEY"):
            os.environ.pop(name, None)
        target = TextTarget()
        quillo = QuilloProcess(env_extra={"QUILLO_OPENAI_BASE_URL": CLOSED, "QUILLO_DEEPGRAM_BASE_URL": CLOSED,
                                          "QUILLO_DEEPGRAM_STREAM_URL": "ws://127.0.0.1:9/v1/listen"}).start()
        try:
            # The offline engine is what will run, so its model loads at start,
            # before anyone dictates.
            wait_until(lambda: "[Quillo] Offline model" in quillo.log(), timeout=60, what="the model to load")
            self.assertRegex(quillo.log(), r"Offline model .+ loaded in [0-9.]+s, [0-9.]+ MB resident")

            # Recognition hears the speech through the whole microphone path; on
            # a heavily loaded machine a capture glitch can garble a word, so a
            # second dictation is allowed before the text must be exact.
            for attempt in (1, 2):
                before = target.text()
                target.focus()
                key_down(KEY_ALT_R)
                time.sleep(0.3)
                play_speech().wait(timeout=20)
                time.sleep(0.3)
                key_up(KEY_ALT_R)
                try:
                    wait_until(lambda: len(target.text()) > len(before), timeout=60, what="the pasted text")
                except AssertionError:
                    self.fail(f"nothing was pasted; quillo log:\n{quillo.log()}")
                time.sleep(0.2)
                pasted = target.text()[len(before):]
                if pasted == TRANSCRIPT:
                    break
                print(f"attempt {attempt} recognised {pasted!r}", file=sys.stderr)
            self.assertEqual(pasted, TRANSCRIPT, quillo.log())
            history = wait_until(lambda: len(quillo.history()) == attempt and quillo.history(), what="the history")
            self.assertEqual(history[0]["text"], TRANSCRIPT)
            log = quillo.log()
            self.assertRegex(log, r"Transcribed via local in [0-9.]+s")
            self.assertEqual(len(re.findall(r"Offline model .+ loaded", log)), 1, "the model loads once")
            self.assertNotIn("Quillo Error", log)
        finally:
            quillo.stop()
            quillo.cleanup()
            target.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
