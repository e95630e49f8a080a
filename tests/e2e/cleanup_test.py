#!/usr/bin/env python3
"""vesk-cli stores, list --all-stores and delete end to end over a generated home: the stores
found, the selection rules, the question at a pseudo-terminal, the refusal without one, the result
lines and exit statuses, and the entries that must be left exactly as they were."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import at_terminal, check, outcome, snapshot  # noqa: E402
from solgen import write_sol  # noqa: E402

PEPPER = "Pepper Data/Shockwave Flash/WritableRoot"
SYS = "macromedia.com/support/flashplayer/sys"


def put(path, name="c"):
    return write_sol(path, name, [("k", name)])


class Home:
    """The plug-in's store and two browsers with two profiles each; Vivaldi and Opera absent,
    Edge present without any player store."""

    STORES = [("plug-in", ".macromedia/Flash_Player"),
              ("chrome/Default", f".config/google-chrome/Default/{PEPPER}"),
              ("chrome/Profile 2", f".config/google-chrome/Profile 2/{PEPPER}"),
              ("brave/Default", f".config/BraveSoftware/Brave-Browser/Default/{PEPPER}"),
              ("brave/Profile 1", f".config/BraveSoftware/Brave-Browser/Profile 1/{PEPPER}")]

    def __init__(self, root):
        self.root = root
        self.home = os.path.join(root, "home")
        self.folders = {name: os.path.join(self.home, rel) + "/" for name, rel in self.STORES}
        self.cookies = {}  # path -> (store, site, kind)
        for index, (name, _) in enumerate(self.STORES):
            base = self.folders[name] + "#SharedObjects/R4ND0M0" + str(index)
            self.add(name, f"{base}/www.example.com/game.swf/save.sol", "www.example.com")
            self.add(name, f"{base}/ads.tracker.net/t.sol", "ads.tracker.net")
        plug = self.folders["plug-in"]
        self.add("plug-in", f"{plug}#SharedObjects/R4ND0M00/localhost/local.sol", "localhost")
        self.add("plug-in", f"{plug}{SYS}/settings.sol", "", "settings")
        self.add("plug-in", f"{plug}{SYS}/#www.example.com/settings.sol", "www.example.com", "settings")
        os.makedirs(os.path.join(self.home, ".config/microsoft-edge/Default"))
        os.makedirs(os.path.join(self.home, ".config/vivaldi"))

    def add(self, store, path, site, kind="cookie"):
        put(path)
        self.cookies[path] = (store, site, kind)

    def existing(self):
        return {p for p in self.cookies if os.path.lexists(p)}


class Program:
    def __init__(self, path, home):
        self.path = path
        self.env = {k: v for k, v in os.environ.items() if k not in ("APPDATA", "XDG_CONFIG_HOME")}
        self.env["HOME"] = home

    def run(self, *args):
        done = subprocess.run([self.path, *args], env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=60)
        return done.returncode, done.stdout.decode(), done.stderr.decode()

    def at_terminal(self, answer, *args):
        """Runs with a pseudo-terminal as its input and output; types `answer` once asked."""
        status, seen, answered = at_terminal([self.path, *args], self.env, answer)
        return status, seen.decode(), answered


def result_lines(out):
    return [tuple(line.split("\t", 1)) for line in out.splitlines()]


ROOTS = []  # removed at the end


def fresh(program_path):
    root = tempfile.mkdtemp(prefix="vesk-cleanup-e2e-")
    ROOTS.append(root)
    home = Home(root)
    return home, Program(program_path, home.home)


def test_stores(program, home):
    rc, out, err = program.run("stores")
    check(rc == 0 and err == "", f"stores: {rc} {err!r}")
    rows = [line.split("\t") for line in out.splitlines()]
    check([r[0] for r in rows] == [name for name, _ in Home.STORES], f"stores and their order: {rows}")
    check([r[3] for r in rows] == [home.folders[name] for name, _ in Home.STORES], f"folders: {rows}")
    check(rows[0][1:3] == ["plug-in", "3"] and rows[2][1:3] == ["Google Chrome (Profile 2)", "2"],
          f"kinds and cookie counts: {rows}")
    rc, out, _ = program.run("stores", "--format", "json")
    records = [json.loads(line) for line in out.splitlines()]
    check(rc == 0 and [(r["store"], r["kind"], r["cookies"], r["settings"]) for r in records][:2] ==
          [("plug-in", "plug-in", 3, 2), ("chrome/Default", "browser", 2, 0)], f"stores json: {records}")
    check(records[4]["browser"] == "Brave" and records[4]["profile"] == "Profile 1", f"brave row: {records[4]}")
    rc, out, _ = program.run("stores", "--format", "csv")
    check(rc == 0 and out.split("\r\n")[0] == "store,kind,browser,profile,folder,cookies,settings" and
          out.count("\r\n") == 6, f"stores csv: {out!r}")


def test_list_all_stores(program, home):
    rc, out, err = program.run("list", "--all-stores", "--format", "json")
    check(rc == 0 and err == "", f"list --all-stores: {rc} {err!r}")
    records = [json.loads(line) for line in out.splitlines()]
    paths = [r["path"] for r in records]
    check(sorted(paths) == sorted(home.cookies) and len(set(paths)) == len(paths), "every cookie once")
    order = [name for name, _ in Home.STORES]
    stores = [r["store"] for r in records]
    check(stores == sorted(stores, key=order.index), f"in store order: {stores}")
    for r in records:
        check((r["store"], r["site"] or "", r["kind"]) == home.cookies[r["path"]], f"row {r}")
    rc, out, _ = program.run("list", "--all-stores", "--root", "/")
    check(rc == 2, "--all-stores with --root is a usage error")


def test_refusals(program_path):
    home, program = fresh(program_path)
    before = home.existing()
    rc, out, err = program.run("delete", "--all", "--all-stores")
    check(rc == 2 and out == "" and "--yes" in err, f"no terminal, no --yes: {rc} {out!r} {err!r}")
    rc, _, err = program.run("delete", "--all-stores")
    check(rc == 2 and "--site" in err, "neither --site nor --all")
    rc, _, _ = program.run("delete", "--all", "--site", "x", "--all-stores")
    check(rc == 2, "--site with --all")
    rc, _, err = program.run("delete", "--all", "--yes", "--keep-file", os.path.join(home.root, "missing"))
    check(rc == 2 and "keep-file" in err, f"an unreadable keep-file stops everything: {rc} {err!r}")
    rc, out, _ = program.run("delete", "--all", "--all-stores", "--dry-run")
    expected = [("would delete", p) for p in sorted(home.cookies) if home.cookies[p][2] == "cookie"]
    check(rc == 0 and sorted(result_lines(out)) == expected, f"dry run lists the cookies: {out!r}")
    check(home.existing() == before, "nothing deleted by refusals and the dry run")


def test_selection(program_path):
    home, program = fresh(program_path)
    keep_file = os.path.join(home.root, "keep.txt")
    with open(keep_file, "w") as f:
        f.write("# kept on purpose\r\n\n  ADS.tracker.*  \r\n")
    rc, out, err = program.run("delete", "--all-stores", "--site", "*.EXAMPLE.com", "--site", "*.net",
                               "--keep-file", keep_file, "--yes")
    gone = {p for p, (_, site, kind) in home.cookies.items() if site == "www.example.com" and kind == "cookie"}
    check(rc == 0 and err == "", f"site delete: {rc} {err!r}")
    check(sorted(result_lines(out)) == sorted(("deleted", p) for p in gone), f"result lines: {out!r}")
    check(home.existing() == set(home.cookies) - gone, "only the chosen site's cookies are gone")

    rc, out, _ = program.run("delete", "--all-stores", "--all", "--keep", "localhost", "--keep", "ADS.*",
                             "--include-settings", "--yes", "--format", "json")
    records = [json.loads(line) for line in out.splitlines()]
    check(rc == 0 and {r["result"] for r in records} == {"deleted"}, f"json results: {records}")
    check({r["path"] for r in records if r["kind"] == "settings"} ==
          {p for p, v in home.cookies.items() if v[2] == "settings"}, "settings deleted when included")
    left = {home.cookies[p][1] for p in home.existing()}
    check(left == {"localhost", "ads.tracker.net"}, f"kept sites survive: {left}")


def test_roots(program_path):
    """Roots that name nothing walk nothing and delete nothing: each command line with its status and
    its one line on standard error (then the usage for a usage error)."""
    home, program = fresh(program_path)
    before = home.existing()
    missing = os.path.join(home.root, "missing")
    plug = home.folders["plug-in"]
    for args, status, first, usage in (
            (["delete", "--root", "", "--all", "--yes"], 2, "vesk-cli: --root: DIR is empty", True),
            (["delete", "--root=", "--all", "--yes"], 2, "vesk-cli: --root: DIR is empty", True),
            (["list", "--root", plug, "--root", ""], 2, "vesk-cli: --root: DIR is empty", True),
            (["delete", "--deeper", "--root", plug, "--all", "--yes"], 2, "vesk-cli: --deeper excludes --root", True),
            (["list", "--root", plug, "--deeper"], 2, "vesk-cli: --deeper excludes --root", True),
            (["delete", "--root", missing, "--all", "--yes"], 1,
             f"vesk-cli: {missing}: cannot open the folder: No such file or directory", False),
            (["delete", "--root", plug, "--root", missing, "--all", "--yes"], 1,
             f"vesk-cli: {missing}: cannot open the folder: No such file or directory", False)):
        rc, out, err = program.run(*args)
        lines = err.splitlines()
        check(rc == status and out == "" and lines[0] == first, f"{args}: {rc} {out!r} {err!r}")
        check(lines[1].startswith("usage: ") if usage else len(lines) == 1, f"{args}: {err!r}")
        check(home.existing() == before, f"{args}: nothing deleted")


def test_terminal(program_path):
    home, program = fresh(program_path)
    odd = put(home.folders["plug-in"] + "#SharedObjects/R4ND0M00/odd.example/t\x1b]0;owned\x07.sol")
    rc, seen, answered = program.at_terminal("n", "delete", "--site", "odd.example", "--all-stores")
    check(answered and "$'" + odd.replace("\x1b", "\\x1B").replace("\x07", "\\x07") + "'\n" in seen,
          f"the question shows the selection escaped: {seen!r}")
    check("\x1b]" not in seen and rc == 1 and os.path.exists(odd), f"nothing reached the terminal raw: {seen!r}")
    for answer, deleted in (("y", True), ("YES", True), ("n", False), ("", False), ("yess", False)):
        home, program = fresh(program_path)
        chosen = {p for p, v in home.cookies.items() if v[1] == "localhost"}
        rc, seen, answered = program.at_terminal(answer, "delete", "--site", "localhost", "--all-stores")
        check(answered and "Delete 1 cookie files? [y/N] " in seen, f"the question: {seen!r}")
        check(seen.index(next(iter(chosen))) < seen.index("[y/N]"), "the selection comes before the question")
        check((rc == 0) == deleted, f"answer {answer!r}: status {rc}")
        check(home.existing() == (set(home.cookies) - chosen if deleted else set(home.cookies)),
              f"answer {answer!r} deleted {'' if deleted else 'nothing'}")


def test_special_entries(program_path):
    """A read-only cookie, a link to a file outside, a link to an outside folder of cookies, a FIFO
    named x.sol and a kept site: each left as it was (the link itself goes, never its target)."""
    home, program = fresh(program_path)
    site = home.folders["plug-in"] + "#SharedObjects/R4ND0M00/special.example"
    outside = os.path.join(home.root, "outside")
    target = put(os.path.join(outside, "target.sol"))
    put(os.path.join(outside, "cookies", "inner.sol"))
    readonly = put(site + "/readonly.sol")
    os.chmod(readonly, 0o444)
    link = site + "/link.sol"
    os.symlink(target, link)
    os.symlink(os.path.join(outside, "cookies"), site + "/folder-link")
    fifo = site + "/x.sol"
    os.mkfifo(fifo)
    keep = [p for p, v in home.cookies.items() if v[1] == "localhost"]
    watched = [readonly, fifo, target, os.path.join(outside, "cookies", "inner.sol"), site + "/folder-link"] + keep
    before = {p: snapshot(p) for p in watched}

    rc, out, err = program.run("delete", "--root", home.folders["plug-in"], "--all", "--keep", "localhost", "--yes")
    results = dict((path, result) for result, path in result_lines(out))
    check(rc == 1, f"survivors give status 1, not {rc}: {err!r}")
    check(results.get(readonly) == "kept: read-only", f"read-only: {results}")
    check(results.get(fifo) == "refused: not a regular file", f"FIFO: {results}")
    check(results.get(link) == "deleted" and not os.path.lexists(link), f"the link goes: {results}")
    check(not any(p.startswith(site + "/folder-link") for p in results), "the folder link is not entered")
    check(not any(p in results for p in keep), "a kept site is not even tried")
    for path, was in before.items():
        check(os.path.lexists(path) and snapshot(path) == was, f"{path} left exactly as it was")

    rc, out, _ = program.run("delete", "--root", home.folders["plug-in"], "--site", "special.example", "--yes")
    check(rc == 1 and sorted(result_lines(out)) == sorted([("kept: read-only", readonly),
                                                           ("refused: not a regular file", fifo)]),
          f"a second run finds only the survivors: {out!r}")


def run_checks(program_path):
    with tempfile.TemporaryDirectory(prefix="vesk-cleanup-e2e-") as root:
        home = Home(root)
        program = Program(program_path, home.home)
        test_stores(program, home)
        test_list_all_stores(program, home)
    test_refusals(program_path)
    test_selection(program_path)
    test_roots(program_path)
    test_terminal(program_path)
    test_special_entries(program_path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    args = parser.parse_args()
    try:
        return outcome("vesk-cli stores and delete end to end", run_checks, args.program)
    finally:
        for root in ROOTS:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
