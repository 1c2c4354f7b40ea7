#!/usr/bin/env python3
"""Ports of 127.0.0.1 for a client's failure cases, held until killed.

Prints three port numbers on one line: a port that accepts connections and
never says anything (not even its half of the TLS handshake), a port held but
not listened on (connections are refused), and a TLS port, under the given
certificate, that reads whole requests and never answers them, but for a GET
of /cut, whose answer stops after its first 100,000 body bytes.
Usage: quiet_tls_ports.py CERTIFICATE KEY
"""
import socket
import ssl
import sys
import threading

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])


def bound(listening):
    held = socket.socket()
    held.bind(("127.0.0.1", 0))
    if listening:
        held.listen(64)
    return held


silent, refusing, holding = bound(True), bound(False), bound(True)


def hold(connection):
    try:
        with context.wrap_socket(connection, server_side=True) as tls:
            request = tls.recv(1 << 16)
            if request.startswith(b"GET /cut "):
                tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + bytes(100000))
            while request:
                request = tls.recv(1 << 16)
    except (OSError, ssl.SSLError):
        pass


print(*(held.getsockname()[1] for held in (silent, refusing, holding)), flush=True)
while True:
    accepted, _ = holding.accept()
    threading.Thread(target=hold, args=(accepted,), daemon=True).start()
