#!/usr/bin/python3
"""Writes the Java sources that a Markdown file shows into a folder.

A source is a ```java block whose first line names its file, as in
"// Pondrex/DLL.java". Fails unless the blocks name exactly the files given,
so the tests build what a reader of the file copies.

Usage: readme_java.py README.md OUTDIR FILE...
"""
import os
import re
import sys

BLOCK = re.compile(r"^```java\n// (?P<path>[\w/]+\.java)\n(?P<body>.*?)^```$", re.S | re.M)


def main():
    readme, outdir, expected = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    found = {m["path"]: f"// {m['path']}\n{m['body']}" for m in BLOCK.finditer(text)}
    if sorted(found) != sorted(expected):
        print(f"{readme}: Java files {sorted(found)}, expected {sorted(expected)}", file=sys.stderr)
        return 1
    for path, body in found.items():
        target = os.path.join(outdir, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", encoding="utf-8") as f:
            f.write(body)
    return 0


if __name__ == "__main__":
    sys.exit(main())
