#!/usr/bin/env bash
# Builds a Release build and prints one table of Rindell beside a bare Qt 6
# window, measured in the same run under a virtual X server; each figure is the
# median of RUNS runs (default 9).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}

scripts/install-deps.sh >/dev/null
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_BENCH=ON \
    -DRINDELL_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --parallel >/dev/null
bin=build/bench/bench

display=:$((80 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb; rm -f "$bin/Rindell.ini" "$bin/Rindell.ini.tmp"' EXIT
export DISPLAY=$display
sleep 1

results=$(mktemp)
for ((run = 0; run < runs; run++)); do
    # Alternate the two programs so that both see the same machine.
    RINDELL_BENCH_T0=$(date +%s%N) "$bin/bare_window" 2>/dev/null | sed 's/^/bare_/'
    RINDELL_BENCH_T0=$(date +%s%N) "$bin/rindell_bench" startup 2>/dev/null | sed 's/^/rindell_/'
    "$bin/rindell_bench" draw 2>/dev/null
    "$bin/rindell_bench" write 2>/dev/null
done >"$results"

median() {
    grep "^$1 " "$results" | awk '{print $2}' | sort -g |
        awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

start_r=$(median rindell_startup_ms)
start_b=$(median bare_startup_ms)
rss_r=$(median rindell_peak_rss_kib)
rss_b=$(median bare_peak_rss_kib)
cat <<TABLE
| figure (median of $runs runs) | Rindell | bare Qt window | ratio |
|---|---|---|---|
| start-up to first paint | ${start_r} ms | ${start_b} ms | $(ratio "$start_r" "$start_b") |
| peak resident memory | $((rss_r / 1024)) MiB | $((rss_b / 1024)) MiB | $(ratio "$rss_r" "$rss_b") |
| reel repaints per second (ones reel, Xvfb) | $(median reel_repaints_per_s) | | |
| STOP click to reel at rest | $(median stop_to_rest_ms) ms | | |
| START click to first reel turn (draw already durable on disk) | $(median start_to_durable_ms) ms | | |
| one draw's write at draw 1 | $(median write_ms_at_draw_1) ms | | |
| one draw's write at draw 1000 | $(median write_ms_at_draw_1000) ms | | |
TABLE
rm -f "$results"
