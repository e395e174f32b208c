#!/usr/bin/env python3
"""Writes the sample archives under tests/testdata with the peer tools (Info-ZIP
zip, 7z, Python's zipfile) and, beside each, a ".list" file: the listing those
archives must produce, one line per entry in archive order, computed here with
Python's zipfile (uncompressed size, compressed size, CRC-32, attribute
letters, stored name, tab-separated).

Run it again only to add samples: the archives are committed, and tests
compare against the committed copies."""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "testdata")
sys.path.insert(0, os.path.join(HERE, "..", "tests", "interop"))
import cli  # noqa: E402  (the listing format the tests compare against)
FIXED_TIME = (2024, 5, 17, 13, 45, 58)


def write_listing(archive):
    with open(archive + ".list", "w") as listing:
        listing.write("".join("\t".join(fields) + "\n" for fields in cli.python_listing(archive)))


def make_tree(root):
    """A small folder tree: text, a compressible and an incompressible file,
    an empty file and a nested folder."""
    os.makedirs(os.path.join(root, "docs", "deep"))
    with open(os.path.join(root, "readme.txt"), "w") as f:
        f.write("Packrook sample archive.\n")
    with open(os.path.join(root, "docs", "words.txt"), "w") as f:
        f.write("lorem ipsum dolor sit amet " * 2000)
    with open(os.path.join(root, "docs", "deep", "noise.bin"), "wb") as f:
        f.write(os.urandom(40000))
    open(os.path.join(root, "docs", "empty.txt"), "w").close()
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            stamp = 1715953558  # a fixed time keeps the archives reproducible
            os.utime(os.path.join(dirpath, name), (stamp, stamp))


def run(cwd, *command):
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL)


def info_zip_samples(tree):
    subprocess.run(["zip", "-q", "-r", "-z", os.path.join(OUT, "infozip_recursive.zip"), "."], cwd=tree,
                   check=True, input=b"An archive comment from zip -z\n")
    run(tree, "zip", "-q", "-r", "-0", os.path.join(OUT, "infozip_stored.zip"), ".")
    run(tree, "zip", "-q", "-r", "-9", os.path.join(OUT, "infozip_best.zip"), ".")
    run(tree, "zip", "-q", "-P", "secret", os.path.join(OUT, "infozip_encrypted.zip"), "readme.txt",
        "docs/words.txt", "docs/empty.txt")
    run(tree, "zip", "-q", "-Z", "bzip2", os.path.join(OUT, "infozip_bzip2.zip"), "docs/words.txt")


def seven_zip_samples(tree):
    run(tree, "7z", "a", "-tzip", os.path.join(OUT, "sevenzip.zip"), ".")
    run(tree, "7z", "a", "-tzip", "-mem=ZipCrypto", "-psecret", os.path.join(OUT, "sevenzip_encrypted.zip"),
        "readme.txt", "docs")


def python_samples():
    with zipfile.ZipFile(os.path.join(OUT, "python_1000.zip"), "w", zipfile.ZIP_DEFLATED) as zf:
        for n in range(1000):
            info = zipfile.ZipInfo("entries/file%04d.txt" % n, FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            zf.writestr(info, "entry number %d\n" % n * (n % 7 + 1))
    # The directory lists the entries in the reverse of their order in the file.
    with zipfile.ZipFile(os.path.join(OUT, "python_reordered.zip"), "w", zipfile.ZIP_STORED) as zf:
        for name in ("first.txt", "second.txt", "third.txt"):
            zf.writestr(zipfile.ZipInfo(name, FIXED_TIME), "content of %s\n" % name)
        zf.filelist.reverse()
    # Two entries with one name, and names that differ only in case.
    with zipfile.ZipFile(os.path.join(OUT, "python_names.zip"), "w", zipfile.ZIP_DEFLATED) as zf:
        zf.writestr(zipfile.ZipInfo("dir/file.txt", FIXED_TIME), "lower\n")
        zf.writestr(zipfile.ZipInfo("Dir/File.txt", FIXED_TIME), "upper\n")
        import warnings
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            zf.writestr(zipfile.ZipInfo("dir/file.txt", FIXED_TIME), "second of the same name\n")
        info = zipfile.ZipInfo("attrs.txt", FIXED_TIME)
        info.external_attr = 0x21
        zf.writestr(info, "read-only and archive\n")
        zf.writestr(zipfile.ZipInfo("folder/", FIXED_TIME), "")
    language_samples()


# Names beyond any one code page, an emoji beyond 16 bits among them; each
# entry holds its own name in UTF-8.
LANGUAGE_NAMES = ["报告.txt", "Αθήνα.doc", "تقرير.txt", "notes-🎵.txt", "文件夹/Ωμέγα.txt"]


def language_samples():
    with zipfile.ZipFile(os.path.join(OUT, "python_languages.zip"), "w", zipfile.ZIP_DEFLATED) as zf:
        for name in LANGUAGE_NAMES:
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            zf.writestr(info, name.encode())


def main():
    os.makedirs(OUT, exist_ok=True)
    work = tempfile.mkdtemp()
    try:
        tree = os.path.join(work, "tree")
        make_tree(tree)
        info_zip_samples(tree)
        seven_zip_samples(tree)
        python_samples()
    finally:
        shutil.rmtree(work)
    for name in sorted(os.listdir(OUT)):
        if name.endswith(".zip"):
            write_listing(os.path.join(OUT, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
