#!/usr/bin/env bash
# Installs what is missing, builds Rindell with its tests and runs every test
# (offscreen, no display needed): once in a plain build, once in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DRINDELL_BUILD_TESTS=ON
cmake --build build/test --parallel
ctest --test-dir build/test --output-on-failure

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DRINDELL_BUILD_TESTS=ON -DRINDELL_SANITIZE=ON
cmake --build build/sanitize --parallel
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build/sanitize --output-on-failure
