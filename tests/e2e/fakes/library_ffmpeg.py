#!/usr/bin/env python3
"""Stands in for ffmpeg in glyphreel-library's roles.

Asked to decode audio to 16-bit samples on standard output (its last
argument "-"), it writes the bytes of the file after "-i" as if they were
the samples. Asked to encode a track's samples (its input "-"), it copies
them to the file named by its last argument and appends the call to
<name>.json in GLYPHREEL_FAKE_DIR, <name> that file's name without
".partial". Asked to encode a video, it reads its standard input to the end,
writes "fake video: N bytes" to the file named by its last argument, and
records the call in the folder named by GLYPHREEL_FAKE_DIR:
  <video>.stdin.bin   every byte of its standard input
  <video>.json        its arguments, appended as one line per call
where <video> is the final name of the video that the temporary it writes
belongs to ("Song.mp4" for ".Song.mp4.host.1-0000cafe.glyphreel-video").

Environment:
  LIBRARY_FAKE_EXIT=N        encoding fails: a message on standard error,
                             then exit status N, before reading anything
  LIBRARY_FAKE_DECODER=PATH  decoding is done by the real ffmpeg at PATH
  LIBRARY_FAKE_DECODE_EXIT=N the same for decoding
  LIBRARY_FAKE_MATCH=TEXT    the two above only for calls whose audio
                             argument holds TEXT (for a track's samples,
                             whose output does)
  LIBRARY_FAKE_HOLD=PATH     encoding of a matching call waits, once its
                             input has ended, until PATH exists (a minute
                             at most); it first creates <video>.started
"""
import json
import os
import sys
import time

HOLD_LIMIT_SECONDS = 60


def video_name(path):
    name = os.path.basename(path)
    if name.startswith(".") and ".glyphreel-" in name:
        name = name[1:]
        name = name[:name.rindex(".glyphreel-")]
        name = name.rsplit(".", 2)[0]
    return name


def fail_if_asked(variable, audio):
    code = int(os.environ.get(variable, "0"))
    if code and os.environ.get("LIBRARY_FAKE_MATCH", "") in audio:
        sys.stderr.write("fake ffmpeg: the encoder was told to fail\n")
        sys.exit(code)


def encode_samples(argv):
    """A track's samples copied to the output, as a lossless encoder would
    keep them."""
    output = argv[-1]
    fail_if_asked("LIBRARY_FAKE_EXIT", output)
    samples = sys.stdin.buffer.read()
    with open(output, "wb") as encoded:
        encoded.write(samples)
    name = os.path.basename(output).removesuffix(".partial")
    folder = os.environ.get("GLYPHREEL_FAKE_DIR")
    if folder:
        with open(os.path.join(folder, name + ".json"), "a") as record:
            record.write(json.dumps({"argv": argv,
                                     "stdin_bytes": len(samples)}) + "\n")
    return 0


def main():
    argv = sys.argv[1:]
    inputs = [argv[i + 1] for i, word in enumerate(argv) if word == "-i"]
    audio = inputs[-1]
    if audio == "-":
        return encode_samples(argv)
    if argv[-1] == "-":
        fail_if_asked("LIBRARY_FAKE_DECODE_EXIT", audio)
        decoder = os.environ.get("LIBRARY_FAKE_DECODER")
        if decoder:
            os.execv(decoder, [decoder] + argv)
        with open(audio, "rb") as samples:
            sys.stdout.buffer.write(samples.read())
        return 0
    fail_if_asked("LIBRARY_FAKE_EXIT", audio)
    folder = os.environ["GLYPHREEL_FAKE_DIR"]
    video = video_name(argv[-1])
    hold = os.environ.get("LIBRARY_FAKE_HOLD")
    held = hold and os.environ.get("LIBRARY_FAKE_MATCH", "") in audio
    if held:
        open(os.path.join(folder, video + ".started"), "w").close()
    received = 0
    with open(os.path.join(folder, video + ".stdin.bin"), "wb") as out:
        while True:
            chunk = sys.stdin.buffer.read1(1 << 20)
            if not chunk:
                break
            out.write(chunk)
            received += len(chunk)
    if held:
        deadline = time.monotonic() + HOLD_LIMIT_SECONDS
        while not os.path.exists(hold) and time.monotonic() < deadline:
            time.sleep(0.02)
    with open(argv[-1], "w") as video_file:
        video_file.write(f"fake video: {received} bytes\n")
    with open(os.path.join(folder, video + ".json"), "a") as record:
        record.write(json.dumps({"argv": argv, "stdin_bytes": received}) +
                     "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
