"""The release packages tried out as a user would: the .deb unpacked into a
throw-away root and its programs and manual pages run from there, the zip
unpacked onto a Wine drive and its .exe run on the sample disc.

Environment (scripts/test-packages sets it):
  GLYPHREEL_PACKAGES  the folder with the .deb and the .zip
  SAMPLE_DISC         the sample-disc generator
  FAKE_ENCODER_EXE    tests/windows/fake_encoder.cpp built for Windows
  WINE                the program that runs .exe files
  WINEPREFIX          a ready Wine prefix
"""

import json
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
import uuid
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
VERSION = re.search(r"project\(glyphreel VERSION ([0-9.]+)",
                    (SOURCE / "CMakeLists.txt").read_text()).group(1)
# Every program has its folder of src/main/.
PROGRAMS = sorted(folder.name for folder in (SOURCE / "src/main").iterdir()
                  if folder.is_dir())

PACKAGES = Path(os.environ.get("GLYPHREEL_PACKAGES",
                               SOURCE / "build" / "packages"))
DEB = PACKAGES / f"glyphreel_{VERSION}_amd64.deb"
ZIP = PACKAGES / f"glyphreel-{VERSION}-win64.zip"

SECTOR_AUDIO = 2352
FRAME_BYTES = 312 * 216 * 3
TIMEOUT = 300


def run(command, **kwargs):
    return subprocess.run([str(part) for part in command], capture_output=True,
                          text=True, timeout=TIMEOUT, **kwargs)


