#!/usr/bin/env python3
"""A Tolka written on its own, in another language, straight from the protocol description:
it shares no code with the project, so qv7ctl passing against it means the bytes on the wire
are the protocol's bytes, not merely what the project's own simulator accepts.

Serves one device on a local SOCK_SEQPACKET socket (one datagram = one report's 64 data bytes).
"""
import os
import signal
import socket
import struct
import sys

REPORT = 64
LINK_PARAMS = bytes([0x01, 0x7F, 0xFF, 0xFF, 0x03, 0xE8, 0x00, 0x64, 0x03, 0x01, 0x0A, 0x00, 0x01, 0x0B, 0x02, 0x01])
DETECT = bytes([0xFF, 0x55, 0x02, 0x00, 0xEE, 0x10, 0x50, 0x43])


def csum(data):
    return (256 - (sum(data) & 0xFF)) & 0xFF


def packet(control, seq, ack, session, payload=b""):
    total = 9 + (len(payload) + 1 if payload else 0)
    head = bytes([0xFF, 0x5A, total >> 8, total & 0xFF, control, seq, ack, session])
    out = head + bytes([csum(head)])
    if payload:
        out += payload + bytes([csum(payload)])
    return out


def word_sum(image):
    n = len(image) // 4
    return sum(struct.unpack("<%dI" % n, image[: n * 4])) & 0xFFFFFFFF


