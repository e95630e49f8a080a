#!/usr/bin/env python3
"""vesk-cli stores, copy and list --format bodyfile end to end over a generated home holding a store
of every kind: the stores found with their kinds, a backup and a move into Ruffle compared byte
for byte, a second copy skipped and a replacement that keeps a .bak, and Debian's mactime reading
the body file into a timeline."""

import argparse
import filecmp
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cleanup_test import PEPPER, SYS, Program, put  # noqa: E402
from harness import check, outcome_in_scratch  # noqa: E402

# Row name, text kind, folder below the home.
STORES = [("plug-in", "plug-in", ".macromedia/Flash_Player"),
          ("chrome/Default", "Google Chrome (Default)", f".config/google-chrome/Default/{PEPPER}"),
          ("ruffle/native", "Ruffle (native)", ".local/share/ruffle"),
          ("ruffle/flatpak", "Ruffle (Flatpak)", ".var/app/rs.ruffle.Ruffle/data/ruffle"),
          ("air/com.example.Game", "AIR (com.example.Game)", ".appdata/com.example.Game/Local Store")]


class Home:
    def __init__(self, root):
        self.root = root
        self.home = os.path.join(root, "home")
        self.folders = {name: os.path.join(self.home, rel) + "/" for name, _, rel in STORES}
        plug, chrome = self.folders["plug-in"], self.folders["chrome/Default"]
        # Flash Player cookie -> its place below Ruffle's SharedObjects.
        self.moves = {
            put(f"{plug}#SharedObjects/K3XQ/games.example/play/tetris.swf/hi.sol", "hi"):
                "games.example/play/tetris.swf/hi.sol",
            put(f"{plug}#SharedObjects/K3XQ/localhost/home/me/g.swf/l.sol", "l"): "localhost/home/me/g.swf/l.sol",
            put(f"{plug}#SharedObjects/K3XQ/#localWithNet/home/me/n.swf/n.sol", "n"): "localhost/home/me/n.swf/n.sol",
            put(f"{chrome}#SharedObjects/ZZ9/ads.example/a.swf/t.sol", "t"): "ads.example/a.swf/t.sol",
        }
        self.settings = put(f"{plug}{SYS}/#games.example/settings.sol", "s")
        self.others = [put(self.folders["ruffle/native"] + "SharedObjects/old.example/o.swf/o.sol", "o"),
                       put(self.folders["ruffle/flatpak"] + "SharedObjects/flat.example/f.swf/f.sol", "f"),
                       put(self.folders["air/com.example.Game"] + "#SharedObjects/Game.swf/save.sol", "g")]
        self.all = list(self.moves) + [self.settings] + self.others


def lines(out):
    return [line.split("\t") for line in out.splitlines()]


def snapshot(paths):
    result = {}
    for path in paths:
        with open(path, "rb") as f:
            result[path] = (f.read(), os.stat(path).st_mtime_ns)
    return result


def no_temporary_files(folder):
    return not [n for _, _, names in os.walk(folder) for n in names if n.startswith(".vesk-")]


def test_stores(program, home):
    rc, out, err = program.run("stores")
    rows = lines(out)
    check(rc == 0 and err == "", f"stores: {rc} {err!r}")
    check([(r[0], r[1], r[3]) for r in rows] == [(n, k, home.folders[n]) for n, k, _ in STORES], f"stores: {rows}")
    rc, out, _ = program.run("stores", "--format", "json")
    kinds = [json.loads(line)["kind"] for line in out.splitlines()]
    check(kinds == ["plug-in", "browser", "ruffle", "ruffle", "air"], f"kinds: {kinds}")


