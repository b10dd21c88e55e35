"""Shared pieces of the end-to-end tests of the glyphreel binary.

Disc fixtures are built in memory (table of contents, audio image, subcode
dump), written to a temporary folder, and the binary is run on them with its
output captured. The encoder is replaced by the small scripts in fakes/,
configured through environment variables that the binary hands on to its
child unchanged.

Environment:
  GLYPHREEL          path of the binary under test (set by CTest)
  GLYPHREEL_PREFIX   optional command prefix, split like a shell would
                     (for example "wine" to drive a Windows build)
  GLYPHREEL_SANITIZED  "1" when the binary runs under the sanitizers, which
                     cannot start under an address-space limit
"""

import json
import os
import shlex
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
FAKES = HERE / "fakes"

RECORD_ENCODER = FAKES / "record_encoder.py"
EARLY_EXIT_ENCODER = FAKES / "early_exit_encoder.py"
DRAIN_ENCODER = FAKES / "drain_encoder.py"
HALF_READ_ENCODER = FAKES / "half_read_encoder.py"
SELF_KILL_ENCODER = FAKES / "self_kill_encoder.py"

# Disc geometry.
SECTOR_AUDIO = 2352
SECTOR_SUBCODE = 96
PACK_SIZE = 24
PACKS_PER_SECTOR = 4
SECTORS_PER_SECOND = 75

# Frame geometry: 312 x 216 pixels of R, G, B.
FRAME_WIDTH = 312
FRAME_HEIGHT = 216
FRAME_BYTES = FRAME_WIDTH * FRAME_HEIGHT * 3
PACKS_PER_FRAME = 5

LEAD_OUT = 0xAA

USAGE = (
    "usage: glyphreel disc.img disc.cdg disc.toc out-tmp.raw ffmpeg.exe "
    "out.mp4 start_track end_track mode\n"
)

LIBRARY_USAGE = (
    "usage: glyphreel-library videos SOURCE... --out DIR [-j N] [--scale N] "
    "[--pad 16:9] [--shard K/N] [--results FILE] [--list] [--ffmpeg PATH]\n"
    "       glyphreel-library songs DISC_DIR OUTDIR [--audio mp3|flac|wav] "
    "[--folders] [--names SHEET] [--tracks FIRST-LAST] [--ffmpeg PATH]\n"
)

# System error descriptions as the POSIX build words them.
NOT_FOUND = "No such file or directory (os error 2)"
BROKEN_PIPE = "Broken pipe (os error 32)"
FILE_EXISTS = "File exists (os error 17)"
PERMISSION_DENIED = "Permission denied (os error 13)"
IS_A_DIRECTORY = "Is a directory (os error 21)"

DEFAULT_TIMEOUT = 60

SANITIZED = os.environ.get("GLYPHREEL_SANITIZED") == "1"


def binary_command():
    """The command that starts the binary: prefix words, then its path."""
    binary = os.environ.get("GLYPHREEL")
    if not binary:
        fallback = HERE.parent.parent / "build" / "debug" / "glyphreel"
        if not fallback.exists():
            raise RuntimeError(
                "set GLYPHREEL to the glyphreel binary (CTest does this)")
        binary = str(fallback)
    prefix = shlex.split(os.environ.get("GLYPHREEL_PREFIX", ""))
    return prefix + [binary]


def run_glyphreel(args, cwd=None, env=None, timeout=DEFAULT_TIMEOUT,
                  close_stdin=False, preexec=None):
    """Runs the binary with the given arguments (str, bytes or paths).

    `env` entries are added to the current environment. The binary's
    standard input is empty, or closed altogether with `close_stdin`.
    `preexec` runs in the child just before the binary starts (to set
    resource limits or signal dispositions).
    Returns the CompletedProcess with stdout and stderr as bytes.
    """
    full_env = dict(os.environ)
    if env:
        full_env.update({k: str(v) for k, v in env.items()})

    def before_exec():
        if preexec:
            preexec()
        if close_stdin:
            os.close(0)

    return subprocess.run(
        binary_command() + [os.fspath(a) if isinstance(a, Path) else a
                            for a in args],
        cwd=cwd, env=full_env,
        stdin=None if close_stdin else subprocess.DEVNULL,
        preexec_fn=before_exec if close_stdin or preexec else None,
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)


