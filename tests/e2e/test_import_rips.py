"""glyphreel-import on rips: cue sheets with BIN files and a raw subchannel
file, CloneCD sets, and checking a cooked dump. Every triple written is
converted with glyphreel and must draw the frames of the original packs."""

import os
import resource
import signal
import socket
import subprocess
import unittest

from harness import (PACK_SIZE, SANITIZED, SECTOR_AUDIO, SECTOR_SUBCODE,
                     toc_bytes, tree)
from import_helpers import (IMPORT_USAGE, ImportTestCase, audio_bytes,
                            graphics_disc, import_command, raw_subchannel,
                            report_json)

# Three BIN files: a data track; an audio track after a five-sector INDEX 00
# gap; a file holding two tracks. Tracks at sectors 0-24, 25-49, 50-61,
# 62-74.
FILE_SECTORS = {"Track 01.bin": 20, "Track 02.bin": 30, "Track 03 b.bin": 25}
TRACK_LBAS = [0, 25, 50, 62]
SECTORS = 75
SHEET = ("REM GENRE Karaoke\r\nTITLE \"Songs\"\r\n"
         "FILE \"Track 01.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n"
         "    INDEX 01 00:00:00\r\n"
         "FILE \"Track 02.bin\" BINARY\r\n  TRACK 02 AUDIO\r\n"
         "    PERFORMER \"Someone\"\r\n"
         "    INDEX 00 00:00:00\r\n    INDEX 01 00:00:05\r\n"
         "FILE \"Track 03 b.bin\" BINARY\r\n  TRACK 03 AUDIO\r\n"
         "    INDEX 01 00:00:00\r\n  TRACK 04 AUDIO\r\n"
         "    INDEX 01 00:00:12\r\n")


class RipTestCase(ImportTestCase):

    def write_rip(self, cooked, form="interleaved", first_lba=0, damage=None,
                  sheet=SHEET):
        """The BIN files, the sheet and the subchannel file; returns the
        image they make."""
        image = audio_bytes(SECTORS, seed=3)
        at = 0
        for name, sectors in FILE_SECTORS.items():
            (self.tmp / name).write_bytes(
                image[at:at + sectors * SECTOR_AUDIO])
            at += sectors * SECTOR_AUDIO
        (self.tmp / "disc.cue").write_text(sheet, newline="")
        (self.tmp / "disc.sub").write_bytes(
            raw_subchannel(cooked, first_lba, form, damage=damage))
        return image

    def cue(self, out="out", *options):
        return ["cue", self.tmp / "disc.cue", self.tmp / "disc.sub",
                self.tmp / out, *options]


