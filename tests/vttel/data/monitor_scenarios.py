#!/usr/bin/env python3
"""Monitoring clients acting against a running vttel, one scenario a run.

    monitor_scenarios.py --port P [--lines N] SCENARIO

Scenarios:
    replace   one client per machine with a limit of one: a second machine
              is closed at once, a reconnect from the first replaces it
    requests  a short request gets no answer, two requests sent at once get
              two updates over two polls
    first     a new client's first update holds every cell of every line in
              line order and the summary; the texts are GBK
    running   line 0 shows the running word in its running colours
    call      waits for line 0's status to become the connected word
    cut       a first update of many lines is cut near 25,000 bytes and the
              next ones go on where it stopped
    stall     a client that asks and never reads does not hold up another
    user      line 0's user cells show "B", "42" and "1.5", the first in the
              colours 4 on 13 that were set before it changed

Prints "ok <scenario>" and exits 0 when every check held; otherwise prints
"FAIL <what>" lines and exits 1.
"""

import argparse
import os
import select
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tools"))
import monitor_client  # noqa: E402

CELLS = 8
CELL_LINE, CELL_STATUS, CELL_KEYS = 0, 2, 3
CELL_USER = 5
TEXT_MAX = 40
UPDATE_CUT = 25000
# Longest record: head, 40 text bytes and the NUL; longest end record: head,
# 511 summary bytes and the NUL.
RECORD_MAX = monitor_client.RECORD_HEAD.size + TEXT_MAX + 1
END_RECORD_MAX = monitor_client.RECORD_HEAD.size + 512
POLL_S = 0.08
STALL_WATCH_S = 3.0
QUIET_S = 0.5
RUNNING = "运行".encode("gbk")
UNSET = "未配置".encode("gbk")
CONNECTED = "连通".encode("gbk")
SUMMARY_WORD = "连通数:".encode("gbk")
# The keys text that line 0's script shows again and again in the cut scenario.
LONG_KEYS = b"K" * 60
OTHER_MACHINE = "127.0.0.2"

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def arrives_within(sock, seconds):
    """True when the socket turns readable (data or close) in time."""
    readable, _, _ = select.select([sock], [], [], seconds)
    return bool(readable)


def closed_without_data(sock, seconds):
    """Reads until the server closes; the bytes that came before it, or
    None when the socket stayed open."""
    got = b""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not arrives_within(sock, deadline - time.monotonic()):
            return None
        try:
            chunk = sock.recv(65536)
        except ConnectionResetError:
            return got
        if not chunk:
            return got
        got += chunk
    return None


def in_line_order(update):
    keys = [(r.line, r.cell) for r in update.records]
    return all(a < b for a, b in zip(keys, keys[1:]))


def end_record_size(update):
    return monitor_client.RECORD_HEAD.size + len(update.summary_raw) + 1


def scenario_replace(args):
    first = monitor_client.MonitorClient(port=args.port)
    check(first.request().line_count == args.lines, "first client: line count")
    other = monitor_client.MonitorClient(port=args.port, bind=OTHER_MACHINE)
    try:
        other.send_request()
    except OSError:
        pass  # already closed
    got = closed_without_data(other.sock, 5.0)
    check(got == b"", "second machine: %r instead of a close without data" % got)
    other.close()
    # The refused machine took nothing from the first client.
    check(first.request().line_count == args.lines, "first client after the refusal")

    second = monitor_client.MonitorClient(port=args.port)
    update = second.request()
    check(len(update.records) == CELLS * args.lines,
          "replacing client's first update: %d records" % len(update.records))
    got = closed_without_data(first.sock, 5.0)
    check(got == b"", "replaced client: %r instead of a close" % got)
    check(second.request().line_count == args.lines, "replacing client's next update")
    first.close()
    second.close()


