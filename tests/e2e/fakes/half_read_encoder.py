#!/usr/bin/env python3
"""Stands in for an encoder that stops taking input part-way: it reads
GLYPHREEL_FAKE_READ_BYTES bytes (default half a frame), closes its standard
input while staying alive, sleeps GLYPHREEL_FAKE_SLEEP seconds (default 0.5)
and exits 0."""
import os
import sys
import time

HALF_FRAME = 312 * 216 * 3 // 2


def main():
    wanted = int(os.environ.get("GLYPHREEL_FAKE_READ_BYTES", HALF_FRAME))
    while wanted > 0:
        chunk = os.read(0, wanted)
        if not chunk:
            break
        wanted -= len(chunk)
    os.close(0)
    time.sleep(float(os.environ.get("GLYPHREEL_FAKE_SLEEP", "0.5")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
