#!/usr/bin/env bash
# Converts a folder of generated karaoke songs (lyric pages drawn tile by
# tile, sung and scrolled away; MP3 audio) twice in one run, on the same
# songs: with glyphreel-library at its defaults, and with the ffmpeg
# one-liner people use for the job, one song after another:
#   ffmpeg -i song.cdg -i song.mp3 -vf scale=624:432:flags=neighbor song.mp4
# For each it prints songs per hour (by the wall clock, and by CPU time for
# all of this machine's processors, which other work on the machine does
# not skew), CPU seconds per song minute (user + system, the children
# included), the mean file size and the mean SSIM of the video against the
# exact frames scaled with nearest neighbour, compared in 4:2:0 (ffmpeg's
# ssim filter). The exact frames are glyphreel's own, taken from a second
# run of glyphreel-library whose encoder compares them with both videos.
# Also prints glyphreel-library's own CPU share: its run's total less what
# its ffmpeg children used.
# Usage: bench/library_timing.sh [SONGS [SECONDS_PER_SONG]]
set -euo pipefail
cd "$(dirname "$0")/.."
songs=${1:-4}
song_seconds=${2:-180}

scripts/install-packages cmake ninja-build g++ ffmpeg time bc
cmake --preset demo >/dev/null
cmake --build --preset demo >/dev/null
library=$PWD/build/demo/glyphreel-library

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/songs" "$work/one-liner"

build/demo/tools/sample_disc/glyphreel_sample_disc "$work/songs" --songs "$songs" "$song_seconds" >/dev/null
for wav in "$work"/songs/*.wav; do
  ffmpeg -nostdin -v error -i "$wav" -c:a libmp3lame -b:a 192k "${wav%.wav}.mp3"
  rm "$wav"
done

# ffmpeg as glyphreel-library runs it, each child noting its CPU time.
printf '#!/bin/sh\nexec /usr/bin/time -a -f "%%U %%S" -o "%s" ffmpeg "$@"\n' \
  "$work/children.cpu" >"$work/timed-ffmpeg"
# ffmpeg as the encoder of the comparing run: the audio-length child runs
# as it is; the encoder child takes the exact frames and prints the mean
# SSIM of the two videos of the song against them, scaled: the library's
# first, as its filter comes first.
cat >"$work/compare-ffmpeg" <<EOF
#!/bin/bash
if [ "\$1" != -f ]; then exec ffmpeg "\$@"; fi
name=\${@: -1}; name=\${name##*/.}; name=\${name%%.mp4.*}
exec ffmpeg -nostdin -i "$work/library/\$name.mp4" -i "$work/one-liner/\$name.mp4" \
  -f rawvideo -pix_fmt rgb24 -s 312x216 -r 60 -i - -filter_complex "
  [2:v]setpts=N/(60*TB),scale=624:432:flags=neighbor,format=yuv420p,split[x][y];
  [0:v]setpts=N/(60*TB),format=yuv420p[a]; [a][x]ssim;
  [1:v]fps=60,setpts=N/(60*TB),format=yuv420p[b]; [b][y]ssim" -f null - \
  2>&1 | grep -o 'Parsed_ssim_[0-9]*.*All:[0-9.]*' | sort -t_ -k3 -n | grep -o 'All:[0-9.]*' |
  tr '\n' ' ' >"$work/\$name.ssim"
EOF
chmod +x "$work/timed-ffmpeg" "$work/compare-ffmpeg"

now() { date +%s.%N; }
cpu_of() { awk '{s += $1 + $2} END {print s + 0}' "$@"; }  # user + system
song_minutes=$(echo "$songs * $song_seconds / 60" | bc -l)

t0=$(now)
/usr/bin/time -f "%U %S" -o "$work/library.cpu" \
  "$library" videos "$work/songs" --out "$work/library" --ffmpeg "$work/timed-ffmpeg" 2>/dev/null
t1=$(now)
for cdg in "$work"/songs/*.cdg; do
  name=$(basename "$cdg" .cdg)
  /usr/bin/time -a -f "%U %S" -o "$work/one-liner.cpu" ffmpeg -nostdin -v error \
    -i "$cdg" -i "${cdg%.cdg}.mp3" -vf scale=624:432:flags=neighbor "$work/one-liner/$name.mp4"
done
t2=$(now)
"$library" videos "$work/songs" --out "$work/compare" --ffmpeg "$work/compare-ffmpeg" >/dev/null 2>&1

library_cpu=$(cpu_of "$work/library.cpu")
own_cpu=$(echo "$library_cpu - $(cpu_of "$work/children.cpu")" | bc -l)
mean_ssim() { cat "$work"/*.ssim | awk -v k="$1" '{split($k, v, ":"); s += v[2]} END {printf "%.4f", s / NR}'; }
report() {  # name, wall seconds, CPU seconds, output folder, SSIM column
  local size
  size=$(du -cb "$4"/*.mp4 | tail -1 | cut -f1)
  printf '%-17s %6.0f songs/h wall, %6.0f songs/h by CPU on %d processors, %6.2f CPU-s per song minute, %5.2f MB per song, SSIM %s\n' \
    "$1" "$(echo "$songs * 3600 / $2" | bc -l)" \
    "$(echo "$songs * 3600 * $(nproc) / $3" | bc -l)" "$(nproc)" \
    "$(echo "$3 / $song_minutes" | bc -l)" "$(echo "$size / $songs / 1000000" | bc -l)" \
    "$(mean_ssim "$5")"
}
printf '%d songs of %d s, 624 x 432\n' "$songs" "$song_seconds"
report glyphreel-library "$(echo "$t1 - $t0" | bc -l)" "$library_cpu" "$work/library" 1
report one-liner "$(echo "$t2 - $t1" | bc -l)" "$(cpu_of "$work/one-liner.cpu")" "$work/one-liner" 2
printf 'glyphreel-library own CPU %.2f s of %.2f s (%.1f %%)\n' \
  "$own_cpu" "$library_cpu" "$(echo "100 * $own_cpu / $library_cpu" | bc -l)"
