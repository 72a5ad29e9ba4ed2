#!/usr/bin/env bash
# Writes the distributable of a Windows build: rindell-<version>-win64.zip, one
# folder holding rindell.exe, the Qt and MinGW runtime DLLs, the windows platform
# plugin, the windowsvista style and Qt's Japanese texts, all stripped.
# Usage: make-zip.sh BUILD_FOLDER OUTPUT_FOLDER; prints the zip's path.
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=rindell-$version-win64

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/$name" --strip >/dev/null
rm -f "$out/$name.zip"
(cd "$stage" && zip -qrX "$out/$name.zip" "$name")
echo "$out/$name.zip"
