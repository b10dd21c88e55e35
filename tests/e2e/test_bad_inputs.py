"""Damaged, odd and hostile inputs: each run ends with the right report and
exit status, writes nothing to standard output and leaves the user's files
as they were; only the run's own raw audio file may be left behind, and only
where a fatal stop after writing it says so."""

import hashlib
import math
import os
import random
import re
import resource
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import (BROKEN_PIPE, FRAME_BYTES, HALF_READ_ENCODER,
                     IS_A_DIRECTORY, LEAD_OUT, NOT_FOUND, PACK_SIZE,
                     PACKS_PER_FRAME, PACKS_PER_SECTOR, SANITIZED,
                     SECTOR_AUDIO, SECTOR_SUBCODE, SELF_KILL_ENCODER, Disc,
                     E2ETestCase, audio_image, audio_sector, descriptor, raw_toc, subcode,
                     toc_bytes)

NOT_A_DIRECTORY = "Not a directory (os error 20)"
NO_SPACE = "No space left on device (os error 28)"
FILE_TOO_LARGE = "File too large (os error 27)"
NO_MEMORY = "Cannot allocate memory (os error 12)"

FFMPEG = shutil.which("ffmpeg")


def snapshot(folder):
    """Every entry below `folder` but the stand-in encoder's folder: links
    with their targets, directories, files with size and digest."""
    found = {}
    for top, dirs, files in os.walk(folder):
        if top == str(folder):
            dirs.remove("record")
        for name in dirs + files:
            path = os.path.join(top, name)
            rel = os.path.relpath(path, folder)
            if os.path.islink(path):
                found[rel] = ("link", os.readlink(path))
            elif os.path.isdir(path):
                found[rel] = "dir"
            else:
                data = Path(path).read_bytes()
                found[rel] = (len(data), hashlib.sha256(data).hexdigest())
    return found


def frames_for(sectors):
    """One frame before every fifth pack: ceil(packs / 5)."""
    return math.ceil(sectors * PACKS_PER_SECTOR / PACKS_PER_FRAME)


class BadInputCase(E2ETestCase):

    def setUp(self):
        super().setUp()
        self.raw = self.tmp / "t.raw"
        self.mp4 = self.tmp / "o.mp4"

    def run_disc(self, paths, raw_left=None, env=None, preexec=None,
                 **kwargs):
        """Runs the binary on a written disc (`kwargs` as for args) and
        checks that the folder is as before, apart from the raw file
        `raw_left`, which must be new."""
        kwargs.setdefault("raw", self.raw)
        kwargs.setdefault("mp4", self.mp4)
        before = snapshot(self.tmp)
        result = self.run_tool(self.args(paths, **kwargs), env=env,
                               preexec=preexec, timeout=120)
        after = snapshot(self.tmp)
        if raw_left is not None:
            key = os.path.relpath(raw_left, self.tmp)
            self.assertNotIn(key, before)
            self.assertIn(key, after, "the raw file was not left behind")
            del after[key]
        self.assertEqual(after, before, "the user's files changed")
        return result

    def assert_not_started(self):
        self.assertFalse(self.record.started, "the encoder was started")


