#!/usr/bin/env python3
"""The real client on the X display, driven as a member drives it: Space held
and released, a channel key, the companion's "T" and "R", Escape. A scripted
relay on the fixed ports and a scripted companion on port 5555 record what the
client sends. Run it in a network namespace of its own.
Usage: client_controls_test.py <marvok executable> <resources folder>"""
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

BLOCK = 0.03125  # one voice block: 250 frames at 8000 per second

if not os.environ.get("DISPLAY") or not shutil.which("xdotool"):
    print("needs an X display and xdotool")
    sys.exit(77)
client_path, resources = os.path.abspath(sys.argv[1]), sys.argv[2]

sockets = {}
for port in [*range(30000, 30011), *range(31000, 31011), 5555]:
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", port))
    sockets[s.fileno()] = (s, port)
companion_socket = next(s for s, port in sockets.values() if port == 5555)

runtime = tempfile.mkdtemp()
os.chmod(runtime, 0o700)
client = subprocess.Popen([client_path], cwd=resources, env={**os.environ, "XDG_RUNTIME_DIR": runtime},
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
start = time.monotonic()
voice, presence, to_companion = [], [], []
companion_address = None


def now():
    return time.monotonic() - start


def listen(seconds):
    global companion_address
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        ready, _, _ = select.select(list(sockets), [], [], 0.01)
        for fd in ready:
            s, port = sockets[fd]
            data, sender = s.recvfrom(4096)
            if port == 5555:
                companion_address = sender
                to_companion.append(data)
            elif data[:2] == b"R.":
                presence.append((now(), port))
            elif len(data) == 1024 and data[:1] == b"A":
                voice.append((now(), port))


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, capture_output=True)


def sent(since, until):
    return [(t, port) for t, port in voice if since <= t < until]


failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)


try:
    listen(4)
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "marvok"], capture_output=True,
                            text=True).stdout.split()
    check(window, "the window is shown")
    xdotool("windowfocus", window[0])
    listen(0.3)

    pressed = now()
    xdotool("keydown", "space")
    listen(3.0)  # about 96 blocks; a busy machine may start the recording late
    xdotool("keyup", "space")
    released = now()  # once the display has the release: starting xdotool takes a while on a busy machine
    listen(0.5)
    held = sent(pressed, now())
    check(len(held) >= 50 and {port for _, port in held} == {30000}, f"speech while Space is held: {len(held)} blocks")
    check(held and held[-1][0] < released + BLOCK,
          f"sending stops within a block of the release: {held[-1][0] - released if held else None:.3f} s")

    key3 = now()
    xdotool("key", "3")
    listen(1.0)
    check({port for t, port in presence if t > key3 + 0.1} == {30003}, "the 3 key moves the presence to port 30003")
    check(not sent(key3, now()), "nothing is sent once Space is up")

    check(companion_address is not None and to_companion[0][:1] == b"\x01", "the companion is greeted")
    companion_socket.sendto(b"T", companion_address)
    keyed = now()
    listen(1.0)
    companion_socket.sendto(b"R", companion_address)
    unkeyed = now()
    listen(0.5)
    by_companion = sent(keyed, now())
    check(len(by_companion) >= 20 and {port for _, port in by_companion} == {30003},
          f"the companion's T keys the transmitter on channel 3: {len(by_companion)} blocks")
    check(by_companion and by_companion[-1][0] < unkeyed + BLOCK, "its R unkeys it")

    xdotool("key", "Escape")
    listen(1.0)
    check(client.wait(10) == 0, "Escape closes the client with exit code 0")
    check(to_companion[-1] == b"\xff", "the companion is told to quit")
finally:
    if client.poll() is None:
        client.kill()
    shutil.rmtree(runtime, ignore_errors=True)

for failure in failures:
    print("FAIL:", failure)
print(f"{checks - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
