#!/usr/bin/env python3
"""The scipy side of bench/many_pairs.sh: the delay of each "REFERENCE TEST"
line of stdin by GCC-PHAT on the first channel over the whole files (the
cross-spectrum whitened to unit magnitude, its inverse's peak within
+-MAX_MS), printed as "REFERENCE TEST DELAY" (samples, positive: the test
lags). One process; bench/many_pairs.sh starts one per worker.
    many_pairs_scipy.py [MAX_MS] < pairs.txt"""
import sys

import numpy as np
from scipy import fft
from scipy.io import wavfile


def gcc_phat_delay(reference, test, max_lag):
    n = fft.next_fast_len(len(reference) + len(test))
    spectrum = fft.rfft(test, n) * np.conj(fft.rfft(reference, n))
    spectrum /= np.maximum(np.abs(spectrum), 1e-12)
    correlation = fft.irfft(spectrum, n)
    lags = np.concatenate((correlation[-max_lag:], correlation[: max_lag + 1]))
    return int(np.argmax(np.abs(lags))) - max_lag


def main():
    max_ms = float(sys.argv[1]) if len(sys.argv) > 1 else 1000.0
    for line in sys.stdin:
        parts = line.split()
        if len(parts) != 2:
            continue
        rate, reference = wavfile.read(parts[0])
        _, test = wavfile.read(parts[1])
        first = lambda x: (x[:, 0] if x.ndim > 1 else x).astype(np.float64)
        delay = gcc_phat_delay(first(reference), first(test), int(rate * max_ms / 1000.0))
        print(parts[0], parts[1], delay)


if __name__ == "__main__":
    main()
