"""Loading the three dumps, parsing the table of contents and checking the
track range, in their fixed order."""

import unittest

from harness import (FRAME_BYTES, LEAD_OUT, NOT_FOUND, IS_A_DIRECTORY,
                     SECTOR_AUDIO, Disc, E2ETestCase,
                     audio_image, audio_sector, descriptor, raw_toc, subcode,
                     toc_bytes, tree)


class LoadTestCase(E2ETestCase):

    def write_files(self, image=None, cdg=None, toc=None):
        """Writes whichever dumps are given; the others stay missing."""
        paths = {k: self.tmp / f"disc.{k}" for k in ("img", "cdg", "toc")}
        for key, content in (("img", image), ("cdg", cdg), ("toc", toc)):
            if content is not None:
                paths[key].write_bytes(content)
        return paths

    def assert_nothing_written(self, before):
        self.assertEqual(tree(self.tmp), before)
        self.assertFalse(self.record.started, "the encoder was started")

    def run_stopping(self, paths, **kwargs):
        """Runs a command line that must stop while loading."""
        before = tree(self.tmp)
        result = self.run_tool(self.args(paths, **kwargs))
        self.assert_nothing_written(before)
        return result


class FileOrderTest(LoadTestCase):
    """Image, its length, subcode dump, its length, table of contents."""

    def test_missing_image_is_reported_before_the_rest(self):
        result = self.run_stopping(self.write_files())
        self.assert_report(result, "read img file: " + NOT_FOUND)

    def test_missing_image_with_other_files_present(self):
        disc = Disc.simple([0], 1)
        result = self.run_stopping(self.write_files(cdg=disc.cdg, toc=disc.toc))
        self.assert_report(result, "read img file: " + NOT_FOUND)

    def test_image_that_is_a_directory(self):
        paths = self.write_files()
        paths["img"].mkdir()
        result = self.run_stopping(paths)
        self.assert_report(result, "read img file: " + IS_A_DIRECTORY)

    def test_image_length_is_checked_before_the_subcode_is_read(self):
        # The subcode file is missing: only the image's remainder may show.
        for length, remainder in ((2353, 1), (1, 1), (2351, 2351),
                                  (3 * SECTOR_AUDIO + 100, 100)):
            with self.subTest(length=length):
                result = self.run_stopping(
                    self.write_files(image=bytes(length)))
                report = self.assert_equality_report(result, remainder, 0)
                self.assertNotIn("cdg", report)

    def test_empty_files_are_whole_sectors(self):
        # Zero bytes is a multiple of both sector sizes; the table of
        # contents is what stops this run.
        result = self.run_stopping(self.write_files(image=b"", cdg=b""))
        self.assert_report(result, "read toc file: " + NOT_FOUND)

    def test_missing_subcode(self):
        result = self.run_stopping(self.write_files(image=audio_image(2)))
        self.assert_report(result, "read cdg file: " + NOT_FOUND)

    def test_subcode_length_is_checked_before_the_toc_is_read(self):
        for length, remainder in ((97, 1), (95, 95), (2 * 96 + 24, 24)):
            with self.subTest(length=length):
                result = self.run_stopping(
                    self.write_files(image=audio_image(2), cdg=bytes(length)))
                report = self.assert_equality_report(result, remainder, 0)
                self.assertNotIn("toc", report)

    def test_missing_toc(self):
        result = self.run_stopping(
            self.write_files(image=audio_image(2), cdg=subcode(2)))
        self.assert_report(result, "read toc file: " + NOT_FOUND)


class TocTest(LoadTestCase):
    """The table of contents checks, each stopping the run in turn."""

    def run_toc(self, toc, sectors=4, **kwargs):
        paths = self.write_files(image=audio_image(sectors),
                                 cdg=subcode(sectors), toc=toc)
        return self.run_stopping(paths, **kwargs)

    def test_file_shorter_than_its_length_field(self):
        for toc in (b"", b"\x00"):
            with self.subTest(length=len(toc)):
                report = self.assert_fatal(self.run_toc(toc))
                self.assertNotIn("left:", report)
                self.assertNotIn("assertion failed", report)

    def test_length_field_must_match_the_file(self):
        good = toc_bytes([0], 4)  # 20 bytes, length field 18
        self.assert_equality_report(self.run_toc(good[:19]), 20, 19)
        self.assert_equality_report(self.run_toc(good + b"\0"), 20, 21)
        # Checked before the descriptors are counted: a whole extra
        # descriptor does not help.
        self.assert_equality_report(
            self.run_toc(good + descriptor(LEAD_OUT, 4)), 20, 28)

    def test_fewer_than_one_descriptor(self):
        for length in range(10):
            with self.subTest(toc_data_length=length):
                toc = bytes([0, length]) + bytes(length)
                self.assert_report(self.run_toc(toc),
                                   "assertion failed: track_count > 0")

    def test_length_not_a_whole_number_of_descriptors(self):
        # toc_data_length 19 in a 21-byte file: two descriptors fit, so the
        # file should have been 20 bytes.
        toc = toc_bytes([0], 4)
        toc = bytes([0, 19]) + toc[2:] + b"\0"
        self.assert_equality_report(self.run_toc(toc), 20, 21)
        # toc_data_length 13 in a 15-byte file: one descriptor, 12 bytes.
        toc = bytes([0, 13]) + bytes(13)
        self.assert_equality_report(self.run_toc(toc), 12, 15)

    def test_last_descriptor_must_be_the_lead_out(self):
        toc = raw_toc([descriptor(1, 0), descriptor(0xA2, 4)])
        self.assert_equality_report(self.run_toc(toc), 162, 170)
        # The lead-out is checked before any track number.
        toc = raw_toc([descriptor(2, 0), descriptor(3, 1), descriptor(1, 4)])
        self.assert_equality_report(self.run_toc(toc), 1, 170)

    def test_track_numbers_must_count_from_one(self):
        toc = raw_toc([descriptor(2, 0), descriptor(LEAD_OUT, 4)])
        self.assert_equality_report(self.run_toc(toc), 2, 1)
        toc = raw_toc([descriptor(1, 0), descriptor(3, 1), descriptor(4, 2),
                       descriptor(LEAD_OUT, 4)])
        self.assert_equality_report(self.run_toc(toc), 3, 2)
        # A lead-out number among the tracks is a wrong number too.
        toc = raw_toc([descriptor(1, 0), descriptor(2, 1),
                       descriptor(LEAD_OUT, 2), descriptor(LEAD_OUT, 4)])
        self.assert_equality_report(self.run_toc(toc), 170, 3)

    def test_header_track_numbers_are_not_read(self):
        toc = raw_toc([descriptor(1, 0), descriptor(LEAD_OUT, 2)],
                      first=9, last=0)
        paths = self.write_files(image=audio_image(2), cdg=subcode(2),
                                 toc=toc)
        self.assert_success(self.run_tool(self.args(paths)))

    def test_only_the_lead_out(self):
        toc = raw_toc([descriptor(LEAD_OUT, 4)])
        self.assertEqual(len(toc), 12)
        self.assert_report(self.run_toc(toc),
                           "assertion failed: !track_lba_ranges.is_empty()")


