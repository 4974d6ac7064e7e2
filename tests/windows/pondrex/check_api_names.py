#!/usr/bin/python3
"""Checks Pondrex.dll's export table against the library's whole API.

The API is written out below, family by family: the 133 functions for plain
callers (58 behaviours under two names, 12 only with the prefix "__", 5 only
without it) and the 12 Java entry points, each with the bytes of arguments
that its stdcall prototype removes from the stack.

Fails when
  - the DLL or the .def file has a name that is not in the API, or a
    decorated name ("@N", an added leading underscore);
  - a .def line maps a name to "name@N" with an N that does not match the
    name's prototype;
  - a name of the API is missing, listed with its family.

Usage: check_api_names.py --objdump OBJDUMP --def Pondrex.def Pondrex.dll
"""
import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_exports import DEF_EXPORT, dll_tables  # noqa: E402

# The families of the API.
LINK = "set-up and link control"
OPEN = "opening the scale"
COMMANDS = "scale commands"
RAW = "raw writes, polled weights and AD reads"
TEXT = "text self-test"
FIRMWARE = "firmware download"
PRICE = "price and PLU transfer"
JAVA = "Java entry points"


def pair(step, name, size, twin=None, twin_size=None):
    """A behaviour under two names: name and __name (or twin)."""
    return [(name, size, step), (twin or "__" + name, size if twin_size is None else twin_size, step)]


def only(step, name, size):
    """A behaviour under one name."""
    return [(name, size, step)]


# The functions for plain callers, by family: (name, argument bytes, step).
PLAIN_CALLER_FAMILIES = {
    "link": [
        *pair(LINK, "Config", 36, twin_size=40),
        *pair(LINK, "SetCallBackFunc", 8),
        *pair(OPEN, "OpenDevice", 8, twin="__Open"),
        *pair(LINK, "CloseDevice", 0, twin="__Close"),
        *pair(LINK, "Connection", 4),
        *pair(LINK, "Disconnection", 4),
        *pair(LINK, "SetCommMode", 4),
        *pair(LINK, "EnumUsbDeviceStr", 4),
        *pair(LINK, "SetUsbDeviceStr", 4),
        *pair(LINK, "DoEvents", 0),
    ],
    "protocol switching and raw commands": [
        *pair(RAW, "ChangeProtocol", 4),
        *pair(RAW, "ChangePelqoProtocol", 4),
        *pair(RAW, "SwitchProtocol", 4),
        *pair(RAW, "IdentifyHard", 0),
        *only(RAW, "__KQTare", 0),
        *only(RAW, "__KQZero", 0),
        *pair(RAW, "udeWeight", 0),
        *pair(RAW, "udeTare", 0),
        *pair(RAW, "uCleart", 0),
    ],
    "weighing": [
        *pair(COMMANDS, "Zero", 4),
        *pair(COMMANDS, "Tare", 4),
        *pair(COMMANDS, "Taref", 8),
        *pair(COMMANDS, "ExitTare", 4),
        *pair(COMMANDS, "Weight", 4),
        *pair(RAW, "GetWeight", 0),
        *pair(RAW, "GetWeightEx", 4),
        *pair(RAW, "GetWeightPB", 0),
        *pair(COMMANDS, "ReadTare", 8),
    ],
    "calibration and settings": [
        *pair(COMMANDS, "ZeroStudy", 4),
        *pair(COMMANDS, "FullWeightStudy", 4),
        *pair(COMMANDS, "study25weight", 4),
        *only(COMMANDS, "__study13weight", 4),
        *only(COMMANDS, "__study23weight", 4),
        *pair(COMMANDS, "LinearityStudy", 4),
        *pair(COMMANDS, "Adjust", 24),
        *pair(COMMANDS, "FullWeightf", 8),
        *pair(COMMANDS, "PrecisionValue", 8),
        *pair(COMMANDS, "SetUnitValue", 8),
        *pair(COMMANDS, "SetWindLevel", 8),
        *only(COMMANDS, "__GetWindLevel", 8),
        *pair(COMMANDS, "Frequency", 8),
        *pair(COMMANDS, "TemperatureExpiation", 8),
        *pair(COMMANDS, "ClearTemperatureValue", 4),
        *pair(COMMANDS, "Temperatureex", 4),
        *pair(COMMANDS, "SetTemperatureex", 8),
    ],
    "identity": [
        *pair(COMMANDS, "GetEcrId", 8),
        *pair(COMMANDS, "GetSensorNo", 8),
        *pair(COMMANDS, "SetSensorNo", 8),
        *pair(COMMANDS, "GetScaleNo", 8),
        *pair(COMMANDS, "SetScaleNo", 8),
        *pair(COMMANDS, "Getleadinfo", 4),
        *pair(COMMANDS, "GetleadinfoEx", 4),
        *pair(COMMANDS, "GetOpBoxInfo", 4),
        *pair(COMMANDS, "GetOpBoxCountryCode", 4),
        *pair(COMMANDS, "SetOpBoxCountryCode", 8),
    ],
    "service": [
        *pair(COMMANDS, "LoginfactoryMode", 4),
        *pair(COMMANDS, "LogoutfactoryMode", 4),
        *pair(COMMANDS, "UnlockSafe", 4),
        *pair(COMMANDS, "lockSafe", 4),
        *pair(COMMANDS, "Rehab", 4),
        *pair(COMMANDS, "Clearparameter", 4),
        *pair(COMMANDS, "ResetOrigin", 4),
    ],
    "firmware": [
        *pair(FIRMWARE, "DownloadProgramme", 16),
    ],
    "price protocol": [
        *only(PRICE, "CreateComm", 0),
        *only(PRICE, "SetRecvHandle", 4),
        *only(PRICE, "SendPrice", 8),
        *only(PRICE, "DownLoadPlu", 4),
        *only(PRICE, "UpLoadPlu", 4),
    ],
    "raw AD reads": [
        *only(RAW, "__GetCurrentAD", 0),
        *only(RAW, "__GetTareAD", 0),
        *only(RAW, "__ReadFullAD", 4),
        *only(RAW, "__ReadMultiAD", 12),
        *only(RAW, "__ReadTZAD", 8),
    ],
    "text self-test": [
        *only(TEXT, "__GetUTF8", 0),
        *only(TEXT, "__GetUTF8EX", 4),
    ],
}

