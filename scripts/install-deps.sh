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

# The 32-bit driver's tests run in Wine's 32-bit loader. A kernel built
# without 32-bit support refuses to start it ("Exec format error"); there
# the 32-bit x86 programs run under qemu's user-mode emulator, registered
# with binfmt_misc (slower, but the same Wine and the same binaries).
if ! /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed'; then
    echo "installing: qemu-user-static (this kernel runs no 32-bit programs)" >&2
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends qemu-user-static
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  if [ ! -e "$binfmt/register" ]; then
    "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # ELF, 32-bit, little-endian, executable or shared object, machine 386;
    # F: the kernel keeps the emulator open, so it serves every namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      "${sudo_cmd[@]}" tee "$binfmt/register" >/dev/null
  fi
  if ! /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
    echo "error: this machine cannot run 32-bit x86 programs, so Wine cannot run the 32-bit tests" >&2
    exit 1
  fi
fi

"$(dirname "$0")/fetch-cjson.sh"
