#!/usr/bin/env python3
"""The client's relay datagrams (src/relay/datagrams.h), as far as
relay_on_two_hosts.sh needs what the demo member does not do:

  relay_member.py lists RELAY SECONDS CHANNEL...
      asks for the channels' member lists from a socket of its own until each
      has answered or SECONDS are over; prints "channel C: MEMBER..." for each
      answer.
  relay_member.py member RELAY MEMBER CHANNEL...
      joins the first channel as the client does (hellos, presence, list and
      alive turns) and moves to the next channel at each SIGUSR1; prints
      "notice 240" and exits 0 when the supervisor closes it, 1 after 60 s.
"""
import select
import signal
import socket
import struct
import sys
import time

FIRST_VOICE_PORT = 30000
FIRST_CONTROL_PORT = 31000
HELLO = b"T.WI" + bytes([78, 0, 0, 0, 0])
LIST_REQUEST = b"L\0\0"
ALIVE = b"A\x01\x00"
NOTICE_SUPERVISOR_CLOSES = 240


def member_list(datagram):
    """(channel, [members]) of a member list, or None."""
    if len(datagram) < 3 or datagram[0] != ord("L"):
        return None
    channel, count = struct.unpack_from("<bb", datagram, 1)
    count = max(count, 0)
    if len(datagram) < 3 + 2 * count:
        return None
    return channel, list(struct.unpack_from(f"<{count}H", datagram, 3))


def presence(member, variant):
    head = b"R.\0" + struct.pack("<H", member) + bytes(4) + variant
    if variant == b"V":
        return head + b"078\x02"
    if variant == b"N":
        return head + b"WIN.PSEUDO.WIN.\0"
    return head + b"DEVICE.ID\0"


def open_socket():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("0.0.0.0", 0))
    return s


def ask_lists(relay, seconds, channels):
    s = open_socket()
    waiting = set(channels)
    deadline = time.monotonic() + seconds
    while waiting and time.monotonic() < deadline:
        for channel in waiting:
            s.sendto(LIST_REQUEST, (relay, FIRST_CONTROL_PORT + channel))
        # The relay paces lists: one every 350 ms for each member of the address.
        turn_end = min(deadline, time.monotonic() + 0.4)
        while (left := turn_end - time.monotonic()) > 0 and select.select([s], [], [], left)[0]:
            datagram, sender = s.recvfrom(2048)
            answer = member_list(datagram) if sender[0] == relay else None
            if answer and answer[0] in waiting:
                waiting.discard(answer[0])
                print(f"channel {answer[0]}:", *answer[1], flush=True)
    return 0


def be_member(relay, member, channels):
    voice, control = open_socket(), open_socket()
    voice.sendto(HELLO, (relay, FIRST_VOICE_PORT))
    control.sendto(HELLO + HELLO, (relay, FIRST_VOICE_PORT))
    place = [0]

    def move(*_):
        place[0] = min(place[0] + 1, len(channels) - 1)
        print(f"moved to channel {channels[place[0]]}", flush=True)

    signal.signal(signal.SIGUSR1, move)
    variants = [b"N", b"D", b"V"]
    next_presence = next_turn = time.monotonic()
    list_turn = True
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        channel = channels[place[0]]
        now = time.monotonic()
        if now >= next_presence:
            voice.sendto(presence(member, variants[0]), (relay, FIRST_VOICE_PORT + channel))
            variants.append(variants.pop(0))
            next_presence += 0.02
        if now >= next_turn:
            control.sendto(LIST_REQUEST if list_turn else ALIVE, (relay, FIRST_CONTROL_PORT + channel))
            list_turn = not list_turn
            next_turn += 0.6
        readable = select.select([voice, control], [], [], max(0.0, next_presence - time.monotonic()))[0]
        for s in readable:
            datagram, sender = s.recvfrom(2048)
            # A notice and an alive are alike: 'A', then 0 and the code.
            if s is control and sender[0] == relay and datagram[:2] == b"A\0" and len(datagram) == 3:
                print(f"notice {datagram[2]}", flush=True)
                if datagram[2] == NOTICE_SUPERVISOR_CLOSES:
                    return 0
    print("no notice in 60 s", flush=True)
    return 1


def main(arguments):
    if len(arguments) >= 4 and arguments[0] == "lists":
        return ask_lists(arguments[1], float(arguments[2]), [int(c) for c in arguments[3:]])
    if len(arguments) >= 4 and arguments[0] == "member":
        return be_member(arguments[1], int(arguments[2]), [int(c) for c in arguments[3:]])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
