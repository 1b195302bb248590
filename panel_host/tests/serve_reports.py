#!/usr/bin/env python3
"""Another controller routes on a router while the browser view serves and
nobody posts a step, with the page's clock running and then paused: the
route reaches the panel at once (its revertive shows in the transcript
within a bound), and the run still ends soon on
SIGTERM with status 0.

    serve_reports.py PANEL_HOST ROUTER_DOUBLE INSTALLATION LAYOUTS MODULE

Both the router double and the browser view listen on 127.0.0.1; every
wait is bounded.
"""
import http.client
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time

panel_host, router_double, installation, layouts, module = sys.argv[1:6]
work = tempfile.mkdtemp(prefix="panel_host_serve_reports_")
BOUND = 2.0  # seconds for a report to show; the page's clock ticks every 20 ms


def wait_for(path, pattern, seconds):
    """Waits until the file holds `pattern` (a regular expression); the match
    or None."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        with open(path, errors="replace") as f:
            found = re.search(pattern, f.read())
        if found:
            return found
        time.sleep(0.02)
    return None


def post_step(port, text):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request("POST", "/api/step", body=text, headers={"Content-Type": "text/plain"})
    answer = connection.getresponse()
    body = answer.read().decode(errors="replace")
    connection.close()
    if answer.status != 200:
        sys.exit("POST /api/step %r: %d %s" % (text, answer.status, body))


def route_as_another_controller(port, output, source):
    """Wire numbers: panel number = wire number + 1."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as controller:
        controller.sendall(("VIDEO OUTPUT ROUTING:\n%d %d\n\n" % (output, source)).encode())
        answer = b""
        deadline = time.monotonic() + 10
        while b"ACK\n" not in answer and time.monotonic() < deadline:
            chunk = controller.recv(65536)
            if not chunk:
                break
            answer += chunk


def show(path):
    with open(path, errors="replace") as f:
        return f.read()[-3000:]


double = subprocess.Popen([router_double, "--videohub", "--port", "0", "--device",
                           os.path.join(installation, "SYS/config/system/dev_031.ini")],
                          stdout=subprocess.PIPE, text=True)
process = None
try:
    line = double.stdout.readline()
    if not line.startswith("port "):
        sys.exit("router_double did not start: " + line)
    router_port = int(line.split()[1])
    out = os.path.join(work, "serve.out")
    with open(out, "wb") as output:
        process = subprocess.Popen([panel_host, "--installation", installation, "--layouts", layouts, "--module",
                                    module, "--color", "never", "--ascii", "--serve", "127.0.0.1:0", "--router",
                                    "31=videohub:127.0.0.1:%d" % router_port], stdout=output,
                                   stderr=subprocess.STDOUT)
    found = wait_for(out, r"the browser view is at http://127\.0\.0\.1:(\d+)/", 30)
    if not found:
        sys.exit("the browser view never started:\n" + show(out))
    web_port = int(found.group(1))
    for step in ("set matrixobject MTX", "set uselevels 1,2,3", "set srcpkg 1", "set destpkg 3"):
        post_step(web_port, step)
    # No step from here on: MON 3 (destination 3, wire 2) now carries VTR 2
    # (wire 5), and then CAM 1 again.
    for wire, shown in ((5, "3<6"), (0, "3<1")):
        if shown == "3<1":
            # With the page's clock paused no time passes, but the report
            # still reaches the panel.
            connection = http.client.HTTPConnection("127.0.0.1", web_port, timeout=10)
            connection.request("POST", "/api/clock", body="pause", headers={"Content-Type": "text/plain"})
            if connection.getresponse().status != 200:
                sys.exit("POST /api/clock pause refused")
            connection.close()
        since = time.monotonic()
        route_as_another_controller(router_port, 2, wire)
        if not wait_for(out, r"revertive from 31: " + shown + r"\n", BOUND):
            sys.exit("the route %s did not reach the panel within %.1f s:\n%s" % (shown, BOUND, show(out)))
        print("another controller's route %s shown after %.0f ms" % (shown, (time.monotonic() - since) * 1000))
    since = time.monotonic()
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        sys.exit("still running 10 s after SIGTERM:\n" + show(out))
    print("SIGTERM to exit: %.0f ms" % ((time.monotonic() - since) * 1000))
    if process.returncode != 0:
        sys.exit("exit status %d:\n%s" % (process.returncode, show(out)))
finally:
    if process is not None and process.poll() is None:
        process.kill()
        process.wait()
    double.terminate()
    double.wait(timeout=10)
