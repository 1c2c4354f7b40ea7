#!/usr/bin/env python3
"""talksrv.exe under Wine on the virtual display, as the client and a member
use it: a UDP peer on loopback sends texts and reads the reports, xdotool
holds the push-to-talk key and the window's button. Wine's speech engine
refuses to speak, which talksrv says once.
Usage: talksrv_exe_scenarios.py <talksrv.exe> <window_probe.exe>"""
import os
import socket
import subprocess
import sys
import threading
import time

talksrv, probe = map(os.path.abspath, sys.argv[1:3])
under_wine = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "under_wine.sh")
TITLE = "Marvok - synth"
REFUSAL = "talksrv: the speech engine refuses to speak"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.split()


class Program:
    """A program under Wine whose output lines are collected as they come."""

    def __init__(self, exe, *args, stream="stderr"):
        pipes = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, stream: subprocess.PIPE}
        self.process = subprocess.Popen([under_wine, exe, *args], text=True, encoding="utf-8", errors="replace",
                                        stdin=subprocess.DEVNULL, **pipes)
        self.lines, self.lock = [], threading.Lock()
        threading.Thread(target=self.read, args=(getattr(self.process, stream),), daemon=True).start()

    def read(self, pipe):
        for line in pipe:
            with self.lock:
                self.lines.append(line.rstrip("\n"))

    def count(self, part):
        with self.lock:
            return sum(part in line for line in self.lines)

    def wait_line(self, part, seconds=15):
        until = time.monotonic() + seconds
        while time.monotonic() < until and not self.count(part):
            time.sleep(0.05)
        return self.count(part) > 0

    def ended(self, seconds=15):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None


class Peer:
    """The client's end: sends requests to 127.0.0.1:5555 and takes the reports."""

    def __init__(self):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.bind(("127.0.0.1", 0))

    def send(self, datagram):
        self.socket.sendto(datagram, ("127.0.0.1", 5555))

    def reports(self, quiet=0.8):
        """What arrived until nothing more came for `quiet` seconds."""
        got = b""
        self.socket.settimeout(quiet)
        try:
            while True:
                got += self.socket.recv(64)
        except socket.timeout:
            return got


def window_named(pattern, seconds=15):
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        found = xdotool("search", "--onlyvisible", "--name", pattern)
        if found:
            return found[0]
        time.sleep(0.1)
    return None


def hold_key(key, window, seconds=1.2):
    """Held past the display's auto-repeat delay, on a focused window."""
    xdotool("windowfocus", "--sync", window)
    time.sleep(0.3)
    xdotool("keydown", key)
    time.sleep(seconds)
    xdotool("keyup", key)


began = time.monotonic()

# Another program on the port: refused, with the reason.
with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
    holder.bind(("127.0.0.1", 5555))
    taken = Program(talksrv)
    check(taken.ended() == 1, "a taken port ends it with 1")
    check(taken.count("talksrv: port 5555 on 127.0.0.1 is taken: is talksrv already running?") == 1,
          "and says the port is taken")
refused = Program(talksrv, "--frobnicate")
check(refused.ended() == 2 and refused.count("talksrv: unknown option --frobnicate") == 1,
      "an unknown option ends it with 2")

server = Program(talksrv)
window = window_named(TITLE)
check(window is not None, "the window \"Marvok - synthèse vocale\" shows")
first, last = Peer(), Peer()
first.send("\x01Bonjour. Le synthétiseur est actif.".encode("cp1252"))
check(server.wait_line(REFUSAL), "a text reaches the speech engine, which refuses it")
last.send("\x01Il n'y a rien de spécial ici".encode("cp1252"))
last.send(b"\x01")
time.sleep(1)
check(server.count(REFUSAL) == 1, f"the refusal is said once for three texts: {server.lines}")

if window:
    hold_key("Pause", window)
    check(last.reports() == b"TR", "the held key is one T and one R, sent to the last sender")
    check(first.reports(0.2) == b"", "nothing goes to an earlier sender")

    # Another Wine window has the focus: the key is swallowed before it.
    keys = Program(probe, stream="stdout")
    check(keys.wait_line("ready"), "the key probe starts")
    probe_window = window_named("talksrv key probe")
    if probe_window:
        hold_key("Pause", probe_window, 0.3)
        xdotool("key", "a")
        check(keys.wait_line("down 0x41", 5), "the probe's window has the focus and gets other keys")
        check(keys.count("0x13") == 0, f"but not the push-to-talk key: {keys.lines}")
        check(last.reports() == b"TR", "which still talks from another window")
    keys.process.kill()
    keys.ended()

    # The button, held with the mouse.
    x, y, width, height = (int(v.split("=")[1]) for v in xdotool("getwindowgeometry", "--shell", window)[1:5])
    xdotool("mousemove", str(x + width // 2), str(y + height - 40))
    xdotool("mousedown", "1")
    time.sleep(0.5)
    check(last.reports(0.5) == b"T", "the button held is T")
    xdotool("mouseup", "1")
    check(last.reports() == b"R", "and let go is R")

last.send(b"\xff")
check(server.ended() == 0, "0xFF ends it with 0")

# Another key, and the window closed with Alt+F4.
other = Program(talksrv, "--key=F12")
window = window_named(TITLE)
if window:
    last.send(b"\x07")  # ignored, but names where to report
    hold_key("F12", window, 0.8)
    check(last.reports() == b"TR", "--key=F12 talks with F12")
    xdotool("windowfocus", "--sync", window)
    xdotool("key", "alt+F4")
check(other.ended() == 0, "closing the window ends it with 0")

# The system's session ends.
ending = Program(talksrv)
if window_named(TITLE):
    told = subprocess.run([under_wine, probe, "end-session"], capture_output=True).returncode
    check(told == 0, "the session's end reaches its window")
check(ending.ended() == 0, "the session's end ends it with 0")

print(f"{len(failures)} failed in {time.monotonic() - began:.1f} s")
sys.exit(1 if failures else 0)
