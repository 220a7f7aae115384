#!/usr/bin/env python3
"""A scripted caller for the demo: calls the running demo's E1 lines through
the simulated board's control socket and walks its menu, so that the lines
answer, play, take keys and record in the log and the monitor.

    demo/caller.py [--socket demo/simboard.sock] [--calls 3] [--menu 1|2] [--together]

Each call: offer it on the next line (E0, E1, ...), wait for the answer and
the menu, press "1#" (the number read back) or "2#" (a message: the caller
"speaks" a second of a tone of its own line's pitch, then presses "#"; the
line records it into its own "voc/en/message<line>.WAV" and plays it back),
and wait for the line to hang up. Every event of the call is printed.

The calls choose "1" and "2" in turn unless --menu says; with --together they
are all placed at once, each on a connection of its own, else one after the
other. The tones are written beside the socket ("caller_tone<line>.raw").
"""

import argparse
import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import simboard  # noqa: E402

WAIT_MS = 30000
LINES = 30
# How long the caller speaks, and how long it waits after that before it
# presses "#": the board takes the voice in real time, so the key must not
# come before the last of it is recorded.
SPEAK_SECONDS = 1
SPEAK_MARGIN_SECONDS = 0.5


def tone_hertz(line):
    """The pitch of a line's caller: tells the lines' recordings apart."""
    return 300 + 20 * line


def alaw_tone(path, seconds, hertz):
    """Writes a tone as raw A-law bytes (the far end's voice), made by sox."""
    subprocess.run(["sox", "-n", "-r", "8000", "-c", "1", "-e", "a-law", "-t", "raw", path,
                    "synth", str(seconds), "sine", str(hertz)], check=True)


def one_call(client, line, choice, tone, lock):
    addr = "E%d" % line

    def show(event):
        with lock:
            print("%s: %s" % (addr, event if event else "(no event in time)"), flush=True)
        return event

    show("call, choosing %s" % choice)
    client.call(addr, "1390000%04d" % line, "8001")
    show(client.wait("ANSWER", addr, WAIT_MS))
    show(client.wait("PLAY", addr, WAIT_MS))   # the greeting
    show(client.wait("PLAY", addr, WAIT_MS))   # the menu
    client.keys(addr, choice + "#", 200)
    if choice == "2":
        show(client.wait("PLAY", addr, WAIT_MS))  # "please speak"
        client.inject(addr, tone)
        if show(client.wait("RECORD", addr, WAIT_MS)):
            time.sleep(SPEAK_SECONDS + SPEAK_MARGIN_SECONDS)  # speaking
        client.keys(addr, "#")
    return show(client.wait("RELEASE", addr, WAIT_MS)) is not None


def call_on_own_connection(socket_path, n, call, lock, results):
    with simboard.Client(socket_path, timeout=WAIT_MS / 1000 + 5) as client:
        results[n] = one_call(client, *call, lock)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--socket", default=os.path.join(here, "simboard.sock"))
    parser.add_argument("--calls", type=int, default=3)
    parser.add_argument("--menu", choices=["1", "2"], help="the key every call chooses")
    parser.add_argument("--together", action="store_true", help="place all calls at once")
    args = parser.parse_args()
    if args.together and args.calls > LINES:
        parser.error("at most %d calls at once" % LINES)
    folder = os.path.dirname(os.path.abspath(args.socket))
    calls = []
    for n in range(args.calls):
        line = n % LINES
        tone = os.path.join(folder, "caller_tone%d.raw" % line)
        if not os.path.exists(tone):
            alaw_tone(tone, SPEAK_SECONDS, tone_hertz(line))
        calls.append((line, args.menu or ("1" if n % 2 == 0 else "2"), tone))
    lock = threading.Lock()
    results = [False] * len(calls)  # True: the call ended with the line's hang-up
    try:
        if args.together:
            threads = [threading.Thread(target=call_on_own_connection,
                                        args=(args.socket, n, call, lock, results))
                       for n, call in enumerate(calls)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
        else:
            with simboard.Client(args.socket, timeout=WAIT_MS / 1000 + 5) as client:
                for n, call in enumerate(calls):
                    results[n] = one_call(client, *call, lock)
    except OSError as e:
        print("the demo is not running (%s): start it with ./vttel.sh run" % e)
        return 2
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
