#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Prints the accessibility tree of one window of a running program, as a screen reader finds it
# over AT-SPI: one line per showing object, "<role>: <name>" (line breaks as "\n"), and for a
# label that captions a control "<role>: <name> -> <role of the control>: <name of the control>".
#   a11y-tree.py PID NAME [SECONDS]
# NAME is the window's accessible name: its title, or for a message box the name GTK gives its
# kind ("Error"). Waits up to SECONDS (10) for that window and its buttons; exits 1 when none come.
import sys
import time

import pyatspi


def find_window(pid, name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        try:
            if app.get_process_id() != pid:
                continue
        except Exception:
            continue  # an application that went away meanwhile
        for window in app:
            if window is not None and window.name == name:
                return window
    return None


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def described(node):
    # One line per object, as the window log writes line breaks.
    return f"{node.getRoleName()}: {node.name}".replace("\n", "\\n")


def walk(node, out):
    if not showing(node):
        return
    line = described(node)
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR:
            for i in range(relation.getNTargets()):
                line += " -> " + described(relation.getTarget(i))
    out.append(line)
    for child in node:
        if child is not None:
            walk(child, out)


def main():
    pid, name = int(sys.argv[1]), sys.argv[2]
    limit = float(sys.argv[3]) if len(sys.argv) > 3 else 10
    deadline = time.monotonic() + limit
    while True:
        window = find_window(pid, name)
        # The tree fills in once the window is drawn: wait for its buttons as well.
        if window is not None:
            lines = []
            walk(window, lines)
            if any(line.startswith("push button: ") for line in lines):
                print("\n".join(lines))
                return 0
        if time.monotonic() > deadline:
            print(f"no window \"{name}\" of process {pid} over AT-SPI", file=sys.stderr)
            return 1
        time.sleep(0.2)


sys.exit(main())
