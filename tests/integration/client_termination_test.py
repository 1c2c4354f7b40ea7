#!/usr/bin/env python3
"""SIGTERM at every phase of the real client's start-up, from its first
instant to well after its window shows: each time it ends with exit code 0
within 2 s of the signal, leaves no process of its session behind and dumps
no core. Only a signal that lands before the client's handler exists (while
the system still loads its libraries, well under a second) may end it by the
default action.
Run it in a network namespace of its own, with a display and a sound server.
Usage: client_termination_test.py <marvok executable> <resources folder>"""
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

DELAYS = [0, 0.02, 0.05, 0.1, 0.2, 0.4, 0.7, 1, 1.5, 2, 3]
EXIT_LIMIT = 2.0
HANDLER_BY = 1.0

if not os.environ.get("DISPLAY") or subprocess.run(["pactl", "info"], capture_output=True).returncode != 0:
    print("needs an X display and a sound server")
    sys.exit(77)
client_path, resources = os.path.abspath(sys.argv[1]), sys.argv[2]


def catches_sigterm(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            caught = next(line for line in status if line.startswith("SigCgt:")).split()[1]
        return bool(int(caught, 16) & (1 << (signal.SIGTERM - 1)))
    except (OSError, StopIteration):
        return False


def session_members(session):
    members = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()  # state, parent, group, session, ...
        except OSError:
            continue
        if int(fields[3]) == session:
            members.append(int(entry))
    return members


def allow_core():
    resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))


work = tempfile.mkdtemp()
runtime = os.path.join(work, "runtime")
os.mkdir(runtime, 0o700)
folder = shutil.copytree(resources, os.path.join(work, "resources"))
failures = []
try:
    for delay in DELAYS:
        client = subprocess.Popen([client_path], cwd=folder, env={**os.environ, "XDG_RUNTIME_DIR": runtime},
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True,
                                  preexec_fn=allow_core)
        time.sleep(delay)
        if client.poll() is not None:
            failures.append(f"{delay} s: ended with {client.returncode} before the signal")
            continue
        caught = catches_sigterm(client.pid)
        client.send_signal(signal.SIGTERM)
        signalled = time.monotonic()
        try:
            code = client.wait(EXIT_LIMIT)
        except subprocess.TimeoutExpired:
            failures.append(f"{delay} s: still running {EXIT_LIMIT} s after the signal")
            client.kill()
            client.wait()
            continue
        took = time.monotonic() - signalled
        print(f"{delay} s: handler {'in place' if caught else 'not yet there'}, exit code {code} after {took:.2f} s")
        if code != 0 and (caught or code != -signal.SIGTERM):
            failures.append(f"{delay} s: exit code {code}")
        if delay >= HANDLER_BY and not caught:
            failures.append(f"{delay} s: SIGTERM still not handled")
        until = time.monotonic() + 1
        while session_members(client.pid) and time.monotonic() < until:
            time.sleep(0.05)
        if session_members(client.pid):
            failures.append(f"{delay} s: processes left behind: {session_members(client.pid)}")
            for pid in session_members(client.pid):
                os.kill(pid, signal.SIGKILL)
        cores = [name for name in os.listdir(folder) if name.startswith("core")]
        if cores:
            failures.append(f"{delay} s: core dumped: {cores}")
            for name in cores:
                os.remove(os.path.join(folder, name))
finally:
    shutil.rmtree(work, ignore_errors=True)

for failure in failures:
    print("FAIL:", failure)
failed = len({failure.split(":")[0] for failure in failures})
print(f"{len(DELAYS) - failed} passed, {failed} failed")
sys.exit(1 if failures else 0)