class CueRoundTripTest(RipTestCase):

    def test_every_form_gives_back_the_drives_packs(self):
        # (form, first record's sector, first 8 slots idle): a file that
        # begins at the image gives no context for the first 8 slots; one
        # that begins in the lead-in does.
        cases = [("interleaved", 0, True), ("packed", 0, True),
                 ("cooked", 0, False), ("interleaved", -150, False),
                 ("packed", -2, False), ("cooked", -3, False)]
        for index, (form, first_lba, aligned) in enumerate(cases):
            with self.subTest(form=form, first_lba=first_lba):
                cooked = graphics_disc(SECTORS, seed=index, aligned=aligned,
                                       without_parity=(40, 41))
                image = self.write_rip(cooked, form, first_lba)
                out = self.tmp / f"out {index}"
                result = self.run_import(self.cue(
                    out, "--form", form, "--sub-start", str(first_lba),
                    "--json"))
                self.assert_imported(result)
                self.assert_dumps(out, image, cooked, TRACK_LBAS,
                                  data_tracks=(1,))
                report = report_json(result.stdout)
                self.assertEqual([t["number"] for t in report["tracks"]],
                                 [1, 2, 3, 4])
                totals = report["totals"]
                self.assertEqual(totals["packs"], SECTORS * 4)
                self.assertEqual(totals["without_parity"], 2)
                self.assertEqual(totals["valid"], SECTORS * 4 - 2)

    def test_damage_is_corrected_reported_or_blanked(self):
        # Slot -> {symbol: xor}: one and two damaged symbols anywhere are
        # corrected; three or more are beyond the P parity. Slots 104-170
        # are sectors 26-42 of track 2 (from 25), slot 212 sector 53 of
        # track 3 (from 50). They hold packs with parity: an idle pack with
        # a damaged data symbol would pass for a pack without parity.
        small = {104: {0: 0x21}, 121: {3: 0x3F, 20: 0x01}}
        large = {150: {1: 1, 9: 2, 17: 3}, 170: {4: 5, 5: 6, 6: 7, 7: 8},
                 212: {k: 0x15 for k in range(2, 8)}}
        cooked = graphics_disc(SECTORS, seed=11,
                               graphics_at=[*small, *large])
        self.write_rip(cooked, damage=small)
        result = self.run_import(self.cue("fixed"))
        self.assert_imported(result)
        self.assertIn("corrected", result.stdout.decode())

        image = self.write_rip(cooked, damage={**small, **large})
        for mode in ("keep", "blank"):
            with self.subTest(mode=mode):
                out = self.tmp / mode
                result = self.run_import(self.cue(
                    out, "--uncorrectable", mode, "--json"))
                self.assert_imported(result)
                report = report_json(result.stdout)
                # A miscorrection of three or more symbols would also have
                # to pass the Q check: about 1 in 60,000, not at these.
                self.assertEqual(report["totals"]["corrected"], 2)
                self.assertEqual(report["totals"]["symbols_corrected"], 3)
                self.assertEqual(report["totals"]["uncorrectable"], 3)
                tracks = report["tracks"]
                self.assertEqual(tracks[1]["damaged_at"],
                                 ["00:00.01", "00:00.05", "00:00.12",
                                  "00:00.17"])
                self.assertEqual(tracks[2]["damaged_at"], ["00:00.03"])
                self.assertEqual(tracks[0]["damaged_at"], [])
                # Corrected packs are the originals; uncorrectable ones are
                # written as read (symbols only) or as idle packs.
                expected = bytearray(cooked)
                for slot, symbols in large.items():
                    at = slot * PACK_SIZE
                    if mode == "blank":
                        expected[at:at + PACK_SIZE] = bytes(PACK_SIZE)
                        continue
                    for position, xor in symbols.items():
                        expected[at + position] ^= xor
                self.assert_dumps(out, image, bytes(expected), TRACK_LBAS,
                                  data_tracks=(1,))