def sample_disc(folder):
    """Writes the sample disc into `folder`; returns the tracks' sector
    ranges [start, end) from its table of contents."""
    made = run([os.environ["SAMPLE_DISC"], folder])
    assert made.returncode == 0, made.stderr
    toc = (Path(folder) / "disc.toc").read_bytes()
    starts = [struct.unpack_from(">I", toc, 8 + 8 * k)[0]
              for k in range((len(toc) - 4) // 8)]
    return list(zip(starts, starts[1:]))


def shortest_track(tracks):
    """The number (from 1) and range of the disc's shortest track."""
    number, span = min(enumerate(tracks, 1), key=lambda t: t[1][1] - t[1][0])
    return number, span


@unittest.skipUnless(DEB.is_file(), f"no {DEB.name}: run scripts/package")
class DebianPackage(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory(prefix="glyphreel-deb-")
        cls.tmp = Path(cls._tmp.name)
        cls.root = cls.tmp / "root"
        unpacked = run(["dpkg-deb", "-x", DEB, cls.root])
        assert unpacked.returncode == 0, unpacked.stderr
        cls.bin = cls.root / "usr" / "bin"

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def field(self, name):
        return run(["dpkg-deb", "-f", DEB, name]).stdout.strip()

    def test_control_and_contents(self):
        self.assertEqual(
            [self.field(f) for f in ("Package", "Version", "Architecture",
                                     "Section", "Priority")],
            ["glyphreel", VERSION, "amd64", "video", "optional"])
        depends = [d.split()[0] for d in self.field("Depends").split(", ")]
        self.assertEqual(depends[0], "ffmpeg")
        self.assertIn("libc6", depends)
        self.assertIn("libstdc++6", depends)

        listing = run(["dpkg-deb", "-c", DEB]).stdout.splitlines()
        files = {}
        for line in listing:
            mode, owner, _size, _date, _time, path = line.split(None, 5)
            self.assertEqual(owner, "root/root", line)
            files[path] = mode
        doc = "./usr/share/doc/glyphreel/"
        expected = {f"./usr/bin/{p}": "-rwxr-xr-x" for p in PROGRAMS}
        expected.update({f"./usr/share/man/man1/{p}.1.gz": "-rw-r--r--"
                         for p in PROGRAMS})
        expected.update({doc + name: "-rw-r--r--"
                         for name in ("README.md", "copyright", "changelog.gz")})
        self.assertEqual({p: m for p, m in files.items()
                          if not p.endswith("/")}, expected)
        self.assertTrue(all(m == "drwxr-xr-x" for p, m in files.items()
                            if p.endswith("/")))
        for program in PROGRAMS:
            described = run(["file", "-b", self.bin / program]).stdout
            self.assertRegex(described, r"^ELF 64-bit .*, stripped$")

    def test_apt_would_install_it(self):
        # What the README tells users to run, simulated.
        simulated = run(["apt-get", "-s", "install", DEB.resolve()])
        self.assertEqual(simulated.returncode, 0, simulated.stderr)
        self.assertRegex(simulated.stdout, rf"(?m)^Inst glyphreel .*{VERSION}")

    def test_installed_programs_convert_the_sample_disc(self):
        disc = self.tmp / "disc"
        tracks = sample_disc(disc)
        number, (start, end) = shortest_track(tracks)
        video = self.tmp / "track.mp4"
        converted = run([self.bin / "glyphreel", disc / "disc.img",
                         disc / "disc.cdg", disc / "disc.toc",
                         self.tmp / "track.raw", "ffmpeg", video, number,
                         number])
        self.assertEqual(converted.returncode, 0, converted.stderr)
        self.assertFalse((self.tmp / "track.raw").exists())

        probe = json.loads(run(["ffprobe", "-v", "error", "-show_streams",
                                "-of", "json", video]).stdout)
        streams = {s["codec_type"]: s for s in probe["streams"]}
        video_stream = streams["video"]
        self.assertEqual((video_stream["codec_name"], video_stream["width"],
                          video_stream["height"]), ("h264", 624, 432))
        self.assertAlmostEqual(float(streams["audio"]["duration"]),
                               (end - start) / 75, delta=0.1)

        if "glyphreel-import" not in PROGRAMS:
            return
        version = run([self.bin / "glyphreel-import", "--version"])
        self.assertEqual(version.stdout, f"glyphreel-import {VERSION}\n")
        checked = run([self.bin / "glyphreel-import", "check",
                       disc / "disc.cdg", disc / "disc.toc", "--json"])
        self.assertEqual(checked.returncode, 0, checked.stderr)
        totals = json.loads(checked.stdout)["totals"]
        self.assertEqual(totals["packs"], 4 * tracks[-1][1])

        if "glyphreel-library" not in PROGRAMS:
            return
        version = run([self.bin / "glyphreel-library", "--version"])
        self.assertEqual(version.stdout, f"glyphreel-library {VERSION}\n")

    def test_man_finds_the_installed_pages(self):
        env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
        for program in PROGRAMS:
            with self.subTest(program=program):
                shown = run(["man", "-M", self.root / "usr/share/man",
                             program], env=env)
                self.assertEqual(shown.returncode, 0, shown.stderr)
                lines = shown.stdout.strip().splitlines()
                self.assertTrue(lines[0].startswith(program.upper() + "(1)"))
                self.assertIn("NAME", lines)
                self.assertIn(f"glyphreel {VERSION}", lines[-1])


@unittest.skipUnless(ZIP.is_file(), f"no {ZIP.name}: run scripts/package")
class WindowsZip(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.wine = os.environ.get("WINE", "")
        prefix = Path(os.environ.get("WINEPREFIX", Path.home() / ".wine"))
        cls.drive = prefix / "drive_c"
        cls.folder = cls.drive / f"glyphreel-zip-{uuid.uuid4().hex[:8]}"
        cls.folder.mkdir(parents=True)
        with zipfile.ZipFile(ZIP) as archive:
            cls.names = set(archive.namelist())
            archive.extractall(cls.folder)
        cls.top = cls.folder / f"glyphreel-{VERSION}-win64"
        cls.env = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8",
                       WINEDLLOVERRIDES="mscoree,mshtml=")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def windows_path(self, path):
        return "C:\\" + "\\".join(Path(path).relative_to(self.drive).parts)

    def run_exe(self, name, arguments, **env):
        # Output into files: Wine's helpers may hold on to a pipe.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            command = [self.wine] if self.wine else []
            returncode = subprocess.run(
                command + [str(self.top / name), *arguments],
                env=dict(self.env, **env), stdin=subprocess.DEVNULL,
                stdout=out, stderr=err, timeout=TIMEOUT).returncode
            out.seek(0)
            err.seek(0)
            return (returncode, out.read().decode().replace("\r\n", "\n"),
                    err.read().decode())

    def test_contents(self):
        top = f"glyphreel-{VERSION}-win64/"
        texts = ["HOW-TO-RUN.txt", "README.txt", "LICENSE.txt", "CHANGELOG.txt"]
        self.assertEqual(
            self.names,
            {top + name for name in [f"{p}.exe" for p in PROGRAMS] + texts})
        for name in texts:
            text = (self.top / name).read_bytes()
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
        self.assertIn(b"ffmpeg.exe", (self.top / "HOW-TO-RUN.txt").read_bytes())
        for program in PROGRAMS:
            described = run(["file", "-b", self.top / f"{program}.exe"]).stdout
            self.assertRegex(described, r"^PE32\+ executable \(console\) x86-64 "
                             r"\(stripped")

    def test_converts_the_sample_disc_under_wine(self):
        work = self.folder / "work"
        records = work / "records"
        records.mkdir(parents=True)
        tracks = sample_disc(work / "disc")
        number, (start, end) = shortest_track(tracks)
        encoder = work / "ffmpeg.exe"
        shutil.copyfile(os.environ["FAKE_ENCODER_EXE"], encoder)

        disc = [self.windows_path(work / "disc" / f"disc.{kind}")
                for kind in ("img", "cdg", "toc")]
        returncode, _out, err = self.run_exe(
            "glyphreel.exe",
            disc + [self.windows_path(work / "track.raw"),
                    self.windows_path(encoder),
                    self.windows_path(work / "track.mp4"), str(number),
                    str(number)],
            FAKE_ENCODER_DIR=self.windows_path(records))
        self.assertEqual(returncode, 0, err)
        # One frame before every fifth pack, four packs a sector; the audio
        # is the track's sectors as they are.
        frames = (4 * (end - start) + 4) // 5
        self.assertEqual((records / "stdin.bin").stat().st_size,
                         frames * FRAME_BYTES)
        image = (work / "disc" / "disc.img").read_bytes()
        self.assertEqual((records / "input.bin").read_bytes(),
                         image[start * SECTOR_AUDIO:end * SECTOR_AUDIO])

        if "glyphreel-import" not in PROGRAMS:
            return
        returncode, out, err = self.run_exe("glyphreel-import.exe",
                                            ["--version"])
        self.assertEqual((returncode, out),
                         (0, f"glyphreel-import {VERSION}\n"), err)
        returncode, out, err = self.run_exe("glyphreel-import.exe",
                                            ["check", disc[1], disc[2],
                                             "--json"])
        self.assertEqual(returncode, 0, err)
        self.assertEqual(json.loads(out)["totals"]["packs"],
                         4 * tracks[-1][1])

        if "glyphreel-library" not in PROGRAMS:
            return
        returncode, out, err = self.run_exe("glyphreel-library.exe",
                                            ["--version"])
        self.assertEqual((returncode, out),
                         (0, f"glyphreel-library {VERSION}\n"), err)


if __name__ == "__main__":
    unittest.main()
