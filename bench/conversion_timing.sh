#!/usr/bin/env bash
# Times whole conversions of a long karaoke-like sample disc, interleaved so
# that the machine's drift hits every side of each round alike:
#   decode  glyphreel into an encoder stand-in that only drains its input;
#   encode  glyphreel with the real ffmpeg, against ffmpeg alone encoding the
#           same frames, pre-rendered, with the same 25 arguments.
# For each glyphreel run it also takes glyphreel's own CPU time (user +
# system), without the encoder's, per minute of disc. Given a git revision,
# it builds glyphreel from that revision too and runs it in the same rounds,
# as "before" against this tree's "after".
# Prints each round, the medians, and glyphreel's peak memory against the
# size of its three input files.
# Usage: bench/conversion_timing.sh [DISC_SECONDS [PAIRS [BEFORE_REVISION]]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
pairs=${2:-5}
before_revision=${3:-}

scripts/install-packages cmake ninja-build g++ ffmpeg time bc
cmake --preset demo >/dev/null
cmake --build --preset demo >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The binaries to time, by name.
declare -A binary=([after]=build/demo/glyphreel)
sides=(after)
if [ -n "$before_revision" ]; then
  mkdir "$work/before-src"
  git archive "$before_revision" | tar -x -C "$work/before-src"
  (cd "$work/before-src" && cmake --preset demo >/dev/null &&
    cmake --build --preset demo --target glyphreel >/dev/null)
  binary[before]=$work/before-src/build/demo/glyphreel
  sides=(before after)
  echo "before: $(git rev-parse --short "$before_revision"); after: this tree"
fi

build/demo/tools/sample_disc/glyphreel_sample_disc "$work/disc" --long "$seconds" >/dev/null
disc=("$work/disc/disc.img" "$work/disc/disc.cdg" "$work/disc/disc.toc")
tracks=$(( ($(stat -c %s "$work/disc/disc.toc") - 4) / 8 - 1 ))

# Encoders that note their own CPU time, so that it can be taken from the
# total that glyphreel's run reports, which counts the children it waited
# for: one that drains its input, the real ffmpeg, and one that keeps the
# frames for ffmpeg alone.
timed_encoder() {  # name, then the command that the encoder runs
  local name=$1; shift
  printf '#!/bin/sh\nexec /usr/bin/time -f "%%U %%S" -o "%s" %s "$@"\n' \
    "$work/$name.cpu" "$*" >"$work/$name"
  chmod +x "$work/$name"
}
printf '#!/bin/sh\ncat >/dev/null\n' >"$work/drain-input"
printf '#!/bin/sh\ncat >"%s"\n' "$work/frames.rgb" >"$work/capture"
chmod +x "$work/drain-input" "$work/capture"
timed_encoder drain "$work/drain-input"
timed_encoder ffmpeg ffmpeg

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
cpu_of() { awk '{print $1 + $2}' "$1"; }  # user + system from a time -o file

# The frames and the raw audio, for ffmpeg alone.
build/demo/glyphreel "${disc[@]}" "$work/capture.raw" "$work/capture" "$work/x.mp4" 1 "$tracks"

frames=$(( $(stat -c %s "$work/frames.rgb") / 202176 ))
disc_seconds=$(echo "$frames / 60" | bc -l)
disc_minutes=$(echo "$disc_seconds / 60" | bc -l)
printf 'disc: %.1f s in %d tracks, %d frames\n' "$disc_seconds" "$tracks" "$frames"

encode_args() {  # the encoder's 25 arguments for raw file $1 and output $2
  echo -f rawvideo -pix_fmt rgb24 -s 312x216 -r 60 -i - -f s16le -ar 44100 -ac 2 \
    -i "$1" -vcodec libx264 -vf scale=624:432:flags=neighbor,format=yuv420p \
    -movflags +faststart "$2"
}

