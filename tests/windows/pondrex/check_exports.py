#!/usr/bin/python3
"""Checks the export table of a shipped DLL against its .def file.

Fails unless the DLL exports exactly the names of the .def file, each by
name, undecorated (no "@N", no added underscore), under the DLL's own name;
unless every .def line maps its name to "name@N" (the stdcall symbol of a
32-bit DLL) or, with --abi x64, names a plain symbol ("name" or
"name = symbol", no "@"); and unless the DLL imports no MinGW runtime DLL
(those are linked in statically, so the DLL runs on a machine that has only
the system DLLs).

Usage: check_exports.py --objdump OBJDUMP --def FILE.def [--abi stdcall|x64] FILE.dll
"""
import argparse
import re
import subprocess
import sys

RUNTIME_DLL = re.compile(r"^(libgcc|libstdc\+\+|libwinpthread)", re.IGNORECASE)
DEF_EXPORT = re.compile(r"^(?P<name>[A-Za-z_][A-Za-z0-9_]*)\s*=\s*(?P<symbol>\S+)$")
PLAIN_EXPORT = re.compile(r"^(?P<name>[A-Za-z_][A-Za-z0-9_]*)(\s*=\s*(?P<symbol>[A-Za-z_][A-Za-z0-9_]*))?$")


def def_exports(path, abi="stdcall"):
    """Returns the library name and the export lines of a .def file."""
    library = None
    names = []
    errors = []
    in_exports = False
    with open(path, encoding="ascii") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split(";", 1)[0].strip()
            if not line:
                continue
            if line.startswith("LIBRARY"):
                library = line.split(None, 1)[1].strip('"')
                continue
            if line == "EXPORTS":
                in_exports = True
                continue
            if not in_exports:
                errors.append(f"{path}:{number}: unexpected line {line!r}")
                continue
            if abi == "x64":
                match = PLAIN_EXPORT.match(line)
                if not match:
                    errors.append(f"{path}:{number}: expected 'Name' or 'Name = Symbol', got {line!r}")
                    continue
                names.append(match["name"])
                continue
            match = DEF_EXPORT.match(line)
            if not match:
                errors.append(f"{path}:{number}: expected 'Name = Name@N', got {line!r}")
                continue
            name, symbol = match["name"], match["symbol"]
            stdcall = re.fullmatch(re.escape(name) + r"@(\d+)", symbol)
            if not stdcall or int(stdcall[1]) % 4:
                errors.append(f"{path}:{number}: {name} must map to {name}@N with N a multiple of 4")
            names.append(name)
    return library, names, errors


def dll_tables(objdump, dll):
    """Returns the export directory name, the count of exported addresses,
    the exported names and the imported DLLs, as objdump -p shows them."""
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    dll_name = None
    address_count = None
    names = []
    imports = re.findall(r"^\s*DLL Name: (\S+)", text, re.MULTILINE)
    section = None
    for line in text.splitlines():
        if line.startswith("The Export Tables"):
            section = "directory"
            continue
        if section == "directory" and line.startswith("Name "):
            dll_name = line.split()[-1]
            section = None
            continue
        if line.startswith("Export Address Table --"):
            section, address_count = "addresses", 0
            continue
        if line.startswith("[Ordinal/Name Pointer] Table"):
            section = "names"
            continue
        if not line.strip():
            if section == "names":
                section = None
            continue
        entry = re.match(r"^\s*\[\s*\d+\]\s+(\S.*)$", line)
        if section == "addresses" and entry:
            address_count += 1
        elif section == "names" and entry:
            names.append(entry[1].strip())
    return dll_name, address_count, names, imports


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--def", dest="def_file", required=True)
    parser.add_argument("--abi", choices=("stdcall", "x64"), default="stdcall")
    parser.add_argument("dll")
    args = parser.parse_args()

    library, expected, errors = def_exports(args.def_file, args.abi)
    dll_name, address_count, exported, imports = dll_tables(args.objdump, args.dll)

    if not expected:
        errors.append(f"{args.def_file}: no exports")
    if library is not None and dll_name != library:
        errors.append(f"export directory names {dll_name!r}, expected {library!r}")
    for name in sorted(set(n for n in expected if expected.count(n) > 1)):
        errors.append(f"{name} is listed more than once in {args.def_file}")
    for name in sorted(set(exported) - set(expected)):
        errors.append(f"exported but not in the .def file: {name}")
    for name in sorted(set(expected) - set(exported)):
        errors.append(f"in the .def file but not exported: {name}")
    if len(exported) != len(set(exported)):
        errors.append("a name is exported twice")
    if address_count != len(exported):
        errors.append(f"{address_count} exported addresses for {len(exported)} names (ordinal-only exports?)")
    for dll in imports:
        if RUNTIME_DLL.match(dll):
            errors.append(f"imports the MinGW runtime DLL {dll}")

    for error in errors:
        print(f"FAIL: {error}", file=sys.stderr)
    if errors:
        return 1
    print(f"{args.dll}: {len(exported)} exports match {args.def_file}; imports {', '.join(imports)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
