#!/usr/bin/env python3
"""A version-check service over TLS on 127.0.0.1 for tests: says what each client did.

usage: tls_service.py CERT KEY PORT_FILE LOG_FILE
Writes the chosen port to PORT_FILE once it listens. Each connection adds one line to LOG_FILE:
  "tls refused: REASON"  the client began a TLS handshake and gave it up (it did not trust the certificate)
  "not tls"              the first bytes were no TLS handshake (plain HTTP to an https port)
  "POST /admin/appios"   a request arrived over TLS; it is answered with "nothing offered"
"""
import socket
import ssl
import sys

cert, key, port_file, log_file = sys.argv[1:5]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)


def log(line):
    with open(log_file, "a") as f:
        f.write(line + "\n")


listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(8)
with open(port_file + ".tmp", "w") as f:
    f.write(str(listener.getsockname()[1]))
import os  # noqa: E402

os.rename(port_file + ".tmp", port_file)

while True:
    raw, _ = listener.accept()
    raw.settimeout(10)
    try:
        first = raw.recv(1, socket.MSG_PEEK)
        if first != b"\x16":  # a TLS record of type handshake
            log("not tls")
            raw.close()
            continue
        conn = context.wrap_socket(raw, server_side=True)
    except ssl.SSLError as e:
        log("tls refused: " + (e.reason or str(e)))
        raw.close()
        continue
    except OSError as e:
        log("connection failed: " + str(e))
        raw.close()
        continue
    try:
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
        log(" ".join(data.split(b"\r\n", 1)[0].decode("latin-1").split(" ")[:2]))
        body = b'{"status":"0"}'
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                     b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
        conn.close()
    except OSError as e:
        log("connection failed: " + str(e))
