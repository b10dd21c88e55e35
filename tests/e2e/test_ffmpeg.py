"""A whole conversion through the real ffmpeg, checked with ffprobe."""

import json
import math
import shutil
import struct
import subprocess
import unittest

from harness import (FRAME_HEIGHT, FRAME_WIDTH, SECTOR_AUDIO,
                     SECTORS_PER_SECOND, Disc, E2ETestCase, border_preset,
                     load_colours, memory_preset, pixel, subcode, tile_block,
                     toc_bytes)

FFMPEG = shutil.which("ffmpeg")
FFPROBE = shutil.which("ffprobe")

SECONDS = 3
SECTORS = SECONDS * SECTORS_PER_SECOND
SAMPLE_RATE = 44100
OUT_WIDTH = 2 * FRAME_WIDTH
OUT_HEIGHT = 2 * FRAME_HEIGHT
# Lossy video and the trip through 4:2:0 YUV move flat colours a little.
TOLERANCE = 24


def sine_audio(sectors, left_hz=440.0, right_hz=660.0, amplitude=8000):
    """Interleaved signed 16-bit little-endian stereo, 588 pairs a sector."""
    pairs = sectors * SECTOR_AUDIO // 4
    samples = []
    for i in range(pairs):
        t = i / SAMPLE_RATE
        samples.append(int(amplitude * math.sin(2 * math.pi * left_hz * t)))
        samples.append(int(amplitude * math.sin(2 * math.pi * right_hz * t)))
    return struct.pack(f"<{len(samples)}h", *samples)


RED = (15, 0, 0)
BLUE = (0, 0, 15)
WHITE = (15, 15, 15)


def picture_packs():
    """A blue screen with a white border and a solid red block of tiles in
    logical rows 4-11 and columns 10-24."""
    packs = [load_colours(True, [(0, 0, 0), RED, BLUE, WHITE]),
             memory_preset(2),
             border_preset(3)]
    for row in range(4, 12):
        for column in range(10, 25):
            packs.append(tile_block(1, 1, row, column, 0b101010))
    return packs


@unittest.skipUnless(FFMPEG and FFPROBE,
                     "ffmpeg and ffprobe must both be on PATH to run the "
                     "real-encoder tests")
class RealEncoderTest(E2ETestCase):

    @classmethod
    def setUpClass(cls):
        cls.audio = sine_audio(SECTORS)

    def setUp(self):
        super().setUp()
        disc = Disc(toc_bytes([0], SECTORS), self.audio,
                    subcode(SECTORS, picture_packs()))
        self.paths = self.write_disc(disc)
        self.raw = self.tmp / "audio tmp.raw"
        self.mp4 = self.tmp / "clip.mp4"
        result = self.run_tool(
            self.args(self.paths, raw=self.raw, mp4=self.mp4, encoder=FFMPEG),
            timeout=300)
        # ffmpeg shares standard error; only the program's own report would
        # carry the program's prefix.
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.assertNotIn(b"glyphreel:", result.stderr)
        self.assertFalse(self.raw.exists(), "the raw file was not deleted")
        self.assertTrue(self.mp4.exists(), "no mp4 file was written")

    def probe(self):
        out = subprocess.run(
            [FFPROBE, "-v", "error", "-show_entries",
             "stream=codec_type,codec_name,width,height,pix_fmt,"
             "r_frame_rate,sample_rate,channels,duration:format=duration",
             "-of", "json", str(self.mp4)],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True,
            timeout=60)
        return json.loads(out.stdout)

    def decoded_frame(self, index):
        out = subprocess.run(
            [FFMPEG, "-v", "error", "-i", str(self.mp4),
             "-vf", f"select=eq(n\\,{index})", "-frames:v", "1",
             "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, check=True, timeout=120)
        self.assertEqual(len(out.stdout), OUT_WIDTH * OUT_HEIGHT * 3)
        return out.stdout

    def assert_close(self, got, colour, where):
        want = tuple(16 * c + 8 for c in colour)
        for g, w in zip(got, want):
            self.assertLessEqual(abs(g - w), TOLERANCE,
                                 f"{where}: got {got}, want about {want}")

    def test_streams_and_duration(self):
        info = self.probe()
        video = [s for s in info["streams"] if s["codec_type"] == "video"]
        audio = [s for s in info["streams"] if s["codec_type"] == "audio"]
        self.assertEqual(len(video), 1)
        self.assertEqual(len(audio), 1)
        self.assertEqual(len(info["streams"]), 2)
        v = video[0]
        self.assertEqual(v["codec_name"], "h264")
        self.assertEqual((v["width"], v["height"]), (OUT_WIDTH, OUT_HEIGHT))
        self.assertEqual(v["pix_fmt"], "yuv420p")
        self.assertEqual(v["r_frame_rate"], "60/1")
        a = audio[0]
        self.assertEqual(int(a["sample_rate"]), SAMPLE_RATE)
        self.assertEqual(a["channels"], 2)
        # 225 sectors are three seconds of audio.
        self.assertAlmostEqual(float(info["format"]["duration"]), SECONDS,
                               delta=0.1)
        self.assertAlmostEqual(float(a["duration"]), SECONDS, delta=0.1)

    def test_picture(self):
        # Frame 120 (two seconds in) long after the picture was drawn.
        frame = self.decoded_frame(120)

        def at(x, y):
            # Frame pixel (x, y) of the 312 x 216 picture, doubled by the
            # nearest-neighbour scale: sample the middle of its 2 x 2 block.
            return pixel(frame, 2 * x + 1, 2 * y + 1, OUT_WIDTH)

        # The red block spans frame x 66-155 and y 48-143 (logical tile
        # column c starts at frame x 6c + 6, row r at frame y 12r).
        self.assert_close(at(110, 95), RED, "inside the red block")
        self.assert_close(at(70, 52), RED, "near the block's corner")
        self.assert_close(at(250, 170), BLUE, "background")
        self.assert_close(at(30, 190), BLUE, "background")
        self.assert_close(at(5, 5), WHITE, "border")
        self.assert_close(at(306, 108), WHITE, "border")


if __name__ == "__main__":
    unittest.main()
