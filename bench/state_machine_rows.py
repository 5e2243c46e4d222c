#!/usr/bin/env python3
"""Scores the delay state machine on pairs where a frame was seen reliable off its delay.

Builds the pairs once in WORKDIR: echoes of gain 0.5-0.9 at +1 and +4 ms
(8, 16, 44.1 and 48 kHz, the direct path rate/30 late, so 1470 at 44.1 kHz),
`sox reverb 70` at 48 kHz, a chord background in the test only (0 dB at
44.1 kHz, 5 dB at 96 kHz), a step 1440 -> 1448 at 48 kHz, voiced speech
at 192 kHz drifting 800 ppm (en+m3) and 1500 ppm (en+f3), 200 Hz sustained
vowels at 16 kHz with the delay stepping 1000 -> 1080 in a 0.6 s pause,
jumps among 320, 560, 800 and 1040 every 0.5-4 s at 8 kHz, speech at
-40 dBFS peak 1000 late over noise at -87 dBFS, a 1000 ppm drift at 96 kHz,
and white noise at 3 dB SNR at 48 kHz; with --long also 20 min at 8 kHz
drifting 50 ppm.

The first column names the row of the list of cases seen (1-8) and the
clear pairs of the tracked mode's cost (c). For each pair and host: the
reliable share and the reliable frames off the per-frame truth (by more
than 0 samples for a constant delay or a step, by more than 3 for a drift)
of the default mode and of --track, and the same for the sliding GCC-PHAT
peer (bench/tracking_peer). The peer itself calls frames reliable far off
a fast drift at 96 and 192 kHz: it is no yardstick there.

  bench/state_machine_rows.py WORKDIR --host NAME=PATH [--host NAME=PATH ...]
                              --peer build/release/bench/tracking_peer [--only SUBSTRING] [--long]

The library-only cases (re-check without the tracker at 100-512 sample
frames, 300 ppm at 128-sample frames) cannot be reached through the host:
the tests measure them. Needs espeak-ng and sox; not part of CI.
"""
import math
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tracking_pairs as tp  # noqa: E402


class Pair:
    def __init__(self, row, name, rate, truth, tolerance, max_ms=1000):
        self.row, self.name, self.rate = row, name, rate
        self.truth, self.tolerance, self.max_ms = truth, tolerance, max_ms


def fitted(x, peak=30000.0):
    """x scaled down so that it does not clip."""
    top = max(abs(v) for v in x)
    return x if top <= peak else [v * peak / top for v in x]


def by_reference_time(x, delay_at):
    """A test that holds reference sample m at m + delay_at(m): a step of the
    delay falls between two reference samples, wherever it lands in the test."""
    out = [0.0] * len(x)
    for m, v in enumerate(x):
        n = m + delay_at(m)
        if 0 <= n < len(out):
            out[n] = v
    return out


def steps_truth(rate, changes):
    """changes: [(reference sample, delay)], the first at 0."""
    return "steps:" + ",".join("%.10f=%d" % (m / rate, d) for m, d in changes)


def step_delay(changes):
    def at(m):
        d = changes[0][1]
        for start, delay in changes:
            if m >= start:
                d = delay
        return d
    return at


def vowels(rate, stretches, seconds, pause):
    """200 Hz sustained vowels of `seconds` each, `pause` of silence between."""
    formants = [(700.0, 1200.0), (400.0, 2000.0), (300.0, 870.0), (550.0, 1700.0)]
    out = []
    for s in range(stretches):
        f1, f2 = formants[s % len(formants)]
        n = int(rate * seconds)
        ramp = int(0.02 * rate)
        for k in range(n):
            t = k / rate
            v = sum((1.0 / h + 2.0 * math.exp(-((200.0 * h - f1) / 150.0) ** 2) +
                     math.exp(-((200.0 * h - f2) / 250.0) ** 2)) * math.sin(2 * math.pi * 200.0 * h * t)
                    for h in range(1, 18))
            out.append(v * min(1.0, k / ramp, (n - 1 - k) / ramp))
        out.extend([0.0] * int(rate * pause))
    top = max(abs(v) for v in out)
    return [v * 12000.0 / top for v in out]


