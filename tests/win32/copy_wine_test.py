#!/usr/bin/env python3
"""vesk-cli.exe stores, copy and list --format bodyfile under Wine over a generated profile with
the plug-in's, Ruffle's and an AIR application's stores: every kind found, the plug-in's saves
copied into Ruffle's layout with names outside the ANSI code page, a second copy skipped, and the
timeline's fields.

Needs WINEPREFIX and the rest of scripts/test-windows.sh's Wine environment."""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from cleanup_wine_test import Program, put, unix_path, windows_path  # noqa: E402
from harness import check, main_under_wine  # noqa: E402

AIR_FOLDER = "com.example.Game.0123456789ABCDEF0123456789ABCDEF01234567.1"


class Profile:
    def __init__(self, scratch):
        self.appdata = os.path.join(scratch, "roaming")
        self.local = os.path.join(scratch, "local")
        self.plug_in = os.path.join(self.appdata, "macromedia", "flash player")
        self.ruffle = os.path.join(self.local, "ruffle")
        self.air = os.path.join(self.appdata, AIR_FOLDER, "Local Store")
        objects = os.path.join(self.plug_in, "#SharedObjects", "R4ND0M00")
        # Flash Player path -> where Ruffle keeps it, below its SharedObjects.
        self.moves = {
            put(os.path.join(objects, "日本.example", "ゲーム.swf", "セーブ.sol"), "a"):
                os.path.join("日本.example", "ゲーム.swf", "セーブ.sol"),
            put(os.path.join(objects, "localhost", "C", "Spiele", "Ölfeld.swf", "ß.sol"), "b"):
                os.path.join("localhost", "C", "Spiele", "Ölfeld.swf", "ß.sol"),
            put(os.path.join(objects, "#localWithNet", "D", "net.swf", "n.sol"), "c"):
                os.path.join("localhost", "D", "net.swf", "n.sol"),
        }
        self.settings = put(os.path.join(self.plug_in, "macromedia.com", "support", "flashplayer", "sys",
                                         "#日本.example", "settings.sol"), "s")
        self.ruffle_own = put(os.path.join(self.ruffle, "SharedObjects", "play.example", "old.swf", "r.sol"), "r")
        self.air_save = put(os.path.join(self.air, "#SharedObjects", "Game.swf", "save.sol"), "g")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run_checks(args, scratch):
    profile = Profile(scratch)
    program = Program(args.program, profile)
    rc, out, err = program.run("stores", "--format", "json")
    rows = [json.loads(line) for line in out.splitlines()]
    check(rc == 0, f"stores: status {rc}, stderr {err!r}")
    check([(r["store"], r["kind"], unix_path(r["folder"])) for r in rows] ==
          [("plug-in", "plug-in", profile.plug_in + "/"), ("ruffle/native", "ruffle", profile.ruffle + "/"),
           ("air/" + AIR_FOLDER, "air", profile.air + "/")], f"stores: {rows}")

    rc, out, err = program.run("list", "--all-stores", "--format", "json")
    sites = {unix_path(r["path"]): r["site"] for r in map(json.loads, out.splitlines())}
    check(rc == 0, f"list: status {rc}, stderr {err!r}")
    check(sites.get(profile.air_save) == "com.example.Game" and sites.get(profile.ruffle_own) == "play.example"
          and sites.get(profile.settings) == "日本.example", f"sites of every layout: {sites}")

    before = {path: read(path) for path in list(profile.moves) + [profile.settings, profile.air_save]}
    rc, out, err = program.run("copy", "--all-stores", "--all", "--include-settings", "--to-ruffle")
    check(rc == 0, f"copy --to-ruffle: status {rc}, stderr {err!r}, out {out!r}")
    lines = [line.split("\t") for line in out.splitlines()]
    check(sorted((r, unix_path(s), unix_path(t)) for r, s, t in lines) ==
          sorted(("copied", source, os.path.join(profile.ruffle, "SharedObjects", below))
                 for source, below in profile.moves.items()), f"one line a Flash Player cookie: {lines}")
    for source, below in profile.moves.items():
        check(read(os.path.join(profile.ruffle, "SharedObjects", below)) == before[source], f"{below} copied exactly")
    check(all(read(path) == data for path, data in before.items()), "sources untouched")
    leftovers = [name for _, _, names in os.walk(profile.ruffle) for name in names if name.startswith(".vesk-")]
    check(not leftovers, f"no temporary file left: {leftovers}")

    rc, out, _ = program.run("copy", "--all-stores", "--all", "--to-ruffle")
    check(rc == 1 and all(line.startswith("exists\t") for line in out.splitlines()) and
          len(out.splitlines()) == len(profile.moves), f"second copy skipped: {rc} {out!r}")

    backup = os.path.join(scratch, "backup")
    rc, out, err = program.run("copy", "--all-stores", "--all", "--to", windows_path(backup))
    check(rc == 0, f"copy --to: status {rc}, stderr {err!r}")
    check(read(os.path.join(backup, "air%2F" + AIR_FOLDER, "#SharedObjects", "Game.swf", "save.sol")) == before[
        profile.air_save], "the AIR save backed up below its store's name")

    rc, out, err = program.run("list", "--all-stores", "--format", "bodyfile")
    fields = [line.split("|") for line in out.splitlines()]
    check(rc == 0 and fields and all(len(f) == 11 and f[0] == "0" for f in fields), f"bodyfile: {rc} {out!r}")
    check(all(int(f[8]) > 0 and f[3].startswith("r/r") for f in fields), f"modified times and modes: {fields}")


if __name__ == "__main__":
    sys.exit(main_under_wine("vesk-cli.exe stores, copy and bodyfile under Wine", run_checks, "vesk-copy-wine-"))
