#!/usr/bin/env python3
"""The browser view under load, on 127.0.0.1: panel_host --serve against many
pages (some never reading their stream), held connections, a stream of
steps, stuck image downloads and a moment at the descriptor limit.

It prints figures (RSS of panel_host, step latency, requests answered) and,
with --check, fails on memory and on requests left unanswered, never on a
time: the machine it runs on may be busy.

    web_load.py PANEL_HOST [--short] [--check] [--phases pages,images,limit]

The phases:
  pages   a state of --state-mb MB (rename lines with long names), then
          --pages pages of which --stuck never read, --held idle
          connections, and --steps steps (routes, and a rename every tenth)
  images  --images downloads of an 8 MB image that read nothing
  limit   panel_host at a descriptor limit of 64 meets 80 connections at
          once; then 10 GETs must be answered
"""
import argparse
import os
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SOURCE = os.environ.get("ZELM_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "../../..")))
# Beyond this the server is stopped: the run has shown what it needed to.
RSS_GIVE_UP_MB = 3000


def host_options(layouts):
    options = ["--installation", os.path.join(SOURCE, "examples/installation"), "--layouts", layouts,
               "--color", "never", "--quiet"]
    module = os.environ.get("PANEL_MODULE")
    if module:
        options += ["--module", module]
    return options


class Host:
    """panel_host --serve 127.0.0.1:0 with the ready facility, its port read
    from what it prints."""

    def __init__(self, program, layouts, descriptor_limit=None):
        def limit():
            if descriptor_limit:
                resource.setrlimit(resource.RLIMIT_NOFILE, (descriptor_limit, descriptor_limit))

        self.child = subprocess.Popen(
            [program, *host_options(layouts), "--serve", "127.0.0.1:0",
             os.path.join(SOURCE, "examples/scenarios/operate.scn")],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, preexec_fn=limit)
        self.output = b""
        self.port = None
        deadline = time.time() + 20
        while self.port is None and time.time() < deadline:
            line = self.child.stdout.readline()
            if not line:
                break
            self.output += line
            marker = b"the browser view is at http://127.0.0.1:"
            if marker in line:
                self.port = int(line.split(marker)[1].split(b"/")[0])
        if self.port is None:
            self.stop()
            raise RuntimeError("panel_host printed no URL:\n" + self.output.decode(errors="replace"))
        # The rest of what it prints is read and dropped, so that it never
        # blocks on a full pipe.
        threading.Thread(target=self._drain, daemon=True).start()

    def _drain(self):
        for line in self.child.stdout:
            if b"refus" in line or b"descriptor" in line or b"connections" in line:
                self.output += line

    def memory(self):
        """(VmRSS, VmHWM) in MB, or None once it ended."""
        try:
            with open(f"/proc/{self.child.pid}/status") as status:
                fields = dict(line.split(":", 1) for line in status if ":" in line)
            return int(fields["VmRSS"].split()[0]) / 1024, int(fields["VmHWM"].split()[0]) / 1024
        except (OSError, KeyError):
            return None

    def alive(self):
        return self.child.poll() is None

    def stop(self):
        if self.child.poll() is None:
            self.child.terminate()
            try:
                self.child.wait(10)
            except subprocess.TimeoutExpired:
                self.child.kill()
                self.child.wait()


class Sampler:
    """Samples the server's RSS every 50 ms; stops the server when it runs away."""

    def __init__(self, host):
        self.host = host
        self.peak = 0.0
        self.gave_up = False
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while self.running:
            got = self.host.memory()
            if got is None:
                return
            self.peak = max(self.peak, got[0], got[1])
            if got[0] > RSS_GIVE_UP_MB:
                self.gave_up = True
                self.host.stop()
                return
            time.sleep(0.05)

    def finish(self):
        self.running = False
        self.thread.join(2)
        return self.peak


def connect(port, receive_buffer=None, timeout=5):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if receive_buffer:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    s.settimeout(timeout)
    s.connect(("127.0.0.1", port))
    return s


def read_head(s):
    head = b""
    while b"\r\n\r\n" not in head:
        chunk = s.recv(4096)
        if not chunk:
            break
        head += chunk
    return head


def request(port, method, target, body=b"", timeout=10):
    """(status, body, seconds); status 0 when no answer came in time."""
    start = time.time()
    try:
        s = connect(port, timeout=timeout)
        s.sendall(f"{method} {target} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nContent-Length: {len(body)}\r\n"
                  f"Connection: close\r\n\r\n".encode() + body)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
        s.close()
        status = int(data.split(b" ", 2)[1]) if data.startswith(b"HTTP/1.1 ") else 0
        return status, data.split(b"\r\n\r\n", 1)[-1], time.time() - start
    except OSError:
        return 0, b"", time.time() - start


def step(port, line):
    return request(port, "POST", "/api/step", line.encode())


def open_page(port, stuck):
    """A page's live stream; a stuck one has a small receive buffer and is never read."""
    s = connect(port, receive_buffer=4096 if stuck else None)
    s.sendall(f"GET /api/live HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n".encode())
    if not stuck:
        head = read_head(s)
        if b" 101 " not in head.split(b"\r\n", 1)[0]:
            raise RuntimeError("no live stream: " + head[:200].decode(errors="replace"))
    return s


class Readers:
    """Reads and drops whatever the reading pages are sent."""

    def __init__(self, sockets):
        self.sockets = sockets
        self.bytes = 0
        self.running = True
        for s in sockets:
            s.setblocking(False)
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        import selectors
        chooser = selectors.DefaultSelector()
        for s in self.sockets:
            chooser.register(s, selectors.EVENT_READ)
        while self.running:
            for key, _ in chooser.select(0.1):
                try:
                    chunk = key.fileobj.recv(1 << 20)
                except OSError:
                    chunk = b""
                if not chunk:
                    chooser.unregister(key.fileobj)
                self.bytes += len(chunk)

    def finish(self):
        self.running = False
        self.thread.join(2)


def close_all(sockets):
    for s in sockets:
        try:
            s.close()
        except OSError:
            pass


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))] if ordered else float("nan")