def start_glyphreel(args, out_folder, cwd=None, env=None):
    """Starts the binary without waiting for it. Its standard output and
    standard error go to files in `out_folder` (stdout.bin, stderr.bin), so
    that waiting for the program never means waiting for a child that
    shares them."""
    full_env = dict(os.environ)
    if env:
        full_env.update({k: str(v) for k, v in env.items()})
    out_folder = Path(out_folder)
    with open(out_folder / "stdout.bin", "wb") as out, \
            open(out_folder / "stderr.bin", "wb") as err:
        return subprocess.Popen(
            binary_command() + [os.fspath(a) if isinstance(a, Path) else a
                                for a in args],
            cwd=cwd, env=full_env, stdin=subprocess.DEVNULL, stdout=out,
            stderr=err)


# --- Disc fixtures -------------------------------------------------------

def descriptor(track_number, lba, adr_control=0x10):
    """One 8-byte track descriptor of a format-0 table of contents."""
    return struct.pack(">BBBBI", 0, adr_control, track_number, 0, lba)


def raw_toc(descriptors, toc_data_length=None, first=1, last=None):
    """A table of contents from ready descriptors; the length field is the
    true one unless given."""
    body = b"".join(descriptors)
    if last is None:
        last = max(len(descriptors) - 1, 0)
    if toc_data_length is None:
        toc_data_length = 2 + len(body)
    return struct.pack(">HBB", toc_data_length, first, last) + body


def toc_bytes(track_lbas, lead_out_lba, data_tracks=()):
    """A well-formed table of contents: tracks 1 ... n starting at the given
    sector addresses, then the lead-out. Track numbers in `data_tracks` get
    the data-track control bits."""
    descs = [descriptor(k + 1, lba, 0x14 if k + 1 in data_tracks else 0x10)
             for k, lba in enumerate(track_lbas)]
    descs.append(descriptor(LEAD_OUT, lead_out_lba))
    return raw_toc(descs)


