#!/usr/bin/env python3
"""The installed programs as a user starts them: from /usr/bin after `apt install`, or from the
unpacked Windows zip under Wine. Checks the version, a listing of a generated store, and that the
window comes up with its title."""

import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_test import Display, Failure, check, wait_for  # noqa: E402
from solgen import write_sol  # noqa: E402


def make_store(root):
    store = os.path.join(root, "#SharedObjects", "K3XQ2Z7M")
    return [
        write_sol(os.path.join(store, "games.example.com", "arcade", "highscore.sol"), "highscore",
                  [("player", "Anna"), ("score", 48210)]),
        write_sol(os.path.join(store, "news.example.org", "prefs.sol"), "prefs", [("region", "de")]),
    ]


def run(command, env=None):
    done = subprocess.run(command, env=env, capture_output=True, timeout=60)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


def check_cli(prefix, cli, version, native_root, cookies, env=None):
    code, out, err = run(prefix + [cli, "--version"], env)
    check(code == 0 and version in out, "%s --version gave %d: %r %r" % (cli, code, out, err))
    code, out, err = run(prefix + [cli, "list", "--root", native_root], env)
    lines = [line.rstrip("\r") for line in out.splitlines() if line.strip()]
    check(code == 0, "%s list ended with %d: %r" % (cli, code, err))
    names = sorted(line.replace("\\", "/").rsplit("/", 1)[-1] for line in lines)
    check(names == sorted(os.path.basename(c) for c in cookies), "%s list printed %r" % (cli, lines))


def check_window(display, command, version, env):
    env = dict(env, DISPLAY=display.name)
    window = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        def title():
            found = run(["xdotool", "search", "--name", "^Vesk_"], env)[1].split()
            return run(["xdotool", "getwindowname", found[0]], env)[1].strip() if found else ""
        shown = wait_for("the window of " + command[-1], title, timeout=30)
        check(shown.startswith("Vesk_" + version), "the window's title is %r" % shown)
    finally:
        window.kill()
        window.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser()
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--linux", help="the folder that holds vesk and vesk-cli")
    where.add_argument("--windows", help="the unpacked zip's folder")
    parser.add_argument("--version", required=True)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="vesk-package-") as work:
        cookies = make_store(os.path.join(work, "store"))
        home = os.path.join(work, "home")
        os.makedirs(home)
        env = {k: v for k, v in os.environ.items() if k not in ("APPDATA", "QT_QPA_PLATFORM")}
        env.update(HOME=home, LC_ALL="C.UTF-8", XDG_RUNTIME_DIR=work)
        display = Display()
        try:
            if args.linux:
                check_cli([], os.path.join(args.linux, "vesk-cli"), args.version,
                          os.path.join(work, "store"), cookies, env)
                check_window(display, [os.path.join(args.linux, "vesk")], args.version, env)
            else:
                # Wine sees the whole Unix tree as drive Z:.
                store = "Z:" + os.path.join(work, "store").replace("/", "\\")
                check_cli(["wine"], os.path.join(args.windows, "vesk-cli.exe"), args.version,
                          store, cookies, env)
                check_window(display, ["wine", os.path.join(args.windows, "Vesk.exe")], args.version, env)
        except Failure as failure:
            print("FAIL: %s" % failure)
            return 1
        finally:
            display.close()
    print("ok: the %s package" % ("Linux" if args.linux else "Windows"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
