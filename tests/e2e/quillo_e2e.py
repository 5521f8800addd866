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
FAKE_SERVICES = os.path.join(SOURCE_DIR, "tests", "fakes", "services", "fake_services.py")

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
import sys, time, tkinter as tk
out = sys.argv[1]
root = tk.Tk(className="QuilloTarget")
root.title("Quillo target")
root.geometry("600x300+40+60")
text = tk.Text(root)
text.pack(fill="both", expand=True)
returns = [0]
changed_at = [0.0]
def on_return(event):
    returns[0] += 1
def on_modified(event):
    # The moment the text changed, for latency measurements; the flag is
    # cleared so the next change is reported too.
    if text.edit_modified():
        changed_at[0] = time.monotonic()
        text.edit_modified(False)
def dump():
    with open(out + ".tmp", "w", encoding="utf-8") as f:
        f.write("%d %.6f\n" % (returns[0], changed_at[0]) + text.get("1.0", "end-1c"))
    import os
    os.replace(out + ".tmp", out)
    root.after(50, dump)
text.bind("<Return>", on_return, add="+")
text.bind("<<Modified>>", on_modified, add="+")
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
        """(Returns pressed, monotonic time of the last change, text)."""
        try:
            with open(self.out, encoding="utf-8") as f:
                head, _, text = f.read().partition("\n")
            returns, changed_at = head.split()
            return int(returns), float(changed_at), text
        except (OSError, ValueError):
            return 0, 0.0, ""

    def text(self):
        return self.state()[2]

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=5)
        shutil.rmtree(self.dir, ignore_errors=True)


class GtkTextTarget(TextTarget):
    """A GTK 3 text view in another process, published on the accessibility bus.

    Mode "refuse" stops every paste, as applications that block pasting do;
    "password" is a password entry instead of a text view."""

    SCRIPT = r"""
import os, sys, time, gi
gi.require_version("Gtk", "3.0")
from gi.repository import GLib
GLib.set_prgname("quillo-gtk-target")  # the window class, set before GTK starts
from gi.repository import Gtk
out, title, mode = sys.argv[1], sys.argv[2], sys.argv[3]
window = Gtk.Window(title=title)
window.set_default_size(600, 300)
window.move(40, 60)
view = Gtk.Entry(visibility=False) if mode == "password" else Gtk.TextView()
window.add(view)
changed_at = [0.0]
if mode == "refuse":
    view.connect("paste-clipboard", lambda v: v.stop_emission_by_name("paste-clipboard"))
buffer = view.get_buffer()
buffer.connect("inserted-text" if mode == "password" else "changed",
               lambda *args: changed_at.__setitem__(0, time.monotonic()))
def dump():
    text = buffer.get_text() if mode == "password" else buffer.get_text(buffer.get_start_iter(),
                                                                         buffer.get_end_iter(), True)
    with open(out + ".tmp", "w", encoding="utf-8") as f:
        f.write("0 %.6f\n" % changed_at[0] + text)
    os.replace(out + ".tmp", out)
    return True
GLib.timeout_add(50, dump)
window.connect("destroy", Gtk.main_quit)
window.show_all()
view.grab_focus()
Gtk.main()
"""

    def __init__(self, title="Quillo GTK target", mode="accept"):
        self.title = title
        self.dir = tempfile.mkdtemp(prefix="quillo-gtk-")
        self.out = os.path.join(self.dir, "state")
        # GTK's Python bindings belong to the system's interpreter.
        env = dict(os.environ, GTK_MODULES="gail:atk-bridge")
        self.process = subprocess.Popen(["/usr/bin/python3", "-c", self.SCRIPT, self.out, title, mode], env=env)
        wait_until(lambda: os.path.exists(self.out), what="the GTK text view")
        self.focus()

    def focus(self):
        window = wait_until(lambda: run("xdotool", "search", "--name", f"^{self.title}$", check=False).stdout.split(),
                            what="the GTK window")[0]
        run("xdotool", "windowactivate", "--sync", window, check=False)
        wait_until(lambda: run("xdotool", "getactivewindow", check=False).stdout.strip() == window,
                   what="focus on the GTK window")
        self.window = window


