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

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

has_source_entry() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources
}

# A deb-src entry for each binary entry of the distribution's archive that apt
# already uses (deb822 or one-line form), so the sources come from the same
# place and suites as the packages.
add_source_entry() {
  local entry=/etc/apt/sources.list.d/pos-debian-src.sources
  local text=
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    text=$(sed -e '/^#/d' -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources)
  elif [ -f /etc/apt/sources.list ]; then
    text=$(awk '$1 == "deb" { $1 = "deb-src"; print }' /etc/apt/sources.list)
    entry=/etc/apt/sources.list.d/pos-debian-src.list
  fi
  if [ -z "$text" ]; then
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    text=$(printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb-src\nURIs: http://deb.debian.org/debian-security\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$codename" "$codename" "$codename")
  fi
  echo "adding the source entry $entry" >&2
  printf '%s\n' "$text" | "${sudo_cmd[@]}" tee "$entry" >/dev/null
}

# One fetch at a time, also when several checkouts set up at once.
"${sudo_cmd[@]}" mkdir -p "$dest"
lock=$dest.lock
"${sudo_cmd[@]}" touch "$lock"
exec 9<"$lock"
flock 9
if [ -f "$dest/source/cJSON.c" ] && [ -f "$dest/source/cJSON_Utils.c" ]; then
  exit 0
fi

if ! has_source_entry; then
  add_source_entry
  "${sudo_cmd[@]}" apt-get update -q
elif ! apt-get source --print-uris cjson >/dev/null 2>&1; then
  "${sudo_cmd[@]}" apt-get update -q
fi

work=$("${sudo_cmd[@]}" mktemp -d "$dest/fetch.XXXXXX")
trap '"${sudo_cmd[@]}" rm -rf "$work"' EXIT
# apt downloads as its own user where that user can write the folder.
"${sudo_cmd[@]}" chmod 755 "$work"
if id _apt >/dev/null 2>&1; then
  "${sudo_cmd[@]}" chown _apt "$work"
fi
(cd "$work" && "${sudo_cmd[@]}" apt-get source -q cjson)
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
