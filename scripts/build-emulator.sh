#!/usr/bin/env bash
# Builds qemu's i386 user-mode emulator from Debian's own source package
# (apt-get source qemu) with the project's patch (emulator/qemu-i386.patch),
# for a kernel that runs no 32-bit x86 programs itself. Only the
# i386-linux-user target, linked statically, without system emulation, tools
# or documentation. The result is cached by the patch's checksum, so it is
# built once per machine and again only when the patch changes; nothing of
# qemu is kept in the repository. Prints the emulator's path.
# Usage: build-emulator.sh [folder]   (default /var/cache/pos-peripherals/qemu-i386)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
patch_file=$here/../emulator/qemu-i386.patch
cache=${1:-${POS_EMULATOR_DIR:-/var/cache/pos-peripherals/qemu-i386}}
key=$(sha256sum "$patch_file" | cut -c1-16)
emulator=$cache/$key/qemu-i386
if [ -x "$emulator" ]; then
  echo "$emulator"
  exit 0
fi

# shellcheck source=apt-source.sh
source "$here/apt-source.sh"

build_packages=(gcc make pkg-config python3 meson ninja-build libglib2.0-dev flex bison dpkg-dev patch)
missing=()
for p in "${build_packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "installing: ${missing[*]} (to build the i386 emulator)" >&2
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi

# One build at a time, also when several checkouts set up at once.
"${sudo_cmd[@]}" mkdir -p "$cache"
"${sudo_cmd[@]}" touch "$cache.lock"
exec 9<"$cache.lock"
flock 9
if [ -x "$emulator" ]; then
  echo "$emulator"
  exit 0
fi

echo "building qemu's i386 user-mode emulator with emulator/qemu-i386.patch (once per machine)" >&2
work=$(pos_apt_source qemu "$cache")
trap '"${sudo_cmd[@]}" rm -rf "$work"' EXIT
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qemu-*' | head -n 1)
if [ -z "$source_dir" ] || [ ! -f "$source_dir/linux-user/syscall.c" ]; then
  echo "build-emulator.sh: apt-get source qemu gave no qemu source tree" >&2
  exit 1
fi
version=$(cd "$source_dir" && dpkg-parsechangelog -S Version)
if ! (cd "$source_dir" && "${sudo_cmd[@]}" patch -p1 --forward --quiet) <"$patch_file" >&2; then
  echo "build-emulator.sh: emulator/qemu-i386.patch does not apply to qemu $version" >&2
  exit 1
fi
"${sudo_cmd[@]}" mkdir -p "$source_dir/build"
if ! (cd "$source_dir/build" &&
  "${sudo_cmd[@]}" ../configure --static --disable-system --disable-xen --disable-tools --disable-docs \
    --target-list=i386-linux-user --with-git-submodules=ignore --interp-prefix=/etc/qemu-binfmt/%M \
    --with-pkgversion="Debian $version, $key" >"$work/configure.log" 2>&1 &&
  "${sudo_cmd[@]}" make -j "$(nproc)" qemu-i386 >"$work/make.log" 2>&1); then
  echo "build-emulator.sh: building qemu $version's i386 emulator failed; the end of its log:" >&2
  tail -n 30 "$work/configure.log" "$work/make.log" 2>/dev/null >&2
  exit 1
fi
"${sudo_cmd[@]}" mkdir -p "$cache/$key"
"${sudo_cmd[@]}" cp "$source_dir/build/qemu-i386" "$emulator.new"
"${sudo_cmd[@]}" mv "$emulator.new" "$emulator"
echo "qemu $version's i386 emulator, patched, in $emulator" >&2
echo "$emulator"
