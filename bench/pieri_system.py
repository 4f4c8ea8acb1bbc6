#!/usr/bin/env python3
"""Writes a Pieri system (the pole-placement problem with static output feedback) in PS.num format:
the m-planes X in C^(m+p) that meet mp general p-planes L_1..L_mp.

    bench/pieri_system.py M P [SEED] > pieri.num

Local coordinates: X is the column span of the (m+p) x m matrix [I_m; x] with x a p x m matrix of
unknowns (n = mp). X meets L_i when det [L_i | X] = 0. By Laplace expansion along the last m
columns, det [L_i | X] = sum over the m-row subsets S of sign(S) det L_i[rows not in S] det X[S]:
every equation is a linear combination of the maximal minors of [I_m; x] (its Pluecker
coordinates), so all equations share one support and differ only in their coefficients, which
come from random real L_i (drawn from SEED). A minor of [I_m; x] with j rows of x is, up to sign,
a j x j minor of x: a polynomial of degree j. The number of roots is the degree of the
Grassmannian G(m, m+p): 429 for (2, 7) (the system pole27sys), 1430 for (2, 8), 24024 for (4, 4).
"""
import itertools
import random
import sys


def minor_polynomial(rows, m, var):
    """det of [I_m; x] restricted to `rows` (m of the m+p row numbers), as {exponent tuple: coef}."""
    poly = {}
    for perm in itertools.permutations(range(m)):
        sign = 1
        for a in range(m):
            for b in range(a + 1, m):
                if perm[a] > perm[b]:
                    sign = -sign
        exponent = [0] * len(var)
        zero = False
        for r, c in zip(rows, perm):
            if r < m:  # identity row
                if r != c:
                    zero = True
                    break
            else:
                exponent[var[(r - m, c)]] += 1
        if zero:
            continue
        key = tuple(exponent)
        poly[key] = poly.get(key, 0) + sign
    return {k: v for k, v in poly.items() if v != 0}


def det(a):
    """Determinant by Gaussian elimination with partial pivoting (floats)."""
    a = [row[:] for row in a]
    size = len(a)
    d = 1.0
    for k in range(size):
        pivot = max(range(k, size), key=lambda i: abs(a[i][k]))
        if a[pivot][k] == 0:
            return 0.0
        if pivot != k:
            a[k], a[pivot] = a[pivot], a[k]
            d = -d
        d *= a[k][k]
        for i in range(k + 1, size):
            f = a[i][k] / a[k][k]
            for j in range(k, size):
                a[i][j] -= f * a[k][j]
    return d


def main():
    m, p = int(sys.argv[1]), int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    n = m * p
    var = {(i, j): i * m + j for i in range(p) for j in range(m)}
    subsets = list(itertools.combinations(range(m + p), m))
    minors = {s: minor_polynomial(s, m, var) for s in subsets}
    equations = []
    for _ in range(n):
        plane = [[rng.uniform(-1, 1) for _ in range(p)] for _ in range(m + p)]
        poly = {}
        for s in subsets:
            rest = [r for r in range(m + p) if r not in s]
            # Sign of the Laplace expansion along the last m columns of [L | X].
            sign = (-1) ** (sum(s) + sum(range(p, p + m)))
            coef = sign * det([plane[r] for r in rest])
            for e, v in minors[s].items():
                poly[e] = poly.get(e, 0.0) + coef * v
        equations.append(poly)
    print(n)
    for poly in equations:
        print(len(poly))
    for poly in equations:
        for e in poly:
            print(" ".join(str(v) for v in e))
    for poly in equations:
        for v in poly.values():
            print(f"({v!r},0)")
    for i in range(p):
        for j in range(m):
            print(f"x{i + 1}{j + 1}" if p < 10 and m < 10 else f"x{i + 1}_{j + 1}")


if __name__ == "__main__":
    main()
