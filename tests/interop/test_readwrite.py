"""Archives packrook-cli writes are accepted by unzip, 7z and Python's zipfile,
and what those tools write, packrook-cli reads, changes and extracts."""
import filecmp
import os
import time
import zipfile

import cli

PASSWORD = "s3cret pass"


class WrittenByUs(cli.CliTestCase):
    def build_sources(self):
        tree = self.make_tree()
        self.write("tree/big.bin", os.urandom(1 << 20) + b"compressible " * 160000)
        return tree

    def assert_peers_accept(self, archive, password=None):
        self.assertEqual(cli.Peers.rejecting(archive, password), [], archive)

    def assert_same_files(self, tree, extracted):
        comparison = filecmp.dircmp(tree, extracted)
        self.assertEqual(comparison.left_only + comparison.right_only + comparison.diff_files, [])

    def test_every_level_with_and_without_folders(self):
        tree = self.build_sources()
        for level in ("normal", "fast", "max", "none"):
            for paths in ([], ["--paths"]):
                archive = self.path("%s%s.zip" % (level, "".join(paths)))
                cli.run("add", cli.native(archive), "--level", level, *paths, cli.native(tree))
                self.assert_peers_accept(archive)
                names = [name for *_, name in cli.listing(archive)]
                self.assertEqual(len(names), 5)
                if paths:
                    self.assertTrue(all(n.endswith(("readme.txt", "words.txt", "noise.bin", "empty.txt", "big.bin"))
                                        and "/tree/" in "/" + n for n in names), names)
                    self.assertFalse(any(n.startswith("/") for n in names))
                else:
                    self.assertEqual(sorted(names), ["big.bin", "empty.txt", "noise.bin", "readme.txt", "words.txt"])

    def test_round_trip_through_unzip(self):
        tree = self.build_sources()
        archive = self.path("ours.zip")
        os.chdir(tree)
        for name in ("readme.txt", "big.bin", "docs/words.txt", "docs/empty.txt", "docs/deep/noise.bin"):
            cli.run("add", cli.native(archive), cli.native(os.path.join(tree, name)))
        out = self.path("by-unzip")
        self.sh("unzip", "-q", archive, "-d", out)
        for name in os.listdir(out):
            self.assertTrue(filecmp.cmp(os.path.join(out, name), self.find(tree, name), shallow=False), name)

    def find(self, tree, name):
        for folder, _, files in os.walk(tree):
            if name in files:
                return os.path.join(folder, name)
        raise AssertionError(name)

    def test_two_thousand_entries(self):
        for n in range(2000):
            self.write("many/f%04d.txt" % n, b"entry %d\n" % n * (n % 5))
        archive = self.path("many.zip")
        cli.run("add", cli.native(archive), cli.native(self.path("many")))
        self.assertEqual(len(cli.listing(archive)), 2000)
        self.assert_peers_accept(archive)

    def test_encrypted(self):
        tree = self.build_sources()
        archive = self.path("secret.zip")
        cli.run("add", cli.native(archive), "--password", PASSWORD, cli.native(tree))
        self.assert_peers_accept(archive, PASSWORD)
        self.assertFalse(cli.Peers.unzip(archive, "wrong"))
        out = self.path("out")
        cli.run("extract", cli.native(archive), cli.native(out), "--password", PASSWORD)
        for name in os.listdir(out):
            self.assertTrue(filecmp.cmp(os.path.join(out, name), self.find(tree, name), shallow=False), name)

    def test_blocks_deflated_on_several_threads(self):
        """Files around the 512 KiB block deflated on three threads, in the
        clear and with both encryptions (unzip and Python know no AES), and
        one thread giving the same entries as one stream."""
        block = 512 * 1024
        pieces = os.urandom(40000) + b"text that compresses " * 60000
        folder = self.path("blocks")
        content = lambda size: (pieces * (size // len(pieces) + 1))[:size]
        for size in (0, 1, block - 1, block, block + 1, 5 * block + 7):
            self.write("blocks/f%d.bin" % size, content(size))
        for encryption in ("", "zipcrypto", "aes256"):
            archive = self.path("threads-%s.zip" % encryption)
            secret = ["--password", PASSWORD, "--encryption", encryption] if encryption else []
            cli.run("add", cli.native(archive), "--threads", "3", *secret, cli.native(folder))
            peers = (cli.Peers.seven_zip,) if encryption == "aes256" else (cli.Peers.unzip, cli.Peers.seven_zip,
                                                                         cli.Peers.python)
            for peer in peers:
                self.assertTrue(peer(archive, PASSWORD if encryption else None), (encryption, peer.__name__))
            out = self.path("out-" + encryption)
            cli.run("extract", cli.native(archive), cli.native(out), *secret[:2])
            self.assertEqual(filecmp.dircmp(folder, out).diff_files + filecmp.dircmp(folder, out).left_only, [])
        one = self.path("one.zip")
        cli.run("add", cli.native(one), "--threads", "1", cli.native(folder))
        with zipfile.ZipFile(one) as zf:
            self.assertEqual(zf.read("f%d.bin" % (5 * block + 7)), content(5 * block + 7))
        self.assertNotEqual(cli.listing(one), cli.listing(self.path("threads-.zip")))
        self.assertNotEqual(cli.run("add", cli.native(one), "--threads", "0", cli.native(folder),
                                    check=False).returncode, 0)

    def test_replace_and_no_replace(self):
        archive = self.path("r.zip")
        first = self.write("a/same.txt", b"first")
        second = self.write("b/same.txt", b"second")
        cli.run("add", cli.native(archive), cli.native(first))
        cli.run("add", cli.native(archive), cli.native(second))
        self.assertEqual(len(cli.listing(archive)), 1)
        with zipfile.ZipFile(archive) as zf:
            self.assertEqual(zf.read("same.txt"), b"second")
        cli.run("add", "--no-replace", cli.native(archive), cli.native(first))
        self.assertEqual(len(cli.listing(archive)), 2)

    def test_folder_whose_file_lies_past_260_characters(self):
        """The C++ library's own walk ended there under Windows."""
        deep = self.write("long/" + "/".join(["d" * 40] * 7) + "/deep.txt", b"deep")
        archive = self.path("long.zip")
        cli.run("add", cli.native(archive), cli.native(self.path("long")))
        self.assertGreater(len(cli.native(deep)), 260)
        self.assertEqual([name for *_, name in cli.listing(archive)], ["deep.txt"])

    def test_missing_source_changes_nothing(self):
        archive = self.path("m.zip")
        cli.run("add", cli.native(archive), cli.native(self.write("x.txt", b"x")))
        with open(archive, "rb") as f:
            before = f.read()
        result = cli.run("add", cli.native(archive), cli.native(self.path("nope.txt")), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("No such file", result.err)
        with open(archive, "rb") as f:
            self.assertEqual(f.read(), before)


class WrittenByOthers(cli.CliTestCase):
    def encrypted_by(self, tool):
        tree = self.make_tree()
        archive = self.path(tool + ".zip")
        if tool == "zip":
            self.sh("zip", "-q", "-r", "-P", PASSWORD, archive, ".", cwd=tree)
        else:
            self.sh("7z", "a", "-tzip", "-mem=ZipCrypto", "-p" + PASSWORD, archive, ".", cwd=tree)
        return tree, archive

    def test_encrypted_archives_of_zip_and_7z(self):
        for tool in ("zip", "7z"):
            tree, archive = self.encrypted_by(tool)
            out = self.path("out-" + tool)
            cli.run("extract", cli.native(archive), cli.native(out), "--password", PASSWORD)
            comparison = filecmp.dircmp(tree, out)
            self.assertEqual(comparison.diff_files + comparison.left_only, [], tool)
            self.assertEqual(cli.run("test", cli.native(archive), "--password", PASSWORD).out, "OK\n")
            wrong = cli.run("test", cli.native(archive), "--password", "not it", check=False)
            self.assertEqual(wrong.returncode, 1, tool)
            self.assertRegex(wrong.err, "^(Encryption problem |Corrupt zip file found when exstacting |Extraction library error)")
            refused = self.path("refused-" + tool)
            self.assertEqual(cli.run("extract", cli.native(archive), cli.native(refused), "--password", "nope",
                                     check=False).returncode, 1)
            leftovers = [f for _, _, files in os.walk(refused) for f in files if os.path.getsize(os.path.join(_, f))]
            self.assertEqual(leftovers, [], "no damaged file left behind")

    def test_delete_first_middle_last_and_all(self):
        tree = self.make_tree()
        for case, victims in (("first", [0]), ("middle", [2]), ("last", [-1]), ("several", [0, 3, -1]),
                              ("all", None)):
            archive = self.path(case + ".zip")
            self.sh("zip", "-q", "-r", archive, ".", cwd=tree)
            names = [name for *_, name in cli.listing(archive)]
            removed = names if victims is None else [names[i] for i in victims]
            with zipfile.ZipFile(archive) as zf:
                kept = {n: zf.read(n) for n in names if n not in removed}
            cli.run("delete", cli.native(archive), *removed)
            with zipfile.ZipFile(archive) as zf:
                self.assertEqual({n: zf.read(n) for n in zf.namelist()}, kept, case)
            if kept:
                self.assertTrue(cli.Peers.unzip(archive), case)
            self.assertTrue(cli.Peers.seven_zip(archive), case)

    def test_delete_unknown_name_changes_nothing(self):
        archive = self.path("d.zip")
        self.sh("zip", "-q", "-r", archive, ".", cwd=self.make_tree())
        with open(archive, "rb") as f:
            before = f.read()
        result = cli.run("delete", cli.native(archive), "readme.txt", "no/such/entry", check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("No such entry: no/such/entry", result.err)
        with open(archive, "rb") as f:
            self.assertEqual(f.read(), before)

    def test_comment_replaced(self):
        archive = self.path("c.zip")
        self.sh("zip", "-q", "-r", archive, ".", cwd=self.make_tree())
        cli.run("comment", cli.native(archive), "A new comment")
        with zipfile.ZipFile(archive) as zf:
            self.assertEqual(zf.comment, b"A new comment")
            self.assertIsNone(zf.testzip())
        self.assertEqual(cli.run("comment", cli.native(archive)).out, "A new comment\n")

    def test_hostile_names_are_refused_and_the_rest_extracted(self):
        archive = self.path("hostile.zip")
        with zipfile.ZipFile(archive, "w") as zf:
            for name in ("good.txt", "../evil.txt", "sub/../../evil2.txt", "/abs.txt", "\\back.txt", "C:drive.txt",
                         "sub/fine.txt", "folder/"):
                info = zipfile.ZipInfo(name)
                zf.writestr(info, "" if name.endswith("/") else "data of " + name)
        out = self.path("dest", "inner")
        result = cli.run("extract", cli.native(archive), cli.native(out), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(cli.refused(result), ["../evil.txt", "sub/../../evil2.txt", "/abs.txt", "/back.txt",
                                               "C:drive.txt"])
        found = sorted(os.path.relpath(os.path.join(d, f), self.path("dest"))
                       for d, dirs, files in os.walk(self.path("dest")) for f in files + dirs)
        self.assertEqual(found, ["inner", "inner/folder", "inner/good.txt", "inner/sub", "inner/sub/fine.txt"])

    def test_a_name_with_a_zero_byte_is_judged_and_made_as_shown(self):
        archive = self.path("zero.zip")
        with zipfile.ZipFile(archive, "w") as zf:
            zf.writestr("x\x01/../y", "data")
        with open(archive, "rb") as f:
            data = f.read().replace(b"x\x01/../y", b"x\x00/../y")
        with open(archive, "wb") as f:
            f.write(data)
        out = self.path("out")
        result = cli.run("extract", cli.native(archive), cli.native(out), check=False)
        self.assertEqual((result.returncode, result.err), (0, ""))
        self.assertEqual(os.listdir(out), ["x"])
        with open(os.path.join(out, "x"), "rb") as f:
            self.assertEqual(f.read(), b"data")

    def test_extracted_files_get_the_stored_time(self):
        archive = self.path("dated.zip")
        with zipfile.ZipFile(archive, "w") as zf:
            zf.writestr(zipfile.ZipInfo("dated.txt", (2001, 2, 3, 4, 5, 6)), "dated")
            zf.writestr(zipfile.ZipInfo("undated.txt", (1980, 0, 0, 0, 0, 0)), "undated")
        before = time.time()
        out = self.path("times")
        cli.run("extract", cli.native(archive), cli.native(out))
        self.assertEqual(os.path.getmtime(os.path.join(out, "dated.txt")),
                         time.mktime((2001, 2, 3, 4, 5, 6, 0, 0, -1)))
        self.assertGreaterEqual(os.path.getmtime(os.path.join(out, "undated.txt")), before - 2,
                                "a stored time that is no date leaves the time of writing")

    def test_corrupt_entry_fails_the_test_command(self):
        archive = self.path("bad.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as zf:
            zf.writestr("a.txt", "x" * 1000)
        with open(archive, "r+b") as f:
            f.seek(100)
            f.write(b"y")
        result = cli.run("test", cli.native(archive), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.err, "Corrupt zip file found when exstacting a.txt\n")
        out = self.path("out")
        self.assertEqual(cli.run("extract", cli.native(archive), cli.native(out), check=False).returncode, 1)
        self.assertEqual(os.listdir(out), [])
        self.write("out/a.txt", b"an older a.txt")
        self.assertEqual(cli.run("extract", cli.native(archive), cli.native(out), check=False).returncode, 1)
        self.assertEqual(os.listdir(out), ["a.txt"])
        with open(os.path.join(out, "a.txt"), "rb") as f:
            self.assertEqual(f.read(), b"an older a.txt", "a damaged entry replaces nothing")
