#!/usr/bin/env python3
"""Stands in for ffmpeg as the importer's audio decoder.

It checks that it was asked for 16-bit stereo PCM at 44100 Hz on standard
output, then writes the bytes of the file after "-i" to standard output as
if they were the decoded audio, and exits with FAKE_DECODER_EXIT (default
0). With FAKE_DECODER_EXIT set it writes to standard error first, as a
failing decoder would. Besides:
  FAKE_DECODER_STARTED=PATH  it writes its process id to PATH first;
  FAKE_DECODER_NOTE=TEXT     it writes TEXT to standard error first;
  FAKE_DECODER_KILL=1        it kills itself with SIGKILL after the audio;
  FAKE_DECODER_STALL=SECONDS it waits that long after the audio, its
                             output still open.
"""
import os
import signal
import sys
import time

EXPECTED_TAIL = ["-f", "s16le", "-ar", "44100", "-ac", "2", "-"]


def main():
    argv = sys.argv[1:]
    if argv[:4] != ["-nostdin", "-v", "error", "-i"] or \
            argv[5:] != EXPECTED_TAIL:
        sys.stderr.write(f"fake decoder: unexpected arguments {argv}\n")
        return 64
    started = os.environ.get("FAKE_DECODER_STARTED")
    if started:
        with open(started, "w") as out:
            out.write(str(os.getpid()))
    sys.stderr.write(os.environ.get("FAKE_DECODER_NOTE", ""))
    sys.stderr.flush()
    code = int(os.environ.get("FAKE_DECODER_EXIT", "0"))
    if code:
        sys.stderr.write("fake decoder: cannot decode\n")
        return code
    with open(argv[4], "rb") as audio:
        sys.stdout.buffer.write(audio.read())
    sys.stdout.flush()
    if os.environ.get("FAKE_DECODER_KILL"):
        os.kill(os.getpid(), signal.SIGKILL)
    time.sleep(float(os.environ.get("FAKE_DECODER_STALL", "0")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
