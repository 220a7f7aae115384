#!/usr/bin/env python3
"""Soak of the platform: vttel, headless, on the simulated board's E1 trunks,
every line running tools/soak.vts (answer, prompt, keys, a 30 s recording,
hang up), kept busy by this far end for a bounded time.

    tools/soak.py --program build/release/vttel/vttel --vttelctl build/release/tools/vttelctl
                  [--trunks 8] [--minutes 60] [--wave-seconds 300] [--warmup-minutes 10]
                  [--folder DIR] [--report FILE.md] [--rss-growth-limit PCT]

The far end places a call on every idle line with a capture of what the line
sends and its own voice queued (fresh random A-law bytes per call), presses
keys after the prompt and checks each call when the line hangs up: every
step's board event in order, the recording a valid A-law WAV holding exactly
the injected bytes (30 s x 8,192), what the line sent exactly the prompt's bytes, the
keys in the recording's name. Calls come in waves: between two waves every
line is idle and the process's descriptors and threads must be back at their
idle counts. A monitor client follows the monitor protocol all along and
must see every line change in calls. At the end: no unexpected log line, no
sanitizer report, resident memory flat after the warm-up, the program quits
within its bound.

Exit status 0 when every check passed, 1 when one failed (each failure is
printed), 2 when the soak could not run. The figures go to stdout and, with
--report, into a Markdown table.
"""

import argparse
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

TOOLS = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, TOOLS)
import monitor_client  # noqa: E402
import simboard  # noqa: E402

CHANNELS_PER_TRUNK = 30
RECORD_SECONDS = 30
RECORD_BYTES = RECORD_SECONDS * 8192  # what the board records at most
PROMPT_BYTES = 8000  # one second of the prompt, random A-law
# A board play of a name holding ".WAV" starts this far into the file.
WAV_PLAY_OFFSET = 200
# The order of a whole call's board events on its line.
FLOW = ("CHARGE", "ANSWER", "PLAY", "PLAYEND", "RECORD", "RECORDEND", "RELEASE")
# The board keeps this many of its newest events for its control
# connections: its memory grows until they are reached (part of the warm-up).
BOARD_EVENT_HISTORY = 65536
CALL_DEADLINE_S = 120.0  # from the offer to the release
WAVE_DRAIN_S = 150.0  # for the calls of a wave to end
IDLE_SETTLE_S = 30.0  # for descriptors and threads to come back
SAMPLE_EVERY_S = 5.0
MONITOR_EVERY_S = 1.0
ANSWER_GOAL_S = 1.0
PAGE = os.sysconf("SC_PAGE_SIZE")
TICKS = os.sysconf("SC_CLK_TCK")
# Log lines a soak call writes that do not name a fault.
EXPECTED_LOG = re.compile(r"GetKeys\('\d+'\), len=\d+\.")
SUSPECT_LOG = re.compile(r"err|fail|timeout|exception|invalid|refused|cannot|lost|overflow|"
                         r"leak|abort|denied|not found", re.IGNORECASE)
SANITIZER_REPORT = re.compile(r"Sanitizer|runtime error:")


# --- The program folder. ---

def wav_alaw(data):
    """A 44-byte-header A-law WAV file of the bytes."""
    fmt = struct.pack("<HHIIHH", 6, 1, 8000, 8000, 1, 8)
    return (b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE" +
            b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)


