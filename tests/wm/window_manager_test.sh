#!/usr/bin/env bash
# Runs the real program under a real window manager (openbox on a private Xvfb)
# and drives it with synthetic X input, as an operator would:
#  - after every dialog and message box closes, the main window is active and
#    Enter presses START (a new draw lands in Rindell.ini), with no click first;
#    TRIES runs of "widen the range, answer No to clearing" and TRIES of the others;
#  - the condition dialog, the result list and the message boxes cannot be
#    minimised; a modal minimised with its owner comes back with it;
#  - in the result list, Tab to 閉じる and Enter closes it;
#  - Esc and the window manager's close (Alt+F4) do not answer a Yes/No question;
#  - on one screen, F5 shows the audience window beside the main window without
#    taking the focus, behind it when left over it (also when it was left full
#    screen: it opens windowed), also when started with --audience with an
#    earlier version's [Display] section, and Enter at the audience window draws
#    as PageDown does; the settings file holds [Condition] and [Result] only;
#  - on two separate X screens (1280x1024 and 1920x1080, an openbox on each), the
#    audience window opens on the other screen, all of it on that screen, without
#    the focus; a box raised while it is active stands over the main window on the
#    operator's screen; full screen there is restored at the next run.
# Usage: window_manager_test.sh PROGRAM [TRIES]
set -euo pipefail
program=$(realpath "$1")
tries=${2:-20}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/rindell"
printf '[Condition]\r\nRange=1,100\r\n' >"$folder/Rindell.ini"

# What both sessions use, on the X display they are given.
cat >"$folder/common.sh" <<'COMMON'
set -uo pipefail
folder=$1
ini=$folder/Rindell.ini
log=$folder/Rindell.log
place=$folder/Rindell-display.ini
audience_title='^Rindell - 抽選$'
failures=0

wait_for() { # CONDITION [TENTHS]: true once CONDITION holds, within TENTHS/10 s
    local i
    for ((i = 0; i < ${2:-50}; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
active() { xdotool getactivewindow 2>/dev/null || echo none; }
# The active window is titled TITLE (a pattern) and is not the window EXCEPT.
focused() { # TITLE [EXCEPT]
    local window
    window=$(active)
    [ "$window" != "${2:-}" ] && xdotool getwindowname "$window" 2>/dev/null | grep -q -- "$1"
}
draws() { grep -c '^[0-9]*=' "$ini" || true; }
# The last STOP of a draw journals the number as shown: the window is idle again.
reveals() { grep -c '"event":"reveal"' "$log" 2>/dev/null || true; }
# Enter for the three STOPs of the draw that is on, until the reels are at rest.
stop_reels() { # WHAT
    local shown
    shown=$(reveals)
    xdotool key Return Return Return
    wait_for '[ "$(reveals)" -gt '"$shown"' ]' 30 || fail "$1: Enter did not press the three STOPs"
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

COMMON

status=0
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash -s "$folder" "$tries" <<'SESSION' || status=1
source "$1/common.sh"
tries=$2
ready=$folder/openbox-ready
openbox --startup "touch $ready" >/dev/null 2>&1 &
wait_for "[ -e $ready ]" 100 || { echo "FAIL: openbox did not start"; exit 1; }
"$folder/rindell" >/dev/null 2>&1 &
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Rindell$' | head -n 1)
wait_for '[ "$(active)" = "$main" ]' || xdotool windowactivate --sync "$main"

# After a dialog or box closed: the main window is active and Enter draws; then
# the three STOPs by Enter bring the window back to idle.
check_focus() {
    local what=$1 before
    if ! wait_for '[ "$(active)" = "$main" ]' 30; then
        fail "$what: the main window is not active (active: $(active))"
        xdotool windowactivate --sync "$main"
        return
    fi
    before=$(draws)
    xdotool key Return
    if ! wait_for '[ "$(draws)" -gt '"$before"' ]' 30; then
        fail "$what: Enter did not press START"
        return
    fi
    stop_reels "$what"
}

# The path that lost the focus: widen the range, OK, answer No to clearing.
for ((try = 1; try <= tries; try++)); do
    xdotool key alt+j
    wait_for 'focused "^条件入力$"' || { fail "no condition dialog"; continue; }
    dialog=$(active)
    xdotool key Tab
    xdotool type "$((100 + try))"
    xdotool key Tab space
    wait_for '[ "$(visible "^条件入力$")" -ge 2 ] && focused "^条件入力$" "$dialog"' ||
        { fail "no clearing question"; continue; }
    xdotool key Return # No, the default
    wait_for '[ "$(visible "^条件入力$")" -eq 0 ]' || fail "the dialog stayed open"
    check_focus "widen, No ($try)"
done

# The other dialogs and boxes, in turn.
for ((try = 1; try <= tries; try++)); do
    case $((try % 4)) in
    0)  xdotool key alt+r
        wait_for 'focused "^結果表示$"' || fail "no result list"
        xdotool key Tab Return # Enter on the focused 閉じる
        wait_for '[ "$(visible "^結果表示$")" -eq 0 ]' || fail "the list stayed open"
        what="result list" ;;
    1)  xdotool key alt+c
        wait_for 'focused "^Rindell$" "$main"' || fail "no clearing question"
        xdotool key Return # No, the default
        what="clear, No" ;;
    2)  xdotool key alt+x
        wait_for 'focused "^Rindell$" "$main"' || fail "no end question"
        xdotool key alt+n
        what="end, No" ;;
    3)  xdotool key alt+j
        wait_for 'focused "^条件入力$"' || fail "no condition dialog"
        xdotool key Tab Tab Tab space # to キャンセル
        what="condition, cancel" ;;
    esac
    wait_for '[ "$(visible "^Rindell$")" -eq 1 ] && [ "$(visible "^条件入力$|^結果表示$")" -eq 0 ]' ||
        fail "$what: a window stayed open"
    check_focus "$what ($try)"