class DiscEndTest(LoadTestCase):
    """The lead-out address against the lengths of both dumps."""

    def test_lead_out_beyond_the_image(self):
        disc = Disc.simple([0, 2], 5, image_sectors=4, cdg_sectors=5)
        result = self.run_stopping(self.write_disc(disc))
        self.assert_report(result,
                           "assertion failed: disc_end_lba <= img_frames")

    def test_lead_out_beyond_the_subcode(self):
        disc = Disc.simple([0, 2], 5, image_sectors=5, cdg_sectors=4)
        result = self.run_stopping(self.write_disc(disc))
        self.assert_report(result,
                           "assertion failed: disc_end_lba <= cdg_frames")

    def test_image_is_checked_before_subcode(self):
        disc = Disc.simple([0, 2], 5, image_sectors=4, cdg_sectors=4)
        result = self.run_stopping(self.write_disc(disc))
        self.assert_report(result,
                           "assertion failed: disc_end_lba <= img_frames")

    def test_dumps_must_reach_the_lead_out_even_for_early_tracks(self):
        # Track 1 (sectors 0-1) fits in both dumps, the disc does not.
        disc = Disc.simple([0, 2], 6, image_sectors=2, cdg_sectors=6)
        result = self.run_stopping(self.write_disc(disc))
        self.assert_report(result,
                           "assertion failed: disc_end_lba <= img_frames")

    def test_lead_out_equal_to_both_lengths_passes(self):
        disc = Disc.simple([0, 2], 5)
        result = self.run_tool(self.args(self.write_disc(disc)))
        self.assert_success(result)
        self.assertEqual(self.record.raw_copy, audio_image(2))

    def test_dumps_longer_than_the_disc_pass(self):
        disc = Disc.simple([0, 2], 5, image_sectors=9, cdg_sectors=7)
        result = self.run_tool(self.args(self.write_disc(disc), start="2",
                                         end="2"))
        self.assert_success(result)
        self.assertEqual(self.record.raw_copy,
                         b"".join(audio_sector(n) for n in range(2, 5)))


class TrackIndexTest(LoadTestCase):
    """Start and end track against the number of tracks."""

    def setUp(self):
        super().setUp()
        self.paths = self.write_disc(Disc.simple([0, 1, 3], 6))  # 3 tracks

    def test_last_track_is_accepted(self):
        result = self.run_tool(self.args(self.paths, start="3", end="3"))
        self.assert_success(result)
        self.assertEqual(self.record.raw_copy,
                         b"".join(audio_sector(n) for n in range(3, 6)))

    def test_start_track_one_past_the_last(self):
        report = self.assert_fatal(
            self.run_stopping(self.paths, start="4", end="3"))
        self.assertIn("start_track", report)
        self.assertRegex(report, r"\b3\b")  # index 3 of 3 entries

    def test_end_track_one_past_the_last(self):
        report = self.assert_fatal(
            self.run_stopping(self.paths, start="1", end="4"))
        self.assertIn("end_track", report)
        self.assertNotIn("start_track", report)

    def test_start_track_is_checked_first(self):
        report = self.assert_fatal(
            self.run_stopping(self.paths, start="99", end="77"))
        self.assertIn("start_track", report)
        self.assertIn("98", report)
        self.assertNotIn("76", report)

    def test_index_check_comes_after_the_disc_checks(self):
        disc = Disc.simple([0], 3, cdg_sectors=2)
        result = self.run_stopping(self.write_disc(disc, "short"), start="5")
        self.assert_report(result,
                           "assertion failed: disc_end_lba <= cdg_frames")


class FramesFromAllTracksTest(LoadTestCase):
    """A data track is cut and decoded like an audio track."""

    def test_data_track_is_taken_like_audio(self):
        disc = Disc.simple([0, 2], 4, data_tracks=(2,))
        result = self.run_tool(self.args(self.write_disc(disc), start="2",
                                         end="2"))
        self.assert_success(result)
        self.assertEqual(self.record.raw_copy,
                         audio_sector(2) + audio_sector(3))
        # Two sectors, eight packs: frames before packs 0 and 5.
        self.assertEqual(len(self.record.stdin), 2 * FRAME_BYTES)


if __name__ == "__main__":
    unittest.main()