class CueRefusalTest(RipTestCase):

    def setUp(self):
        super().setUp()
        self.cooked = graphics_disc(SECTORS)
        self.write_rip(self.cooked)

    def test_bad_inputs_are_refused_before_anything_is_written(self):
        sub = (self.tmp / "disc.sub").read_bytes()
        truncated = SHEET[:SHEET.index("    INDEX 01 00:00:12")]
        # (file to replace or None to delete, its content, options,
        # message)
        cases = [
            ("disc.cue", truncated, (), "disc.cue line 14: the sheet ends "
                                        "before TRACK 04 has an INDEX 01"),
            ("disc.cue", SHEET.replace("    INDEX 00", "    PREGAP 00:00:02"
                                       "\r\n    INDEX 00", 1) +
             "    PREGAP 00:00:01\r\n", (),
             "line 17: PREGAP after an INDEX of TRACK 04"),
            ("Track 03 b.bin", None, (),
             "Track 03 b.bin: No such file or directory (os error 2)"),
            ("Track 02.bin", b"\0" * (30 * SECTOR_AUDIO + 1), (),
             "Track 02.bin is not a whole number of 2352-byte sectors "
             f"({30 * SECTOR_AUDIO + 1} bytes)"),
            ("disc.sub", None, (), "No such file or directory (os error 2)"),
            ("disc.sub", sub[:-SECTOR_SUBCODE], (),
             "is too short: it holds 74 records from sector 0, and the "
             "files' 75 sectors need 75"),
            ("disc.sub", sub, ("--sub-start", "-1"),
             "is too short: it holds 75 records from sector -1, and the "
             "files' 75 sectors need 76"),
            ("disc.sub", sub + b"\0" * 5, (),
             f"is not a whole number of 96-byte records ({len(sub) + 5} "
             "bytes)"),
            ("disc.sub", sub, ("--sub-start", "2"),
             "the subchannel file begins after the image's first sector"),
        ]
        for name, content, options, message in cases:
            with self.subTest(message=message):
                original = (self.tmp / name).read_bytes()
                if content is None:
                    (self.tmp / name).unlink()
                else:
                    (self.tmp / name).write_bytes(
                        content.encode() if isinstance(content, str)
                        else content)
                try:
                    self.assert_refused(self.cue("new/out", *options),
                                        message)
                finally:
                    (self.tmp / name).write_bytes(original)

    def test_text_files_are_read_no_further_than_their_limit(self):
        # A sheet or control file larger than 1 MiB is refused by its size;
        # one without a size (a device, a pipe) after 1 MiB and one byte.
        # check's table of contents is read no further than its length
        # check needs, with glyphreel's report.
        limit = 1 << 20
        (self.tmp / "big.cue").write_bytes(b"\n" * (limit + 1))
        (self.tmp / "zero.ccd").symlink_to("/dev/zero")
        with open(self.tmp / "sparse.toc", "wb") as toc:
            toc.truncate(2 << 30)
        (self.tmp / "d.cdg").write_bytes(bytes(96))
        toc_report = ("table of contents length does not match its data "
                      "length field (toc_data_length + 2 == file length)\n"
                      "  left: 2\n right: ")
        cases = [
            (["cue", "big.cue", "disc.sub", "out"],
             f"big.cue is {limit + 1} bytes, more than a text file of its "
             "kind can be\n"),
            (["cue", "/dev/zero", "disc.sub", "out"],
             f"/dev/zero is {limit + 1} bytes, more than a text file of its "
             "kind can be\n"),
            (["clonecd", "zero.ccd", "out"],
             f"zero.ccd is {limit + 1} bytes, more than a text file of its "
             "kind can be\n"),
            (["check", "d.cdg", "sparse.toc"], toc_report + f"{2 << 30}\n"),
            (["check", "d.cdg", "/dev/zero"], toc_report + "65538\n"),
        ]

        def limit_memory():  # a reader without a bound fails, not the host
            resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))

        for args, report in cases:
            with self.subTest(args=args):
                before = tree(self.tmp)
                result = self.run_import(
                    args, preexec=None if SANITIZED else limit_memory)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stderr.decode(),
                                 "glyphreel-import: " + report)
                self.assertEqual(tree(self.tmp), before)

    def test_an_unreadable_bin_is_found_before_anything_is_written(self):
        # A socket has a size, 0, but cannot be opened. The output folder
        # would lie below a file: the first write fails, but the BIN's
        # refusal comes first.
        (self.tmp / "socket.bin").unlink(missing_ok=True)
        server = socket.socket(socket.AF_UNIX)
        self.addCleanup(server.close)
        server.bind(str(self.tmp / "socket.bin"))
        (self.tmp / "disc.cue").write_text(
            SHEET + "FILE socket.bin BINARY\n    INDEX 02 00:00:00\n")
        (self.tmp / "a file").write_bytes(b"")
        self.assert_refused(self.cue("a file/out"),
                            "read socket.bin: No such device or address")

    def test_a_report_that_cannot_be_written_keeps_the_dumps(self):
        with open("/dev/full", "wb") as full:
            result = subprocess.run(
                import_command() + [os.fspath(a) for a in self.cue("out")],
                stdout=full, stderr=subprocess.PIPE, timeout=120)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.decode(),
                         f"glyphreel-import: the import into {self.tmp / 'out'}"
                         " is complete, but its report could not be written: "
                         "write report: No space left on device (os error "
                         "28)\n")
        self.assertEqual((self.tmp / "out" / "disc.cdg").read_bytes(),
                         self.cooked)
        self.assertEqual(sorted(os.listdir(self.tmp / "out")),
                         ["disc.cdg", "disc.img", "disc.toc"])

    def test_existing_outputs_are_never_overwritten(self):
        out = self.tmp / "out"
        out.mkdir()
        for name in ("disc.img", "disc.cdg", "disc.toc", "link"):
            with self.subTest(name=name):
                if name == "link":  # a link whose target does not exist
                    name = "disc.cdg"
                    (out / name).symlink_to(self.tmp / "elsewhere")
                else:
                    (out / name).write_bytes(b"keep")
                self.assert_refused(
                    self.cue(out),
                    f"refusing to overwrite existing {out / name}")
                (out / name).unlink()

    def test_a_failed_write_removes_what_the_run_made(self):
        # Files may grow to 100 kB only: disc.img fails part way, after the
        # folders were made and the subchannel corrected.
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (100000, 100000))

        self.assert_refused(self.cue("made/for/this"),
                            "/made/for/this/disc.img: File too large "
                            "(os error 27)", preexec=limit_file_size)

    @unittest.skipIf(SANITIZED, "the sanitizers cannot run under a memory "
                     "limit")
    def test_memory_that_cannot_be_had_is_a_failure(self):
        # Two million sectors in sparse files: 192 MB of subchannel records
        # do not fit under a 128 MB address space.
        sectors = 2 * 10**6
        for name, size in (("big.bin", sectors * SECTOR_AUDIO),
                           ("disc.sub", sectors * SECTOR_SUBCODE)):
            with open(self.tmp / name, "wb") as out:
                out.truncate(size)
        (self.tmp / "disc.cue").write_text(
            "FILE big.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n")

        def limit_memory():
            resource.setrlimit(resource.RLIMIT_AS, (128 << 20, 128 << 20))

        self.assert_refused(self.cue("out"), "glyphreel-import: out of memory",
                            preexec=limit_memory)


