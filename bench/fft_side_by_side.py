#!/usr/bin/env python3
# The real FFTs of two builds beside the SSE2-only FFTW yardstick
# (bench/build_fftw_sse2.sh) in one run: the bench binaries of BUILD run in
# turn against BEFORE's library and BUILD's own through LD_LIBRARY_PATH,
# pinned to CORE, and each cell is the median over the rounds of our CPU
# time over FFTW's, in the default set. A bench without the yardstick exits
# non-zero, and so does this script.
#   bench/fft_side_by_side.py BEFORE_BUILD BUILD CORE [ROUNDS [SET]]
import json, os, re, statistics, subprocess, sys

if len(sys.argv) < 4:
    sys.exit("usage: bench/fft_side_by_side.py BEFORE_BUILD BUILD CORE [ROUNDS [SET]]")
before, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
core = sys.argv[3]
rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 4
variant = sys.argv[5] if len(sys.argv) > 5 else "ssse3"
libs = {"before": before, "after": build}
# The benches load libvantrel_all_symbols.so; a folder without it would
# silently leave them on BUILD's own copy, so "before" would be "after".
for name, lib in libs.items():
    if not os.path.exists(os.path.join(lib, "libvantrel_all_symbols.so")):
        sys.exit(f"{name} folder {lib} has no libvantrel_all_symbols.so: the benches would not load its library")
pattern = f"(fftw|{variant})/([6-9]|1[0-9]|20)/"
times = {}
for _ in range(rounds):
    for bench in ("bench_real_fft", "bench_real_fft_f64"):
        for name, lib in libs.items():
            env = dict(os.environ, LD_LIBRARY_PATH=lib)
            run = subprocess.run(["taskset", "-c", core, f"{build}/bench/{bench}", f"--benchmark_filter={pattern}",
                                  "--benchmark_format=json"], env=env, capture_output=True, text=True)
            if run.returncode != 0:
                sys.exit(f"{bench} against {lib} failed ({run.returncode}): {run.stderr.strip()}")
            for row in json.loads(run.stdout)["benchmarks"]:
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
