#!/usr/bin/env bash
# The scan beside find and fd on one tree: warm and cold page cache, then the peak memory of the
# parallel and the sequential walk. Cold runs drop the page cache before every run, which needs
# root; without it they are left out, and the output says so.
#
#   bench/scan_vs_find.sh TREE [WARM_RUNS=10] [COLD_RUNS=5]
#   (make a tree with: build/default/bench/vesk_make_tree /tmp/tree 200000 20000 20 6)
#
# VESK_BUILD names the build folder (build/default); VESK_SCAN_ARGS is handed to vesk_scan_bench,
# for example "--workers 4 --window 64".
set -euo pipefail
cd "$(dirname "$0")/.."

tree=${1:?usage: bench/scan_vs_find.sh TREE [WARM_RUNS] [COLD_RUNS]}
warmRuns=${2:-10}
coldRuns=${3:-5}
bench=${VESK_BUILD:-build/default}/bench/vesk_scan_bench
scanArgs=${VESK_SCAN_ARGS:-}
fd=$(command -v fd || command -v fdfind || true)
[ -x "$bench" ] || { echo "no $bench: build the default preset first" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing" >&2; exit 1; }

names=("vesk_scan_bench" "vesk_scan_bench --sequential" "find -iname '*.sol'")
commands=("$bench $tree 1 $scanArgs" "$bench $tree 1 --sequential" "find $tree -iname '*.sol'")
if [ -n "$fd" ]; then
  names+=("fd -u -e sol")
  commands+=("$fd -u -e sol . $tree")
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Mean ± standard deviation, and the range, in milliseconds.
figures() {
  jq -r '.results[] | "\(.mean * 1000 | round) ± \(.stddev * 1000 | round) ms (\(.min * 1000 | round)–\(.max * 1000 | round))"' "$1"
}
mean() { jq -r ".results[$2].mean" "$1"; }

hyperfine -N --style basic --warmup 2 --runs "$warmRuns" --export-json "$out/warm.json" "${commands[@]}" >&2

cold=yes
drop='sh -c "sync; echo 3 > /proc/sys/vm/drop_caches"'
if [ "$(id -u)" != 0 ] || ! sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches' 2>/dev/null; then
  cold=no
  echo "Cold figures left out: dropping the page cache needs root (/proc/sys/vm/drop_caches)." >&2
else
  hyperfine -N --style basic --runs "$coldRuns" --prepare "$drop" --export-json "$out/cold.json" "${commands[@]}" >&2
fi

echo
echo "Tree: $tree ($(find "$tree" -type d | wc -l) folders, $(find "$tree" ! -type d | wc -l) other entries);" \
     "$(nproc) cores; scan arguments: ${scanArgs:-defaults}"
echo
header="| |"; rule="|---|"
for name in "${names[@]}"; do header+=" $name |"; rule+="---|"; done
echo "$header"
echo "$rule"
row() {
  local label=$1 file=$2 line="| $1 |"
  while read -r cell; do line+=" $cell |"; done < <(figures "$file")
  echo "$line"
}
row "warm cache, $warmRuns runs" "$out/warm.json"
[ "$cold" = yes ] && row "cold cache, $coldRuns runs" "$out/cold.json"
echo

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "warm: scan / find = $(ratio "$(mean "$out/warm.json" 0)" "$(mean "$out/warm.json" 2)") (goal <= 0.6)"
if [ "$cold" = yes ] && [ -n "$fd" ]; then
  echo "cold: scan / fd   = $(ratio "$(mean "$out/cold.json" 0)" "$(mean "$out/cold.json" 3)") (goal <= 0.8)"
fi

# Peak resident memory (getrusage) of one scan in a fresh process, three times each; the parallel
# walk with its workers running, as on a cold cache.
peak() { "$bench" "$tree" 1 "$@" 2>&1 >/dev/null | sed -nE 's/.*peak memory ([0-9]+) KiB.*/\1/p'; }
# shellcheck disable=SC2086
parallel=$(for _ in 1 2 3; do peak --always $scanArgs; done | sort -n | tail -1)
sequential=$(for _ in 1 2 3; do peak --sequential; done | sort -n | tail -1)
echo "peak memory: parallel $parallel KiB, sequential $sequential KiB," \
     "ratio $(ratio "$parallel" "$sequential") (goal <= 1.2)"
