#!/usr/bin/env python3
"""Writes the seed corpora under corpus/<target>/ from the byte vectors and scenarios of the tests.

Inputs of targets that use FuzzedDataProvider are laid out the way it reads them: numbers from the end of
the input (most significant byte first), strings and byte runs from the front. Run from anywhere; the
seeds it writes are committed, so run it again only when a target's input layout changes."""
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))


class Input:
    """One FuzzedDataProvider input, built in the order the target consumes it."""

    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in consumption order; reversed onto the end of the input

    def int(self, value, lo, hi):
        span, v = hi - lo, value - lo
        n = 0
        while n < 8 and (span >> (8 * n)) > 0:
            n += 1
        for i in reversed(range(n)):
            self.back.append((v >> (8 * i)) & 0xFF)
        return self

    def bool(self, b):
        return self.int(1 if b else 0, 0, 255)

    def string(self, s):  # ConsumeRandomLengthString: a backslash doubles, "\\" + other ends it
        raw = s.encode() if isinstance(s, str) else bytes(s)
        self.front += raw.replace(b"\\", b"\\\\") + b"\\x"
        return self

    def bytes(self, b):  # ConsumeBytes(n) or the remaining bytes
        self.front += b.encode() if isinstance(b, str) else bytes(b)
        return self

    def data(self):
        return bytes(self.front) + bytes(reversed(self.back))


def checksum(b):
    return (256 - (sum(b) & 0xFF)) & 0xFF


def build(control, seq, ack, session, payload=b""):
    total = 9 + (len(payload) + 1 if payload else 0)
    p = bytearray([0xFF, 0x5A, total >> 8, total & 0xFF, control, seq, ack, session])
    p.append(checksum(p))
    if payload:
        p += payload
        p.append(checksum(payload))
    return bytes(p)


def data_packet(seq, app):
    return build(0x40, seq, 0, 11, bytes([0x00, 0x01]) + bytes(app))


def parameter(pid, data):
    n = 4 + len(data)
    return bytes([n >> 8, n & 0xFF, pid >> 8, pid & 0xFF]) + data


def identification(firmware, seq, serial=b"SN0123456789"):
    texts = [b"Tolka", b"qv7", b"Vexlor", serial, firmware.encode(), b"1.0"]
    params = b"".join(parameter(i, t + b"\0") for i, t in enumerate(texts))
    msg = bytes([0x40, 0x40, (6 + len(params)) >> 8, (6 + len(params)) & 0xFF, 0x1D, 0x01]) + params
    return build(0x40, seq, 0, 10, msg)


def reports(packet):
    """A packet in 64-byte reports, the last zero-padded."""
    out = []
    for off in range(0, len(packet), 64):
        out.append(packet[off:off + 64].ljust(64, b"\0"))
    return out


def record(set_bytes, name):
    r = bytearray(100)
    r[0], r[1] = 0x1E, 0x0A
    r[2:32] = bytes(set_bytes)
    r[32:32 + len(name)] = name
    r[99] = sum(r[:99]) & 0xFF
    return bytes(r)


DEFAULT_SET = [14, 14, 14, 14, 0, 0, 0, 0, 10, 3, 12, 0, 2, 0, 9, 0, 10, 0, 24, 24, 24, 24, 24, 24, 24, 4, 4, 7, 1, 20]
GBK_NAMES = [b"\xd4\xad\xc9\xf9", b"\xb3\xaa\xb8\xe8", b"\xba\xb0\xc2\xf3"]  # 原声, 唱歌, 喊麦

# ---- fuzz_driver: scripts of operations (see fuzz_driver.cpp for the numbers) ----
VERSIONS = ["1.0.7", "1.0.6", "1.0.2", "1.0.0", "2.1.0", "x"]
SETTLE, DEVICE_READS, HOST_READS, LOSE, TWICE, DAMAGE, SPLIT, RAW, TICK, SET_PARA, SET_OTHER, SET_ADV, SET_KEY, \
    BEGIN_UPDATE, BATTERY, REPLUG = 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16


def driver(firmware="1.0.7", unlock=False, start_mode=1):
    s = Input().int(VERSIONS.index(firmware), 0, len(VERSIONS) - 1).bool(unlock).bool(start_mode == 1)
    return s


