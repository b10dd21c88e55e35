"""glyphreel-library videos: collections of song files converted through a
stand-in ffmpeg (fakes/library_ffmpeg.py) and, for one short run, the real
one.

Environment:
  GLYPHREEL_LIBRARY  path of glyphreel-library (set by CTest)
  GLYPHREEL          path of glyphreel, whose frames the library's must equal
"""

import json
import os
import shutil
import socket
import subprocess
import time
import unittest
import zipfile
from pathlib import Path

from harness import (FAKES, FRAME_BYTES, LIBRARY_USAGE, PACK_SIZE,
                     RECORD_ENCODER, SECTOR_AUDIO, SECTOR_SUBCODE, E2ETestCase,
                     pack, run_glyphreel, toc_bytes, tree)
from import_helpers import graphics_disc

LIBRARY_FFMPEG = FAKES / "library_ffmpeg.py"
FFMPEG = shutil.which("ffmpeg")
FFPROBE = shutil.which("ffprobe")
SEVEN_ZIP = shutil.which("7z")


SAMPLES_PER_FRAME = 735  # 44100 Hz at 60 frames a second


def library_command():
    binary = os.environ.get("GLYPHREEL_LIBRARY")
    if not binary:
        raise RuntimeError("set GLYPHREEL_LIBRARY (CTest does this)")
    return [binary]


def host_label():
    """The host as the library writes it into its temporaries' names."""
    label = socket.gethostname().split(".")[0][:63]
    label = "".join(c if c.isascii() and (c.isalnum() or c == "-") else "-"
                    for c in label)
    return label or "host"


def packs_of(sectors, seed, extended=False):
    """Graphics of a song: whole sectors of packs, with a memory control
    pack first (mixed display, writing both planes) when `extended`."""
    packs = graphics_disc(sectors, seed=seed)
    if extended:
        packs = pack(10, 3, [0x0F]) + packs[PACK_SIZE:]
    return packs


class LibraryTestCase(E2ETestCase):

    def setUp(self):
        super().setUp()
        self.source = self.tmp / "in"
        self.source.mkdir()
        self.out = self.tmp / "out"

    def song(self, name, packs, samples, extension="mp3", folder=None):
        """A .cdg and an audio file that the fake decodes to `samples`."""
        folder = folder or self.source
        (folder / f"{name}.cdg").write_bytes(packs)
        (folder / f"{name}.{extension}").write_bytes(bytes(2 * samples))

    def start_library(self, *arguments, env=None, ffmpeg=LIBRARY_FFMPEG,
                      stdout=subprocess.PIPE, stderr=subprocess.PIPE):
        return subprocess.Popen(
            library_command() + ["videos", *map(str, arguments), "--ffmpeg",
                                 str(ffmpeg)],
            cwd=self.tmp, stdin=subprocess.DEVNULL, stdout=stdout,
            stderr=stderr, env=dict(os.environ, **(env or {}),
                                    GLYPHREEL_FAKE_DIR=str(self.record_dir)))

    def library(self, *arguments, **options):
        with self.start_library(*arguments, **options) as worker:
            out, err = worker.communicate(timeout=120)
            return subprocess.CompletedProcess(worker.args, worker.returncode,
                                               out, err)

    def results(self, path):
        return {Path(line["source"]).stem: line for line in
                map(json.loads, path.read_text().splitlines())}

    def encoded(self, video):
        """The calls of the encoder that wrote `video`."""
        record = self.record_dir / f"{video}.json"
        if not record.exists():
            return []
        return [json.loads(line) for line in record.read_text().splitlines()]

    def frames_sent(self, video):
        return (self.record_dir / f"{video}.stdin.bin").read_bytes()


