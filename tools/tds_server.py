#!/usr/bin/env python3
"""A small SQL Server stand-in speaking TDS 7.2 over TCP, on SQLite.

  tds_server.py --port N --folder DIR

Each database is the SQLite file DIR/<name>.db ("master" exists from the
start; "CREATE DATABASE x" makes another). A batch is split at semicolons
outside quotes and each statement runs on the session's database:

  USE x                  changes the database (ENVCHANGE and message 5701)
  CREATE DATABASE x      makes DIR/x.db
  KILL n                 closes session n's connection (a dropped link)
  SET ...                accepted and ignored
  anything else          SQLite, with @@SPID and APP_NAME() of the session

Rows go out as INTN, FLTN, NVARCHAR and VARBINARY columns by the values'
kinds. Failed statements give an ERROR token (the SQLite text, message 102)
and end the batch. No encryption is offered; any login is accepted except
the user "refused" (message 18456).

Every login and every batch is appended to DIR/batches.log, one line each:
"spid<TAB>app<TAB>LOGIN <user> <database>" or "spid<TAB>app<TAB><sql>"
(newlines in the SQL as "\\n").
"""
import argparse
import os
import re
import socket
import socketserver
import sqlite3
import struct
import sys
import threading

PACKET_SIZE = 4096
TDS72 = 0x72090002

PKT_BATCH, PKT_REPLY, PKT_ATTENTION, PKT_LOGIN7, PKT_PRELOGIN = 0x01, 0x04, 0x06, 0x10, 0x12
TOK_COLMETADATA, TOK_ERROR, TOK_INFO, TOK_LOGINACK = 0x81, 0xAA, 0xAB, 0xAD
TOK_ROW, TOK_ENVCHANGE, TOK_DONE = 0xD1, 0xE3, 0xFD
DONE_FINAL, DONE_MORE, DONE_ERROR, DONE_COUNT, DONE_ATTN = 0x00, 0x01, 0x02, 0x10, 0x20
INTN, FLTN, NVARCHAR, BIGVARBINARY = 0x26, 0x6D, 0xE7, 0xA5
# Chinese_PRC_CI_AS: LCID 0x0804.
COLLATION = b"\x04\x08\xd0\x00\x00"
NVARCHAR_MAX_BYTES = 8000


def u16(text):
    return text.encode("utf-16-le")


def b_varchar(text):
    return struct.pack("<B", len(text)) + u16(text)


def us_varchar(text):
    return struct.pack("<H", len(text)) + u16(text)


def done(status, count=0):
    return struct.pack("<BHHQ", TOK_DONE, status, 0xC1, count)


def message(token, number, severity, text, line=1, state=1):
    body = (struct.pack("<iBB", number, state, severity) + us_varchar(text) + b_varchar("VTTDS") +
            b_varchar("") + struct.pack("<i", line))
    return struct.pack("<BH", token, len(body)) + body


def env_change(kind, new, old):
    if isinstance(new, str):
        body = struct.pack("<B", kind) + b_varchar(new) + b_varchar(old)
    else:
        body = struct.pack("<BB", kind, len(new)) + new + struct.pack("<B", len(old)) + old
    return struct.pack("<BH", TOK_ENVCHANGE, len(body)) + body


class Column:
    """The wire type of a result column, chosen from its values."""

    def __init__(self, name, values):
        self.name = name[:128]
        kinds = {type(v) for v in values if v is not None}
        if kinds <= {int} and kinds:
            big = any(not -2**31 <= v < 2**31 for v in values if v is not None)
            self.type, self.size = INTN, 8 if big else 4
        elif kinds <= {int, float} and kinds:
            self.type, self.size = FLTN, 8
        elif kinds <= {bytes} and kinds:
            self.type, self.size = BIGVARBINARY, NVARCHAR_MAX_BYTES
        else:
            # As a computed column: as wide as its widest value.
            longest = max([len(str(v)) for v in values if v is not None] + [1])
            self.type, self.size = NVARCHAR, min(2 * longest, NVARCHAR_MAX_BYTES)

    def meta(self):
        head = struct.pack("<IH", 0, 0x0009)  # user type; nullable, updatable unknown
        if self.type in (INTN, FLTN):
            info = struct.pack("<BB", self.type, self.size)
        elif self.type == NVARCHAR:
            info = struct.pack("<BH", self.type, self.size) + COLLATION
        else:
            info = struct.pack("<BH", self.type, self.size)
        return head + info + b_varchar(self.name)

    def value(self, v):
        if self.type in (INTN, FLTN):
            if v is None:
                return b"\x00"
            if self.type == INTN:
                return struct.pack("<B", self.size) + int(v).to_bytes(self.size, "little", signed=True)
            return struct.pack("<Bd", 8, float(v))
        if v is None:
            return b"\xff\xff"
        data = v if isinstance(v, bytes) else u16(v if isinstance(v, str) else str(v))
        data = data[:NVARCHAR_MAX_BYTES]
        return struct.pack("<H", len(data)) + data


