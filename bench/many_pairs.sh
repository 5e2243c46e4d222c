#!/usr/bin/env bash
# Many file pairs measured three ways, side by side on the same pairs, in
# pairs per second of wall time: one host process per pair, one library
# process per worker (bench/many_pairs_worker.cpp: one CMsystem reused
# through UpdateSysPara and Go) and, when python3 has scipy, one scipy
# process per worker (GCC-PHAT, bench/many_pairs_scipy.py). The pairs are
# DISTINCT stereo 16-bit files of SECONDS s at 48 kHz, each test a delayed,
# quieter copy with noise, listed over and over to PAIRS; every delay found
# is checked against the one written.
#   bench/many_pairs.sh [BUILD [PAIRS [WORKERS [SECONDS [DISTINCT]]]]]
# (defaults build/release 1000 8 10 40; needs python3, or $PYTHON, with numpy).
# BASELINE=<another build folder> also times that build's host per pair and
# its library worker.
# MIXED=1: the pairs differ in rate (16, 48, 96 kHz), channels (mono,
# stereo) and length (SECONDS/4 to SECONDS), with delays up to 700 ms or an
# eighth of the pair, so that one library object meets them mixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
pairs=${2:-1000} workers=${3:-8} seconds=${4:-10} distinct=${5:-40}
host=$build/tools/vantrel-host worker=$build/bench/many_pairs_worker
python=${PYTHON:-python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$python" - "$work" "$distinct" "$seconds" "${MIXED:-0}" <<'PY'
import sys, wave
import numpy as np
folder, distinct, seconds, mixed = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), sys.argv[4] == "1"
rng = np.random.default_rng(1)
def write(path, samples, rate):
    with wave.open(path, "wb") as w:
        w.setnchannels(samples.shape[1]); w.setsampwidth(2); w.setframerate(rate)
        w.writeframes(np.clip(np.round(samples), -32768, 32767).astype("<i2").tobytes())