class FramesTest(LibraryTestCase):

    def glyphreel_frames(self, packs, sectors, mode):
        """What glyphreel sends its encoder for a one-track disc of
        `sectors` sectors whose subcode starts with the packs."""
        folder = self.tmp / f"disc-{mode}"
        folder.mkdir()
        (folder / "disc.img").write_bytes(bytes(sectors * SECTOR_AUDIO))
        (folder / "disc.cdg").write_bytes(
            packs + bytes(sectors * SECTOR_SUBCODE - len(packs)))
        (folder / "disc.toc").write_bytes(toc_bytes([0], sectors))
        record = folder / "record"
        record.mkdir()
        result = run_glyphreel(
            [folder / "disc.img", folder / "disc.cdg", folder / "disc.toc",
             folder / "t.raw", RECORD_ENCODER, folder / "t.mp4", "1", "1",
             mode], env={"GLYPHREEL_FAKE_DIR": record})
        self.assertEqual(result.returncode, 0, result.stderr)
        return (record / "stdin.bin").read_bytes()

    def test_frames_are_glyphreels_with_the_last_held_to_the_longer_half(self):
        # (name, graphics sectors, audio samples, mode, frames): one second
        # of audio holds 50 sectors' 40 frames to 60; 100 sectors' 80 frames
        # outlast half a second of audio.
        songs = [("held", 50, 44100, "cdg", 60),
                 ("long", 100, 22050, "cdeg", 80)]
        for name, sectors, samples, mode, _ in songs:
            self.song(name, packs_of(sectors, len(name), mode == "cdeg"),
                      samples)
        result = self.library(self.source, "--out", self.out, "-j", "2")
        self.assertEqual(result.returncode, 0, result.stderr)
        for name, sectors, samples, mode, frames in songs:
            with self.subTest(song=name):
                sent = self.frames_sent(f"{name}.mp4")
                self.assertEqual(len(sent), frames * FRAME_BYTES)
                # glyphreel's disc as long as the video: idle packs after
                # the graphics draw the last frame again.
                disc_sectors = frames * 5 // 4
                packs = packs_of(sectors, len(name), mode == "cdeg")
                self.assertEqual(
                    sent, self.glyphreel_frames(packs, disc_sectors, mode))
                self.assertEqual((self.out / f"{name}.mp4").read_text(),
                                 f"fake video: {len(sent)} bytes\n")


class FailureTest(LibraryTestCase):

    def test_a_failed_song_leaves_nothing_under_its_name(self):
        told = "fake ffmpeg: the encoder was told to fail"
        cases = [
            ({"LIBRARY_FAKE_EXIT": "3"}, LIBRARY_FFMPEG,
             f"ffmpeg failed (exit status 3): {told}"),
            ({"LIBRARY_FAKE_DECODE_EXIT": "4"}, LIBRARY_FFMPEG,
             f"ffmpeg could not decode the audio (exit status 4): {told}"),
            ({}, self.tmp / "no-ffmpeg",
             "spawn ffmpeg child: No such file or directory (os error 2)"),
        ]
        self.song("Song", packs_of(40, 1), 44100)
        self.song("Other", packs_of(40, 2), 44100)
        for env, ffmpeg, reason in cases:
            with self.subTest(reason=reason):
                shutil.rmtree(self.out, ignore_errors=True)
                results = self.tmp / "results.json"
                results.unlink(missing_ok=True)
                result = self.library(
                    self.source, "--out", self.out, "--results", results,
                    env=dict(env, LIBRARY_FAKE_MATCH="Song."), ffmpeg=ffmpeg)
                self.assertEqual(result.returncode, 1, result.stderr)
                line = self.results(results)["Song"]
                self.assertEqual((line["status"], line["reason"]),
                                 ("failed", reason))
                self.assertIn(f"failed Song: {reason}\n",
                              result.stderr.decode())
                # The other song is converted; of this one nothing is left,
                # no temporary either.
                expected = {} if ffmpeg != LIBRARY_FFMPEG else \
                    {"Other.mp4": len(f"fake video: {60 * FRAME_BYTES} "
                                      "bytes\n")}
                self.assertEqual(tree(self.out), expected)


