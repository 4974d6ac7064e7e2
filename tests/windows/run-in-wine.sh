#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix.
# Usage: run-in-wine.sh WINE_DIR program.exe [arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
source "$here/wine-env.sh" "$1"
shift
exec wine "$@"