def op(s, code, *ints):
    s.int(code, 0, 17)
    for value, lo, hi in ints:
        s.int(value, lo, hi)
    return s


def settle(s, rounds=400):
    return op(s, SETTLE, (rounds, 1, 400))


def driver_seeds():
    seeds = {}
    for fw in ["1.0.7", "1.0.2", "1.0.0"]:
        seeds["startup-" + fw] = settle(driver(fw)).data()
    s = settle(driver())
    op(s, SET_PARA, (0, 0, 29), (5, 0, 255))
    op(s, SET_OTHER, (0, 0, 2), (1, -1, 3))
    seeds["startup-change"] = settle(s).data()
    for size, unlock in [(100, False), (300, True), (1, False)]:
        s = settle(driver(unlock=unlock))
        op(s, BEGIN_UPDATE, (size, 0, 300))
        s.bool(True).int(0, 0, 1)
        seeds["firmware-%d%s" % (size, "-unlock" if unlock else "")] = settle(s).data()
    # A lossy start-up: replies lost, repeated, damaged and cut, with timer ticks between.
    s = driver()
    for code in [DEVICE_READS, HOST_READS, TICK, DEVICE_READS, TWICE, HOST_READS, HOST_READS, TICK, DEVICE_READS,
                 SPLIT]:
        op(s, code)
        if code == SPLIT:
            s.int(20, 1, 63)
    op(s, LOSE).bool(True)
    op(s, DAMAGE).int(1, 1, 4).int(9, 0, 63).int(0x5A, 0, 255)
    op(s, TICK)
    seeds["lossy-startup"] = settle(s).data()
    s = settle(driver())
    op(s, RAW).int(15, 0, 140)
    s.bytes(data_packet(7, [0x92, 0x01, 0, 0, 0, 0, 0xFF]).ljust(15, b"\0"))
    op(s, SET_KEY).int(4, 0, 12).bytes(GBK_NAMES[1]).int(1, -1, 3)
    op(s, SET_ADV).int(2, 0, 6).int(1, 0, 255)
    op(s, BATTERY)
    op(s, REPLUG).bool(True)
    seeds["stray-reply-key-replug"] = settle(s).data()
    return seeds


# ---- fuzz_receive: firmware byte, then reports each after a length byte (length - 1) ----
def receive_seeds():
    seeds = {}
    startup = [identification("1.0.7", 200), data_packet(3, [0x81, 0x81, 0x01]),
               data_packet(4, [0x94] + list(b"SIMCHIP-0416-1290-0001\0")), data_packet(5, [0x85] + DEFAULT_SET)]
    for name, packets in {"startup": startup,
                          "damaged": [bytes.fromhex("FF5A0005400100 0000"), bytes.fromhex("FF5A0009400100 0000"),
                                      bytes.fromhex("123456"), bytes.fromhex("FF5A2000400100 0B00")],
                          "detect": [bytes([0xFF, 0x55, 0x02, 0x00, 0xEE, 0x10])]}.items():
        out = bytearray([0])
        for p in packets:
            for r in reports(p) if len(p) > 8 else [p]:
                out.append(len(r) - 1)
                out += r
        seeds[name] = bytes(out)
    return seeds


def preset_seeds():
    recs = [record(DEFAULT_SET, n) for n in GBK_NAMES]
    bad = bytearray(recs[0])
    bad[99] ^= 1
    return {"three-records": b"".join(recs), "one-record": recs[0], "bad-checksum": bytes(bad) + recs[1],
            "short": recs[0][:99], "full": recs[0] * 138}


def ini_seeds():
    files = {"today": "[Setting]\nlast_date=2025-3-7\n", "crlf-case": "[setting]\r\nLAST_DATE = 2025-3-7\r\n",
             "other-section": "[Other]\nlast_date=2025-3-7\n[Setting]\nother=1\n",
             "comments": "; note\n[Setting]\n#last_date=1\nlast_date=null\n"}
    seeds = {}
    for name, text in files.items():
        s = Input().string("Setting").string("last_date").string("2025-3-8").string("Other").string("last_date")
        s.int(512, 0, 600).bytes(text)
        seeds[name] = s.data()
    return seeds


