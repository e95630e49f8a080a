#!/usr/bin/env python3
"""vesk-cli.exe stores, list --all-stores and delete under Wine over a generated profile: the
Windows stores found, the console question, the refusal without a console, the result lines and
the entries that must be left exactly as they were.

Needs WINEPREFIX and the rest of scripts/test-windows.sh's Wine environment."""

import json
import os
import pty
import select
import subprocess
import sys
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import check, main_under_wine, snapshot  # noqa: E402
from solgen import write_sol  # noqa: E402

PEPPER = os.path.join("Pepper Data", "Shockwave Flash", "WritableRoot")


# Wine's Z: drive is the Unix root; converting here spares a Wine start per path (winepath).
def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def unix_path(windows):
    check(windows.startswith("Z:\\"), f"a path on the Z: drive: {windows!r}")
    return windows[2:].replace("\\", "/")


def put(path, site="c"):
    return write_sol(path, site, [("k", site)])


class Profile:
    """A roaming and a local application-data folder: the plug-in's store, Chrome and Edge with two
    profiles each; Brave installed without any player store; Vivaldi and Opera absent."""

    def __init__(self, scratch):
        self.appdata = os.path.join(scratch, "roaming")
        self.local = os.path.join(scratch, "local")
        self.outside = os.path.join(scratch, "outside")
        self.stores = [("plug-in", os.path.join(self.appdata, "macromedia", "flash player")),
                       ("chrome/Default", os.path.join(self.local, "Google", "Chrome", "User Data", "Default", PEPPER)),
                       ("chrome/Profile 1", os.path.join(self.local, "Google", "Chrome", "User Data", "Profile 1",
                                                         PEPPER)),
                       ("edge/Default", os.path.join(self.local, "Microsoft", "Edge", "User Data", "Default", PEPPER)),
                       ("edge/Profile 2", os.path.join(self.local, "Microsoft", "Edge", "User Data", "Profile 2",
                                                       PEPPER))]
        self.cookies = {}  # unix path -> (store, site)
        for index, (name, folder) in enumerate(self.stores):
            for site in ("keep.example", "ads.tracker.example"):
                path = os.path.join(folder, "#SharedObjects", f"R4ND0M0{index}", site, "c.sol")
                self.cookies[put(path, site)] = (name, site)
        os.makedirs(os.path.join(self.local, "BraveSoftware", "Brave-Browser", "User Data", "Default"))

    def existing(self):
        return {p for p in self.cookies if os.path.lexists(p)}


