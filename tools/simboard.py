#!/usr/bin/env python3
"""Client of the simulated board's control socket.

A test or a person plays the far end of the board's lines: place a call,
press keys, hang up, hear what was played. One request a line, one reply
line each: "OK" and its fields, or "ERR " and a reason. Event lines
("EV <seq> <type> <addr> <args>") come between replies once EVENTS was sent.

As a module:
    c = simboard.Client("simboard.sock")
    c.call("E3", "13900000000", "8001")
    c.wait("CHARGE", "E3", 5000)      # "EV 12 CHARGE E3 37", or None
    c.state("E3")["state"]            # "8"
The named requests return the reply line and raise simboard.Error on "ERR".

As a program:
    simboard.py [--socket PATH] <request words...>
    simboard.py call E3 13900000000 8001
    simboard.py wait CHARGE E3 5000
    simboard.py events                # event lines until interrupted
It prints the reply line and exits 0 for OK, 1 for ERR, 2 when the board
cannot be reached. The socket is $SIMBOARD_SOCKET, else "simboard.sock".

The socket serves only processes of the user that runs the board. The files
of INJECT and CAPTURE (relative to the board's folder) must be regular files:
anything else is refused with "ERR not a regular file".
"""

import os
import select
import signal
import socket
import sys
import time

DEFAULT_SOCKET = "simboard.sock"
# How long a request waits for its reply, in seconds (a WAIT: its own
# timeout and this).
REPLY_TIMEOUT = 5.0
# The board cuts longer WAIT timeouts to this many milliseconds.
MAX_WAIT_MS = 600000
EVENT_PREFIX = "EV "
# The board's texts are GBK bytes.
ENCODING = "gbk"

EXIT_OK, EXIT_ERR, EXIT_UNREACHABLE = 0, 1, 2


class Error(Exception):
    """The board refused a request; str() is the whole "ERR ..." reply."""


