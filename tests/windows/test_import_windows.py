"""End-to-end runs of glyphreel-import.exe under Wine: a cue rip converted
by glyphreel.exe, songs through a stand-in decoder, a failure that leaves
nothing behind, and the command line.

Environment:
  GLYPHREEL_IMPORT_EXE, GLYPHREEL_EXE   the programs to test
  FAKE_DECODER_EXE, FAKE_ENCODER_EXE    tests/windows/fake_*.cpp
  WINE, WINEPREFIX                      as for test_windows.py
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "e2e"))

import test_windows  # noqa: E402  (its helpers)
from import_helpers import (IMPORT_USAGE, audio_bytes,  # noqa: E402
                            graphics_disc, raw_subchannel)

IMPORTER = Path(os.environ.get("GLYPHREEL_IMPORT_EXE", ""))
GLYPHREEL = Path(os.environ.get("GLYPHREEL_EXE", ""))
FAKE_DECODER = Path(os.environ.get("FAKE_DECODER_EXE", ""))
FAKE_ENCODER = Path(os.environ.get("FAKE_ENCODER_EXE", ""))
WINE = os.environ.get("WINE", "")
SECTOR = 2352


@unittest.skipUnless(IMPORTER.is_file() and GLYPHREEL.is_file() and
                     FAKE_DECODER.is_file() and FAKE_ENCODER.is_file(),
                     "the programs and the fakes must be built")
class WindowsImport(test_windows.ScratchFolders):

    @classmethod
    def setUpClass(cls):
        cls.make_root("glyphreel-import")
        tools = cls.root / "tools é"
        tools.mkdir()
        shutil.copyfile(FAKE_DECODER, tools / "ffmpeg.exe")
        shutil.copyfile(FAKE_ENCODER, tools / "encoder.exe")
        cls.tools = tools
        cls.environment = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8",
                               WINEDLLOVERRIDES="mscoree,mshtml=")
        cls.environment.pop("FAKE_DECODER_EXIT", None)
        cls.environment.pop("WINEPATH", None)

    def frames(self, folder, tracks):
        """The bytes glyphreel.exe sends its encoder for all tracks."""
        records = folder / "records"
        records.mkdir()
        result = self.run_exe(GLYPHREEL, [
            folder / "disc.img", folder / "disc.cdg", folder / "disc.toc",
            folder / "t.raw", self.tools / "encoder.exe", folder / "o.mp4",
            "1", str(tracks)], FAKE_ENCODER_DIR=self.windows_path(records))
        self.assertEqual(result.returncode, 0, result.stderr)
        return (records / "stdin.bin").read_bytes()

    def test_a_cue_rip_converts_like_its_original_packs(self):
        cooked = graphics_disc(30, seed=3, aligned=False)
        image = audio_bytes(30, seed=4)
        (self.folder / "Piste 1 é.bin").write_bytes(image[:12 * SECTOR])
        (self.folder / "Piste 2.bin").write_bytes(image[12 * SECTOR:])
        (self.folder / "disc.cue").write_text(
            'FILE "Piste 1 é.bin" BINARY\r\n  TRACK 01 AUDIO\r\n'
            "    INDEX 01 00:00:00\r\n"
            'FILE "Piste 2.bin" BINARY\r\n  TRACK 02 AUDIO\r\n'
            "    INDEX 01 00:00:00\r\n", encoding="utf-8", newline="")
        (self.folder / "disc.sub").write_bytes(
            raw_subchannel(cooked, first_lba=-2, form="packed"))
        out = self.folder / "new folder" / "out"
        result = self.run_exe(IMPORTER, [
            "cue", self.folder / "disc.cue", self.folder / "disc.sub", out,
            "--form", "packed", "--sub-start", "-2", "--json"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, b"")
        self.assertEqual(json.loads(result.stdout)["totals"]["packs"], 120)
        self.assertEqual((out / "disc.img").read_bytes(), image)
        self.assertEqual((out / "disc.cdg").read_bytes(), cooked)
        self.assertEqual((out / "disc.toc").read_bytes(),
                         test_windows.table_of_contents([0, 12], 30))

        original = self.folder / "original"
        original.mkdir()
        (original / "disc.img").write_bytes(image)
        (original / "disc.cdg").write_bytes(cooked)
        (original / "disc.toc").write_bytes((out / "disc.toc").read_bytes())
        self.assertEqual(self.frames(out, 2), self.frames(original, 2))

    def test_a_cdrdao_rip_of_blocks_with_their_subchannel(self):
        # Big-endian audio and raw subchannel in 2448-byte blocks, after a
        # block that the TOC file's byte offset skips.
        cooked = graphics_disc(20, seed=5)
        image = audio_bytes(20, seed=6)
        raw = raw_subchannel(cooked)
        blocks = bytearray(2448)
        for s in range(20):
            audio = image[s * SECTOR:(s + 1) * SECTOR]
            blocks += bytes(b for i in range(0, SECTOR, 2)
                            for b in (audio[i + 1], audio[i]))
            blocks += raw[s * 96:(s + 1) * 96]
        (self.folder / "Rip é.bin").write_bytes(blocks)
        (self.folder / "rip.toc").write_text(
            'CD_DA\nTRACK AUDIO RW_RAW\nFILE "Rip é.bin" #2448 0 00:00:08\n'
            'TRACK AUDIO RW_RAW\nFILE "Rip é.bin" #2448 00:00:08 0\n',
            encoding="utf-8")
        out = self.folder / "out"
        result = self.run_exe(IMPORTER, ["cdrdao", self.folder / "rip.toc",
                                         out, "--json"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(json.loads(result.stdout)["totals"]["packs"], 80)
        self.assertEqual((out / "disc.img").read_bytes(), image)
        self.assertEqual((out / "disc.cdg").read_bytes(), cooked)
        self.assertEqual((out / "disc.toc").read_bytes(),
                         test_windows.table_of_contents([0, 8], 20))

    def test_songs_through_the_decoder_found_on_the_path(self):
        (self.folder / "a.cdg").write_bytes(graphics_disc(3, seed=1))
        (self.folder / "a.pcm").write_bytes(audio_bytes(5, seed=2)[:11000])
        out = self.folder / "out"
        # No --ffmpeg: "ffmpeg" is found on the path.
        result = self.run_exe(IMPORTER, [
            "songs", out, self.folder / "a.cdg", self.folder / "a.pcm",
            self.folder / "a.cdg", self.folder / "a.pcm"],
            WINEPATH=self.windows_path(self.tools))
        self.assertEqual(result.returncode, 0, result.stderr)
        pcm = (self.folder / "a.pcm").read_bytes()
        track = pcm + bytes(5 * SECTOR - len(pcm))
        self.assertEqual((out / "disc.img").read_bytes(), track + track)
        cdg = graphics_disc(3, seed=1) + bytes(2 * 96)
        self.assertEqual((out / "disc.cdg").read_bytes(), cdg + cdg)

    def test_a_failure_removes_what_the_run_made(self):
        (self.folder / "a.cdg").write_bytes(graphics_disc(3))
        (self.folder / "a.pcm").write_bytes(bytes(5000))
        before = test_windows.snapshot(self.folder)
        result = self.run_exe(IMPORTER, [
            "songs", self.folder / "deep" / "out", self.folder / "a.cdg",
            self.folder / "a.pcm", "--ffmpeg", self.tools / "ffmpeg.exe"],
            FAKE_DECODER_EXIT="3")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertTrue(result.stderr.decode("utf-8").endswith(
            "glyphreel-import: ffmpeg exited unsuccessfully decoding "
            f"{self.windows_path(self.folder / 'a.pcm')}: exit status 3\n"),
            result.stderr)
        self.assertEqual(test_windows.snapshot(self.folder), before)

    @unittest.skipUnless(WINE, "Ctrl-C is sent as Wine's SIGINT")
    def test_ctrl_c_removes_what_the_run_made(self):
        # Wine hands SIGINT to the console handlers as Ctrl-C: stopped while
        # the decoder stalls, with disc.img open for writing, the run takes
        # away its files; its folders go where the system lets them.
        (self.folder / "a.cdg").write_bytes(graphics_disc(3))
        (self.folder / "a.pcm").write_bytes(bytes(5000))
        out = self.folder / "made" / "out"
        command = [WINE, str(IMPORTER), "songs", self.windows_path(out),
                   self.windows_path(self.folder / "a.cdg"),
                   self.windows_path(self.folder / "a.pcm"), "--ffmpeg",
                   self.windows_path(self.tools / "ffmpeg.exe")]
        run = subprocess.Popen(
            command, env=dict(self.environment, FAKE_DECODER_STALL="12000"),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        partial = out / "disc.img.partial"
        deadline = time.monotonic() + 60
        while not partial.exists():
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.05)
        run.send_signal(signal.SIGINT)
        # Ended well before the decoder's stall, and with nothing left.
        run.wait(timeout=8)
        self.assertEqual(list(out.iterdir()) if out.exists() else [], [])

    def test_the_command_line(self):
        result = self.run_exe(IMPORTER, ["cue", "only.cue"])
        self.assertEqual((result.returncode, result.stderr.decode()),
                         (2, IMPORT_USAGE))
        result = self.run_exe(IMPORTER, ["--version"])
        self.assertEqual((result.returncode, result.stdout),
                         (0, b"glyphreel-import 0.2.0\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
