#!/usr/bin/env python3
"""Checks that panel_host's rooms include one another in one direction only.

Every source file of panel_host lives in a room; a room may include its own
headers and those of the rooms below it, written "room/file.h" from the
panel_host folder:

    0 text   1 loop   2 facility   3 routers | scenario   4 web   5 app

routers/ and scenario/ are on one level and never include each other.
Includes of headers from outside panel_host (the frame, the test kit, the
standard library) are not rooms and pass.

    check_includes.py [PANEL_HOST_FOLDER]

Prints each include that runs against the order as file:line, and exits 1
when there is one; else prints a summary and exits 0.
"""
import pathlib
import re
import sys

LEVELS = {"text": 0, "loop": 1, "facility": 2, "routers": 3, "scenario": 3, "web": 4, "app": 5}
SOURCES = {".h", ".hpp", ".cpp"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def room_of(path, root):
    parts = path.relative_to(root).parts
    return parts[0] if len(parts) > 1 and parts[0] in LEVELS else None


def headers_by_name(root):
    """Every header of a room by its bare name, to catch an include that leaves the room out."""
    names = {}
    for path in root.rglob("*.h"):
        if room_of(path, root):
            names.setdefault(path.name, path.relative_to(root).as_posix())
    return names


def check(root):
    faults, includes, files = [], 0, 0
    bare = headers_by_name(root)
    for path in sorted(root.rglob("*")):
        if path.suffix not in SOURCES or "node_modules" in path.parts:
            continue
        relative = path.relative_to(root).as_posix()
        room = room_of(path, root)
        if room is None:
            if path.parent == root:
                faults.append(f"{relative}: a source file in panel_host/ itself; it belongs in a room")
            continue
        files += 1
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            includes += 1
            target = match.group(1)
            where = f"{relative}:{number}"
            first = target.split("/", 1)[0]
            if first not in LEVELS:
                if "/" not in target and target in bare:
                    faults.append(f'{where}: "{target}" names a room\'s header without its room: '
                                  f'write "{bare[target]}"')
                continue
            if first == room:
                continue
            if LEVELS[first] > LEVELS[room]:
                faults.append(f'{where}: {room}/ (level {LEVELS[room]}) includes "{target}" of {first}/ '
                              f"(level {LEVELS[first]}): includes go down, never up")
            elif LEVELS[first] == LEVELS[room]:
                faults.append(f'{where}: {room}/ includes "{target}" of {first}/: the two rooms of level '
                              f"{LEVELS[room]} never include each other; app/ joins them")
    return faults, includes, files


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])
    faults, includes, files = check(root.resolve())
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_includes: {len(faults)} against the order (text < loop < facility < routers | scenario "
              f"< web < app)")
        return 1
    print(f"check_includes: {files} files, {includes} includes of panel_host headers and others, all in order "
          f"(text < loop < facility < routers | scenario < web < app)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
