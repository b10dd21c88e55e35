#!/usr/bin/env python3
"""Stands in for an encoder that stops taking input part-way: it reads
GLYPHREEL_FAKE_READ_BYTES bytes (default half a frame), closes its standard
input while staying alive, sleeps GLYPHREEL_FAKE_SLEEP seconds (default 0.5)
and exits 0. When GLYPHREEL_FAKE_DIR is set it writes info.json there, with
the number of bytes read, once its input is closed."""
import json
import os
import sys
import time

HALF_FRAME = 312 * 216 * 3 // 2


def main():
    wanted = int(os.environ.get("GLYPHREEL_FAKE_READ_BYTES", HALF_FRAME))
    received = 0
    while received < wanted:
        chunk = os.read(0, wanted - received)
        if not chunk:
            break
        received += len(chunk)
    os.close(0)
    folder = os.environ.get("GLYPHREEL_FAKE_DIR")
    if folder:
        with open(os.path.join(folder, "info.json"), "w") as out:
            json.dump({"stdin_bytes": received}, out)
    time.sleep(float(os.environ.get("GLYPHREEL_FAKE_SLEEP", "0.5")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