with open(folder + "/truth.txt", "w") as truth:
    for i in range(distinct):
        if mixed:
            rate, channels = (16000, 48000, 96000)[i % 3], 1 + (i // 3) % 2
            frames = int(rate * seconds * (0.25 + 0.75 * ((i * 7) % 5) / 4))
            delay = int(rng.integers(0, min(int(0.7 * rate), frames // 8)))
        else:
            rate, channels, frames = 48000, 2, int(48000 * seconds)
            delay = int(rng.integers(0, 2400))
        total = frames + delay
        # Speech-like: noise with a falling spectrum under syllable-rate bursts.
        noise = rng.normal(0.0, 1.0, (total, channels))
        for c in range(channels):
            noise[:, c] = np.convolve(noise[:, c], [1.0, 0.9, 0.6, 0.3], mode="same")
        burst = rate // 10
        envelope = np.repeat(rng.uniform(0.0, 1.0, total // burst + 1) ** 2, burst)[:total]
        source = 6000.0 * noise * envelope[:, None]
        reference = source[delay:delay + frames]
        test = 0.5 * source[:frames] + rng.normal(0.0, 30.0, (frames, channels))
        write(f"{folder}/r{i}.wav", reference, rate)
        write(f"{folder}/t{i}.wav", test, rate)
        truth.write(f"{folder}/r{i}.wav {folder}/t{i}.wav {delay}\n")
PY
# The distinct pairs listed over and over to $pairs.
awk -v pairs="$pairs" '{ line[NR - 1] = $1 " " $2 } END { for (n = 0; n < pairs; ++n) print line[n % NR] }' \
  "$work/truth.txt" >"$work/list.txt"
split -n "r/$workers" -d "$work/list.txt" "$work/part."
parts=("$work"/part.*)

now() { date +%s.%N; }
# The processor time of this script's finished children so far (user +
# system, s; from its /proc stat, as a $(...) subshell has children of its own).
cpu() { awk -v hz="$(getconf CLK_TCK)" '{sub(/^.*\) /, ""); print ($14 + $15) / hz}' "/proc/$$/stat"; }
rate() { "$python" -c "print(f'{$1 / ($3 - $2):8.1f} pairs/s  ({$3 - $2:.2f} s, {1000 * ($5 - $4) / $1:.1f} ms processor time a pair)')"; }
# Delays found against the ones written: "found" lines are "REF TEST DELAY ...".
check() {
  "$python" - "$work/truth.txt" "$1" <<'PY'
import sys
truth = {tuple(l.split()[:2]): int(l.split()[2]) for l in open(sys.argv[1])}
wrong = total = 0
for line in open(sys.argv[2]):
    p = line.split()
    total += 1
    if len(p) < 3 or not p[2].lstrip("-").isdigit() or abs(int(p[2]) - truth[(p[0], p[1])]) > 1: wrong += 1
print(f"{total} pairs, {wrong} off by more than a sample")
PY
}

if [ "${MIXED:-0}" = 1 ]; then
  echo "$pairs pairs of $seconds s or shorter, 16/48/96 kHz, mono and stereo, mixed, $workers workers"
else
  echo "$pairs pairs of $seconds s, 48 kHz stereo, $workers workers"
fi
# One host process per pair, $workers at a time: "REF TEST DELAY" lines.
host_per_pair() {
  xargs -P "$workers" -L 1 sh -c 'printf "%s %s %s\n" "$1" "$2" "$("$0" --quiet "$1" "$2" | sed -n "s/^Delay found: \([0-9-]*\) samples.*/\1/p")"' "$1" \
    <"$work/list.txt" >"$2"
}
start=$(now) c0=$(cpu)
host_per_pair "$host" "$work/host.txt"
end=$(now) c1=$(cpu)
echo "one host process per pair:          $(rate "$pairs" "$start" "$end" "$c0" "$c1"); $(check "$work/host.txt")"

# BASELINE=<another build>: its host too, on the same pairs, for a before and after in one run.
if [ -n "${BASELINE:-}" ]; then
  start=$(now) c0=$(cpu)
  host_per_pair "$BASELINE/tools/vantrel-host" "$work/baseline.txt"
  end=$(now) c1=$(cpu)
  echo "baseline host, process per pair:    $(rate "$pairs" "$start" "$end" "$c0" "$c1"); $(check "$work/baseline.txt")"
fi

# One library process per worker, each measuring its part of the list: "REF TEST DELAY ..." lines.
library_per_worker() {
  for part in "${parts[@]}"; do "$1" <"$part" >"$part.out" & done
  wait
  cat "$work"/part.*.out >"$2"
}
start=$(now) c0=$(cpu)
library_per_worker "$worker" "$work/library.txt"
end=$(now) c1=$(cpu)
echo "one library process per worker:     $(rate "$pairs" "$start" "$end" "$c0" "$c1"); $(check "$work/library.txt")"
if [ -n "${BASELINE:-}" ]; then
  start=$(now) c0=$(cpu)
  library_per_worker "$BASELINE/bench/many_pairs_worker" "$work/baseline-library.txt"
  end=$(now) c1=$(cpu)
  echo "baseline library, process per worker: $(rate "$pairs" "$start" "$end" "$c0" "$c1"); $(check "$work/baseline-library.txt")"
fi

if "$python" -c "import scipy" 2>/dev/null; then
  start=$(now) c0=$(cpu)
  for part in "${parts[@]}"; do
    "$python" "$root/bench/many_pairs_scipy.py" <"$part" >"$part.scipy" &
  done
  wait
  end=$(now) c1=$(cpu)
  cat "$work"/part.*.scipy >"$work/scipy.txt"
  echo "scipy GCC-PHAT, process per worker: $(rate "$pairs" "$start" "$end" "$c0" "$c1"); $(check "$work/scipy.txt")"
else
  echo "scipy: not installed (python3-scipy), not measured"
fi