def split_statements(sql):
    parts, current, quote = [], [], None
    for ch in sql:
        if quote:
            current.append(ch)
            if ch == quote:
                quote = None
        elif ch in "'\"[":
            quote = "]" if ch == "[" else ch
            current.append(ch)
        elif ch == ";":
            parts.append("".join(current))
            current = []
        else:
            current.append(ch)
    parts.append("".join(current))
    return [p.strip() for p in parts if p.strip()]


class StatementError(Exception):
    def __init__(self, number, text):
        super().__init__(text)
        self.number = number


class Registry:
    """The sessions by spid, for KILL; the batch log."""

    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()
        self.sessions = {}
        self.next_spid = 51
        self.log = open(os.path.join(folder, "batches.log"), "a", encoding="utf-8")

    def add(self, session):
        with self.lock:
            spid = self.next_spid
            self.next_spid += 1
            self.sessions[spid] = session
            return spid

    def remove(self, spid):
        with self.lock:
            self.sessions.pop(spid, None)

    def kill(self, spid):
        with self.lock:
            session = self.sessions.get(spid)
        if session is None:
            return False
        session.drop()
        return True

    def write(self, spid, app, text):
        with self.lock:
            self.log.write("%d\t%s\t%s\n" % (spid, app, text.replace("\n", "\\n")))
            self.log.flush()


