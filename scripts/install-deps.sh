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
# without 32-bit support refuses to start it ("Exec format error"); there the
# 32-bit x86 programs run under qemu's user-mode emulator, registered with
# binfmt_misc: the same Wine and the same binaries, each thread with its own
# TLS descriptors. Debian's stock emulator shares them between a process's
# threads, which breaks 32-bit Wine, so the project builds its own from
# Debian's source package with a patch (scripts/build-emulator.sh,
# emulator/qemu-i386.patch) and registers it in place of any other. A kernel
# that runs 32-bit programs itself is left as it is.
# shellcheck source=i386-programs.sh
source "$(dirname "$0")/i386-programs.sh"
if ! pos_i386_runs || pos_i386_emulated; then
  emulator=$("$(dirname "$0")/build-emulator.sh")
  binfmt=/proc/sys/fs/binfmt_misc
  if [ ! -e "$binfmt/register" ]; then
    "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  # ELF, 32-bit, little-endian, executable or shared object, machine 386.
  magic=7f454c4601010100000000000000000002000300
  entry=pos-qemu-i386
  if ! grep -qx "interpreter $emulator" "$binfmt/$entry" 2>/dev/null; then
    # Any other entry for 32-bit x86 programs goes (Debian's qemu-i386 among
    # them): the first matching entry would win.
    for other in "$binfmt"/*; do
      case ${other##*/} in register | status) continue ;; esac
      if grep -qx "magic $magic" "$other" 2>/dev/null; then
        echo "replacing the binfmt_misc entry ${other##*/} with $emulator" >&2
        printf -- '-1' | "${sudo_cmd[@]}" tee "$other" >/dev/null
      fi
    done
    # binfmt_misc reads the escapes itself. F: the kernel opens the emulator
    # now, so it serves every namespace.
    printf ':%s:M::%s:%s:%s:F' "$entry" \
      '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
      '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
      "$emulator" | "${sudo_cmd[@]}" tee "$binfmt/register" >/dev/null
  fi
  if ! pos_i386_runs || ! grep -qx "interpreter $emulator" "$binfmt/$entry" 2>/dev/null; then
    echo "error: this kernel runs no 32-bit x86 programs, and the emulator $emulator could not be registered" \
      "for them with binfmt_misc, so Wine cannot run the 32-bit tests" >&2
    exit 1
  fi
fi

"$(dirname "$0")/fetch-cjson.sh"
