"""What users download, read from the setup program itself: the programs it
installs, and the self-extractor it is, carry no debug information and no
path of the machine that built them, and the whole stays small.

    python3 test_shipped.py OBJDUMP SETUP MAX_BYTES FOLDER...
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

OBJDUMP = SETUP = ""
MAX_BYTES = 0
FOLDERS = []


def shipped_programs():
    """Name and bytes of each program the setup installs, and of the setup itself."""
    with zipfile.ZipFile(SETUP) as archive:
        programs = {name: archive.read(name) for name in archive.namelist() if name.lower().endswith((".exe", ".dll"))}
    with open(SETUP, "rb") as setup:
        programs[os.path.basename(SETUP)] = setup.read()
    return programs


def section_names(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, "wb") as program:
        program.write(data)
    headers = subprocess.run([OBJDUMP, "-h", path], stdout=subprocess.PIPE, check=True, text=True).stdout
    return re.findall(r"^\s*\d+\s+(\S+)", headers, re.M)


class Shipped(unittest.TestCase):
    def test_setup_stays_small(self):
        self.assertLess(os.path.getsize(SETUP), MAX_BYTES)

    def test_programs_hold_no_debug_section_nor_build_path(self):
        programs = shipped_programs()
        self.assertGreater(len(programs), 1, "no programs in the setup")
        with tempfile.TemporaryDirectory() as folder:
            for name, data in programs.items():
                with self.subTest(program=name):
                    sections = section_names(folder, name, data)
                    self.assertIn(".text", sections)
                    self.assertEqual([section for section in sections if section.startswith(".debug")], [])
                    for path in FOLDERS:
                        self.assertFalse(path.encode() in data, f"{path} inside")


if __name__ == "__main__":
    OBJDUMP, SETUP, MAX_BYTES, FOLDERS = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
