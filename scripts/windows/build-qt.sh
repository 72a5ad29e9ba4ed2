#!/usr/bin/env bash
# Builds Qt 6 for Windows (MinGW-w64, x86_64, posix threads) from Debian's
# qt6-base source package, once, into a cache folder outside the checkout.
# The folder's name carries a hash of this script, so a changed recipe builds
# anew and an unchanged one is reused. RINDELL_QT_WIN_ARCHIVE may name a
# tar.xz of such a build (as made by this script) to unpack instead.
# Prints the Qt prefix on its last line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

recipe=$(sha256sum "$here/build-qt.sh" | cut -c1-12)
cache=${RINDELL_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rindell-windows}
prefix=$cache/qt6-mingw-$recipe
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
mkdir -p "$cache"

if [ -n "${RINDELL_QT_WIN_ARCHIVE:-}" ]; then
    rm -rf "$prefix.part" && mkdir -p "$prefix.part"
    tar -xJf "$RINDELL_QT_WIN_ARCHIVE" -C "$prefix.part" --strip-components=1
    touch "$prefix.part/.complete"
    rm -rf "$prefix" && mv "$prefix.part" "$prefix"
    echo "$prefix"
    exit 0
fi

# Source packages need a deb-src entry beside the binary one.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
    ! grep -qs '^deb-src' /etc/apt/sources.list; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    "${sudo[@]}" apt-get update
fi

work=$cache/qt6-src-$recipe
rm -rf "$work" && mkdir -p "$work"
(cd "$work" && apt-get source --download-only qt6-base)
dsc=$(ls "$work"/qt6-base_*.dsc | head -n 1)
(cd "$work" && dpkg-source -x "$dsc" qtbase >/dev/null)

rm -rf "$prefix.part"
cmake -S "$work/qtbase" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix.part" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF -DFEATURE_jpeg=OFF -DFEATURE_zstd=OFF \
    -DINPUT_opengl=no -DFEATURE_tabletevent=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_doubleconversion=OFF \
    -DFEATURE_system_textmarkdownreader=OFF >"$work/configure.log"
cmake --build "$work/build" --parallel
cmake --install "$work/build" >/dev/null
touch "$prefix.part/.complete"
rm -rf "$prefix" && mv "$prefix.part" "$prefix"
rm -rf "$work"
echo "$prefix"
