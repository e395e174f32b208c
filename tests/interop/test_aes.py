"""AES-encrypted entries: what 7z writes with -mem=AES* packrook-cli reads,
what packrook-cli writes with --encryption aes256 7z reads, and a wrong
password or damaged data is told apart and leaves no file behind."""
import filecmp
import os
import struct
import subprocess
import zipfile
import zlib

import cli

PASSWORD = "Tr0ub4dor & 3"
SEVEN_ZIP_LEVELS = {"stored": "-mx=0", "deflated": "-mx=5"}


def local_data_offsets(archive):
    """Where each entry's data starts, by name."""
    offsets = {}
    with zipfile.ZipFile(archive) as zf, open(archive, "rb") as f:
        for info in zf.infolist():
            f.seek(info.header_offset + 26)
            name_length, extra_length = struct.unpack("<HH", f.read(4))
            offsets[info.filename] = info.header_offset + 30 + name_length + extra_length
    return offsets


def patch(archive, offset, data):
    with open(archive, "r+b") as f:
        f.seek(offset)
        f.write(data)


def make_ae1(archive, name, crc):
    """Turns an AE-2 entry into AE-1: the vendor version in both records'
    AES blocks becomes 1 and both records get the data's CRC."""
    with open(archive, "rb") as f:
        blob = bytearray(f.read())
    for signature, crc_at in ((b"PK\x03\x04", 14), (b"PK\x01\x02", 16)):
        at = blob.find(signature)
        while at >= 0:
            fixed = 30 if signature == b"PK\x03\x04" else 46
            name_length, extra_length = struct.unpack_from("<HH", blob, at + fixed - (4 if fixed == 30 else 18))
            if blob[at + fixed:at + fixed + name_length] == name.encode():
                struct.pack_into("<I", blob, at + crc_at, crc)
                extra = at + fixed + name_length
                block = blob.find(b"\x01\x99\x07\x00", extra, extra + extra_length)
                struct.pack_into("<H", blob, block + 4, 1)
            at = blob.find(signature, at + 1)
    with open(archive, "wb") as f:
        f.write(blob)


class AesTestCase(cli.CliTestCase):
    def sources(self):
        """Compressible, incompressible and empty files in one folder."""
        self.write("src/words.txt", b"lorem ipsum dolor sit amet " * 4000)
        self.write("src/noise.bin", os.urandom(70000))
        self.write("src/empty.txt", b"")
        return self.path("src")

    def assert_same_files(self, extracted):
        comparison = filecmp.dircmp(self.path("src"), extracted)
        self.assertEqual(comparison.left_only + comparison.right_only + comparison.diff_files, [])


class ReadingAes(AesTestCase):
    def seven_zip(self, archive, strength, level):
        self.sh("7z", "a", "-tzip", "-mem=AES%d" % strength, level, "-p" + PASSWORD, archive, ".", cwd=self.sources())

    def extracted_matches(self, archive, password=PASSWORD):
        out = self.path("out-" + os.path.basename(archive))
        cli.run("extract", cli.native(archive), cli.native(out), "--password", password)
        self.assert_same_files(out)

    def test_every_key_size_stored_and_deflated(self):
        for strength in (128, 192, 256):
            for form, level in SEVEN_ZIP_LEVELS.items():
                with self.subTest(strength=strength, form=form):
                    archive = self.path("7z-%d-%s.zip" % (strength, form))
                    self.seven_zip(archive, strength, level)
                    listed = cli.listing(archive)
                    self.assertEqual(listed, cli.python_listing(archive))
                    self.assertEqual({entry[4] for entry in listed}, {"AES-%d" % strength})
                    cli.run("test", cli.native(archive), "--password", PASSWORD)
                    self.extracted_matches(archive)

    def test_ae1_checks_the_crc_too(self):
        archive = self.path("ae1.zip")
        self.seven_zip(archive, 256, SEVEN_ZIP_LEVELS["deflated"])
        words = self.path("src", "words.txt")
        with open(words, "rb") as f:
            crc = zlib.crc32(f.read())
        make_ae1(archive, "words.txt", crc)
        cli.run("test", cli.native(archive), "--password", PASSWORD)
        self.extracted_matches(archive)
        make_ae1(archive, "words.txt", crc ^ 1)
        result = cli.run("test", cli.native(archive), "--password", PASSWORD, check=False)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("Corrupt zip file found when exstacting words.txt", result.err)

    def test_a_wrong_password_is_no_damage_and_leaves_nothing(self):
        archive = self.path("wrong.zip")
        self.seven_zip(archive, 256, SEVEN_ZIP_LEVELS["deflated"])
        result = cli.run("test", cli.native(archive), "--password", "not it", check=False)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("Encryption problem", result.err)
        self.assertNotIn("Corrupt", result.err)
        out = self.path("out")
        self.assertNotEqual(cli.run("extract", cli.native(archive), cli.native(out), "--password", "not it",
                                    check=False).returncode, 0)
        self.assertEqual([name for _, _, names in os.walk(out) for name in names], [])

    def test_one_flipped_byte_is_damage_and_leaves_no_file(self):
        for form, level in SEVEN_ZIP_LEVELS.items():
            with self.subTest(form=form):
                archive = self.path("flipped-%s.zip" % form)
                self.seven_zip(archive, 256, level)
                # Past the salt and verifier, inside the encrypted data.
                at = local_data_offsets(archive)["noise.bin"] + 16 + 2 + 500
                with open(archive, "rb") as f:
                    f.seek(at)
                    byte = f.read(1)[0]
                patch(archive, at, bytes([byte ^ 0x20]))
                result = cli.run("test", cli.native(archive), "--password", PASSWORD, check=False)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("Corrupt zip file found when exstacting noise.bin", result.err)
                out = self.path("out-" + form)
                cli.run("extract", cli.native(archive), cli.native(out), "--password", PASSWORD, check=False)
                self.assertFalse(os.path.exists(os.path.join(out, "noise.bin")))


