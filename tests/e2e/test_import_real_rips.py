"""glyphreel-import on rips as rippers really write them: gaps in no file,
a subchannel file placed by its Q (a start in the lead-in, slips), CDG
sheets and cdrdao rips of 2448-byte blocks, names written with backslashes,
BINs whose sheet misdescribes them, and checks of rips that write nothing."""

import unittest

from harness import SECTOR_AUDIO, SECTOR_SUBCODE, tree
from import_helpers import (IMPORT_USAGE, ImportTestCase, audio_bytes,
                            graphics_disc, q_frame, raw_subchannel,
                            report_json, with_q)

# Track 1 in a.bin (sectors 0-39, index 1 at 5), a PREGAP in no file
# (40-59), track 2 in b.bin in a subfolder that the sheet names with a
# backslash (60-119). Q counts from track 1's index 1: sector s is Q's
# s - 5. The subchannel file begins ten records into the lead-in, before
# the first track's pregap at Q's -150, and holds records beside the
# files' sectors only. The drive repeated three records before sector 30
# and dropped those of sectors 90 and 91; sector 10's Q has a bad CRC.
A_SECTORS, GAP, B_SECTORS = 40, 20, 60
SECTORS = A_SECTORS + GAP + B_SECTORS
INDEX_01 = 5
FIRST_RECORD = -160 + INDEX_01
REPEAT_AT, DROP_AT = 30, 90
SHEET = ('FILE "a.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n'
         '    INDEX 01 00:00:05\n'
         'FILE "sub\\b.bin" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:00:20\n'
         '    INDEX 01 00:00:00\n')
BLOCK = SECTOR_AUDIO + SECTOR_SUBCODE


