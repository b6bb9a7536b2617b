"""What a release carries: the archive that scripts/build writes into dist/,
and the names that the SDK header's declarations get from each compiler.
Run by scripts/test with QB_ROOT and QB_DIST set."""
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(os.environ.get("QB_ROOT", Path(__file__).resolve().parents[2]))
DIST = Path(os.environ.get("QB_DIST", ROOT / "dist"))
GUIDES = {f"Quellbrand-readme-{language}.txt" for language in ["en", "ru", "fr", "de", "it", "es"]}
PLAYER_FILES = {"Quellbrand.asi", "Quellbrand.ini"} | GUIDES


def logged_version():
    """The version in the READY line that the module writes (kept in startup.trace)."""
    trace = (ROOT / "docs/examples/startup.trace").read_text(encoding="utf-8")
    return re.search(r"^log: Quellbrand (\S+) READY:", trace, re.M).group(1)


class ReleaseArchive(unittest.TestCase):
    def setUp(self):
        self.path = DIST / f"Quellbrand-{logged_version()}.zip"
        self.assertTrue(self.path.is_file(), f"{self.path} missing")
        self.zip = zipfile.ZipFile(self.path)
        self.addCleanup(self.zip.close)
        self.entries = {info.filename: info for info in self.zip.infolist()}

    def test_player_files_at_the_root_as_in_dist(self):
        root = {name for name in self.entries if "/" not in name}
        in_dist = {p.name for p in DIST.iterdir() if p.is_file() and p.suffix != ".zip"}
        self.assertTrue(PLAYER_FILES <= root, sorted(root))
        self.assertEqual(in_dist, root)
        for name in root:
            self.assertEqual((DIST / name).read_bytes(), self.zip.read(name), name)

    def test_sdk_folder_holds_the_sources_and_no_module(self):
        sdk = {name for name in self.entries if "/" in name}
        sources = {p.relative_to(ROOT).as_posix() for p in (ROOT / "sdk").rglob("*") if p.is_file()}
        self.assertEqual(sources, sdk)
        for name in sdk:
            self.assertEqual((ROOT / name).read_bytes(), self.zip.read(name), name)

    def test_entries_are_whole_and_compressed(self):
        self.assertIsNone(self.zip.testzip())
        for info in self.entries.values():
            self.assertEqual(zipfile.ZIP_DEFLATED, info.compress_type, info.filename)


class ReproducibleRelease(unittest.TestCase):
    """The same sources make the same bytes, so a published checksum can be
    checked against a build of them."""

    def test_modules_carry_no_link_time(self):
        for module in [DIST / "Quellbrand.asi", DIST / "sdk/example/QuellbrandNoticeExample.asi"]:
            image = module.read_bytes()
            pe_header = struct.unpack_from("<I", image, 0x3C)[0]
            self.assertEqual(0, struct.unpack_from("<I", image, pe_header + 8)[0], module.name)

    def test_archive_depends_on_the_files_alone(self):
        epoch = 1765000000  # 2025-12-06 05:46:40 UTC
        archives = []
        with tempfile.TemporaryDirectory() as folder:
            for copy, mtime in [("a", 1000000000), ("b", 1700000000)]:
                dist = Path(folder) / copy / "dist"
                shutil.copytree(DIST, dist, ignore=shutil.ignore_patterns("*.zip"))
                for path in dist.rglob("*"):
                    path.chmod(0o600 if path.is_file() else 0o700)
                    os.utime(path, (mtime, mtime))
                subprocess.run([str(ROOT / "scripts/archive"), str(dist), "9.9"], check=True, capture_output=True,
                               env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)))
                archives.append((dist / "Quellbrand-9.9.zip").read_bytes())
            self.assertEqual(archives[0], archives[1])
            with zipfile.ZipFile(dist / "Quellbrand-9.9.zip") as zip_file:
                for info in zip_file.infolist():
                    self.assertEqual((2025, 12, 6, 5, 46, 40), info.date_time, info.filename)
                    self.assertEqual(0o100644, info.external_attr >> 16, info.filename)


def def_file_names():
    """The GCC and the MSVC export names of src/quellbrand.def."""
    gcc, msvc = set(), set()
    text = (ROOT / "src/quellbrand.def").read_text()
    for line in text.split("EXPORTS", 1)[1].splitlines():
        words = line.split()
        if len(words) == 1:
            gcc.add(words[0])
        elif len(words) == 3 and words[1] == "=":
            msvc.add(words[0])
    return gcc, msvc


class SdkHeaderNames(unittest.TestCase):
    """tests/sdk/names.cpp takes the address of each declared function; the
    object file then lists the names the compiler gave them."""

    def undefined_names(self, compiler_command):
        with tempfile.TemporaryDirectory() as folder:
            obj = Path(folder) / "names.obj"
            subprocess.run(compiler_command + ["-std=c++11", "-Wall", "-Wextra", "-Werror", "-I", str(ROOT / "sdk"),
                                               "-c", str(ROOT / "tests/sdk/names.cpp"), "-o", str(obj)], check=True)
            listing = subprocess.run(["llvm-nm", "--undefined-only", "--just-symbol-name", str(obj)], check=True,
                                     capture_output=True, text=True).stdout
        return set(listing.split())

    def test_gcc_names_are_the_exported_ones(self):
        names = self.undefined_names(["i686-w64-mingw32-g++-posix", "-Wpedantic"])
        # i686 C names carry a leading underscore in the object file.
        self.assertEqual(def_file_names()[0], {name[1:] for name in names})

    def test_msvc_names_are_the_exported_ones(self):
        names = self.undefined_names(["clang++", "--target=i686-pc-windows-msvc", "-ffreestanding", "-nostdlibinc",
                                      "-isystem", str(ROOT / "tests/sdk/msvc")])
        self.assertEqual(def_file_names()[1], names)
        self.assertEqual(3, len(names))


if __name__ == "__main__":
    unittest.main()
