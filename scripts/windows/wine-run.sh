#!/usr/bin/env bash
# CTest's emulator for the Windows build: runs the program under Wine with its
# output through a file. A program started without a console gets a headless
# conhost.exe that Wine leaves running after a kill; holding the output pipe, it
# would keep CTest waiting until the test's timeout.
log=$(mktemp)
wine "$@" >"$log" 2>&1
status=$?
cat "$log"
rm -f "$log"
exit $status
