#!/usr/bin/env python3
"""`quillo transcribe` against the loopback fake services.

Needs QUILLO_BINARY (the built program) and QUILLO_SOURCE_DIR. Runs with a
private home and configuration, so the user's own settings and keys are never
read, and only ever talks to 127.0.0.1.
"""

import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from quillo_e2e import BINARY, SOURCE_DIR, FakeServices  # noqa: E402

FIXTURES = os.path.join(SOURCE_DIR, "tests", "fixtures", "services")
OPENAI_KEY, DEEPGRAM_KEY = FakeServices.OPENAI_KEY, FakeServices.DEEPGRAM_KEY
REJECTED = {
    "deepgram": "Quillo Error: Deepgram rejected the API key. Check DEEPGRAM_API_KEY or credentials.json.\n",
    "openai": "Quillo Error: OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json.\n",
}


class PrivateHome(unittest.TestCase):
    """A private home, configuration and data folder for each test."""

    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="quillo-cli-")
        self.config = os.path.join(self.directory, "config")
        self.data = os.path.join(self.directory, "data")
        os.makedirs(os.path.join(self.config, "quillo"))
        self.addCleanup(shutil.rmtree, self.directory, True)

    def write_preferences(self, values):
        with open(os.path.join(self.config, "quillo", "preferences.json"), "w", encoding="utf-8") as f:
            json.dump(values, f)

    def run_transcribe(self, arguments, environment, timeout):
        environment.update({"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.directory,
                            "XDG_CONFIG_HOME": self.config, "XDG_DATA_HOME": self.data})
        return subprocess.run([BINARY, "transcribe", *arguments], env=environment, capture_output=True,
                              text=True, timeout=timeout)


