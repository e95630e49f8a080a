#!/usr/bin/env python3
"""vesk-cli.exe under Wine over a generated store whose names lie outside every ANSI code page:
list in three formats, show in two, the exit statuses, and the console output.

Needs WINEPREFIX and the rest of scripts/test-windows.sh's Wine environment."""

import csv
import io
import os
import pty
import re
import select
import struct
import subprocess
import sys
import fcntl
import termios

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from cli_test import MODIFIED, amf3_sol, json_lines  # noqa: E402
from harness import check, main_under_wine  # noqa: E402
from solgen import sol_bytes  # noqa: E402

SITE = "ελληνικά.example"
NAME = "日本語.sol"


def windows_path(unix_path):
    return subprocess.run(["winepath", "-w", unix_path], capture_output=True, text=True, check=True).stdout.strip()


def put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)
    os.utime(path, (MODIFIED, MODIFIED))


class Program:
    def __init__(self, exe, appdata):
        self.exe = exe
        self.windows_exe = windows_path(exe)
        self.appdata = appdata

    def run(self, *args):
        done = subprocess.run(["wine", self.exe, *args], capture_output=True, timeout=120)
        return done.returncode, done.stdout, done.stderr

    def run_with_appdata(self, *args):
        # Wine sets APPDATA from the prefix's profile; cmd lets the child see one of our own.
        # No quotes: Wine's cmd mistakes the escaped ones for part of the name (the paths here
        # hold no blanks).
        command = f"set APPDATA={self.appdata}&& {self.windows_exe} " + " ".join(args)
        done = subprocess.run(["wine", "cmd", "/c", command], capture_output=True, timeout=120)
        return done.returncode, done.stdout, done.stderr

    def run_on_console(self, *args):
        """Output written to a terminal, which Wine gives the program as its console."""
        master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 1000, 0, 0))
        process = subprocess.Popen(["wine", self.exe, *args], stdin=slave, stdout=slave, stderr=slave)
        os.close(slave)
        data = b""
        while True:
            ready, _, _ = select.select([master], [], [], 60)
            if not ready:
                process.kill()
                break
            try:
                chunk = os.read(master, 65536)
            except OSError:  # the terminal's other end has closed
                break
            if not chunk:
                break
            data += chunk
        os.close(master)
        process.wait(timeout=60)
        return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", data)


