"""The command line: argument count, track numbers and the mode word."""

import unittest

from harness import (DRAIN_ENCODER, FRAME_BYTES, USAGE, Disc, E2ETestCase,
                     audio_sector, tree)

FAULT_KINDS = ("Empty", "InvalidDigit", "PosOverflow")


class ArgumentCountTest(E2ETestCase):
    """A wrong count prints the usage line and touches nothing."""

    def setUp(self):
        super().setUp()
        self.paths = self.write_disc(Disc.simple([0], 4))

    def assert_usage_only(self, args):
        before = tree(self.tmp)
        result = self.run_tool(args)
        self.assertEqual(result.stderr.decode(), USAGE)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(tree(self.tmp), before,
                         "a usage run created or changed a file")
        self.assertFalse(self.record.started, "the encoder was started")

    def test_no_arguments(self):
        self.assert_usage_only([])

    def test_seven_arguments(self):
        # Everything a run needs except the end track.
        self.assert_usage_only(self.args(self.paths)[:7])

    def test_ten_arguments(self):
        self.assert_usage_only(self.args(self.paths, mode="cdg") + ["extra"])

    def test_counts_around_the_valid_ones(self):
        full = self.args(self.paths, mode="cdg")
        for count in (1, 2, 6, 11, 12):
            with self.subTest(count=count):
                args = (full + ["x"] * 3)[:count]
                self.assert_usage_only(args)

    def test_count_is_checked_before_any_argument(self):
        # Arguments that would each be a fatal stop are never looked at.
        self.assert_usage_only(["nope.img", "nope.cdg", "nope.toc", "r.raw",
                                "no-ffmpeg", "o.mp4", "abc", "xyz"][:7])
        self.assert_usage_only(["nope.img", "nope.cdg", "nope.toc", "r.raw",
                                "no-ffmpeg", "o.mp4", "abc", "xyz", "CDG",
                                "more"])

    def test_eight_and_nine_arguments_run(self):
        for mode in (None, "cdg", "cdeg"):
            with self.subTest(mode=mode):
                args = self.args(self.paths, mode=mode,
                                 raw=self.tmp / f"t-{mode}.raw",
                                 mp4=self.tmp / f"o-{mode}.mp4")
                result = self.run_tool(args)
                self.assert_success(result)
                # Four sectors, 16 packs: frames before packs 0, 5, 10, 15.
                self.assertEqual(len(self.record.stdin), 4 * FRAME_BYTES)


class TrackNumberTest(E2ETestCase):
    """Track numbers are unsigned decimal numbers of at least 1, start track
    first, each finished before the next argument is looked at."""

    def missing_file_args(self, start, end, mode=None):
        # No file exists: a track-number fault must come before any read.
        args = [self.tmp / "none.img", self.tmp / "none.cdg",
                self.tmp / "none.toc", self.tmp / "t.raw", "no-such-ffmpeg",
                self.tmp / "o.mp4", start, end]
        if mode is not None:
            args.append(mode)
        return args

    def assert_number_fault(self, result, kind, which):
        report = self.assert_fatal(result)
        self.assertIn(kind, report)
        for other in FAULT_KINDS:
            if other != kind:
                self.assertNotIn(other, report)
        self.assertIn(which, report)
        self.assertNotIn("read img file", report)
        return report

    def test_bad_start_track_is_reported_first(self):
        result = self.run_tool(self.missing_file_args("abc", "-7", "CDG"))
        report = self.assert_number_fault(result, "InvalidDigit",
                                          "start_track")
        self.assertNotIn("end_track", report)
        self.assertNotIn("mode", report)

    def test_fault_kinds(self):
        cases = [
            ("", "Empty"),
            ("-1", "InvalidDigit"),
            ("+", "InvalidDigit"),
            ("-", "InvalidDigit"),
            (" 1", "InvalidDigit"),
            ("1 ", "InvalidDigit"),
            ("++1", "InvalidDigit"),
            ("1_000", "InvalidDigit"),
            ("0x10", "InvalidDigit"),
            ("１", "InvalidDigit"),  # a full-width digit is not ASCII
            ("18446744073709551616", "PosOverflow"),
            ("99999999999999999999999999", "PosOverflow"),
            # The first fault met from the left decides.
            ("9" * 20 + "a", "PosOverflow"),
            ("9a" + "9" * 19, "InvalidDigit"),
        ]
        for text, kind in cases:
            with self.subTest(text=text, position="start"):
                result = self.run_tool(self.missing_file_args(text, "1"))
                self.assert_number_fault(result, kind, "start_track")
            with self.subTest(text=text, position="end"):
                result = self.run_tool(self.missing_file_args("1", text))
                self.assert_number_fault(result, kind, "end_track")

    def test_zero_is_rejected_after_parsing(self):
        for text in ("0", "+0", "000"):
            for position in ("start", "end"):
                with self.subTest(text=text, position=position):
                    args = (self.missing_file_args(text, "1")
                            if position == "start"
                            else self.missing_file_args("1", text))
                    report = self.assert_fatal(self.run_tool(args))
                    for kind in FAULT_KINDS:
                        self.assertNotIn(kind, report)
                    self.assertIn(position + "_track", report)
                    self.assertNotIn("read img file", report)

    def test_zero_start_track_is_reported_before_bad_end_track(self):
        report = self.assert_fatal(
            self.run_tool(self.missing_file_args("0", "", "CDG")))
        self.assertIn("start_track", report)
        self.assertNotIn("Empty", report)
        self.assertNotIn("end_track", report)

    def test_invalid_utf8_start_track(self):
        args = self.missing_file_args(b"\xff1", "abc", "CDG")
        report = self.assert_fatal(self.run_tool(args))
        self.assertIn("start_track", report)
        self.assertNotIn("InvalidDigit", report)
        self.assertNotIn("end_track", report)
        self.assertNotIn("unknown mode", report)

    def test_invalid_utf8_end_track(self):
        # A lone continuation byte, then an overlong encoding of '1'.
        for text in (b"\x80", b"\xc0\xb1"):
            with self.subTest(text=text):
                report = self.assert_fatal(
                    self.run_tool(self.missing_file_args("1", text, "CDG")))
                self.assertIn("end_track", report)
                self.assertNotIn("unknown mode", report)

    def test_largest_value_parses_and_fails_the_track_index_check(self):
        paths = self.write_disc(Disc.simple([0], 4))
        report = self.assert_fatal(
            self.run_tool(self.args(paths, start="18446744073709551615")))
        self.assertNotIn("PosOverflow", report)
        # The index checked is the track number minus one.
        self.assertIn("18446744073709551614", report)

    def test_plus_sign_and_leading_zeros_give_the_plain_number(self):
        # Five one-sector tracks; only track 5's audio may reach the file.
        paths = self.write_disc(Disc.simple([0, 1, 2, 3, 4], 5))
        for text in ("+5", "05", "0000000000000000000000005"):
            with self.subTest(text=text):
                result = self.run_tool(
                    self.args(paths, start=text, end=text,
                              raw=self.tmp / "t.raw",
                              mp4=self.tmp / f"o{len(text)}.mp4"))
                self.assert_success(result)
                self.assertEqual(self.record.raw_copy, audio_sector(4))


