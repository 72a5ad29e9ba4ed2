#!/usr/bin/env bash
# Installs what is missing, builds Rindell and starts it. Rindell.ini lives
# beside the program, in build/release/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_TESTS=OFF
cmake --build build/release --parallel
exec build/release/rindell
