#!/usr/bin/env python3
"""The maker's database server, as our stand-in: speaks the protocol of
libwrndbapi.so (include/wrndbapi.h) over TCP and runs the statements
on SQLite, one in-memory database per user name, kept while the server runs.

  wrndbd.py [--port N]                      serve (default port 2013)
  wrndbd.py fault --port N USER KIND [VALUE] [--count C]

Texts are bytes (GBK) and pass unchanged: SQLite holds each byte as one
character. A statement gives (ret, ret_code, error): ret is 0 for a query
and the rows changed otherwise, ret_code 0; a statement SQLite refuses
gives ret 0, ret_code -1 and its message. A column's width is the widest
value in bytes (at least 1); NULL travels as an empty cell.

Faults, armed per user name for the next C (default 1) requests of that
user's connections:
  retcode N  the next statement answers ret 0 with ret_code N (negative)
  drop       the next statement closes the connection without answer
  refuse     the next login is refused
"""
import argparse
import socket
import socketserver
import sqlite3
import struct
import sys
import threading

MAX_MESSAGE = 256 << 20
IDLE_BOUND_S = 600   # a connection that sends nothing this long is closed

lock = threading.Lock()          # guards databases and faults
databases = {}                   # user -> sqlite3 connection
faults = {}                      # user -> list of [kind, value, count]


def recv_exact(sock, size):
    data = b""
    while len(data) < size:
        chunk = sock.recv(size - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def recv_fields(sock):
    head = recv_exact(sock, 4)
    if head is None:
        return None
    (size,) = struct.unpack(">I", head)
    if size > MAX_MESSAGE:
        return None
    body = recv_exact(sock, size)
    if body is None:
        return None
    return body.split(b"\0")[:-1]


def send_fields(sock, fields):
    body = b"".join(f + b"\0" for f in fields)
    sock.sendall(struct.pack(">I", len(body)) + body)


def take_fault(user, kinds):
    """The armed fault of user among kinds, counted down, or None."""
    with lock:
        for fault in faults.get(user, []):
            if fault[0] in kinds and fault[2] > 0:
                fault[2] -= 1
                return fault
    return None


def database(user):
    with lock:
        if user not in databases:
            databases[user] = sqlite3.connect(":memory:", check_same_thread=False,
                                              isolation_level=None)
        return databases[user]


def cell(value):
    if value is None:
        return b""
    if isinstance(value, bytes):
        return value
    if isinstance(value, float):
        return repr(value).encode("latin-1")
    return str(value).encode("latin-1", "replace")


def execute(user, sql):
    db = database(user)
    with lock:
        try:
            cur = db.execute(sql.decode("latin-1"))
            rows = cur.fetchall()
        except sqlite3.Error as e:
            return [b"0", b"-1", str(e).encode("latin-1", "replace"), b"0", b"0"]
        if cur.description is None:
            changed = max(cur.rowcount, 0)
            return [str(changed).encode(), b"0", b"", b"0", b"0"]
        names = [d[0].encode("latin-1", "replace") for d in cur.description]
    cells = [[cell(v) for v in row] for row in rows]
    fields = [b"0", b"0", b"", str(len(names)).encode(), str(len(cells)).encode()]
    for i, name in enumerate(names):
        width = max([1] + [len(r[i]) for r in cells])
        fields += [name, str(width).encode()]
    for row in cells:
        fields += row
    return fields


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.settimeout(IDLE_BOUND_S)
        user = None
        try:
            while True:
                fields = recv_fields(sock)
                if not fields:
                    return
                command = fields[0]
                if command == b"LOGIN" and len(fields) >= 2:
                    if take_fault(fields[1], ("refuse",)):
                        send_fields(sock, [b"ERR", b"login refused"])
                        continue
                    user = fields[1]
                    send_fields(sock, [b"OK"])
                elif command == b"EXEC" and len(fields) >= 2 and user is not None:
                    fault = take_fault(user, ("retcode", "drop"))
                    if fault and fault[0] == "drop":
                        return
                    if fault:
                        send_fields(sock, [b"0", fault[1].encode(), b"fault injected",
                                           b"0", b"0"])
                        continue
                    send_fields(sock, execute(user, fields[1]))
                elif command == b"FAULT" and len(fields) >= 5:
                    with lock:
                        faults.setdefault(fields[1], []).append(
                            [fields[2].decode(), fields[3].decode(), int(fields[4])])
                    send_fields(sock, [b"OK"])
                else:
                    send_fields(sock, [b"ERR", b"bad request"])
        except OSError:
            return


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def serve(port):
    with Server(("127.0.0.1", port), Handler) as server:
        server.serve_forever()


def arm_fault(port, user, kind, value, count):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
        send_fields(sock, [b"FAULT", user.encode(), kind.encode(), value.encode(),
                           str(count).encode()])
        answer = recv_fields(sock)
    return 0 if answer and answer[0] == b"OK" else 1


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "fault":
        parser = argparse.ArgumentParser(prog="wrndbd.py fault")
        parser.add_argument("--port", type=int, default=2013)
        parser.add_argument("--count", type=int, default=1)
        parser.add_argument("user")
        parser.add_argument("kind", choices=["retcode", "drop", "refuse"])
        parser.add_argument("value", nargs="?", default="")
        args = parser.parse_args(sys.argv[2:])
        return arm_fault(args.port, args.user, args.kind, args.value, args.count)
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=2013)
    args = parser.parse_args()
    serve(args.port)
    return 0


if __name__ == "__main__":
    sys.exit(main())
