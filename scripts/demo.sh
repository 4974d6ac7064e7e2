#!/usr/bin/env bash
# Installs what is missing, builds the deliverables into build/out and runs
# the main demonstration under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
echo "deliverables in $build/out:"
ls -1 "$build/out"
# The Pondrex demonstration is a 32-bit host with a simulated scale on a COM
# port; where 32-bit programs run only under qemu's emulator (install-deps.sh)
# Wine's 32-bit serial programs do not work, so it is left out there.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  echo "Pondrex demonstration left out: this kernel runs 32-bit programs only under an emulator," \
    "where Wine's 32-bit programs that drive a COM port fail; run it on a kernel with 32-bit support"
elif [ -x "$root/tests/windows/demo/run-demo.sh" ]; then
  "$root/tests/windows/demo/run-demo.sh" "$build"
fi
if [ -x "$root/tests/windows/support_demo/run-support-demo.sh" ]; then
  "$root/tests/windows/support_demo/run-support-demo.sh" "$build"
fi
if [ -x "$root/tests/windows/tavrel_program/run-tavrel-demo.sh" ]; then
  "$root/tests/windows/tavrel_program/run-tavrel-demo.sh" "$build"
fi
