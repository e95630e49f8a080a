#!/usr/bin/env python3
"""Not a test: how fast the real Linux program answers on a real X server (its own Xvfb).

  bench/window_bench.py --program build/default/vesk [--repeat 5] [--only text|list|values|start]
  bench/window_bench.py --program build/default/vesk --only start --tree TREE [--cold]

Each cookie kind and size gets a session of its own: the program is started over a store that
holds that one cookie, with VESK_PAINT_LOG set, so it logs (monotonic clock) when a press or
key reached the cookie list and when a paint of the list or the text view had been handed to
the X server, with the number of characters or rows shown. xdotool clicks the cookie; the time
is from the press reaching the list to the first paint of the text view that shows the whole
text. A click on "deeper scan" (the same single cookie, the text view emptied) comes between
the repeats. "Ctrl+A" is from the key reaching the list to the list's next paint, pressed once
the text is shown, so a view that keeps the program busy shows up there.
For the lists the time is from starting the program to the first paint of the full list, and
Ctrl+A as above; the tree of cookie files is made once per size.
For the Values tab, cookies of nested AMF3 values of each size (bench/vesk_make_sol, found beside
the program): the tab is opened with Ctrl+Tab, then the time is from the press on the cookie to
the first paint of the tree that shows its rows. "Ctrl+A while decoding" is pressed right after
the click, before the tree is there: from the key to the list's next paint. Memory: what the
values hold (ValuesModel::MemoryBytes, logged with the paint), and the growth of the process's
resident memory from before the first click to the painted tree, less the growth of a session
that shows the same cookie on the Text tab only (so the text view's share is not counted).
"start" times the window's start over a big tree (--tree, taken as the store) against the scan
alone: from starting the program to the first paint of the full list, minus the same over an
empty store, beside vesk_scan_bench over the same tree, taking turns run by run; with --cold the
page cache is dropped before every run (root).
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_test import Display, stop  # noqa: E402

STORE = os.path.join("macromedia", "flash player", "#sharedobjects", "K3XQ2Z7M")
KIB = 1024
MIB = 1024 * KIB
SIZES = [("30 KB", 30 * KIB), ("100 KB", 100 * KIB), ("1 MB", MIB), ("16 MiB", 16 * MIB), ("32 MiB", 32 * MIB)]
SHOWN_AT_MOST = 16 * MIB  # the window shows the start of a bigger file
WORDS = ("player score level volume region session items currency cart token visits last "
         "name user preferences quality muted fullscreen").split()


def nul_bytes(size):
    return b"\x00" * size


def word_bytes(size):
    rng = random.Random(1)
    out = bytearray()
    while len(out) < size:
        out += rng.choice(WORDS).encode() + b" "
    return bytes(out[:size])


def mix_bytes(size):
    """Runs of control bytes (as AMF lengths and markers are) between short words."""
    rng = random.Random(2)
    controls = bytes(c for c in range(32) if c not in (10, 13))
    out = bytearray()
    while len(out) < size:
        out += bytes(rng.choice(controls) for _ in range(rng.randint(1, 9)))
        out += rng.choice(WORDS)[: rng.randint(3, 8)].encode()
    return bytes(out[:size])


def run_bytes(size):
    letters = b"abcdefghijklmnopqrstuvwxyz"
    return (letters * (size // len(letters) + 1))[:size]


# Every byte shows as one character, so the text's length is the file's length.
KINDS = [("NUL bytes", nul_bytes), ("words with blanks", word_bytes), ("binary mix", mix_bytes),
         ("one run of letters", run_bytes)]


class TimedOut(Exception):
    pass


class Session:
    def __init__(self, display, program, appdata, work):
        self.log_path = os.path.join(work, "paint.log")
        open(self.log_path, "w").close()
        self.offset = 0
        self.env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
        self.env.update(DISPLAY=display.name, APPDATA=appdata, XDG_RUNTIME_DIR=work,
                        VESK_PAINT_LOG=self.log_path, LC_ALL="C.UTF-8", LANG="C.UTF-8")
        self.started = time.monotonic()
        self.process = subprocess.Popen([program], env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.window = None
        self.geometry = None

    def xdo(self, *args):
        done = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, timeout=30)
        return done.stdout.decode().strip()

    def wait(self, accept, timeout):
        """Reads the log on from where the last wait stopped until `accept` takes a record."""
        deadline = time.monotonic() + timeout
        while True:
            with open(self.log_path) as log:
                log.seek(self.offset)
                while True:
                    line = log.readline()
                    if not line.endswith("\n"):
                        break
                    self.offset += len(line)
                    fields = line.split()
                    if fields[0] == "geometry":
                        self.geometry = [int(v) for v in fields[2:4] + fields[6:8]]
                        continue
                    record = (fields[0], int(fields[1]) / 1e6, *[int(v) for v in fields[2:]])
                    if accept(record):
                        return record
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise TimedOut("exit code %s" % self.process.poll())
            time.sleep(0.005)

    def find_window(self):
        deadline = time.monotonic() + 30
        while not self.window:
            found = self.xdo("search", "--name", "^Vesk_").split()
            self.window = found[0] if found else None
            if time.monotonic() > deadline:
                raise TimedOut()
            time.sleep(0.05)

    def click(self, x, y):
        self.xdo("mousemove", "--window", self.window, str(x), str(y), "click", "1")

    def click_list(self, x, y):
        """Clicks the list and returns the press record; a click the X server dropped before the
        window took input (it happens right after start) is not what is measured: click again."""
        for _ in range(5):
            self.click(x, y)
            try:
                return self.wait(lambda r: r[0] == "press", 2)
            except TimedOut:
                pass
        raise TimedOut()

    def ctrl_a(self, timeout):
        for attempt in range(5):
            self.xdo("windowfocus", "--sync", self.window)
            self.xdo("key", "--clearmodifiers", "ctrl+a")
            try:
                key = self.wait(lambda r: r[0] == "key", 2)  # a key that got lost is pressed again
                break
            except TimedOut:
                if attempt == 4:
                    raise
        shown = self.wait(lambda r: r[0] == "list1" and r[1] >= key[1], timeout)
        return shown[1] - key[1]

    def close(self):
        stop(self.process)


def spread(values):
    if not values:
        return "-"
    ms = sorted(v * 1000 for v in values)
    return "%.0f ms (%.0f-%.0f)" % (statistics.median(ms), ms[0], ms[-1])


def bench_text(display, program, repeat, timeout, sizes):
    rows = []
    for kind, make in KINDS:
        for label, size in sizes:
            with tempfile.TemporaryDirectory(prefix="vesk-bench-") as work:
                appdata = os.path.join(work, "appdata")
                folder = os.path.join(appdata, STORE, "bench.example")
                os.makedirs(folder)
                with open(os.path.join(folder, "cookie.sol"), "wb") as out:
                    out.write(make(size))
                session = Session(display, program, appdata, work)
                shown, answers, note = [], [], ""
                try:
                    session.find_window()
                    session.wait(lambda r: r[0] == "list1" and r[2] == 1, 30)
                    row_x, row_y, box_x, box_y = session.geometry
                    shown_length = min(size, SHOWN_AT_MOST)
                    for _ in range(repeat):
                        press = session.click_list(row_x, row_y)
                        text = session.wait(lambda r: r[0] == "text1" and r[2] == shown_length and r[1] > press[1],
                                            timeout)
                        shown.append(text[1] - press[1])
                        answers.append(session.ctrl_a(timeout))
                        session.click(box_x, box_y)  # rescan: the text view is emptied
                        session.wait(lambda r: r[0] == "text1" and r[2] == 0, timeout)
                except TimedOut:
                    note = " (then no paint within %d s)" % timeout
                finally:
                    session.close()
            rows.append((kind, label, spread(shown) + note, spread(answers)))
            print("  %s, %s: %s; Ctrl+A %s" % rows[-1], file=sys.stderr)
    return rows


# Sizes in MiB for vesk_make_sol; the "1 MiB" file stays just below it.
VALUE_SIZES = [("30 KB", 0.03), ("100 KB", 0.1), ("1 MiB", 0.99), ("16 MiB", 16)]


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def values_session(display, program, appdata, work, size, repeat, timeout, tab):
    """Clicks the cookie `repeat` times (a rescan between) with the Values tab open, or with the
    Text tab when `tab` is False. Returns the times to the painted tree, the Ctrl+A times during
    and after decoding, the bytes the values held and the resident memory's growth in KiB."""
    session = Session(display, program, appdata, work)
    shown, during, after, held, growth = [], [], [], 0, 0
    try:
        session.find_window()
        session.wait(lambda r: r[0] == "list1" and r[2] == 1, 30)
        row_x, row_y, box_x, box_y = session.geometry
        if tab:
            session.xdo("windowfocus", "--sync", session.window)
            session.xdo("key", "--clearmodifiers", "ctrl+Tab")
            session.wait(lambda r: r[0] == "values", timeout)
        time.sleep(0.5)
        before = resident_kib(session.process.pid)
        for i in range(repeat):
            press = session.click_list(row_x, row_y)
            if not tab:
                session.wait(lambda r: r[0] == "text1" and r[2] > 0 and r[1] > press[1], timeout)
                growth = resident_kib(session.process.pid) - before
                break
            if i == 1 and size > 4 << 20:
                # While the big file is decoded: Ctrl+A at once.
                session.xdo("key", "--clearmodifiers", "ctrl+a")
                trees = []  # a tree painted meanwhile is the one measured below

                def tree_or_key(r):
                    if r[0] == "values" and r[2] > 0:
                        trees.append(r)
                    return r[0] == "key" and r[1] > press[1]

                key = session.wait(tree_or_key, timeout)
                painted = session.wait(lambda r: (r[0] == "values" and r[2] > 0 and trees.append(r)) or
                                       (r[0] == "list1" and r[1] >= key[1]), timeout)
                if not trees:  # the list answered before the values were shown
                    during.append(painted[1] - key[1])
                tree = trees[0] if trees else None
            else:
                tree = None
            tree = tree or session.wait(lambda r: r[0] == "values" and r[2] > 0 and r[1] > press[1], timeout)
            shown.append(tree[1] - press[1])
            if i == 0:
                held = tree[3]
                growth = resident_kib(session.process.pid) - before
            after.append(session.ctrl_a(timeout))
            session.click(box_x, box_y)  # rescan: the tree is emptied
            session.wait(lambda r: r[0] == "values" and r[2] == 0, timeout)
    finally:
        session.close()
    return shown, during, after, held, growth


