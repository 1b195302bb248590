#!/usr/bin/env python3
"""Drives panel_host's prompt through a pseudo-terminal, as a person would
type at it, and compares the whole session with an expected transcript.

    prompt_session.py PANEL_HOST INSTALLATION LAYOUTS EXPECTED

Each line is typed only once the prompt for it is shown, so the session is
the same on every run. Ctrl-C and Ctrl-D reach the program as the terminal
makes them: a signal and an end of input.
"""
import os
import pty
import re
import select
import sys
import tempfile
import time

panel_host, installation, layouts, expected_file = sys.argv[1:5]
home = tempfile.mkdtemp(prefix="panel_host_prompt_")
with open(os.path.join(home, "inputrc"), "w") as rc:
    rc.write("set enable-bracketed-paste off\n")
environment = dict(os.environ, HOME=home, TERM="dumb", INPUTRC=os.path.join(home, "inputrc"))

transcript = []


def start(*arguments):
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(panel_host, [panel_host, *arguments], environment)
    return pid, fd


def read_until(fd, endings, seconds=20):
    """Reads output until it ends with one of `endings` (None: until the
    program ends); returns it."""
    seen = b""
    deadline = time.monotonic() + seconds
    while endings is None or not any(seen.endswith(e.encode()) for e in endings):
        left = deadline - time.monotonic()
        if left <= 0:
            sys.exit("timed out waiting for %r; output so far:\n%s" % (endings, seen.decode(errors="replace")))
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:  # the program ended
                chunk = b""
            if not chunk:
                if endings is None:
                    break
                sys.exit("the program ended; output so far:\n" + seen.decode(errors="replace"))
            seen += chunk
    transcript.append(seen.decode(errors="replace"))
    return seen


PROMPT, MORE = "panel_host> ", "     ...> "


def session(arguments, keys):
    """Types each (text, what to wait for) and returns the exit status."""
    pid, fd = start(*arguments)
    read_until(fd, [PROMPT])
    for text, wait_for in keys:
        os.write(fd, text.encode())
        read_until(fd, [wait_for] if wait_for else None)
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    transcript.append("[exit status %d]\n" % os.waitstatus_to_exitcode(status))


common = ["--installation", installation, "--layouts", layouts, "--color", "never", "--ascii"]
session(common, [
    ("create\n", PROMPT),                       # the first line of a scenario works here too
    ("help\n", PROMPT),                         # lists the prompt's own words as well
    ("frobnicate 1\n", PROMPT),                 # a typing error: numbered, counted
    ("set srcpkg 1", "set srcpkg 1"),
    ("\x03", PROMPT),                           # Ctrl-C drops the line, the session goes on
    ("expect sent\n", MORE),
    ("CD '1' 'Take'\n", MORE),
    ("\x03", PROMPT),                           # ... and an open block
    ("expect sent\n", MORE),
    ("RU 31\n", MORE),
    ("\x04", ""),                               # Ctrl-D in a block says so, then ends
])
with open(os.path.join(home, ".panel_host_history")) as history:
    transcript.append("[history: %s]\n" % ", ".join(history.read().split("\n")[:3]))

# --check on a terminal checks what is typed; it opens no prompt.
pid, fd = start("--check")
read_until(fd, ["end them with Ctrl-D\r\n"])
os.write(fd, b"create\nbogus\n\x04")
read_until(fd, None)
_, status = os.waitpid(pid, 0)
transcript.append("[exit status %d]\n" % os.waitstatus_to_exitcode(status))

# What a reader sees: line ends as in a file, folders named, no terminal
# control sequences (a dumb terminal gets none, but be sure).
text = "".join(transcript).replace("\r\n", "\n").replace("\r", "")
text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text)
text = text.replace(os.path.realpath(installation), "<installation>").replace(installation, "<installation>")
text = text.replace(os.path.realpath(layouts), "<layouts>").replace(layouts, "<layouts>")
text = re.sub(r"module \S+", "module <module>", text)
# The scenario lines of "help" are those of --help; the prompt's own are kept.
text = re.sub(r"(?s)(Scenario lines [^\n]*\n).*?(At the prompt)", r"\1  ...\n\2", text)

with open(expected_file, encoding="utf-8") as f:
    expected = f.read()
if text != expected:
    sys.stdout.write(text)
    sys.exit("the session differs from %s (output above)" % expected_file)