def phase_pages(program, args, figures):
    host = Host(program, os.path.join(SOURCE, "panels/components/Tessaly_Q"))
    sampler = Sampler(host)
    try:
        name_length = 15000
        for i in range(int(args.state_mb * 1e6 / name_length)):
            step(host.port, f"rename 31 1 {i + 1} {chr(65 + i % 26) * name_length}")
        state_status, state, _ = request(host.port, "GET", "/api/state")
        figures["state bytes"] = len(state)
        pages, refused = [], 0
        for i in range(args.pages):
            try:
                pages.append(open_page(host.port, stuck=i < args.stuck))
            except (OSError, RuntimeError):
                refused += 1
        figures["pages refused or not opened in time"] = refused
        held = []
        for _ in range(args.held):
            try:
                held.append(connect(host.port))
            except OSError:
                pass
        readers = Readers(pages[min(args.stuck, len(pages)):])
        latencies, unanswered = [], 0
        for i in range(args.steps):
            if i % 10 == 9:
                line = f"rename 31 1 {1 + i % 200} {chr(97 + i % 26) * name_length}"
            else:
                line = f"route 31 {1 + i % 24} {1 + (i * 7) % 32}"
            status, _, seconds = step(host.port, line)
            if status != 200:
                unanswered += 1
            latencies.append(seconds * 1000)
            if not host.alive():
                break
        readers.finish()
        figures["pages (stuck)"] = f"{args.pages} ({args.stuck})"
        figures["held connections"] = args.held
        figures["steps answered"] = f"{args.steps - unanswered} of {args.steps}"
        figures["step latency ms (median, p95, max)"] = (
            f"{statistics.median(latencies):.1f}, {percentile(latencies, 0.95):.1f}, {max(latencies):.1f}")
        figures["bytes read by the reading pages"] = readers.bytes
        close_all(pages + held)
        time.sleep(1)
        after = host.memory()
        figures["pages: RSS MB at the end"] = f"{after[0]:.0f}" if after else "(ended)"
        return unanswered == 0 and state_status == 200 and refused == 0
    finally:
        peak = sampler.finish()
        figures["pages: peak RSS MB"] = f"{peak:.0f}" + (" (stopped: ran away)" if sampler.gave_up else "")
        host.stop()


