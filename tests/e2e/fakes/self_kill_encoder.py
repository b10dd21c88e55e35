#!/usr/bin/env python3
"""Stands in for an encoder that dies by a signal: it reads standard input to
its end, then kills itself with SIGKILL. With GLYPHREEL_FAKE_KILL_AFTER set
it dies as soon as it has read that many bytes instead, first writing
info.json with the count into GLYPHREEL_FAKE_DIR when that is set."""
import json
import os
import signal
import sys


def main():
    limit = os.environ.get("GLYPHREEL_FAKE_KILL_AFTER")
    if limit is None:
        while sys.stdin.buffer.read1(1 << 20):
            pass
    else:
        received = 0
        while received < int(limit):
            chunk = os.read(0, int(limit) - received)
            if not chunk:
                break
            received += len(chunk)
        folder = os.environ.get("GLYPHREEL_FAKE_DIR")
        if folder:
            with open(os.path.join(folder, "info.json"), "w") as out:
                json.dump({"stdin_bytes": received}, out)
    os.kill(os.getpid(), signal.SIGKILL)
    return 1  # not reached


if __name__ == "__main__":
    sys.exit(main())
