#!/usr/bin/env python3
"""marvok.exe under Wine as a member uses it, against the real relay and web
service that marvok_exe_on_wine.sh started on 127.0.0.1, with a real demo
member, a scripted companion on port 5555 and every datagram on loopback
watched. One Wine prefix for every start of the client.
Usage: marvok_exe_scenarios.py <marvok.exe> <marvok-short-countdown.exe> <Linux build folder> <work folder>"""
import os
import shutil
import socket
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tool_window_scenarios import ToolWindows  # noqa: E402

BLOCK = 0.03125  # one voice block: 250 frames at 8000 per second
WINDOW = (685, 175, 550, 730)  # centred on the 1920 × 1080 display
client_exe, short_exe, linux, work = map(os.path.abspath, sys.argv[1:5])
here = os.path.dirname(os.path.abspath(__file__))
root = os.path.abspath(os.path.join(here, "..", "..", ".."))
under_wine = os.path.join(root, "tests", "support", "under_wine.sh")
resources = os.path.join(linux, "resources")
references = os.path.join(root, "tests", "screen", "pictures")
start = time.monotonic()
failures, checks = [], 0


def now():
    return time.monotonic() - start


def check(condition, what):
    global checks
    checks += 1
    print(("ok    " if condition else "FAIL: ") + what, flush=True)
    if not condition:
        failures.append(what)


class Loopback:
    """Every UDP datagram delivered on loopback: (time, source port, destination port, payload)."""

    def __init__(self):
        self.seen, self.lock = [], threading.Lock()
        self.socket = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.ntohs(0x0800))
        self.socket.bind(("lo", 0))
        threading.Thread(target=self.run, daemon=True).start()

    def run(self):
        while True:
            frame, address = self.socket.recvfrom(65535)
            if address[2] != socket.PACKET_HOST:  # each datagram also passes as outgoing
                continue
            ip = frame[14:]
            if len(ip) < 28 or ip[9] != 17:
                continue
            header = (ip[0] & 0x0F) * 4
            source, destination = struct.unpack("!HH", ip[header:header + 4])
            with self.lock:
                self.seen.append((now(), source, destination, ip[header + 8:]))

    def between(self, since, until=None):
        with self.lock:
            return [d for d in self.seen if d[0] >= since and (until is None or d[0] < until)]


def voice_to_relay(datagrams, client_ports):
    return [(t, d) for t, s, d, data in datagrams if 30000 <= d <= 30010 and s in client_ports and len(data) == 1024]


def presence_to_relay(datagrams, client_ports):
    return [(t, d) for t, s, d, data in datagrams if 30000 <= d <= 30010 and s in client_ports and data[:2] == b"R."]


def to_companion(datagrams):
    return [data for _, _, d, data in datagrams if d == 5555]


def xdotool(*args, check_result=True):
    return subprocess.run(["xdotool", *args], check=check_result, capture_output=True, text=True).stdout.split()


def window_named(pattern, seconds=20):
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        found = xdotool("search", "--name", pattern, check_result=False)
        if found:
            return found[0]
        time.sleep(0.2)
    return None