class Device:
    def __init__(self, firmware):
        self.firmware = firmware
        self.seq = 0
        self.host_seq = 0
        self.params = bytearray([14, 14, 14, 14, 0, 0, 0, 0, 10, 3, 12, 0, 2, 0, 9,
                                 0, 10, 0, 24, 24, 24, 24, 24, 24, 24, 4, 4, 7, 1, 20])
        self.advanced = bytearray([0, 0, 0, 0, 0, 8, 8])
        self.image = None
        self.received = bytearray()
        self.errors = []

    def version_number(self):
        digits = self.firmware.replace(".", "")
        return int(digits) if len(digits) == 3 and digits.isdigit() else -1

    def next_seq(self):
        self.seq = self.seq % 250 + 1
        return self.seq

    def out(self, pkt):
        return [pkt[i:i + REPORT].ljust(REPORT, b"\0") for i in range(0, len(pkt), REPORT)]

    def ack(self):
        return self.out(packet(0x40, self.next_seq(), self.host_seq, 0))

    def data(self, app):
        return self.out(packet(0x40, self.next_seq(), self.host_seq, 11, b"\x00\x01" + bytes(app)))

    def error(self, what, report):
        self.errors.append(what)
        sys.stderr.write("independent-tolka: %s: %s\n" % (what, report.hex()))
        return []

    def handle(self, r):
        if r[:8] == DETECT:
            return self.out(packet(0x80, self.next_seq(), 0, 0, LINK_PARAMS))
        if r[0] != 0xFF or r[1] != 0x5A:
            return self.error("not a packet", r)
        total = r[2] << 8 | r[3]
        if total < 9 or total > len(r) or any(r[total:]):
            return self.error("bad length or trailing bytes", r)
        p = r[:total]
        if csum(p[:8]) != p[8] or (total > 9 and csum(p[9:total - 1]) != p[total - 1]):
            return self.error("bad checksum", r)
        control, seq, session = p[4], p[5], p[7]
        self.host_seq = seq
        if control == 0xC0:
            if session != 0 or total != 26 or p[9:25] != LINK_PARAMS:
                return self.error("bad synchronisation reply", r)
            return self.ack()
        if control != 0x40:
            return self.error("unexpected control byte", r)
        if session == 0:
            return []
        if session == 10:
            msg = p[9:total - 1]
            if msg[:2] != b"\x40\x40" or (msg[2] << 8 | msg[3]) != len(msg):
                return self.error("bad control message", r)
            ident = msg[4] << 8 | msg[5]
            if ident == 0x1D00 and len(msg) == 6:
                params = b""
                for i, text in enumerate(["Tolka", "qv7", "Vexlor", "IND0000000042", self.firmware, "2.0"]):
                    d = text.encode() + b"\0"
                    params += struct.pack(">HH", len(d) + 4, i) + d
                body = b"\x40\x40" + struct.pack(">HH", 6 + len(params), 0x1D01) + params
                return self.out(packet(0x40, self.next_seq(), self.host_seq, 10, body))
            if ident == 0x1D02 and len(msg) == 6:
                return self.ack()
            if ident == 0xEA00 and msg[6:] == bytes([0, 5, 0, 0, 0, 0, 6, 0, 1, 0, 0]):
                return self.ack()
            return self.error("unknown control message", r)
        if session != 11 or p[9:11] != b"\x00\x01":
            return self.error("bad data session", r)
        return self.command(p[11:total - 1], r)

    def command(self, app, r):
        code, n = app[0], len(app)
        old = self.firmware == "1.0.0"
        if code == 0x0A and n == 1:
            return self.data(b"\x8a" + b"IND-CHIP-7".ljust(30, b"\0"))
        if code == 0x22 and n == 1:
            names = [b"one", b"two", b"three"]
            return self.data(bytes([0xA2] + [len(x) for x in names]) + b"".join(x.ljust(10, b"\0") for x in names))
        if code == 0x02 and n == 2 and app[1] == (2 if self.version_number() > 101 else 1):
            reply = bytes([0x82]) + bytes(self.params[:25] if old else self.params)
            if not old:
                reply += bytes(self.advanced if self.version_number() > 106 else self.advanced[:3])
            return self.data(bytes([0x81, 0x72, 0x01])) + self.data(reply)
        if code == 0x01 and n == (26 if old else 31):
            live_max = 24 if self.version_number() > 102 else 16
            if app[1 + 3] > live_max:
                return self.error("liveVol out of range", r)
            self.params[:n - 1] = app[1:]
            return self.ack()
        if code == 0x04 and n == (8 if self.version_number() > 106 else 4):
            self.advanced[:n - 1] = app[1:]
            return self.ack()
        if code == 0x21 and n >= 34 and app[1] <= 2 and app[2] == 0x1E and app[3] <= 10 and n == 34 + app[3]:
            return self.ack()
        if code == 0x03 and n == 2 and app[1] <= 2:
            return self.ack()
        if code in (0x1A, 0x1B) and n == 3 and (app[1], app[2]) in ((0, 0), (1, 0xFF)):
            return self.ack()
        if code == 0x10 and n == 9:
            length, check = struct.unpack("<II", app[1:9])
            self.image = (length, check)
            self.received = bytearray(length)
            return self.data(bytes([0x90, 1 if 0 < length <= 196608 else 0]))
        if code == 0x11 and n == 1:
            return self.data(bytes([0x91, 1]))
        if code == 0x12 and n >= 6:
            offset = struct.unpack("<I", app[1:5])[0]
            length = app[5]
            if n != 6 + length or offset + length > len(self.received):
                return self.error("bad block", r)
            self.received[offset:offset + length] = app[6:]
            return self.data(bytes([0x92, 1]) + struct.pack("<I", offset) + bytes([length]))
        if code == 0x13 and n == 1:
            ok = self.image is not None and word_sum(bytes(self.received)) == self.image[1]
            if ok:
                sys.stderr.write("independent-tolka: image of %d bytes verified\n" % len(self.received))
            return self.data(bytes([0x93, 1 if ok else 0]))
        return self.error("unknown or malformed command", r)


def main():
    path, firmware = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else "1.0.7")
    if os.path.exists(path):
        os.unlink(path)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
    # Listen first, then appear under the name: a client never finds a socket that refuses it.
    server.bind(path + ".new")
    server.listen(1)
    os.rename(path + ".new", path)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    device = Device(firmware)
    while True:
        conn, _ = server.accept()
        with conn:
            while True:
                data = conn.recv(256)
                if not data:
                    break
                for rep in device.handle(data.ljust(REPORT, b"\0")[:REPORT]):
                    conn.send(rep)
        if device.errors:
            sys.stderr.write("independent-tolka: %d protocol errors\n" % len(device.errors))


if __name__ == "__main__":
    main()
