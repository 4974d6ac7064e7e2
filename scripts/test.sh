#!/usr/bin/env bash
# Installs what is missing, builds every tree and runs every test: the native
# unit tests (sanitizers on) and the Windows tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

status=0
echo "=== tests: native"
ctest --test-dir "$build/native" --output-on-failure -j "$(nproc)" || status=1

# The Windows tests run in two prefixes: the project's own and the one of the
# runs of Tavrel.exe.
prefixes=("$build/wine" "$build/wine/tavrel-runs")
# shellcheck source=../tests/windows/wine-session.sh
source "$root/tests/windows/wine-session.sh"
# shellcheck source=display.sh
source "$root/scripts/display.sh"
trap 'pos_wine_session_end "${prefixes[@]}"; pos_stop_display' EXIT
pos_start_display || exit 1
echo "=== Windows tests on display $DISPLAY"
pos_wine_session_start "${prefixes[@]}" || exit 1
# shellcheck source=../tests/windows/wine-env.sh
source "$root/tests/windows/wine-env.sh" "$build/wine"

# Where this kernel runs 32-bit programs only under qemu's emulator (see
# install-deps.sh), Wine's 32-bit programs that drive a COM port with their
# serial threads lose their connection to the Wine server ("wine client
# error: partial wakeup read") or run past every bound; the 32-bit tests
# with a device on the far end of a COM port are then left out, loudly. The
# other 32-bit tests run, with longer time limits (build.sh).
win32_only=()
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  win32_only=(-LE device)
  echo "=== NOTE: 32-bit programs run under an emulator on this machine: the win32 device tests" \
    "(label 'device') are not run; run them on a kernel with 32-bit support"
fi
for tree in win32 win64; do
  echo "=== tests: $tree"
  filter=()
  [ "$tree" = win32 ] && filter=("${win32_only[@]}")
  if ctest --test-dir "$build/$tree" --output-on-failure -j "$(nproc)" "${filter[@]}"; then
    continue
  fi
  # A Wine server that crashed during the run leaves the programs that were
  # using it hanging until their time limit; that is Wine's fault, not the
  # tests'. The failed tests then run once more, on fresh servers, and their
  # second result counts. Failures with the servers intact stand.
  if ! pos_wine_session_intact; then
    echo "=== NOTE: a Wine server ended during the $tree tests (Wine's server crashed);" \
      "the failed tests run again on fresh servers"
    pos_wine_session_end "${prefixes[@]}"
    pos_wine_session_start "${prefixes[@]}" || exit 1
    ctest --test-dir "$build/$tree" --output-on-failure -j "$(nproc)" --rerun-failed && continue
  fi
  status=1
done
exit $status