# Runs glyphreel of side $1 into encoder $2; sets run_seconds (wall clock)
# and run_cpu (glyphreel's own CPU seconds per minute of disc).
convert() {
  rm -f "$work"/*.mp4 "$work/run.raw"
  local t0 t1 total
  t0=$(now)
  /usr/bin/time -f "%U %S" -o "$work/total.cpu" \
    "${binary[$1]}" "${disc[@]}" "$work/run.raw" "$work/$2" "$work/g.mp4" 1 "$tracks" 2>/dev/null
  t1=$(now)
  run_seconds=$(elapsed "$t0" "$t1")
  total=$(cpu_of "$work/total.cpu")
  run_cpu=$(echo "($total - $(cpu_of "$work/$2.cpu")) / $disc_minutes" | bc -l)
}

declare -A decode_times decode_cpu encode_cpu ratios
alone_times=()
for ((i = 1; i <= pairs; i++)); do
  line="round $i:"
  for side in "${sides[@]}"; do
    convert "$side" drain
    decode_times[$side]+=" $run_seconds"
    decode_cpu[$side]+=" $run_cpu"
    line+=$(printf ' %s decode %.2f s (%.0f disc-s/s, %.2f CPU-s/disc-min);' \
      "$side" "$run_seconds" "$(echo "$disc_seconds / $run_seconds" | bc -l)" "$run_cpu")
  done
  # Each side's conversion, then ffmpeg alone; the next round starts with
  # the other side, so that neither always runs first.
  order=("${sides[@]}")
  if (( i % 2 == 0 )); then mapfile -t order < <(printf '%s\n' "${sides[@]}" | tac); fi
  declare -A with_glyphreel=()
  for side in "${order[@]}"; do
    convert "$side" ffmpeg
    with_glyphreel[$side]=$run_seconds
    encode_cpu[$side]+=" $run_cpu"
    line+=$(printf ' %s+ffmpeg %.2f s (glyphreel %.2f CPU-s/disc-min);' "$side" "$run_seconds" "$run_cpu")
  done
  t0=$(now)
  # shellcheck disable=SC2046
  ffmpeg $(encode_args "$work/disc/disc.img" "$work/f.mp4") <"$work/frames.rgb" 2>/dev/null
  t1=$(now)
  alone=$(elapsed "$t0" "$t1")
  alone_times+=("$alone")
  line+=$(printf ' ffmpeg alone %.2f s;' "$alone")
  for side in "${sides[@]}"; do
    ratio=$(echo "${with_glyphreel[$side]} / $alone" | bc -l)
    ratios[$side]+=" $ratio"
    line+=$(printf ' %s ratio %.3f' "$side" "$ratio")
  done
  echo "$line"
  rm -f "$work/f.mp4"
done

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
printf 'median ffmpeg alone %.2f s\n' "$(median "${alone_times[@]}")"
for side in "${sides[@]}"; do
  # shellcheck disable=SC2086
  printf '%s: median decode %.2f s; glyphreel CPU per disc minute %.3f s decoding, %.3f s converting; ratio glyphreel+ffmpeg / ffmpeg alone %.3f\n' \
    "$side" "$(median ${decode_times[$side]})" "$(median ${decode_cpu[$side]})" \
    "$(median ${encode_cpu[$side]})" "$(median ${ratios[$side]})"
done

rm -f "$work/run.raw" "$work/d.mp4"
peak_kib=$(/usr/bin/time -f %M build/demo/glyphreel "${disc[@]}" "$work/run.raw" "$work/drain-input" "$work/d.mp4" 1 "$tracks" 2>&1 | tail -1)
inputs=$(( $(stat -c %s "${disc[0]}") + $(stat -c %s "${disc[1]}") + $(stat -c %s "${disc[2]}") ))
printf 'peak memory %d KiB; inputs %d KiB; overhead %d KiB\n' "$peak_kib" $((inputs / 1024)) $((peak_kib - inputs / 1024))