def scenario_requests(args):
    with monitor_client.MonitorClient(port=args.port) as client:
        client.request()
        # Parts of a request are dropped, not joined: 3 bytes, then 2.
        for part in (b"abc", b"de"):
            client.send_request(part)
            check(not arrives_within(client.sock, QUIET_S), "answer to %d bytes" % len(part))
        client.send_request(b"0123456789")
        client.read_update()
        after_first = time.monotonic()
        client.read_update()
        gap = time.monotonic() - after_first
        check(gap >= POLL_S / 2, "two updates in one poll (%.3f s apart)" % gap)
        check(not arrives_within(client.sock, QUIET_S), "a third update for 10 bytes")
        # The connection is still served.
        check(client.request().line_count == args.lines, "request after the short ones")


def scenario_first(args):
    with monitor_client.MonitorClient(port=args.port) as client:
        update = client.request()
    expected = [(line, cell) for line in range(args.lines) for cell in range(CELLS)]
    got = [(r.line, r.cell) for r in update.records]
    check(got == expected, "first update: %d records, not every cell in line order" % len(got))
    check(update.line_count == args.lines, "line count %d" % update.line_count)
    cells = {(r.line, r.cell): r for r in update.records}
    for line in range(args.lines):
        head = cells.get((line, CELL_LINE))
        check(head is not None and head.raw.startswith(b"%d : " % line), "line %d's name" % line)
    unset = cells.get((args.lines - 1, CELL_STATUS))
    check(unset is not None and unset.raw == UNSET, "last line status %r" % unset)
    check(unset is not None and (unset.font, unset.background) == (0, 11), "unset colours %r" % unset)
    check(update.summary_raw.startswith(SUMMARY_WORD), "summary %r" % update.summary_raw)


def scenario_running(args):
    with monitor_client.MonitorClient(port=args.port) as client:
        update = client.request()
    running = [r for r in update.records if (r.line, r.cell) == (0, CELL_STATUS)]
    check(running and running[0].raw == RUNNING, "line 0 status %r" % running)
    check(running and (running[0].font, running[0].background) == (0, 15),
          "running colours %r" % running)


def scenario_call(args):
    deadline = time.monotonic() + 15.0
    with monitor_client.MonitorClient(port=args.port) as client:
        while time.monotonic() < deadline:
            update = client.request()
            for r in update.records:
                if (r.line, r.cell) == (0, CELL_STATUS) and r.raw.startswith(CONNECTED):
                    check((r.font, r.background) == (1, 14), "connected colours %r" % r)
                    check(update.summary_raw.startswith(SUMMARY_WORD + b"1."),
                          "summary while connected %r" % update.summary_raw)
                    return
            time.sleep(0.1)
    check(False, "line 0 never shown connected")


def wait_for_keys(args):
    """Until line 0's script shows its keys."""
    deadline = time.monotonic() + 30.0
    with monitor_client.MonitorClient(port=args.port) as client:
        while time.monotonic() < deadline:
            for r in client.request().records:
                if (r.line, r.cell) == (0, CELL_KEYS) and r.raw:
                    return True
            time.sleep(0.1)
    return False


def scenario_user(args):
    deadline = time.monotonic() + 15.0
    cells = {}
    with monitor_client.MonitorClient(port=args.port) as client:
        while time.monotonic() < deadline:
            for r in client.request().records:
                if r.line == 0 and r.cell >= CELL_USER:
                    cells[r.cell] = r
            first = cells.get(CELL_USER)
            if first is not None and first.raw == b"B":
                break
            time.sleep(0.1)
    first = cells.get(CELL_USER)
    check(first is not None and first.raw == b"B", "user cell 0 %r" % first)
    check(first is not None and (first.font, first.background) == (4, 13),
          "user colours %r" % first)
    for cell, text in ((CELL_USER + 1, b"42"), (CELL_USER + 2, b"1.5")):
        got = cells.get(cell)
        check(got is not None and got.raw == text, "user cell %d %r" % (cell - CELL_USER, got))


def was_cut(update):
    return update.size - end_record_size(update) >= UPDATE_CUT - 4