def run_checks(args, scratch):
    appdata = os.path.join(scratch, "appdata")
    store = os.path.join(appdata, "macromedia", "flash player", "#sharedobjects", "K3XQ2Z7M")
    greek = os.path.join(store, SITE, "game.swf", NAME)
    put(greek, amf3_sol("highscore", [("best", 12400), ("player", "Ζωή")]))
    # A quote cannot be part of a Windows name; the comma still needs CSV quoting.
    quoted = os.path.join(store, "plain.example", "a, b.sol")
    put(quoted, sol_bytes("q", [("k", 1)]))
    stray = os.path.join(appdata, "elsewhere", "stray.sol")
    put(stray, sol_bytes("stray", []))

    program = Program(args.program, windows_path(appdata))
    wgreek, wquoted, wstray = windows_path(greek), windows_path(quoted), windows_path(stray)

    rc, out, err = program.run_with_appdata("list")
    check(rc == 0, f"list: status {rc}, stderr {err!r}")
    paths = out.decode("utf-8").split("\n")[:-1]
    check(sorted(paths) == sorted([wgreek, wquoted]), f"list gives the store's files exactly: {paths}")

    rc, out, _ = program.run_with_appdata("list", "--format", "json")
    records = json_lines(out)
    check(rc == 0 and [r["path"] for r in records] == paths, f"JSON in the same order: {records}")
    greek_record = next(r for r in records if r["path"] == wgreek)
    check(greek_record == {"path": wgreek, "folder": "game.swf", "site": SITE, "size": os.path.getsize(greek),
                           "modified": "2010-05-14T18:22:05Z"}, f"JSON record {greek_record}")

    rc, out, _ = program.run_with_appdata("list", "--format", "csv")
    rows = list(csv.reader(io.StringIO(out.decode("utf-8"), newline="")))
    check(rc == 0 and [r[0] for r in rows[1:]] == paths, f"CSV in the same order: {rows}")
    check([wquoted, "plain.example", "plain.example"] in [r[:3] for r in rows], f"CSV quoting: {out!r}")

    rc, out, _ = program.run_with_appdata("list", "--deeper")
    check(rc == 0 and wstray in out.decode("utf-8").split("\n"), "deeper reaches the whole APPDATA")

    rc, out, _ = program.run("list", "--root", windows_path(os.path.dirname(stray)),
                             "--root", windows_path(os.path.dirname(greek)))
    check(rc == 0 and out.decode("utf-8") == f"{wstray}\n{wgreek}\n", f"roots in order: {out!r}")

    rc, out, err = program.run("show", "--format", "json", wgreek)
    check(rc == 0 and err == b"", f"show json: status {rc}, stderr {err!r}")
    (record,) = json_lines(out)
    check(record["values"] == {"best": 12400, "player": "Ζωή"} and record["amf"] == 3, f"show json {record}")

    rc, out, _ = program.run("show", wgreek)
    lines = out.decode("utf-8").split("\n")
    check(rc == 0 and lines[0] == wgreek, f"show text path line: {lines[:2]}")
    check(lines[1] == f"  site {SITE}, name highscore, AMF3, {os.path.getsize(greek)} bytes, "
                      "modified 2010-05-14 18:22:05 UTC", f"show text summary: {lines[1]!r}")
    check('  player = "Ζωή"' in lines, f"show text values: {lines}")

    missing = wgreek.replace(NAME, "λείπει.sol")
    rc, out, err = program.run("show", "--format", "json", missing, wquoted)
    check(rc == 1, f"a missing file gives status 1, not {rc}")
    check(missing in err.decode("utf-8"), f"the missing file is named on stderr: {err!r}")
    check([r["path"] for r in json_lines(out)] == [missing, wquoted], "both files have their line")

    wsite = windows_path(os.path.dirname(os.path.dirname(greek)))
    for usage in (["show"], ["list", "--format", "xml"], ["nonsense"], ["list", "--root", ""],
                  ["delete", "--root", "", "--all", "--yes"], ["delete", "--root=", "--all", "--yes"],
                  ["list", "--deeper", "--root", wsite], ["delete", "--root", wsite, "--deeper", "--all", "--yes"],
                  ["list", "-0", "--format", "json"]):
        rc, out, err = program.run(*usage)
        first, _, rest = err.decode("utf-8").partition("\n")
        check(rc == 2 and out == b"" and first.startswith("vesk-cli: ") and rest.startswith("usage: vesk-cli"),
              f"{usage}: status {rc}, stderr {err!r}")
        check(all(os.path.exists(p) for p in (greek, quoted, stray)), f"{usage}: every cookie is still there")

    rc, out, _ = program.run("list", "-0", "--root", wsite)
    check(rc == 0 and out == wgreek.encode("utf-8") + b"\0", f"list -0: the exact path and a NUL: {out!r}")
    wmissing = wsite + "\\λείπει"
    rc, out, err = program.run("delete", "--root", wmissing, "--all", "--yes")
    lines = err.decode("utf-8").splitlines()
    check(rc == 1 and out == b"" and len(lines) == 1 and
          lines[0].startswith(f"vesk-cli: {wmissing}: cannot open the folder: "), f"a missing root: {rc} {err!r}")
    check(os.path.exists(greek), "nothing deleted below a missing root")
    rc, out, err = program.run("--version")
    check(rc == 0 and out == f"vesk-cli {args.version}\n".encode(), f"--version: status {rc}, {out!r}, stderr {err!r}")

    shown = program.run_on_console("list", "--root", windows_path(os.path.dirname(greek)))
    check(wgreek.encode("utf-8") in shown, f"the console shows the name's characters: {shown!r}")

    # A right-to-left override in a name: escaped on the console, exact into a pipe.
    rtl = os.path.join(scratch, "rtl", "gnp\u202e.sol")
    put(rtl, sol_bytes("rtl", []))
    wrtl = windows_path(rtl)
    shown = program.run_on_console("list", "--root", windows_path(os.path.dirname(rtl)))
    check(("$'" + wrtl.replace("\\", "\\\\").replace("\u202e", "\\u202E") + "'").encode() in shown,
          f"the console shows the name escaped: {shown!r}")
    rc, out, _ = program.run("list", "--root", windows_path(os.path.dirname(rtl)))
    check(rc == 0 and out == (wrtl + "\n").encode("utf-8"), f"a pipe gets the exact name: {out!r}")


if __name__ == "__main__":
    sys.exit(main_under_wine("vesk-cli.exe under Wine", run_checks, "vesk-cli-wine-", "--version"))
