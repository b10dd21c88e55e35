"""End-to-end runs of glyphreel.exe with a fake encoder, under Wine.

Environment:
  GLYPHREEL_EXE      the glyphreel.exe to test
  FAKE_ENCODER_EXE   fake_encoder.exe (tests/windows/fake_encoder.cpp)
  WINE               the program that runs .exe files; empty on Windows
  WINEPREFIX         the Wine prefix whose C: drive holds the test files
"""

import hashlib
import os
import random
import re
import shutil
import subprocess
import tempfile
import unittest
import uuid
from pathlib import Path

SECTOR_BYTES = 2352
SUBCODE_BYTES = 96
PACKS_PER_SECTOR = 4
FRAME_BYTES = 312 * 216 * 3
ENCODER_STDOUT = b"fake encoder: standard output\n"

USAGE = (
    "usage: glyphreel disc.img disc.cdg disc.toc out-tmp.raw ffmpeg.exe "
    "out.mp4 start_track end_track mode\n"
).encode()

# Three tracks of 3, 7 and 8 sectors.
TRACK_STARTS = [0, 3, 10]
LEAD_OUT = 18

GLYPHREEL = Path(os.environ.get("GLYPHREEL_EXE", ""))
FAKE_ENCODER = Path(os.environ.get("FAKE_ENCODER_EXE", ""))
WINE = os.environ.get("WINE", "")


def frames_for_sectors(sectors):
    """One frame before every fifth pack: ceil(packs / 5)."""
    packs = sectors * PACKS_PER_SECTOR
    return (packs + 4) // 5


def table_of_contents(starts, lead_out):
    """READ TOC format 0 with block addresses: the data length, first and
    last track, then 8 bytes per track and one for the lead-out."""
    descriptors = b"".join(
        bytes([0, 0x10, number, 0]) + lba.to_bytes(4, "big")
        for number, lba in [(i + 1, s) for i, s in enumerate(starts)]
        + [(0xAA, lead_out)]
    )
    return (len(descriptors) + 2).to_bytes(2, "big") + bytes(
        [1, len(starts)]) + descriptors


