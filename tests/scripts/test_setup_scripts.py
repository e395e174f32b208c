"""The set-up scripts' steps against a stand-in apt: a mirror's failures stop
only what they really take away."""
import os
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FAILED_INDEX = 'echo "E: Failed to fetch http://mirror/Packages.xz  File has unexpected size" >&2; exit 100'
# Every package is missing; "apt-get install" fails when INSTALL_FAILS is set.
APT = {
    "dpkg-query": "exit 1",
    "apt-get": f'''case $1 in
  update) {FAILED_INDEX};;
  install) [ -z "$INSTALL_FAILS" ] || {{ echo "E: Unable to locate package googletest" >&2; exit 100; }};;
esac''',
}
# Two versions of a source package listed; only the older one downloads.
SOURCES = {
    "apt-cache": 'printf "Version: 1.0-1\\n\\nVersion: 1.0-1+deb12u1\\n"',
    "apt-get": f'''for a; do case $a in
  pkg=1.0-1) mkdir pkg-1.0; exit 0;;
  pkg=*) {FAILED_INDEX};;
esac; done''',
}


def run_step(script, step, fakes, **env):
    with tempfile.TemporaryDirectory() as bin_dir:
        for name, body in list(fakes.items()) + [("sudo", 'exec "$@"')]:
            path = os.path.join(bin_dir, name)
            with open(path, "w") as fake:
                fake.write("#!/bin/sh\n" + body + "\n")
            os.chmod(path, 0o755)
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"], WORK=bin_dir, **env)
        return subprocess.run(["bash", "-c", f'source "scripts/{script}" && {step}'], cwd=ROOT, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class InstallDeps(unittest.TestCase):
    def test_a_failed_index_does_not_stop_the_install(self):
        result = run_step("install-deps.sh", "install_packages", APT, INSTALL_FAILS="")
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_a_package_apt_cannot_install_stops_it_with_apts_message(self):
        result = run_step("install-deps.sh", "install_packages", APT, INSTALL_FAILS="1")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("E: Unable to locate package googletest", result.stderr)


class BuildArchiveLibs(unittest.TestCase):
    def test_a_release_the_mirror_lacks_gives_way_to_the_one_before(self):
        result = run_step("build-archive-libs.sh", 'work=$WORK; versions_built=(); fetch_source pkg && '
                          'echo "${versions_built[@]}"', SOURCES)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.strip(), "pkg 1.0-1 (listed but not downloadable: 1.0-1+deb12u1)")


if __name__ == "__main__":
    unittest.main()
