#!/usr/bin/env bash
# Fuzzes the settings-file reading and writing with libFuzzer for SECONDS
# (default 600), starting from the seed corpus in tests/fuzz/corpus. New inputs
# go to build/fuzz/corpus; a crash is saved as build/fuzz/crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

scripts/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRINDELL_FUZZ=ON -DRINDELL_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz --parallel --target fuzz_settings
mkdir -p build/fuzz/corpus
cd build/fuzz
ASAN_OPTIONS=detect_leaks=0 ./fuzz_settings -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=./ corpus ../../tests/fuzz/corpus
