"""Names beyond ASCII, archives behind another program's data, and comments
that hold an end-record signature, between packrook-cli and its peers."""
import filecmp
import os
import subprocess
import unittest
import zipfile

import cli

# Two in code page 1252, the rest beyond it, an emoji beyond 16 bits.
NAMES = ["naïve café.txt", "Übersicht.txt", "报告.txt", "Αθήνα.doc", "تقرير.txt", "notes-🎵.txt"]
# The peers take names from the locale; CI may run without one.
UTF8 = dict(os.environ, LC_ALL="C.UTF-8")


def peer(*command, cwd=None):
    subprocess.run(command, cwd=cwd, env=UTF8, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class NonAsciiNames(cli.CliTestCase):
    def make_files(self):
        for name in NAMES:
            self.write(os.path.join("src", name), name.encode())
        return self.path("src")

    def extract(self, archive, out):
        cli.run("extract", cli.native(archive), cli.native(out))
        self.assertEqual(filecmp.dircmp(self.path("src"), out).diff_files, [])
        return sorted(os.listdir(out))

    def test_ours_read_by_python_7z_and_unzip(self):
        src = self.make_files()
        archive = self.path("ours.zip")
        cli.run("add", cli.native(archive), *[cli.native(os.path.join(src, name)) for name in NAMES])
        with zipfile.ZipFile(archive) as zf:
            self.assertEqual(zf.namelist(), NAMES)
        peer("unzip", "-q", archive, "-d", self.path("by-unzip"))
        peer("7z", "x", "-tzip", archive, "-o" + self.path("by-7z"))
        for out in ("by-unzip", "by-7z"):
            self.assertEqual(sorted(os.listdir(self.path(out))), sorted(NAMES), out)

    def test_theirs_listed_and_extracted_by_us(self):
        src = self.make_files()
        python = self.path("python.zip")
        with zipfile.ZipFile(python, "w") as zf:
            for name in NAMES:
                zf.write(os.path.join(src, name), name)
        # Info-ZIP's zip writes such names as bare bytes, neither flagged nor
        # in a Unicode path block, so it has nothing to show here.
        peer("7z", "a", "-tzip", "-mcu=on", self.path("7z.zip"), ".", cwd=src)
        for archive in ("python.zip", "7z.zip"):
            self.assertEqual(sorted(cli.names(self.path(archive))), sorted(NAMES), archive)
            self.assertEqual(self.extract(self.path(archive), self.path("out-" + archive)), sorted(NAMES), archive)

    @unittest.skipUnless(cli.PATH_PREFIX, "only Windows tools write names in an ANSI code page")
    def test_an_unflagged_name_is_read_in_the_systems_code_page(self):
        archive = self.path("legacy.zip")
        with zipfile.ZipFile(archive, "w") as zf:
            zf.writestr("cafX.txt", "old")
        with open(archive, "r+b") as f:
            data = f.read().replace(b"cafX", "café".encode("cp1252"))
            f.seek(0)
            f.write(data)
        cli.run("extract", cli.native(archive), cli.native(self.path("out")))
        self.assertEqual(os.listdir(self.path("out")), ["café.txt"])


class DataInFront(cli.CliTestCase):
    FRONT = b"#!/bin/sh\necho another maker's self-extractor\nexit 0\n" + bytes(range(256)) * 20

    def test_listed_tested_extracted_and_changed_keeping_it(self):
        plain = self.path("plain.zip")
        with zipfile.ZipFile(plain, "w", zipfile.ZIP_DEFLATED) as zf:
            zf.writestr("one.txt", "1")
            zf.writestr("dir/two.txt", "two " * 500)
        archive = self.write("prefixed.zip", self.FRONT + open(plain, "rb").read())
        self.assertEqual(cli.listing(archive), cli.python_listing(archive))
        self.assertEqual(cli.run("test", cli.native(archive)).out, "OK\n")
        cli.run("extract", cli.native(archive), cli.native(self.path("out")))
        with open(self.path("out", "dir", "two.txt"), "rb") as f:
            self.assertEqual(f.read(), b"two " * 500)
        cli.run("delete", cli.native(archive), "one.txt")
        cli.run("add", cli.native(archive), cli.native(self.write("three.txt", b"3")))
        with open(archive, "rb") as f:
            self.assertTrue(f.read().startswith(self.FRONT))
        self.assertEqual([name for *_, name in cli.listing(archive)], ["dir/two.txt", "three.txt"])
        self.assertEqual(cli.listing(archive), cli.python_listing(archive))
        self.assertTrue(cli.Peers.python(archive) and cli.Peers.seven_zip(archive))
        # unzip reads it too, with a warning about the bytes in front.
        unzip = subprocess.run(["unzip", "-t", archive], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertIn(b"No errors detected", unzip.stdout)


class Comments(cli.CliTestCase):
    def test_a_comment_holding_an_end_record_signature(self):
        archive = self.path("comment.zip")
        self.write("a.txt", b"a")
        self.sh("zip", "-q", "-z", archive, "a.txt", cwd=self.tmp, input=b"see PK\x05\x06 inside\n")
        self.assertEqual([name for *_, name in cli.listing(archive)], ["a.txt"])
        self.assertEqual(cli.run("test", cli.native(archive)).out, "OK\n")
        self.assertEqual(cli.run("comment", cli.native(archive)).out, "see PK\x05\x06 inside\n")


if __name__ == "__main__":
    unittest.main()
