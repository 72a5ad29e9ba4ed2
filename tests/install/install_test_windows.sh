#!/usr/bin/env bash
# The install test of a Windows build, run by install_test.sh: the zip is made
# and unzipped into an empty folder (no Rindell.ini yet), and its rindell.exe runs
# under Wine with nothing from the build: no DLL path, no Qt variable. It
# samples, then on a virtual X server with the windows platform: START refused
# without a range (a Japanese box), the range set in the condition dialog, a draw
# by keyboard, the end through 終了. Rindell.ini must be CRLF throughout, and the
# journal must verify. With RINDELL_LINUX_PROGRAM, the Linux build verifies the
# Windows journal and the other way round; with RINDELL_SCREENSHOTS (a folder)
# the box and the main window are photographed there.
set -euo pipefail
build=$1
work=$2
here=$(cd "$(dirname "$0")/../.." && pwd)

zip=$(bash "$here/scripts/windows/make-zip.sh" "$build" "$work/zip")
mkdir "$work/operator"
unzip -q "$zip" -d "$work/operator"
app=$(echo "$work"/operator/rindell-*-win64)

expected="Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libgcc_s_seh-1.dll libstdc++-6.dll \
libwinpthread-1.dll platforms/qwindows.dll rindell.exe styles/qwindowsvistastyle.dll \
translations/qtbase_ja.qm"
actual=$(cd "$app" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
if [ "$actual" != "$expected " ]; then
    echo "the zip holds: $actual"
    exit 1
fi
if x86_64-w64-mingw32-objdump -h "$app/Qt6Core.dll" | grep -q debug_info; then
    echo "not stripped"
    exit 1
fi

unset WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR
# Lines end in LF on Windows too.
cmp <(wine "$app/rindell.exe" --sample-draws 3 --range 5,5) <(printf '5\n5\n5\n')

# A Wine prefix of its own, whose desktop process runs on this virtual display (the
# suites' prefix has one without a display). Its server and services are started
# here with their output elsewhere, so that they hold no pipe of CTest's open.
export WINEPREFIX=$build/wineprefix-display
mkdir -p "$WINEPREFIX"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -e
    app=$1 shots=${RINDELL_SCREENSHOTS:-}
    wineserver -p >/dev/null 2>&1
    trap "wineserver -k >/dev/null 2>&1 || true" EXIT
    wineboot -i >/dev/null 2>&1
    cd "$app"
    # Windows that Wine makes and drops meanwhile can fail a search: it is repeated.
    count() {
        xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l
    }
    await() {
        for _ in $(seq 150); do
            [ "$(count "$1")" -ge "$2" ] && return 0
            sleep 0.2
        done
        echo "no window $1"; return 1
    }
    # The X focus under Wine stays on the main window whatever is active: what the
    # program writes tells where a draw is.
    written() { # FILE PATTERN
        for _ in $(seq 150); do
            grep -q -- "$2" "$1" 2>/dev/null && return 0
            sleep 0.2
        done
        echo "no $2 in $1"; return 1
    }
    wine ./rindell.exe >/dev/null 2>&1 & pid=$!
    await "^Rindell\$" 1
    window=$(xdotool search --onlyvisible --name "^Rindell\$" 2>/dev/null | head -n 1)
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null || true
    sleep 1
    # No range yet: START is refused with a box.
    xdotool key Return
    await "^Rindell\$" 2
    sleep 0.5
    xdotool key Return
    sleep 0.5
    # The condition dialog: From, To, OK, and Yes to starting a new series.
    xdotool key alt+j
    await "^条件入力\$" 1
    sleep 0.5
    xdotool type 1; xdotool key Tab; xdotool type 9; xdotool key Tab space
    await "^条件入力\$" 2
    sleep 0.5
    xdotool key alt+y
    sleep 1
    # START writes the draw; the last of the three STOPs journals the number as shown.
    xdotool key Return
    written Rindell.ini "^1="
    xdotool key Return Return Return
    written Rindell.log "\"event\":\"reveal\""
    [ -z "$shots" ] || { sleep 1; import -window root -trim +repage "$shots/windows-main.png"; }
    # End through 終了(&X), answered Yes (button texts from qtbase_ja.qm).
    xdotool key alt+x; sleep 1
    [ -z "$shots" ] || import -window root -trim +repage "$shots/windows-box.png"
    xdotool key alt+y
    timeout 30 tail --pid="$pid" -f /dev/null
    wait "$pid"
' _ "$app"

ini=$app/Rindell.ini
cat -A "$ini"
grep -q $'^\\[Condition\\]\r$' "$ini"
grep -q $'^Range=0*1,0*9\r$' "$ini"
grep -Pzq '\[Result\]\r\n1=[1-9]\r\n$' "$ini"
! grep -qv $'\r$' "$ini" # every line ends in CR LF
[ "$(find "$app" -maxdepth 1 -name 'Rindell.ini*' | wc -l)" -eq 1 ]

wine "$app/rindell.exe" --verify | tee "$work/verify.txt"
grep -q '^OK: .* 1 draws in the current series' "$work/verify.txt"

if [ -n "${RINDELL_LINUX_PROGRAM:-}" ]; then
    # The Windows journal verifies on Linux...
    "$RINDELL_LINUX_PROGRAM" --verify "$app/Rindell.log"
    # ...and a Linux journal (a start that adopts a series) on Windows.
    linux=$work/linux
    mkdir "$linux"
    printf '[Condition]\r\nRange=1,9\r\n[Result]\r\n1=4\r\n2=7\r\n' >"$linux/Rindell.ini"
    cp "$RINDELL_LINUX_PROGRAM" "$linux/rindell"
    QT_QPA_PLATFORM=offscreen timeout 5 "$linux/rindell" || true
    wine "$app/rindell.exe" --verify "Z:$linux/Rindell.log" | tee "$work/verify.txt"
    grep -q '^OK: .* 2 draws in the current series' "$work/verify.txt"
fi
echo "Windows install test passed"
