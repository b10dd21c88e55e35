#!/usr/bin/env python3
"""Stands in for the encoder and records what it was given.

Into the folder named by GLYPHREEL_FAKE_DIR it writes:
  raw_copy.bin  a copy of the raw audio file (argument 18), taken at start
  stdin.bin     every byte read from standard input, up to its end
  info.json     the arguments and what was seen, written last
Then it exits with GLYPHREEL_FAKE_EXIT (default 0). With
GLYPHREEL_FAKE_DELETE_RAW set to 1 it deletes the raw audio file before
exiting. With GLYPHREEL_FAKE_HOLD set to a path it waits, once its input has
ended, until that path exists (at most a minute) before writing info.json.
It never writes to standard output.
"""
import json
import os
import shutil
import sys
import time

RAW_ARGUMENT = 18
HOLD_LIMIT_SECONDS = 60


def main():
    folder = os.environ["GLYPHREEL_FAKE_DIR"]
    argv = sys.argv[1:]
    raw_path = sys.argv[RAW_ARGUMENT] if len(sys.argv) > RAW_ARGUMENT else None
    raw_exists = raw_path is not None and os.path.isfile(raw_path)
    if raw_exists:
        shutil.copyfile(raw_path, os.path.join(folder, "raw_copy.bin"))
    received = 0
    with open(os.path.join(folder, "stdin.bin"), "wb") as out:
        while True:
            chunk = sys.stdin.buffer.read1(1 << 20)
            if not chunk:
                break
            out.write(chunk)
            received += len(chunk)
    hold = os.environ.get("GLYPHREEL_FAKE_HOLD")
    if hold:
        deadline = time.monotonic() + HOLD_LIMIT_SECONDS
        while not os.path.exists(hold) and time.monotonic() < deadline:
            time.sleep(0.02)
    if os.environ.get("GLYPHREEL_FAKE_DELETE_RAW") == "1" and raw_exists:
        os.remove(raw_path)
    info = {"argv": argv, "raw_exists": raw_exists, "stdin_bytes": received,
            "cwd": os.getcwd()}
    # Renamed into place whole: a test that waits for info.json to appear
    # reads it at once.
    partial = os.path.join(folder, "info.json.partial")
    with open(partial, "w") as out:
        json.dump(info, out)
    os.replace(partial, os.path.join(folder, "info.json"))
    return int(os.environ.get("GLYPHREEL_FAKE_EXIT", "0"))


if __name__ == "__main__":
    sys.exit(main())
