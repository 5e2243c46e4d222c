#!/usr/bin/env bash
# Instructions per sample of the front end's per-sample work, the DC blocker
# (the four-lane block loop and its single-lane steps) and the int16 to float
# channel conversion, counted by callgrind on a 10 min 48 kHz stereo speech
# pair (default host run), divided by the samples of both files and both
# channels. Several hosts are counted on the same pair:
#   bench/per_sample_instructions.sh NAME=HOST [NAME=HOST ...]
# (default build/release/tools/vantrel-host; needs espeak-ng, sox, valgrind;
# about 5 s of callgrind per host). Each host runs with the libraries beside
# it, or its build folder's. KEEP=DIR keeps the pair and the profiles there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -gt 0 ]] || set -- "new=$root/build/release/tools/vantrel-host"
if [[ -n ${KEEP:-} ]]; then work=$KEEP; mkdir -p "$work"; else work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; fi

seconds=600
espeak-ng -w "$work/speech.wav" "The quick brown fox jumps over the lazy dog. Measuring the delay between two \
signals needs speech that changes over time, with pauses and varied sounds."
sox -V1 "$work/speech.wav" -r 48000 -c 2 -b 16 "$work/speech48.wav"
sox -V1 "$work/speech48.wav" "$work/long.wav" repeat $((seconds / 8 + 1))
sox -V1 "$work/long.wav" "$work/ref.wav" trim 0 "$seconds"
# 12 ms behind at 0.8 of the level, the length kept.
sox -V1 "$work/long.wav" "$work/test.wav" pad 0.012 0 trim 0 "$seconds" vol 0.8
samples=$((seconds * 48000 * 2 * 2))

libs_of() {
  local dir
  dir=$(dirname "$1")
  if compgen -G "$dir/libvantrel.so*" > /dev/null; then echo "$dir"; else dirname "$dir"; fi
}

# Self instructions of the functions whose names match a pattern.
self_of() {
  callgrind_annotate --inclusive=no --threshold=100 "$1" 2> /dev/null |
    awk -v pat="$2" '$0 ~ pat { gsub(",", "", $1); s += $1 } END { print s + 0 }'
}

printf '%-10s %14s %14s %12s\n' host dc_blocker conversion all_per_sample
for entry in "$@"; do
  name=${entry%%=*} host=${entry#*=}
  profile=$work/$name.cg
  LD_LIBRARY_PATH=$(libs_of "$host") valgrind --tool=callgrind --callgrind-out-file="$profile" \
    "$host" --quiet "$work/ref.wav" "$work/test.wav" > "$work/$name.out" 2> "$work/$name.err"
  dc=$(self_of "$profile" 'FourLaneBlocks|spkDcBlockLanesF32|PlainLane')
  conv=$(self_of "$profile" 'spkChannelI16ToF32')
  all=$(grep -m1 -oE 'Collected : [0-9]+' "$work/$name.err" | cut -d' ' -f3)
  printf '%-10s %14.3f %14.3f %12.2f\n' "$name" "$(echo "$dc / $samples" | bc -l)" \
    "$(echo "$conv / $samples" | bc -l)" "$(echo "$all / $samples" | bc -l)"
done
