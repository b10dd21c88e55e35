"""End-to-end runs of glyphreel-library.exe under Wine: songs in folders and
a zip converted two at a time through the stand-in encoder, which also stands in for the
decoder that measures the audio; the frames equal glyphreel.exe's; a failed
encoder leaves nothing behind; a disc cut into named song zips; the command
line.

Environment:
  GLYPHREEL_LIBRARY_EXE, GLYPHREEL_EXE   the programs to test
  FAKE_ENCODER_EXE                       tests/windows/fake_encoder.cpp
  WINE, WINEPREFIX                       as for test_windows.py
"""

import json
import os
import shutil
import sys
import unittest
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "e2e"))

import test_windows  # noqa: E402  (its helpers)
from harness import LIBRARY_USAGE  # noqa: E402
from import_helpers import graphics_disc  # noqa: E402

LIBRARY = Path(os.environ.get("GLYPHREEL_LIBRARY_EXE", ""))
GLYPHREEL = Path(os.environ.get("GLYPHREEL_EXE", ""))
FAKE_ENCODER = Path(os.environ.get("FAKE_ENCODER_EXE", ""))
FRAME_BYTES = 312 * 216 * 3


@unittest.skipUnless(LIBRARY.is_file() and GLYPHREEL.is_file() and
                     FAKE_ENCODER.is_file(),
                     "the programs and the fake encoder must be built")
