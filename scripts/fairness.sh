#!/usr/bin/env bash
# Evidence that Rindell's draws are fair, from the program's own --sample-*
# options: dieharder over the raw generator output, then chi-square tests of
# draws, positions in a series and consecutive draws, each judged at the 99%
# level. `bash scripts/fairness.sh` takes a few minutes; `--quick PROGRAM`
# (the test command's version) takes seconds and tests a given binary.
set -euo pipefail
cd "$(dirname "$0")/.."

# RINDELL_EMULATOR runs a program built for another system (wine for Windows).
emulator=(${RINDELL_EMULATOR:-})
if [ "${1:-}" = "--quick" ]; then
    mode=quick
    program=$2
    # One fast test: the raw stream's bits are balanced.
    tests=(100)
else
    mode=full
    scripts/install-deps.sh
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_TESTS=OFF >/dev/null
    cmake --build build/release --parallel >/dev/null
    program=build/release/rindell
    tests=(0 1 2 3 4 8 9 10 11 12 13 15 16 100 101 102 202 203 205 206 207 208 209)
fi

status=0
echo "dieharder over the raw output of rindell --sample-raw (stdin, never rewound):"
for test in "${tests[@]}"; do
    # -Y 1 tests a result in the two-sided 1% tails (WEAK) again with more data
    # until it resolves to PASSED or FAILED. The stream is larger than any test
    # reads; dieharder closes it when done.
    line=$( { "${emulator[@]}" "$program" --sample-raw 1000000000000 2>/dev/null || true; } |
        dieharder -g 200 -d "$test" -Y 1 2>/dev/null | grep -E '\|' | tail -n 1)
    echo "  $line"
    case "$line" in *FAILED*) status=1 ;; esac
done

echo "draws from rindell --sample-draws and --sample-series:"
python3 scripts/fairness.py "$program" "$mode" | sed 's/^/  /' || status=1
exit $status
