"""glyphreel-library songs: a disc's tracks with graphics cut into song
files through a stand-in ffmpeg (fakes/library_ffmpeg.py, which keeps the
samples it is given as they are) and, on the sample disc, the real one.

Environment:
  GLYPHREEL_LIBRARY  path of glyphreel-library (set by CTest)
  GLYPHREEL          path of glyphreel, whose frames the songs' must equal
  GLYPHREEL_SAMPLE_DISC  the sample-disc generator
"""

import os
import shutil
import subprocess
import unittest
import zipfile
from pathlib import Path

from harness import (FAKES, FRAME_BYTES, PACK_SIZE, PACKS_PER_SECTOR,
                     RECORD_ENCODER, SECTOR_AUDIO, SECTOR_SUBCODE,
                     E2ETestCase, audio_image, run_glyphreel, toc_bytes, tree)
from import_helpers import graphics_disc

LIBRARY_FFMPEG = FAKES / "library_ffmpeg.py"
FFMPEG = shutil.which("ffmpeg")
UNZIP = shutil.which("unzip")
SAMPLE_DISC = os.environ.get("GLYPHREEL_SAMPLE_DISC", "")
TOLD = "fake ffmpeg: the encoder was told to fail"


def library(arguments, cwd, env=None, ffmpeg=LIBRARY_FFMPEG):
    binary = os.environ.get("GLYPHREEL_LIBRARY")
    if not binary:
        raise RuntimeError("set GLYPHREEL_LIBRARY (CTest does this)")
    return subprocess.run(
        [binary, *map(str, arguments), "--ffmpeg", str(ffmpeg)], cwd=cwd,
        stdin=subprocess.DEVNULL, capture_output=True, timeout=300,
        env=dict(os.environ, **(env or {})))