class WindowsLibrary(test_windows.ScratchFolders):

    @classmethod
    def setUpClass(cls):
        cls.make_root("glyphreel-library")
        tools = cls.root / "tools é"
        tools.mkdir()
        shutil.copyfile(FAKE_ENCODER, tools / "ffmpeg.exe")
        cls.ffmpeg = tools / "ffmpeg.exe"
        cls.environment = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8",
                               WINEDLLOVERRIDES="mscoree,mshtml=")
        for name in ("FAKE_ENCODER_EXIT_CODE", "FAKE_ENCODER_PER_OUTPUT"):
            cls.environment.pop(name, None)

    def test_songs_two_at_a_time_give_glyphreels_frames(self):
        source = self.folder / "chansons é"
        (source / "sous-dossier").mkdir(parents=True)
        # (folder, name, graphics sectors, audio bytes, frames): 40 frames
        # of graphics held to 60 for a second of audio; 80 outlasting it.
        songs = [(source, "Première", 50, 2 * 44100, 60),
                 (source / "sous-dossier", "Deuxième", 100, 2 * 22050, 80)]
        for folder, name, sectors, audio, _ in songs:
            (folder / f"{name}.cdg").write_bytes(graphics_disc(sectors,
                                                               seed=sectors))
            (folder / f"{name}.mp3").write_bytes(bytes(audio))
        # A third song in a zip, read through the platform's mapping.
        songs.append((source, "Troisième", 30, 2 * 7350, 24))
        with zipfile.ZipFile(source / "Troisième.zip", "w",
                             zipfile.ZIP_DEFLATED) as made:
            made.writestr("Troisième/Troisième.cdg",
                          graphics_disc(30, seed=30))
            made.writestr("Troisième/Troisième.mp3", bytes(2 * 7350))
        records = self.folder / "records"
        records.mkdir()
        out = self.folder / "vidéos"
        results = self.folder / "results.json"
        result = self.run_exe(LIBRARY, [
            "videos", source, "--out", out, "-j", "2", "--ffmpeg",
            self.ffmpeg, "--results", results],
            FAKE_ENCODER_DIR=self.windows_path(records),
            FAKE_ENCODER_PER_OUTPUT="1")
        self.assertEqual(result.returncode, 0, result.stderr)
        statuses = [json.loads(line)["status"] for line in
                    results.read_text(encoding="utf-8").splitlines()]
        self.assertEqual(statuses, ["converted"] * 3)
        self.assertEqual(sorted(str(p.relative_to(out))
                                for p in out.rglob("*")),
                         ["Première.mp4", "Troisième.mp4", "sous-dossier",
                          str(Path("sous-dossier") / "Deuxième.mp4")])
        for folder, name, sectors, audio, frames in songs:
            with self.subTest(song=name):
                recorded = [p for p in records.iterdir()
                            if p.name.startswith(f".{name}.mp4.")]
                self.assertEqual(len(recorded), 1)
                sent = (recorded[0] / "stdin.bin").read_bytes()
                self.assertEqual(len(sent), frames * FRAME_BYTES)
                self.assertEqual(
                    len((recorded[0] / "input.bin").read_bytes()), audio)
                disc = self.folder / f"disc {name}"
                disc.mkdir()
                sectors_needed = frames * 5 // 4
                packs = graphics_disc(sectors, seed=sectors)
                (disc / "disc.img").write_bytes(bytes(sectors_needed * 2352))
                (disc / "disc.cdg").write_bytes(
                    packs + bytes(sectors_needed * 96 - len(packs)))
                (disc / "disc.toc").write_bytes(
                    test_windows.table_of_contents([0], sectors_needed))
                glyphreel_records = disc / "records"
                glyphreel_records.mkdir()
                converted = self.run_exe(GLYPHREEL, [
                    disc / "disc.img", disc / "disc.cdg", disc / "disc.toc",
                    disc / "t.raw", self.ffmpeg, disc / "o.mp4", "1", "1"],
                    FAKE_ENCODER_DIR=self.windows_path(glyphreel_records))
                self.assertEqual(converted.returncode, 0, converted.stderr)
                self.assertEqual(
                    sent, (glyphreel_records / "stdin.bin").read_bytes())

    def test_a_failed_encoder_leaves_nothing_behind(self):
        (self.folder / "Song.cdg").write_bytes(graphics_disc(4))
        (self.folder / "Song.wav").write_bytes(bytes(100))
        records = self.folder / "records"
        records.mkdir()
        out = self.folder / "out"
        result = self.run_exe(LIBRARY, [
            "videos", self.folder / "Song.cdg", "--out", out, "--ffmpeg",
            self.ffmpeg], FAKE_ENCODER_DIR=self.windows_path(records),
            FAKE_ENCODER_EXIT_CODE="3")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("failed Song: ffmpeg failed (exit status 3): fake "
                      "encoder: read ", result.stderr.decode("utf-8"))
        self.assertEqual(list(out.iterdir()), [])

    def test_a_disc_becomes_named_song_zips(self):
        # Track 1 carries graphics, track 2 only idle packs.
        graphics = graphics_disc(4, seed=4)
        subcode = graphics + bytes(2 * 96)
        audio = (bytes(range(256)) * 56)[:6 * 2352]
        disc = self.folder / "disque é"
        disc.mkdir()
        (disc / "disc.img").write_bytes(audio)
        (disc / "disc.cdg").write_bytes(subcode)
        (disc / "disc.toc").write_bytes(
            test_windows.table_of_contents([0, 4], 6))
        sheet = self.folder / "disque.cue"
        sheet.write_text('PERFORMER "Chœur"\nFILE "d.bin" BINARY\n'
                         'TRACK 01 AUDIO\nTITLE "Première?"\n'
                         'INDEX 01 00:00:00\nTRACK 02 AUDIO\n'
                         'INDEX 01 00:00:04\n', encoding="utf-8")
        packs = sum(1 for at in range(0, len(graphics), 24)
                    if graphics[at] & 0x3F in (9, 10))
        records = self.folder / "records"
        records.mkdir()
        encoder = dict(FAKE_ENCODER_DIR=self.windows_path(records),
                       FAKE_ENCODER_PER_OUTPUT="1",
                       FAKE_ENCODER_WRITE_OUTPUT="1")
        out = self.folder / "chansons"
        result = self.run_exe(LIBRARY, [
            "songs", disc, out, "--names", sheet, "--ffmpeg", self.ffmpeg],
            **encoder)
        self.assertEqual(result.returncode, 0, result.stderr)
        # The fake encoder's own line on standard output is passed over.
        self.assertEqual(
            [line for line in result.stdout.decode("utf-8").splitlines()
             if "\t" in line],
            [f"01\t01 - Chœur - Première_\t0.05 s\t{packs} graphics packs"
             "\twritten",
             "02\tTrack 02\t0.03 s\t0 graphics packs\tskipped: no "
             "graphics"])
        name = "01 - Chœur - Première_"
        self.assertEqual([p.name for p in out.iterdir()], [f"{name}.zip"])
        with zipfile.ZipFile(out / f"{name}.zip") as song:
            self.assertEqual(song.namelist(), [f"{name}.cdg", f"{name}.mp3"])
            self.assertEqual(song.read(f"{name}.cdg"), graphics)
            self.assertEqual(song.read(f"{name}.mp3"), audio[:4 * 2352])
        # An encoder that fails leaves no file of its song, and a run that
        # wrote no song not even its folder.
        failed = self.folder / "rien"
        result = self.run_exe(LIBRARY, [
            "songs", disc, failed, "--folders", "--ffmpeg", self.ffmpeg],
            FAKE_ENCODER_EXIT_CODE="3", **encoder)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("\tfailed: ffmpeg failed (exit status 3): fake encoder: "
                      f"read {4 * 2352} bytes\n",
                      result.stdout.decode("utf-8"))
        self.assertFalse(failed.exists())

    def test_the_command_line(self):
        result = self.run_exe(LIBRARY, ["videos", "only-a-source"])
        self.assertEqual((result.returncode, result.stderr.decode()),
                         (2, LIBRARY_USAGE))
        result = self.run_exe(LIBRARY, ["--version"])
        self.assertEqual((result.returncode, result.stdout),
                         (0, b"glyphreel-library 0.2.0\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
