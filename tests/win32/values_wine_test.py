#!/usr/bin/env python3
"""The real Vesk.exe under Wine on an X display, for every file of values_files.py: a click on
the cookie, Ctrl+Tab to the Values tab, a click in the tree and Ctrl+Shift+C; the clipboard then
holds exactly the `values` member that vesk-cli.exe show --format json writes for the file.

Each file gets a store of its own (APPDATA set through cmd, as for vesk-cli.exe), so it is the
list's first row. The window's timing log says where the list and the tree are and when the tree
was painted; xdotool clicks and types; vesk_clipboard_text.exe reads the clipboard.

Needs DISPLAY, WINEPREFIX and the rest of scripts/test-windows.sh's Wine environment."""

import argparse
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from cleanup_wine_test import windows_path  # noqa: E402
from harness import Failure, check, outcome_in_scratch  # noqa: E402
from values_files import files, values_member  # noqa: E402


class Window:
    """One run of Vesk.exe over `appdata`, logging to `log`."""

    def __init__(self, exe, appdata, log):
        self.log = log
        env = dict(os.environ, VESK_TIMING_LOG=windows_path(log))
        command = f"set APPDATA={windows_path(appdata)}&& {windows_path(exe)}"
        self.process = subprocess.Popen(["wine", "cmd", "/c", command], env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)

    def events(self):
        """(name, value) of each logged event so far."""
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        return [tuple(line.partition(" ")[2].partition(" ")[::2]) for line in lines]

    def wait(self, what, test, after=0, timeout=60):
        """Index and value of the first logged event after `after` named `what` that passes `test`."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for index, (name, value) in enumerate(self.events()[after:], after):
                if name == what and test(value):
                    return index, value
            time.sleep(0.05)
        raise Failure(f"no {what} in the window's log after {timeout} s: {self.events()[after:][-8:]}")

    def close(self):
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=20)


def clipboard(helper, *args):
    done = subprocess.run(["wine", helper, *args], capture_output=True, timeout=60)
    return done.returncode, done.stdout


def copied_json(args, appdata, log):
    """What Ctrl+Shift+C in the Values tab puts on the clipboard for the only cookie of the store."""
    check(clipboard(args.clipboard, "clear")[0] == 0, "the clipboard could not be emptied")
    window = Window(args.program, appdata, log)
    try:
        _, origin = window.wait("list1-origin", lambda _: True)
        x, y, height = (int(v) for v in origin.split())
        _, tree = window.wait("values-origin", lambda _: True)
        tree_x, tree_y = (int(v) for v in tree.split())
        window.wait("list-painted", lambda count: count == "1")
        mark = len(window.events())
        xdotool("mousemove", str(x + 20), str(y + height // 2), "click", "1")
        window.wait("list-press", lambda _: True, mark)
        xdotool("key", "ctrl+Tab")
        set_at, _ = window.wait("values-set", lambda count: int(count) > 0, mark)
        window.wait("values-painted", lambda count: int(count) > 0, set_at)
        xdotool("mousemove", str(tree_x + 30), str(tree_y + 40), "click", "1", "key", "ctrl+shift+c")
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            status, text = clipboard(args.clipboard)
            if status == 0:
                return text
            check(status == 1, f"the clipboard could not be read ({status})")
            time.sleep(0.2)
        raise Failure("nothing copied within 30 s")
    finally:
        window.close()


def run_checks(args, scratch):
    failures = []
    for name, data in files().items():
        appdata = os.path.join(scratch, name, "roaming")
        cookie = os.path.join(appdata, "macromedia", "flash player", "#SharedObjects", "R4ND0M00", "e2e.example",
                              name)
        os.makedirs(os.path.dirname(cookie))
        with open(cookie, "wb") as f:
            f.write(data)
        shown = subprocess.run(["wine", args.cli, "show", "--format", "json", windows_path(cookie)],
                               capture_output=True, timeout=120)
        check(shown.returncode in (0, 1) and shown.stdout.count(b"\n") == 1,
              f"{name}: vesk-cli.exe show gave status {shown.returncode}, {shown.stdout!r} {shown.stderr!r}")
        expected = values_member(shown.stdout.decode("utf-8")).encode("utf-8")
        try:
            copied = copied_json(args, appdata, os.path.join(scratch, name, "timing.log"))
        except Failure as failure:
            failures.append(f"{name}: {failure}")
            continue
        if copied != expected:
            failures.append(f"{name}: the window copied\n  {copied[:600]!r}\nvesk-cli.exe show wrote\n  {expected[:600]!r}")
        else:
            print(f"  {name}: {len(copied)} bytes, the same", flush=True)
    check(not failures, "\n".join(failures))


def main():
    parser = argparse.ArgumentParser()
    for option in ("--program", "--cli", "--clipboard"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("no display: run it under xvfb-run")
    subprocess.run(["wineserver", "-p10"], stderr=subprocess.DEVNULL)
    return outcome_in_scratch("Vesk.exe Values copies", run_checks, args, "vesk-values-wine-")


if __name__ == "__main__":
    sys.exit(main())
