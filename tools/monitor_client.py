#!/usr/bin/env python3
"""A small client of the line monitor protocol.

A client connects to the monitor server, sends a five-byte request whenever
it wants news and reads one update: the monitor cells that changed since its
last update (line, cell, font and background colour indexes, GBK text), then
the summary line. Numbers are little-endian:

    u32 length of the rest, u16 line count,
    records {u16 line, u8 cell, u8 font, u8 background, text NUL},
    end record {0xFFFF, 0xFF, 0, 0, summary NUL}

Used as a module by tests, or from the command line:

    monitor_client.py [--host H] [--port P] [--bind ADDR] [--count N]
                      [--interval SECONDS] [--timeout SECONDS] [--raw]

prints, for each update, "update lines=<n> records=<n> bytes=<n>", one
"cell <line> <cell> <font> <background> <text>" line per record and
"summary <text>", texts decoded from GBK and written in UTF-8. --raw writes
the texts' bytes in hex instead. Exit status 0 when every update came, 2
when the connection was refused or closed by the server, 3 on a time-out.
"""

import argparse
import socket
import struct
import sys
import time

REQUEST = b"REQ!\0"
END_LINE = 0xFFFF
END_CELL = 0xFF
HEADER = struct.Struct("<IH")
RECORD_HEAD = struct.Struct("<HBBB")


class ProtocolError(Exception):
    pass


class Record:
    def __init__(self, line, cell, font, background, raw):
        self.line = line
        self.cell = cell
        self.font = font
        self.background = background
        self.raw = raw  # the text's GBK bytes

    @property
    def text(self):
        return self.raw.decode("gbk", errors="replace")

    def __repr__(self):
        return "Record(%d, %d, %d, %d, %r)" % (
            self.line, self.cell, self.font, self.background, self.text)


class Update:
    def __init__(self, line_count, records, summary_raw, size):
        self.line_count = line_count
        self.records = records
        self.summary_raw = summary_raw
        self.size = size  # bytes on the wire, length field included

    @property
    def summary(self):
        return self.summary_raw.decode("gbk", errors="replace")


def decode_update(data):
    """Decodes one whole update (length field included)."""
    if len(data) < HEADER.size:
        raise ProtocolError("short header")
    length, line_count = HEADER.unpack_from(data, 0)
    if length != len(data) - 4:
        raise ProtocolError("length %d for %d bytes" % (length, len(data)))
    at = HEADER.size
    records = []
    while True:
        if at + RECORD_HEAD.size >= len(data):
            raise ProtocolError("no end record")
        line, cell, font, background = RECORD_HEAD.unpack_from(data, at)
        nul = data.find(b"\0", at + RECORD_HEAD.size)
        if nul < 0:
            raise ProtocolError("text without NUL at %d" % at)
        raw = data[at + RECORD_HEAD.size:nul]
        at = nul + 1
        if line == END_LINE and cell == END_CELL:
            if at != len(data):
                raise ProtocolError("%d bytes after the end record" % (len(data) - at))
            return Update(line_count, records, raw, len(data))
        records.append(Record(line, cell, font, background, raw))


class MonitorClient:
    def __init__(self, host="127.0.0.1", port=2004, bind=None, timeout=5.0, rcvbuf=None):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if rcvbuf is not None:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
        if bind is not None:
            self.sock.bind((bind, 0))
        self.sock.settimeout(timeout)
        self.sock.connect((host, port))

    def close(self):
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def send_request(self, data=REQUEST):
        self.sock.sendall(data)

    def _read_exactly(self, n):
        chunks = []
        while n > 0:
            chunk = self.sock.recv(n)
            if not chunk:
                raise ConnectionError("closed by the server")
            chunks.append(chunk)
            n -= len(chunk)
        return b"".join(chunks)

    def read_update(self):
        head = self._read_exactly(4)
        (length,) = struct.unpack("<I", head)
        return decode_update(head + self._read_exactly(length))

    def request(self):
        self.send_request()
        return self.read_update()


def print_update(update, raw, out):
    def show(b):
        return b.hex() if raw else b.decode("gbk", errors="replace")
    out.write("update lines=%d records=%d bytes=%d\n"
              % (update.line_count, len(update.records), update.size))
    for r in update.records:
        out.write("cell %d %d %d %d %s\n" % (r.line, r.cell, r.font, r.background, show(r.raw)))
    out.write("summary %s\n" % show(update.summary_raw))
    out.flush()


def main(argv=None):
    p = argparse.ArgumentParser(description="Line monitor protocol client")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=2004)
    p.add_argument("--bind", help="local address to connect from")
    p.add_argument("--count", type=int, default=1, help="updates to request")
    p.add_argument("--interval", type=float, default=0.1, help="seconds between requests")
    p.add_argument("--timeout", type=float, default=5.0)
    p.add_argument("--raw", action="store_true", help="texts as hex bytes")
    args = p.parse_args(argv)
    sys.stdout.reconfigure(encoding="utf-8")
    try:
        with MonitorClient(args.host, args.port, args.bind, args.timeout) as client:
            for i in range(args.count):
                if i:
                    time.sleep(args.interval)
                print_update(client.request(), args.raw, sys.stdout)
    except ConnectionError as e:
        sys.stderr.write("monitor_client: %s\n" % e)
        return 2
    except socket.timeout:
        sys.stderr.write("monitor_client: time-out\n")
        return 3
    return 0


if __name__ == "__main__":
    sys.exit(main())
