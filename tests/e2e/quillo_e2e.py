"""Helpers for end-to-end tests: the real quillo binary in the test desktop.

Each test runs inside scripts/test-desktop.sh (ctest does that for the
"desktop" label), so DISPLAY, the session bus, PulseAudio and a private HOME
are already there.
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE_DIR = os.environ.get("QUILLO_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BINARY = os.environ.get("QUILLO_BINARY", os.path.join(SOURCE_DIR, "build", "quillo"))
SPEECH = "/usr/share/pocketsphinx/test/data/goforward.raw"  # 16 kHz mono s16le: "go forward ten meters"

# X keycodes (evdev + 8); xdotool is given numbers because "Alt_R" also presses Alt_L.
KEY_ALT_R = 108
KEY_CONTROL_R = 105
KEY_F5 = 71


def run(*args, check=True, **kwargs):
    return subprocess.run(args, check=check, capture_output=True, text=True, **kwargs)


def wait_until(predicate, timeout=10.0, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError(f"timed out after {timeout}s waiting for {what}")


def key_down(code):
    run("xdotool", "keydown", str(code))


def key_up(code):
    run("xdotool", "keyup", str(code))


def tap(code):
    key_down(code)
    time.sleep(0.05)
    key_up(code)


def play_speech(path=SPEECH, device="quillo_null"):
    """Plays raw 16 kHz mono speech into the test microphone; returns the player."""
    return subprocess.Popen(
        ["paplay", "--raw", "--format=s16le", "--rate=16000", "--channels=1", "--latency-msec=20",
         f"--device={device}", path],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def notifications():
    """(summary, body) of every notification the desktop received so far."""
    log = os.path.join(os.environ["QUILLO_TEST_DESKTOP_DIR"], "notifications.log")
    with open(log, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    found = []
    for i, line in enumerate(lines):
        if "member=Notify" in line:
            strings = [l.strip()[len('string "'):-1] for l in lines[i + 1:i + 8] if l.strip().startswith('string "')]
            if len(strings) >= 4:
                found.append((strings[2], strings[3]))
    return found


class TextTarget:
    """A Tk text widget in another process: the application the user dictates into."""

    SCRIPT = r"""
import sys, tkinter as tk
out = sys.argv[1]
root = tk.Tk(className="QuilloTarget")
root.title("Quillo target")
root.geometry("600x300+40+60")
text = tk.Text(root)
text.pack(fill="both", expand=True)
returns = [0]
def on_return(event):
    returns[0] += 1
def dump():
    with open(out + ".tmp", "w", encoding="utf-8") as f:
        f.write(str(returns[0]) + "\n" + text.get("1.0", "end-1c"))
    import os
    os.replace(out + ".tmp", out)
    root.after(50, dump)
text.bind("<Return>", on_return, add="+")
root.after(50, dump)
root.after(100, lambda: (root.focus_force(), text.focus_set()))
root.mainloop()
"""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="quillo-target-")
        self.out = os.path.join(self.dir, "state")
        self.process = subprocess.Popen([sys.executable, "-c", self.SCRIPT, self.out])
        wait_until(lambda: os.path.exists(self.out), what="the text widget")
        self.focus()

    def focus(self):
        window = wait_until(lambda: run("xdotool", "search", "--name", "^Quillo target$", check=False).stdout.split(),
                            what="the target window")[0]
        run("xdotool", "windowactivate", "--sync", window, check=False)
        run("xdotool", "windowfocus", "--sync", window, check=False)
        wait_until(lambda: run("xdotool", "getactivewindow", check=False).stdout.strip() == window,
                   what="focus on the target window")
        self.window = window

    def state(self):
        try:
            with open(self.out, encoding="utf-8") as f:
                returns, _, text = f.read().partition("\n")
            return int(returns), text
        except (OSError, ValueError):
            return 0, ""

    def text(self):
        return self.state()[1]

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=5)
        shutil.rmtree(self.dir, ignore_errors=True)


def clipboard(target="UTF8_STRING"):
    result = run("xclip", "-o", "-selection", "clipboard", "-t", target, check=False)
    return result.stdout if result.returncode == 0 else None


class QuilloProcess:
    """The real quillo binary with its own configuration and data directories."""

    def __init__(self, env_extra=None, preferences=None):
        self.home = tempfile.mkdtemp(prefix="quillo-home-")
        self.config = os.path.join(self.home, "config")
        self.data = os.path.join(self.home, "data")
        os.makedirs(os.path.join(self.config, "quillo"), mode=0o700)
        if preferences:
            with open(os.path.join(self.config, "quillo", "preferences.json"), "w") as f:
                json.dump(preferences, f)
        self.env = dict(os.environ)
        self.env.update({"XDG_CONFIG_HOME": self.config, "XDG_DATA_HOME": self.data})
        self.env.update(env_extra or {})
        self.log_path = os.path.join(self.home, "quillo.log")
        self.log_file = open(self.log_path, "w")
        self.process = None

    def start(self, wait_for_ready=True):
        self.process = subprocess.Popen([BINARY], env=self.env, stdout=self.log_file, stderr=subprocess.STDOUT)
        if wait_for_ready:
            wait_until(lambda: "Fn tap created" in self.log(), timeout=15, what="quillo to start")
        return self

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def history(self):
        path = os.path.join(self.data, "Quillo", "history.json")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return json.load(f)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log_file.close()
        return self.process.returncode if self.process else None

    def cleanup(self):
        shutil.rmtree(self.home, ignore_errors=True)
