"""Archives past the classic limits, both ways: more than 65,535 entries,
entries and offsets past 4 GiB. Large files are sparse, so they take no
disk space."""
import os
import unittest
import zipfile

import cli

ZERO = bytes(1 << 20)
BIG_CHUNKS = 4097  # 4 GiB and one mebibyte of zeros


class HoleWriter:
    """A file in which zipfile's whole blocks of zeros become holes."""

    def __init__(self, raw):
        self.raw = raw

    def write(self, data):
        if len(data) == len(ZERO) and data == ZERO:
            self.raw.seek(len(data), os.SEEK_CUR)
            return len(data)
        return self.raw.write(data)

    def __getattr__(self, name):
        return getattr(self.raw, name)


def python_past_4gib(path):
    """A stored entry past 4 GiB and two small ones behind it, by Python."""
    with open(path, "wb") as raw, zipfile.ZipFile(HoleWriter(raw), "w") as zf:
        with zf.open("big.bin", "w", force_zip64=True) as big:
            for _ in range(BIG_CHUNKS):
                big.write(ZERO)
        zf.writestr("after.txt", "after")
        zf.writestr("last.txt", "last")


def sparse_file(path):
    with open(path, "wb") as f:
        f.truncate(BIG_CHUNKS * len(ZERO))
    return path


class ManyEntries(cli.CliTestCase):
    def test_python_100000_entries_listed_changed_and_accepted(self):
        archive = self.path("many.zip")
        with zipfile.ZipFile(archive, "w") as zf:
            for n in range(100000):
                zf.writestr("d%d/f%06d.txt" % (n % 10, n), b"%d" % n)
        self.assertEqual(cli.listing(archive), cli.python_listing(archive))
        cli.run("add", cli.native(archive), cli.native(self.write("added.txt", b"added")))
        cli.run("delete", cli.native(archive), "d0/f000000.txt")
        self.assertEqual(len(cli.listing(archive)), 100000)
        self.assertEqual(cli.Peers.rejecting(archive), [])
        with zipfile.ZipFile(archive) as zf:
            self.assertEqual(zf.read("added.txt"), b"added")

    def test_zip_and_7z_with_65600_files(self):
        folder = self.path("files")
        os.makedirs(folder)
        for n in range(65600):
            open(os.path.join(folder, "f%05d" % n), "wb").close()
        for tool in (["zip", "-q", "-r"], ["7z", "a", "-tzip"]):
            archive = self.path(tool[0] + ".zip")
            self.sh(*tool, archive, ".", cwd=folder)
            listed = cli.listing(archive)
            self.assertEqual(listed, cli.python_listing(archive), tool[0])
            self.assertEqual(len(listed), 65600, tool[0])


class Past4GiB(cli.CliTestCase):
    SMALL = ["last.txt", "new.txt"]

    def test_python_archive_listed_and_changed_past_4gib(self):
        archive = self.path("past.zip")
        python_past_4gib(archive)
        self.assertEqual(cli.listing(archive), cli.python_listing(archive))
        cli.run("delete", cli.native(archive), "after.txt")
        cli.run("add", cli.native(archive), cli.native(self.write("new.txt", b"new")))
        cli.run("comment", cli.native(archive), "past 4 GiB")
        self.assertEqual(cli.listing(archive), cli.python_listing(archive))
        self.assertEqual([name for *_, name in cli.listing(archive)], ["big.bin"] + self.SMALL)
        self.assertEqual(cli.Peers.rejecting(archive, only=self.SMALL), [])
        with zipfile.ZipFile(archive) as zf:
            self.assertEqual(zf.comment, b"past 4 GiB")
            self.assertEqual([zf.read(name) for name in self.SMALL], [b"last", b"new"])


class FullSize(cli.CliTestCase):
    """Every program reads or writes 4 GiB here: native build only."""

    def setUp(self):
        super().setUp()
        if not cli.FULL_SIZE:
            self.skipTest("working through 4 GiB is left to the native build")

    def test_ours_with_an_entry_past_4gib(self):
        archive = self.path("ours.zip")
        big = sparse_file(self.path("big.bin"))
        cli.run("add", cli.native(archive), "--level", "fast", cli.native(big),
                cli.native(self.write("small.txt", b"small")))
        self.assertEqual(cli.listing(archive), cli.python_listing(archive))
        self.assertEqual(cli.listing(archive)[0][0], str(os.path.getsize(big)))
        self.assertEqual(cli.run("test", cli.native(archive)).out, "OK\n")
        self.assertEqual(cli.Peers.rejecting(archive), [])

    def test_zip_and_7z_entries_past_4gib(self):
        big = sparse_file(self.path("big.bin"))
        for tool in (["zip", "-q", "-1"], ["7z", "a", "-tzip", "-mx1"]):
            archive = self.path(tool[0] + ".zip")
            self.sh(*tool, archive, "big.bin", cwd=self.tmp)
            self.assertEqual(cli.listing(archive), cli.python_listing(archive), tool[0])


if __name__ == "__main__":
    unittest.main()