class WritingAes(AesTestCase):
    def add(self, archive, *arguments):
        cli.run("add", cli.native(archive), *arguments)

    def seven_zip_accepts(self, archive, password=PASSWORD):
        result = subprocess.run(["7z", "t", "-p" + password, archive], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        return result.returncode == 0

    def test_seven_zip_reads_ours_stored_deflated_and_empty(self):
        tree = self.sources()
        for level in ("normal", "none"):
            with self.subTest(level=level):
                archive = self.path("ours-%s.zip" % level)
                self.add(archive, "--level", level, "--encryption", "aes256", "--password", PASSWORD,
                         cli.native(tree))
                self.assertEqual({entry[4] for entry in cli.listing(archive)}, {"AES-256"})
                self.assertEqual(cli.listing(archive), cli.python_listing(archive))
                self.assertTrue(self.seven_zip_accepts(archive))
                self.assertFalse(self.seven_zip_accepts(archive, "wrong"))
                out = self.path("7z-" + level)
                self.sh("7z", "x", "-p" + PASSWORD, "-o" + out, archive)
                self.assert_same_files(out)
                with zipfile.ZipFile(archive) as zf:
                    infos = zf.infolist()
                # AE-2: no CRC stored; every entry its own salt.
                self.assertEqual({info.CRC for info in infos}, {0})
                with open(archive, "rb") as f:
                    blob = f.read()
                salts = {blob[at:at + 16] for at in local_data_offsets(archive).values()}
                self.assertEqual(len(salts), len(infos))

    def test_password_without_a_choice_is_zip_2_0(self):
        archive = self.path("default.zip")
        self.add(archive, "--password", PASSWORD, cli.native(self.write("a.txt", b"alpha")))
        self.assertEqual(cli.listing(archive)[0][4], "ZipCrypto")
        self.assertTrue(cli.Peers.unzip(archive, PASSWORD))
        result = cli.run("add", cli.native(archive), "--encryption", "aes", "--password", PASSWORD,
                         cli.native(self.path("a.txt")), check=False)
        self.assertEqual(result.returncode, 2)

    def test_mixed_archive_survives_every_change(self):
        archive = self.path("mixed.zip")
        self.add(archive, cli.native(self.write("plain.txt", b"plain " * 1000)))
        self.add(archive, "--password", PASSWORD, cli.native(self.write("old.txt", b"zip 2.0 " * 1000)))
        self.add(archive, "--encryption", "aes256", "--password", PASSWORD,
                 cli.native(self.write("strong.txt", b"aes " * 1000)), cli.native(self.write("gone.txt", b"x")))
        self.assertEqual([(entry[4], entry[5]) for entry in cli.listing(archive)],
                         [("-", "plain.txt"), ("ZipCrypto", "old.txt"), ("AES-256", "strong.txt"),
                          ("AES-256", "gone.txt")])
        cli.run("delete", cli.native(archive), "gone.txt")
        cli.run("comment", cli.native(archive), "still whole")
        self.add(archive, cli.native(self.write("later.txt", b"later")))
        program = self.path("setup.exe")
        cli.run("sfx", cli.native(archive), cli.native(program))
        for whole in (archive, program):
            with self.subTest(archive=os.path.basename(whole)):
                self.assertEqual([entry[5] for entry in cli.listing(whole)],
                                 ["plain.txt", "old.txt", "strong.txt", "later.txt"])
                cli.run("test", cli.native(whole), "--password", PASSWORD)
                self.assertTrue(self.seven_zip_accepts(whole))
