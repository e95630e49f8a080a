#!/usr/bin/env python3
"""vesk-cli end to end: list in its three formats and show in both over a generated store, and
the exit statuses. Paths are compared as bytes: one name in the store is not UTF-8."""

import argparse
import base64
import csv
import io
import json
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import at_terminal, check, outcome  # noqa: E402
from solgen import sol_bytes  # noqa: E402

MODIFIED = 1273861325  # 2010-05-14 18:22:05 UTC
STORE = b".macromedia/Flash_Player/#SharedObjects/K3XQ2Z7M"


def u29(n):
    if n < 0x80:
        return bytes([n])
    if n < 0x4000:
        return bytes([n >> 7 | 0x80, n & 0x7F])
    if n < 0x200000:
        return bytes([n >> 14 | 0x80, n >> 7 & 0x7F | 0x80, n & 0x7F])
    return bytes([n >> 22 | 0x80, n >> 15 & 0x7F | 0x80, n >> 8 & 0x7F | 0x80, n & 0xFF])


def amf3_string(text):
    raw = text.encode("utf-8")
    return u29(len(raw) << 1 | 1) + raw


def amf3_value(value):
    if value is True:
        return b"\x03"
    if isinstance(value, int):
        return b"\x04" + u29(value & 0x1FFFFFFF)
    if isinstance(value, float):
        return b"\x05" + struct.pack(">d", value)
    return b"\x06" + amf3_string(value)


def amf3_sol(name, fields):
    body = b"TCSO" + b"\x00\x04\x00\x00\x00\x00" + struct.pack(">H", len(name)) + name.encode() + b"\x00\x00\x00\x03"
    for key, value in fields:
        body += amf3_string(key) + amf3_value(value) + b"\x00"
    return b"\x00\xbf" + struct.pack(">I", len(body)) + body


class Store:
    """A home folder with a Flash Player store, a stray cookie outside it and a few decoys."""

    def __init__(self, home):
        self.home = home
        store = os.path.join(home, STORE)
        self.amf3 = self.put(os.path.join(store, b"games.example", b"tetris.swf", b"highscore.sol"),
                             amf3_sol("highscore", [("best", 12400), ("player", "anna"), ("ratio", 0.5),
                                                    ("sound", True)]))
        self.amf0 = self.put(os.path.join(store, b"news.example", b"prefs.SOL"),
                             sol_bytes("prefs", [("title", "Hello"), ("count", 3), ("dark", False), ("none", None)]))
        self.odd = self.put(os.path.join(store, b"odd\xff.example", b"n\xe9.sol"), sol_bytes("odd", [("k", "v")]))
        self.comma = self.put(os.path.join(store, b'comma, "quoted"', b'a,"b".sol'), sol_bytes("q", [("k", 1)]))
        # A name that would drive a terminal: a right-to-left override, a colour and a line feed.
        self.escape = self.put(os.path.join(store, b"rtl\xe2\x80\xae.example", b"a\x1b[31mRED\nB.sol"),
                               sol_bytes("e", [("k", 1)]))
        good = sol_bytes("broken", [("kept", "yes"), ("lost", "a long string")])
        self.broken = self.put(os.path.join(store, b"broken.example", b"cut.sol"), good[:-6])
        self.stray = self.put(os.path.join(home, b"elsewhere", b"stray.sol"), sol_bytes("stray", []))
        self.put(os.path.join(store, b"news.example", b"notes.txt"), b"not a cookie")
        os.makedirs(os.path.join(store, b"folder.sol"))
        self.folder = os.path.join(store, b"folder.sol")
        self.listed = [self.amf3, self.amf0, self.odd, self.comma, self.broken, self.escape]

    @staticmethod
    def put(path, data):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        os.utime(path, (MODIFIED, MODIFIED))
        return path


class Program:
    def __init__(self, path, home):
        self.path = path
        self.env = {k: v for k, v in os.environ.items() if k != "APPDATA"}
        self.env["HOME"] = os.fsdecode(home)

    def run(self, *args):
        done = subprocess.run([self.path, *args], env=self.env, capture_output=True, timeout=60)
        return done.returncode, done.stdout, done.stderr

    def at_terminal(self, *args):
        """Standard output and error on a pseudo-terminal: what the person there sees."""
        status, seen, _ = at_terminal([self.path, *args], self.env)
        return status, seen


def json_lines(out):
    check(out.endswith(b"\n"), "JSON Lines end with a newline")
    return [json.loads(line) for line in out.decode("utf-8").splitlines()]


def exact_path(record):
    """The path's bytes: from path_bytes where JSON could not carry them, else from path."""
    if "path_bytes" in record:
        return base64.b64decode(record["path_bytes"]["$bytes"])
    return record["path"].encode("utf-8")


