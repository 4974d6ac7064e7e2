#!/usr/bin/env bash
# Runs the demonstration host under Wine against the simulated scale, with
# the Pondrex.dll that the build shipped.
# Usage: run-demo.sh [BUILD_DIR]   (default: the repository's build folder)
set -euo pipefail
# shellcheck source=../demo-setup.sh
source "$(dirname "$0")/../demo-setup.sh"
demo=$build/win32/tests/windows/demo/PondrexDemo.exe
dll=$(pos_demo_deliverables win32 Pondrex.dll)/Pondrex.dll
pos_demo_require "$demo" "$dll"
pos_demo_peer_prefix
echo "== the road of one request: Pondrex.dll in a 32-bit host under Wine, a simulated scale on COM60"
pos_demo_exec_with_peer COM60 --device scale -- "$demo" "$(winepath -w "$dll")"