class ModeTest(E2ETestCase):
    """The optional ninth argument: exactly "cdg" or "cdeg"."""

    def mode_args(self, mode):
        # Nothing exists on disc: the mode must be judged before any read.
        return [self.tmp / "none.img", self.tmp / "none.cdg",
                self.tmp / "none.toc", self.tmp / "t.raw", "no-such-ffmpeg",
                self.tmp / "o.mp4", "1", "1", mode]

    def assert_unknown_mode(self, mode, shown_as):
        result = self.run_tool(self.mode_args(mode))
        self.assert_report(
            result,
            'unknown mode ' + shown_as + ', expected "cdg" or "cdeg"')

    def test_unknown_modes_are_quoted(self):
        cases = [
            ("CDG", '"CDG"'),
            ("cdg ", '"cdg "'),
            (" cdeg", '" cdeg"'),
            ("Cdeg", '"Cdeg"'),
            ("", '""'),
            ("cd", '"cd"'),
            ("é-mode", '"é-mode"'),
        ]
        for mode, shown_as in cases:
            with self.subTest(mode=mode):
                self.assert_unknown_mode(mode, shown_as)

    def test_special_characters_are_escaped(self):
        cases = [
            ("a\tb", r'"a\tb"'),
            ('say "hi"', r'"say \"hi\""'),
            ("back\\slash", r'"back\\slash"'),
            ("cr\rlf\n", r'"cr\rlf\n"'),
            ("bell\x01", r'"bell\u{1}"'),
        ]
        for mode, shown_as in cases:
            with self.subTest(mode=mode):
                self.assert_unknown_mode(mode, shown_as)

    def test_other_control_character_uses_code_point_escape(self):
        result = self.run_tool(self.mode_args("esc\x1b"))
        text = result.stderr.decode()
        self.assertEqual(result.returncode, 101)
        self.assertEqual(
            text.lower(),
            'glyphreel: unknown mode "esc\\u{1b}", expected "cdg" or "cdeg"\n')

    def test_invalid_utf8_mode(self):
        for mode in (b"cd\xffg", b"\xed\xa0\x80"):  # the second: a surrogate
            with self.subTest(mode=mode):
                self.assert_report(self.run_tool(self.mode_args(mode)),
                                   "bad unicode in mode")

    def test_bad_track_is_reported_before_bad_mode(self):
        args = self.mode_args(b"\xff")
        args[7] = ""
        report = self.assert_fatal(self.run_tool(args))
        self.assertIn("Empty", report)
        self.assertNotIn("unicode", report)

    def test_valid_modes_go_on_to_read_the_image(self):
        for mode in ("cdg", "cdeg"):
            with self.subTest(mode=mode):
                result = self.run_tool(self.mode_args(mode))
                report = self.assert_fatal(result)
                self.assertTrue(report.startswith("read img file: "), report)

    def test_cdeg_run_uses_the_drain_encoder(self):
        paths = self.write_disc(Disc.simple([0], 2))
        result = self.run_tool(self.args(paths, mode="cdeg",
                                         encoder=DRAIN_ENCODER))
        self.assert_success(result)
        self.assertFalse((self.tmp / "out-tmp.raw").exists())


if __name__ == "__main__":
    unittest.main()