def phase_images(program, args, figures):
    folder = tempfile.mkdtemp(prefix="panel-host-load-")
    try:
        layouts = os.path.join(folder, "layouts")
        shutil.copytree(os.path.join(SOURCE, "panels/components/Tessaly_Q"), layouts,
                        ignore=shutil.ignore_patterns("*.cpp", "*.h", "*.txt", "*.map"))
        with open(os.path.join(layouts, "images", "big.png"), "wb") as big:
            big.write(b"\x89PNG\r\n\x1a\n" + os.urandom(8 * 1024 * 1024 - 16))
        host = Host(program, layouts)
        sampler = Sampler(host)
        try:
            downloads, started = [], 0
            for _ in range(args.images):
                s = connect(host.port, receive_buffer=4096, timeout=60)
                s.sendall(f"GET /images/big.png HTTP/1.1\r\nHost: 127.0.0.1:{host.port}\r\n\r\n".encode())
                downloads.append(s)
            # Each answer has begun (its first bytes came); then nothing more is read.
            for s in downloads:
                try:
                    started += s.recv(16).startswith(b"HTTP/1.1 200")
                except OSError:
                    pass
            figures["images: answers begun"] = started
            time.sleep(args.hold)
            during = host.memory()
            close_all(downloads)
            time.sleep(1)
            after = host.memory()
            status, _, _ = request(host.port, "GET", "/images/tick.png")
            figures["images: stuck downloads"] = args.images
            figures["images: RSS MB while stuck, after"] = (
                f"{during[0]:.0f}, {after[0]:.0f}" if during and after else "(ended)")
            return status == 200
        finally:
            peak = sampler.finish()
            figures["images: peak RSS MB"] = f"{peak:.0f}" + (" (stopped: ran away)" if sampler.gave_up else "")
            host.stop()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def phase_limit(program, args, figures):
    host = Host(program, os.path.join(SOURCE, "panels/components/Tessaly_Q"), descriptor_limit=64)
    try:
        crowd = []
        for _ in range(80):
            try:
                crowd.append(connect(host.port, timeout=2))
            except OSError:
                pass
        time.sleep(2)
        close_all(crowd)
        time.sleep(0.5)
        answered = 0
        for _ in range(10):
            status, _, _ = request(host.port, "GET", "/api/state", timeout=3)
            answered += status == 200
        figures["limit: GETs answered after 80 connections at a limit of 64"] = f"{answered} of 10"
        figures["limit: notes"] = " / ".join(
            line.strip() for line in host.output.decode(errors="replace").splitlines()
            if "descriptor" in line or "connections" in line)[:300] or "(none)"
        return answered == 10
    finally:
        host.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("panel_host")
    parser.add_argument("--short", action="store_true", help="the CTest run: fewer steps, shorter holds")
    parser.add_argument("--check", action="store_true", help="fail on memory and on requests left unanswered")
    parser.add_argument("--phases", default="pages,images,limit")
    parser.add_argument("--pages", type=int, default=200)
    parser.add_argument("--stuck", type=int, default=50)
    parser.add_argument("--held", type=int, default=50)
    parser.add_argument("--steps", type=int, default=2000)
    parser.add_argument("--state-mb", type=float, default=4)
    parser.add_argument("--images", type=int, default=200)
    parser.add_argument("--hold", type=float, default=10, help="seconds the image downloads are held")
    parser.add_argument("--max-rss-mb", type=float, default=400, help="--check: the peak RSS allowed")
    args = parser.parse_args()
    if args.short:
        args.steps = min(args.steps, 300)
        args.hold = min(args.hold, 3)
    figures, good = {}, True
    phases = {"pages": phase_pages, "images": phase_images, "limit": phase_limit}
    for name in args.phases.split(","):
        try:
            ok = phases[name](args.panel_host, args, figures)
        except (OSError, RuntimeError) as error:
            figures[name + ": failed"] = str(error)[:200]
            ok = False
        good = good and ok
    for key, value in figures.items():
        print(f"{key:58} {value}")
    if not args.check:
        return 0
    for key in ("pages: peak RSS MB", "images: peak RSS MB"):
        if key in figures and not figures[key].split()[0].replace(".", "").isdigit():
            good = False
        elif key in figures and float(figures[key].split()[0]) > args.max_rss_mb:
            print(f"{key}: above {args.max_rss_mb:.0f} MB")
            good = False
    if "pages: peak RSS MB" in figures and "ran away" in figures["pages: peak RSS MB"]:
        good = False
    print("within bounds" if good else "NOT within bounds")
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