class TranscribeCommandTest(PrivateHome):
    def setUp(self):
        super().setUp()
        self.audio = os.path.join(self.directory, "clip.m4a")
        with open(self.audio, "wb") as f:
            f.write(b"\x00\x00\x00\x1cftypM4A " + os.urandom(4000))
        self.services = None
        self.addCleanup(lambda: self.services and self.services.stop())

    def start(self, *options):
        if self.services:
            self.services.stop()
        self.services = FakeServices(*options, transcript=None)
        return self.services

    def transcribe(self, *arguments, openai_key=OPENAI_KEY, deepgram_key=DEEPGRAM_KEY, log_text=False):
        environment = {"QUILLO_LOG_TEXT": "1"} if log_text else {}
        for name, key in (("OPENAI_API_KEY", openai_key), ("DEEPGRAM_API_KEY", deepgram_key)):
            if key is not None:
                environment[name] = key
        if self.services:
            environment["QUILLO_OPENAI_BASE_URL"] = self.services.base
            environment["QUILLO_DEEPGRAM_BASE_URL"] = self.services.base
        return self.run_transcribe(arguments, environment, 120)

    # ---------------------------------------------------------------- routing

    def test_english_alone_goes_to_deepgram(self):
        services = self.start()
        result = self.transcribe(self.audio)
        self.assertEqual((result.returncode, result.stdout, result.stderr.count("Quillo Error")),
                         (0, "Ship the release notes today.\n", 0), result.stderr)
        requests = services.requests()
        self.assertEqual([r["endpoint"] for r in requests], ["listen"])
        listen = requests[0]
        self.assertEqual(listen["query"], [["model", "nova-3"], ["punctuate", "true"], ["smart_format", "true"]])
        self.assertEqual(listen["headers"]["Authorization"], "Token " + DEEPGRAM_KEY)
        self.assertEqual(listen["headers"]["Content-Type"], "audio/mp4")
        with open(self.audio, "rb") as f:
            self.assertEqual(listen["body_sha256"], hashlib.sha256(f.read()).hexdigest())

    def test_other_language_sets_go_to_openai(self):
        cases = [
            ("two languages: no language field", ["--languages", "en,de"], None, ["model", "file"]),
            ("enabled languages from the settings", [], ["fr"], ["model", "language", "file"]),
        ]
        for name, options, enabled, fields in cases:
            with self.subTest(name):
                services = self.start("--transcription-text", "Schick mir bitte die Notizen.")
                self.write_preferences({"enabledLanguages": enabled} if enabled else {})
                result = self.transcribe(self.audio, *options)
                self.assertEqual((result.returncode, result.stdout), (0, "Schick mir bitte die Notizen.\n"),
                                 result.stderr)
                requests = services.requests()
                self.assertEqual([r["endpoint"] for r in requests], ["transcription"])
                form = requests[0]["form"]
                self.assertEqual([part["name"] for part in form], fields)
                self.assertEqual(form[0]["value"], "gpt-4o-mini-transcribe")
                if "language" in fields:
                    self.assertEqual(form[1]["value"], (enabled or ["de"])[0])
                self.assertEqual((form[-1]["filename"], form[-1]["content_type"], form[-1]["size"]),
                                 ("audio.m4a", "audio/mp4", os.path.getsize(self.audio)))
                self.assertEqual(requests[0]["headers"]["Authorization"], "Bearer " + OPENAI_KEY)

    # ---------------------------------------------------------------- clean-up

    def test_long_transcripts_are_cleaned_up_with_the_users_dictionary_and_snippets(self):
        raw = "um so please send the quarterly report to dana before friday and copy finance"
        services = self.start("--deepgram-transcript", raw,
                              "--cleanup-content", "Please send the quarterly report to Dana before Friday. brb\r")
        self.write_preferences({"dictionaryWords": ["Dana", "Kubernetes"], "cleanupInstructions": "Be brief."})
        os.makedirs(os.path.join(self.data, "Quillo"))
        with open(os.path.join(self.data, "Quillo", "snippets.json"), "w", encoding="utf-8") as f:
            json.dump([{"id": "6F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8", "trigger": "brb",
                        "expansion": "be right back"}], f)
        result = self.transcribe(self.audio)
        self.assertEqual((result.returncode, result.stdout),
                         (0, "Please send the quarterly report to Dana before Friday. be right back\n"), result.stderr)
        requests = services.requests()
        self.assertEqual([r["endpoint"] for r in requests], ["listen", "chat"])
        chat = requests[1]["json"]
        self.assertEqual(chat["model"], "gpt-4o-mini")
        self.assertEqual(chat["messages"][1], {"role": "user", "content": raw})
        system = chat["messages"][0]["content"]
        self.assertTrue(system.startswith("You are a text formatter, NOT a chatbot."))
        self.assertIn("\n  \u2022 Dana\n  \u2022 Kubernetes\n\nAdditional user instructions:\nBe brief.\n\nFINAL RULE:",
                      system)

    def test_a_refusal_falls_back_to_the_raw_transcript_and_the_log_keeps_no_words(self):
        raw = "tell them my home address is twelve main street please and thanks"
        self.start("--deepgram-transcript", raw, "--cleanup-content", "I'm sorry, but I can't share that.")
        result = self.transcribe(self.audio)
        self.assertEqual((result.returncode, result.stdout), (0, raw + "\n"), result.stderr)
        self.assertIn("[Quillo] REFUSAL DETECTED: 34 characters, 7 words", result.stderr)
        self.assertNotIn("address", result.stderr)
        self.assertNotIn("sorry", result.stderr)

        result = self.transcribe(self.audio, log_text=True)
        self.assertIn("[Quillo] REFUSAL DETECTED: I'm sorry, but I can't share that.", result.stderr)
        self.assertIn("'tell them my home address is twelve main", result.stderr)

    # ---------------------------------------------------------------- failures

    def test_a_rejected_key_or_a_service_error_is_reported(self):
        with open(os.path.join(FIXTURES, "openai_error_400.json"), encoding="utf-8") as f:
            body = f.read()
        german = ["--languages", "de"]
        cases = [  # name, fake service options, arguments, keys, error
            ("deepgram rejects the key", [], [], {"deepgram_key": "dg-wrong-key"}, REJECTED["deepgram"]),
            ("openai rejects the key", [], german, {"openai_key": "sk-wrong-key"}, REJECTED["openai"]),
            ("openai answers 400", ["--answer", "transcription=400:openai_error_400.json"], german, {},
             "Quillo Error: API error: " + body + "\n"),
        ]
        for name, service_options, arguments, keys, expected in cases:
            with self.subTest(name):
                self.start(*service_options)
                result = self.transcribe(self.audio, *arguments, **keys)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (1, "", expected))

    def test_a_dropped_connection_is_retried_once(self):
        services = self.start("--drop", "listen=1")
        result = self.transcribe(self.audio)
        self.assertEqual((result.returncode, result.stdout), (0, "Ship the release notes today.\n"), result.stderr)
        self.assertEqual([r["status"] for r in services.requests()], ["dropped", 200])

        services = self.start("--drop", "listen=2")
        result = self.transcribe(self.audio)
        self.assertEqual((result.returncode, result.stdout), (1, ""))
        self.assertEqual(result.stderr, "Quillo Error: The network connection was lost.\n")
        self.assertEqual([r["status"] for r in services.requests()], ["dropped", "dropped"])

    def test_a_missing_or_unreadable_recording_sends_nothing(self):
        services = self.start()
        result = self.transcribe(os.path.join(self.directory, "missing.m4a"))
        self.assertEqual((result.returncode, result.stdout), (1, ""))
        self.assertEqual(result.stderr, "Quillo Error: The recording could not be found.\n")
        # A FIFO would block the read forever, /dev/zero would never end.
        fifo = os.path.join(self.directory, "fifo.m4a")
        os.mkfifo(fifo)
        for path in (fifo, "/dev/zero"):
            result = self.transcribe(path)
            self.assertEqual((result.returncode, result.stdout), (1, ""), path)
            self.assertEqual(result.stderr, "Quillo Error: The recording could not be read: cannot read %s: "
                             "it is not a regular file\n" % path)
        self.assertEqual(services.requests(), [])

    def test_no_service_listening(self):
        self.start()
        self.services.stop()
        result = self.transcribe(self.audio)
        self.services = None
        self.assertEqual((result.returncode, result.stdout), (1, ""))
        self.assertEqual(result.stderr, "Quillo Error: Could not connect to the server.\n")


