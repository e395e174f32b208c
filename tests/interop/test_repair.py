"""Archives of ours and of the peers, cut short at every local header,
inside data and inside the directory, as a change or a copy broken off
leaves them: packrook-cli repair brings back every entry whose data is
complete, CRC-checked, in a new archive that every peer accepts, and never
touches the damaged one."""
import io
import os
import struct
import zipfile

import cli

PASSWORD = "s3cret"
CONTENTS = {
    "readme.txt": b"Packrook\n" * 40,
    "docs/words.txt": b"lorem ipsum dolor sit amet " * 800,
    "docs/noise.bin": os.urandom(3000),
    "docs/empty.txt": b"",
}


class Unseekable(io.RawIOBase):
    """A stream Python's zipfile cannot seek back in: it then writes data descriptors."""

    def __init__(self, target):
        self.target = target

    def writable(self):
        return True

    def write(self, data):
        return self.target.write(data)


def extents(archive):
    """(name, start, end) of each entry in file order: from its local header
    to the end of its data and descriptor."""
    with zipfile.ZipFile(archive) as zf, open(archive, "rb") as f:
        blob = f.read()
        infos = sorted(zf.infolist(), key=lambda i: i.header_offset)
        directory = zf.start_dir
    result = []
    for info in infos:
        name_length, extra_length = struct.unpack_from("<HH", blob, info.header_offset + 26)
        end = info.header_offset + 30 + name_length + extra_length + info.compress_size
        if info.flag_bits & 0x08:
            zip64 = info.compress_size >= 0xFFFFFFFF
            end += (4 if blob[end:end + 4] == b"PK\x07\x08" else 0) + (20 if zip64 else 12)
        result.append((info.filename, info.header_offset, end))
    return result, directory


def cut_points(archive):
    """Every local header boundary, inside each entry's data, and inside the
    directory (the engine's tests cut their archive at every byte)."""
    entries, directory = extents(archive)
    points = {directory + 10, os.path.getsize(archive) - 8}
    for _, start, end in entries:
        points.update({start, (start + end) // 2, end})
    return sorted(points)


class RepairTestCase(cli.CliTestCase):
    def sources(self):
        for name, data in CONTENTS.items():
            self.write("src/" + name, data)
        return self.path("src")

    def made_by_ours(self, name, *options):
        archive = self.path(name)
        cli.run("add", cli.native(archive), *options, *[cli.native(self.path("src", n)) for n in CONTENTS])
        return archive, {os.path.basename(name): data for name, data in CONTENTS.items()}

    def made_by_zip(self, name, *options):
        archive = self.path(name)
        self.sh("zip", "-q", *options, archive, *CONTENTS, cwd=self.sources())
        return archive, dict(CONTENTS)

    def made_by_zip_stream(self, name):
        archive = self.path(name)
        with open(self.path("src", "docs/words.txt"), "rb") as words:
            self.sh("sh", "-c", "zip -q - - > '%s'" % archive, input=words.read())
        return archive, {"-": CONTENTS["docs/words.txt"]}

    def made_by_7z(self, name, *options):
        archive = self.path(name)
        self.sh("7z", "a", "-tzip", *options, archive, *CONTENTS, cwd=self.sources())
        return archive, dict(CONTENTS)

    def made_by_python(self, name, stream, compression):
        archive = self.path(name)
        with open(archive, "wb") as f:
            with zipfile.ZipFile(Unseekable(f) if stream else f, "w", compression) as zf:
                for entry, data in CONTENTS.items():
                    zf.writestr(entry, data)
        return archive, dict(CONTENTS)

    def check_repair(self, archive, contents, password=None, peers=("unzip", "seven_zip", "python")):
        entries, _ = extents(archive)
        original = open(archive, "rb").read()
        for cut in cut_points(archive):
            with self.subTest(archive=os.path.basename(archive), cut=cut):
                damaged = self.path("cut.zip")
                repaired = self.path("cut.repaired.zip")
                for path in (damaged, repaired):
                    if os.path.exists(path):
                        os.remove(path)
                with open(damaged, "wb") as f:
                    f.write(original[:cut])
                expected = [name for name, _, end in entries if end <= cut]
                result = cli.run("repair", cli.native(damaged), check=False)
                self.assertEqual(open(damaged, "rb").read(), original[:cut])
                if not expected:
                    self.assertNotEqual(result.returncode, 0)
                    self.assertFalse(os.path.exists(repaired))
                    continue
                self.assertEqual(result.returncode, 0, result.err)
                with zipfile.ZipFile(repaired) as zf:
                    self.assertEqual(zf.namelist(), expected)
                    if "python" in peers:
                        zf.setpassword(PASSWORD.encode())
                        self.assertEqual({n: zf.read(n) for n in expected}, {n: contents[n] for n in expected})
                rejecting = [peer for peer in peers if not getattr(cli.Peers, peer)(repaired, password)]
                self.assertEqual(rejecting, [])
                if password:
                    cli.run("test", cli.native(repaired), "--password", password)

    def test_archives_of_ours(self):
        self.sources()
        self.check_repair(*self.made_by_ours("ours.zip"))
        self.check_repair(*self.made_by_ours("ours-stored.zip", "--level", "none"))
        self.check_repair(*self.made_by_ours("ours-zipcrypto.zip", "--password", PASSWORD), password=PASSWORD)
        self.check_repair(*self.made_by_ours("ours-aes.zip", "--password", PASSWORD, "--encryption", "aes256"),
                          password=PASSWORD, peers=("seven_zip",))

    def test_archives_of_zip(self):
        self.sources()
        self.check_repair(*self.made_by_zip("zip.zip"))
        self.check_repair(*self.made_by_zip("zip-descriptors.zip", "-fd"))
        self.check_repair(*self.made_by_zip("zip-encrypted.zip", "-P", PASSWORD), password=PASSWORD)
        self.check_repair(*self.made_by_zip_stream("zip-stream.zip"))

    def test_archives_of_7z(self):
        self.sources()
        self.check_repair(*self.made_by_7z("7z.zip"))
        self.check_repair(*self.made_by_7z("7z-aes.zip", "-mem=AES256", "-p" + PASSWORD), password=PASSWORD,
                          peers=("seven_zip",))

    def test_archives_of_python(self):
        for stream in (False, True):
            for compression in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
                self.check_repair(*self.made_by_python("python-%d-%d.zip" % (stream, compression), stream,
                                                       compression))

    def test_damaged_original_and_existing_target_stay(self):
        archive, _ = self.made_by_python("python.zip", False, zipfile.ZIP_DEFLATED)
        _, directory = extents(archive)
        with open(archive, "r+b") as f:
            f.truncate(directory)
        target = self.write("taken.zip", b"someone else's file")
        result = cli.run("repair", cli.native(archive), cli.native(target), check=False)
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(open(target, "rb").read(), b"someone else's file")
        self.assertIn("Not an archive", cli.run("list", cli.native(archive), check=False).err)
        self.assertEqual(os.path.getsize(archive), directory)


if __name__ == "__main__":
    import unittest
    unittest.main()
