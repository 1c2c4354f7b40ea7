#!/usr/bin/env python3
"""Plays the push-to-talk accessory on a pseudo-terminal.

Usage: accessory_stand_in.py FOLDER LINK
Makes LINK (a COM port of a Wine prefix) point at the terminal, prints
"ready", then serves until stdin closes. While FOLDER/pressed exists, every
byte received is sent back, as the accessory does while its button is held;
otherwise the bytes are swallowed. While FOLDER/unplug exists the terminal is
gone, as a pulled adapter is; a new one is plugged in when the file goes.
After each byte received, FOLDER/line holds the line settings the port was
given: "<speed> <data bits> <parity> <stop bits>".
"""
import os
import select
import sys
import termios
import tty

SPEEDS = {getattr(termios, f"B{rate}"): rate for rate in (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200)}
SIZES = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}


def describe(line):
    cflag = line[2]
    parity = "none"
    if cflag & termios.PARENB:
        parity = "odd" if cflag & termios.PARODD else "even"
    stop = 2 if cflag & termios.CSTOPB else 1
    return f"{SPEEDS.get(line[5], line[5])} {SIZES[cflag & termios.CSIZE]} {parity} {stop}"


def plug(link):
    near, far = os.openpty()
    # An adapter answers nothing by itself: no echo, no line editing. Its
    # line starts at settings the client must change.
    tty.setraw(far)
    line = termios.tcgetattr(far)
    line[2] = (line[2] & ~termios.CSIZE) | termios.CS7 | termios.PARENB | termios.CSTOPB
    line[4] = line[5] = termios.B38400
    termios.tcsetattr(far, termios.TCSANOW, line)
    # One left by a run that was killed would stop the link being made.
    if os.path.lexists(link + ".new"):
        os.unlink(link + ".new")
    os.symlink(os.ttyname(far), link + ".new")
    os.replace(link + ".new", link)
    # The far end stays open here too, so the near end works while no port is open.
    return near, far


def main():
    folder, link = sys.argv[1], sys.argv[2]
    unplugged = os.path.join(folder, "unplug")
    near, far = plug(link)
    print("ready", flush=True)
    while True:
        if near is not None and os.path.exists(unplugged):
            # Pulled out: the port's side hangs up.
            os.close(near)
            os.close(far)
            near = far = None
        elif near is None and not os.path.exists(unplugged):
            near, far = plug(link)
        ready, _, _ = select.select([sys.stdin] + ([near] if near is not None else []), [], [], 0.01)
        if sys.stdin in ready and not sys.stdin.readline():
            break
        if near is None or near not in ready:
            continue
        try:
            received = os.read(near, 256)
        except OSError:
            continue
        with open(os.path.join(folder, "line.new"), "w") as status:
            status.write(describe(termios.tcgetattr(far)) + "\n")
        os.replace(os.path.join(folder, "line.new"), os.path.join(folder, "line"))
        if os.path.exists(os.path.join(folder, "pressed")):
            os.write(near, received)


if __name__ == "__main__":
    main()