def geometry(window):
    values = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window))
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def rgb_pixels(picture, crop=None):
    """The picture as rows of (r, g, b), read through ImageMagick."""
    size = subprocess.run(["identify", "-format", "%w %h", picture], check=True, capture_output=True, text=True)
    width, height = map(int, size.stdout.split())
    raw = subprocess.run(["convert", picture, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    assert len(raw) == width * height * 3, f"{picture}: {len(raw)} bytes for {width} × {height}"
    left, top = crop[:2] if crop else (0, 0)
    return lambda x, y: tuple(raw[((top + y) * width + left + x) * 3:((top + y) * width + left + x) * 3 + 3])


def sound_figures(wave):
    """What sox's stat says of a recording, by name."""
    lines = subprocess.run(["sox", wave, "-n", "stat"], capture_output=True, text=True).stderr.splitlines()
    figures = {}
    for line in lines:
        name, _, value = line.partition(":")
        try:
            figures[" ".join(name.split())] = float(value)
        except ValueError:
            pass
    return figures


# Kept beside the program for a look after the run.
shots = os.path.join(os.path.dirname(client_exe), "marvok-exe-screenshots")
os.makedirs(shots, exist_ok=True)


def screenshot(name):
    path = os.path.join(shots, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True, capture_output=True)
    return path


class Client:
    def __init__(self, exe=client_exe, folder=resources):
        self.process = subprocess.Popen([under_wine, exe], cwd=folder, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def ended(self, seconds):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def answer_box(pattern, seconds=20):
    """Answers the box and waits until it has gone: Wine takes a while to take
    a window off the display, and keys typed meanwhile would go to it. A key
    that reached the box before it could take it is pressed again."""
    box = window_named(pattern, seconds)
    if box:
        for _ in range(3):
            xdotool("windowfocus", "--sync", box, check_result=False)
            xdotool("key", "--window", box, "Return", check_result=False)
            until = time.monotonic() + 4
            while box in xdotool("search", "--onlyvisible", "--name", pattern, check_result=False):
                if time.monotonic() > until:
                    break
                time.sleep(0.1)
            else:
                break
    return box is not None


def client_ports_since(loopback, since):
    """The client's sockets: those that sent presence to the relay, the demo member's left out."""
    return {s for t, s, d, data in loopback.between(since) if 30000 <= d <= 30010 and data[:2] == b"R."} - demo_ports


companion = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
companion.bind(("127.0.0.1", 5555))
loopback = Loopback()
demo_ports = set()
web = os.path.join(linux, "servers", "web", "marvok-web")
tone = os.path.join(work, "demo-tone.wav")
subprocess.run(["sox", "-n", "-r", "8000", "-c", "1", "-b", "16", tone, "synth", "2", "sine", "600", "vol", "0.5"],
               check=True)

# The demo member speaks a 600 Hz tone twice; the client hears it and shows who speaks.
demo_started = now()
demo = subprocess.Popen([os.path.join(linux, "servers", "demo", "marvok-demo"), "--ca-file",
                         os.path.join(work, "web", "ca.pem"), "--sound", tone, "--pause", "4", "--count", "3"],
                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
time.sleep(1)
demo_ports = {s for t, s, d, data in loopback.between(demo_started) if 30000 <= d <= 30010}

client = Client()
try:
    main = window_named("^MARVOK$", 40)
    check(main is not None, "one window named MARVOK")
    if main:
        x, y, width, height = geometry(main)
        check((x, y, width, height) == WINDOW, f"the window at (685, 175), 550 × 730: {(x, y, width, height)}")
        reference = rgb_pixels(os.path.join(references, "main-window-after-startup.png"))
        named = {"frame": (4, 200), "cross": (525, 25), "params button": (55, 250), "panel": (200, 400),
                 "channel panel": (100, 88), "text box": (10, 690), "documentation icon": (480, 560)}

        def near(got, want):
            return max(abs(a - b) for a, b in zip(got, want)) <= 24

        # The panels are drawn at their first ticks, a moment after the window shows.
        until = time.monotonic() + 15
        while True:
            shot = rgb_pixels(screenshot("after-start-up"), WINDOW)
            if all(near(shot(*p), reference(*p)) for p in named.values()) or time.monotonic() > until:
                break
            time.sleep(0.5)
        # The corners are cut by the window's region: the display shows there.
        check(shot(1, 1) == shot(-3, -3) and shot(548, 728) == shot(552, 732) and shot(1, 1) != shot(4, 200),
              "the corners are cut")
        for name, (px, py) in named.items():
            got, want = shot(px, py), reference(px, py)
            check(near(got, want), f"{name} at ({px}, {py}): {got} against {want}")
        # Each light shows one of the lights' colours, whichever the network's state gives it.
        lights = [(318, 228), (348, 228), (378, 228), (318, 278), (378, 278), (428, 278)]
        coloured = rgb_pixels(os.path.join(references, "main-window-light-colours.png"))
        palette = [coloured(*light) for light in lights]
        for light in lights:
            check(any(near(shot(*light), colour) for colour in palette), f"the light at {light}: {shot(*light)}")

    # Heard on the speaker and shown: the demo member's tone, picture and card.
    heard = os.path.join(work, "heard.wav")
    recorder = subprocess.Popen(["parecord", "-d", "spk.monitor", "--rate=8000", "--channels=1", "--format=s16le",
                                 "--file-format=wav", heard])
    time.sleep(7)
    speaking_shot = rgb_pixels(screenshot("demo-speaking"), WINDOW)
    time.sleep(1)
    recorder.terminate()
    recorder.wait()
    stat = sound_figures(heard)
    rms, frequency = stat.get("RMS amplitude", 0.0), stat.get("Rough frequency", 0.0)
    check(rms > 0.02, f"the demo member is heard on the speaker (RMS {rms:.3f})")
    check(abs(frequency - 600) < 60, f"as its 600 Hz tone ({frequency:.0f} Hz)")
    picture = {speaking_shot(10 + dx, 340 + dy) for dx in range(0, 100, 7) for dy in range(0, 100, 7)}
    check(len(picture) > 3, f"its picture at (10, 340): {len(picture)} colours")
    demo.wait(30)
    demo_out = demo.stdout.read()
    check("speaking" in demo_out, "the demo member spoke")

    # Space held 2 s: speech at the relay until the release.
    xdotool("windowfocus", "--sync", main)
    time.sleep(0.5)
    ports = client_ports_since(loopback, 0)
    check(bool(ports), f"the client's sockets are known: {sorted(ports)}")
    pressed = now()
    xdotool("keydown", "space")
    time.sleep(2.0)
    xdotool("keyup", "space")
    released = now()
    time.sleep(0.5)
    held = voice_to_relay(loopback.between(pressed), ports)
    check(50 <= len(held) <= 80 and {d for _, d in held} == {30000},
          f"about 2 s of 1024-byte voice datagrams to port 30000: {len(held)}")
    check(held and held[-1][0] < released + BLOCK, "the last one within a block of the release")

    # A key that raises a box while Space is held stops the sending.
    xdotool("keydown", "space")
    time.sleep(1.0)
    xdotool("key", "a")
    boxed = now()
    box = window_named("^Info Clavier$", 10)
    check(box is not None, "another key raises \"Info Clavier\"")
    time.sleep(1.0)
    xdotool("keyup", "space")
    late = voice_to_relay(loopback.between(boxed + 0.3), ports)
    check(not late, f"the box stops the sending: {len(late)} blocks after it")
    if box:
        answer_box("^Info Clavier$")
    time.sleep(0.5)

    # Channels: the main row's 3, and the pad's plus for channel 10.
    for key, port in (("3", 30003), ("KP_Add", 30010)):
        xdotool("windowfocus", "--sync", main)
        pressed = now()
        xdotool("key", key)
        time.sleep(1.5)
        # A presence on its way as the key goes down is the old channel's.
        moved = {d for t, d in presence_to_relay(loopback.between(pressed + 0.5), ports)}
        check(moved == {port}, f"{key} moves the presence to {port}: {sorted(moved)}")

    xdotool("windowfocus", "--sync", main)
    xdotool("key", "F1")
    check(answer_box("propos de Marvok$"), "F1 shows the about box")

    # On channel 10 now: each tool window opens, shows and closes from its click.
    ToolWindows(sys.modules[__name__], main, work).run()

    # Right clicks speak their texts to the companion; the drag band says nothing.
    for (px, py), text in (((20, 690), "Il n'y a rien de spécial ici"), ((275, 50), None)):
        shown = xdotool("search", "--onlyvisible", "--name", "")
        clicked = now()
        xdotool("mousemove", str(WINDOW[0] + px), str(WINDOW[1] + py), "click", "3")
        time.sleep(0.7)
        said = [d for d in to_companion(loopback.between(clicked)) if d[:1] == b"\x01"]
        if text:
            check(said == [b"\x01" + text.encode("cp1252")], f"a right click at ({px}, {py}) says {text!r}: {said}")
        else:
            opened = set(xdotool("search", "--onlyvisible", "--name", "")) - set(shown)
            check(not said and not opened,
                  f"a right click on the drag band says nothing and opens no menu: {said}, {len(opened)} windows")

    # A second client is refused with its box and exit code 1.
    second = Client()
    check(answer_box("^Marvok System$"), "a second client shows \"Marvok System\"")
    check(second.ended(20) == 1, "and ends with exit code 1")
    second.kill()

    ending = now()
    xdotool("windowfocus", "--sync", main)
    xdotool("key", "Escape")
    check(client.ended(15) == 0, "Escape ends the client with exit code 0")
    time.sleep(0.3)
    check(to_companion(loopback.between(ending))[-1:] == [b"\xff"], "with the goodbye to the companion")
finally:
    client.kill()
    if demo.poll() is None:
        demo.kill()


def closes_with(what, action):
    run = Client()
    try:
        window = window_named("^MARVOK$", 40)
        time.sleep(2)
        since = now()
        action(window)
        check(run.ended(15) == 0, f"{what} ends the client with exit code 0")
        time.sleep(0.3)
        check(to_companion(loopback.between(since))[-1:] == [b"\xff"], f"{what}: the goodbye to the companion")
    finally:
        run.kill()


closes_with("the cross", lambda w: xdotool("mousemove", str(WINDOW[0] + 525), str(WINDOW[1] + 25), "click", "1"))
closes_with("Alt+F4", lambda w: (xdotool("windowfocus", "--sync", w), xdotool("key", "alt+F4")))
log_off = os.path.join(os.path.dirname(client_exe), "end_session_probe.exe")
closes_with("the session's end", lambda w: check(subprocess.run([under_wine, log_off]).returncode == 0,
                                                 "the main window answers the session's end"))

# A missing picture: its box, then the client ends.
missing = os.path.join(work, "missing-picture")
shutil.copytree(resources, missing)
os.remove(os.path.join(missing, "btn-param.bmp"))
run = Client(folder=missing)
try:
    check(answer_box("manque", 40), "a missing picture shows its box")
    code = run.ended(20)
    check(code == 0, f"then the client ends: exit code {code}")
finally:
    run.kill()

# The short count: the supervisor's notice closes itself after 10 s and the client with it.
run = Client(exe=short_exe)
try:
    notice = window_named("^Info du Superviseur$", 40)
    shown = time.monotonic()
    check(notice is not None, "the supervisor's notice shows")
    while notice and time.monotonic() - shown < 20 and window_named("^Info du Superviseur$", 0.1):
        time.sleep(0.1)
    lasted = time.monotonic() - shown
    check(9 <= lasted <= 13, f"it closes itself after 10 s: {lasted:.1f} s")
    code = run.ended(15)
    check(code == 0, f"and the client with it: exit code {code}")
finally:
    run.kill()

print(f"{checks - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
