#!/usr/bin/env python3
"""A version-check service on 127.0.0.1 for tests: offers one firmware image and serves it.

usage: firmware_service.py IMAGE PORT_FILE
Writes the chosen port to PORT_FILE once it listens.
"""
import http.server
import json
import struct
import sys

image = open(sys.argv[1], "rb").read()
n = len(image) // 4
checksum = sum(struct.unpack("<%dI" % n, image[: n * 4])) & 0xFFFFFFFF


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length).decode()
        if self.path != "/admin/appios" or not body.startswith("json="):
            self.send_error(404)
            return
        json.loads(body[5:])  # the request must be JSON
        host, port = self.server.server_address
        reply = json.dumps({
            "status": "112304", "softwareVersion": "1.0.8", "description": "test image",
            "filesize": len(image), "urlPath": "http://%s:%d/firmware.bin" % (host, port),
            "hardwareVersion": "1.0", "checksum": "%08X" % checksum,
        }).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def do_GET(self):
        if self.path != "/firmware.bin":
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Length", str(len(image)))
        self.end_headers()
        self.wfile.write(image)


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[2] + ".new", "w") as f:
    f.write(str(server.server_address[1]))
import os
os.rename(sys.argv[2] + ".new", sys.argv[2])
server.serve_forever()
