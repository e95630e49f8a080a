#!/usr/bin/env python3
"""The real program as a screen reader hears it: under its own X server and session bus, read
through AT-SPI (pyatspi). Every control has a name in the language chosen with the flag buttons,
and the Values tree's rows read as name, value, type with their expanded state.

Exit code 77 (skip) when a tool is missing outside CI (in CI that is a failure), and when the
session bus cannot start, with the reason printed.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_test import STORE, SKIP, Session, paint_log, run_on_display, wait_for  # noqa: E402
from harness import Failure, check  # noqa: E402
from solgen import Typed, sol3_bytes  # noqa: E402

# python3-pyatspi is installed for Debian's interpreter, which need not be the first on PATH.
DEBIAN_PYTHON = "/usr/bin/python3"
INNER = "VESK_A11Y_MARKER"  # set in the run under the test's own session bus

COOKIE = sol3_bytes("nest", [("player", "Anna"), ("grid", {"w": 3, "cells": [1, "two"]}),
                             ("p", Typed("com.example.Point", {"x": 1}))])

# Per language (the flag button pressed to choose it): (role, name) pairs that must be there. The
# lists are named alike in both languages.
NAMES = {
    "English": [("list", "Cookies"), ("list", "Details"), ("text", "Cookie text"), ("tree", "Values"),
                ("page tab", "Text"), ("page tab", "Values"), ("push button", "Deutsch"),
                ("push button", "English"), ("push button", "Exit"), ("table column header", "Name"),
                ("table column header", "Value"), ("table column header", "Type")],
    "Deutsch": [("list", "Cookies"), ("list", "Details"), ("text", "Cookie-Text"), ("tree", "Werte"),
                ("page tab", "Text"), ("page tab", "Werte"), ("push button", "Deutsch"),
                ("push button", "English"), ("push button", "Beenden"), ("table column header", "Name"),
                ("table column header", "Wert"), ("table column header", "Typ")],
}
# The tree's rows as read: name, value, type, and "+" expanded, "-" collapsed, "" no children.
ROWS = {
    "English": [("cookie", '"nest", AMF3, %d bytes' % len(COOKIE), "", "")],
    "Deutsch": [("Cookie", '"nest", AMF3, %d Bytes' % len(COOKIE), "", "")],
}
VALUE_ROWS = [("player", '"Anna"', "String", ""), ("grid", "{2}", "Object", "+"), ("w", "3", "int", ""),
              ("cells", "[2]", "Array", "-"), ("p", "{1}", "com.example.Point", "+"), ("x", "1", "int", "")]
# Roles a user reaches that need a name; Qt's own tab scroll buttons are never shown here.
NAMED_ROLES = ("list", "text", "tree", "page tab", "push button", "check box")


def walk(node, depth=0):
    """(role, name, node) of `node` and everything below it, bounded."""
    found = [(node.getRoleName(), node.name or "", node)]
    if depth < 12:
        for i in range(min(node.childCount, 500)):
            child = node.getChildAtIndex(i)
            if child is not None:
                found += walk(child, depth + 1)
    return found


def tree_rows(found, pyatspi):
    cells = []
    for role, name, node in found:
        if role != "table cell":
            continue
        states = node.getState()
        mark = ("+" if states.contains(pyatspi.STATE_EXPANDED) else "-") if states.contains(
            pyatspi.STATE_EXPANDABLE) else ""
        cells.append((name, mark))
    return [(cells[i][0], cells[i + 1][0], cells[i + 2][0], cells[i][1]) for i in range(0, len(cells) - 2, 3)]


def run(display, program, work):
    import pyatspi

    appdata = os.path.join(work, "appdata")
    folder = os.path.join(appdata, STORE, "K3XQ2Z7M", "games.example")
    os.makedirs(folder)
    with open(os.path.join(folder, "nest.sol"), "wb") as out:
        out.write(COOKIE)
    log = os.path.join(work, "paint.log")
    session = Session(display, program, appdata, work,
                      {"VESK_PAINT_LOG": log, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
    try:
        def application():
            apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None]
            return next((a for a in apps if a.name == os.path.basename(program)), None)

        app = wait_for("the program on the accessibility bus", application, timeout=20)
        geometry = wait_for("the list's geometry", lambda: [r for r in paint_log(log) if r[0] == "geometry"])[0]
        session.xdo("mousemove", "--window", session.window, geometry[2], geometry[3], "click", "1")
        session.keys("ctrl+Tab")
        wait_for("the tree's rows", lambda: len(tree_rows(walk(app), pyatspi)) > 1)
        # The text view draws its own lines: a screen reader still reads the cookie's text there.
        views = [node for role, _, node in walk(app) if role == "text"]
        check(len(views) == 1, "%d text views" % len(views))
        text = views[0].queryText()
        words = text.getText(0, -1)
        check(text.characterCount == len(words) and "Anna" in words and "player" in words,
              "the text view reads %r" % words[:200])

        for language in ("Deutsch", "English"):  # the program starts in English: both switch
            button = [n for r, name, n in walk(app) if r == "push button" and name == language]
            check(len(button) == 1, "%d buttons named %r" % (len(button), language))
            button[0].queryAction().doAction(0)
            expected_rows = ROWS[language] + VALUE_ROWS

            def heard():
                found = walk(app)
                pairs = {(role, name) for role, name, _ in found}
                missing = [pair for pair in NAMES[language] if pair not in pairs]
                unnamed = [role for role, name, node in found if role in NAMED_ROLES and not name and
                           node.getState().contains(pyatspi.STATE_SHOWING)]
                rows = tree_rows(found, pyatspi)
                return (missing, unnamed, rows), not missing and not unnamed and rows == expected_rows

            try:
                wait_for("the names in " + language, lambda: heard()[1])
            except Failure:
                missing, unnamed, rows = heard()[0]
                raise Failure("in %s: missing %s; showing without a name: %s; the tree reads %s, not %s" %
                              (language, missing, unnamed, rows, expected_rows))
    finally:
        session.close()


def missing_tools(python):
    missing = [tool for tool in ("Xvfb", "xdotool", "dbus-run-session") if shutil.which(tool) is None]
    if python is None:
        missing.append("python3-pyatspi")
    return missing


def pyatspi_python():
    """An interpreter that has pyatspi: this one, or Debian's."""
    for python in (sys.executable, DEBIAN_PYTHON):
        if os.path.exists(python) and subprocess.run(
                [python, "-c", "import importlib.util, sys; sys.exit(not importlib.util.find_spec('pyatspi'))"],
                capture_output=True).returncode == 0:
            return python
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    args = parser.parse_args()

    if INNER not in os.environ:
        python = pyatspi_python()
        missing = missing_tools(python)
        if missing:
            print("missing: " + ", ".join(missing))
            return 1 if os.environ.get("CI") == "true" else SKIP
        # A session bus of its own; it activates the accessibility bus and its registry, and ends
        # them when the run ends.
        with tempfile.TemporaryDirectory(prefix="vesk-a11y-") as work:
            marker = os.path.join(work, "bus-started")
            done = subprocess.run(["dbus-run-session", "--", python, os.path.abspath(__file__), *sys.argv[1:]],
                                  env=dict(os.environ, **{INNER: marker}), stderr=subprocess.PIPE, timeout=80)
            if done.returncode != 0 and not os.path.exists(marker):
                print("SKIP: the session bus did not start: " + done.stderr.decode("utf-8", "replace").strip())
                return SKIP
            sys.stderr.write(done.stderr.decode("utf-8", "replace")[-4000:] if done.returncode else "")
            return done.returncode

    open(os.environ[INNER], "w").close()
    return run_on_display(run, args.program)

if __name__ == "__main__":
    sys.exit(main())
