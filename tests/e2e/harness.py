"""What the end-to-end scripts share: a failed check, and a program run at a pseudo-terminal."""

import argparse
import os
import pty
import select
import shutil
import stat
import subprocess
import sys
import tempfile


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def at_terminal(argv, env, answer=None, prompt=b"[y/N] "):
    """Runs `argv` with a pseudo-terminal as its input and output, and types `answer` once
    `prompt` shows. Returns the status, what the terminal showed (CR LF as LF) and whether the
    answer was typed."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(argv[0], argv, env)
    seen, answered = b"", False
    while True:
        ready, _, _ = select.select([fd], [], [], 30)
        check(ready, f"no output from {argv[1:]} at the terminal: {seen!r}")
        try:
            chunk = os.read(fd, 65536)
        except OSError:  # the program has ended
            break
        if not chunk:
            break
        seen += chunk
        if answer is not None and not answered and prompt in seen:
            os.write(fd, answer.encode() + b"\n")
            answered = True
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), seen.replace(b"\r\n", b"\n"), answered


def snapshot(path, times=True):
    """What an entry is, for telling that it was left exactly as it was (its times too, unless
    the file system in between does not keep them)."""
    st = os.lstat(path)
    if stat.S_ISLNK(st.st_mode):
        return ("link", os.readlink(path))
    if stat.S_ISREG(st.st_mode):
        with open(path, "rb") as f:
            return ("file", f.read(), stat.S_IMODE(st.st_mode)) + ((st.st_mtime_ns,) if times else ())
    return ("other", stat.S_IFMT(st.st_mode), stat.S_IMODE(st.st_mode))


def outcome(label, checks, *args):
    """Runs `checks(*args)`; prints what failed, or that `label` passed. Returns the exit status."""
    try:
        checks(*args)
    except Failure as failure:
        print("FAILED:", failure, file=sys.stderr)
        return 1
    print(f"{label}: passed")
    return 0


def outcome_in_scratch(label, checks, args, prefix):
    """outcome() of `checks(args, scratch)` in a fresh folder, removed afterwards."""
    scratch = tempfile.mkdtemp(prefix=prefix)
    try:
        return outcome(label, checks, args, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def main_under_wine(label, checks, prefix, *options):
    """The whole of a script that drives vesk-cli.exe under Wine: its --program and `options`,
    one Wine server for all runs (a running one of the prefix serves instead), the checks in a
    scratch folder. Returns the exit status."""
    parser = argparse.ArgumentParser()
    for option in ("--program",) + options:
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    subprocess.run(["wineserver", "-p10"], stderr=subprocess.DEVNULL)
    return outcome_in_scratch(label, checks, args, prefix)