class EmptyAndTruncatedDumpTest(BadInputCase):
    """A two-sector, one-track disc with one dump damaged."""

    def write(self, **dumps):
        disc = Disc.simple([0], 2)
        for key, content in dumps.items():
            setattr(disc, key, content)
        return self.write_disc(disc)

    def test_each_dump_empty_or_short_by_one_byte(self):
        # Zero bytes are a whole number of sectors, so an empty dump passes
        # its length check and falls short of the lead-out at sector 2.
        # One byte short of two sectors leaves 2351 and 95 over. An empty
        # table of contents lacks bytes 0..2, its length field.
        cases = [
            ({"image": b""}, "assertion failed: disc_end_lba <= img_frames"),
            ({"cdg": b""}, "assertion failed: disc_end_lba <= cdg_frames"),
            ({"toc": b""}, re.compile(r"\b0\.\.2\b.*\b0 bytes\b")),
            ({"image": audio_image(2)[:-1]}, (2351, 0)),
            ({"cdg": subcode(2)[:-1]}, (95, 0)),
        ]
        for dumps, expected in cases:
            with self.subTest(dumps=list(dumps)):
                result = self.run_disc(self.write(**dumps))
                if isinstance(expected, str):
                    self.assert_report(result, expected)
                elif isinstance(expected, tuple):
                    self.assert_equality_report(result, *expected)
                else:
                    report = self.assert_fatal(result)
                    self.assertRegex(report, expected)
                    self.assertNotIn("left:", report)
                self.assert_not_started()

    def test_empty_dumps_of_an_empty_disc_run(self):
        # Track 1 and the lead-out both at sector 0: nothing to convert,
        # and nothing is missing either.
        paths = self.write_disc(Disc(toc_bytes([0], 0), b"", b""))
        self.assert_success(self.run_disc(paths))
        self.assertEqual(self.record.raw_copy, b"")
        self.assertEqual(self.record.info["stdin_bytes"], 0)


class InputPathTest(BadInputCase):
    """Input paths that name something other than a readable file."""

    def test_paths_that_cannot_be_read(self):
        # Each damage takes the removed file's path and the disc's paths
        # and may give the path to use instead.
        directory = ("directory", lambda path, paths: path.mkdir())
        under_a_file = ("under a file",
                        lambda path, paths: paths["img"] / path.name)
        dangling = ("dangling link",
                    lambda path, paths: path.symlink_to(self.tmp / "gone"))
        linked_dir = ("link to a directory",
                      lambda path, paths: path.symlink_to(self.tmp))
        cases = [
            ("cdg", directory, "read cdg file: " + IS_A_DIRECTORY),
            ("toc", directory, "read toc file: " + IS_A_DIRECTORY),
            ("img", linked_dir, "read img file: " + IS_A_DIRECTORY),
            ("cdg", under_a_file, "read cdg file: " + NOT_A_DIRECTORY),
            ("toc", under_a_file, "read toc file: " + NOT_A_DIRECTORY),
            ("toc", dangling, "read toc file: " + NOT_FOUND),
        ]
        for index, (key, (how, damage), message) in enumerate(cases):
            with self.subTest(key=key, how=how):
                paths = self.write_disc(Disc.simple([0], 2), f"d{index}")
                paths[key].unlink()
                paths[key] = damage(paths[key], paths) or paths[key]
                self.assert_report(self.run_disc(paths), message)
                self.assert_not_started()


class TocLengthFieldTest(BadInputCase):

    def test_length_field_at_its_largest(self):
        # 0xFFFF in a file of 0xFFFF + 2 bytes: (65535 - 2) / 8 = 8191
        # descriptors take 8 * 8191 + 4 = 65532 bytes, not 65537. In a
        # 20-byte file the length field itself does not match. 0xFFFA in a
        # file of 65532 bytes is 8191 whole descriptors ending in the
        # lead-out, but a track-number byte stops at 255: descriptor 255,
        # which should carry 256, carries 0.
        descs = [descriptor((k + 1) & 0xFF, k) for k in range(8190)]
        wrapped = raw_toc(descs + [descriptor(LEAD_OUT, 8190)], last=255)
        self.assertEqual((len(wrapped), wrapped[:2]), (65532, b"\xff\xfa"))
        cases = [(b"\xff\xff" + bytes(0xFFFF), 65532, 65537),
                 (b"\xff\xff" + toc_bytes([0], 2)[2:], 65537, 20),
                 (wrapped, 0, 256)]
        for index, (toc, left, right) in enumerate(cases):
            with self.subTest(length=len(toc), left=left):
                disc = Disc(toc, audio_image(2), subcode(2))
                result = self.run_disc(self.write_disc(disc, f"d{index}"))
                self.assert_equality_report(result, left, right)
                self.assert_not_started()


