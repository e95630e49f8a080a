"""What the end-to-end scripts share: a failed check, and a program run at a pseudo-terminal."""

import os
import pty
import select


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
