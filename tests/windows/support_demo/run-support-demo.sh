#!/usr/bin/env bash
# Runs the demonstration host of the 64-bit support libraries under Wine with
# the DLLs that the build shipped, a simulated pole display on COM59.
# Usage: run-support-demo.sh [BUILD_DIR]   (default: the repository's build folder)
set -euo pipefail
# shellcheck source=../demo-setup.sh
source "$(dirname "$0")/../demo-setup.sh"
demo=$build/win64/tests/windows/support_demo/SupportLibrariesDemo.exe
out=$(pos_demo_deliverables win64 Kestrune.dll)
pos_demo_require "$demo" "$out/Kestrune.dll" "$out/Morvale.dll" "$out/Quillon64.dll" "$out/Quillon.dll"
pos_demo_peer_prefix
echo "== the 64-bit support libraries in one 64-bit host under Wine, a simulated pole display on COM59"
pos_demo_exec_with_peer COM59 -- "$demo" "$(winepath -w "$out")"
