"""The setup program as users get it stays under MAX_BYTES, and neither it nor
a program inside it holds a debug section or a path of one of the FOLDERs.

    python3 test_shipped.py OBJDUMP SETUP MAX_BYTES FOLDER...
"""
import os, re, subprocess, sys, tempfile, zipfile


def faults(objdump, setup, max_bytes, folders):
    found = [f"{setup}: {os.path.getsize(setup)} bytes"] if os.path.getsize(setup) >= max_bytes else []
    with zipfile.ZipFile(setup) as archive, tempfile.TemporaryDirectory() as scratch:
        programs = [archive.extract(name, scratch) for name in archive.namelist() if name.endswith((".exe", ".dll"))]
        for program in [setup] + programs:
            headers = subprocess.run([objdump, "-h", program], stdout=subprocess.PIPE, check=True, text=True).stdout
            label = os.path.basename(program)
            found += [f"{label}: {name}" for name in re.findall(r"^\s*\d+\s+(\.debug\S*)", headers, re.M)]
            with open(program, "rb") as data:
                found += [f"{label}: {folder}" for folder in folders if folder.encode() in data.read()]
    return found + ([] if programs else [f"{setup}: no programs inside"])


if __name__ == "__main__":
    problems = faults(sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:])
    print("\n".join(problems) or "shipped programs are lean")
    sys.exit(1 if problems else 0)
