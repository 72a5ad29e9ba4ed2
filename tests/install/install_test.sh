#!/usr/bin/env bash
# Installs the build into a temporary folder, starts the installed program under
# a virtual X server, draws once with the keyboard (Enter: START, then the three
# STOPs) and checks the draw in Rindell.ini beside the installed program.
# A Windows build is checked as its operator gets it: the zip, unzipped into an
# empty folder and run under Wine with the windows platform.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

if [ -f "$build/rindell.exe" ]; then
    exec bash "$(dirname "$0")/install_test_windows.sh" "$build" "$prefix"
fi

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/rindell"
test -f "$prefix/share/icons/hicolor/48x48/apps/rindell.png"
test -f "$prefix/translations/qtbase_ja.qm"
grep -qx "Exec=$prefix/rindell" "$prefix/share/applications/rindell.desktop"

printf '[Condition]\r\nRange=1,9\r\n' >"$prefix/Rindell.ini"
# The program runs on the virtual X server, whatever platform the tests use.
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -e
    until_true() { # CONDITION: within 30 s
        for _ in $(seq 300); do
            eval "$1" && return 0
            sleep 0.1
        done
        echo "timed out: $1"
        return 1
    }
    "$1/rindell" & pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name "^Rindell\$" | head -n 1)
    xdotool windowfocus --sync "$window"
    # START, which writes the draw; the three STOPs, the last of which journals the
    # number as shown.
    xdotool key Return
    until_true "grep -q ^1= \"$1/Rindell.ini\""
    xdotool key Return Return Return
    until_true "grep -q reveal \"$1/Rindell.log\""
    # End through 終了(&X), answered Yes once the question has the focus: the program
    # exits normally (and LeakSanitizer checks it in the sanitizer build).
    xdotool key alt+x
    until_true "[ \"\$(xdotool getwindowfocus)\" != $window ]"
    xdotool key Return
    timeout 20 tail --pid="$pid" -f /dev/null
    wait "$pid"
' _ "$prefix"

content=$(tr -d '\r' <"$prefix/Rindell.ini")
echo "$content"
[[ "$content" =~ \[Result\]$'\n'1=[1-9]$ ]]
[ "$(find "$prefix" -maxdepth 1 -name 'Rindell.ini*' | wc -l)" -eq 1 ]
echo "install test passed"
