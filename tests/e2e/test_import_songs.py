"""glyphreel-import songs: .cdg files with their audio, decoded by ffmpeg or
by a stand-in, laid out as the tracks of one disc."""

import os
import shutil
import signal
import subprocess
import time
import unittest

from harness import FAKES, SECTOR_AUDIO, SECTOR_SUBCODE, tree
from import_helpers import (FAKE_DECODER, ImportTestCase, audio_bytes,
                            graphics_disc, import_command)

SIGNAL_DECODER = FAKES / "signal_decoder.sh"

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
            # A decoder that dies by a signal has not decoded the audio.
            (self.songs(pair), {"FAKE_DECODER_KILL": "1"},
             f"ffmpeg exited unsuccessfully decoding {self.tmp / 'a.raw'}: "
             "killed by signal 9"),
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


class SongRunTest(SongsTestCase):
    """What one run does around its decoder: outputs, descriptors,
    signals."""

    def setUp(self):
        super().setUp()
        self.graphics = graphics_disc(2)
        self.audio = audio_bytes(2, seed=3)
        (self.tmp / "a.cdg").write_bytes(self.graphics)
        (self.tmp / "a.raw").write_bytes(self.audio)
        self.started = self.tmp / "decoder-started"

    def assert_song_imported(self, out):
        self.assertEqual(sorted(os.listdir(out)),
                         ["disc.cdg", "disc.img", "disc.toc"])
        self.assertEqual((out / "disc.img").read_bytes(), self.audio)
        self.assertEqual((out / "disc.cdg").read_bytes(), self.graphics)

    def test_existing_outputs_are_refused_before_anything_is_decoded(self):
        (self.tmp / "out").mkdir()
        (self.tmp / "out" / "disc.toc").write_bytes(b"keep")
        self.assert_refused(
            self.songs(("a.cdg", "a.raw")),
            f"refusing to overwrite existing {self.tmp / 'out' / 'disc.toc'}",
            env={"FAKE_DECODER_STARTED": str(self.started)})
        self.assertFalse(self.started.exists(), "the decoder was started")

    def test_temporaries_of_a_stopped_run_are_replaced(self):
        out = self.tmp / "out"
        out.mkdir()
        for name in ("disc.img.partial", "disc.toc.partial"):
            (out / name).write_bytes(b"left by a stopped run")
        self.assert_imported(self.run_import(self.songs(("a.cdg", "a.raw"))))
        self.assert_song_imported(out)

    def test_standard_error_closed_at_the_start_stays_out_of_the_dumps(self):
        # The decoder's standard error is the importer's: a descriptor
        # number left free would be taken by disc.img.
        result = self.run_import(
            self.songs(("a.cdg", "a.raw")), preexec=lambda: os.close(2),
            env={"FAKE_DECODER_NOTE": "fake decoder: a note\n"})
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        self.assert_song_imported(self.tmp / "out")

    def test_the_decoder_starts_with_no_signal_ignored(self):
        # We ignore SIGPIPE and SIGXFSZ; the decoder must not inherit that.
        signals = self.tmp / "signals"
        self.assert_imported(self.run_import(
            self.songs(("a.cdg", "a.raw"), ffmpeg=SIGNAL_DECODER),
            env={"FAKE_DECODER_SIGNALS": str(signals)}))
        ignored = int(signals.read_text().split()[1], 16)
        for number in (signal.SIGPIPE, signal.SIGXFSZ):
            self.assertFalse(ignored & (1 << (number - 1)),
                             signal.Signals(number).name)

    def test_a_run_stopped_by_a_signal_removes_what_it_made(self):
        # Stopped while the decoder stalls, with disc.img being written in
        # folders the run made.
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=signal.Signals(number).name):
                self.started.unlink(missing_ok=True)
                before = tree(self.tmp)
                run = subprocess.Popen(
                    import_command() + [os.fspath(a) for a in self.songs(
                        ("a.cdg", "a.raw"), out="made/for/out")],
                    cwd=self.tmp, stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                    env={**os.environ, "FAKE_DECODER_STALL": "20",
                         "FAKE_DECODER_STARTED": str(self.started)})
                deadline = time.monotonic() + 20
                while not (self.started.exists() and
                           self.started.read_text()):
                    self.assertLess(time.monotonic(), deadline)
                    time.sleep(0.02)
                decoder = int(self.started.read_text())
                self.assertTrue((self.tmp / "made/for/out/disc.img.partial")
                                .exists())
                run.send_signal(number)
                # The decoder, still stalling, holds standard error open.
                run.wait(timeout=20)
                os.kill(decoder, signal.SIGKILL)
                errors = run.communicate(timeout=20)[1]
                self.assertEqual(run.returncode, -number, errors)
                self.started.unlink()
                self.assertEqual(tree(self.tmp), before)


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
