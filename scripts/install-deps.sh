#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine.
# Idempotent: when everything is there it only checks and returns.
set -euo pipefail

packages=(
  cmake g++ make python3
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32 wine64 xvfb xauth
  fonts-wqy-zenhei imagemagick
  googletest dpkg-dev
  openjdk-17-jdk-headless
)

missing=()
for p in "${packages[@]}"; do
  arch_p=$p
  [ "$p" = wine32 ] && arch_p=wine32:i386
  if ! dpkg-query -W -f='${Status}' "$arch_p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$arch_p")
  fi
done

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

if [ ${#missing[@]} -ne 0 ]; then
  echo "installing: ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

"$(dirname "$0")/fetch-cjson.sh"
