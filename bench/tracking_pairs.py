#!/usr/bin/env python3
"""Makes file pairs of known delay and scores the host's tracked mode on them.

For each pair: the reliable share and the reliable frames more than 3
samples off the truth, for the hosts given (--track), the same host's
default mode, and the sliding GCC-PHAT peer (bench/tracking_peer).

  bench/tracking_pairs.py WORKDIR --host NAME=PATH [--host NAME=PATH ...]
                          --peer build/release/bench/tracking_peer [--only SUBSTRING]

Needs espeak-ng and sox; not part of CI.
"""
import argparse
import array
import math
import os
import random
import re
import subprocess
import sys
import wave

TEXT = (
    "The quick brown fox jumps over the lazy dog. A measurement compares a test signal with its reference, "
    "frame by frame, and tells how late the test arrives. Speech has pauses between words and phrases, "
    "and the delay may step while nobody speaks. Seven hundred and twenty one boxes were counted on the "
    "third floor of the old warehouse near the river, where the trains used to stop before the bridge "
    "was built. Nobody knew why the clocks in the hall ran a little fast in winter and a little slow in "
    "summer, but everyone agreed that the bells sounded better on a cold morning."
)

# The delays of the steps pair, 2 s each, in samples at 16 kHz.
STEP_DELAYS = [800, 1600, 400, 1200, 2000, 600, 1400, 1000, 1800, 200]


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, **kw)


def read_wav(path):
    with wave.open(path, "rb") as w:
        rate = w.getframerate()
        data = array.array("h", w.readframes(w.getnframes()))
    return rate, [float(v) for v in data]


def write_wav(path, rate, samples):
    out = array.array("h", (max(-32768, min(32767, int(round(v)))) for v in samples))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(out.tobytes())


def speech(work, rate, seconds, voice="en-us", repeats=1):
    """The text spoken `repeats` times (about 35 s each) by an espeak-ng voice."""
    own = "" if (voice, repeats) == ("en-us", 1) else "_%s_x%d" % (voice.replace("+", "_"), repeats)
    path = os.path.join(work, "speech%s_%d.wav" % (own, rate))
    if not os.path.exists(path):
        raw = os.path.join(work, "speech_raw%s.wav" % own)
        if not os.path.exists(raw):
            text = os.path.join(work, "text%s.txt" % own)
            with open(text, "w") as f:
                f.write(" ".join([TEXT] * repeats))
            run(["espeak-ng", "-v", voice, "-s", "160", "-w", raw, "-f", text])
        run(["sox", raw, "-b", "16", path, "rate", "-v", str(rate), "norm", "-3", "trim", "0", str(seconds)])
    return read_wav(path)[1]


def rms(x):
    return math.sqrt(sum(v * v for v in x) / max(len(x), 1))


def shifted(x, d, n):
    """test[k] = x[k - d]"""
    return [x[k - d] if 0 <= k - d < len(x) else 0.0 for k in range(n)]


def noise(n, level, seed):
    g = random.Random(seed)
    return [g.gauss(0.0, level) for _ in range(n)]


def chord(rate, seconds, period):
    # Four chords, each a quarter of the period, repeating.
    chords = [(261.6, 329.6, 392.0), (220.0, 261.6, 329.6), (174.6, 220.0, 261.6), (196.0, 246.9, 293.7)]
    out = []
    for k in range(int(rate * seconds)):
        t = k / rate
        c = chords[int((t % period) / (period / 4))]
        out.append(3000.0 * sum(math.sin(2 * math.pi * f * t) for f in c))
    return out


