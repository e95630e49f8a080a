#!/usr/bin/env bash
# The scan beside find, fd and bfs on one tree, measured side by side in one run: warm page
# cache on all cores and on one (taskset -c 0), cold page cache, then the peak memory of the
# scan beside the sequential walk's. Cold runs drop the page cache before every run, which needs
# root; without it they are left out, and the output says so.
#
#   bench/scan_vs_find.sh TREE [WARM_RUNS=10] [COLD_RUNS=4]
#   (make a tree with: build/default/bench/vesk_make_tree /tmp/tree 200000 21943 2 11)
#
# VESK_BUILD names the build folder (build/default); VESK_SCAN_ARGS is handed to vesk_scan_bench,
# for example "--workers 4 --alone 16". The last lines are the ratios the scan is held to.
set -euo pipefail
cd "$(dirname "$0")/.."

tree=${1:?usage: bench/scan_vs_find.sh TREE [WARM_RUNS] [COLD_RUNS]}
warmRuns=${2:-10}
coldRuns=${3:-4}
bench=${VESK_BUILD:-build/default}/bench/vesk_scan_bench
scanArgs=${VESK_SCAN_ARGS:-}
fd=$(command -v fd || command -v fdfind || true)
bfs=$(command -v bfs || true)
[ -x "$bench" ] || { echo "no $bench: build the default preset first" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing (scripts/install-deps.sh bench)" >&2; exit 1; }
command -v jq >/dev/null || { echo "jq is missing (scripts/install-deps.sh bench)" >&2; exit 1; }

names=("vesk_scan_bench" "vesk_scan_bench --sequential" "find -iname '*.sol'")
commands=("$bench $tree 1 $scanArgs" "$bench $tree 1 --sequential" "find $tree -iname '*.sol'")
if [ -n "$fd" ]; then
  names+=("fd -u -e sol")
  commands+=("$fd -u -e sol . $tree")
fi
if [ -n "$bfs" ]; then
  names+=("bfs -iname '*.sol'")
  commands+=("$bfs $tree -iname '*.sol'")
fi
column() {  # index of a column by its name, or nothing
  local i
  for i in "${!names[@]}"; do [ "${names[$i]}" = "$1" ] && echo "$i"; done
  return 0  # the last name's test failing must not stop the script (set -e)
}

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# hyperfine runs each command's runs one after another. The machine's load drifts (other work
# shares it), so the commands run twice, forwards and then backwards, and each command's runs of
# both passes are merged into one result, in the order given.
measure() {  # file, runs, hyperfine arguments..., --, commands...
  local file=$1 runs=$2 options=() list=() reversed=()
  shift 2
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  list=("$@")
  for ((i = ${#list[@]} - 1; i >= 0; i--)); do reversed+=("${list[$i]}"); done
  hyperfine -N --style basic --runs "$runs" "${options[@]}" --export-json "$file.a" "${list[@]}" >&2
  hyperfine -N --style basic --runs "$runs" "${options[@]}" --export-json "$file.b" "${reversed[@]}" >&2
  jq -s '{results: [.[0].results[] as $a | (.[1].results | map(select(.command == $a.command)) | .[0]) as $b
          | ($a.times + $b.times) as $t | (($t | add) / ($t | length)) as $m
          | {command: $a.command, mean: $m, min: ($t | min), max: ($t | max),
             stddev: ((($t | map(. * .) | add) / ($t | length) - $m * $m) | if . > 0 then sqrt else 0 end)}]}' \
    "$file.a" "$file.b" >"$file"
}

# Mean ± standard deviation, and the range, in milliseconds.
figures() {
  jq -r '.results[] | "\(.mean * 1000 | round) ± \(.stddev * 1000 | round) ms (\(.min * 1000 | round)–\(.max * 1000 | round))"' "$1"
}
mean() { jq -r ".results[$2].mean" "$1"; }

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "load average before: $(load)" >&2
measure "$out/warm.json" "$warmRuns" --warmup 2 -- "${commands[@]}"
# One core: the scan must not lean on a second one to keep up.
oneCore=("taskset -c 0 $bench $tree 1 $scanArgs")
oneCoreNames=("vesk_scan_bench")
[ -n "$bfs" ] && oneCore+=("taskset -c 0 $bfs $tree -iname '*.sol'") && oneCoreNames+=("bfs -iname '*.sol'")
measure "$out/one.json" "$warmRuns" --warmup 2 -- "${oneCore[@]}"

cold=yes
drop='sh -c "sync; echo 3 > /proc/sys/vm/drop_caches"'
if [ "$(id -u)" != 0 ] || ! sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches' 2>/dev/null; then
  cold=no
  echo "Cold figures left out: dropping the page cache needs root (/proc/sys/vm/drop_caches)." >&2
else
  measure "$out/cold.json" "$coldRuns" --prepare "$drop" -- "${commands[@]}"
fi
echo "load average after: $(load)" >&2

echo
echo "Tree: $tree ($(find "$tree" -type d | wc -l) folders, $(find "$tree" ! -type d | wc -l) other entries);" \
     "$(nproc) cores; scan arguments: ${scanArgs:-defaults}; load average at the end: $(load)"
echo
header="| |"; rule="|---|"
for name in "${names[@]}"; do header+=" $name |"; rule+="---|"; done
echo "$header"
echo "$rule"
row() {
  local line="| $1 |"
  while read -r cell; do line+=" $cell |"; done < <(figures "$2")
  echo "$line"
}
row "warm cache, 2 x $warmRuns runs" "$out/warm.json"
[ "$cold" = yes ] && row "cold cache, 2 x $coldRuns runs" "$out/cold.json"
echo
echo "| one core (taskset -c 0), 2 x $warmRuns runs | $(IFS='|'; echo "${oneCoreNames[*]}" | sed 's/|/ | /g') |"
echo "|---|$(printf -- '---|%.0s' "${oneCoreNames[@]}")"
line="| warm cache |"
while read -r cell; do line+=" $cell |"; done < <(figures "$out/one.json")
echo "$line"
echo

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
goal() {  # label, file, column, goal
  local at
  at=$(column "$3")
  [ -n "$at" ] || return 0
  echo "$1: scan / $3 = $(ratio "$(mean "$2" 0)" "$(mean "$2" "$at")") (goal <= $4)"
}
goal "warm" "$out/warm.json" "fd -u -e sol" 0.8
goal "warm" "$out/warm.json" "bfs -iname '*.sol'" 0.8
[ -n "$bfs" ] && echo "warm, one core: scan / bfs = $(ratio "$(mean "$out/one.json" 0)" "$(mean "$out/one.json" 1)") (goal <= 1.0)"
if [ "$cold" = yes ]; then
  goal "cold" "$out/cold.json" "fd -u -e sol" 0.8
  goal "cold" "$out/cold.json" "bfs -iname '*.sol'" 0.8
fi

# Peak resident memory (getrusage) of one scan in a fresh process, three times each; the scan
# with all its threads running, as on a cold cache.
peak() { "$bench" "$tree" 1 "$@" 2>&1 >/dev/null | sed -nE 's/.*peak memory ([0-9]+) KiB.*/\1/p'; }
# shellcheck disable=SC2086
parallel=$(for _ in 1 2 3; do peak --always $scanArgs; done | sort -n | tail -1)
sequential=$(for _ in 1 2 3; do peak --sequential; done | sort -n | tail -1)
echo "peak memory: scan $parallel KiB, sequential walk $sequential KiB," \
     "ratio $(ratio "$parallel" "$sequential") (goal <= 1.2)"
