#!/usr/bin/python3
"""Checks that a shipped binary carries no debug information and points to
the file that keeps it.

Fails unless the shipped file has no .debug_* section and no symbol table,
unless its .gnu_debuglink section names the debug file's base name with the
CRC-32 of that file (so gdb and addr2line accept it), and unless the debug
file holds the DWARF information.

Usage: check_deliverable.py --objdump OBJDUMP SHIPPED DEBUG_FILE
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import zlib


def sections(objdump, path):
    """Returns the section names of a PE file, as objdump -h lists them."""
    text = subprocess.run([objdump, "-h", path], check=True, capture_output=True, text=True).stdout
    return re.findall(r"^\s*\d+\s+(\S+)\s+[0-9a-f]{8}", text, re.MULTILINE)


def section_bytes(objdump, path, name):
    """Returns the contents of one section, from objdump -s."""
    text = subprocess.run([objdump, "-s", "-j", name, path], check=True, capture_output=True,
                          text=True).stdout
    data = bytearray()
    for line in text.splitlines():
        row = re.match(r"^ [0-9a-f]+ ((?:[0-9a-f]{2,8} ?){1,4})", line)
        if row:
            data += bytes.fromhex(row[1].replace(" ", ""))
    return bytes(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("shipped")
    parser.add_argument("debug_file")
    args = parser.parse_args()

    errors = []
    shipped = sections(args.objdump, args.shipped)
    debug_sections = [s for s in shipped if s.startswith(".debug_")]
    if debug_sections:
        errors.append(f"{args.shipped} carries debug information: {', '.join(debug_sections)}")
    symbols = subprocess.run([args.objdump, "-t", args.shipped], check=True, capture_output=True,
                             text=True).stdout
    if re.search(r"^\[\s*\d+\]", symbols, re.MULTILINE):
        errors.append(f"{args.shipped} carries a symbol table")

    if ".gnu_debuglink" not in shipped:
        errors.append(f"{args.shipped} has no .gnu_debuglink section")
    else:
        link = section_bytes(args.objdump, args.shipped, ".gnu_debuglink")
        name = link.split(b"\0", 1)[0].decode("ascii", "replace")
        (crc,) = struct.unpack("<I", link[-4:])
        if name != os.path.basename(args.debug_file):
            errors.append(f"the debug link names {name!r}, expected {os.path.basename(args.debug_file)!r}")
        with open(args.debug_file, "rb") as f:
            actual = zlib.crc32(f.read())
        if crc != actual:
            errors.append(f"the debug link's CRC {crc:08x} is not that of {args.debug_file} ({actual:08x})")

    if ".debug_info" not in sections(args.objdump, args.debug_file):
        errors.append(f"{args.debug_file} holds no .debug_info")

    for error in errors:
        print(f"FAIL: {error}", file=sys.stderr)
    if errors:
        return 1
    print(f"{args.shipped}: no debug information; {args.debug_file} holds it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
