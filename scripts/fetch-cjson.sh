#!/usr/bin/env bash
# Fetches the source of cJSON from Debian's own source package (apt-get source)
# into a cache folder that the build reads (CMake: POS_CJSON_SOURCE_DIR).
# Nothing of cJSON is kept in the repository. Idempotent: once the sources are
# there it only checks and returns. Adds a source entry for the distribution's
# archive when apt has none.
# Usage: fetch-cjson.sh [folder]   (default /var/cache/pos-peripherals/cjson)
set -euo pipefail
dest=${1:-${POS_CJSON_DIR:-/var/cache/pos-peripherals/cjson}}
if [ -f "$dest/source/cJSON.c" ] && [ -f "$dest/source/cJSON_Utils.c" ]; then
  exit 0
fi

# shellcheck source=apt-source.sh
source "$(dirname "$0")/apt-source.sh"

# One fetch at a time, also when several checkouts set up at once.
"${sudo_cmd[@]}" mkdir -p "$dest"
lock=$dest.lock
"${sudo_cmd[@]}" touch "$lock"
exec 9<"$lock"
flock 9
if [ -f "$dest/source/cJSON.c" ] && [ -f "$dest/source/cJSON_Utils.c" ]; then
  exit 0
fi

work=$(pos_apt_source cjson "$dest")
trap '"${sudo_cmd[@]}" rm -rf "$work"' EXIT
unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'cjson-*' | head -n 1)
if [ -z "$unpacked" ] || [ ! -f "$unpacked/cJSON.c" ] || [ ! -f "$unpacked/cJSON_Utils.c" ]; then
  echo "fetch-cjson.sh: apt-get source cjson gave no cJSON.c and cJSON_Utils.c" >&2
  exit 1
fi
version=$(cd "$unpacked" && dpkg-parsechangelog -S Version)
"${sudo_cmd[@]}" rm -rf "$dest/source"
"${sudo_cmd[@]}" mv "$unpacked" "$dest/source"
printf '%s\n' "$version" | "${sudo_cmd[@]}" tee "$dest/version" >/dev/null
echo "cJSON $version sources in $dest/source" >&2
