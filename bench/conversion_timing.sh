#!/usr/bin/env bash
# Times whole conversions of a long karaoke-like sample disc, interleaved so
# that the machine's drift hits both sides of each pair alike:
#   decode  glyphreel into an encoder stand-in that only drains its input;
#   encode  glyphreel with the real ffmpeg, against ffmpeg alone encoding the
#           same frames, pre-rendered, with the same 25 arguments.
# Prints each run and the median of the per-pair ratios, and glyphreel's
# peak memory against the size of its three input files.
# Usage: bench/conversion_timing.sh [DISC_SECONDS [PAIRS]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
pairs=${2:-3}

scripts/install-packages cmake ninja-build g++ ffmpeg time bc
cmake --preset demo >/dev/null
cmake --build --preset demo >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/demo/tools/sample_disc/glyphreel_sample_disc "$work/disc" --long "$seconds" >/dev/null
disc=("$work/disc/disc.img" "$work/disc/disc.cdg" "$work/disc/disc.toc")
tracks=$(( ($(stat -c %s "$work/disc/disc.toc") - 4) / 8 - 1 ))

printf '#!/bin/sh\ncat >/dev/null\n' >"$work/drain"
printf '#!/bin/sh\ncat >"%s"\n' "$work/frames.rgb" >"$work/capture"
chmod +x "$work/drain" "$work/capture"

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

# The frames and the raw audio, for ffmpeg alone.
build/demo/glyphreel "${disc[@]}" "$work/capture.raw" "$work/capture" "$work/x.mp4" 1 "$tracks"

frames=$(( $(stat -c %s "$work/frames.rgb") / 202176 ))
disc_seconds=$(echo "$frames / 60" | bc -l)
printf 'disc: %.1f s in %d tracks, %d frames\n' "$disc_seconds" "$tracks" "$frames"

encode_args() {  # the encoder's 25 arguments for raw file $1 and output $2
  echo -f rawvideo -pix_fmt rgb24 -s 312x216 -r 60 -i - -f s16le -ar 44100 -ac 2 \
    -i "$1" -vcodec libx264 -vf scale=624:432:flags=neighbor,format=yuv420p \
    -movflags +faststart "$2"
}

decode_times=() ratios=()
for ((i = 1; i <= pairs; i++)); do
  rm -f "$work"/*.mp4 "$work/run.raw"
  t0=$(now)
  build/demo/glyphreel "${disc[@]}" "$work/run.raw" "$work/drain" "$work/d.mp4" 1 "$tracks"
  t1=$(now)
  decode=$(elapsed "$t0" "$t1")
  decode_times+=("$decode")

  t0=$(now)
  build/demo/glyphreel "${disc[@]}" "$work/run.raw" ffmpeg "$work/g.mp4" 1 "$tracks" 2>/dev/null
  t1=$(now)
  # shellcheck disable=SC2046
  ffmpeg $(encode_args "$work/disc/disc.img" "$work/f.mp4") <"$work/frames.rgb" 2>/dev/null
  t2=$(now)
  with_glyphreel=$(elapsed "$t0" "$t1")
  alone=$(elapsed "$t1" "$t2")
  ratio=$(echo "$with_glyphreel / $alone" | bc -l)
  ratios+=("$ratio")
  printf 'pair %d: decode into a draining encoder %.2f s (%.0f disc-s/s); glyphreel+ffmpeg %.2f s, ffmpeg alone %.2f s, ratio %.3f\n' \
    "$i" "$decode" "$(echo "$disc_seconds / $decode" | bc -l)" "$with_glyphreel" "$alone" "$ratio"
done

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
printf 'median decode time %.2f s; median ratio glyphreel+ffmpeg / ffmpeg alone %.3f\n' \
  "$(median "${decode_times[@]}")" "$(median "${ratios[@]}")"

rm -f "$work/run.raw" "$work/d.mp4"
peak_kib=$(/usr/bin/time -f %M build/demo/glyphreel "${disc[@]}" "$work/run.raw" "$work/drain" "$work/d.mp4" 1 "$tracks" 2>&1 | tail -1)
inputs=$(( $(stat -c %s "${disc[0]}") + $(stat -c %s "${disc[1]}") + $(stat -c %s "${disc[2]}") ))
printf 'peak memory %d KiB; inputs %d KiB; overhead %d KiB\n' "$peak_kib" $((inputs / 1024)) $((peak_kib - inputs / 1024))
