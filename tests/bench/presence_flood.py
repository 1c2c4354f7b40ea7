#!/usr/bin/env python3
"""Floods a relay with presence datagrams, each from a new source port, as a
misbehaving client or a spoofing sender would, to see what the relay logs.

    presence_flood.py [--address 127.0.0.1] [--seconds 60] [--rate 2000]

Send only to a relay on this machine's loopback (run both in a network
namespace of their own, see tests/support/in_private_network.sh).
"""
import argparse
import random
import socket
import struct
import time

NAME_TAIL = b"N" + b"WIN.PSEUDO.WIN.\x00"


def presence(member: int) -> bytes:
    return b"R.\x00" + struct.pack("<H", member) + b"\x00" * 4 + NAME_TAIL


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--rate", type=int, default=2000, help="new source ports a second")
    options = parser.parse_args()

    start = time.monotonic()
    end = start + options.seconds
    sent = 0
    while True:
        now = time.monotonic()
        if now >= end:
            break
        due = int((now - start) * options.rate)
        if sent >= due:
            time.sleep(0.001)
            continue
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
            channel = random.randrange(11)
            sender.sendto(presence(random.randrange(1, 65535)), (options.address, 30000 + channel))
        sent += 1
    print(f"sent {sent} presence datagrams from {sent} source ports in {options.seconds:.0f} s")


if __name__ == "__main__":
    main()
