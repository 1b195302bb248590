#!/usr/bin/env python3
"""A recording (--record) is written whole or not at all: a write that
fails, or a run killed while it writes, leaves the previous recording as it
was, never an empty or cut file.

    recording_safety.py PANEL_HOST ARGS...

ARGS (installation, layouts, module) are given to every run. Every run is
bounded in time.
"""
import glob
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time

panel_host, common = sys.argv[1], sys.argv[2:]
work = tempfile.mkdtemp(prefix="panel_host_recording_")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def scenario(name, text):
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def run(arguments, limit=None, seconds=120):
    def limited():
        if limit is not None:
            # A file size limit, as a full disk would stop the write; the
            # signal it raises is ignored so that the write fails instead.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    return subprocess.run([panel_host, "--color", "never", "-q", *common, *arguments], capture_output=True,
                          timeout=seconds, preexec_fn=limited)


def content(path):
    with open(path, "rb") as f:
        return f.read()


record = os.path.join(work, "session.scn")
small = scenario("small.scn", "create\nset srcpkg 1\n")
# Each line is kept as given, its comment too: about 6 MB of recording.
padding = "x" * 1000
big = scenario("big.scn", "create\n" + "".join("wait 1ms # %d %s\n" % (i, padding) for i in range(6000)))

# The previous recording, and what the big run writes when left alone.
result = run(["--record", record, small])
check(result.returncode == 0, "the first recording: exit status %d\n%s" % (result.returncode, result.stderr.decode()))
previous = content(record)
whole = os.path.join(work, "whole.scn")
result = run(["--record", whole, big])
check(result.returncode == 0, "the big recording: exit status %d" % result.returncode)
new = content(whole)
check(len(new) > 5_000_000 and new.endswith(b"\n"), "the big recording is %d bytes" % len(new))

# A write that fails halfway (at 1 MB, as on a full disk): the previous
# recording stays, and the message says so.
result = run(["--record", record, big], limit=1_000_000)
message = result.stderr.decode()
check(result.returncode == 2, "the failed write: exit status %d, not 2\n%s" % (result.returncode, message))
check("cannot write the recording to " + record in message and "the file there is left as it was" in message,
      "the failed write: the message does not say the recording was kept:\n" + message)
check(content(record) == previous, "the failed write changed the previous recording (%d bytes now, %d before)"
      % (len(content(record)), len(previous)))
check(glob.glob(os.path.join(work, ".session.scn.*")) == [], "the failed write left its partial file behind")


# kill -9 while the recording is being written: the file named is the
# previous recording or the new one, whole.
def written(path, before):
    """True once the write of `path` has begun: the file changed, or a
    partial file beside it holds bytes."""
    try:
        now = os.stat(path)
        if (now.st_size, now.st_mtime_ns, now.st_ino) != before:
            return True
    except FileNotFoundError:
        return True
    for partial in glob.glob(os.path.join(os.path.dirname(path), "." + os.path.basename(path) + ".*")):
        try:
            if os.stat(partial).st_size > 0:
                return True
        except FileNotFoundError:
            pass
    return False


outcomes = {"previous": 0, "new": 0}
for attempt in range(6):
    with open(record, "wb") as f:
        f.write(previous)
    stat = os.stat(record)
    before = (stat.st_size, stat.st_mtime_ns, stat.st_ino)
    process = subprocess.Popen([panel_host, "--color", "never", "-q", *common, "--record", record, big],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 60
    while process.poll() is None and not written(record, before) and time.monotonic() < deadline:
        pass
    process.send_signal(signal.SIGKILL)
    process.wait(timeout=30)
    after = content(record)
    if after == previous:
        outcomes["previous"] += 1
    elif after == new:
        outcomes["new"] += 1
    else:
        failures.append("kill -9 during the write left a %d-byte file that is neither recording" % len(after))
    for partial in glob.glob(os.path.join(work, ".session.scn.*")):
        os.remove(partial)
print("kill -9 while writing: %(previous)d times the previous recording left, %(new)d times the new one" % outcomes)

if failures:
    sys.exit("\n".join(failures))