def bench_values(display, program, make_sol, repeat, timeout, sizes):
    rows = []
    for label, mib in sizes:
        with tempfile.TemporaryDirectory(prefix="vesk-bench-") as work:
            appdata = os.path.join(work, "appdata")
            folder = os.path.join(appdata, STORE, "bench.example")
            os.makedirs(folder)
            cookie = os.path.join(folder, "cookie.sol")
            subprocess.run([make_sol, cookie, str(mib)], check=True, stdout=subprocess.DEVNULL)
            size = os.path.getsize(cookie)
            note = ""
            try:
                shown, during, after, held, growth = values_session(display, program, appdata, work, size, repeat,
                                                                    timeout, True)
                _, _, _, _, text_growth = values_session(display, program, appdata, work, size, 1, timeout, False)
            except TimedOut:
                shown, during, after, held, growth, text_growth = [], [], [], 0, 0, 0
                note = " (then no paint within %d s)" % timeout
        mib_of = lambda kib: kib / 1024  # noqa: E731
        rows.append(("%s (%d bytes)" % (label, size), spread(shown) + note, spread(during), spread(after),
                     "%.1f MiB (%.2f x)" % (held / MIB, held / size),
                     "%.1f MiB (%.2f x)" % (mib_of(growth - text_growth), (growth - text_growth) * 1024 / size)))
        print("  %s: %s; Ctrl+A while decoding %s, after %s; held %s; resident growth %s" % rows[-1], file=sys.stderr)
    return rows


