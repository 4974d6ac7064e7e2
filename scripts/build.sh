#!/usr/bin/env bash
# Configures and builds the three trees: native (portable core and its tests),
# win32 (i686-w64-mingw32) and win64 (x86_64-w64-mingw32). The deliverables
# are collected in build/out. BUILD_DIR overrides the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=$(nproc)

configure() { # tree [cmake args...]
  local tree=$1
  shift
  if [ ! -f "$build/$tree/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build/$tree" "$@" >/dev/null
  fi
}

configure native
# The Windows trees run their tests under Wine in the prefix under build/wine.
configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" -DPOS_WINE_DIR="$build/wine"
configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" -DPOS_WINE_DIR="$build/wine"
for tree in native win32 win64; do
  cmake --build "$build/$tree" -j "$jobs"
done

mkdir -p "$build/out"
for tree in win32 win64; do
  if [ -d "$build/$tree/out" ]; then
    cp -a "$build/$tree/out/." "$build/out/"
  fi
done