class MemoryTest(BadInputCase):
    """Inputs larger than the memory at hand, which an address-space limit
    of 256 MiB makes small: a sparse 34 GB file takes no room on disk."""

    LIMIT = 256 << 20

    def test_inputs_that_do_not_fit(self):
        paths = self.write_disc(Disc.simple([0], 2))
        # Outside the test folder, which run_disc reads whole to compare.
        outside = tempfile.TemporaryDirectory(prefix="glyphreel-e2e-sparse-")
        self.addCleanup(outside.cleanup)
        huge = Path(outside.name) / "huge"
        huge_size = 34 * 10**9
        with open(huge, "wb") as out:
            out.truncate(huge_size)
        zero = Path("/dev/zero")
        # A table of contents is read no further than one byte past the
        # longest a 16-bit length field allows, 65537: both are all zeros,
        # so the length field says 0, and the file's length is its size
        # where the file system knows it, else the 65538 bytes read.
        cases = [("img", huge, "read img file: " + NO_MEMORY),
                 ("cdg", zero, "read cdg file: " + NO_MEMORY),
                 ("toc", zero, (2, 65538)),
                 ("toc", huge, (2, huge_size))]

        def limit_memory():
            resource.setrlimit(resource.RLIMIT_AS, (self.LIMIT, self.LIMIT))

        for key, source, expected in cases:
            with self.subTest(key=key, source=source.name):
                loads_it_all = isinstance(expected, str)
                if SANITIZED and loads_it_all:
                    self.skipTest("the sanitizers cannot run under a memory "
                                  "limit and end the process on a failed "
                                  "allocation")
                result = self.run_disc(
                    dict(paths, **{key: source}),
                    preexec=None if SANITIZED else limit_memory)
                if loads_it_all:
                    self.assert_report(result, expected)
                else:
                    self.assert_equality_report(result, *expected)
                self.assert_not_started()


    def test_memory_that_runs_short_after_loading(self):
        # Track 1 is two sectors of a sparse image that fills nearly all the
        # memory at hand: the larger the image, the earlier a run stops
        # once it is loaded. Each stop is the step's report: the encoder's
        # start, the graphics state and frames of the pack loop. A smaller
        # limit keeps the images small.
        limit = 48 << 20
        if SANITIZED:
            self.skipTest("the sanitizers cannot run under a memory limit")
        outside = tempfile.TemporaryDirectory(prefix="glyphreel-e2e-sparse-")
        self.addCleanup(outside.cleanup)
        folder = Path(outside.name)
        paths = {key: folder / f"disc.{key}" for key in ("img", "cdg", "toc")}

        def run(sectors):
            for key, size in (("img", SECTOR_AUDIO), ("cdg", SECTOR_SUBCODE)):
                with open(paths[key], "wb") as out:
                    out.truncate(sectors * size)
            paths["toc"].write_bytes(toc_bytes([0, 2], sectors))
            for made in (self.raw, self.mp4):
                made.unlink(missing_ok=True)
            return self.run_tool(self.args(paths, raw=self.raw, mp4=self.mp4),
                                 timeout=120, preexec=lambda: resource.
                                 setrlimit(resource.RLIMIT_AS, (limit, limit)))

        def loaded(result):
            return not re.match(rb"glyphreel: read (img|cdg) file: ",
                                result.stderr)

        # The largest image that still loads, then smaller ones until a run
        # has all it needs.
        low, high = 2, limit // SECTOR_AUDIO
        while low < high:
            middle = (low + high + 1) // 2
            low, high = (middle, high) if loaded(run(middle)) else \
                (low, middle - 1)
        steps = []
        for sectors in range(low, low - 64 * 16, -16):
            result = run(sectors)
            if result.returncode == 0:
                break
            report = self.assert_fatal(result)
            self.assertTrue(report.endswith(": " + NO_MEMORY), report)
            step = report[:-len(": " + NO_MEMORY)]
            if step == "decode packs":
                # Written before the pack loop, the raw file stays.
                self.assertEqual(self.raw.read_bytes(), bytes(2 * SECTOR_AUDIO))
            steps.append(step)
        self.assertIn("decode packs", steps)
        self.assertEqual(result.returncode, 0, "no run had memory enough")


