#!/usr/bin/env python3
"""Drives the client through a soak run and watches what it costs.

Plays the speech companion on 127.0.0.1:5555: every cycle it keys the
client's transmitter for a few seconds ("T", then "R"), and moves the client
to another channel and back with the number keys on the X display. Every
sampling period it records each watched process's resident memory, open file
descriptors and threads into a CSV file. At the end it prints how each grew
and exits non-zero when the client's memory grew by more than the allowed
amount or its descriptors or threads did not stay flat.

    soak_driver.py --seconds N --csv FILE --pids FILE [--sample S] [--cycle S]

The pids file holds NAME=PID lines; it is read at every sample, so it may
be written once the companion is ready and the processes have started.
"""

import argparse
import csv
import os
import random
import select
import socket
import statistics
import subprocess
import sys
import time

TALK_SECONDS = 3.0
# Memory is judged after start-up has settled (caches, fonts, sound buffers).
WARM_UP_SHARE = 0.1
ALLOWED_GROWTH_KB = 1024


def read_process(pid):
    """Resident kB, open descriptors and threads of a process, or None once it has gone."""
    try:
        status = {}
        with open(f"/proc/{pid}/status") as lines:
            for line in lines:
                key, _, value = line.partition(":")
                status[key] = value.split()
        descriptors = len(os.listdir(f"/proc/{pid}/fd"))
        return int(status["VmRSS"][0]), descriptors, int(status["Threads"][0])
    except (OSError, KeyError, ValueError, IndexError):
        return None


def read_pids(path):
    try:
        with open(path) as lines:
            return dict(line.strip().split("=", 1) for line in lines if "=" in line)
    except OSError:
        return {}


def client_window():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "marvok"], capture_output=True, text=True)
    windows = found.stdout.split()
    return windows[0] if windows else None


def press_key(key):
    window = client_window()
    if window is None:
        return False
    subprocess.run(["xdotool", "windowfocus", window], capture_output=True)
    return subprocess.run(["xdotool", "key", key], capture_output=True).returncode == 0


class Companion:
    """The speech companion's socket: reports go to whoever spoke to it last."""

    def __init__(self):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.bind(("127.0.0.1", 5555))
        self.client = None
        self.texts = 0

    def drain(self, timeout):
        ready, _, _ = select.select([self.socket], [], [], timeout)
        while ready:
            _, sender = self.socket.recvfrom(65536)
            self.client = sender
            self.texts += 1
            ready, _, _ = select.select([self.socket], [], [], 0)

    def report(self, letter):
        if self.client is not None:
            self.socket.sendto(letter.encode(), self.client)


def median(samples, column):
    return statistics.median(sample[column] for sample in samples)


def summarise(rows, names, duration):
    """Prints each process's growth; returns False when the client's is not acceptable."""
    healthy = True
    settled_after = duration * WARM_UP_SHARE
    print(f"{'process':<10} {'RSS kB start':>12} {'end':>8} {'growth':>8} {'max':>8}  {'fds':>9}  {'threads':>9}")
    for name in names:
        own = [row for row in rows if row["process"] == name]
        settled = [row for row in own if row["seconds"] >= settled_after]
        if len(settled) < 4:
            print(f"{name:<10} too few samples ({len(own)})")
            healthy = healthy and name != "client"
            continue
        # Medians of the first and last few samples, so one busy moment does not count as growth.
        edge = max(2, len(settled) // 10)
        start, end = settled[:edge], settled[-edge:]
        growth = median(end, "rss_kb") - median(start, "rss_kb")
        fds = (settled[0]["fds"], settled[-1]["fds"])
        threads = (settled[0]["threads"], settled[-1]["threads"])
        print(f"{name:<10} {median(start, 'rss_kb'):>12.0f} {median(end, 'rss_kb'):>8.0f} {growth:>8.0f} "
              f"{max(row['rss_kb'] for row in own):>8}  {fds[0]:>4}→{fds[1]:<4}  {threads[0]:>4}→{threads[1]:<4}")
        if name == "client" and (growth > ALLOWED_GROWTH_KB or fds[1] > fds[0] or threads[1] != threads[0]):
            healthy = False
    return healthy


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, required=True)
    parser.add_argument("--csv", required=True)
    parser.add_argument("--sample", type=float, default=10.0)
    parser.add_argument("--cycle", type=float, default=30.0)
    parser.add_argument("--pids", required=True)
    args = parser.parse_args()

    companion = Companion()
    print("soak: companion ready", flush=True)
    watched = {}
    start = time.monotonic()
    next_sample = start
    next_cycle = start + 10
    talks = channel_moves = 0
    rows = []
    with open(args.csv, "w", newline="") as out:
        writer = csv.writer(out)
        writer.writerow(["seconds", "process", "rss_kb", "fds", "threads"])
        while (now := time.monotonic()) < start + args.seconds:
            if now >= next_sample:
                watched = read_pids(args.pids)
                for name, pid in watched.items():
                    reading = read_process(pid)
                    if reading is None:
                        print(f"soak: {name} (pid {pid}) has ended", flush=True)
                        return 1
                    row = {"seconds": round(now - start, 1), "process": name, "rss_kb": reading[0],
                           "fds": reading[1], "threads": reading[2]}
                    rows.append(row)
                    writer.writerow(row.values())
                out.flush()
                next_sample += args.sample
            if now >= next_cycle:
                # Talk, then visit another channel and come back to the demo member's.
                companion.report("T")
                companion.drain(TALK_SECONDS)
                companion.report("R")
                talks += 1
                companion.drain(2.0)
                if press_key(str(random.randint(1, 9))):
                    companion.drain(3.0)
                    press_key("0")
                    channel_moves += 1
                next_cycle += args.cycle
            companion.drain(min(1.0, max(0.0, min(next_sample, next_cycle) - time.monotonic())))

    print(f"soak: {args.seconds / 60:.1f} min, {talks} talk presses, {channel_moves} channel visits, "
          f"{companion.texts} datagrams from the client")
    return 0 if summarise(rows, list(read_pids(args.pids)), args.seconds) else 1


if __name__ == "__main__":
    sys.exit(main())