def test_list(program, store):
    rc, out, err = program.run("list", "-0")
    check(rc == 0 and err == b"", f"list: status {rc}, stderr {err!r}")
    paths = out.split(b"\0")
    check(paths[-1] == b"", "every path ends with a NUL byte")
    paths = paths[:-1]
    check(sorted(paths) == sorted(store.listed), f"list -0 gives the store's cookies exactly: {paths}")
    rc, out, err = program.run("list")
    check(rc == 0 and out == b"".join(p + b"\n" for p in paths), f"into a pipe, the exact bytes a line: {out!r}")

    rc, out, _ = program.run("list", "--format", "json")
    check(rc == 0, "list json status")
    records = json_lines(out)
    check([exact_path(r) for r in records] == paths, "JSON lists the same files in the same order")
    for record in records:
        path = exact_path(record)
        check(("path_bytes" in record) == (path == store.odd), f"path_bytes only where needed: {record}")
        check(record["size"] == os.path.getsize(path), f"size of {path}")
        check(record["modified"] == "2010-05-14T18:22:05Z", f"modified of {path}: {record['modified']}")
        check(record["folder"] == os.path.basename(os.path.dirname(path)).decode("utf-8", "replace"),
              f"folder of {path}: {record['folder']}")
    by_path = {exact_path(r): r for r in records}
    check(by_path[store.amf3]["site"] == "games.example", "site below the random folder")
    check(by_path[store.odd]["site"] == "odd\ufffd.example", "a site that is not UTF-8 is replaced in JSON")
    check(by_path[store.comma]["site"] == 'comma, "quoted"', "site with comma and quotes")

    rc, out, _ = program.run("list", "--format", "csv")
    check(rc == 0, "list csv status")
    check(out.count(b"\r\n") == len(paths) + 1 and
          out.count(b"\n") == len(paths) + 1 + sum(p.count(b"\n") for p in paths), "CSV records end in CRLF")
    rows = list(csv.reader(io.StringIO(out.decode("utf-8", "surrogateescape"), newline="")))
    check(rows[0] == ["path", "folder", "site", "size", "modified"], f"CSV header: {rows[0]}")
    check([os.fsencode(r[0]) for r in rows[1:]] == paths, "CSV carries the exact paths in order")
    for row in rows[1:]:
        path = os.fsencode(row[0])
        check(os.fsencode(row[1]) == os.path.basename(os.path.dirname(path)), f"CSV folder of {path}")
        check(row[3:] == [str(os.path.getsize(path)), "2010-05-14T18:22:05Z"], f"CSV size and time: {row}")
    check({os.fsencode(r[0]): r[2] for r in rows[1:]}[store.comma] == 'comma, "quoted"', "CSV site")

    rc, out, _ = program.run("list", "--deeper", "-0")
    check(rc == 0 and sorted(out.split(b"\0")[:-1]) == sorted(store.listed + [store.stray]),
          "deeper adds the cookie outside the store")
    rc, out, _ = program.run("list", "--root", os.fsdecode(os.path.dirname(store.stray)),
                             "--root", os.fsdecode(os.path.dirname(store.amf0)))
    check(rc == 0 and out == store.stray + b"\n" + store.amf0 + b"\n", f"roots in the given order: {out!r}")