class OutOfOrderTest(BadInputCase):
    """Tracks at sectors 0, 6 and 2, lead-out at 8: track 1 is sectors 0-5,
    track 2 runs from 6 back to 2, track 3 is sectors 2-7."""

    def setUp(self):
        super().setUp()
        self.paths = self.write_disc(Disc.simple([0, 6, 2], 8))

    def test_track_that_ends_before_it_starts(self):
        # Bytes 6 * 2352 up to 2 * 2352: refused before anything is written.
        report = self.assert_fatal(self.run_disc(self.paths, start="2",
                                                 end="2"))
        self.assertIn("14112", report)
        self.assertIn("4704", report)
        self.assertNotIn("left:", report)
        self.assert_not_started()

    def test_choices_that_still_make_a_span(self):
        # (start, end, first sector, sectors): a range runs from the start
        # of its first track to the start of the descriptor after its last.
        cases = [("1", "1", 0, 6), ("1", "2", 0, 2), ("3", "3", 2, 6),
                 ("2", "3", 6, 2), ("3", "2", 2, 0)]
        for start, end, first, count in cases:
            with self.subTest(start=start, end=end):
                self.assert_success(self.run_disc(
                    self.paths, start=start, end=end,
                    raw=self.tmp / f"t{start}{end}.raw",
                    mp4=self.tmp / f"o{start}{end}.mp4"))
                self.assertEqual(self.record.raw_copy, b"".join(
                    audio_sector(n) for n in range(first, first + count)))
                self.assertEqual(len(self.record.stdin),
                                 frames_for(count) * FRAME_BYTES)


def msf(minute, second, frame):
    """A minute-second-frame address as its four bytes read big-endian."""
    return (minute << 16) | (second << 8) | frame


class MsfTocTest(BadInputCase):
    """A table of contents in minute-second-frame form is read as if its
    addresses were sector numbers."""

    def test_addresses_beyond_the_dumps(self):
        # 00:04:00 would be sector 300 at most, so 300-sector dumps would
        # hold the disc; read plainly it is 0x400 = 1024. 02:00:00 reads as
        # 0x20000 = 131072.
        cases = [([msf(0, 2, 0)], msf(0, 4, 0)),
                 ([msf(0, 2, 0), msf(1, 30, 12)], msf(2, 0, 0))]
        for index, (tracks, lead_out) in enumerate(cases):
            with self.subTest(lead_out=hex(lead_out)):
                disc = Disc(toc_bytes(tracks, lead_out), audio_image(300),
                            subcode(300))
                result = self.run_disc(self.write_disc(disc, f"d{index}"))
                self.assert_report(
                    result, "assertion failed: disc_end_lba <= img_frames")
                self.assert_not_started()

    def test_addresses_that_happen_to_fit(self):
        # 00:00:00, 00:00:64 and 00:01:00 read as 0, 64 and 0x100 = 256:
        # track 2 is taken as sectors 64-255.
        disc = Disc(toc_bytes([msf(0, 0, 0), msf(0, 0, 64)], msf(0, 1, 0)),
                    audio_image(256), subcode(256))
        self.assert_success(self.run_disc(self.write_disc(disc), start="2",
                                          end="2"))
        self.assertEqual(self.record.raw_copy, b"".join(
            audio_sector(n) for n in range(64, 256)))
        self.assertEqual(len(self.record.stdin),
                         frames_for(192) * FRAME_BYTES)


