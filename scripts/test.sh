#!/usr/bin/env bash
# Installs what is missing, builds Rindell with its tests and runs every test
# (offscreen, no display needed, but for the window-manager test on a private
# Xvfb): once in a plain build, once in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer; both with warnings as errors, after a check that
# every C++ file is formatted. `ctest -LE slow` in a build folder skips the slow
# suites when working locally.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# The code stays formatted: a formatting change fails the test command.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
else
    find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
        xargs -0 clang-format --dry-run --Werror
fi

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DRINDELL_BUILD_TESTS=ON -DRINDELL_WERROR=ON
cmake --build build/test --parallel
ctest --test-dir build/test --output-on-failure

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DRINDELL_BUILD_TESTS=ON -DRINDELL_SANITIZE=ON \
    -DRINDELL_WERROR=ON
cmake --build build/sanitize --parallel
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build/sanitize --output-on-failure