class ResumeTest(LibraryTestCase):

    def test_existing_videos_are_skipped_and_stale_temporaries_cleared(self):
        for name in "ABCD":
            self.song(name, packs_of(4, 1), 735)
        results = self.tmp / "results.json"
        first = self.library(self.source, "--out", self.out)
        self.assertEqual(first.returncode, 0, first.stderr)
        # A left by a run of this host that ended, B being made elsewhere,
        # C left elsewhere two hours ago.
        ended = subprocess.Popen(["true"])
        ended.wait()
        ours = f".A.mp4.{host_label()}.{ended.pid}-0000cafe.glyphreel-video"
        theirs = ".B.mp4.elsewhere.1-0000cafe.glyphreel-video"
        abandoned = ".C.mp4.elsewhere.2-0000cafe.glyphreel-video"
        for video, temporary in (("A", ours), ("B", theirs),
                                 ("C", abandoned)):
            (self.out / f"{video}.mp4").unlink()
            (self.out / temporary).write_bytes(b"partial")
        two_hours_ago = time.time() - 7200
        os.utime(self.out / abandoned, (two_hours_ago, two_hours_ago))
        second = self.library(self.source, "--out", self.out, "--results",
                              results)
        self.assertEqual(second.returncode, 0, second.stderr)
        lines = self.results(results)
        self.assertEqual(
            {name: (line["status"], line.get("reason")) for name, line in
             lines.items()},
            {"A": ("converted", None),
             "B": ("skipped", "being converted by elsewhere (process 1)"),
             "C": ("converted", None),
             "D": ("skipped", "exists")})
        # Another host's temporaries are never removed.
        self.assertEqual(sorted(tree(self.out)),
                         [theirs, abandoned, "A.mp4", "C.mp4", "D.mp4"])
        self.assertEqual([len(self.encoded(f"{v}.mp4")) for v in "ABCD"],
                         [2, 1, 2, 1])