def test_show(program, store):
    rc, out, err = program.run("show", os.fsdecode(store.amf3))
    check(rc == 0 and err == b"", f"show of a clean file: status {rc}, stderr {err!r}")
    lines = out.decode("utf-8").split("\n")
    check(lines[0].encode() == store.amf3, "first line is the path")
    check(lines[1] == f"  site games.example, name highscore, AMF3, {os.path.getsize(store.amf3)} bytes, "
                      "modified 2010-05-14 18:22:05 UTC", f"summary line: {lines[1]!r}")
    for expected in ("  best = 12400", '  player = "anna"'):
        check(expected in lines, f"{expected!r} in {lines}")

    files = [store.amf3, store.amf0, store.odd, store.broken]
    rc, out, err = program.run("show", "--format", "json", *map(os.fsdecode, files))
    check(rc == 1, f"a file with a problem gives status 1, not {rc}")
    check(err == b"", "problems of decoded files go to the output only")
    records = json_lines(out)
    check([exact_path(r) for r in records] == files, "one line per file, in the given order")
    amf3, amf0, odd, broken = records
    check(amf3["values"] == {"best": 12400, "player": "anna", "ratio": 0.5, "sound": True}, f"AMF3 values {amf3}")
    check((amf3["name"], amf3["amf"], amf3["problems"]) == ("highscore", 3, []), "AMF3 header")
    check(amf0["values"] == {"title": "Hello", "count": 3, "dark": False, "none": None}, f"AMF0 values {amf0}")
    check((amf0["amf"], amf0["site"], amf0["folder"]) == (0, "news.example", "news.example"), "AMF0 record")
    check(odd["site"] == "odd\ufffd.example" and odd["values"] == {"k": "v"}, f"odd record {odd}")
    check(broken["values"].get("kept") == "yes", f"the pair before the cut is kept: {broken}")
    check(broken["problems"] and all(isinstance(p["offset"], int) and p["message"] for p in broken["problems"]),
          f"the cut is a problem with offset and message: {broken['problems']}")

    rc, out, err = program.run("show", "--format", "json", os.fsdecode(store.folder), os.fsdecode(store.amf0))
    check(rc == 1, "an unreadable file gives status 1")
    check(err.count(b"\n") == 1 and store.folder in err, f"one message on stderr: {err!r}")
    unreadable, readable = json_lines(out)
    check(unreadable["values"] == {} and unreadable["problems"][0]["message"].startswith("cannot read"),
          f"unreadable record {unreadable}")
    check(readable["problems"] == [], "the other file is still shown")
    rc, out, err = program.run("show", os.fsdecode(store.folder), os.fsdecode(store.amf0))
    check(rc == 1 and out.startswith(store.amf0 + b"\n") and store.folder not in out,
          "in text the unreadable file is only on stderr")


def test_terminal(program, store):
    """On a terminal a path that would act on it is shown escaped, as ls does; -0 stays exact."""
    escaped = b"$'" + store.escape.replace(b"\xe2\x80\xae", b"\\u202E").replace(b"\x1b", b"\\x1B").replace(
        b"\n", b"\\n") + b"'"
    rc, seen = program.at_terminal("list")
    check(rc == 0 and escaped + b"\n" in seen, f"escaped on a terminal: {seen!r}")
    check(b"\x1b" not in seen and b"\xe2\x80\xae" not in seen, "no control reaches the terminal")
    check(store.amf3 + b"\n" in seen, "a plain path is shown as it is")
    rc, seen = program.at_terminal("list", "--root", os.fsdecode(store.escape))
    check(rc == 1 and b"vesk-cli: " + escaped + b": cannot open the folder: Not a directory" in seen,
          f"an error line escapes the path it names: {seen!r}")
    rc, seen = program.at_terminal("list", "-0")
    check(rc == 0 and store.escape + b"\0" in seen, "-0 writes the exact bytes even on a terminal")


def test_usage(program, version, store):
    root = os.fsdecode(os.path.dirname(store.amf0))
    for args in ([], ["show"], ["list", "--format", "xml"], ["show", "--format", "csv", "x.sol"], ["frobnicate"],
                 ["list", "--root"], ["list", "--root", ""], ["list", "--bogus"],
                 ["list", "--root="], ["list", "--root", root, "--root", ""], ["delete", "--root", "", "--all", "--yes"],
                 ["delete", "--root=", "--all", "--yes"], ["list", "--deeper", "--root", root],
                 ["delete", "--deeper", "--root", root, "--all", "--yes"], ["list", "-0", "--format", "json"],
                 ["list", "--print0", "--format", "csv"]):
        rc, out, err = program.run(*args)
        check(rc == 2, f"{args}: usage error gives 2, not {rc}")
        check(out == b"", f"{args}: nothing on stdout")
        first, rest = err.decode().split("\n", 1)
        check(first.startswith("vesk-cli: ") and rest.startswith("usage: vesk-cli "), f"{args}: stderr {err!r}")
        check(all(os.path.exists(p) for p in store.listed), f"{args}: every cookie is still there")
    _, _, err = program.run("frobnicate")
    check(err.startswith(b"vesk-cli: unknown command: frobnicate\n"), f"an unknown command is named: {err!r}")
    rc, out, _ = program.run("--version")
    check(rc == 0 and out == f"vesk-cli {version}\n".encode(), f"--version: {out!r}")
    for args in (["--help"], ["list", "--help"], ["show", "--help"]):
        rc, out, _ = program.run(*args)
        expected = b"show" if args == ["--help"] else b"--format"
        check(rc == 0 and expected in out, f"{args}: {out!r}")


def run_checks(program, store, version):
    test_list(program, store)
    test_show(program, store)
    test_terminal(program, store)
    test_usage(program, version, store)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="vesk-cli-e2e-") as home:
        home = os.fsencode(home)
        return outcome("vesk-cli end to end", run_checks, Program(args.program, home), Store(home), args.version)


if __name__ == "__main__":
    sys.exit(main())