def make_list_tree(appdata, count):
    store = os.path.join(appdata, STORE)
    for i in range(count):
        folder = os.path.join(store, "site%d.example" % (i // 1000))
        if i % 1000 == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, "cookie%05d.sol" % i), "wb") as out:
            out.write(b"\x00\xbf")


def bench_list(display, program, repeat, timeout, counts):
    rows = []
    for count in counts:
        with tempfile.TemporaryDirectory(prefix="vesk-bench-") as work:
            appdata = os.path.join(work, "appdata")
            make_list_tree(appdata, count)
            filled, answers, note = [], [], ""
            for _ in range(repeat):
                session = Session(display, program, appdata, work)
                try:
                    session.find_window()
                    shown = session.wait(lambda r: r[0] == "list1" and r[2] == count, timeout)
                    filled.append(shown[1] - session.started)
                    answers.append(session.ctrl_a(timeout))
                except TimedOut as timed_out:
                    note = " (timed out: %s)" % timed_out
                    break
                finally:
                    session.close()
        rows.append(("%d cookies" % count, spread(filled) + note, spread(answers)))
        print("  %s: %s; Ctrl+A %s" % rows[-1], file=sys.stderr)
    return rows


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as out:
        out.write("3\n")


def start_once(display, program, appdata, work, count, timeout):
    """Seconds from starting the program to the first paint of a list of `count` rows."""
    session = Session(display, program, appdata, work)
    try:
        shown = session.wait(lambda r: r[0] == "list1" and r[2] == count, timeout)
        return shown[1] - session.started
    finally:
        session.close()