def msf(lba):
    """A sector's minute-second-frame address as its four bytes read
    big-endian; sector 0 is 00:02:00."""
    frames = lba + 150
    return (frames // 4500 << 16) | (frames // 75 % 60 << 8) | frames % 75


def disc_image(sectors):
    """Each sector holds its own number, so a wrong cut shows."""
    return b"".join(n.to_bytes(2, "little") * (SECTOR_BYTES // 2)
                    for n in range(sectors))


def snapshot(folder):
    """Everything below `folder` but the encoder's records: folders, and
    files with their size and digest."""
    found = {}
    for path in folder.rglob("*"):
        relative = path.relative_to(folder)
        if relative.parts[0] == "records":
            continue
        if path.is_dir():
            found[str(relative)] = "folder"
        else:
            data = path.read_bytes()
            found[str(relative)] = (len(data),
                                    hashlib.sha256(data).hexdigest())
    return found


def os_error(step, *codes):
    """The report of a failed step: the system's words, which differ
    between Wine and Windows, then the code."""
    return (step + r": [^\n]*[^.\s] \(os error (" +
            "|".join(str(code) for code in codes) + r")\)")


def equality(left, right):
    return rf"[^\n]+\n  left: {left}\n right: {right}"


def read_recorded_arguments(path):
    """The fake encoder's record: '<length> <utf-8 bytes>\\n' per argument."""
    data = path.read_bytes()
    arguments = []
    at = 0
    while at < len(data):
        blank = data.index(b" ", at)
        length = int(data[at:blank])
        arguments.append(data[blank + 1:blank + 1 + length].decode("utf-8"))
        at = blank + 1 + length + 1
    return arguments


def expected_encoder_arguments(raw_path, mp4_path):
    return [
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "312x216", "-r", "60",
        "-i", "-", "-f", "s16le", "-ar", "44100", "-ac", "2", "-i", raw_path,
        "-vcodec", "libx264", "-vf",
        "scale=624:432:flags=neighbor,format=yuv420p", "-movflags",
        "+faststart", mp4_path,
    ]


class ScratchFolders(unittest.TestCase):
    """A scratch folder per test class and one per test, named so that they
    need quoting and UTF-16. Under Wine they live on the prefix's C: drive,
    so the programs see ordinary Windows paths."""

    @classmethod
    def make_root(cls, name):
        if WINE:
            prefix = Path(os.environ.get("WINEPREFIX",
                                         Path.home() / ".wine"))
            cls.drive = prefix / "drive_c"
            cls.root = cls.drive / f"{name}-{uuid.uuid4().hex[:8]}"
            cls.root.mkdir(parents=True)
        else:
            cls.drive = None
            cls.root = Path(tempfile.mkdtemp(prefix=f"{name}-"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.folder = self.root / f"{self._testMethodName[5:]} é 日本"
        self.folder.mkdir()

    # Paths as the program sees them.
    def windows_path(self, path):
        if self.drive is None:
            return str(path)
        relative = Path(path).relative_to(self.drive)
        return "C:\\" + "\\".join(relative.parts)

    def run_exe(self, exe, arguments, **environment):
        """Runs a program with the class's `environment` and these
        variables; Path arguments are given as Windows paths."""
        command = [str(exe), *[self.windows_path(a) if isinstance(a, Path)
                               else a for a in arguments]]
        if WINE:
            command = [WINE, *command]
        # Files, not pipes: Wine's helper processes may hold on to pipes.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(command, env=dict(self.environment,
                                                    **environment),
                                  stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=err, timeout=300).returncode
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(command, code, out.read(),
                                               err.read())


@unittest.skipUnless(GLYPHREEL.is_file() and FAKE_ENCODER.is_file(),
                     "GLYPHREEL_EXE and FAKE_ENCODER_EXE must name the builds")
class WindowsEndToEnd(ScratchFolders):

    @classmethod
    def setUpClass(cls):
        cls.make_root("glyphreel-e2e")
        # The encoder sits in a folder whose name needs quoting.
        encoder_folder = cls.root / "encoder dir é"
        encoder_folder.mkdir()
        cls.encoder = encoder_folder / "ffmpeg.exe"
        shutil.copyfile(FAKE_ENCODER, cls.encoder)
        cls.environment = dict(os.environ)
        cls.environment.update({
            "WINEDEBUG": "-all",
            "LC_ALL": "C.UTF-8",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        for name in ("FAKE_ENCODER_EXIT_EARLY", "FAKE_ENCODER_EXIT_CODE",
                     "FAKE_ENCODER_READ_BYTES", "FAKE_ENCODER_KILL_AFTER",
                     "WINEPATH"):
            cls.environment.pop(name, None)
        # Without a server kept alive between runs, every run would start
        # one afresh and spend seconds on it. This one ends on its own ten
        # seconds after the last run; it fails, harmlessly, when a server
        # for the prefix is already running.
        # Wine's helper processes start with the first program and keep its
        # standard handles: start them with none, so that no caller waiting
        # on a pipe of ours waits for them.
        wineserver = shutil.which("wineserver")
        if WINE and wineserver:
            subprocess.run([wineserver, "-p10"], env=cls.environment,
                           timeout=60)
        if WINE:
            subprocess.run([WINE, "cmd.exe", "/c", "exit", "0"],
                           env=cls.environment, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=120)

    def setUp(self):
        super().setUp()
        self.records = self.folder / "records"
        self.records.mkdir()
        self.image = disc_image(LEAD_OUT)
        (self.folder / "disc.img").write_bytes(self.image)
        (self.folder / "disc.cdg").write_bytes(
            bytes(LEAD_OUT * SUBCODE_BYTES))  # idle packs (mode 0)
        (self.folder / "disc.toc").write_bytes(
            table_of_contents(TRACK_STARTS, LEAD_OUT))

    def in_folder(self, *parts):
        return "\\".join([self.windows_path(self.folder), *parts])

    def run_program(self, arguments, cwd=None, **environment):
        command = [str(GLYPHREEL), *arguments]
        if WINE:
            command = [WINE, *command]
        env = dict(self.environment,
                   FAKE_ENCODER_DIR=self.windows_path(self.records),
                   **environment)
        # Files, not pipes: Wine's own helper processes can hold on to the
        # standard handles of the program that started them, and a pipe
        # would not end until they do.
        with tempfile.TemporaryFile() as stdout, \
                tempfile.TemporaryFile() as stderr:
            returncode = subprocess.run(command, env=env, cwd=cwd,
                                        stdin=subprocess.DEVNULL,
                                        stdout=stdout, stderr=stderr,
                                        timeout=120).returncode
            stdout.seek(0)
            stderr.seek(0)
            return subprocess.CompletedProcess(command, returncode,
                                               stdout.read(), stderr.read())

    def conversion(self, start, end, raw=None, mp4=None, encoder=None,
                   mode=None, img=None, cdg=None, toc=None):
        arguments = [
            img or self.in_folder("disc.img"),
            cdg or self.in_folder("disc.cdg"),
            toc or self.in_folder("disc.toc"),
            raw or self.in_folder("out-tmp.raw"),
            encoder or self.windows_path(self.encoder),
            mp4 or self.in_folder("out.mp4"),
            str(start),
            str(end),
        ]
        if mode is not None:
            arguments.append(mode)
        return arguments

    def assert_fatal(self, result, pattern):
        """Exit status 101 and a one-line report matching `pattern`."""
        self.assertEqual(result.returncode, 101, result.stderr)
        self.assertRegex(result.stderr.decode("utf-8"),
                         "^glyphreel: " + pattern + "\n$")

    def recorded(self, name):
        return read_recorded_arguments(self.records / name)

    def write_disc(self, name, toc, image, cdg):
        """The three dumps in a new folder; their paths as the program
        sees them."""
        folder = self.folder / name
        folder.mkdir(parents=True)
        paths = {}
        for key, data in (("img", image), ("cdg", cdg), ("toc", toc)):
            (folder / f"disc.{key}").write_bytes(data)
            paths[key] = self.windows_path(folder / f"disc.{key}")
        return paths

    def run_watched(self, arguments, raw_left=None, cwd=None,
                    **environment):
        """One run, with the encoder's records cleared first. Afterwards the
        folder must be as it was, but for the raw file `raw_left`, which
        must be new and is then returned with the result."""
        for record in self.records.iterdir():
            record.unlink()
        before = snapshot(self.folder)
        result = self.run_program(arguments, cwd=cwd, **environment)
        after = snapshot(self.folder)
        left = None
        if raw_left is not None:
            key = str(raw_left.relative_to(self.folder))
            self.assertNotIn(key, before)
            self.assertIn(key, after, "the raw file was not left behind")
            del after[key]
            left = raw_left.read_bytes()
        self.assertEqual(after, before, "the user's files changed")
        return result, left

    def assert_stopped(self, result, pattern, encoder_started=False):
        """A fatal stop whose whole report matches `pattern`, with nothing
        on standard output."""
        self.assertEqual(result.returncode, 101, result.stderr)
        self.assertEqual(result.stdout, b"")
        self.assertRegex(result.stderr.decode("utf-8"),
                         "^glyphreel: " + pattern + "\n\\Z")
        if not encoder_started:
            self.assertEqual(list(self.records.iterdir()), [])

    def assert_converted(self, result, frames):
        """A complete run: the encoder's two lines and nothing of ours."""
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, ENCODER_STDOUT)
        self.assertEqual(result.stderr, f"fake encoder: read "
                         f"{frames * FRAME_BYTES} bytes\n".encode())
        self.assertEqual((self.records / "stdin.bin").stat().st_size,
                         frames * FRAME_BYTES)

    def test_wrong_argument_counts_print_the_usage_line(self):
        for count in (0, 1, 7, 10):
            arguments = [self.in_folder(f"arg{i}") for i in range(count)]
            result = self.run_program(arguments)
            self.assertEqual(result.returncode, 0, count)
            self.assertEqual(result.stderr, USAGE, count)
            self.assertEqual(result.stdout, b"", count)
        self.assertEqual(list(self.records.iterdir()), [])

    def test_a_run_hands_the_encoder_its_arguments_frames_and_audio(self):
        # Blanks and non-ASCII letters throughout, and a doubled backslash
        # closing a directory part, which Windows reads as one.
        raw = self.in_folder("raw dir é\\\\out tmp 日本.raw")
        mp4 = self.in_folder("vidéo 日本", "out put.mp4")
        (self.folder / "raw dir é").mkdir()
        encoder = self.windows_path(self.encoder)
        result = self.run_program(self.conversion(2, 2, raw=raw, mp4=mp4))

        self.assertEqual(result.returncode, 0, result.stderr)
        expected = [encoder, *expected_encoder_arguments(raw, mp4)]
        self.assertEqual(len(expected), 26)
        self.assertEqual(self.recorded("arguments.txt"), expected)
        self.assertEqual(self.recorded("shell-arguments.txt"), expected)
        # Track 2 is sectors 3 to 9: 28 packs, 6 frames.
        frames = frames_for_sectors(7)
        self.assertEqual(frames, 6)
        self.assertEqual((self.records / "stdin.bin").stat().st_size,
                         frames * FRAME_BYTES)
        self.assertEqual((self.records / "input.bin").read_bytes(),
                         self.image[3 * SECTOR_BYTES:10 * SECTOR_BYTES])
        # The encoder's standard output and error are ours; we add nothing.
        self.assertEqual(result.stdout, b"fake encoder: standard output\n")
        self.assertEqual(result.stderr,
                         f"fake encoder: read {frames * FRAME_BYTES} bytes\n"
                         .encode())
        self.assertFalse((self.folder / "raw dir é" /
                          "out tmp 日本.raw").exists())

    def test_an_argument_ending_in_a_backslash_arrives_unchanged(self):
        mp4 = self.in_folder("new folder", "")  # ends in a backslash
        self.assertTrue(mp4.endswith(" folder\\"))
        result = self.run_program(self.conversion(1, 1, mp4=mp4))
        self.assertEqual(result.returncode, 0, result.stderr)
        arguments = self.recorded("arguments.txt")
        self.assertEqual(arguments[25], mp4)
        self.assertEqual(self.recorded("shell-arguments.txt")[25], mp4)

    def test_frame_bytes_are_one_frame_per_five_packs_rounded_up(self):
        # (start, end, sectors of the span, mode)
        cases = [
            (1, 1, 3, None),     # 12 packs: 3 frames
            (2, 2, 7, "cdg"),    # 28 packs: 6 frames
            (3, 3, 8, "cdeg"),   # 32 packs: 7 frames
            (1, 3, 18, None),    # 72 packs: 15 frames
            (3, 2, 0, None),     # an empty span: no frame at all
        ]
        for start, end, sectors, mode in cases:
            with self.subTest(start=start, end=end, mode=mode):
                for record in self.records.iterdir():
                    record.unlink()
                result = self.run_program(
                    self.conversion(start, end, mode=mode))
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(
                    (self.records / "stdin.bin").stat().st_size,
                    frames_for_sectors(sectors) * FRAME_BYTES)
                first = TRACK_STARTS[start - 1]
                self.assertEqual(
                    (self.records / "input.bin").read_bytes(),
                    self.image[first * SECTOR_BYTES:
                               (first + sectors) * SECTOR_BYTES])
                self.assertFalse((self.folder / "out-tmp.raw").exists())

    def test_an_existing_raw_output_is_refused(self):
        (self.folder / "out-tmp.raw").write_bytes(b"keep")
        (self.folder / "a folder").mkdir()
        for raw in (self.in_folder("out-tmp.raw"), self.in_folder("a folder")):
            result = self.run_program(self.conversion(1, 1, raw=raw))
            self.assert_fatal(
                result, "refusing to overwrite existing temp raw audio output")
        self.assertEqual((self.folder / "out-tmp.raw").read_bytes(), b"keep")
        self.assertEqual(list(self.records.iterdir()), [])

    def test_an_existing_mp4_output_is_refused_after_the_raw_file(self):
        (self.folder / "out.mp4").write_bytes(b"old video")
        result = self.run_program(self.conversion(2, 2))
        self.assert_fatal(result, "refusing to overwrite existing mp4 output")
        self.assertEqual((self.folder / "out.mp4").read_bytes(), b"old video")
        # The raw file stays behind, written whole; no encoder ran.
        self.assertEqual((self.folder / "out-tmp.raw").read_bytes(),
                         self.image[3 * SECTOR_BYTES:10 * SECTOR_BYTES])
        self.assertEqual(list(self.records.iterdir()), [])

    def test_a_missing_encoder_fails_to_spawn(self):
        for encoder in (self.in_folder("no encoder here.exe"),
                        "glyphreel-no-such-encoder"):
            with self.subTest(encoder=encoder):
                (self.folder / "out-tmp.raw").unlink(missing_ok=True)
                result = self.run_program(
                    self.conversion(1, 1, encoder=encoder))
                self.assert_fatal(
                    result, r"spawn ffmpeg child: [^\n]*[^.\s] \(os error 2\)")
                self.assertTrue((self.folder / "out-tmp.raw").exists())

    def test_a_bare_encoder_name_is_found_on_the_path(self):
        result = self.run_program(
            self.conversion(1, 1, encoder="ffmpeg"),
            WINEPATH=self.windows_path(self.encoder.parent))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.recorded("arguments.txt")[0], "ffmpeg")
        self.assertEqual((self.records / "stdin.bin").stat().st_size,
                         frames_for_sectors(3) * FRAME_BYTES)

    def test_an_encoder_that_exits_early_breaks_the_pipe(self):
        # 15 frames are more than the pipe holds while nobody reads.
        result = self.run_program(self.conversion(1, 3),
                                  FAKE_ENCODER_EXIT_EARLY="1")
        # ERROR_NO_DATA (232) or ERROR_BROKEN_PIPE (109).
        self.assert_fatal(result,
                          r"write frame: [^\n]*[^.\s] \(os error (232|109)\)")
        self.assertTrue((self.folder / "out-tmp.raw").exists())

    def test_a_failed_encoder_fails_the_run_after_the_clean_up(self):
        result = self.run_program(self.conversion(2, 2),
                                  FAKE_ENCODER_EXIT_CODE="3")
        self.assertEqual(result.returncode, 101, result.stderr)
        self.assertIn(b"glyphreel: ffmpeg exited unsuccessfully: exit status 3\n",
                      result.stderr)
        self.assertEqual((self.records / "stdin.bin").stat().st_size,
                         frames_for_sectors(7) * FRAME_BYTES)
        self.assertFalse((self.folder / "out-tmp.raw").exists())

    def test_system_errors_are_reported_on_one_line_with_their_code(self):
        result = self.run_program(
            self.conversion(1, 1, img=self.in_folder("missing.img")))
        self.assert_fatal(result, r"read img file: [^\n]*[^.\s] \(os error 2\)")

        # A wildcard in a name makes the existence query itself fail.
        result = self.run_program(
            self.conversion(1, 1, raw=self.in_folder("out?.raw")))
        self.assert_fatal(
            result, r"check for existing temp raw audio output: "
            r"[^\n]*[^.\s] \(os error 123\)")
        self.assertEqual(list(self.records.iterdir()), [])

    def test_text_arguments_are_read_as_unicode_and_reported_in_utf8(self):
        result = self.run_program(self.conversion(1, 1, mode="cdé 日本"))
        self.assertEqual(result.returncode, 101)
        self.assertEqual(
            result.stderr.decode("utf-8"),
            'glyphreel: unknown mode "cdé 日本", expected "cdg" or "cdeg"\n')
        self.assertFalse((self.folder / "out-tmp.raw").exists())

    def test_unreadable_and_damaged_inputs_stop_before_any_write(self):
        # Each case writes the disc afresh and replaces one dump: with other
        # bytes, with a folder, or with nothing at all.
        folder, missing = object(), object()
        cdg = bytes(LEAD_OUT * SUBCODE_BYTES)
        cases = [
            # An empty dump is a whole number of sectors, short of the
            # lead-out at sector 18; an empty TOC lacks its length field.
            ("img", b"", "assertion failed: disc_end_lba <= img_frames"),
            ("cdg", b"", "assertion failed: disc_end_lba <= cdg_frames"),
            ("toc", b"", r"[^\n]*\b0\.\.2\b[^\n]*\b0 bytes\b[^\n]*"),
            ("img", self.image[:-1], equality(2351, 0)),
            ("cdg", cdg[:-1], equality(95, 0)),
            # (65535 - 2) // 8 = 8191 descriptors make 8 * 8191 + 4 bytes.
            ("toc", b"\xff\xff" + bytes(0xFFFF), equality(65532, 65537)),
            # The same disc in minute-second-frame form: the lead-out at
            # 00:02:18 reads as sector 0x212 = 530.
            ("toc", table_of_contents([msf(s) for s in TRACK_STARTS],
                                      msf(LEAD_OUT)),
             "assertion failed: disc_end_lba <= img_frames"),
            # Opening a folder as a file is refused: ERROR_ACCESS_DENIED.
            ("img", folder, os_error("read img file", 5)),
            ("cdg", folder, os_error("read cdg file", 5)),
            ("toc", folder, os_error("read toc file", 5)),
            ("cdg", missing, os_error("read cdg file", 2)),
            ("toc", missing, os_error("read toc file", 2)),
        ]
        for index, (key, content, pattern) in enumerate(cases):
            with self.subTest(index=index, key=key):
                paths = self.write_disc(
                    f"case {index}", table_of_contents(TRACK_STARTS, LEAD_OUT),
                    self.image, cdg)
                path = self.folder / f"case {index}" / f"disc.{key}"
                if content is folder or content is missing:
                    path.unlink()
                    if content is folder:
                        path.mkdir()
                else:
                    path.write_bytes(content)
                result, _ = self.run_watched(self.conversion(1, 3, **paths))
                self.assert_stopped(result, pattern)

    def test_inputs_larger_than_memory(self):
        # A sparse file of 1 TiB of zeros takes no room on disk and more
        # memory than the system gives: reading it as the image fails with
        # ERROR_NOT_ENOUGH_MEMORY. As the table of contents, no more than
        # 65538 bytes of it are read: its length field says 0, and the
        # length check reports the file's size. (Not watched: that would
        # read the file whole.)
        size = 1 << 40
        cases = [("img", os_error("read img file", 8)),
                 ("toc", equality(2, size))]
        for key, pattern in cases:
            with self.subTest(key=key):
                paths = self.write_disc(
                    f"huge {key}", table_of_contents(TRACK_STARTS, LEAD_OUT),
                    self.image, bytes(LEAD_OUT * SUBCODE_BYTES))
                with open(self.folder / f"huge {key}" / f"disc.{key}",
                          "wb") as huge:
                    huge.truncate(size)
                result = self.run_program(self.conversion(1, 3, **paths))
                self.assert_stopped(result, pattern)

    def test_paths_the_encoder_would_misread_reach_it_as_local_files(self):
        # "-" is the encoder's standard stream, "name:rest" a URL and
        # "subfile,...:name" a piece of another file: every relative path
        # goes behind ".\", but a one-letter name is a drive: (raw, mp4,
        # arguments 18 and 25).
        cases = [("-", "pipe:o.mp4", ".\\-", ".\\pipe:o.mp4"),
                 ("file:r.raw", "C:o.mp4", ".\\file:r.raw", "C:o.mp4"),
                 ("subfile,,start,0,end,0,,:r.raw", "o.mp4",
                  ".\\subfile,,start,0,end,0,,:r.raw", ".\\o.mp4")]
        for raw, mp4, raw_argument, mp4_argument in cases:
            with self.subTest(raw=raw, mp4=mp4):
                result, _ = self.run_watched(
                    self.conversion(2, 2, raw=raw, mp4=mp4), cwd=self.folder)
                self.assert_converted(result, frames_for_sectors(7))
                arguments = self.recorded("arguments.txt")
                self.assertEqual((arguments[18], arguments[25]),
                                 (raw_argument, mp4_argument))
                self.assertEqual((self.records / "input.bin").read_bytes(),
                                 self.image[3 * SECTOR_BYTES:
                                            10 * SECTOR_BYTES])

    @unittest.skipIf(WINE, "Wine makes no links that its programs see as "
                           "links: CreateSymbolicLinkW does nothing")
    def test_a_dangling_link_at_the_mp4_path_is_refused(self):
        target = self.folder / "elsewhere.mp4"
        try:
            os.symlink(target, self.folder / "out.mp4")
        except OSError as error:
            self.skipTest(f"no right to make links here: {error}")
        result = self.run_program(self.conversion(1, 1))
        self.assert_fatal(result, "refusing to overwrite existing mp4 output")
        self.assertFalse(target.exists())
        self.assertEqual(list(self.records.iterdir()), [])

    def test_a_raw_file_in_a_missing_folder_cannot_be_written(self):
        result, _ = self.run_watched(self.conversion(
            1, 1, raw=self.in_folder("no such folder", "out-tmp.raw")))
        self.assert_stopped(result, os_error("write raw audio", 3))

    def test_tracks_out_of_address_order(self):
        # Tracks at sectors 0, 6 and 2, the lead-out at 8. A choice runs
        # from the start of its first track to the start of the descriptor
        # after its last: (start, end, first sector, sectors).
        image = disc_image(8)
        paths = self.write_disc("disc", table_of_contents([0, 6, 2], 8),
                                image, bytes(8 * SUBCODE_BYTES))
        cases = [(1, 1, 0, 6), (1, 2, 0, 2), (3, 3, 2, 6), (2, 3, 6, 2),
                 (3, 2, 2, 0), (2, 2, 6, None)]
        for start, end, first, sectors in cases:
            with self.subTest(start=start, end=end):
                result, _ = self.run_watched(
                    self.conversion(start, end, **paths))
                if sectors is None:
                    # Bytes 6 * 2352 up to 2 * 2352, refused before the raw
                    # file is written.
                    self.assert_stopped(result, r"[^\n]*\b14112\.\.4704\b"
                                                r"[^\n]*")
                    continue
                self.assert_converted(result, frames_for_sectors(sectors))
                self.assertEqual(
                    (self.records / "input.bin").read_bytes(),
                    image[first * SECTOR_BYTES:
                          (first + sectors) * SECTOR_BYTES])

    def test_awkward_names_in_every_path_reach_their_readers(self):
        folder = self.folder / "it's a folder ü" / "日本 'deeper' folder"
        folder.mkdir(parents=True)
        encoder = self.folder / "l'encodeur" / "ffmpeg 'x' é.exe"
        encoder.parent.mkdir()
        shutil.copyfile(self.encoder, encoder)
        stems = {"img": "dísc 'a'.img", "cdg": "dísc 'a'.cdg",
                 "toc": "Łódź's toc"}
        contents = {"img": self.image, "cdg": bytes(LEAD_OUT * SUBCODE_BYTES),
                    "toc": table_of_contents(TRACK_STARTS, LEAD_OUT)}
        paths = {}
        for key, stem in stems.items():
            (folder / stem).write_bytes(contents[key])
            paths[key] = self.windows_path(folder / stem)
        raw = self.windows_path(folder / "out 'tmp' ø.raw")
        mp4 = self.windows_path(folder / "vidéo 'final'.mp4")
        result, _ = self.run_watched(self.conversion(
            2, 2, raw=raw, mp4=mp4, encoder=self.windows_path(encoder),
            **paths))
        self.assert_converted(result, frames_for_sectors(7))
        expected = [self.windows_path(encoder),
                    *expected_encoder_arguments(raw, mp4)]
        self.assertEqual(self.recorded("arguments.txt"), expected)
        self.assertEqual(self.recorded("shell-arguments.txt"), expected)
        self.assertEqual((self.records / "input.bin").read_bytes(),
                         self.image[3 * SECTOR_BYTES:10 * SECTOR_BYTES])

    def test_an_encoder_that_goes_away_mid_stream_breaks_the_pipe(self):
        # 75 sectors are 300 packs, 60 frames; the encoder takes ten and a
        # half, and the pipe cannot hold the rest.
        image = disc_image(75)
        paths = self.write_disc("disc", table_of_contents([0], 75), image,
                                bytes(75 * SUBCODE_BYTES))
        read = 10 * FRAME_BYTES + FRAME_BYTES // 2
        cases = [("closes its input", "FAKE_ENCODER_READ_BYTES"),
                 ("ends with status 9", "FAKE_ENCODER_KILL_AFTER")]
        for index, (how, variable) in enumerate(cases):
            with self.subTest(how=how):
                raw = self.folder / f"t{index}.raw"
                result, left = self.run_watched(
                    self.conversion(1, 1, raw=self.windows_path(raw),
                                    **paths),
                    raw_left=raw, **{variable: str(read)})
                # ERROR_BROKEN_PIPE (109) or ERROR_NO_DATA (232); Wine
                # gives either, from one run to the next.
                self.assert_stopped(result, os_error("write frame", 109, 232),
                                    encoder_started=True)
                self.assertEqual((self.records / "stdin.bin").stat().st_size,
                                 read)
                self.assertEqual(left, image)

    def test_random_subcode_makes_whole_frames_in_both_modes(self):
        # 101 sectors are 404 packs: frames before packs 0, 5, ..., 400.
        sectors, frames = 101, 81
        rng = random.Random(20240611)
        noise = rng.randbytes(sectors * SUBCODE_BYTES)
        # Mostly graphics and extended-graphics packs with their codes.
        codes = (1, 2, 3, 6, 14, 16, 17, 20, 24, 30, 31, 38, 40, 47, 48, 63)
        instructions = bytearray(rng.randbytes(len(noise)))
        for offset in range(0, len(instructions), 24):
            instructions[offset] = rng.choice((9, 10))
            instructions[offset + 1] = rng.choice(
                codes + (rng.randrange(256),))
        # Every byte a frame can hold: 16 v + 8 for a 4-bit channel; in a
        # cdeg run also 255 (a saturated mix) and 4 c for a 6-bit channel.
        shown = {"cdg": bytes(16 * v + 8 for v in range(16)),
                 "cdeg": bytes(range(0, 256, 4)) + b"\xff"}
        for kind, cdg in (("noise", noise), ("instructions", instructions)):
            paths = self.write_disc(kind, table_of_contents([0], sectors),
                                    disc_image(sectors), bytes(cdg))
            for mode in ("cdg", "cdeg"):
                with self.subTest(kind=kind, mode=mode):
                    result, _ = self.run_watched(
                        self.conversion(1, 1, mode=mode, **paths))
                    self.assert_converted(result, frames)
                    stream = (self.records / "stdin.bin").read_bytes()
                    self.assertEqual(stream.translate(None, shown[mode]), b"",
                                     "a byte no picture can show")
                    if kind == "instructions":
                        self.assertNotEqual(stream[:FRAME_BYTES],
                                            stream[-FRAME_BYTES:],
                                            "the packs drew nothing")


if __name__ == "__main__":
    unittest.main(verbosity=2)
