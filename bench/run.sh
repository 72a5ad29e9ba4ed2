#!/usr/bin/env bash
# Builds a Release build of the benchmark programs and prints the Performance
# table of the README: Rindell beside a bare window and a one-label window, on a
# private Xvfb display, RUNS runs each (default 15) in a rotating order.
#
#   bench/run.sh [RUNS]
#   bench/run.sh --against REVISION [RUNS]
#
# The second form builds REVISION too (from `git archive`, into build/bench-base)
# and prints the start-up and the spinning reels of both, alternated run by run
# (default 10 runs).
set -euo pipefail
cd "$(dirname "$0")/.."
against=
if [[ ${1:-} == --against ]]; then
    against=$(git rev-parse --verify "$2^{commit}")
    shift 2
fi
runs=${1:-$([[ -n $against ]] && echo 10 || echo 15)}

build() {
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_BENCH=ON \
        -DRINDELL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$2" --parallel "$(nproc)" >/dev/null
}

scripts/install-deps.sh valgrind >/dev/null
build . build/bench
if [[ -n $against ]]; then
    if [[ $(cat build/bench-base/revision 2>/dev/null) != "$against" ]]; then
        rm -rf build/bench-base
        mkdir -p build/bench-base/src
        git archive "$against" | tar -x -C build/bench-base/src
        echo "$against" >build/bench-base/revision
    fi
    build build/bench-base/src build/bench-base/build
    python3 bench/run.py build/bench/bench "$runs" build/bench-base/build/bench
else
    python3 bench/run.py build/bench/bench "$runs"
fi