def scan_once(scan_bench, store):
    """Seconds of one vesk_scan_bench process over `store`, and the cookies it found."""
    started = time.monotonic()
    done = subprocess.run([scan_bench, store, "1"], capture_output=True, check=True)
    took = time.monotonic() - started
    return took, int(done.stderr.split(b" cookies")[0].split()[-1])


def bench_start(display, program, scan_bench, tree, repeat, timeout, cold):
    """The window's start over `tree` as the store, less its start over an empty store, beside
    the scan alone; the three take turns in every round."""
    with tempfile.TemporaryDirectory(prefix="vesk-bench-") as work:
        big = os.path.join(work, "big")
        empty = os.path.join(work, "empty")
        # The store folder itself leads to the tree: a link on the way to the root is followed,
        # one below it would not be.
        store = os.path.join(big, os.path.dirname(STORE))
        os.makedirs(os.path.dirname(store))
        os.symlink(os.path.abspath(tree), store)
        os.makedirs(os.path.join(empty, STORE))
        _, cookies = scan_once(scan_bench, store)
        # One unmeasured round: the program's own files come into the cache.
        start_once(display, program, empty, work, 0, timeout)
        rounds = []
        for i in range(repeat):
            times = {}
            order = ["empty", "big", "scan"] if i % 2 == 0 else ["scan", "big", "empty"]
            for what in order:
                if cold:
                    drop_caches()
                if what == "scan":
                    times[what] = scan_once(scan_bench, store)[0]
                else:
                    times[what] = start_once(display, program, big if what == "big" else empty, work,
                                             cookies if what == "big" else 0, timeout)
            rounds.append(times)
            print("  %s: empty %.0f ms, big %.0f ms, scan alone %.0f ms" % (
                "cold" if cold else "warm", times["empty"] * 1000, times["big"] * 1000, times["scan"] * 1000),
                file=sys.stderr)
    empty_ms = statistics.median(r["empty"] for r in rounds) * 1000
    big_ms = statistics.median(r["big"] for r in rounds) * 1000
    scan_ms = statistics.median(r["scan"] for r in rounds) * 1000
    window_ms = statistics.median((r["big"] - r["empty"]) for r in rounds) * 1000
    return cookies, empty_ms, big_ms, window_ms, scan_ms


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--timeout", type=float, default=60, help="seconds to wait for one paint")
    parser.add_argument("--only", choices=("text", "list", "values", "start"))
    parser.add_argument("--make-sol", help="vesk_make_sol (default: bench/vesk_make_sol beside the program)")
    parser.add_argument("--tree", help="for start: a big folder taken as the store")
    parser.add_argument("--cold", action="store_true", help="for start: drop the page cache before each run")
    parser.add_argument("--scan-bench", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                             "build", "default", "bench", "vesk_scan_bench"))
    parser.add_argument("--max-size", default="16 MiB", choices=[label for label, _ in SIZES],
                        help="largest cookie to try")
    parser.add_argument("--sizes", help="only these sizes, comma-separated labels (\"16 MiB,32 MiB\")")
    args = parser.parse_args()
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            sys.exit("missing: " + tool)
    labels = [label for label, _ in SIZES]
    sizes = SIZES[: labels.index(args.max_size) + 1]
    if args.sizes:
        wanted = [label.strip() for label in args.sizes.split(",")]
        sizes = [(label, size) for label, size in SIZES if label in wanted]
    program = os.path.abspath(args.program)
    display = Display()
    try:
        if args.only == "start":
            if not args.tree:
                sys.exit("--only start needs --tree")
            cookies, empty_ms, big_ms, window_ms, scan_ms = bench_start(
                display, program, os.path.abspath(args.scan_bench), args.tree, args.repeat, args.timeout, args.cold)
            print("| %s cache, %d rounds, %d cookies | start, empty store | start, big store | window (big - empty)"
                  " | scan alone (vesk_scan_bench) | window / scan |" % ("cold" if args.cold else "warm",
                                                                         args.repeat, cookies))
            print("|---|---|---|---|---|---|")
            print("| median | %.0f ms | %.0f ms | %.0f ms | %.0f ms | %.2f (goal <= 1.1) |" % (
                empty_ms, big_ms, window_ms, scan_ms, window_ms / scan_ms))
            return
        if args.only in (None, "values"):
            make_sol = args.make_sol or os.path.join(os.path.dirname(program), "bench", "vesk_make_sol")
            values_sizes = [(label, mib) for label, mib in VALUE_SIZES
                            if labels.index(args.max_size) >= 3 or mib < 16]
            if args.sizes:
                values_sizes = [(label, mib) for label, mib in VALUE_SIZES if label in wanted]
            rows = bench_values(display, program, make_sol, args.repeat, args.timeout, values_sizes)
            print("| cookie of nested values | click to painted tree, median (min-max) | Ctrl+A while decoding "
                  "| Ctrl+A after | held by the values | resident growth beyond the Text tab's |")
            print("|---|---|---|---|---|---|")
            for row in rows:
                print("| %s | %s | %s | %s | %s | %s |" % row)
            print()
        if args.only in (None, "text"):
            rows = bench_text(display, program, args.repeat, args.timeout, sizes)
            print("| cookie | size | click to painted text, median (min-max) | then Ctrl+A to painted list |")
            print("|---|---|---|---|")
            for row in rows:
                print("| %s | %s | %s | %s |" % row)
            print()
        if args.only in (None, "list"):
            rows = bench_list(display, program, max(1, min(args.repeat, 3)), args.timeout, (30000, 100000))
            print("| list | start to painted full list, median (min-max) | Ctrl+A to painted selection |")
            print("|---|---|---|")
            for row in rows:
                print("| %s | %s | %s |" % row)
    finally:
        display.close()


if __name__ == "__main__":
    main()
