#!/usr/bin/env python3
"""Times the real Vesk.exe under Wine on an X server: from a click on a cookie to its painted
text, and from start to a filled cookie list, with Ctrl+A and its count after each; with the
Values tab open, from a click on a cookie of nested values to its painted tree, the memory held
for it, and how soon the list answers Ctrl+A while the values are decoded.

Run it on a virtual display, for example
    xvfb-run -a -s "-screen 0 1280x1024x24" bench/wine_window_bench.py build/windows/Vesk.exe

How "painted" is seen: started with VESK_TIMING_LOG, the program appends a time-stamped line
for each event of interest (window/win32/timing_log.h): the press on the list, the text handed
to the text view, the end of every WM_PAINT of the text view and of the list, the title. The
clicks and keys come from xdotool, as a user's would. A figure is the time from the program's
own record of the press (or key) to the end of the first paint that shows the new state; the
"wall" column counts from just before xdotool was started, so it adds xdotool's start-up.

For the Values tab the tree logs when its rows were set and painted, and the memory the shown
file holds (the file's bytes and the reader's index, and the expanded rows) besides the process's
working set at the press and after the paint (Text1 is filled only when its tab is shown). The cookies are made by vesk_make_sol (a Linux
build's bench/vesk_make_sol): nested typed objects as a player writes them.

Each case starts the program afresh over a store that holds only that case's cookies (the
store folder of the Wine prefix is pointed at a generated folder), so the first row is the
cookie. Needs wine, xdotool and a display.

With --start TREE it times the window's start over TREE as the store against the Windows scan
alone, taking turns round by round: from starting the program to the first paint of the full
list, less the same over an empty store; beside vesk_scan_bench.exe over TREE, less the same
over an empty folder (Wine's start-up cancels out in both). A wineserver is kept running.
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

KINDS = ("nul", "words", "binary", "run")
SIZES = (("30 KB", 30_000), ("100 KB", 100_000), ("1 MB", 1_000_000), ("16 MiB", 16 << 20), ("32 MiB", 32 << 20))
SHOWN_AT_MOST = 16 << 20  # the window shows the start of a bigger file
LISTS = (30_000, 100_000)
VALUES = ("0.03", "0.1", "1", "16")  # MiB


def cookie_bytes(kind, size):
    """The bytes of a cookie of `kind`; none of them is a comma or a line end, so the text
    shown has exactly `size` characters."""
    rng = random.Random(kind)
    if kind == "nul":
        return bytes(size)
    if kind == "run":
        return (b"abcdefghijklmnopqrstuvwxyz" * (size // 26 + 1))[:size]
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(500)]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words)
        if kind == "words":
            out += b" "
        else:  # runs of control bytes, as in the length and type fields of a real cookie
            out += bytes(rng.choice((0, 0, 0, 1, 2, 3, 5, 8, 9, 16, 31)) for _ in range(rng.randint(1, 12)))
    return bytes(out[:size])


class Bench:
    def __init__(self, args):
        self.exe = os.path.abspath(args.exe)
        self.prefix = os.path.abspath(args.prefix)
        self.work = os.path.abspath(args.work)
        self.timeout = args.timeout
        self.log = os.path.join(self.work, "timing.log")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", WINEARCH="win64",
                        VESK_TIMING_LOG="Z:" + self.log.replace("/", "\\"))
        user = os.environ.get("USER") or "root"
        self.store = os.path.join(self.prefix, "drive_c", "users", user, "AppData", "Roaming",
                                  "macromedia", "flash player", "#sharedobjects")
        os.makedirs(self.work, exist_ok=True)
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            subprocess.run(["wine", "wineboot", "-i"], env=self.env, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                            "/d", "N", "/f"], env=self.env, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.saved_store = None
        if os.path.lexists(self.store) and not os.path.islink(self.store):
            self.saved_store = self.store + ".saved-by-bench"
            os.rename(self.store, self.saved_store)
        os.makedirs(os.path.dirname(self.store), exist_ok=True)

    def close(self):
        if os.path.islink(self.store):
            os.unlink(self.store)
        if self.saved_store:
            os.rename(self.saved_store, self.store)
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)

    def use_store(self, folder):
        if os.path.islink(self.store):
            os.unlink(self.store)
        os.symlink(folder, self.store)

    def events(self):
        try:
            with open(self.log) as log:
                lines = log.read().splitlines()
        except FileNotFoundError:
            return []
        out = []
        for line in lines:
            stamp, _, rest = line.partition(" ")
            name, _, value = rest.partition(" ")
            out.append((float(stamp), name, value))
        return out

    def wait_for(self, after, test, deadline):
        """The first event after index `after` that passes `test`, as (index, event)."""
        while time.time() < deadline:
            events = self.events()
            for index in range(after, len(events)):
                if test(events[index]):
                    return index, events[index]
            time.sleep(0.005)
        return None, None

    def start(self):
        if os.path.exists(self.log):
            os.remove(self.log)
        started = time.time()
        process = subprocess.Popen(["wine", self.exe], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        return started, process

    def stop(self, process):
        try:
            os.killpg(process.pid, 9)
        except ProcessLookupError:
            pass
        process.wait()
        # The Windows process outlives the killed loader: end it through wineserver's view.
        subprocess.run(["wine", "taskkill", "/f", "/im", "Vesk.exe"], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def origin(self, deadline, row=0):
        _, event = self.wait_for(0, lambda e: e[1] == "list1-origin", deadline)
        if event is None:
            return None
        x, y, height = (int(v) for v in event[2].split())
        return x + 20, y + max(height, 1) * row + max(height, 1) // 2 + 1

    def ctrl_a(self, count, deadline):
        """Ctrl+A in the list: seconds from the key to the title with the count and to the
        list painted after it."""
        mark = len(self.events())
        subprocess.run(["xdotool", "key", "ctrl+a"], check=True)
        key_index, key = self.wait_for(mark, lambda e: e[1] == "list-key" and e[2] == "65", deadline)
        if key is None:
            return None, None
        suffix = "[%d/%d]" % (count, count)
        title_index, title = self.wait_for(key_index, lambda e: e[1] == "title" and e[2].endswith(suffix),
                                           deadline)
        if title is None:
            return None, None
        _, painted = self.wait_for(title_index, lambda e: e[1] == "list-painted", deadline)
        return title[0] - key[0], (painted[0] - key[0]) if painted else None

    def click_shown(self, at, length, deadline):
        """Clicks the cookie; seconds from the press (the program's record) and from the click
        (before xdotool) to the painted text."""
        mark = len(self.events())
        clicked = time.time()
        subprocess.run(["xdotool", "mousemove", str(at[0]), str(at[1]), "click", "1"], check=True)
        press_index, press = self.wait_for(mark, lambda e: e[1] == "list-press", deadline)
        if press is None:
            return None, None
        set_index, _ = self.wait_for(press_index, lambda e: e[1] == "text-set" and e[2] == str(length), deadline)
        if set_index is None:
            return None, None
        _, painted = self.wait_for(set_index, lambda e: e[1] == "text-painted" and e[2] == str(length), deadline)
        if painted is None:
            return None, None
        return painted[0] - press[0], painted[0] - clicked

    def text_case(self, folder, length, again):
        """The first click in a fresh program, then `again` more, on the store's two copies of the
        cookie in turn (each click shows one anew: the file is read again)."""
        self.use_store(folder)
        started, process = self.start()
        deadline = started + self.timeout
        try:
            rows = [self.origin(deadline, row) for row in (0, 1)]
            if rows[0] is None:
                return None
            self.wait_for(0, lambda e: e[1] == "list-painted" and e[2] == "2", deadline)
            painted, wall = self.click_shown(rows[0], length, deadline)
            if painted is None:
                return None
            title, listed = self.ctrl_a(2, deadline)
            later = []
            for i in range(again):
                deadline = time.time() + self.timeout
                shown, _ = self.click_shown(rows[(i + 1) % 2], length, deadline)
                if shown is None:
                    return None
                later.append(shown)
            return {"painted": painted, "wall": wall, "ctrl_a": title, "ctrl_a_painted": listed,
                    "again": statistics.median(later) if later else None}
        finally:
            self.stop(process)

    def tree_painted(self, press_index, deadline):
        """The first painted tree with rows after the press at `press_index`, as (index, event)."""
        set_index, _ = self.wait_for(press_index, lambda e: e[1] == "values-set" and int(e[2]) > 0, deadline)
        if set_index is None:
            return None, None
        return self.wait_for(set_index, lambda e: e[1] == "values-painted" and int(e[2]) > 0, deadline)

    def values_case(self, folder, size, again):
        """Ctrl+Tab to the Values tab, then a click on the cookie: seconds from the press to the
        painted tree, from a Ctrl+A sent right after the press to the title with its count, the
        bytes held for the tree, and the growth of the working set;
        then `again` more clicks on the store's two copies of the cookie in turn, each timed from
        the press to the painted tree."""
        self.use_store(folder)
        started, process = self.start()
        deadline = started + self.timeout
        try:
            rows = [self.origin(deadline, row) for row in (0, 1)]
            at = rows[0]
            if at is None:
                return None
            self.wait_for(0, lambda e: e[1] == "list-painted" and e[2] == "2", deadline)
            mark = len(self.events())
            subprocess.run(["xdotool", "key", "ctrl+Tab"], check=True)
            if self.wait_for(mark, lambda e: e[1] == "values-painted", deadline)[1] is None:
                return None
            mark = len(self.events())
            subprocess.run(["xdotool", "mousemove", str(at[0]), str(at[1]), "click", "1"], check=True)
            press_index, press = self.wait_for(mark, lambda e: e[1] == "list-press", deadline)
            if press is None:
                return None
            # Right away, while the values are read: the list must answer as it does without them.
            keyed = time.time()
            subprocess.run(["xdotool", "key", "ctrl+a"], check=True)
            before = self.wait_for(press_index, lambda e: e[1] == "memory", deadline)[1]
            painted_index, painted = self.tree_painted(press_index, deadline)
            if painted is None:
                return None
            held = self.wait_for(painted_index, lambda e: e[1] == "values-held", deadline)[1]
            after = self.wait_for(painted_index, lambda e: e[1] == "memory", deadline)[1]
            key_index = self.wait_for(press_index, lambda e: e[1] == "list-key" and e[2] == "65", deadline)[0]
            title = None if key_index is None else self.wait_for(
                key_index, lambda e: e[1] == "title" and e[2].endswith("[2/2]"), deadline)[1]
            later = []
            for i in range(again):
                time.sleep(0.2)  # the first click's Ctrl+A and its repaints are done
                deadline = time.time() + self.timeout
                mark = len(self.events())
                row = rows[(i + 1) % 2]
                subprocess.run(["xdotool", "mousemove", str(row[0]), str(row[1]), "click", "1"], check=True)
                index, pressed = self.wait_for(mark, lambda e: e[1] == "list-press", deadline)
                shown = None if pressed is None else self.tree_painted(index, deadline)[1]
                if shown is None:
                    return None
                later.append(shown[0] - pressed[0])
            return {"painted": painted[0] - press[0],
                    "again": statistics.median(later) if later else None,
                    "ctrl_a": (title[0] - keyed) if title else None,
                    "ctrl_a_first": bool(title) and title[0] < painted[0],
                    "held": sum(int(v) for v in held[2].split()) / size if held else None,
                    # Wine gives no private bytes (0); the working set is what the process holds.
                    "working": (int(after[2].split()[1]) - int(before[2].split()[1])) / size if before and after else None,
                    "rows": int(painted[2])}
        finally:
            self.stop(process)

    def start_case(self, folder, count):
        """Seconds from starting the program to the first paint of a list of `count` cookies."""
        self.use_store(folder)
        started, process = self.start()
        try:
            _, painted = self.wait_for(0, lambda e: e[1] == "list-painted" and e[2] == str(count),
                                       started + self.timeout)
            return painted[0] - started if painted else None
        finally:
            self.stop(process)

    def scan_case(self, scan_bench, folder):
        """Seconds of one vesk_scan_bench.exe over `folder`, and the cookies it found."""
        # Its output goes to a file, not a pipe: the Wine processes that the first program starts
        # (services, devices) stay with the kept wineserver and hold a pipe open.
        with open(os.path.join(self.work, "scan.err"), "w+b") as err:
            started = time.time()
            subprocess.run(["wine", scan_bench, "Z:" + folder.replace("/", "\\"), "1"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=err, check=True, timeout=self.timeout)
            took = time.time() - started
            err.seek(0)
            return took, int(err.read().split(b" cookies")[0].split()[-1])

    def list_case(self, folder, count):
        self.use_store(folder)
        started, process = self.start()
        deadline = started + self.timeout
        try:
            fill_index, fill = self.wait_for(0, lambda e: e[1] == "list-fill" and e[2] == str(count), deadline)
            if fill is None:
                return None
            _, painted = self.wait_for(fill_index, lambda e: e[1] == "list-painted" and e[2] == str(count),
                                       deadline)
            at = self.origin(deadline)
            if painted is None or at is None:
                return None
            subprocess.run(["xdotool", "mousemove", str(at[0]), str(at[1]), "click", "1"], check=True)
            self.wait_for(fill_index, lambda e: e[1] == "title" and e[2].endswith("[%d/1]" % count), deadline)
            title, listed = self.ctrl_a(count, deadline)
            return {"start": painted[0] - started, "fill": painted[0] - fill[0],
                    "ctrl_a": title, "ctrl_a_painted": listed}
        finally:
            self.stop(process)


def make_text_store(work, kind, label, size):
    """A store with two copies of the cookie, so that clicks can take turns."""
    folder = os.path.join(work, "text2-%s-%d" % (kind, size))
    for name in ("a", "b"):
        cookie = os.path.join(folder, "site.example", "%s-%s.sol" % (name, kind))
        if not os.path.exists(cookie):
            os.makedirs(os.path.dirname(cookie), exist_ok=True)
            with open(cookie, "wb") as out:
                out.write(cookie_bytes(kind, size))
    return folder


def make_values_store(work, make_sol, mib):
    """A store of two copies of a cookie of `mib` MiB of nested values."""
    folder = os.path.join(work, "values-%s" % mib)
    cookie = os.path.join(folder, "games.example", "game.sol")
    copy = os.path.join(folder, "games.example", "game2.sol")
    if not os.path.exists(copy):
        os.makedirs(os.path.dirname(cookie), exist_ok=True)
        subprocess.run([make_sol, cookie, mib], check=True, stdout=subprocess.DEVNULL)
        shutil.copyfile(cookie, copy)
    return folder, os.path.getsize(cookie)


def make_list_store(work, count):
    folder = os.path.join(work, "list-%d" % count)
    done = os.path.join(work, "list-%d.done" % count)
    if not os.path.exists(done):
        shutil.rmtree(folder, ignore_errors=True)
        for i in range(count):
            site = os.path.join(folder, "www.site%05d.example" % (i // 50))
            if i % 50 == 0:
                os.makedirs(site)
            with open(os.path.join(site, "settings-%05d.sol" % i), "wb") as out:
                out.write(b"\x00\xbf")
        open(done, "w").close()
    return folder


def repeated(case, repeat):
    """The figures of up to `repeat` runs of `case`; one that did not answer in time ends them, as {}."""
    figures = []
    for _ in range(repeat):
        result = case()
        figures.append(result or {})
        if result is None:
            break
    return figures


def spread(values):
    """'median (min-max)' in milliseconds, or the reason there is no figure."""
    if not values or any(v is None for v in values):
        return "no answer"
    ms = [v * 1000 for v in values]
    if len(ms) == 1:
        return "%.0f" % ms[0]
    return "%.0f (%.0f-%.0f)" % (statistics.median(ms), min(ms), max(ms))


def start_rows(bench, tree, scan_bench, repeat):
    """The window's start over `tree` against the scan alone; see the module's text."""
    subprocess.Popen(["wineserver", "-p"], env=bench.env).wait()
    empty = os.path.join(bench.work, "empty-store")
    os.makedirs(empty, exist_ok=True)
    _, cookies = bench.scan_case(scan_bench, tree)  # and Wine's own files come into the cache
    bench.start_case(empty, 0)
    rounds = []
    for i in range(repeat):
        times = {}
        order = ("empty", "big", "scan", "scan-empty") if i % 2 == 0 else ("scan-empty", "scan", "big", "empty")
        for what in order:
            if what in ("empty", "big"):
                times[what] = bench.start_case(tree if what == "big" else empty, cookies if what == "big" else 0)
            else:
                times[what] = bench.scan_case(scan_bench, tree if what == "scan" else empty)[0]
        rounds.append(times)
        print("  start empty %s, big %s; scan %s, over an empty folder %s" % tuple(
            "-" if times[k] is None else "%.0f ms" % (times[k] * 1000) for k in ("empty", "big", "scan", "scan-empty")),
            file=sys.stderr, flush=True)
    if any(v is None for r in rounds for v in r.values()):
        print("no answer within %g s" % bench.timeout)
        return
    window = statistics.median(r["big"] - r["empty"] for r in rounds) * 1000
    scan = statistics.median(r["scan"] - r["scan-empty"] for r in rounds) * 1000
    print("| Wine, %d rounds, %d cookies | window (start, big store - empty store) | scan alone (vesk_scan_bench.exe,"
          " tree - empty folder) | window / scan |" % (repeat, cookies))
    print("|---|---|---|---|")
    print("| median | %.0f ms | %.0f ms | %.2f (goal <= 1.5) |" % (window, scan, window / scan))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("exe", help="Vesk.exe")
    parser.add_argument("--prefix", default="build/windows/wineprefix", help="Wine prefix")
    parser.add_argument("--work", default="/tmp/vesk-wine-bench", help="generated stores and the log")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--again", type=int, default=4, help="clicks after the first in each run")
    parser.add_argument("--timeout", type=float, default=30, help="seconds a case may take")
    parser.add_argument("--kinds", default=",".join(KINDS))
    parser.add_argument("--sizes", default=",".join(str(s) for _, s in SIZES), help="bytes")
    parser.add_argument("--lists", default=",".join(str(n) for n in LISTS), help="cookie counts; empty for none")
    parser.add_argument("--values", default=",".join(VALUES), help="MiB of nested values; empty for none")
    parser.add_argument("--make-sol", default="build/default/bench/vesk_make_sol", help="vesk_make_sol")
    parser.add_argument("--start", metavar="TREE", help="time the start over TREE against the scan alone, only that")
    parser.add_argument("--scan-bench", default="build/windows/bench/vesk_scan_bench.exe")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("no display: run it under xvfb-run")

    bench = Bench(args)
    if args.start:
        try:
            start_rows(bench, os.path.abspath(args.start), os.path.abspath(args.scan_bench), args.repeat)
        finally:
            bench.close()
        return
    labels = {size: label for label, size in SIZES}
    rows = []
    value_rows = []
    try:
        for mib in (m for m in args.values.split(",") if m):
            folder, size = make_values_store(bench.work, os.path.abspath(args.make_sol), mib)
            figures = repeated(lambda: bench.values_case(folder, size, args.again), args.repeat)

            def ratio(key):
                values = [f.get(key) for f in figures]
                return "no answer" if any(v is None for v in values) else "%.2f" % max(values)
            value_rows.append(("%s MiB (%d bytes, %s rows)" % (mib, size, figures[0].get("rows", "?")),
                               spread([f.get("painted") for f in figures]),
                               spread([f.get("again") for f in figures]) if args.again else "-",
                               spread([f.get("ctrl_a") for f in figures]),
                               "%d of %d" % (sum(1 for f in figures if f.get("ctrl_a_first")), len(figures)),
                               ratio("held"), ratio("working")))
            print("| %s | %s | %s | %s | %s | %s | %s |" % value_rows[-1], file=sys.stderr, flush=True)
        for size in (int(s) for s in args.sizes.split(",") if s):
            for kind in (k for k in args.kinds.split(",") if k):
                folder = make_text_store(bench.work, kind, labels.get(size, str(size)), size)
                figures = repeated(lambda: bench.text_case(folder, min(size, SHOWN_AT_MOST), args.again), args.repeat)
                rows.append(("%s %s" % (labels.get(size, "%d B" % size), kind),
                             spread([f.get("painted") for f in figures]),
                             spread([f.get("again") for f in figures]) if args.again else "-",
                             spread([f.get("wall") for f in figures]),
                             spread([f.get("ctrl_a") for f in figures])))
                print("| %s | %s | %s | %s | %s |" % rows[-1], file=sys.stderr, flush=True)
        list_rows = []
        for count in (int(n) for n in args.lists.split(",") if n):
            folder = make_list_store(bench.work, count)
            figures = repeated(lambda: bench.list_case(folder, count), args.repeat)
            list_rows.append(("%d cookies" % count, spread([f.get("start") for f in figures]),
                              spread([f.get("fill") for f in figures]),
                              spread([f.get("ctrl_a") for f in figures]),
                              spread([f.get("ctrl_a_painted") for f in figures])))
            print("| %s | %s | %s | %s | %s |" % list_rows[-1], file=sys.stderr, flush=True)
    finally:
        bench.close()

    print("Times in ms, median (min-max) of %d runs; 'no answer' = not within %g s.\n" % (args.repeat, args.timeout))
    if rows:
        print("| cookie clicked | press to painted text, first click | the same, later clicks (median of each run) |"
              " first click (xdotool) to painted | Ctrl+A to title with count |")
        print("|---|---|---|---|---|")
        for row in rows:
            print("| %s | %s | %s | %s | %s |" % row)
        print()
    if value_rows:
        print("| cookie clicked, Values tab open | press to painted tree, first click | the same, later clicks "
              "(median of each run) | Ctrl+A after the first press to title | Ctrl+A answered before the tree "
              "| held for the tree / file | working set growth / file |")
        print("|---|---|---|---|---|---|---|")
        for row in value_rows:
            print("| %s | %s | %s | %s | %s | %s | %s |" % row)
        print()
    if list_rows:
        print("| list | start to painted list | fill to painted list | Ctrl+A to title with count | Ctrl+A to painted list |")
        print("|---|---|---|---|---|")
        for row in list_rows:
            print("| %s | %s | %s | %s | %s |" % row)


if __name__ == "__main__":
    main()
