"""packrook-cli list agrees with what other tools wrote and report."""
import os
import subprocess
import unittest
import zipfile

import cli


class ListArchivesOfOtherTools(cli.CliTestCase):
    def check_against_peers(self, archive):
        ours = cli.listing(archive)
        self.assertEqual(ours, cli.python_listing(archive))
        names = subprocess.run(["unzip", "-Z1", archive], stdout=subprocess.PIPE, check=True).stdout
        self.assertEqual(sorted(n for *_, n in ours), sorted(names.decode("latin-1").splitlines()))
        return ours

    def test_info_zip_levels_folders_comment_and_empty_file(self):
        tree = self.make_tree()
        for flags in (["-r"], ["-r", "-0"], ["-r", "-9"], ["-r", "-D"]):
            archive = self.path("zip%s.zip" % "".join(flags))
            self.sh("zip", "-q", "-z", *flags, archive, ".", cwd=tree, input=b"comment by zip -z\n")
            listed = self.check_against_peers(archive)
            self.assertIn("docs/empty.txt", [name for *_, name in listed])
            self.assertEqual(cli.run("comment", cli.native(archive)).out, "comment by zip -z\n")

    def test_7z_zip(self):
        tree = self.make_tree()
        archive = self.path("7z.zip")
        self.sh("7z", "a", "-tzip", archive, ".", cwd=tree)
        self.check_against_peers(archive)

    def test_python_thousand_entries(self):
        archive = self.path("many.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zf:
            for n in range(1000):
                zf.writestr("d%02d/f%04d.txt" % (n % 13, n), "x" * n)
        self.assertEqual(len(self.check_against_peers(archive)), 1000)

    def test_directory_order_differs_from_data_order(self):
        archive = self.path("reordered.zip")
        with zipfile.ZipFile(archive, "w") as zf:
            for name in "abcdef":
                zf.writestr(name + ".txt", name * 100)
            zf.filelist.reverse()
        listed = self.check_against_peers(archive)
        self.assertEqual([name for *_, name in listed], [c + ".txt" for c in "abcdef"])


class ListFailures(cli.CliTestCase):
    def test_not_an_archive(self):
        plain = self.write("plain.zip", b"just text, no archive here\n" * 10)
        result = cli.run("list", cli.native(plain), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("Not an archive", result.err)

    def test_missing_file(self):
        result = cli.run("list", cli.native(self.path("missing.zip")), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertFalse(os.path.exists(self.path("missing.zip")), "listing must not create the file")

    def test_engine_message_for_a_damaged_directory(self):
        archive = self.path("damaged.zip")
        with zipfile.ZipFile(archive, "w") as zf:
            zf.writestr("a.txt", "a")
        with open(archive, "rb") as f:
            data = bytearray(f.read())
        data[data.rfind(b"PK\x01\x02") + 28] = 0xFF  # name length past the end
        with open(archive, "wb") as f:
            f.write(bytes(data))
        result = cli.run("list", cli.native(archive), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.err.startswith("Currupt zip file "), result.err)

    def test_wrong_usage(self):
        for arguments in ([], ["frobnicate"], ["list"], ["list", "a", "b"], ["list", "--bogus", "a"]):
            result = cli.run(*arguments, check=False)
            self.assertEqual(result.returncode, 2, arguments)
            self.assertIn("usage", result.err)


if __name__ == "__main__":
    unittest.main()
