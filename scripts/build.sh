#!/usr/bin/env bash
# Configures and builds the three trees: native (portable core and its tests),
# win32 (i686-w64-mingw32) and win64 (x86_64-w64-mingw32). The deliverables
# are collected in build/out. BUILD_DIR overrides the build folder.
# Usage: build.sh [--demo]   (--demo: only the deliverables and the
# demonstration programs of the two Windows trees, as scripts/demo.sh needs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=$(nproc)
trees=(native win32 win64)
target=()
if [ "${1:-}" = --demo ]; then
  trees=(win32 win64)
  target=(--target pos_demonstrations)
fi

configure() { # tree [cmake args...]
  local tree=$1
  shift
  if [ ! -f "$build/$tree/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build/$tree" "$@" >/dev/null
  fi
}

[ "${trees[0]}" = native ] && configure native
# The Windows trees run their tests under Wine in the prefix under build/wine.
# Where 32-bit programs run under qemu's emulator (see install-deps.sh), the
# 32-bit tests get four times their usual time limits.
# shellcheck source=i386-programs.sh
source "$root/scripts/i386-programs.sh"
time_scale=1
if pos_i386_emulated; then
  time_scale=4
fi
configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" -DPOS_WINE_DIR="$build/wine"
if ! grep -qx "POS_TEST_TIME_SCALE:STRING=$time_scale" "$build/win32/CMakeCache.txt"; then
  cmake -B "$build/win32" -DPOS_TEST_TIME_SCALE="$time_scale" >/dev/null
fi
configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" -DPOS_WINE_DIR="$build/wine"
for tree in "${trees[@]}"; do
  cmake --build "$build/$tree" -j "$jobs" "${target[@]}"
done

mkdir -p "$build/out"
for tree in win32 win64; do
  if [ -d "$build/$tree/out" ]; then
    cp -a "$build/$tree/out/." "$build/out/"
  fi
done
