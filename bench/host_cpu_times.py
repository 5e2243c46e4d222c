#!/usr/bin/env python3
"""CPU time (user + sys) of hosts run side by side on one pair: every round
runs each host once, in turn, so that all of them see the same machine.

  bench/host_cpu_times.py CORE ROUNDS REF TEST NAME=HOST [NAME=HOST ...] [-- HOST ARGS]

The hosts are spawned, not forked from this process: a fork's copy-on-write
faults in the child before its exec would count as the host's time (about
17 ms a run on a guest whose page faults are slow). This process pins itself
to CORE and the children inherit it. A row "exec" gives the cost of starting
a process that does nothing (/bin/true), the floor under every figure.
"""
import os
import statistics
import sys


def main():
    if len(sys.argv) < 6:
        sys.exit(__doc__)
    core, rounds, ref, test = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
    rest = sys.argv[5:]
    extra = []
    if "--" in rest:
        at = rest.index("--")
        rest, extra = rest[:at], rest[at + 1:]
    hosts = [("exec", "/bin/true")] + [tuple(h.split("=", 1)) for h in rest]
    os.sched_setaffinity(0, {core})
    devnull = os.open(os.devnull, os.O_WRONLY)
    quiet = [(os.POSIX_SPAWN_DUP2, devnull, 1), (os.POSIX_SPAWN_DUP2, devnull, 2)]
    times = {name: [] for name, _ in hosts}
    for _ in range(rounds):
        for name, path in hosts:
            args = [path] if name == "exec" else [path, ref, test] + extra
            pid = os.posix_spawn(path, args, os.environ, file_actions=quiet)
            _, status, usage = os.wait4(pid, 0)
            if status != 0 and name != "exec":
                sys.exit("%s failed (status %d)" % (name, status))
            times[name].append((usage.ru_utime + usage.ru_stime) * 1000.0)
    for name, _ in hosts:
        t = times[name]
        print("%-10s median %8.1f ms  min %8.1f  max %8.1f  (n=%d)" % (name, statistics.median(t), min(t), max(t), len(t)))


if __name__ == "__main__":
    main()
