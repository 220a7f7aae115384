#!/usr/bin/env python3
"""A scripted caller for the demo: calls the running demo's E1 lines through
the simulated board's control socket and walks its menu, so that the lines
answer, play, take keys and record in the log and the monitor.

    demo/caller.py [--socket demo/simboard.sock] [--calls 3]

Each call: offer it on the next line (E0, E1, ...), wait for the answer and
the menu, press "1#" (the number read back) or "2#" (a message: the caller
"speaks" a second of a tone, then presses "#"), and wait for the line to hang
up. Every event of the call is printed.
"""

import argparse
import subprocess
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import simboard  # noqa: E402

WAIT_MS = 30000


def alaw_tone(path, seconds=1, hertz=440):
    """Writes a tone as raw A-law bytes (the far end's voice), made by sox."""
    subprocess.run(["sox", "-n", "-r", "8000", "-c", "1", "-e", "a-law", "-t", "raw", path,
                    "synth", str(seconds), "sine", str(hertz)], check=True)


def show(line):
    print(line if line else "(no event in time)")
    return line


def one_call(client, line, choice, tone):
    addr = "E%d" % line
    print("--- call on %s, choosing %s" % (addr, choice))
    client.call(addr, "1390000%04d" % line, "8001")
    show(client.wait("ANSWER", addr, WAIT_MS))
    show(client.wait("PLAY", addr, WAIT_MS))   # the greeting
    show(client.wait("PLAY", addr, WAIT_MS))   # the menu
    client.keys(addr, choice + "#", 200)
    if choice == "2":
        show(client.wait("PLAY", addr, WAIT_MS))  # "please speak"
        client.inject(addr, tone)
        show(client.wait("RECORD", addr, WAIT_MS))
        client.keys(addr, "#")
    show(client.wait("RELEASE", addr, WAIT_MS))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--socket", default=os.path.join(here, "simboard.sock"))
    parser.add_argument("--calls", type=int, default=3)
    args = parser.parse_args()
    tone = os.path.join(here, "caller_tone.raw")
    alaw_tone(tone)
    try:
        client = simboard.Client(args.socket, timeout=WAIT_MS / 1000 + 5)
    except OSError as e:
        print("the demo is not running (%s): start it with ./vttel.sh run" % e)
        return 2
    with client:
        for n in range(args.calls):
            one_call(client, n % 30, "1" if n % 2 == 0 else "2", tone)
    return 0


if __name__ == "__main__":
    sys.exit(main())