def test_copy(program, home):
    before = snapshot(home.all)
    backup = os.path.join(home.root, "backup")
    rc, out, err = program.run("copy", "--all-stores", "--all", "--include-settings", "--to", backup)
    check(rc == 0 and err == "", f"copy --to: {rc} {err!r}")
    check(sorted(r[0] for r in lines(out)) == ["copied"] * len(home.all), f"one line a file: {out!r}")
    for result, source, target in lines(out):
        store = next(n for n, _, _ in STORES if source.startswith(home.folders[n]))
        expected = os.path.join(backup, store.replace("/", "%2F"), source[len(home.folders[store]):])
        check(target == expected and filecmp.cmp(source, target, shallow=False), f"{source} backed up at {target}")

    ruffle = os.path.join(home.root, "ruffle-data")
    args = ("copy", "--all-stores", "--all", "--include-settings", "--to-ruffle", "--ruffle-dir", ruffle)
    rc, out, err = program.run(*args)
    check(rc == 0 and err == "", f"copy --to-ruffle: {rc} {err!r}")
    expected = sorted(("copied", s, os.path.join(ruffle, "SharedObjects", b)) for s, b in home.moves.items())
    check(sorted(tuple(r) for r in lines(out)) == expected, f"only the Flash Player's cookies: {out!r}")
    for source, below in home.moves.items():
        check(filecmp.cmp(source, os.path.join(ruffle, "SharedObjects", below), shallow=False), f"{below} exact")

    rc, out, _ = program.run(*args, "--format", "json")
    records = [json.loads(line) for line in out.splitlines()]
    check(rc == 1 and {r["result"] for r in records} == {"exists"} and len(records) == len(home.moves),
          f"a second copy skips them all: {rc} {records}")

    target = os.path.join(ruffle, "SharedObjects", "games.example/play/tetris.swf/hi.sol")
    with open(target, "wb") as f:
        f.write(b"older save")
    rc, out, _ = program.run("copy", "--site", "games.example", "--to-ruffle", "--ruffle-dir", ruffle, "--replace")
    check(rc == 0 and [r[0] for r in lines(out)] == ["replaced"], f"replaced: {rc} {out!r}")
    with open(target + ".bak", "rb") as f:
        check(f.read() == b"older save", "the old save kept as .bak")
    rc, out, _ = program.run("copy", "--site", "games.example", "--to-ruffle", "--ruffle-dir", ruffle, "--replace")
    check(rc == 1 and [r[0] for r in lines(out)] == ["failed: hi.sol.bak exists"], f"a .bak is never overwritten: {out!r}")

    rc, _, err = program.run("copy", "--all", "--to", backup, "--to-ruffle")
    check(rc == 2, f"--to with --to-ruffle is a usage error: {rc} {err!r}")
    rc, _, err = program.run("copy", "--all")
    check(rc == 2 and "--to" in err, f"no target is a usage error: {rc} {err!r}")
    check(snapshot(home.all) == before, "the sources were only read")
    check(no_temporary_files(backup) and no_temporary_files(ruffle), "no temporary file left")


def test_bodyfile(program, home):
    rc, out, err = program.run("list", "--all-stores", "--format", "bodyfile")
    check(rc == 0 and err == "", f"bodyfile: {rc} {err!r}")
    fields = [line.split("|") for line in out.splitlines()]
    check(sorted(f[1] for f in fields) == sorted(home.all), f"one line a file: {out!r}")
    for f in fields:
        st = os.lstat(f[1])
        check(len(f) == 11 and f[0] == "0" and int(f[2]) == st.st_ino and f[3] == "r/rrw-r--r--" and
              int(f[6]) == st.st_size and int(f[8]) == int(st.st_mtime), f"fields of {f}")
    mactime = shutil.which("mactime")
    if mactime is None:
        check(os.environ.get("CI") != "true", "mactime (package sleuthkit) is missing")
        print("mactime not installed: the timeline is not checked")
        return
    # A name with the field separator and a line feed in it, escaped so the timeline keeps it whole.
    odd = put(home.folders["plug-in"] + "#SharedObjects/K3XQ/odd.example/a|b\nc.sol")
    os.utime(odd, (1000000000, 1273861325))
    rc, out, _ = program.run("list", "--all-stores", "--format", "bodyfile")
    body = os.path.join(home.root, "body.txt")
    with open(body, "w") as f:
        f.write(out)
    done = subprocess.run([mactime, "-b", body, "-z", "UTC", "-d"], capture_output=True, timeout=60)
    timeline = done.stdout.decode()
    check(done.returncode == 0, f"mactime: {done.returncode} {done.stderr!r}")
    rows = [line for line in timeline.splitlines()[1:] if line]
    check(len(rows) >= len(home.all) + 1, f"mactime lists every file: {timeline!r}")
    # mactime decodes "%7C" back to "|" and shows the line feed as "\x0A".
    check(any(r.startswith("Fri May 14 2010 18:22:05,") and ",m..." in r and r.endswith('/a|b\\x0Ac.sol"')
              for r in rows), f"the odd name's modification in the timeline: {timeline!r}")
    check(all(31 < ord(c) != 127 for c in timeline.replace("\n", "")), "no control byte in the timeline")


def run_checks(args, root):
    home = Home(root)
    program = Program(args.program, home.home)
    program.env.pop("XDG_DATA_HOME", None)
    test_stores(program, home)
    test_copy(program, home)
    test_bodyfile(program, home)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    return outcome_in_scratch("vesk-cli stores, copy and bodyfile end to end", run_checks, parser.parse_args(),
                              "vesk-copy-e2e-")


if __name__ == "__main__":
    sys.exit(main())