def scenario_cut(args):
    if not check(wait_for_keys(args), "line 0 never showed its keys"):
        return
    # A new connection from the same machine: every cell dirty again.
    with monitor_client.MonitorClient(port=args.port) as client:
        updates = [client.request()]
        while was_cut(updates[-1]) and len(updates) < 10:
            updates.append(client.request())
        time.sleep(0.3)  # line 0 changes its keys cell meanwhile
        again = client.request()
    first = updates[0]
    for u in updates + [again]:
        check(in_line_order(u), "update out of line order")
        check(u.size - 4 <= UPDATE_CUT + RECORD_MAX + END_RECORD_MAX, "update of %d bytes" % u.size)
    check(len(updates) >= 2, "the first update was not cut")
    # Every update but the last was cut after the record that reached the limit.
    for u in updates[:-1]:
        before_end = u.size - end_record_size(u)
        check(UPDATE_CUT - 4 <= before_end <= UPDATE_CUT + 4 + RECORD_MAX,
              "cut update's records end at %d" % before_end)
    check(first.records[0].line == 0, "first update starts at line %d" % first.records[0].line)
    # Each next update went on where the one before stopped: every cell
    # came, and no unchanging cell came twice.
    sent = [(r.line, r.cell) for u in updates for r in u.records]
    every = {(line, cell) for line in range(args.lines) for cell in range(CELLS)}
    check(set(sent) == every, "%d cells never sent" % len(every - set(sent)))
    unchanging = [k for k in sent if k[0] > 0]
    check(len(unchanging) == len(set(unchanging)), "an unchanged cell sent twice")
    for before, after in zip(updates, updates[1:]):
        cut_line = before.records[-1].line
        check(any(r.line > cut_line for r in after.records),
              "no line after %d in the next update" % cut_line)
    # Once all was sent, an update starts again at line 0 with what changed.
    check(again.records and again.records[0].line == 0, "the update after does not start at line 0")
    check(all(r.line == 0 for r in again.records), "unchanged lines sent again")
    # A 60-byte text arrives as its first 40 bytes.
    keys = [r.raw for u in updates + [again] for r in u.records if (r.line, r.cell) == (0, CELL_KEYS)]
    check(keys and all(k == LONG_KEYS[:TEXT_MAX] for k in keys), "keys texts %r" % keys[:2])


def scenario_stall(args):
    # The server's send buffer on loopback holds far more than this client's
    # updates in the scenario's time: it stays connected, stalled.
    stalled = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    stalled.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    stalled.bind((OTHER_MACHINE, 0))
    stalled.connect(("127.0.0.1", args.port))
    stalled.sendall(monitor_client.REQUEST * 400)
    slowest = 0.0
    deadline = time.monotonic() + STALL_WATCH_S
    with monitor_client.MonitorClient(port=args.port, timeout=3.0) as watcher:
        while time.monotonic() < deadline:
            asked = time.monotonic()
            try:
                watcher.request()
            except OSError as e:
                check(False, "watcher lost its updates: %s" % e)
                break
            slowest = max(slowest, time.monotonic() - asked)
            time.sleep(0.1)
    check(slowest < 1.0, "watcher waited %.3f s for an update" % slowest)
    # The stalled client was served meanwhile: its updates wait for it.
    check(arrives_within(stalled, 1.0), "stalled client got nothing")
    stalled.close()


SCENARIOS = {
    "replace": scenario_replace,
    "requests": scenario_requests,
    "first": scenario_first,
    "running": scenario_running,
    "call": scenario_call,
    "cut": scenario_cut,
    "stall": scenario_stall,
    "user": scenario_user,
}


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--lines", type=int, default=30)
    p.add_argument("scenario", choices=sorted(SCENARIOS))
    args = p.parse_args()
    SCENARIOS[args.scenario](args)
    for what in failures:
        print("FAIL %s" % what)
    if failures:
        return 1
    print("ok %s" % args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