class RawFileWriteTest(BadInputCase):
    """Writing the raw audio file where it cannot be written whole."""

    SECTORS = 20  # 47040 bytes of audio

    def setUp(self):
        super().setUp()
        self.paths = self.write_disc(Disc.simple([0], self.SECTORS))
        self.audio = audio_image(self.SECTORS)

    def assert_partly_written(self, raw, largest):
        written = raw.read_bytes()
        self.assertGreater(len(written), 0)
        self.assertLessEqual(len(written), largest)
        self.assertEqual(written, self.audio[:len(written)])
        self.assert_not_started()

    def test_full_device_is_an_existing_path(self):
        self.assert_report(
            self.run_disc(self.paths, raw=Path("/dev/full")),
            "refusing to overwrite existing temp raw audio output")
        self.assert_not_started()

    def test_disk_full(self):
        small = self.tmp / "small"
        small.mkdir()
        mounted = subprocess.run(
            ["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", str(small)],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if mounted.returncode != 0:
            self.skipTest("mounting a 16 KiB tmpfs is not permitted here: "
                          + mounted.stdout.decode(errors="replace").strip())
        self.addCleanup(subprocess.run, ["umount", str(small)], check=True)
        raw = small / "t.raw"
        result = self.run_disc(self.paths, raw=raw, raw_left=raw)
        self.assert_report(result, "write raw audio: " + NO_SPACE)
        self.assert_partly_written(raw, 16 * 1024)

    def test_file_size_limit(self):
        # The kernel writes up to the limit, then refuses the next write
        # with EFBIG; the SIGXFSZ that comes with it must not end the run.
        limit = 10000

        def limit_file_size():
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        result = self.run_disc(self.paths, raw_left=self.raw,
                               preexec=limit_file_size)
        self.assert_report(result, "write raw audio: " + FILE_TOO_LARGE)
        self.assert_partly_written(self.raw, limit)
        self.assertEqual(self.raw.stat().st_size, limit)


class MissingOutputFolderTest(BadInputCase):
    """The mp4 path is the encoder's business alone."""

    def setUp(self):
        super().setUp()
        # One sector: a single frame, which the pipe takes whole before
        # the encoder has read anything.
        self.paths = self.write_disc(Disc.simple([0], 1))
        self.mp4 = self.tmp / "no-such-folder" / "o.mp4"

    def test_stand_in_encoder_is_handed_the_path(self):
        self.assert_success(self.run_disc(self.paths))
        self.assertEqual(self.record.argv[24], str(self.mp4))
        self.assertEqual(len(self.record.stdin), FRAME_BYTES)

    @unittest.skipUnless(FFMPEG, "ffmpeg is not on PATH")
    def test_real_encoder_fails_to_write_it(self):
        result = self.run_disc(self.paths, encoder=FFMPEG)
        self.assertEqual(result.returncode, 101)
        # ffmpeg's own complaints come first on the shared standard error;
        # the program's report is the last line.
        lines = result.stderr.decode(errors="replace").splitlines()
        self.assertRegex(lines[-1], r"^glyphreel: ffmpeg exited "
                                    r"unsuccessfully: exit status [1-9]\d*$")
        self.assertTrue(any("No such file or directory" in line
                            for line in lines[:-1]), lines)
        self.assertEqual(sum("glyphreel:" in line for line in lines), 1)


class AwkwardPathTest(BadInputCase):
    """Paths are bytes handed on unchanged: to the file system for the three
    dumps, to the encoder as arguments 18 and 25."""

    NAMES = ["new\nline", 'double"quote', "single'quote", "back\\slash",
             "Ünïcødé Łódź 日本", os.fsdecode(b"not-utf8-\xff\xfe")]

    def test_names(self):
        disc = Disc.simple([0], 2)
        for name in self.NAMES:
            with self.subTest(name=name):
                folder = self.tmp / name
                folder.mkdir()
                paths = disc.write(folder, name)
                raw = folder / f"{name}.raw"
                mp4 = folder / f"{name}.mp4"
                self.assert_success(self.run_disc(paths, raw=raw, mp4=mp4))
                argv = self.record.argv
                self.assertEqual(len(argv), 25)
                self.assertEqual(os.fsencode(argv[17]), os.fsencode(raw))
                self.assertEqual(os.fsencode(argv[24]), os.fsencode(mp4))
                self.assertEqual(self.record.raw_copy, disc.image)
                self.assertEqual(len(self.record.stdin), 2 * FRAME_BYTES)


class EncoderGoesAwayTest(BadInputCase):
    """An encoder that stops reading part-way through a one-second run of
    60 frames, after ten and a half frames."""

    def test_encoder_leaves_mid_stream(self):
        sectors = 75
        paths = self.write_disc(Disc.simple([0], sectors))
        read = 10 * FRAME_BYTES + FRAME_BYTES // 2
        cases = [("closes its input", HALF_READ_ENCODER,
                  {"GLYPHREEL_FAKE_READ_BYTES": read}),
                 ("is killed", SELF_KILL_ENCODER,
                  {"GLYPHREEL_FAKE_KILL_AFTER": read})]
        for index, (how, encoder, env) in enumerate(cases):
            with self.subTest(how=how):
                raw = self.tmp / f"t{index}.raw"
                result = self.run_disc(paths, raw_left=raw, env=env,
                                       raw=raw, encoder=encoder)
                self.assert_report(result, "write frame: " + BROKEN_PIPE)
                self.assertEqual(self.record.info["stdin_bytes"], read)
                self.assertEqual(raw.read_bytes(), audio_image(sectors))


class RandomSubcodeTest(BadInputCase):
    """Subcode noise is never an error. 101 sectors are 404 packs: frames
    before packs 0, 5, ..., 400, that is 81."""

    SECTORS = 101
    # Codes that mean something in mode 9 or mode 10.
    CODES = (1, 2, 3, 6, 14, 16, 17, 20, 24, 30, 31, 38, 40, 47, 48, 63)
    # Every byte a frame can hold: 16 v + 8 for a 4-bit channel; in a cdeg
    # run also 255 (a saturated mixed channel) and 4 c for a 6-bit channel.
    SHOWN = {"cdg": bytes(16 * v + 8 for v in range(16)),
             "cdeg": bytes(range(0, 256, 4)) + b"\xff"}

    def dumps(self):
        rng = random.Random(20240611)
        noise = rng.randbytes(self.SECTORS * SECTOR_SUBCODE)
        instructions = bytearray(rng.randbytes(len(noise)))
        for offset in range(0, len(instructions), PACK_SIZE):
            instructions[offset] = rng.choice((9, 10))
            instructions[offset + 1] = rng.choice(
                self.CODES + (rng.randrange(256),))
        return {"noise": noise, "instructions": bytes(instructions)}

    def test_any_bytes_make_whole_frames(self):
        frames = 81
        for kind, cdg in self.dumps().items():
            disc = Disc(toc_bytes([0], self.SECTORS),
                        audio_image(self.SECTORS), cdg)
            paths = self.write_disc(disc, kind)
            for mode in ("cdg", "cdeg"):
                with self.subTest(kind=kind, mode=mode):
                    self.assert_success(self.run_disc(
                        paths, mode=mode, raw=self.tmp / f"{kind}{mode}.raw",
                        mp4=self.tmp / f"{kind}{mode}.mp4"))
                    stream = self.record.stdin
                    self.assertEqual(len(stream), frames * FRAME_BYTES)
                    self.assertEqual(stream.translate(None, self.SHOWN[mode]),
                                     b"", "a byte no picture can show")
                    if kind == "instructions":
                        self.assertNotEqual(stream[:FRAME_BYTES],
                                            stream[-FRAME_BYTES:],
                                            "the packs drew nothing")


if __name__ == "__main__":
    unittest.main()
