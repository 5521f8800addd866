"""A whole dictation with no service keys: the offline engine on this machine.

Like test_dictation.py, but no key is configured and both service addresses
point at a closed port, so the only way for the words to arrive is the local
speech engine. Real recorded speech plays into the test microphone while the
key is held, and the engine hears it as it comes, loading its model meanwhile.
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
    def dictate(self, target, quillo):
        """Holds the key from before the first word to after the last; returns the pasted text."""
        before = target.text()
        target.focus()
        key_down(KEY_ALT_R)
        play_speech().wait(timeout=20)
        time.sleep(0.3)
        key_up(KEY_ALT_R)
        try:
            wait_until(lambda: len(target.text()) > len(before), timeout=60, what="the pasted text")
        except AssertionError:
            self.fail(f"nothing was pasted; quillo log:\n{quillo.log()}")
        time.sleep(0.2)
        return target.text()[len(before):]

    def test_speech_is_heard_here_while_the_model_loads_and_after_it_was_given_back(self):
        for name in ("OPENAI_API_KEY", "DEEPGRAM_API_KEY"):
            os.environ.pop(name, None)
        target = TextTarget()
        quillo = QuilloProcess(env_extra={"QUILLO_OPENAI_BASE_URL": CLOSED, "QUILLO_DEEPGRAM_BASE_URL": CLOSED,
                                          "QUILLO_DEEPGRAM_STREAM_URL": "ws://127.0.0.1:9/v1/listen",
                                          "QUILLO_OFFLINE_UNLOAD_SECONDS": "3"}).start()
        try:
            # Nothing is loaded until a dictation needs it.
            time.sleep(2)
            self.assertNotIn("[Quillo] Offline model", quillo.log())

            # Every dictation starts with the model given back, so its first
            # words are captured while the model loads, and must all arrive.
            # Recognition hears the speech through the whole microphone path;
            # on a heavily loaded machine a capture glitch can garble a word,
            # so each round may take a second (again cold) dictation.
            loads = 0
            for round_ in (1, 2):
                for attempt in (1, 2):
                    if loads:
                        wait_until(lambda: quillo.log().count("unloaded after 3.0s unused") == loads, timeout=30,
                                   what="the model to be given back")
                    pasted = self.dictate(target, quillo)
                    loads += 1
                    log = quillo.log()
                    self.assertEqual(len(re.findall(r"Offline model .+ loaded in [0-9.]+s", log)), loads, log)
                    if pasted == TRANSCRIPT:
                        break
                    print(f"round {round_}, attempt {attempt} recognised {pasted!r}", file=sys.stderr)
                self.assertEqual(pasted, TRANSCRIPT, quillo.log())
            history = wait_until(lambda: len(quillo.history()) == loads and quillo.history(), what="the history")
            self.assertEqual(history[0]["text"], TRANSCRIPT)
            log = quillo.log()
            self.assertRegex(log, r"Transcribed via local in [0-9.]+s")
            self.assertNotIn("Quillo Error", log)
        finally:
            quillo.stop()
            quillo.cleanup()
            target.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
