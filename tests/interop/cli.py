"""Runs packrook-cli, natively or through the cross build's emulator, for the
interoperability tests. The tests take the program (and the emulator, if
any) from the environment that ctest sets."""
import os
import struct
import subprocess
import tempfile
import unittest
import zipfile

CLI = os.environ.get("PACKROOK_CLI", "")
EMULATOR = os.environ.get("PACKROOK_EMULATOR", "")
PATH_PREFIX = os.environ.get("PACKROOK_PATH_PREFIX", "")
# Tests that make a program work through 4 GiB run on the native build only.
FULL_SIZE = os.environ.get("PACKROOK_FULL_SIZE_TESTS") == "1"


def native(path):
    """The path as the program under test spells it."""
    return PATH_PREFIX + path


def run(*arguments, check=True, program=CLI, cwd=None):
    command = ([EMULATOR] if EMULATOR else []) + [program] + [str(a) for a in arguments]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600, cwd=cwd)
    result.out = result.stdout.decode("latin-1").replace("\r\n", "\n")
    result.err = result.stderr.decode("latin-1").replace("\r\n", "\n")
    if check and result.returncode != 0:
        raise AssertionError("%s exited %d: %s" % (arguments, result.returncode, result.err))
    return result


def refused(result):
    """The names listed in the one warning of an extraction that left entries out."""
    lines = result.err[result.err.index("These entries were not extracted: "):].split("\n")
    return [line for line in lines[2:] if line]


def listing(archive):
    """packrook-cli's listing as (uncompressed, compressed, crc, attributes, encryption, name) tuples."""
    lines = run("list", native(archive)).out.splitlines()
    return [tuple(line.split("\t")) for line in lines]


def names(archive):
    """The entry names packrook-cli lists: UTF-8 under wine as natively."""
    return [name.encode("latin-1").decode("utf-8") for *_, name in listing(archive)]


def attribute_letters(external):
    letters = ""
    for bit, text in ((0x01, "R"), (0x02, "H"), (0x04, "S"), (0x08, "VL"), (0x10, "SD"), (0x20, "A")):
        if external & bit:
            letters += text
    return letters


def aes_strength(extra):
    """The key strength (1, 2, 3) of an extra field's AES block, or None."""
    at = 0
    while at + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, at)
        if tag == 0x9901 and size >= 7:
            return extra[at + 8]
        at += 4 + size
    return None


def encryption_name(info):
    if not info.flag_bits & 1:
        return "-"
    strength = aes_strength(info.extra)
    return "AES-%d" % (64 + 64 * strength) if strength else "ZipCrypto"


def python_listing(archive):
    """The same listing as Python's zipfile reads it, in archive order."""
    with zipfile.ZipFile(archive) as zf:
        infos = sorted(zf.infolist(), key=lambda i: i.header_offset)
        return [(str(i.file_size), str(i.compress_size), "%08x" % i.CRC, attribute_letters(i.external_attr & 0xFF),
                 encryption_name(i), i.orig_filename) for i in infos]


class Peers:
    """Each peer's integrity test of an archive, with a password where
    encrypted; only the named entries when some are named."""

    @staticmethod
    def unzip(archive, password=None, only=()):
        command = ["unzip", "-tq"] + (["-P", password] if password else []) + [archive] + list(only)
        return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT).returncode == 0

    @staticmethod
    def seven_zip(archive, password=None, only=()):
        """7z exits 0 on what it only warns about, a headers error among them."""
        command = ["7z", "t", "-tzip", "-p" + (password or ""), archive] + list(only)
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        return result.returncode == 0 and b"WARNING" not in result.stdout

    @staticmethod
    def python(archive, password=None, only=()):
        with zipfile.ZipFile(archive) as zf:
            if password:
                zf.setpassword(password.encode())
            if not only:
                return zf.testzip() is None
            for name in only:
                zf.read(name)
            return True

    @classmethod
    def rejecting(cls, archive, password=None, only=()):
        """The peers that find fault with the archive."""
        return [peer.__name__ for peer in (cls.unzip, cls.seven_zip, cls.python)
                if not peer(archive, password, only)]


class CliTestCase(unittest.TestCase):
    """Gives each test a temporary folder."""

    def setUp(self):
        if not CLI:
            self.skipTest("PACKROOK_CLI is not set")
        self._tmp = tempfile.TemporaryDirectory(prefix="packrook-")
        self.tmp = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def write(self, relative, data, mode="wb"):
        full = self.path(relative)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, mode) as f:
            f.write(data)
        return full

    def make_tree(self):
        """A folder tree with text, incompressible data, an empty file and subfolders."""
        root = self.path("tree")
        self.write("tree/readme.txt", b"Packrook\n" * 10)
        self.write("tree/docs/words.txt", b"lorem ipsum dolor sit amet " * 3000)
        self.write("tree/docs/deep/noise.bin", os.urandom(70000))
        self.write("tree/docs/empty.txt", b"")
        return root

    def sh(self, *command, cwd=None, input=None):
        subprocess.run(command, cwd=cwd, check=True, input=input, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
