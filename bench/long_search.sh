#!/usr/bin/env bash
# The start-up search over a long range, measured in CPU time (user + sys)
# on two 60 s 48 kHz stereo speech pairs whose test lags by 7.3 s, searched
# with --max-delay-ms 20000: one pair of speech that does not repeat, and one
# of the same 20 s three times over, where every peak has an equal rival a
# period away and the search cannot settle. Hosts are run one after another
# within each round, so that load on a shared machine falls on all alike.
#   bench/long_search.sh [ROUNDS] NAME=HOST [NAME=HOST ...]
# (default one round of build/release/tools/vantrel-host; needs espeak-ng,
# sox and python3). Each host runs with the libraries beside it, or its
# build folder's. INSTRUCTIONS=1 also counts each run's instructions under
# callgrind: slow (minutes per run on the repeating pair). KEEP=DIR keeps
# the pairs and each host's output there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=1
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then rounds=$1; shift; fi
[[ $# -gt 0 ]] || set -- "new=$root/build/release/tools/vantrel-host"
if [[ -n ${KEEP:-} ]]; then work=$KEEP; mkdir -p "$work"; else work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; fi

# Speech long enough for both pairs' distinct stretches.
text=$(for i in $(seq 1 60); do echo "Sentence number $i tells about the weather in town $i and the price of bread $((i * 7)) and fish."; done)
espeak-ng -v en -s 150 -w "$work/speech.wav" "$text"
sox "$work/speech.wav" -r 48000 -c 1 -b 16 "$work/speech48.wav"

python3 - "$work" <<'PY'
import array, random, sys, wave
folder = sys.argv[1]
def read(path):
    w = wave.open(path)
    a = array.array('h')
    a.frombytes(w.readframes(w.getnframes()))
    return a
def write(path, left, right):
    w = wave.open(path, 'wb')
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(48000)
    x = array.array('h', [0]) * (2 * len(left))
    x[0::2] = left; x[1::2] = right
    w.writeframes(x.tobytes()); w.close()
s = read(folder + '/speech48.wav')
rate = 48000; lag = int(7.3 * rate); n = 60 * rate
random.seed(1)
def noisy(a):
    return array.array('h', [max(-32768, min(32767, v + random.randint(-40, 40))) for v in a])
a = s[0:n + lag]; b = s[200 * rate:200 * rate + n + lag]
write(folder + '/plain_ref.wav', a[lag:lag + n], b[lag:lag + n])
write(folder + '/plain_test.wav', noisy(a[:n]), noisy(b[:n]))
period = 20 * rate
a = s[0:period] * 4; b = s[300 * rate:300 * rate + period] * 4
write(folder + '/repeating_ref.wav', a[lag:lag + n], b[lag:lag + n])
write(folder + '/repeating_test.wav', noisy(a[:n]), noisy(b[:n]))
PY

libs_of() {
  local dir
  dir=$(dirname "$1")
  if compgen -G "$dir/libvantrel.so*" > /dev/null; then echo "$dir"; else dirname "$dir"; fi
}

printf '%-10s %-10s %5s %9s %9s  %s\n' host pair round cpu_s wall_s result
for round in $(seq 1 "$rounds"); do
  for pair in plain repeating; do
    for named in "$@"; do
      name=${named%%=*} host=${named#*=}
      out=$work/$name-$pair.out
      LD_LIBRARY_PATH=$(libs_of "$host") /usr/bin/time -f '%U %S %e' -o "$work/time" \
        "$host" --quiet --max-delay-ms 20000 "$work/${pair}_ref.wav" "$work/${pair}_test.wav" > "$out" 2>&1 || true
      read -r user sys wall < "$work/time"
      result=$(grep -m1 -E '^(Delay found|No reliable)' "$out" | cut -c1-60 || true)
      printf '%-10s %-10s %5d %9.2f %9.2f  %s\n' "$name" "$pair" "$round" "$(echo "$user + $sys" | bc)" "$wall" "$result"
    done
  done
done

if [[ ${INSTRUCTIONS:-0} == 1 ]]; then
  for pair in plain repeating; do
    for named in "$@"; do
      name=${named%%=*} host=${named#*=}
      LD_LIBRARY_PATH=$(libs_of "$host") valgrind --tool=callgrind --callgrind-out-file="$work/cg" \
        "$host" --quiet --max-delay-ms 20000 "$work/${pair}_ref.wav" "$work/${pair}_test.wav" > /dev/null 2> "$work/cg.err" || true
      printf '%-10s %-10s instructions %s\n' "$name" "$pair" "$(grep -m1 -oE 'Collected : [0-9]+' "$work/cg.err" | cut -d' ' -f3)"
    done
  done
fi
