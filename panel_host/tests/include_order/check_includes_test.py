#!/usr/bin/env python3
"""The include check catches what it is for: a copy of panel_host with one
upward include planted fails with that include named, and only that; each
kind of fault is caught in a small tree of its own; the real tree passes."""
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
CHECK = HERE / "check_includes.py"
PANEL_HOST = HERE.parents[1]


def run(root):
    done = subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout


def expect(condition, what, output):
    if not condition:
        print(f"FAILED: {what}\n--- output ---\n{output}")
        sys.exit(1)


def planted_in_the_real_tree(scratch):
    copy = scratch / "panel_host"
    shutil.copytree(PANEL_HOST, copy, ignore=shutil.ignore_patterns("node_modules", "*.png", "*.scn"))
    status, output = run(copy)
    expect(status == 0, "the copy passes before anything is planted", output)
    victim = copy / "facility" / "simulated_host.cpp"
    lines = victim.read_text().splitlines(keepends=True)
    lines.insert(1, '#include "web/web_view.h"\n')
    victim.write_text("".join(lines))
    status, output = run(copy)
    expect(status == 1, "a planted upward include fails the check", output)
    faults = [line for line in output.splitlines() if not line.startswith("check_includes:")]
    expect(faults == ['facility/simulated_host.cpp:2: facility/ (level 2) includes "web/web_view.h" of web/ '
                      '(level 4): includes go down, never up'], "the fault names the file, line and rooms", output)


def each_kind_alone(scratch):
    cases = {
        "sibling": ("routers/link.cpp", '#include "scenario/scenario_runner.h"\n',
                    'routers/link.cpp:1: routers/ includes "scenario/scenario_runner.h" of scenario/'),
        "bare": ("web/page.cpp", '#include "transcript.h"\n',
                 'web/page.cpp:1: "transcript.h" names a room\'s header without its room: write "text/transcript.h"'),
        "loose": ("stray.cpp", "int x;\n", "stray.cpp: a source file in panel_host/ itself"),
        "down": ("app/main.cpp", '#include "text/transcript.h"\n#include <vector>\n#include "gtest/gtest.h"\n', None),
    }
    for name, (file, text, fault) in cases.items():
        root = scratch / name
        (root / "text").mkdir(parents=True)
        (root / "text" / "transcript.h").write_text("#pragma once\n")
        (root / file).parent.mkdir(parents=True, exist_ok=True)
        (root / file).write_text(text)
        status, output = run(root)
        if fault is None:
            expect(status == 0, f"{name}: an include downwards passes", output)
        else:
            expect(status == 1 and fault in output, f"{name}: caught as {fault!r}", output)


def main():
    status, output = run(PANEL_HOST)
    expect(status == 0, "the real tree passes", output)
    with tempfile.TemporaryDirectory() as scratch:
        planted_in_the_real_tree(pathlib.Path(scratch))
        each_kind_alone(pathlib.Path(scratch))
    print("check_includes_test: the planted include and every kind of fault were caught")


if __name__ == "__main__":
    main()
