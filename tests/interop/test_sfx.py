"""Self-extracting programs made by packrook-cli sfx are zip archives to every
peer tool, and exe-params reads and rewrites their two parameters."""
import os
import shutil
import subprocess
import unittest
import zipfile

import cli


class SelfExtractingPrograms(cli.CliTestCase):
    def make_program(self, *options):
        tree = self.make_tree()
        archive = self.path("source.zip")
        self.sh("zip", "-q", "-r", archive, ".", cwd=tree)
        program = self.path("setup.exe")
        cli.run("sfx", cli.native(archive), cli.native(program), *options)
        return archive, program

    def test_peers_read_the_program_as_the_archive(self):
        archive, program = self.make_program("--install-dir", "C:\\Program Files\\Demo", "--run", "readme.txt")
        self.assertGreater(os.path.getsize(program), os.path.getsize(archive))
        self.assertEqual(cli.listing(program), cli.listing(archive))
        self.assertEqual(cli.python_listing(program), cli.python_listing(archive))
        self.sh("unzip", "-tq", program)
        self.sh("7z", "t", program)
        with zipfile.ZipFile(program) as ours, zipfile.ZipFile(archive) as theirs:
            for name in theirs.namelist():
                self.assertEqual(ours.read(name), theirs.read(name), name)

    def test_parameters_read_back_and_rewrite(self):
        _, program = self.make_program("--install-dir", "$$PROGRAMFILES$$\\Demo", "--run", "docs\\words.txt")
        self.assertEqual(cli.run("exe-params", cli.native(program)).out, "$$PROGRAMFILES$$\\Demo\ndocs\\words.txt\n")
        for install_dir, run_file in (("D:\\" + "x" * 500, ""), ("", "go.exe"), ("C:\\Tools", "bin\\a.exe")):
            result = cli.run("exe-params", cli.native(program), "--set", install_dir, run_file)
            self.assertEqual(result.out, "%s\n%s\n" % (install_dir, run_file))
        self.sh("unzip", "-tq", program)

    def test_no_parameters_in_an_ordinary_archive(self):
        archive, _ = self.make_program()
        result = cli.run("exe-params", cli.native(archive), check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("Not a self-extracting program", result.err)

    def test_refused_conversions_leave_nothing(self):
        archive, _ = self.make_program()
        target = self.path("refused.exe")
        result = cli.run("sfx", cli.native(archive), cli.native(target), "--install-dir", "d" * 849, check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("too long", result.err)
        self.assertFalse(os.path.exists(target))
        missing = cli.run("sfx", cli.native(self.path("missing.zip")), cli.native(target), check=False)
        self.assertEqual(missing.returncode, 1)
        self.assertFalse(os.path.exists(target))

    def test_the_stub_is_taken_from_beside_the_program_wherever_it_lies(self):
        # A folder past the classic 260-character limit of a path, and a
        # current folder without a stub.
        folder = self.path(os.path.join(*["f" * 60] * 5))
        os.makedirs(folder)
        for name in (os.path.basename(cli.CLI), "Sledstub.dll"):
            shutil.copy(os.path.join(os.path.dirname(cli.CLI), name), folder)
        archive, _ = self.make_program()
        program = self.path("moved.exe")
        cli.run("sfx", cli.native(archive), cli.native(program),
                program=os.path.join(folder, os.path.basename(cli.CLI)), cwd=self.path(""))
        self.assertEqual(cli.listing(program), cli.listing(archive))


if __name__ == "__main__":
    unittest.main()