def gbk_seeds():
    texts = {"gbk-names": b"".join(GBK_NAMES), "ascii": b"Tolka qv7", "utf8": "原声默认唱歌".encode(),
             "bad-gbk": b"\x81\x20\xff\x80abc", "embedded-zero": b"\xd4\xad\0\xc9\xf9", "four-byte": "😀原".encode()}
    return {name: Input().int(10, 0, 40).bytes(t).data() for name, t in texts.items()}


def http_seeds():
    replies = {
        "version": '{"result":"ok","version":"1.0.8","url":"http://www.qv7.invalid/fw.bin","size":98304}',
        "error-page": "<html><body>502 Bad Gateway</body></html>",
        "link-file": "[InternetShortcut]\r\nURL=http://www.qv7.invalid/download\r\n",
        "nul-in-block": "abc\0hidden" + "x" * 1100,
    }
    seeds = {}
    for name, body in replies.items():
        s = Input().int(4096, 0, 8192).int(64, 0, 4096).int(2, 0, 16).int(10, 0, 2048).int(1024, 0, 2048)
        seeds[name] = s.bytes(body).data()
    return seeds


def hid_seeds():
    # The Tolka's report descriptor shape: vendor page, 64-byte input and output reports without ids.
    descriptor = bytes.fromhex("0600FF 0901 A101 0901 1500 26FF00 7508 9540 8102 0902 9540 9102 C0".replace(" ", ""))
    numbered = bytes.fromhex("0600FF 0901 A101 8501 0901 7508 9540 8102 8502 0902 9520 9102 C0".replace(" ", ""))
    return {
        "descriptor": Input().int(0, 0, 2).int(64, 0, 256).bool(False).bytes(descriptor).data(),
        "descriptor-ids": Input().int(0, 0, 2).int(64, 0, 256).bool(True).bytes(numbered).data(),
        "framing": Input().int(1, 0, 2).int(64, 0, 256).bool(True).bytes(data_packet(3, [0x81, 0x81, 0x01])).data(),
        "hid-id": Input().int(2, 0, 2).int(0, 0, 256).bool(False).bytes("0003:00000416:00001290").data(),
        "hid-id-other": Input().int(2, 0, 2).int(0, 0, 256).bool(False).bytes("0005:0000046D:0000C52B").data(),
    }


def cli_seeds():
    out = {}
    for name, arg, wanted in [("micvol", "micVol=5", "0"), ("eqgain", "eqGain[6]=30", "原声"),
                              ("bad-value", "micVol=256", "61"), ("unknown", "volume=1", "唱歌")]:
        s = Input().string(arg).int(2, 0, 4).string("我的").string("123")
        out[name] = s.bytes(wanted).data()
    return out


def fault_seeds():
    lists = {"all": "drop=0.3,dup=0.1,split=0.1,corrupt=0.05,delay=0.2:300,seed=7", "split": "split=1,seed=3",
             "bad": "drop=2", "unknown": "lag=0.1", "delay-default": "delay=1,dup=1"}
    out = {}
    for name, text in lists.items():
        s = Input().string(text).int(15, 0, 70).bytes(data_packet(3, [0x81, 0x81, 0x01]))
        out[name] = s.data()
    return out


def files_seeds():
    recs = record(DEFAULT_SET, GBK_NAMES[0])
    return {"presets": b"\0" + recs, "version": b"\1" + http_seeds()["version"][-90:],
            "link": b"\2[InternetShortcut]\r\nURL=http://www.qv7.invalid/\r\n",
            "descriptor": b"\3" + bytes.fromhex("0600FF0901A10109011500 26FF00750895408102 0902 9540 9102 C0".replace(" ", ""))}


def main():
    corpora = {"fuzz_driver": driver_seeds(), "fuzz_receive": receive_seeds(), "fuzz_preset_file": preset_seeds(),
               "fuzz_ini": ini_seeds(), "fuzz_gbk": gbk_seeds(), "fuzz_http_reply": http_seeds(),
               "fuzz_hid": hid_seeds(), "fuzz_cli_args": cli_seeds(), "fuzz_faults": fault_seeds(),
               "fuzz_files": files_seeds()}
    for target, seeds in corpora.items():
        folder = os.path.join(HERE, "corpus", target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
