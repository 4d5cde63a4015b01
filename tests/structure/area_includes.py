#!/usr/bin/env python3
"""Reads the #include lines of src/ and fails on any include between areas
that runs against their one direction or closes a cycle, naming file and line.

The areas, from the bottom up (an area may use the areas of lower levels, and
those of its own level as long as no cycle forms):
    settings, acars, widgets -> receiver, decode
        -> tracking, aircraft, search, map, net -> app
src/<area>/ui/ holds an area's windows: they may use their own area's core
and what the area itself may use. widgets/ is what the windows of every area
share. No core file includes windows (any ui/ folder, or widgets/).

Usage: area_includes.py SRC_DIR
"""
import os
import re
import sys

LEVELS = [
    ["settings", "acars", "widgets"],
    ["receiver", "decode"],
    ["tracking", "aircraft", "search", "map", "net"],
    ["app"],
]
LEVEL = {area: n for n, areas in enumerate(LEVELS) for area in areas}
WINDOW_ONLY = {"widgets"}  # areas that are windows through and through
PROGRAM = {"app/main.cpp"}  # the program itself: on top of the windows
PICTURE = " -> ".join(", ".join(areas) for areas in LEVELS)
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def node_of(path_parts):
    """(area, is_ui) of a path relative to src/, split into parts."""
    area = path_parts[0]
    ui = (area in WINDOW_ONLY or (len(path_parts) > 2 and path_parts[1] == "ui")
          or "/".join(path_parts) in PROGRAM)
    return area, ui


def name(node):
    area, ui = node
    return area + "/ui" if ui and area not in WINDOW_ONLY else area


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    src = os.path.abspath(sys.argv[1])
    problems = []
    edges = {}  # (node, node) -> [(file, line, text)]
    areas_seen = set()
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for f in sorted(files):
            if not f.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, f)
            rel = os.path.relpath(path, src)
            parts = rel.split(os.sep)
            if len(parts) < 2:
                problems.append(f"src/{rel}:1: a source file outside every area")
                continue
            here = node_of(parts)
            areas_seen.add(here[0])
            if here[0] not in LEVEL:
                problems.append(f"src/{rel}:1: area '{here[0]}' has no place in the picture ({PICTURE})")
                continue
            with open(path, encoding="utf-8", errors="replace") as fh:
                for number, line in enumerate(fh, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    tparts = target.split("/")
                    if len(tparts) < 2 or not os.path.exists(os.path.join(src, target)):
                        continue  # a file beside this one, or outside src/ (generated, tools)
                    there = node_of(tparts)
                    where = f"src/{rel}:{number}"
                    if there[0] not in LEVEL:
                        continue  # reported at the file itself
                    if there[1] and not here[1]:
                        problems.append(f"{where}: core file includes windows: {target}")
                    if there[0] != here[0] and LEVEL[there[0]] > LEVEL[here[0]]:
                        problems.append(
                            f"{where}: {name(here)} includes {target}: {there[0]} sits above "
                            f"{here[0]}, the include runs against the direction ({PICTURE})")
                    if there != here:
                        edges.setdefault((here, there), []).append((where, target))

    # An include closes a cycle when what it reaches leads back to its file's node.
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)

    def path_back(start, goal):
        stack, seen = [(start, [start])], {start}
        while stack:
            node, trail = stack.pop()
            if node == goal:
                return trail
            for nxt in sorted(graph.get(node, ())):
                if nxt not in seen:
                    seen.add(nxt)
                    stack.append((nxt, trail + [nxt]))
        return None

    for (a, b), includes in sorted(edges.items()):
        trail = path_back(b, a)
        if trail:
            loop = " -> ".join(name(n) for n in [a] + trail)
            for where, target in includes:
                problems.append(f"{where}: includes {target}, which closes a cycle: {loop}")

    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) against the areas' direction", file=sys.stderr)
        return 1
    print(f"{sum(len(v) for v in edges.values())} includes between areas, all in one direction ({PICTURE})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