class SongsTestCase(E2ETestCase):

    def make_disc(self, tracks, folder="disc"):
        """A disc of the tracks' subcode (whole sectors each), its audio
        sectors naming themselves. Returns (folder, audio, subcode)."""
        disc = self.tmp / folder
        disc.mkdir()
        starts = [0]
        for subcode in tracks:
            starts.append(starts[-1] + len(subcode) // SECTOR_SUBCODE)
        audio = audio_image(starts[-1])
        subcode = b"".join(tracks)
        (disc / "disc.img").write_bytes(audio)
        (disc / "disc.cdg").write_bytes(subcode)
        (disc / "disc.toc").write_bytes(toc_bytes(starts[:-1], starts[-1]))
        return disc, audio, subcode

    def songs(self, *arguments, env=None, ffmpeg=LIBRARY_FFMPEG):
        return library(["songs", *arguments], self.tmp, ffmpeg=ffmpeg,
                       env=dict(env or {},
                                GLYPHREEL_FAKE_DIR=str(self.record_dir)))

    def three_tracks(self):
        """Graphics, idle packs, then graphics whose mode bytes carry the
        high bits a cooked dump may keep."""
        third = bytearray(graphics_disc(3, seed=3))
        for at in range(0, len(third), PACK_SIZE):
            if third[at]:
                third[at] |= 0xC0
        return [graphics_disc(4, seed=1), bytes(2 * SECTOR_SUBCODE),
                bytes(third)]


class FakeEncoderTest(SongsTestCase):

    def test_tracks_with_graphics_become_named_zips(self):
        tracks = self.three_tracks()
        disc, audio, subcode = self.make_disc(tracks)
        (self.tmp / "d.cue").write_text(
            'PERFORMER "AC/DC"\nFILE "d.bin" BINARY\n'
            'TRACK 01 AUDIO\nTITLE "Why?"\nINDEX 01 00:00:00\n'
            'TRACK 02 AUDIO\nTITLE "Quiet"\nINDEX 01 00:00:04\n'
            'TRACK 03 AUDIO\nPERFORMER "Guest"\nTITLE "Duet: <Live>"\n'
            'INDEX 01 00:00:06\n')
        result = self.songs(disc, self.tmp / "out", "--names",
                            self.tmp / "d.cue")
        self.assertEqual(result.returncode, 0, result.stderr)
        graphics = [sum(1 for at in range(0, len(t), PACK_SIZE)
                        if t[at] & 0x3F in (9, 10)) for t in tracks]
        self.assertEqual(
            result.stdout.decode(),
            f"01\t01 - AC_DC - Why_\t0.05 s\t{graphics[0]} graphics packs"
            "\twritten\n"
            "02\t02 - AC_DC - Quiet\t0.03 s\t0 graphics packs\tskipped: no "
            "graphics\n"
            f"03\t03 - Guest - Duet_ _Live_\t0.04 s\t{graphics[2]} graphics "
            "packs\twritten\n")
        self.assertEqual(result.stderr.decode(),
                         "glyphreel-library: 2 written, 1 skipped, 0 failed\n")
        # Each zip holds the track's packs as the dump has them, Deflated,
        # and its samples as the encoder wrote them, stored.
        for name, first, last in (("01 - AC_DC - Why_", 0, 4),
                                  ("03 - Guest - Duet_ _Live_", 6, 9)):
            with self.subTest(song=name), \
                    zipfile.ZipFile(self.tmp / "out" / f"{name}.zip") as made:
                self.assertIsNone(made.testzip())
                self.assertEqual(
                    [(i.filename, i.compress_type) for i in made.infolist()],
                    [(f"{name}.cdg", zipfile.ZIP_DEFLATED),
                     (f"{name}.mp3", zipfile.ZIP_STORED)])
                self.assertEqual(
                    made.read(f"{name}.cdg"),
                    subcode[first * SECTOR_SUBCODE:last * SECTOR_SUBCODE])
                self.assertEqual(
                    made.read(f"{name}.mp3"),
                    audio[first * SECTOR_AUDIO:last * SECTOR_AUDIO])
            if UNZIP:
                tested = subprocess.run(
                    [UNZIP, "-t", self.tmp / "out" / f"{name}.zip"],
                    capture_output=True, timeout=60)
                self.assertEqual(tested.returncode, 0, tested.stdout)
        self.assertEqual(sorted(tree(self.tmp / "out")),
                         ["01 - AC_DC - Why_.zip",
                          "03 - Guest - Duet_ _Live_.zip"])
        # Side by side, from a cdrdao TOC file's CD-TEXT, tracks 3 to 3.
        (self.tmp / "d.toc").write_text(
            'CD_DA\nTRACK AUDIO\nFILE "d.bin" 0 00:00:04\n'
            'TRACK AUDIO\nFILE "d.bin" 00:00:04 00:00:02\n'
            'TRACK AUDIO\nCD_TEXT { LANGUAGE 0 { TITLE "Caf\\351" } }\n'
            'FILE "d.bin" 00:00:06 00:00:03\n')
        result = self.songs(disc, self.tmp / "side", "--folders", "--audio",
                            "wav", "--tracks", "3-3", "--names",
                            self.tmp / "d.toc")
        self.assertEqual(result.returncode, 0, result.stderr)
        side = self.tmp / "side"
        self.assertEqual(sorted(tree(side)), ["03 - Café.cdg", "03 - Café.wav"])
        self.assertEqual((side / "03 - Café.cdg").read_bytes(),
                         subcode[6 * SECTOR_SUBCODE:])
        self.assertEqual((side / "03 - Café.wav").read_bytes(),
                         audio[6 * SECTOR_AUDIO:])

    def test_a_failed_track_leaves_nothing(self):
        disc, _, _ = self.make_disc(self.three_tracks())
        cases = [
            # (environment, ffmpeg, exit status, what is left, the reason)
            ({"LIBRARY_FAKE_EXIT": "3", "LIBRARY_FAKE_MATCH": "Track 01"},
             LIBRARY_FFMPEG, ["Track 03.zip"],
             f"ffmpeg failed (exit status 3): {TOLD}"),
            ({}, self.tmp / "no-ffmpeg", None,
             "spawn ffmpeg child: No such file or directory (os error 2)"),
        ]
        for env, ffmpeg, left, reason in cases:
            with self.subTest(reason=reason):
                out = self.tmp / "out" / "new"
                shutil.rmtree(self.tmp / "out", ignore_errors=True)
                result = self.songs(disc, out, env=env, ffmpeg=ffmpeg)
                self.assertEqual(result.returncode, 1, result.stderr)
                lines = result.stdout.decode().splitlines()
                self.assertTrue(lines[0].endswith(f"\tfailed: {reason}"),
                                lines[0])
                # No temporary, no log; a folder that got no song goes.
                if left is None:
                    self.assertFalse((self.tmp / "out").exists())
                else:
                    self.assertEqual(sorted(tree(out)), left)

    def test_existing_outputs_are_refused_before_anything_is_written(self):
        disc, _, _ = self.make_disc(self.three_tracks())
        for options, existing in (([], "Track 03.zip"),
                                  (["--folders"], "Track 01.cdg")):
            with self.subTest(existing=existing):
                out = self.tmp / "out"
                shutil.rmtree(out, ignore_errors=True)
                out.mkdir()
                (out / existing).write_bytes(b"mine")
                result = self.songs(disc, out, *options)
                self.assertEqual(
                    (result.returncode, result.stdout, result.stderr.decode()),
                    (1, b"", "glyphreel-library: refusing to overwrite "
                     f"existing {out / existing}\n"))
                self.assertEqual(tree(out), {existing: 4})

    def test_sheets_and_ranges_that_do_not_fit_the_disc_are_refused(self):
        disc, _, _ = self.make_disc(self.three_tracks())
        (self.tmp / "two.cue").write_text(
            'FILE "d.bin" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n'
            'TRACK 02 AUDIO\nINDEX 01 00:00:04\n')
        for options, message in (
                (["--names", self.tmp / "two.cue"],
                 f"{self.tmp / 'two.cue'} names 2 tracks, the disc has 3"),
                (["--tracks", "2-4"],
                 "--tracks 2-4 asks for track 4 of a disc of 3 tracks")):
            with self.subTest(message=message):
                result = self.songs(disc, self.tmp / "out", *options)
                self.assertEqual((result.returncode, result.stderr.decode()),
                                 (1, f"glyphreel-library: {message}\n"))
                self.assertFalse((self.tmp / "out").exists())


@unittest.skipUnless(FFMPEG and SAMPLE_DISC, "ffmpeg and the sample disc "
                     "generator are needed")
class SampleDiscRoundTripTest(SongsTestCase):

    def pcm(self, path):
        return subprocess.run([FFMPEG, "-v", "error", "-i", path, "-f",
                               "s16le", "-"], capture_output=True, check=True,
                              timeout=60).stdout

    def glyphreel_frames(self, disc, track, mode):
        record = self.tmp / f"glyphreel-{track}"
        record.mkdir()
        result = run_glyphreel(
            [disc / "disc.img", disc / "disc.cdg", disc / "disc.toc",
             self.tmp / f"t{track}.raw", RECORD_ENCODER,
             self.tmp / f"t{track}.mp4", str(track), str(track), mode],
            env={"GLYPHREEL_FAKE_DIR": record})
        self.assertEqual(result.returncode, 0, result.stderr)
        return (record / "stdin.bin").read_bytes()

    def test_the_songs_play_as_the_disc(self):
        disc = self.tmp / "disc"
        subprocess.run([SAMPLE_DISC, disc], check=True,
                       stdout=subprocess.DEVNULL, timeout=60)
        audio = (disc / "disc.img").read_bytes()
        subcode = (disc / "disc.cdg").read_bytes()
        sectors = [(0, 900), (900, 1500), (1500, 2106)]
        # The tracks after the first, whose graphics follow another's.
        zips = self.tmp / "zips"
        made = self.songs(disc, zips, "--tracks", "2-3", ffmpeg=FFMPEG)
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertEqual(
            [line.split("\t")[:3] for line in
             made.stdout.decode().splitlines()],
            [["02", "Track 02", "8.00 s"], ["03", "Track 03", "8.08 s"]])
        # The MP3s as long as their tracks, to the sample.
        for n, (first, last) in enumerate(sectors[1:], 2):
            with zipfile.ZipFile(zips / f"Track {n:02d}.zip") as song:
                self.assertIsNone(song.testzip())
                song.extract(f"Track {n:02d}.mp3", self.tmp / "mp3")
            self.assertEqual(
                len(self.pcm(self.tmp / "mp3" / f"Track {n:02d}.mp3")),
                (last - first) * SECTOR_AUDIO)
        # The zips converted by the library give glyphreel's frames of each
        # track, CD+EG for the third.
        videos = library(["videos", zips, "--out", self.tmp / "videos"],
                         self.tmp, env={"GLYPHREEL_FAKE_DIR":
                                        str(self.record_dir),
                                        "LIBRARY_FAKE_DECODER": FFMPEG})
        self.assertEqual(videos.returncode, 0, videos.stderr)
        for n, mode in ((2, "cdg"), (3, "cdeg")):
            with self.subTest(track=n):
                sent = (self.record_dir /
                        f"Track {n:02d}.mp4.stdin.bin").read_bytes()
                first, last = sectors[n - 1]
                packs = (last - first) * PACKS_PER_SECTOR
                self.assertEqual(len(sent), -(-packs // 5) * FRAME_BYTES)
                self.assertEqual(sent, self.glyphreel_frames(disc, n, mode))
        # FLAC keeps the samples exactly.
        flac = self.tmp / "flac"
        made = self.songs(disc, flac, "--audio", "flac", "--folders",
                          ffmpeg=FFMPEG)
        self.assertEqual(made.returncode, 0, made.stderr)
        for n, (first, last) in enumerate(sectors, 1):
            with self.subTest(track=n):
                self.assertEqual(self.pcm(flac / f"Track {n:02d}.flac"),
                                 audio[first * SECTOR_AUDIO:
                                       last * SECTOR_AUDIO])
                self.assertEqual(
                    (flac / f"Track {n:02d}.cdg").read_bytes(),
                    subcode[first * SECTOR_SUBCODE:last * SECTOR_SUBCODE])


if __name__ == "__main__":
    unittest.main()