def make_pairs(work, only, long_runs):
    pairs = []

    def add(pair, maker):
        if only and only not in pair.name:
            return
        pair.ref = os.path.join(work, pair.name + "_ref.wav")
        pair.test = os.path.join(work, pair.name + "_test.wav")
        if not os.path.exists(pair.test):
            maker(pair)
        pairs.append(pair)

    def echo(g, e_ms):
        def make(p):
            x = tp.speech(work, p.rate, 30)
            d, e = p.rate // 30, int(round(p.rate * e_ms / 1000.0))
            n = len(x)
            tp.write_wav(p.ref, p.rate, x)
            tp.write_wav(p.test, p.rate, [(a + g * b) / (1.0 + g) for a, b in
                                          zip(tp.shifted(x, d, n), tp.shifted(x, d + e, n))])
        return make

    for rate in (8000, 16000, 44100, 48000):
        for g in (0.5, 0.7, 0.9):
            for e_ms in (1, 4):
                add(Pair("1" if (rate, g, e_ms) != (44100, 0.7, 4) else "1,8,c", "echo_%dk_%.1f_%dms" %
                         (rate // 1000, g, e_ms), rate, "const:%d" % (rate // 30), 0), echo(g, e_ms))

    def reverb(p):
        x = tp.speech(work, p.rate, 30)
        tp.write_wav(p.ref, p.rate, x)
        dry = p.test + ".dry.wav"
        tp.write_wav(dry, p.rate, tp.shifted(x, 1600, len(x)))
        tp.run(["sox", dry, p.test, "reverb", "70"])

    add(Pair("1,c", "reverb_48k", 48000, "const:1600", 0), reverb)

    def chord_background(snr_db):
        def make(p):
            x = tp.speech(work, p.rate, 30)
            d = p.rate // 30
            c = tp.chord(p.rate, len(x) / p.rate, 4.0)
            scale = tp.rms(x) / tp.rms(c) / 10 ** (snr_db / 20.0)
            tp.write_wav(p.ref, p.rate, x)
            tp.write_wav(p.test, p.rate, fitted([a + scale * b for a, b in zip(tp.shifted(x, d, len(x)), c)]))
        return make

    add(Pair("1,c", "chord_0dB_44k", 44100, "const:1470", 0), chord_background(0.0))
    add(Pair("1,c", "chord_5dB_96k", 96000, "const:3200", 0), chord_background(5.0))

    small_step = [(0, 1440), (15 * 48000, 1448)]

    def step(p):
        x = tp.speech(work, p.rate, 30)
        tp.write_wav(p.ref, p.rate, x)
        tp.write_wav(p.test, p.rate, by_reference_time(x, step_delay(small_step)))

    add(Pair("1", "step_1440_1448_48k", 48000, steps_truth(48000, small_step), 0), step)

    def drift(voice, speed, seconds, repeats=1):
        def make(p):
            x = tp.speech(work, p.rate, seconds, voice, repeats)
            tp.write_wav(p.ref, p.rate, x)
            tp.run(["sox", "-R", p.ref, p.test, "speed", "%.7f" % speed, "rate", "-v", str(p.rate)])
        return make

    for ppm, voice in ((800, "en+m3"), (1500, "en+f3")):
        speed = 1.0 + ppm * 1e-6
        add(Pair("2", "drift_%dppm_192k_%s" % (ppm, voice[-2:]), 192000, "speed:%.7f" % speed, 3, 200),
            drift(voice, speed, 30))

    # The step lies in the middle of the fourth pause, in reference time.
    vowel_step = [(0, 1000), (int(16000 * (4 * 2.6 - 0.3)), 1080)]

    def vowel_pair(p):
        x = vowels(p.rate, 8, 2.0, 0.6)
        tp.write_wav(p.ref, p.rate, x)
        tp.write_wav(p.test, p.rate, by_reference_time(x, step_delay(vowel_step)))

    add(Pair("3", "vowels_step_in_pause_16k", 16000, steps_truth(16000, vowel_step), 0), vowel_pair)

    chooser = random.Random(5)
    jumps, m, d = [], 0, 320
    while m < 60 * 8000:
        jumps.append((m, d))
        m += int(chooser.uniform(0.5, 4.0) * 8000)
        d = chooser.choice([v for v in (320, 560, 800, 1040) if v != d])

    def jumping(p):
        x = tp.speech(work, p.rate, 60, "en-us", 2)
        tp.write_wav(p.ref, p.rate, x)
        tp.write_wav(p.test, p.rate, by_reference_time(x, step_delay(jumps)))

    add(Pair("5", "jumps_8k", 8000, steps_truth(8000, jumps), 0), jumping)

    def quiet(p):
        x = tp.speech(work, p.rate, 30)
        top = max(abs(v) for v in x)
        x = [v * 327.68 / top for v in x]  # -40 dBFS peak
        hiss = 32768.0 * 10 ** (-87 / 20.0)
        tp.write_wav(p.ref, p.rate, [a + b for a, b in zip(x, tp.noise(len(x), hiss, 11))])
        tp.write_wav(p.test, p.rate, [a + b for a, b in zip(tp.shifted(x, 1000, len(x)), tp.noise(len(x), hiss, 12))])

    add(Pair("6,c", "quiet_40dBFS_16k", 16000, "const:1000", 0), quiet)

    add(Pair("7", "drift_1000ppm_96k", 96000, "speed:1.0010000", 3), drift("en-us", 1.001, 30))
    if long_runs:
        add(Pair("7", "drift_50ppm_8k_20min", 8000, "speed:1.0000500", 3), drift("en-us", 1.00005, 1200, 35))

    def white_noise(p):
        n = 30 * p.rate
        s = tp.noise(n + 1600, 8000.0, 1)
        tp.write_wav(p.ref, p.rate, s[1600:])
        tp.write_wav(p.test, p.rate, [a + b for a, b in zip(s[:n], tp.noise(n, 8000.0 / 10 ** (3 / 20.0), 2))])

    add(Pair("c", "noise_3dB_48k", 48000, "const:1600", 0), white_noise)
    return pairs


def cells(row):
    """reliable %, wrong reliable frames and the worst of them, in 23 columns"""
    return "%10.1f%% %5d %5d" % row


def main():
    args, hosts = tp.arguments(
        lambda parser: parser.add_argument("--long", action="store_true", help="also the 20 min drift at 8 kHz"))
    print("%-6s %-26s %3s  %-8s %23s %23s %23s" % ("row", "pair", "tol", "host", "default: rel wrong worst",
                                                   "--track: rel wrong worst", "peer: rel wrong worst"))
    for p in make_pairs(args.work, args.only, args.long):
        csvs = []
        for label, path in hosts:
            for mode, extra in (("default", []), ("track", ["--track"])):
                csv = os.path.join(args.work, "%s_%s_%s.csv" % (p.name, label, mode))
                tp.run([path, "--quiet", "--max-delay-ms", str(p.max_ms), "--csv", csv, p.ref, p.test] + extra)
                csvs.append(csv)
        rows = tp.score_all(args.peer, p.ref, p.test, p.truth, csvs, p.max_ms, p.tolerance)
        peer = rows[0][1]
        for k, (label, _) in enumerate(hosts):
            default, track = rows[1 + 2 * k][1], rows[2 + 2 * k][1]
            print("%-6s %-26s %3d  %-8s %s %s %s" % (p.row, p.name, p.tolerance, label, cells(default), cells(track),
                                                     cells(peer)))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
