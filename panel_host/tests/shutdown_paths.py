#!/usr/bin/env python3
"""Ends panel_host every way a run can end, with a router link open, and
checks that each ends soon, in order and with the usual status: the
recording written, the summary printed.

    shutdown_paths.py PANEL_HOST ARGS...

ARGS (installation, layouts, module) are given to every run. Everything
listens on 127.0.0.1 and every wait is bounded; the times measured (signal
to exit) are printed.
"""
import os
import pty
import select
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

panel_host, common = sys.argv[1], sys.argv[2:]
work = tempfile.mkdtemp(prefix="panel_host_shutdown_")
BOUND = 2.0  # seconds from the signal to the exit; the program takes well under one
failures = []
figures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def free_port():
    """A port where nothing listens."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class silent_router:
    """A router that takes the connection and what is sent, and never
    answers: every request waits for its bound."""

    def __init__(self):
        self.server = socket.socket()
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(4)
        self.port = self.server.getsockname()[1]
        # Set once an interrogate or a connect (DLE STX 01 or 02) comes: the
        # tally dump the link asks for first has gone unanswered, and the
        # run waits on the router.
        self.heard = threading.Event()
        self.clients = []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                client, _ = self.server.accept()
            except OSError:
                return
            self.clients.append(client)
            threading.Thread(target=self.read, args=(client,), daemon=True).start()

    def read(self, client):
        received = b""
        while True:
            try:
                data = client.recv(4096)
            except OSError:
                return
            if not data:
                return
            received = (received + data)[-4096:]
            if b"\x10\x02\x01" in received or b"\x10\x02\x02" in received:
                self.heard.set()

    def close(self):
        self.server.close()
        for client in self.clients:
            client.close()


def wait_for_text(fd, text, seconds=30):
    """Reads a terminal's output until `text` shows; returns what was read."""
    seen = b""
    deadline = time.monotonic() + seconds
    while text.encode() not in seen:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            return None
        chunk = os.read(fd, 4096)
        if not chunk:
            return None
        seen += chunk
    return seen.decode(errors="replace")


def ended(process, since, what):
    """Waits (bounded) for the exit; the seconds it took, None when it hung."""
    try:
        process.wait(timeout=BOUND + 8)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        failures.append("%s: still running %.0f s after the signal" % (what, BOUND + 8))
        return None
    took = time.monotonic() - since
    figures.append("%s: %.0f ms" % (what, took * 1000))
    check(took < BOUND, "%s: took %.2f s" % (what, took))
    return took


def recording_is_whole(path, what, first_line="create"):
    try:
        with open(path) as f:
            text = f.read()
    except OSError as error:
        failures.append("%s: no recording: %s" % (what, error))
        return
    check((first_line is None or ("\n" + first_line + "\n") in text) and "# The state at the end of the recording.\n" in text,
          "%s: the recording lacks the session or its final state:\n%s" % (what, text[:400]))


def start(arguments, name, **streams):
    """Starts a run whose output goes to files (a pipe nobody reads would
    stop it); returns it and the two files' paths."""
    out, err = os.path.join(work, name + ".out"), os.path.join(work, name + ".err")
    streams.setdefault("stdout", open(out, "wb"))
    streams.setdefault("stderr", open(err, "wb"))
    return subprocess.Popen([panel_host, "--color", "never", *common, *arguments], **streams), out, err


def read(path):
    with open(path, errors="replace") as f:
        return f.read()


