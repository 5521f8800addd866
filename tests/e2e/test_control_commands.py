"""The control commands (quillo start, stop, toggle, cancel, paste-last, status)
against the real quillo binary in the test desktop, over its session bus.

What a user binds to the desktop's own shortcuts: each command must act as the
matching key does, around real speech, and must say so clearly when no Quillo
runs instead of starting one.
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillo_e2e import BINARY, FakeServices, QuilloProcess, TextTarget, play_speech, speak_while, wait_until

TRANSCRIPT = "Go forward ten meters."


def quillo_command(*args, env=None):
    # A command that started the desktop app would never return.
    return subprocess.run([BINARY, *args], capture_output=True, text=True, timeout=15, env=env)


class ControlCommandsEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.services = FakeServices()
        cls.target = TextTarget()
        cls.quillo = QuilloProcess(env_extra=cls.services.env(), preferences={"quillo.streamingEnabled": False})
        cls.monitor = subprocess.Popen(
            ["dbus-monitor", "type='signal',interface='org.freedesktop.DBus.Properties',path='/org/quillo/Quillo'"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    @classmethod
    def tearDownClass(cls):
        cls.monitor.terminate()
        cls.quillo.stop()
        cls.quillo.cleanup()
        cls.target.close()
        cls.services.stop()

    def command(self, *args):
        return quillo_command(*args, env=self.quillo.env)

    def status(self):
        return self.command("status").stdout.strip()

    def assertTargetHolds(self, expected):
        try:
            wait_until(lambda: self.target.text() == expected, timeout=15, what="the pasted text")
        except AssertionError:
            self.fail(f"target holds {self.target.text()!r}, expected {expected!r}; quillo log:\n{self.quillo.log()}")

    def test_1_with_no_quillo_running_a_command_says_so_and_fails(self):
        for name in ("start", "status", "paste-last"):
            result = self.command(name)
            self.assertEqual(result.returncode, 1, f"case {name}")
            self.assertIn("Quillo is not running", result.stderr, f"case {name}")
        self.assertEqual(self.command("stop", "now").returncode, 2, "arguments are refused")
        help_text = quillo_command("--help").stdout
        for name in ("start", "stop", "toggle", "cancel", "paste-last", "status"):
            self.assertIn(f"\n  {name} ", help_text, f"case {name} in --help")

    def test_2_start_and_stop_around_speech_paste_the_text(self):
        self.quillo.start()
        wait_until(lambda: self.status() == "idle", what="the control interface")
        self.assertIn("Nothing to paste yet", self.command("paste-last").stderr)
        self.target.focus()

        def start():
            self.assertEqual(self.command("start").returncode, 0)
            wait_until(lambda: self.status() == "recording", what="status to say recording")

        speak_while(start, lambda: self.assertEqual(self.command("stop").returncode, 0))
        self.assertTargetHolds(TRANSCRIPT)
        wait_until(lambda: self.status() == "idle", what="status to go back to idle")
        self.assertEqual([e["text"] for e in self.quillo.history()], [TRANSCRIPT])
        announced = []
        wait_until(lambda: announced.extend(self.monitor_lines()) or 'string "processing"' in "".join(announced),
                   what="PropertiesChanged announcing the states")
        self.assertIn('string "recording"', "".join(announced))

    def monitor_lines(self):
        # Non-blocking read of what dbus-monitor printed so far.
        os.set_blocking(self.monitor.stdout.fileno(), False)
        return self.monitor.stdout.readlines()

    def test_3_toggle_twice_dictates_hands_free(self):
        speak_while(lambda: self.command("toggle"), lambda: self.command("toggle"))
        self.assertTargetHolds(TRANSCRIPT * 2)
        self.assertEqual(len(self.quillo.history()), 2)

    def test_4_cancel_sends_stores_and_pastes_nothing(self):
        requests = len(self.services.requests())
        self.command("start")
        wait_until(lambda: self.status() == "recording", what="the recording")
        play_speech().wait(timeout=20)
        self.assertEqual(self.command("cancel").returncode, 0)
        wait_until(lambda: self.status() == "idle", what="status to go back to idle")
        time.sleep(1.5)
        self.assertEqual(len(self.services.requests()), requests)
        self.assertEqual(self.target.text(), TRANSCRIPT * 2)
        self.assertEqual(len(self.quillo.history()), 2)
        self.assertIn("Recording discarded: cancelled by a command", self.quillo.log())

    def test_5_paste_last_pastes_again_without_a_request(self):
        requests = len(self.services.requests())
        self.assertEqual(self.command("paste-last").returncode, 0)
        self.assertTargetHolds(TRANSCRIPT * 3)
        self.assertEqual(len(self.services.requests()), requests)


if __name__ == "__main__":
    unittest.main(verbosity=2)
