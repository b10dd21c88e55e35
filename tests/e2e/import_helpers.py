"""Shared pieces of the end-to-end tests of glyphreel-import.

An encoder of R-W subchannel written from the facts of the raw forms: Q then
P parity over GF(64), interleaving logical packs into raw pack slots, the
packed (CloneCD) order of a sector's frame bytes. Discs are built as the
cooked packs a drive would deliver; the tests encode them to a raw form,
import them and expect those packs back, and the frames glyphreel draws from
them.

Environment:
  GLYPHREEL_IMPORT   path of glyphreel-import (set by CTest)
  GLYPHREEL          path of glyphreel, to convert what was imported
"""

import json
import os
import random
import subprocess
from pathlib import Path

from harness import (FAKES, HERE, LEAD_OUT, PACK_SIZE, PACKS_PER_SECTOR,
                     SECTOR_AUDIO, SECTOR_SUBCODE, E2ETestCase, descriptor,
                     load_colours, memory_preset, pack, raw_toc,
                     run_glyphreel, tile_block, tree)

FAKE_DECODER = FAKES / "fake_decoder.py"

IMPORT_USAGE = (
    "usage: glyphreel-import cue SHEET.cue [SUBCHANNEL] OUTDIR "
    "[--form interleaved|packed|cooked] [--sub-start LBA|auto] "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import cdrdao DISC.toc OUTDIR "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import clonecd IMAGE.ccd OUTDIR "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import songs OUTDIR SONG.cdg AUDIO "
    "[SONG.cdg AUDIO ...] [--ffmpeg PATH]\n"
    "       glyphreel-import check SHEET.cue [SUBCHANNEL] "
    "[--form interleaved|packed|cooked] [--sub-start LBA|auto] [--json]\n"
    "       glyphreel-import check DISC.toc|IMAGE.ccd [--json]\n"
    "       glyphreel-import check DISC.cdg [DISC.toc] [--json]\n")

OUTPUTS = ("disc.img", "disc.cdg", "disc.toc")

# Drives deliver the logical pack of raw slot n at cooked slot n + 8.
ALIGNMENT_SLOTS = 8

# --- GF(64), primitive polynomial x^6 + x + 1, alpha = x ---------------------

EXP = [0] * 126
LOG = [0] * 64
_value = 1
for _power in range(63):
    EXP[_power] = EXP[_power + 63] = _value
    LOG[_value] = _power
    _value <<= 1
    if _value & 0x40:
        _value ^= 0x43


def gf_mul(a, b):
    return 0 if a == 0 or b == 0 else EXP[LOG[a] + LOG[b]]


def parity(message, roots):
    """The `roots` check symbols that follow `message` (highest power first)
    so that the whole word vanishes at alpha^0 ... alpha^(roots - 1): the
    remainder of message * x^roots divided by the generator."""
    generator = [1]
    for j in range(roots):
        # times (x + alpha^j), coefficients highest power first
        generator = ([c for c in generator] + [0])
        for k in range(len(generator) - 1, 0, -1):
            generator[k] ^= gf_mul(generator[k - 1], EXP[j])
    remainder = list(message) + [0] * roots
    for i in range(len(message)):
        factor = remainder[i]
        if factor:
            for k in range(1, len(generator)):
                remainder[i + k] ^= gf_mul(generator[k], factor)
    return remainder[-roots:]


def syndromes(symbols, roots):
    """The word evaluated at alpha^0 ... alpha^(roots - 1)."""
    result = []
    for j in range(roots):
        value = 0
        for s in symbols:  # Horner, highest power first
            value = gf_mul(value, EXP[j]) ^ s
        result.append(value)
    return result


def with_parity(raw_pack):
    """A 24-byte pack as symbols with Q parity (symbols 2, 3) and then P
    parity (20 ... 23) filled in."""
    symbols = [b & 0x3F for b in raw_pack]
    symbols[2:4] = parity(symbols[0:2], 2)
    symbols[20:24] = parity(symbols[0:20], 4)
    assert syndromes(symbols, 4) == [0] * 4
    assert syndromes(symbols[0:4], 2) == [0] * 2
    return bytes(symbols)


# --- Interleaving ------------------------------------------------------------

SWAP = {1: 18, 18: 1, 2: 5, 5: 2, 3: 23, 23: 3}


def swap(column):
    return SWAP.get(column, column)


def interleave(logical, first_slot, slots, filler):
    """Raw symbols for raw pack slots first_slot ... first_slot + slots - 1.
    Symbol c of the logical pack starting at raw slot n lies at raw symbol
    position (n + (s(c) & 7)) * 24 + s(c); `logical` maps n to 24 symbols and
    `filler(n)` gives the packs it lacks."""
    raw = bytearray(slots * PACK_SIZE)
    for slot in range(first_slot, first_slot + slots):
        for column in range(PACK_SIZE):
            n = slot - (column & 7)
            symbols = logical[n] if n in logical else filler(n)
            raw[(slot - first_slot) * PACK_SIZE + column] = \
                symbols[swap(column)]
    return bytes(raw)


