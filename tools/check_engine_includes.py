#!/usr/bin/env python3
"""The coordinate systems and the file engines stay below the window model.

Fails (exit 1, one line per finding) when a file of crs/ or formats/ reaches a
platform/win header, directly or through the project headers it includes, or
when the files of crs/ include each other in a circle (a header and its source
count as one file).

Usage: tools/check_engine_includes.py [SOURCE_DIR]   (default: the checkout)
"""

import os
import re
import sys

ENGINES = ("crs", "formats")
WINDOW_MODEL = "platform/win/"
NO_CIRCLES = ("crs",)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def includes(root, path):
    """Project files that `path` (relative to root) includes."""
    try:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return []
    found = []
    for name in INCLUDE.findall(text):
        for candidate in (name, os.path.join(os.path.dirname(path), name)):
            candidate = os.path.normpath(candidate)
            if os.path.isfile(os.path.join(root, candidate)):
                found.append(candidate)
                break
    return found


def sources(root, folder):
    for base, _, files in os.walk(os.path.join(root, folder)):
        for f in sorted(files):
            if f.endswith((".h", ".cpp")):
                yield os.path.relpath(os.path.join(base, f), root)


def window_model_reach(root, path):
    """The include chain from `path` to a platform/win header, or None."""
    seen = {path}
    queue = [[path]]
    while queue:
        chain = queue.pop(0)
        for n in includes(root, chain[-1]):
            if n in seen:
                continue
            seen.add(n)
            if n.startswith(WINDOW_MODEL):
                return chain + [n]
            queue.append(chain + [n])
    return None


def circles(root, folder):
    """Circles among the folder's files, a header and its source as one."""
    unit = lambda p: os.path.splitext(p)[0]
    edges = {}
    for p in sources(root, folder):
        deps = edges.setdefault(unit(p), set())
        for n in includes(root, p):
            if n.startswith(folder + "/") and unit(n) != unit(p):
                deps.add(unit(n))
    found, state = [], {}

    def visit(node, stack):
        state[node] = 1
        stack.append(node)
        for n in sorted(edges.get(node, ())):
            if state.get(n) == 1:
                found.append(stack[stack.index(n):] + [n])
            elif n not in state:
                visit(n, stack)
        stack.pop()
        state[node] = 2

    for node in sorted(edges):
        if node not in state:
            visit(node, [])
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    problems = []
    for folder in ENGINES:
        for p in sources(root, folder):
            chain = window_model_reach(root, p)
            if chain:
                problems.append("window model reached: " + " -> ".join(chain))
    for folder in NO_CIRCLES:
        for c in circles(root, folder):
            problems.append("include circle: " + " -> ".join(c))
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
