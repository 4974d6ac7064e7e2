#!/usr/bin/env bash
# Runs the Tavrel.exe demonstration under Wine on a virtual display: the
# shipped program in a prepared working directory against the stand-ins
# (powershell.exe, the point-of-sale application, the probe hosts on
# 127.0.0.1). Prints each step and the report file, and saves a screenshot of
# the window as BUILD_DIR/out/tavrel-window.png.
# Usage: run-tavrel-demo.sh [BUILD_DIR]   (default: the repository's build folder)
set -euo pipefail
# shellcheck source=../demo-setup.sh
source "$(dirname "$0")/../demo-setup.sh"
demo=$build/win64/tests/windows/tavrel_program/tavrel_demo.exe
exe=$(pos_demo_deliverables win64 Tavrel.exe)/Tavrel.exe
pos_demo_require "$demo" "$exe"
# The prefix of the Tavrel.exe tests, where no other test runs processes.
# shellcheck source=../wine-env.sh
source "$root/tests/windows/wine-env.sh" "$build/wine/tavrel-runs"
# shellcheck source=../../../scripts/display.sh
source "$root/scripts/display.sh"
log=$(mktemp)
# The virtual desktop's process keeps its display until the prefix's last
# program has ended; give it that time (bounded) before the display goes.
trap 'rm -f "$log"; timeout 30 wineserver -w || true; pos_stop_display' EXIT
pos_start_display

echo "== Tavrel.exe under Wine, in a virtual desktop on display $DISPLAY"
bmp=$build/win64/tavrel-window.bmp
# The stand-in web servers take the probe ports that the build compiled in,
# under the lock that the tests take too. The virtual desktop draws the
# window's caption; it does not pass the exit code on, so the
# demonstration's last line tells.
flock -w 600 /tmp/pos-tavrel-probe-port.lock \
  wine explorer /desktop=TavrelDemo,1024x768 "$demo" "$(winepath -w "$exe")" "$(winepath -w "$bmp")" 2>/dev/null |
  tee "$log"
if ! grep -qx "Tavrel demonstration: passed" "$log"; then
  exit 1
fi
png=$build/out/tavrel-window.png
mkdir -p "$build/out"
if [ -x /usr/bin/convert ] && /usr/bin/convert "$bmp" "$png" 2>/dev/null; then
  echo "screenshot: $png"
else
  cp "$bmp" "$build/out/tavrel-window.bmp"
  echo "screenshot: $build/out/tavrel-window.bmp"
fi
