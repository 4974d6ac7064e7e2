# shellcheck shell=bash
# Sourced: how this machine runs 32-bit x86 programs (Wine's 32-bit loader and
# server among them). A kernel without 32-bit support runs them only through
# an emulator registered with binfmt_misc (see install-deps.sh).
pos_i386_probe=/usr/lib/wine/wineserver32

# Succeeds when a 32-bit x86 program starts at all.
pos_i386_runs() {
  "$pos_i386_probe" --version >/dev/null 2>&1
}

# Succeeds when 32-bit x86 programs start under qemu's emulator: set in the
# environment, QEMU_VERSION makes the emulator print its version and exit
# before the program runs; a program the kernel runs itself ignores it.
pos_i386_emulated() {
  QEMU_VERSION=1 "$pos_i386_probe" --version 2>/dev/null | grep -q '^qemu-i386 version'
}
