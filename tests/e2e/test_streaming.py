"""English dictation streamed live with the real quillo binary in the test desktop.

Real speech plays into the test microphone while Right Alt is held. Quillo
streams it to the loopback live endpoint, which answers with interim and final
results; after the release the streamed transcript is cleaned up and pasted,
and the recording is never uploaded.
"""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fakes", "services"))
from fake_services import PCM_BYTES_PER_SECOND, speech_span
from quillo_e2e import (KEY_ALT_R, SPEECH, FakeServices, QuilloProcess, TextTarget, key_down, key_up, speak_while,
                        wait_until)

# Long enough that the clean-up model is asked, so the pasted text shows the
# streamed transcript went through clean-up.
STREAMED = "um go forward ten meters and then stop there"
CLEANED = "Go forward ten meters, and then stop there."


class StreamingDictationEndToEnd(unittest.TestCase):
    def setUp(self):
        self.services = FakeServices("--stream-transcript", STREAMED, "--cleanup-content", CLEANED)
        self.target = TextTarget()
        self.quillo = QuilloProcess(env_extra=self.services.env(),
                                    preferences={"quillo.streamingEnabled": True, "enabledLanguages": ["en"]}).start()
        self.target.focus()

    def tearDown(self):
        self.quillo.stop()
        self.quillo.cleanup()
        self.target.close()
        self.services.stop()

    def test_speech_is_streamed_as_pcm_and_the_streamed_text_is_cleaned_up_and_pasted(self):
        pressed_at, released_at = speak_while(lambda: key_down(KEY_ALT_R), lambda: key_up(KEY_ALT_R))
        try:
            self.check(pressed_at, released_at)
        except AssertionError as failure:
            raise AssertionError(f"{failure}\nheld {released_at - pressed_at:.3f} s; target holds "
                                 f"{self.target.text()!r}; requests: {self.services.requests()}\n"
                                 f"quillo log:\n{self.quillo.log()}") from None

    def check(self, pressed_at, released_at):
        wait_until(lambda: self.target.text() == CLEANED, timeout=20, what="the pasted text")
        streams = wait_until(lambda: self.services.requests("stream"), what="the stream's log entry")
        self.assertEqual(len(streams), 1)
        stream = streams[0]
        self.assertEqual(stream["status"], 101)
        self.assertEqual(dict(stream["query"]), {"model": "nova-3", "encoding": "linear16", "sample_rate": "16000",
                                                 "channels": "1", "language": "en", "punctuate": "true",
                                                 "smart_format": "true", "interim_results": "true"})
        self.assertEqual(stream["headers"].get("Authorization"), "Token dg-test")
        self.assertEqual(stream["texts"], ['{"type":"CloseStream"}'])
        self.assertEqual(stream["client_close_code"], 1000)
        self.assertEqual([(m["type"], m["is_final"]) for m in stream["sent"]][-2:], [("Results", True), ("Metadata", None)])

        # 16 kHz mono s16le, sent as it is captured: about 32,000 bytes per
        # second, in whole samples, covering the time the key was held, and
        # the speech in it lasts as long as the recording that was played.
        # The margins absorb a busy machine's scheduling; a wrong rate or
        # channel count is off by a factor of two or more.
        self.assertEqual(stream["odd_messages"], 0)
        self.assertAlmostEqual(stream["bytes_per_second"], PCM_BYTES_PER_SECOND, delta=0.2 * PCM_BYTES_PER_SECOND)
        held = released_at - pressed_at
        self.assertGreater(stream["audio_bytes"], 0.7 * held * PCM_BYTES_PER_SECOND, f"held {held:.2f} s")
        self.assertLess(stream["audio_bytes"], 1.2 * held * PCM_BYTES_PER_SECOND, f"held {held:.2f} s")
        with open(SPEECH, "rb") as f:
            played = speech_span(f.read())
        self.assertAlmostEqual(stream["speech_seconds"], played, delta=0.15 * played)

        # The streamed words were cleaned up; nothing was uploaded.
        chats = self.services.requests("chat")
        self.assertEqual(len(chats), 1)
        self.assertIn(STREAMED, json.dumps(chats[0]["json"]["messages"]))
        self.assertEqual(self.services.requests("listen") + self.services.requests("transcription"), [])
        history = wait_until(self.quillo.history, what="the history file")
        self.assertEqual([e["text"] for e in history], [CLEANED])


if __name__ == "__main__":
    unittest.main(verbosity=2)