def slipped_records(cooked):
    """The subchannel file of the slipped rip: interleaved records with Q."""
    raw = raw_subchannel(cooked, FIRST_RECORD, "interleaved")
    records = {}
    for k in range(len(raw) // SECTOR_SUBCODE):
        lba = FIRST_RECORD + k
        disc_lba = lba - INDEX_01
        track, track_start = (1, 0) if lba < 60 else (2, 60 - INDEX_01)
        q = q_frame(None if disc_lba < -150 else disc_lba, track, track_start)
        if lba == 10:
            q = q[:5] + bytes([q[5] ^ 1]) + q[6:]
        records[lba] = with_q(raw[k * SECTOR_SUBCODE:(k + 1) * SECTOR_SUBCODE],
                              q)
    order = [lba for lba in range(FIRST_RECORD, SECTORS)
             if not A_SECTORS <= lba < A_SECTORS + GAP
             and lba not in (DROP_AT, DROP_AT + 1)]
    at = order.index(REPEAT_AT)
    order[at:at] = [REPEAT_AT - 3, REPEAT_AT - 2, REPEAT_AT - 1]
    return b"".join(records[lba] for lba in order)


class SlippedRipTest(ImportTestCase):

    def setUp(self):
        super().setUp()
        # Sectors whose records are missing must hold idle packs on the
        # disc for the import to match it: a raw record carries symbols of
        # the packs of its sector and of the two after it.
        cooked = bytearray(graphics_disc(SECTORS, seed=5, aligned=False))
        for first, end in ((A_SECTORS, A_SECTORS + GAP + 2),
                           (DROP_AT, DROP_AT + 4)):
            cooked[first * SECTOR_SUBCODE:end * SECTOR_SUBCODE] = bytes(
                (end - first) * SECTOR_SUBCODE)
        self.cooked = bytes(cooked)
        image = bytearray(audio_bytes(SECTORS, seed=6))
        gap = slice(A_SECTORS * SECTOR_AUDIO, (A_SECTORS + GAP) * SECTOR_AUDIO)
        image[gap] = bytes(GAP * SECTOR_AUDIO)
        self.image = bytes(image)
        (self.tmp / "a.bin").write_bytes(image[:gap.start])
        (self.tmp / "sub").mkdir()
        (self.tmp / "sub" / "b.bin").write_bytes(image[gap.stop:])
        (self.tmp / "disc.cue").write_text(SHEET)
        (self.tmp / "disc.sub").write_bytes(slipped_records(self.cooked))

    def test_records_are_placed_where_their_q_says(self):
        result = self.run_import(["cue", self.tmp / "disc.cue",
                                  self.tmp / "disc.sub", self.tmp / "out",
                                  "--json"])
        self.assert_imported(result)
        self.assert_dumps(self.tmp / "out", self.image, self.cooked,
                          [INDEX_01, A_SECTORS + GAP])
        report = report_json(result.stdout)
        self.assertEqual([(t["q_frames"], t["q_crc_errors"])
                          for t in report["tracks"]], [(34, 1), (58, 0)])
        self.assertEqual(report["subchannel_start"],
                         {"sector": FIRST_RECORD, "found_by_q": True})
        self.assertEqual(report["slips"],
                         [{"track": 1, "at": "00:00.22", "by": -3},
                          {"track": 2, "at": "00:00.32", "by": 2}])

    def test_a_check_reports_the_same_and_writes_nothing(self):
        before = tree(self.tmp)
        result = self.run_import(["check", self.tmp / "disc.cue",
                                  self.tmp / "disc.sub"])
        self.assert_imported(result)
        self.assertEqual(tree(self.tmp), before)
        lines = result.stdout.decode().splitlines()
        self.assertTrue(lines[0].endswith(
            "uncorrectable  Q frames  Q errors  damaged at"), lines[0])
        self.assertEqual(lines[-3:], [
            "subchannel start: sector -155, found by Q",
            "slip in track 1 at 00:00.22 by -3: 3 records repeated, dropped",
            "slip in track 2 at 00:00.32 by +2: 2 sectors without "
            "subchannel, idle"])


class LateSubchannelTest(ImportTestCase):

    def test_a_hidden_track_and_a_late_drive_are_placed_by_q(self):
        # The BIN holds the disc from its sector 0, a hidden track before
        # track 1's index 1 at sector 30. The drive delivered each sector's
        # subchannel three records late: the file has one record a sector,
        # from sector -3 on, and none for the last three sectors, whose
        # packs must come out idle.
        sectors, hidden, late = 60, 30, 3
        cooked = bytearray(graphics_disc(sectors, seed=8, aligned=False))
        cooked[(sectors - late - 2) * SECTOR_SUBCODE:] = bytes(
            (late + 2) * SECTOR_SUBCODE)
        image = audio_bytes(sectors, seed=9)
        (self.tmp / "h.bin").write_bytes(image)
        (self.tmp / "h.cue").write_text(
            'FILE "h.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n'
            '    INDEX 01 00:00:30\n  TRACK 02 AUDIO\n    INDEX 01 00:00:45\n')
        raw = raw_subchannel(bytes(cooked), -late, "interleaved")
        records = b"".join(
            with_q(raw[k * SECTOR_SUBCODE:(k + 1) * SECTOR_SUBCODE],
                   q_frame(k - late, 1 if k - late < 45 else 2,
                           hidden if k - late < 45 else 45))
            for k in range(sectors))
        (self.tmp / "h.sub").write_bytes(records)
        result = self.run_import(["cue", self.tmp / "h.cue", self.tmp / "h.sub",
                                  self.tmp / "out", "--json"])
        self.assert_imported(result)
        self.assert_dumps(self.tmp / "out", image, bytes(cooked), [hidden, 45])
        report = report_json(result.stdout)
        self.assertEqual(report["subchannel_start"],
                         {"sector": -late, "found_by_q": True})
        self.assertEqual(report["slips"], [])


class RipFormsTest(ImportTestCase):

    def raw_bin(self, name, cooked, image, big_endian=False):
        """2448-byte blocks: each sector's audio, then its interleaved
        record, as cdrdao (big-endian samples) or a CDG sheet's BIN has
        them."""
        raw = raw_subchannel(cooked)
        blocks = bytearray()
        for s in range(len(image) // SECTOR_AUDIO):
            audio = image[s * SECTOR_AUDIO:(s + 1) * SECTOR_AUDIO]
            if big_endian:
                audio = bytes(b for i in range(0, len(audio), 2)
                              for b in (audio[i + 1], audio[i]))
            blocks += audio + raw[s * SECTOR_SUBCODE:(s + 1) * SECTOR_SUBCODE]
        (self.tmp / name).write_bytes(blocks)

    def test_cdg_sheets_and_cdrdao_rips_carry_their_subchannel(self):
        cooked = graphics_disc(30, seed=2)
        image = audio_bytes(30, seed=3)
        self.raw_bin("k.bin", cooked, image)
        (self.tmp / "k.cue").write_text(
            'FILE "k.bin" BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\n'
            "TRACK 02 CDG\nINDEX 01 00:00:12\n")
        self.raw_bin("r.bin", cooked, image, big_endian=True)
        (self.tmp / "r.toc").write_text(
            'CD_DA\nTRACK AUDIO RW_RAW\nFILE "r.bin" 0 00:00:12\n'
            'TRACK AUDIO RW_RAW\nFILE "r.bin" 00:00:12 0\n')
        for args in (["cue", "k.cue"], ["cdrdao", "r.toc"]):
            with self.subTest(args=args):
                out = self.tmp / f"out-{args[0]}"
                result = self.run_import(
                    [args[0], self.tmp / args[1], out, "--json"])
                self.assert_imported(result)
                self.assert_dumps(out, image, cooked, [0, 12])
                report = report_json(result.stdout)
                self.assertEqual(report["subchannel_start"],
                                 {"sector": 0, "found_by_q": False})
                # A check of the rip says the same.
                check = self.run_import(["check", self.tmp / args[1],
                                         "--json"])
                self.assert_imported(check)
                self.assertEqual(report_json(check.stdout), report)

    def test_rips_that_cannot_be_taken_as_they_are(self):
        image = audio_bytes(49, seed=1)
        (self.tmp / "one.cue").write_text(
            'FILE "one.bin" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n')
        (self.tmp / "two.cue").write_text(
            'FILE "two.bin" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n')
        # 49 blocks of 2448 bytes are 51 sectors of 2352: the cdrdao TOC
        # file beside it says what they are.
        self.raw_bin("one.bin", graphics_disc(49), image)
        (self.tmp / "one.toc").write_text(
            'CD_DA\nTRACK AUDIO RW_RAW\nFILE "one.bin" 0\n')
        self.raw_bin("two.bin", graphics_disc(10), image[:10 * SECTOR_AUDIO])
        (self.tmp / "two.sub").write_bytes(
            raw_subchannel(graphics_disc(10)))
        cases = [
            (["cue", "one.cue", "one.sub", "out"],
             "one.bin holds 2448-byte blocks with their subchannel, as "
             f"{self.tmp / 'one.toc'} says, not the 2352-byte sectors of the "
             "sheet: import the rip with glyphreel-import cdrdao "
             f"{self.tmp / 'one.toc'} OUTDIR"),
            (["cue", "two.cue", "two.sub", "out"],
             "two.bin holds 2448-byte blocks (2352 bytes of audio and 96 of "
             "subchannel), not the 2352-byte sectors of the sheet"),
            (["cdrdao", "one.toc", "out", "--json"], None),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                args = [self.tmp / a if "." in a else a for a in args]
                if message:
                    self.assert_refused(args, message)
                else:
                    self.assert_imported(self.run_import(args))
        (self.tmp / "three.bin").write_bytes(image[:10 * SECTOR_AUDIO])
        (self.tmp / "three.cue").write_text(
            'FILE "three.bin" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n')
        self.assert_refused(
            ["cue", self.tmp / "three.cue", self.tmp / "two.sub",
             self.tmp / "o", "--sub-start", "auto"],
            "--sub-start auto: the Q subchannel of "
            f"{self.tmp / 'two.sub'} gives no clear start: 0 of its 0 "
            "position frames agree")
        # Blocks that carry their subchannel: a start that puts it after
        # the image, or all of it before.
        self.raw_bin("c.bin", graphics_disc(10), image[:10 * SECTOR_AUDIO])
        (self.tmp / "c.cue").write_text(
            'FILE "c.bin" BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\n')
        for start, message in (
                ("1", "the sectors' subchannel begins after the image's "
                 "first sector (--sub-start 1)"),
                ("-4611686018427387904", "--sub-start -4611686018427387904 "
                 "puts all of the sectors' 10 records before the image")):
            with self.subTest(start=start):
                self.assert_refused(["cue", self.tmp / "c.cue", self.tmp / "o",
                                     "--sub-start", start], message)

    def test_a_sheet_and_its_subchannel_must_fit_one_another(self):
        (self.tmp / "k.cue").write_text(
            'FILE "k.bin" BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\n')
        (self.tmp / "a.cue").write_text(
            'FILE "a.bin" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n')
        for args, reason in (
                (["k.cue", "k.sub", "out"], "has CDG tracks, whose sectors "
                 "carry their subchannel: give no SUBCHANNEL file"),
                (["a.cue", "out"], "has no CDG tracks: give the SUBCHANNEL "
                 "file of its sectors")):
            with self.subTest(args=args):
                result = self.run_import(["cue", *args])
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stderr.decode(),
                                 f"glyphreel-import: {args[0]} {reason}\n"
                                 + IMPORT_USAGE)


if __name__ == "__main__":
    unittest.main()