def wav_samples(blob):
    """The data chunk of an 8 kHz mono A-law WAV file; raises ValueError."""
    if len(blob) < 12 or blob[:4] != b"RIFF" or blob[8:12] != b"WAVE":
        raise ValueError("no RIFF WAVE header")
    (riff_size,) = struct.unpack_from("<I", blob, 4)
    if riff_size != len(blob) - 8:
        raise ValueError("RIFF size %d for %d bytes" % (riff_size, len(blob)))
    at, fmt = 12, None
    while at + 8 <= len(blob):
        tag, size = blob[at:at + 4], struct.unpack_from("<I", blob, at + 4)[0]
        body = blob[at + 8:at + 8 + size]
        if len(body) != size:
            raise ValueError("chunk %r cut short" % tag)
        if tag == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body, 0)
        elif tag == b"data":
            if fmt is None or fmt[0] != 6 or fmt[1] != 1 or fmt[2] != 8000 or fmt[5] != 8:
                raise ValueError("format %r is not 8 kHz mono A-law" % (fmt,))
            return body
        at += 8 + size + (size & 1)
    raise ValueError("no data chunk")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_folder(home, lines, port, script):
    for sub in ("voc/rec", "far"):
        os.makedirs(os.path.join(home, sub), exist_ok=True)
    os.makedirs(os.path.join(home, "run"), mode=0o700, exist_ok=True)
    with open(os.path.join(home, "VtTelRun.cfg"), "w") as f:
        f.write("IS_SHOW_FORM=no\nLANGUAGE_TYPE=EN\nIS_WRITE_LOG=1\nIS_IMMEDIATE_LOG=0\n"
                "LOG_FILE=vttel.log\nLOG_SIZE=80\nDISP_DELAY=500\nLOAD_DELAY=5\n"
                "VIR_LINES_NUM=0\nMONITOR_PORT=%d\nMONITOR_MAX_CONN=1\n0-%d=soak.vts\n"
                % (port, lines - 1))
    with open(os.path.join(home, "SimBoard.ini"), "w") as f:
        f.write("Trunks=%d\nStrict=1\nJournal=0\n" % (lines // CHANNELS_PER_TRUNK))
    with open(os.path.join(home, "Card.ini"), "w") as f:
        f.write("CONF=NO\nFAX=NO\n")
    shutil.copy(script, os.path.join(home, "soak.vts"))
    prompt = wav_alaw(os.urandom(PROMPT_BYTES))
    with open(os.path.join(home, "voc", "prompt.WAV"), "wb") as f:
        f.write(prompt)
    return prompt[WAV_PLAY_OFFSET:]


# --- The process. ---

class Process:
    """Processor time, resident memory, threads and descriptors of a pid."""

    def __init__(self, pid):
        self.pid = pid

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS

    def rss_bytes(self):
        with open("/proc/%d/statm" % self.pid) as f:
            return int(f.read().split()[1]) * PAGE

    def threads(self):
        return len(os.listdir("/proc/%d/task" % self.pid))

    def descriptors(self):
        return len(os.listdir("/proc/%d/fd" % self.pid))


def log_files(home):
    return sorted(os.path.join(home, n) for n in os.listdir(home)
                  if n.startswith("vttel") and n.endswith(".log"))


def log_bytes(home):
    return sum(os.path.getsize(p) for p in log_files(home))


def log_text(home):
    return b"".join(open(p, "rb").read() for p in log_files(home)).decode("gbk", "replace")


# --- The monitor client. ---

class MonitorWatch(threading.Thread):
    """Asks the monitor server for news every second; notes the lines whose
    cells changed once calls began, and any protocol fault."""

    def __init__(self, port, lines):
        super().__init__(daemon=True)
        self.port, self.lines = port, lines
        self.calls_began = threading.Event()
        self.stop = threading.Event()
        self.seen = set()
        self.updates = 0
        self.error = None

    def run(self):
        try:
            with monitor_client.MonitorClient(port=self.port, timeout=10.0) as client:
                while not self.stop.wait(MONITOR_EVERY_S):
                    update = client.request()
                    self.updates += 1
                    if update.line_count != self.lines:
                        raise monitor_client.ProtocolError("%d lines" % update.line_count)
                    if self.calls_began.is_set():
                        self.seen.update(r.line for r in update.records)
        except Exception as e:  # any fault of the protocol or the server ends the watch
            self.error = "%s: %s" % (type(e).__name__, e)


# --- The far end. ---

class Call:
    def __init__(self, line, number, now):
        self.line, self.number, self.offered = line, number, now
        self.keys = "%03d" % (number % 1000)
        self.events = []
        self.answered = None
        self.record_file = None
        self.inject = None
        self.voice = b""


class Soak:
    def __init__(self, args, home, prompt_played, proc):
        self.args, self.home, self.prompt_played, self.proc = args, home, prompt_played, proc
        self.lines = args.trunks * CHANNELS_PER_TRUNK
        sock = os.path.join(home, "simboard.sock")
        self.requests = simboard.Client(sock, timeout=10.0)
        self.events = simboard.Client(sock, timeout=10.0)
        self.events.events()
        self.calls = {}  # line -> Call
        self.next_offer = {}  # line -> earliest time of its next call
        self.offered = self.completed = self.refused = 0
        self.latencies = []
        self.failures = []
        self.last_seq = None

    def fail(self, what):
        if len(self.failures) < 200:
            self.failures.append(what)
        print("FAIL " + what, flush=True)

    def offer(self, line, now):
        """Captures what the line sends and calls it; then queues the
        caller's voice until the line records. False when the board refused
        the call (the line not yet free again)."""
        call = Call(line, self.offered, time.monotonic())
        addr = "E%d" % line
        # The capture starts before the offer: a waiting line answers and
        # starts its prompt at once, sooner than a request after the offer.
        self.requests.capture_start(addr, os.path.join("far", "cap%d.raw" % line))
        try:
            self.requests.call(addr, "1390000%04d" % line, "8001")
        except simboard.Error:
            self.requests.capture_stop(addr)
            self.refused += 1
            self.next_offer[line] = now + 0.5
            return False
        self.calls[line] = call
        self.offered += 1
        call.voice = os.urandom(RECORD_BYTES)
        call.inject = os.path.join(self.home, "far", "in%d_%d.raw" % (line, call.number))
        with open(call.inject, "wb") as f:
            f.write(call.voice)
        self.requests.inject(addr, call.inject)
        return True

    def on_event(self, text, now):
        words = text.split()
        if len(words) < 4:
            return self.fail("malformed event " + text)
        seq, kind, addr = int(words[1]), words[2], words[3]
        if self.last_seq is not None and seq != self.last_seq + 1:
            self.fail("events %d to %d lost" % (self.last_seq + 1, seq - 1))
        self.last_seq = seq
        if not addr.startswith("E"):
            return
        line = int(addr[1:])
        call = self.calls.get(line)
        if call is None:
            return self.fail("%s without a call" % text)
        call.events.append(kind)
        if kind == "ANSWER" and call.answered is None:
            call.answered = now
            self.latencies.append(now - call.offered)
        elif kind == "PLAYEND" and call.events.count("PLAYEND") == 1:
            self.requests.keys(addr, call.keys + "#", 100)
        elif kind == "RECORD":
            call.record_file = words[4] if len(words) > 4 else ""
            if words[-1] != str(RECORD_BYTES):
                self.fail("%s: record of %s bytes" % (addr, words[-1]))
        elif kind == "RECORDEND" and words[-1] != str(RECORD_BYTES):
            self.fail("%s: recording ended at %s bytes" % (addr, words[-1]))
        elif kind == "RELEASE":
            self.finish(call, now)

    def finish(self, call, now):
        addr = "E%d" % call.line
        del self.calls[call.line]
        self.next_offer[call.line] = now + 0.2
        self.requests.capture_stop(addr)
        capture_path = os.path.join(self.home, "far", "cap%d.raw" % call.line)
        problems = []
        if [e for e in call.events if e in FLOW] != list(FLOW):
            problems.append("events " + " ".join(call.events))
        expected = "line%d_%s.WAV" % (call.line, call.keys)
        if call.record_file is None or not call.record_file.upper().endswith(expected.upper()):
            problems.append("recorded into %r, not %s" % (call.record_file, expected))
        else:
            path = os.path.join(self.home, "voc", "rec", expected)
            try:
                with open(path, "rb") as f:
                    samples = wav_samples(f.read())
                if samples != call.voice:
                    problems.append("recording of %d bytes unlike the %d injected"
                                    % (len(samples), len(call.voice)))
                os.remove(path)
            except (OSError, ValueError) as e:
                problems.append("recording: %s" % e)
            if os.path.exists(path[:-4] + "._wa"):
                problems.append("the raw recording stayed")
        try:
            with open(capture_path, "rb") as f:
                sent = f.read()
                if sent != self.prompt_played:
                    problems.append("the line sent %d bytes, not the %d of the prompt"
                                    % (len(sent), len(self.prompt_played)))
            os.remove(capture_path)
        except OSError as e:
            problems.append("capture: %s" % e)
        os.remove(call.inject)
        if problems:
            self.fail("%s call %d: %s" % (addr, call.number, "; ".join(problems)))
        else:
            self.completed += 1

    def read_events(self, until):
        """Handles the board's events until the time (at once: those waiting)."""
        while True:
            event = self.events.next_event(max(0.0, until - time.monotonic()))
            if event is None:
                return
            self.on_event(event, time.monotonic())

    def pump(self, until, offering, to_the_end=False):
        """Handles events and offers calls until the time; with offering off
        and not to_the_end, only until no call is left."""
        while True:
            now = time.monotonic()
            if now >= until or (not offering and not to_the_end and not self.calls):
                return
            if offering:
                for line in range(self.lines):
                    if self.offered >= self.args.max_calls:
                        break
                    if line not in self.calls and self.next_offer.get(line, 0) <= now:
                        if self.offer(line, now):
                            self.read_events(0)  # an answer's time as it comes
                        now = time.monotonic()
            for call in list(self.calls.values()):
                if now - call.offered > CALL_DEADLINE_S:
                    self.fail("E%d call %d: no end within %d s: %s" % (
                        call.line, call.number, CALL_DEADLINE_S, " ".join(call.events)))
                    self.requests.hangup("E%d" % call.line)
                    self.finish(call, now)
            self.read_events(min(until, now + 0.2))
            if self.proc.poll() is not None:
                raise RuntimeError("vttel ended with status %d" % self.proc.returncode)

    def connected(self):
        return sum(1 for c in self.calls.values() if c.answered is not None)


def wait_for_lines(home, lines, proc, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            return False
        text = log_text(home)
        if all(("%d Run: tId:" % n) in text for n in (0, lines - 1)) and \
                text.count(" Run: tId:") >= lines:
            return True
        time.sleep(1.0)
    return False


def mib(n):
    return n / 1048576.0


def run(args):
    lines = args.trunks * CHANNELS_PER_TRUNK
    home = args.folder or tempfile.mkdtemp(prefix="soak.", dir=os.getcwd())
    os.makedirs(home, exist_ok=True)
    port = free_port()
    prompt = write_folder(home, lines, port, os.path.join(TOOLS, "soak.vts"))
    env = dict(os.environ, VTTEL_HOME=home, XDG_RUNTIME_DIR=os.path.join(home, "run"),
               VTTEL_HEADLESS="1", SIMBOARD_SOCKET=os.path.join(home, "simboard.sock"),
               VTTEL_SOUND="null")
    out = open(os.path.join(home, "vttel.out"), "wb")
    started = time.monotonic()
    proc = subprocess.Popen([args.program], cwd=home, env=env, stdout=out, stderr=out)
    figures, failures = {}, []
    soak = monitor = None
    try:
        if not wait_for_lines(home, lines, proc, args.start_seconds):
            print("vttel did not start its %d lines within %d s" % (lines, args.start_seconds))
            return 2, figures, failures
        figures["start_s"] = time.monotonic() - started
        p = Process(proc.pid)
        monitor = MonitorWatch(port, lines)
        monitor.start()
        soak = Soak(args, home, prompt, proc)
        # Idle: every line waiting for a call.
        time.sleep(3.0)
        cpu0, t0 = p.cpu_seconds(), time.monotonic()
        soak.pump(t0 + args.idle_seconds, offering=False, to_the_end=True)
        figures["idle_cores"] = (p.cpu_seconds() - cpu0) / (time.monotonic() - t0)
        idle_fds, idle_threads, idle_rss = p.descriptors(), p.threads(), p.rss_bytes()
        figures.update(idle_fds=idle_fds, idle_threads=idle_threads, idle_rss=idle_rss)
        print("idle: %.3f cores, %d fds, %d threads, %.1f MiB" % (
            figures["idle_cores"], idle_fds, idle_threads, mib(idle_rss)), flush=True)
        monitor.calls_began.set()
        log0 = log_bytes(home)
        soak_start = time.monotonic()
        end = soak_start + args.minutes * 60
        idle_points = []  # (seconds into the soak, rss, board history full) between waves
        busy_cpu = busy_wall = busy_connected = 0.0
        peak_rss = idle_rss
        wave = 0
        while time.monotonic() < end and soak.offered < args.max_calls:
            wave += 1
            wave_end = min(end, time.monotonic() + args.wave_seconds)
            while time.monotonic() < wave_end:
                cpu_a, t_a, connected_a = p.cpu_seconds(), time.monotonic(), soak.connected()
                soak.pump(min(wave_end, t_a + SAMPLE_EVERY_S), offering=True)
                cpu_b, t_b, connected_b = p.cpu_seconds(), time.monotonic(), soak.connected()
                peak_rss = max(peak_rss, p.rss_bytes())
                if min(connected_a, connected_b) >= 0.95 * lines:
                    busy_cpu += cpu_b - cpu_a
                    busy_wall += t_b - t_a
                    busy_connected += (connected_a + connected_b) / 2 * (t_b - t_a)
            soak.pump(time.monotonic() + WAVE_DRAIN_S, offering=False)
            for call in list(soak.calls.values()):
                soak.fail("E%d call %d still up after the wave" % (call.line, call.number))
            settle = time.monotonic() + IDLE_SETTLE_S
            while time.monotonic() < settle and (p.descriptors(), p.threads()) != (idle_fds, idle_threads):
                soak.pump(time.monotonic() + 1.0, offering=False, to_the_end=True)
            fds, threads, rss = p.descriptors(), p.threads(), p.rss_bytes()
            idle_points.append((time.monotonic() - soak_start, rss,
                                (soak.last_seq or 0) >= BOARD_EVENT_HISTORY))
            print("wave %d: %d calls offered, %d complete, %d fds, %d threads, %.1f MiB" % (
                wave, soak.offered, soak.completed, fds, threads, mib(rss)), flush=True)
            if fds != idle_fds or threads != idle_threads:
                soak.fail("after wave %d: %d descriptors, %d threads (idle: %d, %d)" % (
                    wave, fds, threads, idle_fds, idle_threads))
        figures["soak_s"] = time.monotonic() - soak_start
        figures["waves"] = wave
        figures["offered"], figures["completed"] = soak.offered, soak.completed
        figures["refused"] = soak.refused
        figures["log_bytes_per_call"] = (log_bytes(home) - log0) / max(1, soak.offered)
        figures["peak_rss"] = peak_rss
        if busy_wall > 0:
            figures["busy_cores"] = busy_cpu / busy_wall
            figures["busy_connected"] = busy_connected / busy_wall
        lat = sorted(soak.latencies)
        if lat:
            figures["answer_p50_s"] = lat[len(lat) // 2]
            figures["answer_p99_s"] = lat[min(len(lat) - 1, int(len(lat) * 0.99))]
            figures["answer_max_s"] = lat[-1]
            figures["answered_within_goal"] = sum(1 for x in lat if x <= ANSWER_GOAL_S) / len(lat)
        # Warm: after the warm-up minutes and once the board's event history
        # is full (on a short soak it never fills: what it adds is small).
        history_fills = any(full for _, _, full in idle_points)
        warm = [pt for pt in idle_points if pt[0] >= args.warmup_minutes * 60 and
                (pt[2] or not history_fills)] or idle_points[-1:]
        if len(warm) >= 2:
            (ta, ra, _), (tb, rb, _) = warm[0], warm[-1]
            figures["rss_growth_pct"] = (rb - ra) * 100.0 / ra
            figures["warm_from_min"], figures["warm_rss"] = ta / 60, ra
            figures["rss_growth_pct_per_hour"] = figures["rss_growth_pct"] * 3600 / max(1.0, tb - ta)
        failures.extend(soak.failures)
        # The checks at the end.
        if soak.completed != soak.offered:
            failures.append("%d of %d calls went through their whole flow" % (
                soak.completed, soak.offered))
        if figures.get("rss_growth_pct", 0.0) > args.rss_growth_limit:
            failures.append("resident memory grew by %.2f %% after the warm-up" %
                            figures["rss_growth_pct"])
        monitor.stop.set()
        monitor.join(15.0)
        if monitor.error:
            failures.append("monitor client: " + monitor.error)
        missing = sorted(set(range(lines)) - monitor.seen)
        if missing:
            failures.append("the monitor client saw no change on %d lines (first %d)" % (
                len(missing), missing[0]))
        figures["monitor_updates"] = monitor.updates
        soak.requests.close()
        soak.events.close()
        quit_start = time.monotonic()
        subprocess.run([args.vttelctl, "quit"], env=env, timeout=30, stdout=subprocess.DEVNULL)
        try:
            status = proc.wait(args.quit_seconds)
            figures["quit_s"] = time.monotonic() - quit_start
            if status != 0:
                failures.append("vttel ended with status %d" % status)
        except subprocess.TimeoutExpired:
            failures.append("vttel did not quit within %d s" % args.quit_seconds)
        suspects = [ln for ln in log_text(home).splitlines()
                    if SUSPECT_LOG.search(ln) and not EXPECTED_LOG.search(ln)]
        for ln in suspects[:10]:
            failures.append("log: " + ln.strip())
        out.flush()
        with open(os.path.join(home, "vttel.out"), "rb") as f:
            reports = [ln for ln in f.read().decode("utf-8", "replace").splitlines()
                       if SANITIZER_REPORT.search(ln)]
        for ln in reports[:10]:
            failures.append("stderr: " + ln.strip())
        figures["generator_cpu_s"] = sum(os.times()[:2])
        figures["lines"] = lines
        return (1 if failures else 0), figures, failures
    except (OSError, RuntimeError, simboard.Error, TimeoutError, ConnectionError) as e:
        failures.append("%s: %s" % (type(e).__name__, e))
        return 1, figures, failures
    finally:
        if monitor is not None:
            monitor.stop.set()
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        out.close()
        if not args.keep and not args.folder:
            shutil.rmtree(home, ignore_errors=True)


def report(figures, failures, args):
    f = figures
    lines = f.get("lines", args.trunks * CHANNELS_PER_TRUNK)
    rows = [
        ("lines (E1 channels)", "%d" % lines),
        ("soak length", "%.1f min in %d waves" % (f.get("soak_s", 0) / 60, f.get("waves", 0))),
        ("calls offered / through their whole flow", "%d / %d" % (f.get("offered", 0),
                                                                   f.get("completed", 0))),
        ("offers the board refused (line not yet free)", "%d" % f.get("refused", 0)),
        ("start-up until every line runs", "%.1f s" % f.get("start_s", 0)),
        ("processor, all lines idle", "%.2f %% of a core" % (100 * f.get("idle_cores", 0))),
        ("processor, connected calls", "%.1f %% of a core with %.0f calls up" % (
            100 * f.get("busy_cores", 0), f.get("busy_connected", 0))),
        ("processor per idle line", "%.4f %% of a core" % (100 * f.get("idle_cores", 0) / lines)),
        ("processor per connected line", "%.3f %% of a core" % (
            100 * (f.get("busy_cores", 0) - f.get("idle_cores", 0)) / max(1, f.get("busy_connected", 1)))),
        ("resident memory idle / peak", "%.1f / %.1f MiB" % (mib(f.get("idle_rss", 0)),
                                                             mib(f.get("peak_rss", 0)))),
        ("memory per line (idle, whole process)", "%.1f KiB" % (f.get("idle_rss", 0) / 1024 / lines)),
        ("memory per connected call", "%.1f KiB" % ((f.get("peak_rss", 0) - f.get("idle_rss", 0)) /
                                                    1024 / max(1, f.get("busy_connected", 1)))),
        ("resident memory growth after warm-up", "%.2f %% from %.1f MiB at minute %.0f (%.2f %%/hour)"
         % (f.get("rss_growth_pct", 0), mib(f.get("warm_rss", 0)), f.get("warm_from_min", 0),
            f.get("rss_growth_pct_per_hour", 0))),
        ("answered within 1 s (CALL to ANSWER)", "%.2f %%" % (100 * f.get("answered_within_goal", 0))),
        ("answer time median / 99 % / max", "%.0f / %.0f / %.0f ms" % (
            1000 * f.get("answer_p50_s", 0), 1000 * f.get("answer_p99_s", 0),
            1000 * f.get("answer_max_s", 0))),
        ("log bytes per call", "%.0f" % f.get("log_bytes_per_call", 0)),
        ("idle descriptors / threads", "%d / %d" % (f.get("idle_fds", 0), f.get("idle_threads", 0))),
        ("monitor updates read", "%d" % f.get("monitor_updates", 0)),
        ("quit", "%.1f s" % f.get("quit_s", -1)),
        ("load generator processor", "%.1f s" % f.get("generator_cpu_s", 0)),
        ("failures", "%d" % len(failures)),
    ]
    text = "| figure | value |\n|---|---|\n" + "".join("| %s | %s |\n" % r for r in rows)
    sys.stdout.write(text)
    for failure in failures:
        sys.stdout.write("FAILED: %s\n" % failure)
    if args.report:
        with open(args.report, "w") as out:
            out.write(text)
            for failure in failures:
                out.write("\nFAILED: %s\n" % failure)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--program", required=True, help="the vttel program")
    p.add_argument("--vttelctl", required=True)
    p.add_argument("--trunks", type=int, default=8)
    p.add_argument("--minutes", type=float, default=60)
    p.add_argument("--wave-seconds", type=float, default=300)
    p.add_argument("--warmup-minutes", type=float, default=10)
    p.add_argument("--idle-seconds", type=float, default=20)
    p.add_argument("--start-seconds", type=int, default=180)
    p.add_argument("--quit-seconds", type=int, default=20)
    p.add_argument("--max-calls", type=int, default=100000)
    p.add_argument("--rss-growth-limit", type=float, default=1.0,
                   help="percent of growth allowed after the warm-up")
    p.add_argument("--folder", help="program folder to use (kept); default a temporary one")
    p.add_argument("--keep", action="store_true", help="keep the temporary folder")
    p.add_argument("--report", help="Markdown file for the figures")
    args = p.parse_args(argv)
    args.program, args.vttelctl = os.path.abspath(args.program), os.path.abspath(args.vttelctl)
    if args.folder:
        args.folder = os.path.abspath(args.folder)
    status, figures, failures = run(args)
    report(figures, failures, args)
    return status


if __name__ == "__main__":
    sys.exit(main())