class Program:
    def __init__(self, exe, profile):
        self.windows_exe = windows_path(exe)
        self.setting = (f"set APPDATA={windows_path(profile.appdata)}&& "
                        f"set LOCALAPPDATA={windows_path(profile.local)}&& ")

    def command(self, args):
        # Wine sets both folders from its own profile; cmd lets the program see ours. No quotes:
        # Wine's cmd takes escaped ones for part of a name, and no argument here holds a blank.
        return ["wine", "cmd", "/c", self.setting + self.windows_exe + " " + " ".join(args)]

    def run(self, *args):
        done = subprocess.run(self.command(args), stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")

    def on_console(self, answer, *args):
        """Runs on a terminal, which Wine makes the program's console, and types `answer` once
        asked. Raw mode, so that the console receives Enter as CR."""
        master, slave = pty.openpty()
        tty.setraw(slave)
        process = subprocess.Popen(self.command(args), stdin=slave, stdout=slave, stderr=slave)
        os.close(slave)
        seen, answered, deadline = b"", False, time.time() + 120
        while time.time() < deadline:
            ready, _, _ = select.select([master], [], [], 10)
            if not ready:
                if process.poll() is not None:
                    break
                continue
            try:
                chunk = os.read(master, 65536)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
            if not answered and b"[y/N]" in seen:
                os.write(master, answer.encode() + b"\r")
                answered = True
        os.close(master)
        if process.poll() is None:
            process.kill()
        return process.wait(timeout=60), answered


def results(out):
    return {path: result for result, path in (line.split("\t", 1) for line in out.splitlines())}


def run_checks(args, scratch):
    profile = Profile(scratch)
    program = Program(args.program, profile)
    to_unix = {windows_path(p): p for p in profile.cookies}

    rc, out, err = program.run("stores")
    rows = [line.split("\t") for line in out.splitlines()]
    check(rc == 0, f"stores: status {rc}, stderr {err!r}")
    check([(r[0], r[3]) for r in rows] ==
          [(name, windows_path(folder) + "\\") for name, folder in profile.stores], f"stores: {rows}")
    check(all(r[2] == "2" for r in rows), f"two cookies in each: {rows}")

    rc, out, _ = program.run("list", "--all-stores", "--format", "json")
    records = [json.loads(line) for line in out.splitlines()]
    check(rc == 0 and sorted(to_unix[r["path"]] for r in records) == sorted(profile.cookies), "every cookie once")
    order = [name for name, _ in profile.stores]
    check([r["store"] for r in records] == sorted((r["store"] for r in records), key=order.index),
          "in store order")
    check(all(profile.cookies[to_unix[r["path"]]] == (r["store"], r["site"]) for r in records), "store and site")

    before = profile.existing()
    rc, out, err = program.run("delete", "--all-stores", "--all")
    check(rc == 2 and out == "" and profile.existing() == before, f"no console, no --yes: {rc} {err!r}")

    # Special entries in the plug-in's store, each to be left as it was.
    site = os.path.join(profile.stores[0][1], "#SharedObjects", "R4ND0M00", "special.example")
    target = put(os.path.join(profile.outside, "target.sol"))
    inner = put(os.path.join(profile.outside, "cookies", "inner.sol"))
    readonly = put(os.path.join(site, "readonly.sol"))
    os.chmod(readonly, 0o444)  # the read-only attribute, as Wine shows it
    link = os.path.join(site, "link.sol")
    os.symlink(target, link)
    os.symlink(os.path.dirname(inner), os.path.join(site, "folder-link"))
    fifo = os.path.join(site, "x.sol")
    os.mkfifo(fifo)
    kept = [p for p, (_, s) in profile.cookies.items() if s == "keep.example"]
    watched = [readonly, link, fifo, target, inner] + kept
    before = {p: snapshot(p, times=False) for p in watched}

    rc, out, err = program.run("delete", "--all-stores", "--all", "--keep", "KEEP.*", "--yes")
    got = {unix_path(path): result for path, result in results(out).items()}
    check(rc == 1, f"survivors give status 1: {rc} {err!r}")
    check(got.get(readonly) == "kept: read-only", f"read-only: {got}")
    # Wine follows a Unix link whatever is asked, so the program refuses it rather than risk
    # the target; Windows itself removes the link.
    check(got.get(link) in ("deleted", "refused: path changed"), f"link: {got}")
    check(got.get(fifo, "").startswith(("refused", "error")), f"FIFO: {got}")
    check(not any(p.startswith(os.path.join(site, "folder-link")) for p in got), "folder link not entered")
    tracked = {p for p, (_, s) in profile.cookies.items() if s == "ads.tracker.example"}
    check(all(got.get(p) == "deleted" for p in tracked) and not any(os.path.lexists(p) for p in tracked),
          f"the other sites' cookies are deleted: {got}")
    for path, was in before.items():
        if path == link and got.get(link) == "deleted":
            check(not os.path.lexists(link), "the deleted link is gone")
            continue
        check(os.path.lexists(path) and snapshot(path, times=False) == was, f"{path} left exactly as it was")

    for answer, deleted in (("n", False), ("y", True)):
        rc, answered = program.on_console(answer, "delete", "--all-stores", "--site", "keep.example")
        check(answered, "the question is asked on the console")
        check((rc == 0) == deleted and any(os.path.exists(p) for p in kept) != deleted,
              f"answer {answer!r}: status {rc}")


if __name__ == "__main__":
    sys.exit(main_under_wine("vesk-cli.exe stores and delete under Wine", run_checks, "vesk-cleanup-wine-"))
