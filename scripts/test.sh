#!/usr/bin/env bash
# Installs what is missing, builds Rindell with its tests and runs every test
# (offscreen, no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DRINDELL_BUILD_TESTS=ON
cmake --build build/test --parallel
ctest --test-dir build/test --output-on-failure
