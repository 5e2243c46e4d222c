#!/usr/bin/env python3
# The real FFTs of two builds beside FFTW (SSE2 codelets) in one run: the
# bench binaries of BUILD run in turn against BEFORE's library and BUILD's
# own through LD_LIBRARY_PATH, pinned to one core, and each cell is the
# median over the rounds of our CPU time over FFTW's, in the default set.
#   bench/fft_side_by_side.py BEFORE_BUILD BUILD [ROUNDS [SET]]
import json, os, re, statistics, subprocess, sys

if len(sys.argv) < 3:
    sys.exit("usage: bench/fft_side_by_side.py BEFORE_BUILD BUILD [ROUNDS [SET]]")
before, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 4
variant = sys.argv[4] if len(sys.argv) > 4 else "ssse3"
libs = {"before": before, "after": build}
pattern = f"(fftw|{variant})/([6-9]|1[0-9]|20)/"
times = {}
for _ in range(rounds):
    for bench in ("bench_real_fft", "bench_real_fft_f64"):
        for name, lib in libs.items():
            env = dict(os.environ, LD_LIBRARY_PATH=lib)
            out = subprocess.run(["taskset", "-c", "3", f"{build}/bench/{bench}", f"--benchmark_filter={pattern}",
                                  "--benchmark_format=json"], env=env, capture_output=True, text=True, check=True).stdout
            for row in json.loads(out)["benchmarks"]:
                m = re.match(r"RealFft(Fwd|Inv)F(32|64)/(\w+)/(\d+)/", row["name"])
                if m:
                    direction, bits, who, order = m.groups()
                    times.setdefault((bits, direction, int(order), name, who), []).append(row["cpu_time"])
print("| order | f32 fwd before | after | f32 inv before | after | f64 fwd before | after | f64 inv before | after |")
print("|---|---|---|---|---|---|---|---|---|")
for order in range(6, 21):
    cells = []
    for bits in ("32", "64"):
        for direction in ("Fwd", "Inv"):
            for name in libs:
                ours = statistics.median(times[(bits, direction, order, name, variant)])
                theirs = statistics.median(times[(bits, direction, order, name, "fftw")])
                cells.append(f"{ours / theirs:.2f}")
    print(f"| {order} | " + " | ".join(cells) + " |")
