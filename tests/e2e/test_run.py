"""The run with a stand-in encoder: the raw audio file, the encoder's
argument list, the frames on its input, shutting it down and the refusals."""

import os
import shutil
import signal
import time
import unittest

from harness import (BROKEN_PIPE, DEFAULT_TIMEOUT, DRAIN_ENCODER,
                     EARLY_EXIT_ENCODER, FILE_EXISTS, FRAME_BYTES,
                     HALF_READ_ENCODER, NOT_FOUND, PERMISSION_DENIED,
                     RECORD_ENCODER, SECTOR_AUDIO, SECTORS_PER_SECOND,
                     SELF_KILL_ENCODER, Disc, E2ETestCase, audio_image,
                     audio_sector, border_preset, load_colours, memory_preset,
                     pack, pixel, shown, split_frames, start_glyphreel,
                     tile_block, tree)


FFMPEG = shutil.which("ffmpeg")


def expected_encoder_args(raw_path, mp4_path):
    return ["-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "312x216",
            "-r", "60", "-i", "-",
            "-f", "s16le", "-ar", "44100", "-ac", "2", "-i", str(raw_path),
            "-vcodec", "libx264",
            "-vf", "scale=624:432:flags=neighbor,format=yuv420p",
            "-movflags", "+faststart", str(mp4_path)]


class FrameCountTest(E2ETestCase):
    """Every fifth pack, starting with the first, costs one whole frame."""

    def test_frames_per_span_length(self):
        # (sectors, frames): four packs a sector, a frame before packs 0, 5,
        # 10, ... of the span. 4 packs: before pack 0 only; 8: before 0 and
        # 5; 12: 0, 5, 10; 20: 0 ... 15; 24: 0 ... 20; 40: 0 ... 35;
        # 100: 0 ... 95.
        for sectors, frames in ((1, 1), (2, 2), (3, 3), (5, 4), (6, 5),
                                (10, 8), (25, 20)):
            with self.subTest(sectors=sectors):
                paths = self.write_disc(Disc.simple([0], sectors),
                                        f"d{sectors}")
                result = self.run_tool(self.args(
                    paths, raw=self.tmp / f"t{sectors}.raw",
                    mp4=self.tmp / f"o{sectors}.mp4"))
                self.assert_success(result)
                self.assertEqual(self.record.info["stdin_bytes"],
                                 frames * FRAME_BYTES)

    def test_only_the_chosen_tracks_are_decoded(self):
        # Tracks at sectors 0-1, 2-4, 5-9 of a ten-sector disc.
        paths = self.write_disc(Disc.simple([0, 2, 5], 10))
        # 3 sectors are 12 packs, 3 frames; 8 are 32 packs, 7 frames; 10 are
        # 40 packs, 8 frames; 5 are 20 packs, 4 frames.
        for start, end, frames in (("2", "2", 3), ("2", "3", 7),
                                   ("1", "3", 8), ("3", "3", 4)):
            with self.subTest(start=start, end=end):
                result = self.run_tool(self.args(
                    paths, start=start, end=end,
                    raw=self.tmp / f"t{start}{end}.raw",
                    mp4=self.tmp / f"o{start}{end}.mp4"))
                self.assert_success(result)
                self.assertEqual(len(self.record.stdin), frames * FRAME_BYTES)


