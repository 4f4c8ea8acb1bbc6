#!/usr/bin/env python3
"""Writes the supports of a PS.num system, with the origin added to every equation that lacks it
(as the solver's normal form does), as input for `gfan _mixedvolume` (all coefficients 1), or with
--phc as a system file for `phc -m` (MixedVol, DEMiCs):
    bench/gfan_supports.py SYSTEM.num | gfan _mixedvolume
    bench/gfan_supports.py SYSTEM.num --phc > system.phc
"""
import sys


def main():
    tokens = open(sys.argv[1]).read().split()
    n = int(tokens[0])
    counts = [int(t) for t in tokens[1:1 + n]]
    at = 1 + n
    # gfan's parser takes a letter and digits as one name only up to one digit: name by letters.
    letters = "abcdefghijklmnopqrstuvwxyz"
    name = [letters[k] if n <= 26 else letters[k // 26] + letters[k % 26] for k in range(n)]
    phc = "--phc" in sys.argv[2:]
    if phc:
        name = [f"x{k + 1}" for k in range(n)]
    polys = []
    for c in counts:
        terms = []
        for _ in range(c):
            terms.append(tuple(int(t) for t in tokens[at:at + n]))
            at += n
        if (0,) * n not in terms:
            terms.append((0,) * n)
        monomials = []
        for e in terms:
            factors = [f"{name[k]}^{a}" if a > 1 else name[k] for k, a in enumerate(e) if a]
            monomials.append("*".join(factors) if factors else "1")
        polys.append("+".join(monomials))
    if phc:
        print(n)
        for poly in polys:
            print(poly.replace("^", "**") + ";")
        return
    ring = ",".join(name)
    print(f"Q[{ring}]{{{','.join(polys)}}}")


if __name__ == "__main__":
    main()
