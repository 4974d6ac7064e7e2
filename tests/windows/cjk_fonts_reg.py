"""Writes the registry file that maps a CJK font into the Wine prefix, so
Chinese texts render: the face "黑体" is substituted by WenQuanYi Zen Hei
(Debian's fonts-wqy-zenhei), and the faces of dialogs and message boxes
link to it for the characters they lack.

Usage: python3 cjk_fonts_reg.py OUTPUT.reg
"""
import sys

CJK_FACE = "WenQuanYi Zen Hei"
CJK_LINK = "wqy-zenhei.ttc," + CJK_FACE
LINKED_FACES = ["Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif", "Segoe UI"]


def multi_string(values):
    data = ("\0".join(values) + "\0\0").encode("utf-16-le")
    return ",".join(f"{b:02x}" for b in data)


def registry_text():
    key = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion"
    lines = ["Windows Registry Editor Version 5.00", "",
             f"[{key}\\FontSubstitutes]", f'"黑体"="{CJK_FACE}"', "",
             f"[{key}\\FontLink\\SystemLink]"]
    lines += [f'"{face}"=hex(7):{multi_string([CJK_LINK])}' for face in LINKED_FACES]
    return "\r\n".join(lines) + "\r\n"


if __name__ == "__main__":
    # Version 5 registry files are UTF-16 with a byte-order mark.
    with open(sys.argv[1], "wb") as out:
        out.write(("\ufeff" + registry_text()).encode("utf-16-le"))
