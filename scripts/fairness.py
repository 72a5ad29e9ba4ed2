#!/usr/bin/env python3
"""Statistical tests of Rindell's draws, on outcome data from the program's own
--sample-* options (the functions START uses). Each statistic is judged at the
99% level; one that falls outside is tested again on a fresh sample and fails
only if that sample fails too, so that chance alone fails a run about once in
ten thousand per statistic rather than once in a hundred."""
import math
import os
import subprocess
import sys

LEVEL = 0.01


def upper_gamma_regularized(a, x):
    """Q(a, x) = Gamma(a, x) / Gamma(a), by series or continued fraction."""
    if x <= 0:
        return 1.0
    gln = math.lgamma(a)
    if x < a + 1:
        term = total = 1.0 / a
        n = a
        while abs(term) > abs(total) * 1e-15:
            n += 1
            term *= x / n
            total += term
        return 1.0 - total * math.exp(-x + a * math.log(x) - gln)
    b = x + 1 - a
    c = 1.0 / 1e-300
    d = 1.0 / b
    h = d
    i = 0
    while True:
        i += 1
        an = -i * (i - a)
        b += 2
        d = an * d + b
        d = 1e-300 if abs(d) < 1e-300 else d
        c = b + an / c
        c = 1e-300 if abs(c) < 1e-300 else c
        d = 1.0 / d
        delta = d * c
        h *= delta
        if abs(delta - 1) < 1e-15:
            break
    return math.exp(-x + a * math.log(x) - gln) * h


def chi_square(counts, expected):
    return sum((c - e) ** 2 / e for c, e in zip(counts, expected))


def p_chi_square(statistic, degrees):
    return upper_gamma_regularized(degrees / 2.0, statistic / 2.0)


def sample(program, *arguments):
    emulator = os.environ.get("RINDELL_EMULATOR", "").split()  # wine for a Windows build
    out = subprocess.run([*emulator, program, *arguments], check=True, capture_output=True, text=True)
    return out.stdout.split("\n")[:-1]


def first_draws(program, count, low, high):
    return [int(x) for x in sample(program, "--sample-draws", str(count), "--range", f"{low},{high}")]


def uniformity(program, count, low, high):
    draws = first_draws(program, count, low, high)
    counts = [0] * (high - low + 1)
    for d in draws:
        counts[d - low] += 1
    k = len(counts)
    statistic = chi_square(counts, [count / k] * k)
    return f"chi-square {statistic:.1f}, {k - 1} df", p_chi_square(statistic, k - 1)


def positions(program, count, size):
    table = [[0] * size for _ in range(size)]
    for line in sample(program, "--sample-series", str(count), "--range", f"1,{size}"):
        numbers = [int(x) for x in line.split(" ")]
        if sorted(numbers) != list(range(1, size + 1)):
            raise SystemExit(f"not a whole series: {line}")
        for position, number in enumerate(numbers):
            table[position][number - 1] += 1
    cells = [c for row in table for c in row]
    # Every series is a permutation, so each row and each column of the table sums
    # to `count` exactly; Pearson's statistic is then k/(k-1) times a chi-square
    # with (k-1)^2 degrees of freedom (mean k(k-1), not (k-1)^2), and is scaled
    # back before it is judged.
    pearson = chi_square(cells, [count / size] * len(cells))
    statistic = pearson * (size - 1) / size
    degrees = (size - 1) ** 2
    return (f"chi-square {statistic:.1f} (Pearson {pearson:.1f} × {size - 1}/{size}), {degrees} df",
            p_chi_square(statistic, degrees))


def serial_pairs(program, count, size):
    draws = first_draws(program, 2 * count, 1, size)
    cells = [0] * (size * size)
    for i in range(0, len(draws) - 1, 2):
        cells[(draws[i] - 1) * size + draws[i + 1] - 1] += 1
    statistic = chi_square(cells, [count / len(cells)] * len(cells))
    degrees = size * size - 1
    return f"chi-square {statistic:.1f}, {degrees} df", p_chi_square(statistic, degrees)


def serial_correlation(program, count):
    x = first_draws(program, count, 0, 999)
    n = len(x)
    mean = sum(x) / n
    variance = sum((v - mean) ** 2 for v in x)
    r = sum((x[i] - mean) * (x[i + 1] - mean) for i in range(n - 1)) / variance
    z = r * math.sqrt(n)
    return f"lag-1 correlation {r:+.5f}, z {z:+.2f}", math.erfc(abs(z) / math.sqrt(2))


def main():
    program, mode = sys.argv[1], sys.argv[2]
    scale = 1 if mode == "full" else 10
    checks = [
        (f"first draws over 0..999 ({1_000_000 // scale:,})", uniformity, (1_000_000 // scale, 0, 999)),
        (f"first draws over 1..75 ({1_000_000 // scale:,})", uniformity, (1_000_000 // scale, 1, 75)),
        (f"number by position, series of 1..10 ({100_000 // scale:,})", positions, (100_000 // scale, 10)),
        (f"consecutive pairs of draws over 1..10 ({500_000 // scale:,} pairs)", serial_pairs, (500_000 // scale, 10)),
        (f"serial correlation of draws over 0..999 ({1_000_000 // scale:,})", serial_correlation, (1_000_000 // scale,)),
    ]
    failed = 0
    for name, check, arguments in checks:
        figure, p = check(program, *arguments)
        verdict = "PASSED"
        if p < LEVEL:
            again, p_again = check(program, *arguments)
            figure += f", p {p:.4f}; fresh sample: {again}"
            p = p_again
            verdict = "PASSED on a fresh sample" if p >= LEVEL else "FAILED"
        failed += verdict == "FAILED"
        print(f"{name}: {figure}, p {p:.4f}: {verdict}")
    print(f"{len(checks) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