class Client:
    """One connection to the control socket. Not thread-safe."""

    def __init__(self, path=None, timeout=REPLY_TIMEOUT):
        self.path = path or os.environ.get("SIMBOARD_SOCKET") or DEFAULT_SOCKET
        self.timeout = timeout
        self._received = b""
        self._events = []  # event lines read before a reply
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.settimeout(timeout)
        try:
            self._sock.connect(self.path)
        except OSError:
            self._sock.close()
            raise
        # The board counts a connection's events from when it took the
        # connection in; a first answered request makes sure it has.
        reply = self.request("PING")
        if reply != "OK":
            self._sock.close()
            raise Error(reply)

    def close(self):
        self._sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- The protocol. ---

    def request(self, line, timeout=None):
        """Sends one request line and returns its reply line (event lines
        that come first are kept for next_event)."""
        self._sock.settimeout(self.timeout if timeout is None else timeout)
        self._sock.sendall(line.encode(ENCODING, "replace") + b"\n")
        deadline = time.monotonic() + (self.timeout if timeout is None else timeout)
        while True:
            reply = self._read_line(deadline)
            if reply is None:
                raise TimeoutError("no reply to " + line.split(" ", 1)[0])
            if not reply.startswith(EVENT_PREFIX):
                return reply
            self._events.append(reply)

    def events(self):
        """Asks for every event line from now on."""
        self._checked("EVENTS")

    def next_event(self, timeout=None):
        """The next event line, or None when none came within timeout
        seconds (None: wait without end)."""
        deadline = None if timeout is None else time.monotonic() + timeout
        while not self._events:
            line = self._read_line(deadline)
            if line is None:
                return None
            if line.startswith(EVENT_PREFIX):
                self._events.append(line)
        return self._events.pop(0)

    # --- Named requests; addr is "E3", "A0". ---

    def call(self, addr, calling, called):
        return self._checked("CALL %s %s %s" % (addr, calling, called))

    def hangup(self, addr):
        return self._checked("HANGUP " + addr)

    def answer(self, addr):
        return self._checked("ANSWER " + addr)

    def reject(self, addr, progress):
        # E3: the outgoing call fails with that progress; A1 (a trunk port
        # without a call): its next dial fails.
        return self._checked("REJECT %s %d" % (addr, progress))

    def block(self, addr):
        return self._checked("BLOCK " + addr)

    def unblock(self, addr):
        return self._checked("UNBLOCK " + addr)

    def lift(self, addr):
        return self._checked("LIFT " + addr)

    def drop(self, addr):
        return self._checked("DROP " + addr)

    def keys(self, addr, digits, gap_ms=None):
        line = "KEYS %s %s" % (addr, digits)
        return self._checked(line if gap_ms is None else "%s %d" % (line, gap_ms))

    def inject(self, addr, path):
        return self._checked("INJECT %s %s" % (addr, path))

    def capture_start(self, addr, path):
        return self._checked("CAPTURE %s START %s" % (addr, path))

    def capture_stop(self, addr):
        return self._checked("CAPTURE %s STOP" % addr)

    def state(self, addr):
        """The line's state fields as a dict of texts."""
        fields = {}
        for field in self._checked("STATE " + addr).split()[1:]:
            key, _, value = field.partition("=")
            fields[key] = value
        return fields

    def wait(self, event_type, addr, timeout_ms):
        """The first matching event line not yet returned, or None when none
        came within timeout_ms. addr "*" matches any line."""
        line = "WAIT %s %s %d" % (event_type, addr, timeout_ms)
        reply = self.request(line, min(max(timeout_ms, 0), MAX_WAIT_MS) / 1000 + self.timeout)
        if reply == "ERR timeout":
            return None
        if not reply.startswith("OK " + EVENT_PREFIX):
            raise Error(reply)
        return reply[3:]

    # --- Below the requests. ---

    def _checked(self, line):
        reply = self.request(line)
        if reply != "OK" and not reply.startswith("OK "):
            raise Error(reply)
        return reply

    def _read_line(self, deadline):
        """The next line, or None at the deadline (None: no deadline).
        Raises ConnectionError when the board closed the connection."""
        while b"\n" not in self._received:
            left = None if deadline is None else max(0.0, deadline - time.monotonic())
            ready, _, _ = select.select([self._sock], [], [], left)
            if not ready:
                return None
            chunk = self._sock.recv(65536)
            if not chunk:
                raise ConnectionError("the board closed the connection")
            self._received += chunk
        line, _, self._received = self._received.partition(b"\n")
        return line.rstrip(b"\r").decode(ENCODING, "replace")


def _print(line):
    print(line, flush=True)


def _follow_events(client):
    """Prints event lines until interrupted or the board goes away."""
    signal.signal(signal.SIGINT, signal.default_int_handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(EXIT_OK))
    try:
        client.events()
        while True:
            _print(client.next_event())
    except KeyboardInterrupt:
        return EXIT_OK


def _parse_arguments(argv):
    path = None
    args = list(argv)
    if args and args[0] == "--socket":
        if len(args) < 2:
            return None, None
        path, args = args[1], args[2:]
    elif args and args[0].startswith("--socket="):
        path, args = args[0].split("=", 1)[1], args[1:]
    return path, args


def main(argv):
    path, words = _parse_arguments(argv)
    if not words or words[0] in ("-h", "--help"):
        sys.stderr.write(__doc__)
        return EXIT_OK if words else EXIT_ERR
    try:
        with Client(path) as client:
            if words[0].upper() == "EVENTS" and len(words) == 1:
                return _follow_events(client)
            timeout = None
            if words[0].upper() == "WAIT" and len(words) == 4 and words[3].isdigit():
                timeout = min(int(words[3]), MAX_WAIT_MS) / 1000 + REPLY_TIMEOUT
            reply = client.request(" ".join(words), timeout)
    except Error as e:
        _print(str(e))
        return EXIT_ERR
    except (OSError, TimeoutError) as e:
        sys.stderr.write("simboard: %s: %s\n" % (path or os.environ.get("SIMBOARD_SOCKET")
                                                  or DEFAULT_SOCKET, e))
        return EXIT_UNREACHABLE
    _print(reply)
    return EXIT_OK if reply == "OK" or reply.startswith("OK ") else EXIT_ERR


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
