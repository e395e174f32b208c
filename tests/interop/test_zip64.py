"""Archives past the classic limits, both ways: more than 65,535 entries,
entries and offsets past 4 GiB. Large files are sparse, so they take no
disk space."""
import os
import shutil
import struct
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


class RewrittenRecords(cli.CliTestCase):
    """A change writes each record with a ZIP64 block exactly when one of its
    fields needs it: a block left from before (a field that fits now) is what
    7z reports as a headers error."""

    def assert_accepted(self, archive, only=()):
        self.assertEqual(cli.Peers.rejecting(archive, only=only), [], archive)

    def assert_each_change_accepted(self, archive, first):
        """sfx, comment, add and delete, each on its own copy of the archive."""
        new = cli.native(self.write("new.txt", b"new"))
        program = self.path("program.exe")
        for change, argument in (("sfx", cli.native(program)), ("comment", "changed"), ("add", new),
                                 ("delete", first)):
            copy = self.path(change + ".zip")
            shutil.copyfile(archive, copy)
            cli.run(change, cli.native(copy), argument)
            self.assert_accepted(program if change == "sfx" else copy)

    def test_zip_forced_zip64(self):
        tree = self.make_tree()
        archive = self.path("fz.zip")
        self.sh("zip", "-q", "-r", "-fz", archive, ".", cwd=tree)
        self.assert_each_change_accepted(archive, "readme.txt")

    def test_python_forced_zip64(self):
        archive = self.path("python.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zf:
            for name in ("a.txt", "d/b.txt", "c.txt"):
                with zf.open(name, "w", force_zip64=True) as entry:
                    entry.write(name.encode() * 100)
        self.assert_each_change_accepted(archive, "a.txt")

    def test_ours_past_4gib_and_back(self):
        """Our records past 4 GiB, moved below it by deleting the entry in front."""
        archive = self.path("past.zip")
        python_past_4gib(archive)
        small = ["after.txt", "last.txt", "new.txt"]
        cli.run("add", cli.native(archive), cli.native(self.write("new.txt", b"new")))
        cli.run("comment", cli.native(archive), "past 4 GiB")
        self.assert_accepted(archive, only=small)
        cli.run("delete", cli.native(archive), "big.bin")
        self.assert_accepted(archive)
        cli.run("sfx", cli.native(archive), cli.native(archive + ".exe"))
        self.assert_accepted(archive + ".exe")

    def test_entry_comment_ending_like_zip64_records(self):
        """Left last by a delete, an entry comment ending like a ZIP64 end
        record and locator gets true ones behind it, or Python takes it for them."""
        archive = self.path("lookalike.zip")
        end = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 7, 7, 1234, 99)
        with zipfile.ZipFile(archive, "w") as zf:
            info = zipfile.ZipInfo("a.txt")
            info.comment = b"note" + end + struct.pack("<IIQI", 0x07064B50, 0, 5, 1)
            zf.writestr(info, "alpha")
            zf.writestr("b.txt", "beta")
        cli.run("delete", cli.native(archive), "b.txt")
        self.assert_accepted(archive)


class FullSize(cli.CliTestCase):
    """Every program reads or writes 4 GiB here: native build only."""

    def setUp(self):
        super().setUp()
        if not cli.FULL_SIZE:
            self.skipTest("working through 4 GiB is left to the native build")

    def test_ours_with_an_entry_past_4gib(self):
        archive = self.path("ours.zip")
        big = sparse_file(self.path("big.bin"))
        cli.run("add", cli.native(archive), "--level", "fast", "--threads", "2", cli.native(big),
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
