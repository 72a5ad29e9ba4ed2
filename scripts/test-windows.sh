#!/usr/bin/env bash
# Rindell for Windows, made and tested on this Debian machine: installs what is
# missing, builds Qt for MinGW-w64 once into a cache folder outside the checkout
# (scripts/windows/build-qt.sh; RINDELL_QT_WIN_ARCHIVE may name a ready archive),
# cross-builds Rindell and every test program, runs the whole CTest suite under
# Wine (CTest's emulator), and writes the distributable
# build/windows/rindell-<version>-win64.zip. The install test among the suites
# unzips it into an empty folder and draws with it on a virtual X server; a Linux
# build of the program checks that the journals of the two verify each other.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$SECONDS

scripts/install-deps.sh g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine ninja-build \
    dpkg-dev zip unzip imagemagick

qt=$(bash scripts/windows/build-qt.sh | tail -n 1)
echo "Qt for Windows: $qt ($((SECONDS - start)) s)"

# The Linux program, to verify the Windows build's journal and the other way round.
cmake -S . -B build/linux-check -G Ninja -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_TESTS=OFF \
    -DRINDELL_WERROR=ON >/dev/null
cmake --build build/linux-check --parallel 2 --target rindell >/dev/null

build=build/windows
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DRINDELL_BUILD_TESTS=ON \
    -DRINDELL_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/scripts/windows/mingw-toolchain.cmake" >/dev/null
cmake --build $build --parallel 2
echo "built ($((SECONDS - start)) s)"

# A Wine prefix of the build's own; the suites find it through CTest. Its server
# and services run from here: started by the first suite, they would hold that
# suite's output open and CTest would wait for them until its timeout.
export WINEPREFIX=$root/$build/wineprefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k || true' EXIT
wineboot -i >/dev/null 2>&1
RINDELL_LINUX_PROGRAM=$root/build/linux-check/rindell ctest --test-dir $build --output-on-failure
echo "tested ($((SECONDS - start)) s)"

bash scripts/windows/make-zip.sh $build $build
echo "done in $((SECONDS - start)) s"