# The Java entry points: each native method takes the environment and the
# class or object before its own arguments.
JAVA_ENTRY_POINTS = [
    (name, size, JAVA)
    for name, size in (
        ("JNI_OnLoad", 8),
        ("JNI_OnUnLoad", 8),
        ("Java_Pondrex_DLL_Open", 16),
        ("Java_Pondrex_DLL_Close", 8),
        ("Java_Pondrex_DLL_GetWeight", 8),
        ("Java_Pondrex_DLL_Zero", 12),
        ("Java_Pondrex_DLL_Tare", 12),
        ("Java_Pondrex_DLL_SetCommMode", 12),
        ("Java_Pondrex_DLL_EnumUsbDeviceStr", 8),
        ("Java_Pondrex_DLL_SetUsbDeviceStr", 12),
        ("Java_Pondrex_DLL_DoEvents", 8),
        ("Java_Pondrex_DLL_SetCallBackFunc", 16),
    )
]


def api_shape_errors():
    """Mistakes in the list above: a name twice, or the plain-caller names
    not 58 pairs, 12 prefixed-only and 5 plain-only names."""
    errors = []
    plain = [name for entries in PLAIN_CALLER_FAMILIES.values() for name, _, _ in entries]
    every = plain + [name for name, _, _ in JAVA_ENTRY_POINTS]
    for name in sorted(set(n for n in every if every.count(n) > 1)):
        errors.append(f"the API list has {name} more than once")
    twins = {"__Open": "OpenDevice", "__Close": "CloseDevice"}
    prefixed = {n for n in plain if n.startswith("__")}
    unprefixed = set(plain) - prefixed
    pairs = {n for n in prefixed if twins.get(n, n[2:]) in unprefixed}
    shape = (len(pairs), len(prefixed - pairs), len(unprefixed) - len(pairs))
    if shape != (58, 12, 5):
        errors.append(f"the API list has {shape[0]} pairs, {shape[1]} prefixed-only and {shape[2]} "
                      "plain-only names instead of 58, 12 and 5")
    return errors


def def_argument_bytes(path):
    """Name -> the N of its "name@N" symbol, for every export line of a .def file."""
    sizes = {}
    in_exports = False
    with open(path, encoding="ascii") as f:
        for raw in f:
            line = raw.split(";", 1)[0].strip()
            if line == "EXPORTS":
                in_exports = True
                continue
            match = DEF_EXPORT.match(line) if in_exports else None
            if match:
                stdcall = re.fullmatch(re.escape(match["name"]) + r"@(\d+)", match["symbol"])
                sizes[match["name"]] = int(stdcall[1]) if stdcall else None
    return sizes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--def", dest="def_file", required=True)
    parser.add_argument("dll")
    args = parser.parse_args()

    api = {}
    family_of = {}
    for family, entries in list(PLAIN_CALLER_FAMILIES.items()) + [("Java", JAVA_ENTRY_POINTS)]:
        for name, size, step in entries:
            api[name] = (size, step)
            family_of[name] = family

    errors = api_shape_errors()
    def_sizes = def_argument_bytes(args.def_file)
    _, _, exported, _ = dll_tables(args.objdump, args.dll)

    for name in sorted(set(exported) | set(def_sizes)):
        where = "exported" if name in exported else f"in {args.def_file}"
        if "@" in name or (name not in api and name.lstrip("_") in api):
            errors.append(f"{where} under a decorated name: {name}")
        elif name not in api:
            errors.append(f"{where} but not part of the API: {name}")
    for name, size in sorted(def_sizes.items()):
        if name in api and size != api[name][0]:
            errors.append(f"{name} maps to {name}@{size} in {args.def_file}; its prototype takes {api[name][0]} bytes")

    missing = [name for name in api if name not in exported]
    for step in sorted({api[name][1] for name in missing}):
        names = [name for name in missing if api[name][1] == step]
        listing = ", ".join(f"{name} ({family_of[name]})" for name in names)
        errors.append(f"missing ({step}): {listing}")

    for error in errors:
        print(f"FAIL: {error}", file=sys.stderr)
    if errors:
        return 1
    present = len([name for name in exported if name in api])
    print(f"{args.dll}: all {present} API names exported, each with its argument size")
    return 0


if __name__ == "__main__":
    sys.exit(main())
