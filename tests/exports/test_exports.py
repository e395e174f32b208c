"""Every Windows deliverable exports the engine's public classes and imports
none of it from another; a program built from the headers alone lists an
archive through Quaylink.dll."""
import os
import re
import subprocess
import unittest

OBJDUMP = os.environ.get("PACKROOK_OBJDUMP", "")
EMULATOR = os.environ.get("PACKROOK_EMULATOR", "")
LISTER = os.environ.get("PACKROOK_LISTER", "")
DELIVERABLES = [path for path in os.environ.get("PACKROOK_DELIVERABLES", "").split(";") if path]
TESTDATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "testdata")
PATH_PREFIX = os.environ.get("PACKROOK_PATH_PREFIX", "")

CLASSES = ["CZipFile", "CZipCentralDir", "CZipFileHeader", "CZipBuffer", "CZipException",
           "CZipLastErrorException", "ICallBack", "CTarFile", "CGZipFile"]
# g++'s decoration: members are _ZN<length><class>..., vtables _ZTV, type information _ZTI.
ENGINE_NAME = re.compile(r"_Z(?:N|TV|TI)(?:K)?(%s)" % "|".join("%d%s" % (len(c), c) for c in CLASSES))


def tables(path):
    """The names a program exports and the DLLs it imports from."""
    dump = subprocess.run([OBJDUMP, "-p", path], stdout=subprocess.PIPE, check=True, text=True).stdout
    exports = set(re.findall(r"^\s*\[\s*\d+\] (\S+)$", dump, re.M))
    imports = set(name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)$", dump, re.M))
    return exports, imports


class EngineExports(unittest.TestCase):
    def setUp(self):
        if not (OBJDUMP and LISTER and DELIVERABLES):
            self.skipTest("the Windows build sets PACKROOK_OBJDUMP, PACKROOK_LISTER and PACKROOK_DELIVERABLES")

    def test_each_deliverable_exports_every_public_class_itself(self):
        self.assertGreater(len(DELIVERABLES), 1, "only one deliverable arrived to compare")
        names = [os.path.basename(path).lower() for path in DELIVERABLES]
        exported = {}
        for path in DELIVERABLES:
            exports, imports = tables(path)
            exported[path] = {name for name in exports if ENGINE_NAME.match(name)}
            self.assertEqual(imports & set(names), set(), path)
            classes = {ENGINE_NAME.match(name).group(1) for name in exported[path]}
            self.assertEqual(len(classes), len(CLASSES), path)
        first = exported[DELIVERABLES[0]]
        self.assertIn("_ZN8CZipFileC1EP9ICallBack", first)
        # g++ exports a class's members defined out of line only.
        self.assertIn("_ZNK8CZipFile4failEv", first)
        for path in DELIVERABLES[1:]:
            self.assertEqual(exported[path], first, path)

    def test_a_program_of_headers_alone_lists_an_archive_through_quaylink(self):
        _, imports = tables(LISTER)
        self.assertIn("quaylink.dll", imports)
        archive = os.path.join(TESTDATA, "infozip_recursive.zip")
        command = ([EMULATOR] if EMULATOR else []) + [LISTER, PATH_PREFIX + archive]
        listed = subprocess.run(command, stdout=subprocess.PIPE, check=True, text=True).stdout
        with open(archive + ".list") as expected:
            self.assertEqual(listed.replace("\r\n", "\n"), expected.read())


if __name__ == "__main__":
    unittest.main()