def make_pairs(work, only):
    pairs = []

    def add(name, truth, max_ms, maker):
        if only and only not in name:
            return
        ref_path = os.path.join(work, name + "_ref.wav")
        test_path = os.path.join(work, name + "_test.wav")
        if not os.path.exists(test_path):
            maker(ref_path, test_path)
        pairs.append((name, ref_path, test_path, truth, max_ms))

    def const_noise(snr_db, rate=16000, d=480, seconds=30):
        def make(rp, tp):
            n = rate * seconds
            s = noise(n + d, 8000.0, 1)
            ref = s[d:]
            test = s[:n]
            level = 8000.0 / (10 ** (snr_db / 20.0))
            test = [a + b for a, b in zip(test, noise(n, level, 2))]
            write_wav(rp, rate, ref)
            write_wav(tp, rate, test)
        return make

    add("noise_3dB", "const:480", 1000, const_noise(3.0))
    add("noise_6dB", "const:480", 1000, const_noise(6.0))

    def echo(rp, tp):
        x = speech(work, 16000, 40)
        n = len(x)
        t = shifted(x, 1000, n)
        e = shifted(x, 1040, n)
        write_wav(rp, 16000, x)
        write_wav(tp, 16000, [0.5 * (a + 0.9 * b) for a, b in zip(t, e)])

    add("echo", "const:1000", 1000, echo)

    def chords(rp, tp):
        x = chord(16000, 30, 4.0)
        write_wav(rp, 16000, x)
        write_wav(tp, 16000, shifted(x, 3000, len(x)))

    add("chords_4s_range_1s", "const:3000", 1000, chords)

    def steps(rp, tp):
        x = speech(work, 16000, 40)
        delays = STEP_DELAYS
        out = []
        for k in range(len(x)):
            d = delays[(k // 32000) % len(delays)]
            out.append(x[k - d] if k >= d else 0.0)
        write_wav(rp, 16000, x)
        write_wav(tp, 16000, out)

    truth_steps = ",".join("%d=%d" % (2 * i, d) for i, d in
                           enumerate(STEP_DELAYS * 2))
    add("steps_2s", "steps:" + truth_steps, 1000, steps)

    for ppm, rate in ((100, 8000), (300, 16000), (500, 48000), (1000, 48000), (1000, 96000)):
        speed = 1.0 + ppm * 1e-6

        def drift(rp, tp, rate=rate, speed=speed):
            x = speech(work, rate, 40)
            write_wav(rp, rate, x)
            run(["sox", "-R", rp, tp, "speed", "%.7f" % speed, "rate", "-v", str(rate)])

        add("drift_%dppm_%dk" % (ppm, rate // 1000), "speed:%.7f" % speed, 1000, drift)

    def beyond(rp, tp):
        x = speech(work, 16000, 40)
        write_wav(rp, 16000, x)
        write_wav(tp, 16000, shifted(x, 16001, len(x)))

    add("beyond_range_16001", "const:16001", 1000, beyond)

    def looped(rp, tp):
        x = speech(work, 16000, 40)
        segment = x[16000:16000 + 9600]
        loop = segment * 50
        n = len(loop)
        ref = [a + b for a, b in zip(loop, noise(n, rms(segment) / 100.0, 3))]
        test = [0.7 * a + b for a, b in zip(shifted(loop, 7000, n), noise(n, rms(segment) / 31.6, 4))]
        write_wav(rp, 16000, ref)
        write_wav(tp, 16000, test)

    add("looped_speech", "const:7000", 1000, looped)

    def early_step(rp, tp):
        x = speech(work, 48000, 20)
        out = [(x[k - 200] if k >= 200 else 0.0) if k < 24000 else x[k - 1200] for k in range(len(x))]
        write_wav(rp, 48000, x)
        write_wav(tp, 48000, out)

    add("step_200_1200_at_0.5s", "steps:0=200,0.5=1200", 1000, early_step)

    def pause_step(rp, tp):
        x = speech(work, 16000, 20)
        ref = x[:160000] + [0.0] * 24000 + x[160000:]
        # the step sits in the middle of the 1.5 s of silence
        test = [ref[k - (320 if k < 172000 else 1920)] if k >= 320 else 0.0 for k in range(len(ref))]
        write_wav(rp, 16000, ref)
        write_wav(tp, 16000, test)

    add("step_320_1920_in_pause", "steps:0=320,10.75=1920", 1000, pause_step)
    return pairs


def score_all(peer, ref, test, truth, csvs, max_ms, tolerance=3):
    """[(who, (reliable %, wrong reliable, worst))]: the peer's, then one per CSV in order."""
    cmd = [peer, ref, test, truth, "--max-delay-ms", str(max_ms), "--tolerance", str(tolerance)]
    for csv in csvs:
        cmd += ["--csv", csv]
    out = run(cmd).stdout
    rows = []
    for line in out.splitlines():
        m = re.match(r"(\w+)\s+frames\s+(\d+)\s+reliable\s+([\d.]+) %\s+wrong reliable\s+(\d+) \(worst (\d+)\)", line)
        if m:
            rows.append((m.group(1), (float(m.group(3)), int(m.group(4)), int(m.group(5)))))
    return rows


def score(peer, ref, test, truth, csv, max_ms):
    return dict(score_all(peer, ref, test, truth, [csv] if csv else [], max_ms))


def arguments(more=None):
    """The pair scripts' command line (`more` adds options): the arguments and
    the hosts as [NAME, PATH]; the work directory exists afterwards."""
    parser = argparse.ArgumentParser()
    parser.add_argument("work")
    parser.add_argument("--host", action="append", required=True)
    parser.add_argument("--peer", required=True)
    parser.add_argument("--only", default="")
    if more:
        more(parser)
    args = parser.parse_args()
    hosts = [h.split("=", 1) for h in args.host]
    for path in [h[-1] for h in hosts] + [args.peer]:
        if not os.access(path, os.X_OK):
            parser.error("cannot run " + path)
    os.makedirs(args.work, exist_ok=True)
    return args, hosts


def main():
    args, hosts = arguments()
    print("%-24s %-16s %8s %7s %6s" % ("pair", "who", "reliable", "wrong", "worst"))
    for name, ref, test, truth, max_ms in make_pairs(args.work, args.only):
        peer_row = None
        for label, path in hosts:
            for mode, extra in (("track", ["--track"]), ("default", [])):
                if mode == "default" and label != hosts[-1][0]:
                    continue
                csv = os.path.join(args.work, "%s_%s_%s.csv" % (name, label, mode))
                run([path, "--quiet", "--max-delay-ms", str(max_ms), "--csv", csv, ref, test] + extra)
                rows = score(args.peer, ref, test, truth, csv, max_ms)
                peer_row = rows.get("peer")
                r = rows.get("host", (0.0, 0, 0))
                print("%-24s %-16s %7.1f%% %7d %6d" % (name, label + " " + mode, r[0], r[1], r[2]))
        if peer_row:
            print("%-24s %-16s %7.1f%% %7d %6d" % (name, "peer", peer_row[0], peer_row[1], peer_row[2]))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
