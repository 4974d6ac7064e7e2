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

for tree in win32 win64; do
  echo "=== tests: $tree"
  if ctest --test-dir "$build/$tree" --output-on-failure -j "$(nproc)"; then
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
