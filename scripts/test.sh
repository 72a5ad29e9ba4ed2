#!/usr/bin/env bash
# Installs what is missing, builds Rindell with its tests and runs every test once,
# with warnings as errors, after a check that every C++ file is formatted:
# - the in-process suites (offscreen, no display needed) in a build with
#   AddressSanitizer and UndefinedBehaviorSanitizer;
# - the process-level suites (the real program killed at random, driven under a
#   window manager on a private Xvfb, sampled for fairness, installed, embedded in
#   another project) against a plain build of the program.
# The suites run two at a time, each in a folder of its own; those that share the
# program's folder or start an Xvfb take turns (RESOURCE_LOCK in tests/CMakeLists.txt).
# `ctest --preset quick` in build/test leaves the slow suites out when working locally.
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

# One compile per core: more at once, each holding a precompiled header, only
# crowd each other out.
jobs=$(nproc)
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build/sanitize --output-on-failure --parallel 2 \
        --label-exclude slow --exclude-regex '^embedding$'

cmake --preset dev
cmake --build --preset dev --parallel "$jobs" --target rindell drawer tst_crashsafety
ctest --test-dir build/test --output-on-failure --parallel 2 --label-regex slow
ctest --test-dir build/test --output-on-failure --tests-regex '^embedding$'