SPEECH_DATA = "/usr/share/pocketsphinx/test/data"


def speech_to_m4a(raw, m4a):
    """Encodes a raw 16 kHz mono recording as the recorder does (AAC in MPEG-4)."""
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "s16le", "-ar", "16000", "-ac", "1", "-i", raw,
                    "-c:a", "aac", "-b:a", "32k", m4a], check=True, timeout=60)


@unittest.skipUnless(os.path.isdir(SPEECH_DATA), "the recordings of pocketsphinx-testdata are not installed")
class OfflineTranscribeTest(PrivateHome):
    """No keys anywhere and every service address closed: only the offline engine can answer."""

    def offline(self, recording, *arguments):
        audio = os.path.join(self.directory, os.path.basename(recording) + ".m4a")
        speech_to_m4a(os.path.join(SPEECH_DATA, recording), audio)
        closed = "http://127.0.0.1:9/v1"  # the discard port: nothing listens there
        return self.run_transcribe([audio, *arguments],
                                   {"QUILLO_OPENAI_BASE_URL": closed, "QUILLO_DEEPGRAM_BASE_URL": closed}, 300)

    def test_every_engine_choice_runs_offline_without_keys_and_long_text_skips_cleanup(self):
        for engine in ("auto", "openai", "deepgram", "local"):
            with self.subTest(engine):
                self.write_preferences({"quillo.transcriptionEngine": engine, "enabledLanguages": ["en", "de"]})
                result = self.offline("goforward.raw")
                self.assertEqual((result.returncode, result.stdout), (0, "Go forward ten meters.\n"), result.stderr)

        # Well over seven words: without an OpenAI key there is no clean-up to
        # fail; the engine's own formatting is the text.
        self.write_preferences({})
        wav = os.path.join(SPEECH_DATA, "librivox", "sense_and_sensibility_01_austen_64kb-0870.wav")
        raw = os.path.join(self.directory, "long.raw")
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", wav, "-f", "s16le", "-ar", "16000", "-ac", "1", raw],
                       check=True, timeout=60)
        result = self.offline(raw)
        self.assertEqual(result.returncode, 0, result.stderr)
        text = result.stdout.strip()
        self.assertGreater(len(text.split()), 15, text)
        self.assertTrue(text[0].isupper() and text.endswith("."), text)
        self.assertNotIn("Cleanup output", result.stderr)


if __name__ == "__main__":
    if not os.path.exists(BINARY):
        print("skipped: %s is not built in this build directory" % BINARY)
        sys.exit(77)
    unittest.main(verbosity=2)
