#!/usr/bin/env python3
"""Reads the data source's includes and fails on any that breaks its layering.

The layers, from the top: the protocol (twain/), the windows (camera_window/, file_browser/),
the camera (camera/), the ground (win32/, resources/). A file may include its own layer's and
lower layers' headers, each named by its folder ("camera/image_decoding.h"), never through "../".
Between modules (a folder's header and source of one name) the includes form no circle. The
stand-ins include of the data source only the ground (the maker's declarations).

Usage: check_layers.py <source root>. Prints each fault and exits 1 when there is one.
"""
import os
import re
import sys

LAYERS = {"win32": 0, "resources": 0, "camera": 1, "camera_window": 2, "file_browser": 2, "twain": 3}
LAYER_NAMES = {0: "the ground", 1: "the camera", 2: "the windows", 3: "the protocol"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def sources(root, folder):
    for directory, _, names in os.walk(os.path.join(root, folder)):
        for name in sorted(names):
            if name.endswith((".h", ".cpp")):
                yield os.path.relpath(os.path.join(directory, name), root).replace(os.sep, "/")


def includes(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
        return INCLUDE.findall(text.read())


def module(path):
    return os.path.splitext(path)[0]


def layering_faults(root):
    faults = []
    edges = {}
    for folder in LAYERS:
        for path in sources(root, folder):
            own = LAYERS[folder]
            for name in includes(root, path):
                top = name.split("/")[0]
                if ".." in name.split("/"):
                    faults.append(f"{path}: includes \"{name}\" through ../")
                elif top not in LAYERS:
                    faults.append(f"{path}: includes \"{name}\", which names no folder of the data source")
                elif LAYERS[top] > own:
                    faults.append(f"{path}: includes \"{name}\" of {LAYER_NAMES[LAYERS[top]]}, "
                                  f"above {LAYER_NAMES[own]}")
                elif not os.path.isfile(os.path.join(root, name)):
                    faults.append(f"{path}: includes \"{name}\", which does not exist")
                else:
                    a, b = module(path), module(name)
                    if a != b:
                        edges.setdefault(a, set()).add(b)
    return faults, edges


def circles(edges):
    """Every circle of modules once, found by a depth-first walk."""
    found, seen, state = [], set(), {}

    def walk(node, trail):
        state[node] = "open"
        trail.append(node)
        for next_node in sorted(edges.get(node, ())):
            if state.get(next_node) == "open":
                circle = trail[trail.index(next_node):]
                key = frozenset(circle)
                if key not in seen:
                    seen.add(key)
                    found.append(" -> ".join(circle + [next_node]))
            elif next_node not in state:
                walk(next_node, trail)
        trail.pop()
        state[node] = "done"

    for node in sorted(edges):
        if node not in state:
            walk(node, [])
    return found


def stand_in_faults(root):
    faults = []
    for path in sources(root, "standins"):
        for name in includes(root, path):
            top = name.split("/")[0]
            if top in LAYERS and top != "win32":
                faults.append(f"{path}: a stand-in includes \"{name}\" of the data source")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    faults, edges = layering_faults(root)
    faults += [f"circle of includes: {circle}" for circle in circles(edges)]
    faults += stand_in_faults(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} fault(s) in the data source's layering")
        return 1
    print("layering: every include runs down or across, no circle, stand-ins on the ground only")
    return 0


if __name__ == "__main__":
    sys.exit(main())
