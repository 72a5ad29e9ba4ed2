#!/usr/bin/env bash
# Takes the README's screenshots again: runs Rindell under a virtual X server
# with a window manager, drives it with xdotool and captures each window.
# Usage: scripts/screenshots.sh [scale]   (scale 2 checks the high-DPI layout)
set -euo pipefail
cd "$(dirname "$0")/.."
scale=${1:-1}
out=docs/screenshots
suffix=$([ "$scale" = 1 ] && echo "" || echo "-${scale}x")

scripts/install-deps.sh imagemagick openbox
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --parallel >/dev/null

# A demo folder of its own, so the operator's Rindell.ini is never touched.
demo=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$demo"' EXIT
cp build/release/rindell "$demo/"
{
    printf '[Condition]\r\nRange=1,500\r\n[Result]\r\n'
    i=1
    for n in 37 5 88 412 129 250 7 498 61 333 172 45 390 221 14 466 99 301 158 76 444 3 267 350; do
        printf '%d=%d\r\n' "$i" "$n"
        i=$((i + 1))
    done
} >"$demo/Rindell.ini"
# A first start takes the series into a new journal and tells so: done here,
# offscreen, so that the screenshots show no box.
QT_QPA_PLATFORM=offscreen timeout 5 "$demo/rindell" >/dev/null 2>&1 || true

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 $((1200 * scale))x$((900 * scale))x24 >/dev/null 2>&1 &
export DISPLAY=$display
sleep 1
openbox >/dev/null 2>&1 &
sleep 1
QT_SCALE_FACTOR=$scale "$demo/rindell" &
main=$(xdotool search --sync --onlyvisible --name '^Rindell$' | head -n 1)
xdotool windowactivate --sync "$main"
sleep 1

shoot() { # window, file
    sleep 0.8
    import -window "$(xdotool getactivewindow)" -frame "$out/$1$suffix.png"
    echo "$out/$1$suffix.png"
}

# A draw in progress: START, then the hundreds and tens at rest, the ones spinning.
for press in START hundreds tens; do xdotool key Return; sleep 0.4; done
shoot main
xdotool key Return
sleep 0.5

xdotool key alt+j
xdotool search --sync --onlyvisible --name '^条件入力$' >/dev/null
shoot condition
xdotool key alt+F4
sleep 0.5

xdotool key alt+r
xdotool search --sync --onlyvisible --name '^結果表示$' >/dev/null
shoot result-list
xdotool key Escape
sleep 0.5

# The audience window on the one screen there is, the main window moved to a
# corner as an operator would: F5 shows it beside the main window, which keeps
# the focus (with no room beside, it would stand behind); the whole screen is taken.
read -r left _ top _ <<<"$(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
xdotool windowmove --sync "$main" "$left" "$top"
sleep 0.5
xdotool key F5
xdotool search --sync --onlyvisible --name '^Rindell - 抽選$' >/dev/null
for press in START hundreds tens ones; do xdotool key Return; sleep 0.4; done
sleep 0.8
import -window root "$out/one-screen$suffix.png"
echo "$out/one-screen$suffix.png"

# The prize and the winner: the two lists written beside the settings file (the
# window reads them as they appear), the audience window full screen (F11 at it),
# and one more draw brought to rest there by Enter.
{
    printf '回,景品\r\n'
    for ordinal in $(seq 1 26); do printf '%d,%d等 お食事券\r\n' "$ordinal" "$((28 - ordinal))"; done
    printf '27,"特賞 温泉旅行ペア宿泊券"\r\n'
} >"$demo/Rindell-prizes.csv"
{
    printf '番号,氏名\r\n'
    families=(佐藤 鈴木 高橋 田中 伊藤 渡辺 山本 中村 小林 加藤)
    givens=(太郎 花子 一郎 美咲 健太 陽菜 翔 結衣 大輔 さくら)
    for number in $(seq 0 999); do
        printf '%d,%s %s\r\n' "$number" "${families[number % 10]}" "${givens[number / 10 % 10]}"
    done
} | iconv -f UTF-8 -t CP932 >"$demo/Rindell-names.csv"
audience=$(xdotool search --onlyvisible --name '^Rindell - 抽選$' | head -n 1)
xdotool windowactivate --sync "$audience"
xdotool key F11
sleep 1
for press in START hundreds tens ones; do xdotool key Return; sleep 0.4; done
sleep 0.8
import -window "$audience" "$out/audience-prizes$suffix.png"
echo "$out/audience-prizes$suffix.png"
