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
# The whole demonstration runs under the lock of the probe ports, which the
# tests take too (tests/windows/portlock.py).
if [ -z "${POS_TAVREL_DEMO_LOCKED:-}" ]; then
  POS_TAVREL_DEMO_LOCKED=1 exec /usr/bin/python3 "$root/tests/windows/portlock.py" --wait 600 tavrel-probe-ports \
    -- "$0" "$build"
fi
# The prefix of the Tavrel.exe tests, where no other test runs processes.
tavrel_wine=$build/wine/tavrel-runs
# shellcheck source=../wine-env.sh
source "$root/tests/windows/wine-env.sh" "$tavrel_wine"
# shellcheck source=../wine-session.sh
source "$root/tests/windows/wine-session.sh"
# shellcheck source=../../../scripts/display.sh
source "$root/scripts/display.sh"
log=$(mktemp)
# No program of the prefix outlives the display: the server and its programs
# end before the display does, also when the script stops early.
trap 'rm -f "$log"; pos_wine_session_end "$tavrel_wine"; pos_stop_display' EXIT
pos_start_display || exit 1

echo "== Tavrel.exe under Wine, in a virtual desktop on display $DISPLAY"
bmp=$build/win64/tavrel-window.bmp
# The stand-in web servers take the probe ports that the build compiled in.
# Under the lock no run of Tavrel.exe's tests is in the prefix, so its server
# is started afresh for this display and booted before the demonstration
# starts. The virtual desktop draws the window's caption; it does not pass
# the exit code on, so the demonstration's last line tells.
pos_wine_session_start "$tavrel_wine" || exit 1
wine explorer /desktop=TavrelDemo,1024x768 "$demo" "$(winepath -w "$exe")" "$(winepath -w "$bmp")" \
  2>/dev/null | tee "$log" || true
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