def wait_for_file(path, text, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if text in read(path):
            return True
        time.sleep(0.02)
    return False


def serve_mode(signal_number, name):
    """The browser view with a router link to where nothing listens: the
    link's retries never end the loop; the signal must."""
    record = os.path.join(work, "serve_%s.scn" % name)
    process, out, err = start(["--serve", "127.0.0.1:0", "--router", "31=swp08:127.0.0.1:%d" % free_port(),
                               "--record", record], "serve_" + name)
    if not wait_for_file(out, "the browser view is at"):
        failures.append("serve %s: the browser view never started" % name)
        process.kill()
        process.wait()
        return
    since = time.monotonic()
    process.send_signal(signal_number)
    if ended(process, since, "serve mode, %s" % name) is None:
        return
    check(process.returncode == 0, "serve %s: exit status %d\n%s" % (name, process.returncode, read(err)))
    recording_is_whole(record, "serve %s" % name)


def scenario_waiting(second_signal):
    """A scenario whose router never answers: the signal comes while a step
    waits for the router; a second Ctrl-C cuts the wait's grace. The time
    it took."""
    router = silent_router()
    scenario = os.path.join(work, "waits.scn")
    with open(scenario, "w") as f:
        f.write("create\nset matrixobject MTX\nset uselevels 1,2,3\nroute 31 2 3\nroute 31 4 3\nexpect enabled Take\n")
    record = os.path.join(work, "waits_%d.scn" % second_signal)
    what = "scenario waiting for a router, Ctrl-C" + (" twice" if second_signal else "")
    process, _, err = start(["--router", "31=swp08:127.0.0.1:%d" % router.port, "--record", record, scenario],
                            "waits_%d" % second_signal)
    if not router.heard.wait(30):
        failures.append(what + ": the router heard nothing")
    since = time.monotonic()
    process.send_signal(signal.SIGINT)
    if second_signal:
        time.sleep(0.1)
        process.send_signal(signal.SIGINT)
    took = ended(process, since, what)
    router.close()
    if took is None:
        return None
    err = read(err)
    check(process.returncode == 1, "%s: exit status %d, not 1\n%s" % (what, process.returncode, err))
    check("the run was ended (SIGINT) before this line" in err, what + ": no failure for the lines left:\n" + err)
    # The run may still wait for the router's state before its first line,
    # so the session may hold no line yet; the file must still be whole.
    recording_is_whole(record, what, first_line=None)
    return took


def long_scenario():
    """A long scenario without links, interrupted: it stops between lines."""
    scenario = os.path.join(work, "long.scn")
    with open(scenario, "w") as f:
        f.write("create\nsay running\n" + "set srcpkg 1\nset srcpkg 2\n" * 200000)
    record = os.path.join(work, "long_record.scn")
    process, out, err = start(["-q", "--record", record, scenario], "long")
    if not wait_for_file(out, "running"):
        failures.append("long scenario: never ran")
    since = time.monotonic()
    process.send_signal(signal.SIGTERM)
    if ended(process, since, "long scenario without links, SIGTERM") is None:
        return
    err = read(err)
    check(process.returncode == 1, "long scenario: exit status %d, not 1\n%s" % (process.returncode, err))
    check("the run was ended (SIGTERM) before this line" in err, "long scenario: no failure for the lines left\n" + err)
    recording_is_whole(record, "long scenario")


def closed_output():
    """`panel_host ... | head -c 200`: the output closes early."""
    scenario = os.path.join(work, "talks.scn")
    with open(scenario, "w") as f:
        f.write("create\n" + "set srcpkg 1\nset srcpkg 2\n" * 20000)
    process, _, err = start([scenario], "closed", stdout=subprocess.PIPE)
    os.read(process.stdout.fileno(), 200)
    process.stdout.close()
    since = time.monotonic()
    if ended(process, since, "closed output, without links") is None:
        return
    err = read(err)
    check(process.returncode == 1, "closed output: exit status %d, not 1 (-13 is SIGPIPE)\n%s"
          % (process.returncode, err))
    check("the standard output was closed" in err, "closed output: not said\n" + err)


def prompt(signal_number, name):
    """The prompt with a router link open, a line half typed."""
    record = os.path.join(work, "prompt_%s.scn" % name)
    home = tempfile.mkdtemp(prefix="home_", dir=work)
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(panel_host, [panel_host, "--color", "never", *common, "--router",
                               "31=swp08:127.0.0.1:%d" % free_port(), "--record", record],
                  dict(os.environ, HOME=home, TERM="dumb"))
    if wait_for_text(fd, "panel_host> ") is None:
        failures.append("prompt %s: no prompt" % name)
    os.write(fd, b"create\n")
    wait_for_text(fd, "panel_host> ")
    os.write(fd, b"set srcpkg")
    wait_for_text(fd, "set srcpkg")
    since = time.monotonic()
    os.kill(pid, signal_number)
    output = b""
    deadline = since + BOUND + 8
    status = None
    while time.monotonic() < deadline:
        ready = select.select([fd], [], [], 0.05)[0]
        if ready:
            try:
                output += os.read(fd, 4096)
            except OSError:
                pass
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            break
    else:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
        failures.append("prompt %s: still running; the terminal showed:\n%s"
                        % (name, output.decode(errors="replace")[-2000:]))
        return
    took = time.monotonic() - since
    figures.append("prompt, %s: %.0f ms" % (name, took * 1000))
    check(took < BOUND, "prompt %s: took %.2f s" % (name, took))
    os.close(fd)
    check(os.waitstatus_to_exitcode(status) == 0, "prompt %s: exit status %d\n%s"
          % (name, os.waitstatus_to_exitcode(status), output.decode(errors="replace")))
    check(os.path.exists(os.path.join(home, ".panel_host_history")), "prompt %s: no history kept" % name)
    recording_is_whole(record, "prompt " + name)


for number, name in ((signal.SIGINT, "SIGINT"), (signal.SIGTERM, "SIGTERM"), (signal.SIGHUP, "SIGHUP")):
    serve_mode(number, name)
once = scenario_waiting(False)
twice = scenario_waiting(True)
# The first Ctrl-C lets the wait go on for its grace (half a second); the
# second, 0.1 s later, ends it.
if once is not None and twice is not None:
    check(twice < once - 0.2, "the second Ctrl-C did not end the wait at once: %.2f s, %.2f s with one"
          % (twice, once))
long_scenario()
closed_output()
prompt(signal.SIGTERM, "SIGTERM")
prompt(signal.SIGHUP, "SIGHUP")

print("signal (or closed output) to exit:")
for figure in figures:
    print("  " + figure)
if failures:
    sys.exit("\n".join(failures))
