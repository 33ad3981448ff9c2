#!/usr/bin/env python3
"""A version-check service on 127.0.0.1 for tests: offers one firmware image and serves it.

usage: firmware_service.py IMAGE PORT_FILE [MODE_FILE]
Writes the chosen port to PORT_FILE once it listens. MODE_FILE, read at each request, makes it fail:
  post500     the check is answered with a 500 page whose body is the offer
  file404     the image is served as a 404 page (right size, right checksum)
  fileclosed  the offer points at a port where nothing listens
  silent      requests are read and never answered
  slowfile    the image arrives in pieces, each after a pause shorter than a second
anything else (or no MODE_FILE) serves normally.
"""
import http.server
import json
import struct
import socket
import sys
import time

image = open(sys.argv[1], "rb").read()
n = len(image) // 4
checksum = sum(struct.unpack("<%dI" % n, image[: n * 4])) & 0xFFFFFFFF


def mode():
    if len(sys.argv) < 4:
        return ""
    try:
        return open(sys.argv[3]).read().strip()
    except OSError:
        return ""


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_POST(self):
        m = mode()
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length).decode()
        if self.path != "/admin/appios" or not body.startswith("json="):
            self.send_error(404)
            return
        json.loads(body[5:])  # the request must be JSON
        if m == "silent":
            time.sleep(3600)
        host, port = self.server.server_address
        if m == "fileclosed":
            port = closed_port()
        reply = json.dumps({
            "status": "112304", "softwareVersion": "1.0.8", "description": "test image",
            "filesize": len(image), "urlPath": "http://%s:%d/firmware.bin" % (host, port),
            "hardwareVersion": "1.0", "checksum": "%08X" % checksum,
        }).encode()
        self.send_response(500 if m == "post500" else 200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def do_GET(self):
        m = mode()
        if self.path != "/firmware.bin":
            self.send_error(404)
            return
        if m == "silent":
            time.sleep(3600)
        self.send_response(404 if m == "file404" else 200)
        self.send_header("Content-Length", str(len(image)))
        self.end_headers()
        if m != "slowfile":
            self.wfile.write(image)
            return
        piece = (len(image) + 7) // 8
        for i in range(0, len(image), piece):
            time.sleep(0.6)
            self.wfile.write(image[i:i + piece])
            self.wfile.flush()


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[2] + ".new", "w") as f:
    f.write(str(server.server_address[1]))
import os
os.rename(sys.argv[2] + ".new", sys.argv[2])
server.serve_forever()
