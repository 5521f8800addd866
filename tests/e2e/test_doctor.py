"""`quillo doctor` on the test desktop, where everything a dictation needs is
present, and in the same environment without any display.
"""

import os
import subprocess
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import BINARY, FakeServices, play_speech


class DoctorEndToEnd(unittest.TestCase):
    def setUp(self):
        self.services = FakeServices()
        self.home = tempfile.TemporaryDirectory(prefix="quillo-doctor-")
        config = os.path.join(self.home.name, "config")
        os.makedirs(os.path.join(config, "quillo"), mode=0o700)
        self.env = dict(os.environ, XDG_CONFIG_HOME=config, XDG_DATA_HOME=os.path.join(self.home.name, "data"),
                        **self.services.env())

    def tearDown(self):
        self.services.stop()
        self.home.cleanup()

    def doctor(self, env, *args):
        result = subprocess.run([BINARY, "doctor", *args], env=env, capture_output=True, text=True, timeout=120)
        return result.returncode, result.stdout.splitlines(), result.stdout + result.stderr

    def test_the_test_desktop_has_everything(self):
        # Speech plays into the microphone for as long as the doctor runs, so
        # its one-second level check hears a voice whenever it listens.
        done = threading.Event()

        def speak():
            while not done.is_set():
                play_speech().wait(timeout=20)

        speaker = threading.Thread(target=speak)
        speaker.start()
        try:
            status, lines, output = self.doctor(self.env, "--listen", "--online")
        finally:
            done.set()
            speaker.join()

        self.assertEqual(status, 0, output)
        checks = [line for line in lines if line[:2] in ("\u2713 ", "\u2717 ")]
        names = [line[2:].split(":")[0] for line in checks]
        self.assertEqual(names, ["Session", "Audio server", "Microphones", "Microphone level", "Tray", "Notifications",
                                 "Accessibility bus", "Offline model", "Service keys", "OpenAI", "Deepgram",
                                 "Settings folder", "Data folder", "Recordings folder"], output)
        self.assertEqual([line for line in checks if not line.startswith("\u2713")], [], output)
        self.assertRegex(output, r"Session: X11 on :\d+, XInput 2\.2, XTest")
        self.assertIn("Microphones: 2 inputs; default: Quillo_Test_Microphone; chosen: automatic", output)
        self.assertIn("Tray: XEmbed tray", output)
        self.assertIn("Quillo can dictate on this machine.", output)
        self.assertNotIn("sk-test", output)
        statuses = [r["status"] for r in self.services.requests()]
        self.assertEqual(len(statuses), 2, "each service was asked once")
        self.assertTrue(all(status in (200, 400) for status in statuses), f"with a key it accepts: {statuses}")

    def test_without_a_display_or_with_an_unencrypted_service_it_says_so(self):
        env = {k: v for k, v in self.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE")}
        env["QUILLO_OPENAI_BASE_URL"] = "http://192.0.2.1/v1"  # another computer, without TLS
        status, lines, output = self.doctor(env, "--online")
        self.assertEqual(status, 1, output)
        self.assertTrue(lines[0].startswith("\u2717 Session: no display"), output)
        self.assertIn("\u2717 OpenAI: Refusing to send the API key unencrypted to http://192.0.2.1/v1.", output)
        self.assertIn("Quillo cannot dictate until this is fixed: Session", output)
        self.assertEqual(len(self.services.requests()), 1, "only Deepgram was asked; the key never left")


if __name__ == "__main__":
    unittest.main()
