#!/usr/bin/env bash
# Runs the demonstration host of the 64-bit support libraries under Wine with
# the DLLs that the build shipped, a simulated pole display on COM59.
# Usage: run-support-demo.sh [BUILD_DIR]   (default: the repository's build folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo=$build/win64/tests/windows/support_demo/SupportLibrariesDemo.exe
# The deliverables as scripts/build.sh collects them, else where the 64-bit
# tree puts them.
out=$build/out
if [ ! -f "$out/Kestrune.dll" ]; then
  out=$build/win64/out
fi
for file in "$demo" "$out/Kestrune.dll" "$out/Morvale.dll" "$out/Quillon64.dll" "$out/Quillon.dll"; do
  if [ ! -f "$file" ]; then
    echo "run-support-demo.sh: $file is missing; build first (scripts/build.sh)" >&2
    exit 1
  fi
done
# shellcheck source=../wine-env.sh
source "$root/tests/windows/wine-env.sh" "$build/wine"
# The prefix's server starts here, with its diagnostics out of the way.
wineserver 2>/dev/null || true
echo "== the 64-bit support libraries in one 64-bit host under Wine, a simulated pole display on COM59"
exec /usr/bin/python3 "$root/tests/windows/ptypeer.py" --port COM59 --wine-dir "$build/wine" --timeout 120 \
  -- "$root/tests/windows/run-in-wine.sh" "$build/wine" "$demo" "$(winepath -w "$out")"
