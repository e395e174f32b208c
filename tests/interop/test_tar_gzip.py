"""packrook-cli reads tar files written by GNU tar and bsdtar, and gzip files
written by gzip and Python, the way those tools read them back."""
import gzip
import io
import os
import subprocess
import tarfile

import cli


def tree_contents(root):
    """Every folder and file under root: folders map to None, files to their bytes."""
    found = {}
    for folder, folders, files in os.walk(root):
        for name in folders:
            found[os.path.relpath(os.path.join(folder, name), root)] = None
        for name in files:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    found[os.path.relpath(path, root)] = f.read()
    return found


class TarFiles(cli.CliTestCase):
    def make_source(self):
        root = self.path("src")
        long_folder = "f" * 70 + "/" + "g" * 60
        self.write("src/readme.txt", b"tar me\n" * 20)
        self.write("src/docs/empty.txt", b"")
        self.write("src/docs/big.bin", os.urandom(3 * 1024 * 1024))
        self.write("src/%s/%s.txt" % (long_folder, "n" * 110), b"a long name\n")
        os.makedirs(self.path("src/docs/nothing-inside"))
        return root

    def tar_files(self):
        source = self.make_source()
        made = {}
        for form in ("gnu", "ustar", "pax"):
            made[form] = self.path(form + ".tar")
            if form == "ustar":  # ustar cannot hold a 110-character final component
                self.sh("tar", "--format=ustar", "-cf", made[form], "--exclude=" + "n" * 110 + ".txt", "-C",
                        source, ".")
            else:
                self.sh("tar", "--format=" + form, "-cf", made[form], "-C", source, ".")
        made["bsdtar"] = self.path("bsd.tar")
        self.sh("bsdtar", "-cf", made["bsdtar"], "-C", source, ".")
        return made

    def test_listing_matches_tar(self):
        for form, archive in self.tar_files().items():
            with self.subTest(form=form):
                names = subprocess.run(["tar", "-tf", archive], stdout=subprocess.PIPE, check=True).stdout
                listed = cli.listing(archive)
                self.assertEqual([name for *_, name in listed], names.decode().splitlines())
                with tarfile.open(archive) as tf:
                    sizes = [str(m.size) for m in tf.getmembers()]
                self.assertEqual([size for size, *_ in listed], sizes)
                self.assertIn(3 * 1024 * 1024, [int(size) for size, *_ in listed])

    def test_extraction_matches_tar(self):
        for form, archive in self.tar_files().items():
            with self.subTest(form=form):
                ours, theirs = self.path("ours-" + form), self.path("theirs-" + form)
                os.makedirs(theirs)
                cli.run("extract", cli.native(archive), cli.native(ours))
                self.sh("tar", "-xf", archive, "-C", theirs)
                self.assertEqual(tree_contents(ours), tree_contents(theirs))

    def test_links_list_and_extract_as_empty_files(self):
        self.write("linked/target.txt", b"target\n")
        os.symlink("target.txt", self.path("linked/soft"))
        os.link(self.path("linked/target.txt"), self.path("linked/hard"))
        archive = self.path("links.tar")
        self.sh("tar", "-cf", archive, "-C", self.path("linked"), "target.txt", "soft", "hard")
        self.assertEqual([name for *_, name in cli.listing(archive)], ["target.txt", "soft", "hard"])
        cli.run("extract", cli.native(archive), cli.native(self.path("out")))
        for link in ("soft", "hard"):
            self.assertFalse(os.path.islink(self.path("out", link)))
            self.assertEqual(os.path.getsize(self.path("out", link)), 0)

    def test_members_that_would_leave_the_destination_are_refused(self):
        archive = self.path("evil.tar")
        with tarfile.open(archive, "w", format=tarfile.GNU_FORMAT) as tf:
            for name in ("../escaped.txt", "/absolute.txt", "fine/../../up.txt", "good.txt"):
                info = tarfile.TarInfo(name)
                info.size = 4
                tf.addfile(info, io.BytesIO(b"evil"))
        destination = self.path("inside", "dest")
        result = cli.run("extract", cli.native(archive), cli.native(destination), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(cli.refused(result)), 3, result.err)
        self.assertEqual(os.listdir(destination), ["good.txt"])
        self.assertFalse(os.path.exists(self.path("inside", "escaped.txt")))
        self.assertFalse(os.path.exists(self.path("up.txt")))


class GzipFiles(cli.CliTestCase):
    def check_member(self, archive, name, content):
        listed = cli.listing(archive)
        self.assertEqual(listed, [(str(len(content)), str(os.path.getsize(archive)), "00000000", "", "-", name)])
        out = self.path("out-" + os.path.basename(archive))
        cli.run("extract", cli.native(archive), cli.native(out))
        with open(os.path.join(out, name), "rb") as f:
            self.assertEqual(f.read(), content)

    def test_gzip_and_python_gzip(self):
        content = b"gzip me, twice\n" * 50000
        self.write("by-gzip.txt", content)
        self.sh("gzip", "-9", self.path("by-gzip.txt"))
        self.check_member(self.path("by-gzip.txt.gz"), "by-gzip.txt", content)
        self.write("by-python.log.gz", gzip.compress(content))
        self.check_member(self.path("by-python.log.gz"), "by-python.log", content)

    def test_tgz_is_one_member_holding_the_tar_stream(self):
        self.write("src/a.txt", b"a" * 1000)
        archive = self.path("backup.tgz")
        self.sh("tar", "-czf", archive, "-C", self.path("src"), "a.txt")
        stream = subprocess.run(["gzip", "-dc", archive], stdout=subprocess.PIPE, check=True).stdout
        self.check_member(archive, "backup", stream)

    def test_plain_file_named_gz_reads_through(self):
        content = b"this was never compressed\n" * 10
        self.check_member(self.write("plain.txt.gz", content), "plain.txt", content)

    def test_missing_file(self):
        result = cli.run("list", cli.native(self.path("missing.gz")), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("No such file", result.err)


if __name__ == "__main__":
    import unittest
    unittest.main()
