#!/usr/bin/env bash
# Every speed goal of the scan, the window's start and Text1, measured side by side in one run:
#
#   bench/all.sh [TREE=/tmp/vesk-tree] [WINE_TREE=/tmp/vesk-wine-tree]
#
# 1. the scan beside find, fd and bfs: warm on all cores and on one, cold, and its peak memory
#    beside the sequential walk's (bench/scan_vs_find.sh);
# 2. the Linux window's start to the filled list against the scan alone, warm and cold, on an
#    Xvfb of its own (bench/window_bench.py --only start);
# 3. Text1 from the click to the painted text for cookies of 16 and 32 MiB of each kind
#    (bench/window_bench.py --only text);
# 4. under Wine: the window's start against the Windows scan alone, on a tree a tenth the size
#    (Wine's folder enumeration is some thirty times slower), and Text1 as in 3
#    (bench/wine_window_bench.py).
#
# Needs the default and windows presets built, root for the cold runs, and
# scripts/install-deps.sh bench (hyperfine, fd, bfs, jq) and test (Xvfb, xdotool, Wine).
# Missing trees are made first (vesk_make_tree: 200,000 files in 21,943 folders nested up to 200
# characters deep, 2 % cookies). The machine should be otherwise idle: every figure is a ratio of
# programs run in turns, but a busy machine hurts the threaded ones more. The load average is
# printed before and after each part.
set -euo pipefail
cd "$(dirname "$0")/.."

tree=${1:-/tmp/vesk-tree}
wineTree=${2:-/tmp/vesk-wine-tree}
build=build/default
[ -x "$build/vesk" ] && [ -x "$build/bench/vesk_scan_bench" ] || { echo "build the default preset first" >&2; exit 1; }
[ -d "$tree" ] || "$build/bench/vesk_make_tree" "$tree" 200000 21943 2 11 >&2
[ -d "$wineTree" ] || "$build/bench/vesk_make_tree" "$wineTree" 20000 2194 2 11 >&2
load() { echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"; }

echo "## The scan ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(load))"
bench/scan_vs_find.sh "$tree" 10 4
echo
echo "## The window's start on Xvfb ($(load))"
python3 bench/window_bench.py --program "$build/vesk" --only start --tree "$tree" --repeat 5
if [ "$(id -u)" = 0 ]; then
  python3 bench/window_bench.py --program "$build/vesk" --only start --tree "$tree" --repeat 4 --cold
fi
echo
echo "## Text1 on Xvfb ($(load))"
python3 bench/window_bench.py --program "$build/vesk" --only text --repeat 5 --sizes "16 MiB,32 MiB"
if [ -x build/windows/Vesk.exe ] && command -v wine >/dev/null; then
  echo
  echo "## Under Wine ($(load))"
  xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/wine_window_bench.py build/windows/Vesk.exe \
    --start "$wineTree" --repeat 3 --timeout 300
  xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/wine_window_bench.py build/windows/Vesk.exe \
    --sizes $((16 << 20)),$((32 << 20)) --lists "" --repeat 3 --again 4 --timeout 60
fi
echo
load