class EncoderArgumentsTest(E2ETestCase):

    def test_the_twenty_five_arguments(self):
        paths = self.write_disc(Disc.simple([0], 1))
        raw = self.tmp / "out-tmp.raw"
        mp4 = self.tmp / "out.mp4"
        self.assert_success(self.run_tool(self.args(paths, raw=raw, mp4=mp4)))
        self.assertEqual(self.record.argv, expected_encoder_args(raw, mp4))

    def test_paths_with_blanks_arrive_unsplit(self):
        folder = self.tmp / "with  blanks"
        folder.mkdir()
        raw = folder / "raw audio .raw"
        mp4 = folder / "my video.mp4"
        paths = self.write_disc(Disc.simple([0], 1))
        self.assert_success(self.run_tool(self.args(paths, raw=raw, mp4=mp4)))
        argv = self.record.argv
        self.assertEqual(len(argv), 25)
        self.assertEqual(argv[17], str(raw))
        self.assertEqual(argv[24], str(mp4))
        self.assertEqual(argv, expected_encoder_args(raw, mp4))

    def test_relative_paths_are_passed_behind_the_current_folder(self):
        paths = self.write_disc(Disc.simple([0], 1))
        self.assert_success(self.run_tool(
            self.args(paths, raw="rel.raw", mp4="sub/../rel.mp4")))
        self.assertEqual(self.record.argv,
                         expected_encoder_args("./rel.raw",
                                               "./sub/../rel.mp4"))
        # The encoder works in the program's folder and found the file there.
        self.assertTrue(self.record.info["raw_exists"])
        self.assertEqual(os.path.realpath(self.record.info["cwd"]),
                         os.path.realpath(self.tmp))
        self.assertFalse((self.tmp / "rel.raw").exists())

    def test_relative_paths_the_encoder_would_misread(self):
        # The encoder reads "-" as its standard stream, "name:rest" as a
        # URL and "subfile,...:name" as a piece of another file: every
        # relative path reaches it behind "./", so it reads or writes the
        # very file that was checked, created and deleted. (raw, mp4,
        # arguments 18 and 25)
        (self.tmp / "sub").mkdir()
        cases = [("file:r.raw", "pipe:o.mp4", "./file:r.raw", "./pipe:o.mp4"),
                 ("-", "C:o.mp4", "./-", "./C:o.mp4"),
                 ("subfile,,start,0,end,0,,:r.raw", "sub/file:o.mp4",
                  "./subfile,,start,0,end,0,,:r.raw", "./sub/file:o.mp4")]
        paths = self.write_disc(Disc.simple([0], 2))
        for raw, mp4, raw_argument, mp4_argument in cases:
            with self.subTest(raw=raw, mp4=mp4):
                self.assert_success(self.run_tool(
                    self.args(paths, raw=raw, mp4=mp4)))
                self.assertEqual(self.record.argv,
                                 expected_encoder_args(raw_argument,
                                                       mp4_argument))
                self.assertEqual(self.record.raw_copy, audio_image(2))
                self.assertFalse(os.path.lexists(self.tmp / raw))

    @unittest.skipUnless(FFMPEG, "ffmpeg is not on PATH")
    def test_real_encoder_uses_the_files_named(self):
        # Given as they are, ffmpeg would look for the audio in r.raw.
        paths = self.write_disc(Disc.simple([0], 2))
        result = self.run_tool(self.args(paths, raw="file:r.raw",
                                         mp4="file:o.mp4", encoder=FFMPEG),
                               timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse((self.tmp / "file:r.raw").exists())
        self.assertGreater((self.tmp / "file:o.mp4").stat().st_size, 0)

    def test_bare_program_name_is_found_through_path(self):
        bin_dir = self.tmp / "bin"
        bin_dir.mkdir()
        name = "glyphreel-test-encoder"
        shutil.copy(RECORD_ENCODER, bin_dir / name)
        paths = self.write_disc(Disc.simple([0], 2))
        env = {"PATH": f"{bin_dir}{os.pathsep}{os.environ.get('PATH', '')}"}
        result = self.run_tool(self.args(paths, encoder=name), env=env)
        self.assert_success(result)
        self.assertEqual(len(self.record.stdin), 2 * FRAME_BYTES)


class FrameContentTest(E2ETestCase):
    """What the frames on the encoder's input show."""

    def run_packs(self, packs, sectors, mode=None, stem="disc"):
        paths = self.write_disc(Disc.simple([0], sectors, packs=packs), stem)
        result = self.run_tool(self.args(
            paths, mode=mode, raw=self.tmp / f"{stem}.raw",
            mp4=self.tmp / f"{stem}.mp4"))
        self.assert_success(result)
        return self.record.stdin

    def test_idle_span_shows_colour_zero_everywhere(self):
        # Colour index 0 of an all-zero table: every channel 0 shows as 8.
        stream = self.run_packs(None, 3)
        self.assertEqual(len(stream), 3 * FRAME_BYTES)
        self.assertEqual(stream, bytes([8]) * len(stream))

    def test_packs_of_other_modes_change_nothing(self):
        # Colours loaded first, then memory presets that must all be
        # ignored: 0x49 and 0x89 are mode 9 with a high bit set, 10 is an
        # extended-graphics pack in a plain run. Frame 1 must still show
        # colour 0 everywhere.
        packs = [load_colours(True, [(1, 2, 3), (15, 15, 15)]),
                 pack(0x49, 1, [1]), pack(0x89, 1, [1]), pack(10, 1, [1]),
                 pack(9, 0x41, [1]),  # instruction 1 with bit 6 set
                 pack(0, 0, [1])]
        frames = split_frames(self.run_packs(packs, 2))
        self.assertEqual(len(frames), 2)
        self.assertEqual(frames[0], bytes([8]) * FRAME_BYTES)
        colour0 = (shown(1), shown(2), shown(3))
        self.assertEqual(frames[1], bytes(colour0) * (FRAME_BYTES // 3))

    # A short CD+G program: colours, a preset, one tile, a border.
    GREEN = (0, 15, 0)
    WHITE = (15, 15, 15)
    BLUE = (0, 0, 15)
    RED = (15, 0, 0)
    PINK = (15, 0, 8)

    def program(self):
        colours = [self.GREEN, self.WHITE, self.BLUE, self.RED, (0, 0, 0),
                   self.PINK]
        return {
            0: load_colours(True, colours),
            1: memory_preset(0x15),     # colour 5; the high bits play no part
            # Tile at logical row 1, column 1 (the window's top-left tile):
            # pattern 111000 gives colour 1 (red) on the left three pixels
            # and colour 0 (blue) on the right three.
            2: tile_block(2, 3, 1, 1, 0b111000),
            3: border_preset(1),        # white
            4: pack(0, 1, [0]),         # idle
            5: memory_preset(0),        # after frame 1: shows in frame 2
        }

    def check_program_frames(self, frames):
        def rgb(colour):
            return tuple(shown(c) for c in colour)

        self.assertEqual(len(frames), 3)
        self.assertEqual(frames[0], bytes([8]) * FRAME_BYTES)

        first = frames[1]
        # Border strips: top, bottom, left and right.
        for x, y in ((0, 0), (311, 0), (150, 11), (0, 215), (311, 215),
                     (0, 100), (11, 100), (300, 100), (311, 100),
                     (150, 204)):
            self.assertEqual(pixel(first, x, y), rgb(self.WHITE), (x, y))
        # The tile: frame (12, 12) is its top-left pixel.
        for x in (12, 13, 14):
            for y in (12, 17, 23):
                self.assertEqual(pixel(first, x, y), rgb(self.RED), (x, y))
        for x in (15, 16, 17):
            for y in (12, 17, 23):
                self.assertEqual(pixel(first, x, y), rgb(self.BLUE), (x, y))
        # Next to the tile, and the far corner of the window: the preset.
        for x, y in ((18, 12), (12, 24), (150, 100), (299, 203)):
            self.assertEqual(pixel(first, x, y), rgb(self.PINK), (x, y))

        second = frames[2]
        for x, y in ((0, 0), (11, 100), (311, 215)):
            self.assertEqual(pixel(second, x, y), rgb(self.WHITE), (x, y))
        for x, y in ((12, 12), (15, 12), (150, 100), (299, 203)):
            self.assertEqual(pixel(second, x, y), rgb(self.GREEN), (x, y))

    def test_cdg_program(self):
        frames = split_frames(self.run_packs(self.program(), 3))
        self.check_program_frames(frames)

    def test_cdeg_run_starts_like_a_cdg_run(self):
        # The initial write and display modes send mode-9 packs to the
        # primary plane and show it alone: the same bytes as a plain run.
        plain = self.run_packs(self.program(), 3, mode="cdg", stem="plain")
        extended = self.run_packs(self.program(), 3, mode="cdeg",
                                  stem="extended")
        self.assertEqual(len(extended), 3 * FRAME_BYTES)
        self.assertTrue(plain == extended, "cdeg frames differ from cdg")
        self.check_program_frames(split_frames(extended))

    def test_cdg_run_ignores_extended_memory_control(self):
        # Mode 10, instruction 3 would switch planes in a cdeg run; in a
        # plain run the following preset still reaches the primary plane.
        packs = [load_colours(True, [(0, 0, 0), (15, 15, 15)]),
                 pack(10, 3, [0x02]), pack(10, 3, [0x0E]),
                 memory_preset(1)]
        frames = split_frames(self.run_packs(packs, 2))
        self.assertEqual(pixel(frames[1], 150, 100), (248, 248, 248))
        self.assertEqual(pixel(frames[1], 0, 0), (8, 8, 8))


class AudioFileTest(E2ETestCase):
    """The raw file holds the chosen sectors while the encoder runs."""

    def test_raw_file_holds_the_audio_span_and_is_deleted(self):
        # Tracks at 0-2, 3-5, 6-8, 9-11 of a twelve-sector disc.
        paths = self.write_disc(Disc.simple([0, 3, 6, 9], 12))
        raw = self.tmp / "t.raw"
        result = self.run_tool(self.args(paths, start="2", end="3", raw=raw))
        self.assert_success(result)
        self.assertTrue(self.record.info["raw_exists"])
        self.assertEqual(self.record.raw_copy,
                         b"".join(audio_sector(n) for n in range(3, 9)))
        self.assertEqual(len(self.record.raw_copy), 6 * SECTOR_AUDIO)
        self.assertFalse(raw.exists(), "the raw file was not deleted")
        # 6 sectors, 24 packs: frames before packs 0, 5, 10, 15 and 20.
        self.assertEqual(len(self.record.stdin), 5 * FRAME_BYTES)

    def test_whole_disc(self):
        paths = self.write_disc(Disc.simple([0, 3], 7))
        result = self.run_tool(self.args(paths, start="1", end="2"))
        self.assert_success(result)
        self.assertEqual(self.record.raw_copy, audio_image(7))

    def test_empty_span(self):
        # end_track one below start_track: the end of track 2 is the start
        # of track 3, so both spans are empty.
        paths = self.write_disc(Disc.simple([0, 2, 4], 6))
        raw = self.tmp / "t.raw"
        result = self.run_tool(self.args(paths, start="3", end="2", raw=raw))
        self.assert_success(result)
        self.assertTrue(self.record.started)
        self.assertTrue(self.record.info["raw_exists"])
        self.assertEqual(self.record.raw_copy, b"")
        self.assertEqual(self.record.info["stdin_bytes"], 0)
        self.assertFalse(raw.exists())

    def test_span_that_starts_after_its_end(self):
        paths = self.write_disc(Disc.simple([0, 2, 4], 6))
        before = tree(self.tmp)
        result = self.run_tool(self.args(paths, start="3", end="1"))
        report = self.assert_fatal(result)
        self.assertNotIn("left:", report)
        self.assertEqual(tree(self.tmp), before, "something was written")
        self.assertFalse(self.record.started)

    def test_span_beyond_the_image(self):
        # Addresses out of order: track 1 claims sectors 0-7 of a disc
        # whose lead-out is at 4; the image holds 4 sectors.
        toc_disc = Disc.simple([0, 8], 4)
        paths = self.write_disc(toc_disc)
        before = tree(self.tmp)
        report = self.assert_fatal(self.run_tool(self.args(paths)))
        self.assertIn(str(4 * SECTOR_AUDIO), report)  # the image length
        self.assertEqual(tree(self.tmp), before)
        self.assertFalse(self.record.started)

    def test_subcode_span_is_cut_after_the_encoder_started(self):
        # Track 1 claims sectors 0-7; the image holds them, the subcode
        # dump only reaches the lead-out at 4. The audio is written and the
        # encoder started before the subcode span is refused.
        disc = Disc.simple([0, 8], 4, image_sectors=8, cdg_sectors=4)
        paths = self.write_disc(disc)
        raw = self.tmp / "t.raw"
        release = self.tmp / "release"
        out = self.tmp / "out"
        out.mkdir()
        process = start_glyphreel(
            self.args(paths, raw=raw), out, cwd=self.tmp,
            env={"GLYPHREEL_FAKE_DIR": self.record_dir,
                 "GLYPHREEL_FAKE_HOLD": release})
        try:
            # The program ends on its own while the encoder is still held:
            # a fatal stop does not wait for the child.
            self.assertEqual(process.wait(timeout=DEFAULT_TIMEOUT), 101)
            self.assertFalse(self.record.started)
        finally:
            release.touch()
            if process.poll() is None:
                process.kill()
                process.wait()
        self.assertEqual((out / "stdout.bin").read_bytes(), b"")
        report = (out / "stderr.bin").read_bytes().decode()
        self.assertTrue(report.startswith("glyphreel: "), report)
        self.assertIn(str(4 * 96), report)  # the subcode dump's length
        self.assertTrue(raw.exists(), "the raw file should be left behind")
        self.assertEqual(raw.read_bytes(), audio_image(8))
        # The encoder saw its input end without a frame once the program
        # had gone.
        deadline = time.monotonic() + DEFAULT_TIMEOUT
        while not self.record.started and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertTrue(self.record.started)
        self.assertEqual(self.record.info["stdin_bytes"], 0)


class ClosedStandardDescriptorsTest(E2ETestCase):
    """Started with standard descriptors closed, the program must not let
    its files and pipes take their numbers: a report written to descriptor
    2 would otherwise land in the encoder's video input."""

    def test_report_stays_out_of_the_video_input(self):
        # The subcode dump stops at the lead-out, short of track 1's claimed
        # sectors 0-7: a fatal stop just after the encoder has started.
        paths = self.write_disc(
            Disc.simple([0, 8], 4, image_sectors=8, cdg_sectors=4))
        for closed in ((1, 2), (0, 1, 2)):
            with self.subTest(closed=closed):
                for record in self.record_dir.iterdir():
                    record.unlink()
                raw = self.tmp / f"t{len(closed)}.raw"

                def close_descriptors():
                    for fd in closed:
                        os.close(fd)

                result = self.run_tool(self.args(paths, raw=raw),
                                       preexec=close_descriptors)
                self.assertEqual((result.returncode, result.stderr),
                                 (101, b""))
                # The encoder's input ends when the program has gone.
                deadline = time.monotonic() + DEFAULT_TIMEOUT
                while not self.record.started and time.monotonic() < deadline:
                    time.sleep(0.02)
                self.assertEqual(self.record.stdin, b"")
                self.assertEqual(raw.read_bytes(), audio_image(8))


class RefusalTest(E2ETestCase):
    """Existing outputs are never overwritten."""

    def setUp(self):
        super().setUp()
        self.paths = self.write_disc(Disc.simple([0, 2], 4))
        self.raw = self.tmp / "t.raw"
        self.mp4 = self.tmp / "o.mp4"

    def run_default(self):
        return self.run_tool(self.args(self.paths, raw=self.raw,
                                       mp4=self.mp4))

    def test_existing_raw_file(self):
        self.raw.write_bytes(b"keep me")
        before = tree(self.tmp)
        self.assert_report(
            self.run_default(),
            "refusing to overwrite existing temp raw audio output")
        self.assertEqual(self.raw.read_bytes(), b"keep me")
        self.assertEqual(tree(self.tmp), before)
        self.assertFalse(self.record.started)

    def test_existing_empty_raw_file(self):
        self.raw.touch()
        self.assert_report(
            self.run_default(),
            "refusing to overwrite existing temp raw audio output")
        self.assertEqual(self.raw.read_bytes(), b"")

    def test_raw_path_is_a_directory(self):
        self.raw.mkdir()
        before = tree(self.tmp)
        self.assert_report(
            self.run_default(),
            "refusing to overwrite existing temp raw audio output")
        self.assertEqual(tree(self.tmp), before)
        self.assertFalse(self.record.started)

    def test_raw_path_is_a_link_to_a_file(self):
        target = self.tmp / "target.bin"
        target.write_bytes(b"linked")
        self.raw.symlink_to(target)
        self.assert_report(
            self.run_default(),
            "refusing to overwrite existing temp raw audio output")
        self.assertEqual(target.read_bytes(), b"linked")

    def test_raw_path_is_a_dangling_link(self):
        # The link's target does not exist, so the path counts as absent,
        # but nothing is ever written through a link.
        target = self.tmp / "never-created.bin"
        self.raw.symlink_to(target)
        self.assert_report(self.run_default(),
                           "write raw audio: " + FILE_EXISTS)
        self.assertFalse(target.exists())
        self.assertTrue(self.raw.is_symlink())
        self.assertFalse(self.mp4.exists())
        self.assertFalse(self.record.started)

    def test_raw_path_in_a_missing_folder(self):
        self.raw = self.tmp / "no-such-folder" / "t.raw"
        self.assert_report(self.run_default(),
                           "write raw audio: " + NOT_FOUND)
        self.assertFalse(self.record.started)

    def test_existing_mp4_file(self):
        self.mp4.write_bytes(b"old video")
        self.assert_report(self.run_default(),
                           "refusing to overwrite existing mp4 output")
        self.assertEqual(self.mp4.read_bytes(), b"old video")
        # Refused only after the audio was written; it stays.
        self.assertEqual(self.raw.read_bytes(), audio_image(2))
        self.assertFalse(self.record.started)

    def test_mp4_path_is_a_directory(self):
        self.mp4.mkdir()
        self.assert_report(self.run_default(),
                           "refusing to overwrite existing mp4 output")
        self.assertEqual(self.raw.read_bytes(), audio_image(2))
        self.assertFalse(self.record.started)

    def test_mp4_path_is_a_dangling_link(self):
        # Links are not followed here: the encoder would write the video
        # wherever the link points.
        target = self.tmp / "elsewhere.mp4"
        self.mp4.symlink_to(target)
        self.assert_report(self.run_default(),
                           "refusing to overwrite existing mp4 output")
        self.assertFalse(target.exists())
        self.assertEqual(self.raw.read_bytes(), audio_image(2))
        self.assertFalse(self.record.started)

    def test_raw_refusal_comes_before_mp4_refusal(self):
        self.raw.write_bytes(b"r")
        self.mp4.write_bytes(b"m")
        self.assert_report(
            self.run_default(),
            "refusing to overwrite existing temp raw audio output")


class EncoderLifeTest(E2ETestCase):
    """Starting, feeding and finishing the encoder child."""

    def setUp(self):
        super().setUp()
        # One second of disc: 300 packs, 60 frames, about 12 MB of frames,
        # far more than any pipe holds.
        self.sectors = SECTORS_PER_SECOND
        self.paths = self.write_disc(Disc.simple([0], self.sectors))
        self.raw = self.tmp / "t.raw"
        self.mp4 = self.tmp / "o.mp4"
        self.all_frames = 60 * FRAME_BYTES

    def run_with(self, encoder, env=None):
        return self.run_tool(self.args(self.paths, raw=self.raw,
                                       mp4=self.mp4, encoder=encoder),
                             env=env)

    def test_drain_encoder(self):
        self.assert_success(self.run_with(DRAIN_ENCODER))
        self.assertFalse(self.raw.exists())

    def test_record_encoder_receives_every_frame(self):
        self.assert_success(self.run_with(RECORD_ENCODER))
        self.assertEqual(self.record.info["stdin_bytes"], self.all_frames)
        self.assertEqual(self.record.stdin, bytes([8]) * self.all_frames)
        self.assertFalse(self.raw.exists())

    def test_program_started_with_its_input_closed(self):
        # Its own descriptor 0 free, the pipe may land there; the encoder
        # must still get the pipe as its input and every frame through it.
        result = self.run_tool(self.args(self.paths, raw=self.raw,
                                         mp4=self.mp4),
                               close_stdin=True)
        self.assert_success(result)
        self.assertEqual(self.record.info["stdin_bytes"], self.all_frames)
        self.assertEqual(self.record.raw_copy, audio_image(self.sectors))
        self.assertFalse(self.raw.exists())

    def test_program_started_with_child_signals_ignored(self):
        # An ignored SIGCHLD survives exec and would let the system reap
        # the encoder before the wait for it; its status must still count.
        def ignore_sigchld():
            signal.signal(signal.SIGCHLD, signal.SIG_IGN)

        for code, report in ((0, ""), (3, "glyphreel: ffmpeg exited "
                                          "unsuccessfully: exit status 3\n")):
            with self.subTest(code=code):
                result = self.run_tool(
                    self.args(self.paths, raw=self.raw, mp4=self.mp4),
                    env={"GLYPHREEL_FAKE_EXIT": code}, preexec=ignore_sigchld)
                self.assertEqual(self.stderr_text(result), report)
                self.assertEqual(result.returncode, 101 if code else 0)
                self.assertEqual(self.record.info["stdin_bytes"],
                                 self.all_frames)
                self.assertFalse(self.raw.exists())

    def test_missing_encoder(self):
        self.assert_report(self.run_with(self.tmp / "no-such-ffmpeg"),
                           "spawn ffmpeg child: " + NOT_FOUND)
        self.assertEqual(self.raw.read_bytes(), audio_image(self.sectors))

    def test_missing_bare_encoder_name(self):
        env = {"PATH": str(self.tmp / "empty-bin")}
        self.assert_report(
            self.run_tool(self.args(self.paths, raw=self.raw, mp4=self.mp4,
                                    encoder="glyphreel-no-such-encoder"),
                          env=env),
            "spawn ffmpeg child: " + NOT_FOUND)
        self.assertTrue(self.raw.exists())

    def test_encoder_that_is_not_executable(self):
        encoder = self.tmp / "plain.txt"
        encoder.write_text("not a program\n")
        encoder.chmod(0o644)
        self.assert_report(self.run_with(encoder),
                           "spawn ffmpeg child: " + PERMISSION_DENIED)
        self.assertTrue(self.raw.exists())

    def test_encoder_that_exits_at_once(self):
        self.assert_report(self.run_with(EARLY_EXIT_ENCODER),
                           "write frame: " + BROKEN_PIPE)
        self.assertEqual(self.raw.read_bytes(), audio_image(self.sectors))
        self.assertFalse(self.mp4.exists())

    def test_encoder_that_closes_its_input_part_way(self):
        self.assert_report(self.run_with(HALF_READ_ENCODER),
                           "write frame: " + BROKEN_PIPE)
        self.assertTrue(self.raw.exists())

    def test_encoder_that_fails_after_reading_everything(self):
        for code in (1, 3):
            with self.subTest(code=code):
                result = self.run_with(RECORD_ENCODER,
                                       env={"GLYPHREEL_FAKE_EXIT": code})
                self.assert_report(
                    result, f"ffmpeg exited unsuccessfully: exit status {code}")
                self.assertEqual(self.record.info["stdin_bytes"],
                                 self.all_frames)
                self.assertFalse(self.raw.exists(),
                                 "the raw file was not deleted")

    def test_encoder_killed_by_a_signal(self):
        self.assert_report(self.run_with(SELF_KILL_ENCODER),
                           "ffmpeg exited unsuccessfully: killed by signal 9")
        self.assertFalse(self.raw.exists(), "the raw file was not deleted")

    def test_encoder_that_deletes_the_raw_file(self):
        result = self.run_with(RECORD_ENCODER,
                               env={"GLYPHREEL_FAKE_DELETE_RAW": "1"})
        self.assert_report(result,
                           "delete temp raw audio output: " + NOT_FOUND)
        self.assertEqual(self.record.info["stdin_bytes"], self.all_frames)

    def test_delete_failure_is_reported_before_the_exit_status(self):
        result = self.run_with(RECORD_ENCODER,
                               env={"GLYPHREEL_FAKE_DELETE_RAW": "1",
                                    "GLYPHREEL_FAKE_EXIT": "2"})
        self.assert_report(result,
                           "delete temp raw audio output: " + NOT_FOUND)


if __name__ == "__main__":
    unittest.main()
