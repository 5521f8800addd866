"""No dictation is lost: failures, kills and quits keep it for a retry; silence is dropped.

The real quillo binary in the test desktop, speech played into the test
microphone, the loopback fake services failing or stalling on demand, and the
`quillo pending` / `quillo retry` commands run beside the app (which answers
them) or on their own.
"""

import json
import os
import signal
import stat
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import (BINARY, KEY_ALT_R, FakeServices, QuilloProcess, TextTarget, key_down, key_up,
                        notifications, speak_while, wait_until)

TRANSCRIPT = "Go forward ten meters."
UPLOAD_ONLY = {"quillo.streamingEnabled": False}
RECORDINGS = os.path.join(os.environ.get("XDG_RUNTIME_DIR", "/tmp"), "quillo")


def recordings_left():
    return [f for f in os.listdir(RECORDINGS) if f.endswith(".m4a")] if os.path.isdir(RECORDINGS) else []


def command(quillo, *args):
    return subprocess.run([BINARY, *args], env=quillo.env, capture_output=True, text=True, timeout=120)


def pending(quillo):
    result = command(quillo, "pending", "--json")
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout)


def dictate():
    speak_while(lambda: key_down(KEY_ALT_R), lambda: key_up(KEY_ALT_R))


class KeptDictationsEndToEnd(unittest.TestCase):
    def start(self, services, preferences=UPLOAD_ONLY, quillo=None):
        quillo = quillo or QuilloProcess(env_extra=services.env(), preferences=preferences)
        self.addCleanup(quillo.cleanup)
        self.addCleanup(quillo.stop)
        return quillo.start()

    def services(self, *extra):
        services = FakeServices(*extra)
        self.addCleanup(services.stop)
        return services

    def test_a_failed_dictation_is_kept_listed_and_completed_by_a_retry(self):
        services = self.services("--drop", "listen=2")  # the request and its one retry
        quillo = self.start(services)
        seen = len(notifications())
        dictate()
        found = wait_until(lambda: [n for n in notifications()[seen:] if n[0] == "Quillo Error"], timeout=20,
                           what="the error notification")
        self.assertIn("The dictation was kept", found[0][1])

        kept_dir = os.path.join(quillo.data, "Quillo", "kept")
        self.assertEqual(stat.S_IMODE(os.stat(kept_dir).st_mode), 0o700)
        files = sorted(os.listdir(kept_dir))
        self.assertEqual([os.path.splitext(f)[1] for f in files], [".json", ".m4a"])
        for name in files:
            self.assertEqual(stat.S_IMODE(os.stat(os.path.join(kept_dir, name)).st_mode), 0o600, name)
        self.assertEqual(recordings_left(), [], "moved out of the runtime folder")

        listed = pending(quillo)  # answered by the running app
        self.assertEqual(len(listed), 1)
        self.assertGreater(listed[0]["duration"], 2.0)
        self.assertTrue(listed[0]["error"])
        self.assertIn(listed[0]["id"], command(quillo, "pending").stdout)

        retried = command(quillo, "retry", "--all")
        self.assertEqual((retried.returncode, retried.stdout), (0, TRANSCRIPT + "\n"), retried.stderr)
        self.assertEqual([e["text"] for e in quillo.history()], [TRANSCRIPT])
        self.assertEqual(os.listdir(kept_dir), [], "the kept files are removed")
        self.assertEqual(pending(quillo), [])

        unknown = command(quillo, "retry", "20260101-000000")
        self.assertEqual(unknown.returncode, 1)
        self.assertEqual(command(quillo, "retry").returncode, 2)

    def test_a_dictation_cut_off_by_a_kill_or_a_quit_is_kept_for_a_retry(self):
        services = self.services("--delay", "30")  # the upload stalls
        quillo = self.start(services)
        dictate()
        wait_until(lambda: os.path.exists(os.path.join(RECORDINGS, recordings_left()[0] + ".json"))
                   if recordings_left() else False, timeout=10, what="processing to begin")
        quillo.process.send_signal(signal.SIGKILL)
        quillo.process.wait()

        seen = len(notifications())
        quillo.start(wait_for_ready=False)
        listed = wait_until(lambda: pending(quillo), timeout=15, what="the recording to be kept at launch")
        self.assertEqual([k["error"] for k in listed], ["Quillo stopped before this dictation was transcribed."])
        self.assertGreater(listed[0]["duration"], 2.0, "what was known about it survives the kill")
        self.assertIn("Dictation Not Transcribed", [n[0] for n in notifications()[seen:]])
        self.assertEqual(recordings_left(), [])

        wait_until(lambda: quillo.log().count("Fn tap created") == 2, timeout=15, what="quillo to start again")
        dictate()
        time.sleep(1.0)  # the upload is under way
        asked = time.monotonic()
        quillo.process.send_signal(signal.SIGTERM)
        quillo.process.wait(timeout=20)
        self.assertLess(time.monotonic() - asked, 13, "quitting waits about 10 s, not for the network")
        listed = pending(quillo)  # no app running: the command reads the folder itself
        self.assertEqual(sorted(k["error"] for k in listed),
                         ["Quillo quit before this dictation was transcribed.",
                          "Quillo stopped before this dictation was transcribed."])

    def test_silence_sends_nothing_stores_nothing_and_says_nothing(self):
        services = self.services()
        target = TextTarget()
        self.addCleanup(target.close)
        quillo = self.start(services, preferences={})  # the live stream too
        target.focus()
        seen = len(notifications())
        key_down(KEY_ALT_R)
        time.sleep(2.0)  # nothing plays: the test microphone delivers silence
        key_up(KEY_ALT_R)
        time.sleep(3.0)
        self.assertEqual([r["endpoint"] for r in services.requests() if r["endpoint"] != "stream"], [])
        self.assertEqual([r.get("audio_bytes") for r in services.requests("stream")], [0] * len(services.requests("stream")))
        self.assertEqual(notifications()[seen:], [])
        self.assertEqual(quillo.history(), [])
        self.assertEqual(pending(quillo), [])
        self.assertEqual(target.text(), "")
        self.assertEqual(recordings_left(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
