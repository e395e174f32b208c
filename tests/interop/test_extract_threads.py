"""Extraction on several threads gives the same files as on one, from
archives of ours, zip's and 7z's, encrypted either way, and a damaged entry
fails alone."""
import os
import shutil
import warnings
import zipfile

import cli

PASSWORD = "thread pass"
# The Windows build compares names as the system does: case does not count.
WINDOWS = bool(cli.PATH_PREFIX)


class ExtractOnThreads(cli.CliTestCase):
    def many_files(self):
        tree = self.make_tree()
        for n in range(60):
            data = os.urandom(3000 * n) if n % 3 == 0 else b"line %d of a text file\n" % n * (40 * n)
            self.write("tree/many/%02d/f%02d.%s" % (n % 7, n, "bin" if n % 3 == 0 else "txt"), data)
        return tree

    def files_below(self, folder):
        found = {}
        for parent, _, files in os.walk(folder):
            for name in files:
                with open(os.path.join(parent, name), "rb") as f:
                    found[os.path.relpath(os.path.join(parent, name), folder)] = f.read()
        return found

    def extracted(self, archive, threads, *password):
        out = self.path("out-%s-%s" % (os.path.basename(archive), threads))
        cli.run("extract", cli.native(archive), cli.native(out), "--threads", threads, *password)
        return self.files_below(out)

    def test_archives_of_ours_zip_and_7z_give_the_same_files_on_three_threads_as_on_one(self):
        tree = self.many_files()
        expected = self.files_below(tree)
        archives = {"ours": [], "zipcrypto": ["--password", PASSWORD, "--encryption", "zipcrypto"],
                    "aes256": ["--password", PASSWORD, "--encryption", "aes256"]}
        for label, options in archives.items():
            cli.run("add", cli.native(self.path(label + ".zip")), *options, cli.native(tree))
        self.sh("zip", "-q", "-r", self.path("zip.zip"), ".", cwd=tree)
        self.sh("7z", "a", "-tzip", self.path("7z.zip"), ".", cwd=tree)
        for label in ("ours", "zipcrypto", "aes256", "zip", "7z"):
            archive = self.path(label + ".zip")
            password = archives.get(label, [])[:2]
            # Ours keep no folder names, so files of the same name in two folders
            # would meet; the names of many/ are unique.
            want = expected if label in ("zip", "7z") else {os.path.basename(k): v for k, v in expected.items()}
            self.assertEqual(self.extracted(archive, "3", *password), want, label)
            self.assertEqual(self.extracted(archive, "1", *password), want, label)
        refused = cli.run("extract", cli.native(self.path("zip.zip")), cli.native(self.path("x")), "--threads", "0",
                          check=False)
        self.assertEqual(refused.returncode, 2)

    def test_a_damaged_entry_fails_alone_and_leaves_nothing(self):
        archive = self.path("damaged.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as zf:
            for n in range(20):
                zf.writestr("m%02d.txt" % n, b"the text of entry %02d\n" % n * 50)
        with open(archive, "rb") as f:
            data = bytearray(f.read())
        data[data.index(b"the text of entry 07") + 300] ^= 1
        with open(archive, "wb") as f:
            f.write(data)
        out = self.path("out")
        result = cli.run("extract", cli.native(archive), cli.native(out), "--threads", "3", check=False)
        self.assertEqual((result.returncode, result.err), (1, "Corrupt zip file found when exstacting m07.txt\n"))
        self.assertEqual(sorted(os.listdir(out)), ["m%02d.txt" % n for n in range(20) if n != 7])

    def zip_of(self, label, entries):
        archive = self.path(label + ".zip")
        with warnings.catch_warnings(), zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as zf:
            warnings.simplefilter("ignore")  # duplicate names are the point
            for name, data in entries:
                zf.writestr(name, data)
        return archive

    def extracted_with_messages(self, archive, threads):
        out = self.path("out")
        shutil.rmtree(out, ignore_errors=True)
        result = cli.run("extract", cli.native(archive), cli.native(out), "--threads", threads, check=False)
        return self.files_below(out), result.err, result.returncode

    def test_one_thread_and_three_leave_the_same_files_and_messages(self):
        big = os.urandom(3 << 20)
        temporaries = [("~packrook%d.tmp" % n, b"%d" % n) for n in range(1, 1001)]
        cases = {
            "collision": [("big1.bin", big), ("~packrook1.tmp", b"thirteen byte"), ("bad.txt", b"to be damaged")],
            "duplicates": [("dup.txt", b"first"), ("dup.txt", b"second")],
            "file before folder": [("a", b"file a"), ("a/b", b"below a")],
            "exhaustion": temporaries + [("after.txt", b"after")],
        }
        expected = {"collision": {"big1.bin": big, "~packrook1.tmp": b"thirteen byte"},
                    "duplicates": {"dup.txt": b"second"}, "file before folder": {"a": b"file a"},
                    "exhaustion": dict(cases["exhaustion"])}
        if WINDOWS:
            cases["case only"] = [("Read.me", b"1"), ("read.me", b"2"), ("READ.ME", b"3")]
            expected["case only"] = {"READ.ME": b"3"}
        for label, entries in cases.items():
            with self.subTest(label):
                archive = self.zip_of(label, entries)
                with open(archive, "r+b") as f:
                    data = f.read()
                    if b"to be damaged" in data:
                        f.seek(data.index(b"to be damaged"))
                        f.write(b"To")
                one = self.extracted_with_messages(archive, "1")
                self.assertEqual(self.extracted_with_messages(archive, "3"), one)
                self.assertEqual(one[0], expected[label])
