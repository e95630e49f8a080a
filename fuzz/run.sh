#!/usr/bin/env bash
# Runs the .sol reader's fuzzer (built by `cmake --preset fuzz && cmake --build --preset fuzz`)
# for SECONDS (default 60) from a freshly generated seed corpus. Fails on any crash, leak, input
# slower than a second or memory past the limit; the failing input lands in build/fuzz/artifacts/
# and belongs in fuzz/crashes/ once fixed, where a unit test replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build/fuzz
rm -rf "$dir/seeds"
mkdir -p "$dir/seeds" "$dir/corpus" "$dir/artifacts"
"$dir/fuzz/vesk_lso_seeds" "$dir/seeds"
"$dir/fuzz/vesk_lso_fuzz" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=16384 \
  -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "$dir/corpus" "$dir/seeds"