def audio_sector(n):
    """2352 bytes that name their own sector: its index, big-endian, 588
    times over, so any misplaced or shifted sector shows."""
    return struct.pack(">I", n) * (SECTOR_AUDIO // 4)


def audio_image(sectors):
    return b"".join(audio_sector(n) for n in range(sectors))


def pack(mode, instruction, data=(), parity_q=b"\0\0", parity_p=b"\0\0\0\0"):
    """One 24-byte subcode pack; `data` is padded with zeros to 16 bytes."""
    data = bytes(data)
    assert len(data) <= 16
    return (bytes([mode, instruction]) + bytes(parity_q) + data
            + bytes(16 - len(data)) + bytes(parity_p))


def subcode(sectors, packs=None):
    """A subcode dump of `sectors` sectors of idle packs (mode 0), with the
    packs of `packs` (pack index -> 24 bytes, or a list from index 0)
    placed at their positions."""
    dump = bytearray(sectors * SECTOR_SUBCODE)
    if packs is None:
        packs = {}
    if isinstance(packs, (list, tuple)):
        packs = dict(enumerate(packs))
    for index, p in packs.items():
        assert len(p) == PACK_SIZE
        dump[index * PACK_SIZE:(index + 1) * PACK_SIZE] = p
    return bytes(dump)


# CD+G instructions (pack mode 9).
MODE_GRAPHICS = 9
MODE_EXTENDED = 10


def colour_pair(red, green, blue):
    """The two operand bytes that load one 4-bit-per-channel colour."""
    return bytes([((red & 0xF) << 2) | ((green >> 2) & 0x3),
                  ((green & 0x3) << 4) | (blue & 0xF)])


def load_colours(low_half, colours):
    """Load colour table low (entries 0-7) or high (8-15); `colours` holds
    up to 8 (red, green, blue) triples, the rest black."""
    colours = list(colours) + [(0, 0, 0)] * (8 - len(colours))
    data = b"".join(colour_pair(*c) for c in colours)
    return pack(MODE_GRAPHICS, 30 if low_half else 31, data)


def memory_preset(colour):
    return pack(MODE_GRAPHICS, 1, [colour])


def border_preset(colour):
    return pack(MODE_GRAPHICS, 2, [colour])


def tile_block(colour0, colour1, row, column, rows, xor=False):
    """A tile block; `rows` is one 6-bit pattern for all 12 pixel rows, or
    a list of 12."""
    if isinstance(rows, int):
        rows = [rows] * 12
    assert len(rows) == 12
    return pack(MODE_GRAPHICS, 38 if xor else 6,
                [colour0, colour1, row, column] + list(rows))


def shown(channel):
    """How a 4-bit colour channel appears in a frame."""
    return 16 * channel + 8


class Disc:
    """The three dumps of one disc, built in memory."""

    def __init__(self, toc, image, cdg):
        self.toc = toc
        self.image = image
        self.cdg = cdg

    @classmethod
    def simple(cls, track_lbas, lead_out_lba, packs=None, image_sectors=None,
               cdg_sectors=None, data_tracks=()):
        """A disc whose image and subcode dump end at the lead-out unless
        told otherwise."""
        if image_sectors is None:
            image_sectors = lead_out_lba
        if cdg_sectors is None:
            cdg_sectors = lead_out_lba
        return cls(toc_bytes(track_lbas, lead_out_lba, data_tracks),
                   audio_image(image_sectors), subcode(cdg_sectors, packs))

    def write(self, folder, stem="disc"):
        folder = Path(folder)
        paths = {
            "img": folder / f"{stem}.img",
            "cdg": folder / f"{stem}.cdg",
            "toc": folder / f"{stem}.toc",
        }
        paths["img"].write_bytes(self.image)
        paths["cdg"].write_bytes(self.cdg)
        paths["toc"].write_bytes(self.toc)
        return paths


# --- Frames ---------------------------------------------------------------

def split_frames(stream):
    assert len(stream) % FRAME_BYTES == 0, len(stream)
    return [stream[i:i + FRAME_BYTES]
            for i in range(0, len(stream), FRAME_BYTES)]


def pixel(frame, x, y, width=FRAME_WIDTH):
    offset = 3 * (y * width + x)
    return tuple(frame[offset:offset + 3])


# --- Test base ------------------------------------------------------------

def tree(folder):
    """Every path below `folder`, relative, with the size of each file."""
    folder = Path(folder)
    found = {}
    for path in folder.rglob("*"):
        rel = str(path.relative_to(folder))
        found[rel] = None if path.is_dir() else path.lstat().st_size
    return found


class Record:
    """What record_encoder.py left in its folder."""

    def __init__(self, folder):
        self.folder = Path(folder)

    @property
    def started(self):
        return (self.folder / "info.json").exists()

    @property
    def info(self):
        return json.loads((self.folder / "info.json").read_text())

    @property
    def argv(self):
        return self.info["argv"]

    @property
    def stdin(self):
        return (self.folder / "stdin.bin").read_bytes()

    @property
    def raw_copy(self):
        return (self.folder / "raw_copy.bin").read_bytes()


class E2ETestCase(unittest.TestCase):
    """A temporary folder per test and helpers around one run."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="glyphreel-e2e-")
        self.addCleanup(self._tmp.cleanup)
        self.tmp = Path(self._tmp.name)
        self.record_dir = self.tmp / "record"
        self.record_dir.mkdir()
        self.record = Record(self.record_dir)

    def write_disc(self, disc, stem="disc"):
        return disc.write(self.tmp, stem)

    def args(self, paths, start="1", end="1", mode=None, raw=None, mp4=None,
             encoder=RECORD_ENCODER):
        """The command line for a disc written by write_disc."""
        raw = self.tmp / "out-tmp.raw" if raw is None else raw
        mp4 = self.tmp / "out.mp4" if mp4 is None else mp4
        args = [paths["img"], paths["cdg"], paths["toc"], raw, encoder, mp4,
                start, end]
        if mode is not None:
            args.append(mode)
        return args

    def run_tool(self, args, env=None, cwd=None, timeout=DEFAULT_TIMEOUT,
                 close_stdin=False, preexec=None):
        """Runs the binary with the record encoder's folder in its
        environment. Whatever happens, standard output stays empty."""
        full_env = {"GLYPHREEL_FAKE_DIR": str(self.record_dir)}
        if env:
            full_env.update(env)
        result = run_glyphreel(args, cwd=cwd or self.tmp, env=full_env,
                               timeout=timeout, close_stdin=close_stdin,
                               preexec=preexec)
        self.assertEqual(result.stdout, b"",
                         "the program wrote to standard output")
        return result

    def stderr_text(self, result):
        return result.stderr.decode("utf-8")

    def assert_success(self, result):
        self.assertEqual(self.stderr_text(result), "")
        self.assertEqual(result.returncode, 0)

    def assert_fatal(self, result):
        """A fatal stop: exit 101 and one report, prefixed and ending in a
        line feed. Returns the report text without the prefix."""
        text = self.stderr_text(result)
        self.assertEqual(result.returncode, 101, text)
        self.assertTrue(text.startswith("glyphreel: "), text)
        self.assertTrue(text.endswith("\n"), text)
        return text[len("glyphreel: "):-1]

    def assert_report(self, result, message):
        """A fatal stop whose whole report is `message`."""
        self.assertEqual(self.stderr_text(result),
                         "glyphreel: " + message + "\n")
        self.assertEqual(result.returncode, 101)

    def assert_equality_report(self, result, left, right):
        report = self.assert_fatal(result)
        self.assertTrue(
            report.endswith(f"\n  left: {left}\n right: {right}"), report)
        return report
