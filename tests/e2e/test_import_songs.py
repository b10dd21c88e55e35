"""glyphreel-import songs: .cdg files with their audio, decoded by ffmpeg or
by a stand-in, laid out as the tracks of one disc."""

import shutil
import subprocess
import unittest

from harness import SECTOR_AUDIO, SECTOR_SUBCODE
from import_helpers import (FAKE_DECODER, ImportTestCase, audio_bytes,
                            graphics_disc)

FFMPEG = shutil.which("ffmpeg")


def padded(data, sectors, sector_size):
    return data + bytes(sectors * sector_size - len(data))


class SongsTestCase(ImportTestCase):

    def songs(self, *pairs, ffmpeg=FAKE_DECODER, out="out"):
        args = ["songs", self.tmp / out]
        for graphics, audio in pairs:
            args += [self.tmp / graphics, self.tmp / audio]
        return args + ["--ffmpeg", ffmpeg]


class SongLayoutTest(SongsTestCase):

    def test_each_track_is_as_long_as_its_longer_half(self):
        # Song 1: 10.5 sectors of audio, 4 of graphics: 11 sectors. Song 2:
        # 1000 bytes of audio, 20 sectors and a partial pack of graphics:
        # 20 sectors.
        audio = [audio_bytes(11, seed=1)[:10 * SECTOR_AUDIO + 1176],
                 audio_bytes(1, seed=2)[:1000]]
        graphics = [graphics_disc(4, seed=1), graphics_disc(20, seed=2)]
        (self.tmp / "one.raw").write_bytes(audio[0])
        (self.tmp / "one.cdg").write_bytes(graphics[0])
        (self.tmp / "two.raw").write_bytes(audio[1])
        (self.tmp / "two.cdg").write_bytes(graphics[1] + b"\x09" * 10)
        result = self.run_import(self.songs(("one.cdg", "one.raw"),
                                            ("two.cdg", "two.raw")))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(result.stderr.decode(),
                         f"glyphreel-import: warning: {self.tmp / 'two.cdg'}: "
                         "the last 10 bytes are not a whole 24-byte pack and "
                         "are dropped\n")
        self.assert_dumps(
            self.tmp / "out",
            padded(audio[0], 11, SECTOR_AUDIO) +
            padded(audio[1], 20, SECTOR_AUDIO),
            padded(graphics[0], 11, SECTOR_SUBCODE) + graphics[1], [0, 11])

    def test_failures_leave_nothing_behind(self):
        (self.tmp / "a.cdg").write_bytes(graphics_disc(2))
        (self.tmp / "a.raw").write_bytes(bytes(5000))
        (self.tmp / "empty.cdg").write_bytes(b"")
        (self.tmp / "empty.raw").write_bytes(b"")
        (self.tmp / "noise.mp3").write_bytes(audio_bytes(1, seed=9)[:999])
        pair = ("a.cdg", "a.raw")
        cases = [
            (self.songs(pair, ffmpeg=self.tmp / "no-ffmpeg"), {},
             "spawn ffmpeg child: No such file or directory (os error 2)"),
            (self.songs(pair, ("a.cdg", "a.raw")), {"FAKE_DECODER_EXIT": "3"},
             f"ffmpeg exited unsuccessfully decoding {self.tmp / 'a.raw'}: "
             "exit status 3"),
            (self.songs(pair, ("empty.cdg", "empty.raw")), {},
             f"neither {self.tmp / 'empty.raw'} nor {self.tmp / 'empty.cdg'}"
             " holds anything"),
            (self.songs(pair, ("a.cdg", "missing.mp3")), {},
             "missing.mp3: No such file or directory (os error 2)"),
            (self.songs(("missing.cdg", "a.raw")), {},
             "missing.cdg: No such file or directory (os error 2)"),
            # A disc holds 99 tracks: refused before anything is decoded.
            (self.songs(*[pair] * 100), {},
             "cannot write a table of contents"),
        ]
        if FFMPEG:
            cases.append((self.songs(("a.cdg", "noise.mp3"), ffmpeg=FFMPEG),
                          {}, "ffmpeg exited unsuccessfully decoding "
                          f"{self.tmp / 'noise.mp3'}: exit status "))
        for args, env, message in cases:
            with self.subTest(message=message):
                self.assert_refused(args, message, env=env)


@unittest.skipUnless(FFMPEG, "ffmpeg must be on PATH")
class RealFfmpegTest(SongsTestCase):

    def ffmpeg(self, *args):
        return subprocess.run([FFMPEG, "-nostdin", "-v", "error", *args],
                              check=True, stdout=subprocess.PIPE,
                              timeout=60).stdout

    def test_a_wav_and_an_mp3(self):
        # The WAV holds 1.2 s of the disc's own PCM, which comes back
        # unchanged; the MP3 comes back as ffmpeg itself decodes it.
        pcm = audio_bytes(90, seed=4)
        (self.tmp / "a.raw").write_bytes(pcm)
        # Named like a URL of protocol "take", given relative.
        self.ffmpeg("-f", "s16le", "-ar", "44100", "-ac", "2",
                    "-i", self.tmp / "a.raw", self.tmp / "take:1.wav")
        self.ffmpeg("-f", "lavfi", "-i", "sine=frequency=440:duration=1",
                    "-ac", "2", self.tmp / "b.mp3")
        mp3_pcm = self.ffmpeg("-i", self.tmp / "b.mp3", "-f", "s16le",
                              "-ar", "44100", "-ac", "2", "-")
        mp3_sectors = -(-len(mp3_pcm) // SECTOR_AUDIO)
        graphics = [graphics_disc(30, seed=5), graphics_disc(100, seed=6)]
        (self.tmp / "a.cdg").write_bytes(graphics[0])
        (self.tmp / "b.cdg").write_bytes(graphics[1])
        self.assertLess(mp3_sectors, 100)

        args = self.songs(("a.cdg", "a.wav"), ("b.cdg", "b.mp3"),
                          ffmpeg=FFMPEG)
        args[3] = "take:1.wav"
        result = self.run_import(args)
        self.assert_imported(result)
        self.assert_dumps(
            self.tmp / "out",
            pcm + padded(mp3_pcm, 100, SECTOR_AUDIO),
            padded(graphics[0], 90, SECTOR_SUBCODE) + graphics[1], [0, 90])


if __name__ == "__main__":
    unittest.main()
