#!/usr/bin/env bash
# Installs what is missing, builds every tree and runs every test: the native
# unit tests (sanitizers on) and the Windows tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

# shellcheck source=../tests/windows/wine-env.sh
source "$root/tests/windows/wine-env.sh" "$build/wine"
source "$root/scripts/display.sh"
trap 'wineserver -k >/dev/null 2>&1 || true; pos_stop_display' EXIT
pos_start_display

status=0
for tree in native win32 win64; do
  echo "=== tests: $tree"
  ctest --test-dir "$build/$tree" --output-on-failure -j "$(nproc)" || status=1
done
exit $status
