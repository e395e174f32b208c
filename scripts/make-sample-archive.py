#!/usr/bin/env python3
"""Writes a small archive to look at in the manager:

    make-sample-archive.py OUTPUT.zip

20 file entries spread over a few folders (with the folders' own entries),
some deflated and some stored, so every column of the list has something
to show; and a two-line archive comment.
"""
import sys
import zipfile

FILES = {
    "readme.txt": "Sample archive for Packrook.\n" * 3,
    "licence.txt": "Use it as you like.\n" * 40,
    "setup.ini": "[Setup]\nFolder=C:\\Program Files\\Sample\n",
    "docs/guide.htm": "<html><body>" + "<p>How to use the sample.</p>" * 80 + "</body></html>",
    "docs/faq.txt": "Q: Why?\nA: Because.\n" * 25,
    "docs/changes.txt": "1.0 first release\n" * 12,
    "docs/images/logo.bmp": "BM" + "\x00\x7f\xff" * 700,
    "docs/images/banner.gif": "GIF89a" + "".join(chr(i % 251) for i in range(3000)),
    "docs/images/icon.ico": "\x00\x00\x01\x00" + "\x10" * 900,
    "src/main.cpp": "int main()\n{\n    return 0;\n}\n" * 30,
    "src/window.cpp": "void show() {}\n" * 60,
    "src/window.h": "#pragma once\nvoid show();\n",
    "src/archive.cpp": "// reads and writes archives\n" * 90,
    "src/archive.h": "#pragma once\nclass Archive;\n",
    "src/resources/app.rc": "IDI_APP ICON \"app.ico\"\n" * 8,
    "src/resources/strings.txt": "Open\nSave\nClose\n" * 50,
    "data/table.csv": "".join(f"{i},{i * i},{i * 7 % 13}\n" for i in range(400)),
    "data/empty.dat": "",
    "data/random.bin": "".join(chr((i * 7919) % 256) for i in range(5000)),
    "data/notes.txt": "remember the milk\n",
}
FOLDERS = ["docs/", "docs/images/", "src/", "src/resources/", "data/"]
STORED = {"docs/images/banner.gif", "data/random.bin", "data/empty.dat"}
# DOS attribute bits: archive, read-only, hidden, folder.
ATTRIBUTES = {"readme.txt": 0x21, "setup.ini": 0x22}


def entry(name, attributes):
    info = zipfile.ZipInfo(name, (2024, 5, 1, 12, 0, 0))
    info.create_system = 0
    info.external_attr = attributes
    return info


def main():
    with zipfile.ZipFile(sys.argv[1], "w") as archive:
        archive.comment = b"Sample archive for Packrook.\r\nIts files show every column of the list.\r\n"
        for folder in FOLDERS:
            archive.writestr(entry(folder, 0x10), b"")
        for name, text in FILES.items():
            info = entry(name, ATTRIBUTES.get(name, 0x20))
            info.compress_type = zipfile.ZIP_STORED if name in STORED else zipfile.ZIP_DEFLATED
            archive.writestr(info, text.encode("latin-1"))


if __name__ == "__main__":
    main()
