#!/usr/bin/env bash
# Builds a Release build of the benchmark programs and prints the Performance
# table of the README: Rindell beside a bare window and a one-label window, on a
# private Xvfb display, RUNS runs each (default 15) in a rotating order.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}

scripts/install-deps.sh valgrind >/dev/null
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_BENCH=ON \
    -DRINDELL_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --parallel >/dev/null
python3 bench/run.py build/bench/bench "$runs"