class WorkersTest(LibraryTestCase):

    SONGS = [f"{n:02d} Song" for n in range(1, 9)]

    def setUp(self):
        super().setUp()
        for n, name in enumerate(self.SONGS):
            self.song(name, packs_of(2, n), 735 * 3)

    def assert_each_converted_once(self):
        for name in self.SONGS:
            with self.subTest(song=name):
                self.assertEqual(len(self.encoded(f"{name}.mp4")), 1)
                self.assertTrue((self.out / f"{name}.mp4").is_file())
        self.assertEqual(len(tree(self.out)), len(self.SONGS))

    def test_two_shards_share_the_songs_between_them(self):
        workers = [self.start_library(self.source, "--out", self.out,
                                      "--shard", f"{k}/2", "--results",
                                      self.tmp / f"r{k}.json",
                                      stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
                   for k in (1, 2)]
        for worker in workers:
            self.assertEqual(worker.wait(timeout=120), 0)
        shares = [set(self.results(self.tmp / f"r{k}.json")) for k in (1, 2)]
        self.assertEqual(shares[0] | shares[1], set(self.SONGS))
        self.assertFalse(shares[0] & shares[1])
        self.assertTrue(shares[0] and shares[1])
        self.assert_each_converted_once()

    def test_overlapping_workers_never_convert_a_song_twice(self):
        # The first worker stops in its first song until released; the
        # second runs meanwhile, then the first goes on.
        release = self.tmp / "release"
        first = self.start_library(
            self.source, "--out", self.out, "--results", self.tmp / "1.json",
            "-j", "1",
            env={"LIBRARY_FAKE_HOLD": str(release),
                 "LIBRARY_FAKE_MATCH": "01 Song."},
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started = self.record_dir / "01 Song.mp4.started"
        deadline = time.monotonic() + 60
        while not started.exists() and time.monotonic() < deadline:
            time.sleep(0.02)
        second = self.library(self.source, "--out", self.out, "--results",
                              self.tmp / "2.json")
        release.touch()
        self.assertEqual(first.wait(timeout=120), 0)
        self.assertEqual(second.returncode, 0, second.stderr)
        seconds = self.results(self.tmp / "2.json")
        self.assertEqual(seconds["01 Song"]["status"], "skipped")
        self.assertTrue(seconds["01 Song"]["reason"].startswith(
            f"being converted by {host_label()} (process "))
        self.assertEqual(
            {line["status"] for name, line in
             self.results(self.tmp / "1.json").items() if name != "01 Song"},
            {"skipped"})
        self.assert_each_converted_once()


class ZipTest(LibraryTestCase):

    def zip(self, name, members, compression=zipfile.ZIP_DEFLATED):
        with zipfile.ZipFile(self.source / name, "w", compression) as made:
            for member, data in members.items():
                made.writestr(member, data)
        return self.source / name

    def test_songs_in_zips_are_read_from_their_members(self):
        one = packs_of(10, 1)
        extended = packs_of(10, 2, extended=True)
        self.zip("Single.zip", {"Single/Song.cdg": one,
                                "Single/Song.mp3": bytes(2 * 735 * 20),
                                "__MACOSX/Single/._Song.cdg": b"mac"},
                 zipfile.ZIP_STORED)
        self.zip("Two.zip", {"A.cdg": extended, "A.ogg": bytes(10),
                             "B.CDG": one, "B.wav": bytes(10),
                             "C.cdg": one})
        self.zip("Empty.zip", {"notes.txt": b"no song"})
        damaged = bytearray(self.zip("Damaged.zip", {"D.cdg": one,
                                                     "D.mp3": bytes(10)},
                                     zipfile.ZIP_STORED).read_bytes())
        damaged[damaged.index(one[8 * PACK_SIZE:9 * PACK_SIZE])] ^= 0xFF
        (self.source / "Damaged.zip").write_bytes(damaged)
        (self.source / "Truncated.zip").write_bytes(damaged[:100])
        results = self.tmp / "results.json"
        result = self.library(self.source, "--out", self.out, "--results",
                              results)
        self.assertEqual(result.returncode, 1, result.stderr)
        lines = [json.loads(line) for line in
                 results.read_text().splitlines()]
        outcome = {(Path(line["source"]).name, line["output"] and
                    str(Path(line["output"]).relative_to(self.out))):
                   line["status"] for line in lines}
        self.assertEqual(outcome, {
            ("Single.zip", "Single.mp4"): "converted",
            ("Two.zip", "Two/A.mp4"): "converted",
            ("Two.zip", "Two/B.mp4"): "converted",
            ("Two.zip: C.cdg", ""): "failed",
            ("Empty.zip", ""): "failed",
            ("Damaged.zip", "Damaged.mp4"): "failed",
            ("Truncated.zip", ""): "failed",
        })
        # The members' graphics, held to their audio, and the extended
        # ones in "cdeg" mode; a zip's audio goes to ffmpeg as a temporary.
        self.assertEqual(len(self.frames_sent("Single.mp4")),
                         20 * FRAME_BYTES)
        zipped = {video: self.frames_sent(video) for video in
                  ("A.mp4", "B.mp4")}
        plain = self.tmp / "plain"
        plain.mkdir()
        self.song("A", extended, 5, folder=plain)
        self.song("B", one, 5, folder=plain)
        again = self.library(plain, "--out", self.tmp / "plain-out")
        self.assertEqual(again.returncode, 0, again.stderr)
        for video, frames in zipped.items():
            self.assertEqual(self.frames_sent(video), frames)
        audio = self.encoded("Single.mp4")[0]["argv"][11]
        self.assertRegex(Path(audio).name,
                         r"^\.Single\.mp4\..+\.\d+-[0-9a-f]{8}\.glyphreel-audio\.mp3$")
        self.assertEqual(sorted(tree(self.out)),
                         ["Single.mp4", "Two", "Two/A.mp4", "Two/B.mp4"])

    @unittest.skipUnless(SEVEN_ZIP, "7z must be on PATH")
    def test_a_deflate64_zip_from_7_zip(self):
        # Long repeats far apart, so that the codes Deflate lacks occur.
        packs = packs_of(400, 5) * 2
        (self.tmp / "Song.cdg").write_bytes(packs)
        (self.tmp / "Song.mp3").write_bytes(bytes(100))
        subprocess.run([SEVEN_ZIP, "a", "-tzip", "-mm=Deflate64",
                        self.source / "Song.zip", self.tmp / "Song.cdg",
                        self.tmp / "Song.mp3"], check=True,
                       stdout=subprocess.DEVNULL, timeout=120)
        result = self.library(self.source, "--out", self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        zipped = self.frames_sent("Song.mp4")
        direct = self.library(self.tmp / "Song.cdg", "--out",
                              self.tmp / "direct")
        self.assertEqual(direct.returncode, 0, direct.stderr)
        self.assertEqual(self.frames_sent("Song.mp4"), zipped)

class ListAndCommandLineTest(LibraryTestCase):

    def test_list_prints_the_songs_and_converts_nothing(self):
        self.song("Done", packs_of(1, 1), 10)
        (self.source / "deep").mkdir()
        self.song("Todo", packs_of(1, 2), 10, extension="OGG",
                  folder=self.source / "deep")
        (self.source / "Alone.wav").write_bytes(b"")
        self.out.mkdir()
        (self.out / "Done.mp4").write_bytes(b"")
        result = self.library(self.source, "--out", self.out, "--list")
        self.assertEqual(result.returncode, 1)
        src = self.source
        self.assertEqual(
            result.stdout.decode(),
            f"Done\t{src / 'Done.cdg'}\t{src / 'Done.mp3'}\tdone\n"
            f"deep/Todo\t{src / 'deep/Todo.cdg'}\t{src / 'deep/Todo.OGG'}"
            "\ttodo\n")
        self.assertEqual(result.stderr.decode(),
                         f"glyphreel-library: {src / 'Alone.wav'}: has no "
                         ".cdg file of the same name beside it\n")
        self.assertEqual(sorted(tree(self.out)), ["Done.mp4"])

    def test_wrong_command_lines_give_the_usage(self):
        for arguments in (["videos"], ["videos", "in"], ["songs", "x"],
                          ["videos", "in", "--out", "o", "--scale", "9"]):
            with self.subTest(arguments=arguments):
                result = subprocess.run(library_command() + arguments,
                                        capture_output=True, timeout=60)
                self.assertEqual((result.returncode, result.stderr.decode()),
                                 (2, LIBRARY_USAGE))
        version = subprocess.run(library_command() + ["--version"],
                                 capture_output=True, timeout=60)
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout.decode(),
                         r"^glyphreel-library \d+\.\d+\.\d+\n$")


@unittest.skipUnless(FFMPEG and FFPROBE, "ffmpeg and ffprobe must be on PATH")
class RealFfmpegTest(LibraryTestCase):

    def probe(self, path):
        shown = subprocess.run(
            [FFPROBE, "-v", "error", "-show_entries",
             "stream=codec_type,codec_name,width,height,duration",
             "-of", "json", path], capture_output=True, check=True,
            timeout=60)
        return {s["codec_type"]: s for s in json.loads(shown.stdout)["streams"]}

    def tone(self, path, seconds):
        subprocess.run([FFMPEG, "-v", "error", "-f", "lavfi", "-i",
                        f"sine=frequency=440:duration={seconds}", "-ac", "2",
                        path], check=True, timeout=60)

    def test_videos_last_as_long_as_the_longer_half(self):
        # (name, audio, seconds of audio, sectors of graphics, codec):
        # 2 s of MP3 outlast 1 s of graphics; 1.5 s of graphics outlast
        # 0.5 s of WAV, which becomes AAC.
        songs = [("Short graphics", "mp3", 2.0, 75, "mp3"),
                 ("Short audio", "wav", 0.5, 113, "aac")]
        for name, extension, seconds, sectors, _ in songs:
            (self.source / f"{name}.cdg").write_bytes(packs_of(sectors, 3))
            self.tone(self.source / f"{name}.{extension}", seconds)
        results = self.tmp / "results.json"
        result = self.library(self.source, "--out", self.out, "--scale", "1",
                              "--pad", "16:9", "--results", results,
                              ffmpeg=FFMPEG)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = self.results(results)
        for name, _, seconds, sectors, codec in songs:
            with self.subTest(song=name):
                streams = self.probe(self.out / f"{name}.mp4")
                video, audio = streams["video"], streams["audio"]
                self.assertEqual((video["width"], video["height"]), (384, 216))
                self.assertEqual(audio["codec_name"], codec)
                longer = max(seconds, sectors / 75)
                self.assertAlmostEqual(float(video["duration"]), longer,
                                       delta=1 / 60)
                self.assertEqual(lines[name]["audio"],
                                 "copied" if codec == "mp3" else "encoded")
                self.assertEqual(lines[name]["frames"],
                                 round(float(video["duration"]) * 60))
        self.assertEqual(sorted(tree(self.out)),
                         ["Short audio.mp4", "Short graphics.mp4"])


if __name__ == "__main__":
    unittest.main()