class FakeServices:
    """The loopback fake of both speech services, HTTP and the live WebSocket on one port."""

    OPENAI_KEY, DEEPGRAM_KEY = "sk-test", "dg-test"

    def __init__(self, *extra, transcript="Go forward ten meters."):
        """transcript=None leaves the upload's answer to the fixture."""
        self.dir = tempfile.mkdtemp(prefix="quillo-fake-")
        self.port_file = os.path.join(self.dir, "port")
        self.log = os.path.join(self.dir, "requests.log")
        if transcript is not None:
            extra = ("--deepgram-transcript", transcript, *extra)
        self.process = subprocess.Popen(
            [sys.executable, FAKE_SERVICES, "--port-file", self.port_file, "--log", self.log,
             "--openai-key", self.OPENAI_KEY, "--deepgram-key", self.DEEPGRAM_KEY, *extra],
            stdout=subprocess.DEVNULL)
        port = wait_until(self.read_port, what="the fake services")
        self.base = f"http://127.0.0.1:{port}/v1"
        self.stream_url = f"ws://127.0.0.1:{port}/v1/listen"

    def read_port(self):
        try:
            with open(self.port_file) as f:
                return f.read().strip()
        except OSError:
            return None

    def requests(self, endpoint=None):
        """Every request so far (a live stream is logged when it ends)."""
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            found = [json.loads(line) for line in f if line.strip()]
        return [r for r in found if endpoint is None or r["endpoint"] == endpoint]

    def env(self):
        # The live endpoint too, so no test ever reaches the real service.
        return {"OPENAI_API_KEY": "sk-test", "DEEPGRAM_API_KEY": "dg-test",
                "QUILLO_OPENAI_BASE_URL": self.base, "QUILLO_DEEPGRAM_BASE_URL": self.base,
                "QUILLO_DEEPGRAM_STREAM_URL": self.stream_url}

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=5)
        shutil.rmtree(self.dir, ignore_errors=True)


def speak_while(press, release, path=SPEECH):
    """Presses, plays the whole recording into the test microphone, releases.

    Returns the monotonic times of the press and the release."""
    press()
    pressed_at = time.monotonic()
    time.sleep(0.3)
    player = play_speech(path)
    player.wait(timeout=20)
    time.sleep(0.3)
    release()
    return pressed_at, time.monotonic()


def recording_streams():
    """Capture streams that clients hold open on the test audio server (a recording holds one).

    The test microphones' own streams belong to modules, not clients."""
    lines = run("pactl", "list", "short", "source-outputs").stdout.splitlines()
    return [line for line in lines if line.split("\t")[2] != "-"]


def tray_icon():
    """Window id of Quillo's icon inside the tray host."""
    def find():
        for panel in run("xdotool", "search", "--class", "trayer", check=False).stdout.split():
            tree = run("xwininfo", "-tree", "-id", panel, check=False).stdout
            for line in tree.splitlines():
                fields = line.split()
                if len(fields) > 1 and fields[1] == '"Quillo":':
                    return fields[0]
        return None
    return wait_until(find, timeout=15, what="the tray icon")


def tray_icon_pixels(icon):
    return subprocess.run(["import", "-silent", "-window", icon, "rgb:-"], capture_output=True, check=True).stdout


def choose_from_tray_menu(steps_down):
    """Clicks the tray icon and picks the menu entry that many steps down.

    The keyboard picks the entry: the menu's geometry depends on the style and
    fonts, while the order of its entries does not. Disabled entries and
    separators are skipped by the arrow key, as for a user."""
    icon = tray_icon()
    visible = lambda: set(run("xdotool", "search", "--onlyvisible", "--class", "quillo", check=False).stdout.split())
    before = visible()
    run("xdotool", "mousemove", "--window", icon, "10", "12", "click", "1")
    menu = wait_until(lambda: visible() - before, timeout=10, what="the tray menu to open")
    for _ in range(steps_down):
        run("xdotool", "key", "Down")
    run("xdotool", "key", "Return")
    wait_until(lambda: not (visible() & menu), timeout=10, what="the tray menu to close")


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
        # The log is kept across restarts: wait for this run's own line.
        started = self.log().count("Fn tap created") if os.path.exists(self.log_path) else 0
        self.process = subprocess.Popen([BINARY], env=self.env, stdout=self.log_file, stderr=subprocess.STDOUT)
        if wait_for_ready:
            wait_until(lambda: self.log().count("Fn tap created") > started, timeout=15, what="quillo to start")
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