done

# No minimising a modal: the request is refused, the modal stays on screen.
minimise_refused() { # ACCESS-KEY TITLE CLOSE-KEYS
    local key=$1 closing=$3 modal
    title=$2
    xdotool key "$key"
    wait_for 'focused "$title" "$main"' || { fail "$title did not open"; return; }
    modal=$(active)
    xdotool windowminimize "$modal"
    sleep 0.5 # time for a minimising that should not happen
    [ "$(visible "$title")" -ge 1 ] || fail "$title could be minimised"
    # Minimised with its owner, it comes back when the owner is restored.
    xdotool windowminimize "$main"
    sleep 0.5 # time for the minimising, where the window manager does it
    xdotool windowactivate "$main" 2>/dev/null
    wait_for '[ "$(visible "$title")" -ge 1 ]' 30 || fail "$title did not come back with its owner"
    xdotool windowactivate --sync "$modal" 2>/dev/null
    xdotool key $closing
    wait_for '[ "$(visible "^条件入力$|^結果表示$")" -eq 0 ] && [ "$(visible "^Rindell$")" -eq 1 ]' ||
        fail "$title did not close"
    check_focus "after minimising $title"
}
minimise_refused alt+j '^条件入力$' "Tab Tab Tab space"
minimise_refused alt+r '^結果表示$' Escape
minimise_refused alt+c '^Rindell$' Return

# A question only its buttons answer: Esc and openbox's close (Alt+F4) do nothing.
xdotool key alt+c
if wait_for 'focused "^Rindell$" "$main"'; then
    xdotool key Escape
    sleep 0.5 # time for an answer that should not come
    if [ "$(visible "^Rindell$")" -eq 2 ]; then
        xdotool key alt+F4
        sleep 0.5
        [ "$(visible "^Rindell$")" -eq 2 ] || fail "closing answered the question"
        xdotool key Return # No, the default
    else
        fail "Esc answered the question"
    fi
    check_focus "question after Esc and Alt+F4"
else
    fail "no clearing question"
fi

# The audience window on the one screen there is: F5 shows it and the main
# window keeps the focus; F5 again closes it.
audience_f5() { # WHERE
    xdotool windowactivate --sync "$main"
    xdotool key F5
    wait_for '[ "$(visible "$audience_title")" -ge 1 ]' || { fail "$1: F5 opened nothing"; return 1; }
    sleep 0.5 # time for a focus change that should not happen
    audience=$(xdotool search --onlyvisible --name "$audience_title" | head -n 1)
    [ "$(active)" = "$main" ] || fail "$1: the audience window took the focus"
}
beside() { # WHERE: the audience window leaves the main window uncovered
    eval "$(xdotool getwindowgeometry --shell "$main" | sed 's/^/M/')"
    eval "$(xdotool getwindowgeometry --shell "$audience")"
    ((X < MX + MWIDTH && MX < X + WIDTH && Y < MY + MHEIGHT && MY < Y + HEIGHT)) &&
        fail "$1: the audience window ($X,$Y ${WIDTH}x$HEIGHT) covers the main window"
}
if audience_f5 beside; then
    beside F5
    check_focus "audience window shown"
    xdotool windowactivate --sync "$audience"
    before=$(draws)
    xdotool key Return
    wait_for '[ "$(draws)" -gt '"$before"' ]' 30 || fail "Enter at the audience window drew nothing"
    stop_reels "audience window"
    xdotool windowactivate --sync "$main"
    xdotool key F5
    wait_for '[ "$(visible "$audience_title")" -eq 0 ]' || fail "F5 did not close the audience window"
    # Left full screen over the main window, it opens windowed, behind it.
    grep -q '^FullScreen=0' "$place" || fail "the place file does not hold the window's place"
    sed -i "s/^Geometry=.*/Geometry=$MX,$MY,400,300\r/; s/^FullScreen=.*/FullScreen=1\r/" "$place"
    if audience_f5 behind; then
        stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
        order=$(for id in $stacking; do echo $((id)); done | grep -x -e "$main" -e "$audience")
        [ "$order" = "$(printf '%s\n' "$audience" "$main")" ] || fail "the audience window is in front"
        xprop -id "$audience" _NET_WM_STATE | grep -q FULLSCREEN &&
            fail "the audience window opened full screen over the main window"
        xdotool key F5
    fi
    check_focus "audience window closed"
fi

