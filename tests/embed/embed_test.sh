#!/usr/bin/env bash
# A parent project that adds Rindell with add_subdirectory() and links its library
# gets Rindell's code and include root, and nothing else of Rindell's: no warning
# flags, no compile definitions, no tests.
set -euo pipefail
source_dir=$(realpath "$1")
parent=$(mktemp -d)
trap 'rm -rf "$parent"' EXIT
mkdir "$parent/src"
cat >"$parent/src/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(Parent LANGUAGES CXX)
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_subdirectory("$source_dir" rindell)
add_executable(consumer main.cpp)
target_link_libraries(consumer PRIVATE rindell_lib)
CMAKE
echo 'int main() { return 0; }' >"$parent/src/main.cpp"
cmake -S "$parent/src" -B "$parent/build" >/dev/null

flags=$(cat "$parent/build/CMakeFiles/consumer.dir/flags.make")
for leaked in -Wall -Wextra -Wpedantic -Werror RINDELL_VERSION QT_NO_KEYWORDS QT_NO_CAST; do
    if grep -q -- "$leaked" <<<"$flags"; then
        echo "FAIL: $leaked reaches the parent project's target"
        exit 1
    fi
done
grep -q -- "-I$source_dir\b\|-isystem $source_dir\b\|$source_dir " <<<"$flags" ||
    { echo "FAIL: the include root does not reach the parent project"; exit 1; }
if [ -e "$parent/build/rindell/tests" ] || grep -rq 'tst_' "$parent/build/rindell/CTestTestfile.cmake" 2>/dev/null; then
    echo "FAIL: Rindell's tests are built in a parent project"
    exit 1
fi
echo "embedding test passed"
