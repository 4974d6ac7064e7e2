#!/usr/bin/env bash
# Runs the demonstration host under Wine against the simulated scale, with
# the Pondrex.dll that the build shipped.
# Usage: run-demo.sh [BUILD_DIR]   (default: the repository's build folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo=$build/win32/tests/windows/demo/PondrexDemo.exe
# The deliverable as scripts/build.sh collects it, else where the 32-bit tree
# puts it.
dll=$build/out/Pondrex.dll
if [ ! -f "$dll" ]; then
  dll=$build/win32/out/Pondrex.dll
fi
for file in "$demo" "$dll"; do
  if [ ! -f "$file" ]; then
    echo "run-demo.sh: $file is missing; build first (scripts/build.sh)" >&2
    exit 1
  fi
done
# shellcheck source=../wine-env.sh
source "$root/tests/windows/wine-env.sh" "$build/wine"
# The prefix's server starts here, with its diagnostics out of the way: it
# dumps its object table when the pseudo-terminal of the COM port goes away.
wineserver 2>/dev/null || true
echo "== the road of one request: Pondrex.dll in a 32-bit host under Wine, a simulated scale on COM60"
exec /usr/bin/python3 "$root/tests/windows/ptypeer.py" --port COM60 --wine-dir "$build/wine" --timeout 120 \
  --device scale -- "$root/tests/windows/run-in-wine.sh" "$build/wine" "$demo" "$(winepath -w "$dll")"
