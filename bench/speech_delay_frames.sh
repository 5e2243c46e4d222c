#!/usr/bin/env bash
# Speaks a passage with espeak-ng in each voice given (default en-us,
# en+f3, de), resamples it to 16 kHz with sox and runs
# speech_delay_frames on it: steps at nine places and +-300 ppm drifts
# through the library's front end, file and live inputs, re-checked with
# and without the tracker, frames of 100, 128 and 512 samples. Not part of CI.
#   bench/speech_delay_frames.sh [BUILD [VOICE ...]]
set -euo pipefail
build=${1:-build/release}
shift || true
voices=("$@")
[ ${#voices[@]} -gt 0 ] || voices=(en-us en+f3 de)
program=$build/bench/speech_delay_frames
[ -x "$program" ] || { echo "no $program: build the release preset first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
text="The quick brown fox jumps over the lazy dog. A measurement compares a test signal with a \
reference signal, finds the delay between them, and follows it while it moves. Speech has pauses \
between words, and voiced sounds repeat themselves every pitch period, which can mislead a search. \
We read both signals, filter them, and hand out frames that are aligned in time. Each frame carries \
its delay, its status and its quality. Seven silver swans swam silently seaward."
status=0
for voice in "${voices[@]}"; do
  espeak-ng -v "$voice" -s 155 -w "$work/speech.wav" "$text"
  sox "$work/speech.wav" -t raw -e signed -b 16 -c 1 -r 16000 "$work/speech.raw" rate -v gain -n -3
  echo "== $voice"
  "$program" "$work/speech.raw" 16000 || status=1
done
exit $status