class CloneCdTest(ImportTestCase):
    """A CloneCD set: .ccd, .img and a packed .sub beside it."""

    def entry(self, number, session, point, plba, control=0):
        return (f"[Entry {number}]\nSession={session}\nPoint={point:#04x}\n"
                f"ADR=0x01\nControl={control:#04x}\nTrackNo=0\nAMin=0\n"
                f"ASec=0\nAFrame=0\nALBA=-150\nZero=0\nPMin=0\nPSec=0\n"
                f"PFrame=0\nPLBA={plba}\n")

    def write_set(self, stem, first_session, second_session=None):
        """Tracks (start, data) of each session; the image runs to the
        last session's lead-out, which each list ends with."""
        entries = []
        tracks = []
        sessions = [s for s in (first_session, second_session) if s]
        number = 1
        for session, (starts, lead_out) in enumerate(sessions, 1):
            first = number
            for lba, data in starts:
                tracks.append((number, lba, data))
                entries.append((session, number, lba, 4 if data else 0))
                number += 1
            entries += [(session, 0xA0, first, 0), (session, 0xA1,
                                                    number - 1, 0),
                        (session, 0xA2, lead_out, 0)]
        text = (f"[CloneCD]\r\nVersion=3\r\n[Disc]\r\n"
                f"TocEntries={len(entries)}\r\nSessions={len(sessions)}\r\n")
        text += "".join(self.entry(i, *e).replace("\n", "\r\n")
                        for i, e in enumerate(entries))
        for number, lba, data in tracks:
            text += (f"[TRACK {number}]\r\nMODE={1 if data else 0}\r\n"
                     f"INDEX 1={lba}\r\n")
        (self.tmp / f"{stem}.ccd").write_text(text, newline="")
        sectors = sessions[-1][1]
        image = audio_bytes(sectors, seed=5)
        (self.tmp / f"{stem}.img").write_bytes(image)
        return image

    def test_the_first_session_is_imported_with_a_notice(self):
        first = ([(0, False), (30, False), (50, True)], 75)
        # A second session far shorter than a real one's gap, to stay small.
        image = self.write_set("my disc", first, ([(85, True)], 100))
        cooked = graphics_disc(100, seed=2)
        (self.tmp / "my disc.sub").write_bytes(
            raw_subchannel(cooked, form="packed"))
        result = self.run_import(["clonecd", self.tmp / "my disc.ccd",
                                  self.tmp / "out", "--json"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr.decode(),
                         "glyphreel-import: warning: the disc has 2 "
                         "sessions: only the first session is imported\n")
        self.assert_dumps(self.tmp / "out", image[:75 * SECTOR_AUDIO],
                          cooked[:75 * SECTOR_SUBCODE], [0, 30, 50],
                          data_tracks=(3,))
        self.assertEqual(report_json(result.stdout)["totals"]["packs"], 300)

    def test_a_single_session_image_that_ends_at_its_lead_out(self):
        # Dots in the name: the stem ends at the last one.
        image = self.write_set("Vol. 2", ([(0, False), (40, False)], 60))
        cooked = graphics_disc(60, seed=8)
        (self.tmp / "Vol. 2.sub").write_bytes(
            raw_subchannel(cooked, form="packed"))
        self.assert_imported(self.run_import(
            ["clonecd", self.tmp / "Vol. 2.ccd", self.tmp / "out"]))
        self.assert_dumps(self.tmp / "out", image, cooked, [0, 40])

    def test_names_in_another_case_are_found(self):
        # A set written on a system that does not tell cases apart.
        image = self.write_set("GAME", ([(0, False), (12, False)], 20))
        cooked = graphics_disc(20, seed=9)
        (self.tmp / "GAME.ccd").rename(self.tmp / "GAME.CCD")
        (self.tmp / "GAME.img").rename(self.tmp / "game.IMG")
        (self.tmp / "Game.Sub").write_bytes(
            raw_subchannel(cooked, form="packed"))
        self.assert_imported(self.run_import(
            ["clonecd", self.tmp / "GAME.CCD", self.tmp / "out"]))
        self.assert_dumps(self.tmp / "out", image, cooked, [0, 12])

    def test_a_sub_file_that_does_not_match_the_image_is_refused(self):
        self.write_set("disc", ([(0, False)], 10))
        sub = raw_subchannel(graphics_disc(10), form="packed")
        for content, message in ((sub[:-96], "holds 864 bytes, but the "
                                  "image's 10 sectors need 960"),
                                 (None, "disc.sub: No such file")):
            with self.subTest(message=message):
                (self.tmp / "disc.sub").unlink(missing_ok=True)
                if content is not None:
                    (self.tmp / "disc.sub").write_bytes(content)
                self.assert_refused(["clonecd", self.tmp / "disc.ccd",
                                     self.tmp / "out"], message)


class CheckTest(ImportTestCase):

    def test_reports_by_track_with_a_toc_and_totals_without(self):
        cooked = bytearray(graphics_disc(20, seed=4))
        cooked[41 * PACK_SIZE + 21] ^= 0x11  # a parity symbol, sector 10
        (self.tmp / "d.cdg").write_bytes(cooked)
        (self.tmp / "d.toc").write_bytes(toc_bytes([0, 8, 16], 20))
        before = tree(self.tmp)
        result = self.run_import(["check", "--json", self.tmp / "d.cdg",
                                  self.tmp / "d.toc"])
        self.assert_imported(result)
        report = report_json(result.stdout)
        self.assertEqual([t["packs"] for t in report["tracks"]], [32, 32, 16])
        self.assertEqual(report["tracks"][1]["corrected"], 1)
        self.assertEqual(report["tracks"][1]["damaged_at"], ["00:00.02"])
        self.assertEqual(report["totals"]["symbols_corrected"], 1)

        result = self.run_import(["check", self.tmp / "d.cdg", "--json"])
        self.assert_imported(result)
        report = report_json(result.stdout)
        self.assertEqual(report["tracks"], [])
        self.assertEqual(report["totals"]["packs"], 80)
        self.assertEqual(report["totals"]["corrected"], 1)
        self.assertEqual(tree(self.tmp), before, "check wrote a file")

    def test_dumps_that_cannot_be_checked(self):
        (self.tmp / "odd.cdg").write_bytes(bytes(100))
        (self.tmp / "short.cdg").write_bytes(bytes(96 * 19))
        (self.tmp / "d.toc").write_bytes(toc_bytes([0], 20))
        cases = [(["odd.cdg"], "odd.cdg is not a whole number of 96-byte "
                  "sectors (100 bytes)"),
                 (["short.cdg", "d.toc"], "short.cdg ends after 19 sectors, "
                  "before the lead-out of "),
                 (["none.cdg"], "No such file or directory (os error 2)")]
        for names, message in cases:
            with self.subTest(names=names):
                self.assert_refused(
                    ["check"] + [self.tmp / n for n in names], message)


class ImportCommandLineTest(ImportTestCase):

    def test_wrong_command_lines_print_the_usage(self):
        # Which command lines are wrong is the parser's unit test; here, what
        # the program does with one.
        for args in ([], ["cue", "a", "b", "c", "--form", "foo"],
                     ["songs", "o", "a.cdg"]):
            with self.subTest(args=args):
                before = tree(self.tmp)
                result = self.run_import(args)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stderr.decode(), IMPORT_USAGE)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(tree(self.tmp), before)

    def test_version_and_help(self):
        result = self.run_import(["--version"])
        self.assertEqual((result.returncode, result.stdout),
                         (0, b"glyphreel-import 0.2.0\n"))
        result = self.run_import(["--help"])
        self.assertEqual(result.returncode, 0)
        help_text = result.stdout.decode()
        self.assertTrue(help_text.startswith(IMPORT_USAGE))
        self.assertIn("glyphreel-import 0.2.0", help_text)
        self.assertIn("MIT", help_text)


if __name__ == "__main__":
    unittest.main()