class Session(socketserver.BaseRequestHandler):
    def setup(self):
        self.registry = self.server.registry
        self.spid = self.registry.add(self)
        self.app = ""
        self.database = "master"
        self.db = None
        self.packet_size = PACKET_SIZE

    def finish(self):
        self.registry.remove(self.spid)
        if self.db is not None:
            self.db.close()

    def drop(self):
        try:
            self.request.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    # --- packets ---------------------------------------------------------
    def read_exact(self, n):
        data = b""
        while len(data) < n:
            chunk = self.request.recv(n - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def read_message(self):
        kind, payload = None, b""
        while True:
            head = self.read_exact(8)
            kind, status, length = head[0], head[1], struct.unpack(">H", head[2:4])[0]
            if length < 8:
                raise EOFError
            payload += self.read_exact(length - 8)
            if status & 0x01:
                return kind, payload

    def send(self, data):
        room = self.packet_size - 8
        chunks = [data[i:i + room] for i in range(0, len(data), room)] or [b""]
        out = b""
        for n, chunk in enumerate(chunks):
            last = n == len(chunks) - 1
            out += struct.pack(">BBHHBB", PKT_REPLY, 1 if last else 0, len(chunk) + 8, self.spid,
                               (n + 1) & 0xFF, 0) + chunk
        self.request.sendall(out)

    # --- the conversation ------------------------------------------------
    def handle(self):
        try:
            while True:
                kind, payload = self.read_message()
                if kind == PKT_PRELOGIN:
                    self.send(self.prelogin())
                elif kind == PKT_LOGIN7:
                    reply, ok = self.login(payload)
                    self.send(reply)
                    if not ok:
                        return
                elif kind == PKT_BATCH:
                    self.send(self.batch(payload))
                elif kind == PKT_ATTENTION:
                    self.send(done(DONE_ATTN))
                else:
                    self.send(message(TOK_ERROR, 16, 16, "unsupported request %d" % kind) +
                              done(DONE_ERROR))
        except (EOFError, OSError, struct.error):
            return

    def prelogin(self):
        options = [(0x00, struct.pack(">IH", 0x0B000000, 0)), (0x01, b"\x02"), (0x02, b"\x00"),
                   (0x03, b""), (0x04, b"\x00")]
        offset = 5 * len(options) + 1
        head, body = b"", b""
        for token, data in options:
            head += struct.pack(">BHH", token, offset + len(body), len(data))
            body += data
        return head + b"\xff" + body

    def login(self, p):
        def text(at):
            offset, count = struct.unpack_from("<HH", p, at)
            return p[offset:offset + 2 * count]

        size = struct.unpack_from("<I", p, 8)[0]
        if 512 <= size <= 32767:
            self.packet_size = size
        user = text(40).decode("utf-16-le", "replace")
        self.app = text(48).decode("utf-16-le", "replace")
        database = text(68).decode("utf-16-le", "replace") or "master"
        self.registry.write(self.spid, self.app, "LOGIN %s %s" % (user, database))
        if user == "refused":
            return (message(TOK_ERROR, 18456, 14, "Login failed for user '%s'." % user) +
                    done(DONE_ERROR), False)
        try:
            self.open_database(database)
        except StatementError as e:
            return message(TOK_ERROR, e.number, 11, str(e)) + done(DONE_ERROR), False
        ack = struct.pack("<B", 1) + struct.pack(">I", TDS72) + b_varchar("VtTds") + b"\x0b\x00\x00\x00"
        reply = (env_change(1, database, "master") +
                 message(TOK_INFO, 5701, 0, "Changed database context to '%s'." % database) +
                 env_change(7, COLLATION, b"") +
                 env_change(4, str(self.packet_size), str(PACKET_SIZE)) +
                 struct.pack("<BH", TOK_LOGINACK, len(ack)) + ack + done(DONE_FINAL))
        return reply, True

    def database_path(self, name):
        if not re.fullmatch(r"[A-Za-z0-9_]+", name):
            raise StatementError(911, "Database '%s' does not exist." % name)
        return os.path.join(self.registry.folder, name + ".db")

    def open_database(self, name):
        path = self.database_path(name)
        if name != "master" and not os.path.exists(path):
            raise StatementError(911, "Database '%s' does not exist." % name)
        db = sqlite3.connect(path, isolation_level=None, timeout=10, check_same_thread=False)
        db.create_function("APP_NAME", 0, lambda: self.app)
        if self.db is not None:
            self.db.close()
        self.db, self.database = db, name

    def batch(self, p):
        headers = struct.unpack_from("<I", p, 0)[0] if len(p) >= 4 else 0
        if headers < 4 or headers > len(p):
            headers = 0
        sql = p[headers:].decode("utf-16-le", "replace")
        self.registry.write(self.spid, self.app, sql)
        statements = split_statements(sql)
        out = b""
        for n, statement in enumerate(statements):
            more = DONE_MORE if n + 1 < len(statements) else DONE_FINAL
            try:
                out += self.statement(statement, more)
            except (StatementError, sqlite3.Error) as e:
                number = e.number if isinstance(e, StatementError) else 102
                return out + message(TOK_ERROR, number, 16, str(e)) + done(DONE_ERROR)
        return out or done(DONE_FINAL)

    def statement(self, sql, more):
        words = sql.split()
        head = words[0].upper()
        if head == "USE" and len(words) == 2:
            old = self.database
            self.open_database(words[1].strip("[]"))
            return (env_change(1, self.database, old) +
                    message(TOK_INFO, 5701, 0,
                            "Changed database context to '%s'." % self.database) + done(more))
        if head == "CREATE" and len(words) == 3 and words[1].upper() == "DATABASE":
            path = self.database_path(words[2])
            if os.path.exists(path):
                raise StatementError(1801, "Database '%s' already exists." % words[2])
            sqlite3.connect(path).close()
            return done(more)
        if head == "KILL" and len(words) == 2 and words[1].isdigit():
            if not self.registry.kill(int(words[1])):
                raise StatementError(6106, "Process ID %s is not an active process ID." % words[1])
            return done(more)
        if head == "SET":
            return done(more)
        cursor = self.db.execute(re.sub(r"@@SPID\b", str(self.spid), sql, flags=re.I))
        if cursor.description is None:
            return done(more | DONE_COUNT, max(cursor.rowcount, 0))
        rows = cursor.fetchall()
        columns = [Column(d[0], [r[i] for r in rows]) for i, d in enumerate(cursor.description)]
        out = struct.pack("<BH", TOK_COLMETADATA, len(columns)) + b"".join(c.meta() for c in columns)
        for row in rows:
            out += bytes([TOK_ROW]) + b"".join(c.value(v) for c, v in zip(columns, row))
        return out + done(more | DONE_COUNT, len(rows))


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--folder", required=True)
    args = parser.parse_args()
    server = Server(("127.0.0.1", args.port), Session)
    server.registry = Registry(args.folder)
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main())