def pack_sector(frames):
    """One sector's 96 frame bytes in packed order: 8 channels of 12 bytes,
    P first; frame i is bit 7 - i mod 8 of byte 12 c + i div 8."""
    packed = bytearray(SECTOR_SUBCODE)
    for i, frame in enumerate(frames):
        for channel in range(8):
            bit = (frame >> (7 - channel)) & 1
            packed[12 * channel + i // 8] |= bit << (7 - i % 8)
    return bytes(packed)


def raw_subchannel(cooked, first_lba=0, form="interleaved", seed=1,
                   damage=None):
    """The subchannel file a ripper would store for a disc whose drive would
    deliver the cooked packs `cooked` (96 bytes per image sector), its first
    record being image sector first_lba (<= 0).

    The cooked pack at slot m is the logical pack of raw slot m - 8; logical
    packs that would land before slot 0 or past the end are random, as the
    lead-in and lead-out would be. `damage` maps a cooked slot to
    {symbol: xor value}, applied before interleaving. P and Q channel bits
    are random noise that the importer must mask."""
    rng = random.Random(seed)
    damaged = bytearray(cooked)
    for m, symbols in (damage or {}).items():
        for position, xor in symbols.items():
            damaged[m * PACK_SIZE + position] ^= xor
    slots = len(cooked) // PACK_SIZE
    logical = {m - ALIGNMENT_SLOTS: damaged[m * PACK_SIZE:(m + 1) * PACK_SIZE]
               for m in range(slots)}
    noise = {}

    def filler(n):
        if n not in noise:
            noise[n] = bytes(rng.randrange(64) for _ in range(PACK_SIZE))
        return noise[n]

    first_slot = first_lba * PACKS_PER_SECTOR
    if form == "cooked":
        before = bytes(rng.randrange(256) for _ in
                       range(-first_lba * SECTOR_SUBCODE))
        return before + bytes(damaged)
    symbols = interleave(logical, first_slot, slots - first_slot, filler)
    frames = bytes(s | (rng.randrange(4) << 6) for s in symbols)
    if form == "interleaved":
        return frames
    assert form == "packed"
    return b"".join(pack_sector(frames[i:i + SECTOR_SUBCODE])
                    for i in range(0, len(frames), SECTOR_SUBCODE))


# --- The Q subchannel ----------------------------------------------------------

def q_crc(data):
    """CRC-16 over bytes 0-9 of a Q frame: x^16 + x^12 + x^5 + 1, most
    significant bit first, from a zero register, stored inverted."""
    crc = 0
    for byte in data:
        for bit in range(7, -1, -1):
            feedback = ((crc >> 15) & 1) ^ ((byte >> bit) & 1)
            crc = (crc << 1) & 0xFFFF
            if feedback:
                crc ^= 0x1021
    return crc ^ 0xFFFF


def bcd(value):
    return (value // 10) << 4 | value % 10


def q_frame(lba, track=1, track_start=0):
    """An ADR-1 position frame of disc sector `lba` in `track`, whose index 1
    is at disc sector track_start: relative time from there, counting down
    to it in index 0. None for lba None: a lead-in frame (track 0), which
    gives no position."""
    def msf(frames):
        return [bcd(frames // 4500), bcd(frames // 75 % 60), bcd(frames % 75)]
    if lba is None:
        body = bytes([0x01, 0x00, 0x01, 0, 0x10, 0x20, 0, 0, 0x02, 0])
    else:
        index = 0 if lba < track_start else 1
        body = bytes([0x01, bcd(track), index] + msf(abs(lba - track_start))
                     + [0] + msf(lba + 150))
    crc = q_crc(body)
    return body + bytes([crc >> 8, crc & 0xFF])


def with_q(record, q):
    """An interleaved record whose bit 6 carries the 96 bits of q, most
    significant first; its other bits as they were."""
    return bytes((b & ~0x40) | (0x40 if q[i // 8] >> (7 - i % 8) & 1 else 0)
                 for i, b in enumerate(record))


# --- Disc content ------------------------------------------------------------

def graphics_disc(sectors, seed=7, aligned=True, without_parity=(),
                  graphics_at=()):
    """Cooked packs of a disc: colours, a preset and tile blocks with parity
    between idle packs, and surely at the slots `graphics_at`;
    `without_parity` slots hold a graphics pack whose parity symbols are all
    zero. With `aligned` the first 8 slots are idle, as a drive delivers
    them."""
    rng = random.Random(seed)
    slots = sectors * PACKS_PER_SECTOR
    cooked = bytearray(sectors * SECTOR_SUBCODE)
    first = ALIGNMENT_SLOTS if aligned else 0
    script = [load_colours(True, [(0, 0, 0), (15, 0, 0), (0, 0, 15),
                                  (15, 15, 15)]), memory_preset(2)]
    for m in range(first, slots):
        if m - first < len(script):
            raw = script[m - first]
        elif rng.random() < 0.4 or m in graphics_at:
            raw = tile_block(rng.randrange(4), rng.randrange(4),
                             rng.randrange(18), rng.randrange(50),
                             [rng.randrange(64) for _ in range(12)],
                             xor=rng.random() < 0.3)
        else:
            continue
        cooked[m * PACK_SIZE:(m + 1) * PACK_SIZE] = with_parity(raw)
    for m in without_parity:
        cooked[m * PACK_SIZE:(m + 1) * PACK_SIZE] = pack(
            9, 6, [1, 2, 3, 4] + [0b101010] * 12)
    return bytes(cooked)


def audio_bytes(sectors, seed):
    rng = random.Random(seed)
    return rng.randbytes(sectors * SECTOR_AUDIO)


def report_json(stdout):
    return json.loads(stdout.decode("utf-8"))


# --- Running the programs ----------------------------------------------------

def import_command():
    binary = os.environ.get("GLYPHREEL_IMPORT")
    if not binary:
        fallback = HERE.parent.parent / "build" / "debug" / "glyphreel-import"
        if not fallback.exists():
            raise RuntimeError("set GLYPHREEL_IMPORT (CTest does this)")
        binary = str(fallback)
    return [binary]


class ImportTestCase(E2ETestCase):
    """A temporary folder per test, runs of glyphreel-import and of
    glyphreel on what it wrote."""

    def run_import(self, args, preexec=None, env=None):
        return subprocess.run(
            import_command() + [os.fspath(a) for a in args], cwd=self.tmp,
            env={**os.environ, **(env or {})}, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120,
            preexec_fn=preexec)

    def assert_imported(self, result):
        """Exit 0 with nothing on standard error."""
        self.assertEqual(result.stderr.decode(), "")
        self.assertEqual(result.returncode, 0)

    def assert_refused(self, args, message, preexec=None, env=None):
        """Exit 1, one report containing `message` as the last line of
        standard error (a decoder may have spoken before), nothing written,
        no folder created, nothing on standard output."""
        before = tree(self.tmp)
        result = self.run_import(args, preexec=preexec, env=env)
        text = result.stderr.decode()
        self.assertEqual(result.returncode, 1, text)
        ours = [line for line in text.splitlines(keepends=True)
                if line.startswith("glyphreel-import: ")]
        self.assertEqual(len(ours), 1, text)
        self.assertTrue(text.endswith(ours[0]), text)
        self.assertIn(message, ours[0])
        self.assertEqual(result.stdout, b"")
        self.assertEqual(tree(self.tmp), before, "a refused run left files")
        return text

    def frames(self, folder, tracks):
        """The frames glyphreel draws from the dumps in `folder`, all
        `tracks` tracks, through the recording encoder."""
        for leftover in self.record_dir.iterdir():
            leftover.unlink()
        folder = Path(folder)
        result = run_glyphreel(
            [folder / "disc.img", folder / "disc.cdg", folder / "disc.toc",
             folder / "out-tmp.raw", FAKES / "record_encoder.py",
             folder / "out.mp4", "1", str(tracks)],
            env={"GLYPHREEL_FAKE_DIR": self.record_dir})
        self.assertEqual(result.returncode, 0, result.stderr)
        return self.record.stdin

    def assert_dumps(self, out, image, cooked, track_lbas, data_tracks=()):
        """The three dumps hold what a drive would have read, and glyphreel
        draws the same frames from them as from the original packs."""
        out = Path(out)
        lead_out = len(image) // SECTOR_AUDIO
        # The lead-out carries the last track's control bits.
        toc = raw_toc([descriptor(k + 1, lba, 0x14 if k + 1 in data_tracks
                                  else 0x10)
                       for k, lba in enumerate(track_lbas)]
                      + [descriptor(LEAD_OUT, lead_out,
                                    0x14 if len(track_lbas) in data_tracks
                                    else 0x10)])
        self.assertEqual((out / "disc.img").read_bytes(), image)
        self.assertEqual((out / "disc.toc").read_bytes(), toc)
        self.assertEqual((out / "disc.cdg").read_bytes(), cooked)
        original = self.tmp / f"original-{out.name}"
        original.mkdir()
        for name, data in (("disc.img", image), ("disc.cdg", cooked),
                           ("disc.toc", toc)):
            (original / name).write_bytes(data)
        expected = self.frames(original, len(track_lbas))
        self.assertGreater(len(expected), 0)
        self.assertEqual(self.frames(out, len(track_lbas)), expected)
