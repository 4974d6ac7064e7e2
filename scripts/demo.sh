#!/usr/bin/env bash
# Installs what is missing, builds the deliverables into build/out and runs
# the main demonstration under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" --demo
echo "deliverables in $build/out:"
ls -1 "$build/out"
if [ -x "$root/tests/windows/demo/run-demo.sh" ]; then
  "$root/tests/windows/demo/run-demo.sh" "$build"
fi
if [ -x "$root/tests/windows/support_demo/run-support-demo.sh" ]; then
  "$root/tests/windows/support_demo/run-support-demo.sh" "$build"
fi
if [ -x "$root/tests/windows/tavrel_program/run-tavrel-demo.sh" ]; then
  "$root/tests/windows/tavrel_program/run-tavrel-demo.sh" "$build"
fi
