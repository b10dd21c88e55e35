#!/bin/sh
# Stands in for ffmpeg as the importer's audio decoder: it decodes nothing,
# and writes the signals it was started with ignored (the SigIgn line of its
# status, a hexadecimal mask with bit n - 1 for signal n) to the file named
# by FAKE_DECODER_SIGNALS.
grep '^SigIgn:' "/proc/$$/status" > "$FAKE_DECODER_SIGNALS"
