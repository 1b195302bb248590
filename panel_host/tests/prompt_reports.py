#!/usr/bin/env python3
"""Another controller routes on a router while panel_host's prompt waits:
the route reaches the panel and shows at once, without a line typed, and a
line half typed is drawn again under it, whole. The screen a person sees is
compared with an expected one.

    prompt_reports.py PANEL_HOST ROUTER_DOUBLE INSTALLATION LAYOUTS EXPECTED

The router double listens on 127.0.0.1; "another controller" is a second
client of it that sends a Videohub routing block. Every wait is bounded.
"""
import os
import pty
import re
import select
import signal
import socket
import subprocess
import sys
import tempfile
import time

panel_host, router_double, installation, layouts, expected_file = sys.argv[1:6]
home = tempfile.mkdtemp(prefix="panel_host_reports_")
with open(os.path.join(home, "inputrc"), "w") as rc:
    rc.write("set enable-bracketed-paste off\n")
environment = dict(os.environ, HOME=home, TERM="dumb", INPUTRC=os.path.join(home, "inputrc"))
PROMPT = "panel_host> "


class screen:
    """What a terminal shows of the bytes written to it: a carriage return
    goes back to the line's start, a backspace one column, and what is
    written over a column replaces it."""

    def __init__(self):
        self.lines = [[]]
        self.row = self.column = 0

    def write(self, text):
        text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text)
        for c in text:
            if c == "\r":
                self.column = 0
            elif c == "\n":
                self.row += 1
                if self.row == len(self.lines):
                    self.lines.append([])
            elif c == "\b":
                self.column = max(0, self.column - 1)
            elif c == "\a":
                pass
            else:
                line = self.lines[self.row]
                line.extend(" " * (self.column + 1 - len(line)))
                line[self.column] = c
                self.column += 1

    def text(self):
        return "".join("".join(line).rstrip() + "\n" for line in self.lines)


shown = screen()


def read_until(fd, ending, containing="", seconds=20):
    """Reads until the screen ends with `ending` and what was read holds
    `containing`."""
    seen = ""
    deadline = time.monotonic() + seconds
    while not shown.text().rstrip("\n").endswith(ending.rstrip()) or not seen or containing not in seen:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            sys.exit("timed out waiting for %r; the screen:\n%s" % (ending, shown.text()))
        try:
            chunk = os.read(fd, 4096).decode(errors="replace")
        except OSError:
            chunk = ""
        if not chunk:
            sys.exit("the program ended; the screen:\n" + shown.text())
        seen += chunk
        shown.write(chunk)
    return seen


def start_double():
    double = subprocess.Popen([router_double, "--videohub", "--port", "0", "--device",
                               os.path.join(installation, "SYS/config/system/dev_031.ini")],
                              stdout=subprocess.PIPE, text=True)
    line = double.stdout.readline()
    if not line.startswith("port "):
        sys.exit("router_double did not start: " + line)
    return double, int(line.split()[1])


def route_as_another_controller(port, output, source):
    """Wire numbers: panel number = wire number + 1."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as controller:
        controller.sendall(("VIDEO OUTPUT ROUTING:\n%d %d\n\n" % (output, source)).encode())
        # The double answers ACK once it has routed; then it is done.
        answer = b""
        deadline = time.monotonic() + 10
        while b"ACK\n" not in answer and time.monotonic() < deadline:
            chunk = controller.recv(65536)
            if not chunk:
                break
            answer += chunk


double, port = start_double()
try:
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(panel_host, [panel_host, "--installation", installation, "--layouts", layouts, "--color", "never",
                               "--ascii", "--router", "31=videohub:127.0.0.1:%d" % port], environment)
    read_until(fd, PROMPT)
    for line in ("create", "set matrixobject MTX", "set uselevels 1,2,3", "set srcpkg 1", "set destpkg 3"):
        os.write(fd, (line + "\n").encode())
        read_until(fd, PROMPT)
    # Nothing typed: MON 3 (destination 3, wire 2) now carries VTR 2 (wire 5).
    route_as_another_controller(port, 2, 5)
    read_until(fd, PROMPT, containing="3<6")
    # A line half typed when the next route comes: it stays as it was.
    os.write(fd, b"show router")
    read_until(fd, PROMPT + "show router")
    route_as_another_controller(port, 2, 0)
    read_until(fd, PROMPT + "show router", containing="3<1")
    os.write(fd, b" 31 3\n")
    read_until(fd, PROMPT)
    os.write(fd, b"quit\n")
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if select.select([fd], [], [], 0.1)[0]:
            try:
                chunk = os.read(fd, 4096).decode(errors="replace")
            except OSError:
                chunk = ""
            shown.write(chunk)
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            break
    else:
        os.kill(pid, signal.SIGKILL)
        sys.exit("panel_host did not end after quit; the screen:\n" + shown.text())
    os.close(fd)
    shown.write("[exit status %d]\n" % os.waitstatus_to_exitcode(status))
finally:
    double.terminate()
    double.wait(timeout=10)

text = shown.text()
text = text.replace(os.path.realpath(installation), "<installation>").replace(installation, "<installation>")
text = text.replace(os.path.realpath(layouts), "<layouts>").replace(layouts, "<layouts>")
text = re.sub(r"module \S+", "module <module>", text)
text = re.sub(r"127\.0\.0\.1:\d+", "127.0.0.1:<port>", text)
with open(expected_file, encoding="utf-8") as f:
    expected = f.read()
if text != expected:
    sys.stdout.write(text)
    sys.exit("the screen differs from %s (above)" % expected_file)
