#!/usr/bin/env python3
"""The real talksrv on its fixed port: bad options are refused; without
display and sound server it says so and still serves; a second one is
refused; quit and SIGTERM end it with 0; with the test sound server its
speech is heard on the speaker.
Run it in a network namespace of its own.
Usage: talksrv_process_test.py <talksrv executable>"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

talksrv = sys.argv[1]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def start(**env):
    base = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    return subprocess.Popen([talksrv], env={**base, **env}, stderr=subprocess.PIPE, text=True)


def send(datagram):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(datagram, ("127.0.0.1", 5555))


def wait_line(process, pattern):
    """The first stderr line matching, or None when the process ends first."""
    for line in process.stderr:
        if re.search(pattern, line):
            return line
    return None


def ended(process, within=5):
    try:
        return process.wait(within)
    except subprocess.TimeoutExpired:
        process.kill()
        return None


# Options are read before the port is taken.
refused = subprocess.run([talksrv, "--frobnicate"], capture_output=True, text=True, timeout=5)
check(refused.returncode == 2 and refused.stderr.startswith("talksrv: unknown option --frobnicate\n\nusage: talksrv"),
      "an unknown option exits with 2 and the usage")
helped = subprocess.run([talksrv, "--help"], capture_output=True, text=True, timeout=5)
check(helped.returncode == 0 and "--key KEYSYM" in helped.stdout, "--help prints the usage and exits with 0")

# Nothing to show on and nothing to play on: it says both and still serves.
silent = start(PULSE_SERVER="unix:/nonexistent/native")
check(wait_line(silent, "^talksrv: no display: the push-to-talk key and window are off; texts are still spoken$")
      is not None, "the missing display is said")
send(b"\x01Bonjour l\x92\xe9t\xe9")
check(wait_line(silent, "^talksrv: no sound server") is not None, "the missing sound server is said")
second = start()
check(ended(second) == 1, "a second talksrv exits with 1")
check("port 5555 on 127.0.0.1 is taken" in second.stderr.read(), "and says the port is taken")
send(b"\x01")
send(b"\xff")
check(ended(silent) == 0, "quit ends it with 0")

terminated = start(PULSE_SERVER="unix:/nonexistent/native")
wait_line(terminated, "no display")
terminated.send_signal(signal.SIGTERM)
check(ended(terminated) == 0, "SIGTERM ends it with 0")

# Heard on the test sound server's speaker.
if os.environ.get("PULSE_SERVER") and shutil.which("parecord") and shutil.which("sox") \
        and subprocess.run(["pactl", "info"], capture_output=True).returncode == 0:
    speaking = start()
    wait_line(speaking, "no display")
    with tempfile.TemporaryDirectory() as work:
        recording = os.path.join(work, "spk.wav")
        recorder = subprocess.Popen(["parecord", "-d", "spk.monitor", "--latency-msec=20", "--rate=22050",
                                     "--channels=1", "--format=s16le", "--file-format=wav", recording])
        time.sleep(0.5)
        send("\x01Bonjour. Le synthétiseur est actif.".encode("cp1252"))
        time.sleep(3)
        recorder.send_signal(signal.SIGINT)
        recorder.wait(5)
        stat = subprocess.run(["sox", recording, "-n", "stat"], capture_output=True, text=True).stderr
        rms = float(re.search(r"RMS\s+amplitude:\s+([0-9.]+)", stat).group(1))
        print(f"speech RMS amplitude on the speaker: {rms:.4f}")
        check(rms > 0.01, "the text is heard on the speaker")
    send(b"\xff")
    check(ended(speaking) == 0, "quit after speaking ends it with 0")
else:
    print("skip the recording: no test sound server")

sys.exit(1 if failures else 0)
