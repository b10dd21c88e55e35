#!/usr/bin/env python3
"""Stands in for ffmpeg as the importer's audio decoder.

It checks that it was asked for 16-bit stereo PCM at 44100 Hz on standard
output, then writes the bytes of the file after "-i" to standard output as
if they were the decoded audio, and exits with FAKE_DECODER_EXIT (default
0). With FAKE_DECODER_EXIT set it writes to standard error first, as a
failing decoder would.
"""
import os
import sys

EXPECTED_TAIL = ["-f", "s16le", "-ar", "44100", "-ac", "2", "-"]


def main():
    argv = sys.argv[1:]
    if argv[:4] != ["-nostdin", "-v", "error", "-i"] or \
            argv[5:] != EXPECTED_TAIL:
        sys.stderr.write(f"fake decoder: unexpected arguments {argv}\n")
        return 64
    code = int(os.environ.get("FAKE_DECODER_EXIT", "0"))
    if code:
        sys.stderr.write("fake decoder: cannot decode\n")
        return code
    with open(argv[4], "rb") as audio:
        sys.stdout.buffer.write(audio.read())
    return 0


if __name__ == "__main__":
    sys.exit(main())
