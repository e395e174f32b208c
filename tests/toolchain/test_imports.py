"""Every program and DLL of a Windows build starts on a bare Windows: it
imports from the system's own DLLs and this build's, never from a runtime
that would have to travel with it (libstdc++-6.dll, libgcc_s_*.dll,
libwinpthread-1.dll, zlib1.dll).

    python3 test_imports.py OBJDUMP PROGRAM...
"""
import os
import re
import subprocess
import sys
import unittest

# What the programs may take from Windows itself (lower case).
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "version.dll",
}
OBJDUMP = ""
PROGRAMS = []


def imported_dlls(path):
    dump = subprocess.run([OBJDUMP, "-p", path], stdout=subprocess.PIPE, check=True, text=True).stdout
    return {name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)$", dump, re.M)}


class Imports(unittest.TestCase):
    def test_every_program_imports_only_system_dlls_and_its_own(self):
        self.assertTrue(PROGRAMS, "no programs given")
        own = {os.path.basename(path).lower() for path in PROGRAMS if path.lower().endswith(".dll")}
        for path in PROGRAMS:
            with self.subTest(program=os.path.basename(path)):
                self.assertEqual(imported_dlls(path) - SYSTEM_DLLS - own, set())


if __name__ == "__main__":
    OBJDUMP, PROGRAMS = sys.argv[1], sys.argv[2:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