# The settings file holds the draw's sections and nothing else, line by line.
grep -v -a -E '^(\[Condition\]|\[Result\]|Range=[0-9]+,[0-9]+|[0-9]+=[0-9]+)'$'\r''$' "$ini" &&
    fail "the settings file holds more than [Condition] and [Result]"

# Started with --audience, it opens beside the main window once that is placed,
# also where an earlier version left it full screen in the settings file.
xdotool key alt+x
wait_for 'focused "^Rindell$" "$main"' || fail "no end question"
xdotool key alt+y
wait_for '[ "$(visible "^Rindell$")" -eq 0 ]' || fail "the program did not end"
rm "$place"
printf '[Display]\r\nScreen=screen\r\nFullScreen=1\r\n' >>"$ini"
"$folder/rindell" --audience >/dev/null 2>&1 &
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Rindell$' | head -n 1)
if wait_for '[ "$(visible "$audience_title")" -ge 1 ]'; then
    sleep 0.5 # time for a move that should not happen
    audience=$(xdotool search --onlyvisible --name "$audience_title" | head -n 1)
    beside --audience
    xprop -id "$audience" _NET_WM_STATE | grep -q FULLSCREEN &&
        fail "--audience: the audience window opened full screen"
    check_focus "started with --audience"
else
    fail "--audience opened no audience window"
fi
grep -q -a '^FullScreen=1' "$ini" || fail "the earlier [Display] section was rewritten"

echo "window manager test, one screen: $failures failures in $((2 * tries + 6)) runs"
[ "$failures" -eq 0 ]
SESSION

# Two separate X screens, the main window on the first: the audience window on the
# second, and boxes on the first.
printf '' >"$folder/Rindell.ini"
rm -f "$folder/Rindell.log" "$folder/Rindell-display.ini"
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY xvfb-run -a \
    -s "-screen 0 1280x1024x24 -screen 1 1920x1080x24" bash -s "$folder" <<'SESSION' || status=1
source "$1/common.sh"
for screen in 0 1; do
    DISPLAY=${DISPLAY%.*}.$screen openbox --startup "touch $folder/openbox-$screen" >/dev/null 2>&1 &
done
wait_for "[ -e $folder/openbox-0 ] && [ -e $folder/openbox-1 ]" 100 ||
    { echo "FAIL: openbox did not start"; exit 1; }
on_screen() { xdotool search --screen "$1" --onlyvisible --name "$2" 2>/dev/null; }
start() { # WHAT: the program, its main window active and the audience window opened by F5
    "$folder/rindell" >/dev/null 2>&1 &
    main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Rindell$' | head -n 1)
    xdotool windowactivate --sync "$main"
    xdotool key F5
    wait_for '[ -n "$(on_screen 1 "$audience_title")" ]' ||
        { fail "$1: the audience window is not on the second screen"; return 1; }
    sleep 0.5 # time for a focus change that should not happen
    audience=$(on_screen 1 "$audience_title" | head -n 1)
    [ "$(active)" = "$main" ] || fail "$1: the audience window took the focus"
    eval "$(xdotool getwindowgeometry --shell "$audience")"
    ((X >= 0 && Y >= 0 && X + WIDTH <= 1920 && Y + HEIGHT <= 1080)) ||
        fail "$1: the audience window ($X,$Y ${WIDTH}x$HEIGHT) runs off its screen"
}
if start "first run"; then
    xdotool windowactivate --sync "$audience"
    xdotool key F11
    wait_for 'xprop -id "$audience" _NET_WM_STATE | grep -q FULLSCREEN' ||
        fail "F11 did not make the audience window full screen"
    # No range: PageDown at the active audience window raises a warning, over the
    # main window on its screen.
    xdotool windowactivate --sync "$audience"
    xdotool key Next
    if wait_for '[ "$(on_screen 0 "^Rindell$" | wc -l)" -eq 2 ]'; then
        [ -z "$(on_screen 1 "^Rindell$")" ] || fail "a box stands on the audience's screen"
        box=$(on_screen 0 "^Rindell$" | grep -v -x "$main" | head -n 1)
        xdotool windowactivate --sync "$box"
        xdotool key Return
        wait_for '[ "$(on_screen 0 "^Rindell$" | wc -l)" -eq 1 ]' || fail "the box did not close"
    else
        fail "no box over the main window (screen 0: $(on_screen 0 "^Rindell$" | wc -l), screen 1: $(on_screen 1 "^Rindell$" | wc -l))"
        xdotool key Return
    fi
    xdotool windowactivate --sync "$main"
    xdotool key alt+x
    wait_for 'focused "^Rindell$" "$main"' || fail "no end question"
    xdotool key alt+y
    wait_for '[ -z "$(on_screen 0 "^Rindell$")" ]' || fail "the program did not end"
fi
# Full screen on a screen of its own comes back as it was left.
if start "second run"; then
    wait_for 'xprop -id "$audience" _NET_WM_STATE | grep -q FULLSCREEN' ||
        fail "full screen on the second screen was not restored"
fi

echo "window manager test, two X screens: $failures failures"
[ "$failures" -eq 0 ]
SESSION
exit "$status"
