#!/usr/bin/env python3
"""Writes the benchmark families of the census as polynomial text: cyclic-n, katsura-n, noon-n and
eco-n, one file each in systems/families/ (or the folder given). The first line of each file is a
comment with the family's published Bezout number, mixed volume (origin added to every support) and
root count, which `zormix --mixed-volume` and the census check against.

    tests/census/generate_families.py [FOLDER]

The files are committed; run this again only to add a size or to check that they are unchanged.
"""

import math
import pathlib
import sys

# Sizes in the census: every one the solver finishes in seconds to minutes on one thread.
SIZES = {
    "cyclic": [5, 6, 7, 8, 9],
    "katsura": [6, 8, 10],
    "noon": [5, 6, 7],
    "eco": [6, 8, 10],
}

# Published mixed volumes of cyclic-n with the origin added to every support.
CYCLIC_MIXED_VOLUME = {5: 70, 6: 156, 7: 924, 8: 2560, 9: 11016}
CYCLIC_ROOTS = {
    5: "70 regular roots",
    6: "156 regular roots",
    7: "924 regular roots",
    8: "1152 regular roots and 1-dimensional components",
    9: "5994 regular roots, 162 roots of multiplicity 4 and positive-dimensional components",
}


def names(n):
    return [f"x{i + 1}" for i in range(n)]


def cyclic(n):
    """for k = 1..n-1: sum_i prod_{j<k} x_{(i+j) mod n} = 0; and x_1...x_n - 1 = 0."""
    xs = names(n)
    equations = [
        " + ".join("*".join(xs[(i + j) % n] for j in range(k)) for i in range(n)) for k in range(1, n)
    ]
    equations.append("*".join(xs) + " - 1")
    header = (f"cyclic-{n}: Bezout {math.factorial(n)}, mixed volume {CYCLIC_MIXED_VOLUME[n]}, "
              f"{CYCLIC_ROOTS[n]}")
    return header, xs, equations


def katsura(n):
    """Unknowns u_0..u_n with u_{-m} = u_m and u_m = 0 for m > n:
    for m = 0..n-1: sum_{l=-n}^{n} u_l u_{m-l} - u_m = 0; and sum_{l=-n}^{n} u_l - 1 = 0."""
    xs = names(n + 1)

    def u(m):
        return xs[abs(m)] if abs(m) <= n else None

    equations = []
    for m in range(n):
        terms = [f"{u(l)}*{u(m - l)}" for l in range(-n, n + 1) if u(l) and u(m - l)]
        equations.append(" + ".join(terms) + f" - {xs[m]}")
    equations.append(" + ".join([xs[0]] + [f"2*{x}" for x in xs[1:]]) + " - 1")
    header = f"katsura-{n}: Bezout {2**n}, mixed volume {2**n}, {2**n} regular roots"
    return header, xs, equations


def noon(n):
    """x_i sum_{j != i} x_j^2 - 1.1 x_i + 1 = 0 for i = 1..n."""
    xs = names(n)
    equations = [
        f"{xs[i]}*(" + " + ".join(f"{xs[j]}^2" for j in range(n) if j != i) + f") - 1.1*{xs[i]} + 1"
        for i in range(n)
    ]
    roots = 3**n - 2 * n
    header = f"noon-{n}: Bezout {3**n}, mixed volume {roots}, {roots} regular roots"
    return header, xs, equations


def eco(n):
    """for k = 1..n-1: (x_k + sum_{i=1}^{n-k-1} x_i x_{i+k}) x_n - k = 0; and sum_{i<n} x_i + 1 = 0."""
    xs = names(n)
    equations = []
    for k in range(1, n):
        inner = " + ".join([xs[k - 1]] + [f"{xs[i - 1]}*{xs[i + k - 1]}" for i in range(1, n - k)])
        equations.append(f"({inner})*{xs[n - 1]} - {k}")
    equations.append(" + ".join(xs[: n - 1]) + " + 1")
    roots = 2 ** (n - 2)
    header = f"eco-{n}: Bezout {2 * 3 ** (n - 2)}, mixed volume {roots}, {roots} regular roots"
    return header, xs, equations


FAMILIES = {"cyclic": cyclic, "katsura": katsura, "noon": noon, "eco": eco}


def text(header, xs, equations):
    lines = [f"# {header}", "variables " + ", ".join(xs) + ";"]
    lines += [equation + ";" for equation in equations]
    return "\n".join(lines) + "\n"


def main():
    here = pathlib.Path(__file__).resolve().parent
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else here / "systems" / "families"
    folder.mkdir(parents=True, exist_ok=True)
    for family, sizes in SIZES.items():
        for n in sizes:
            (folder / f"{family}{n}.txt").write_text(text(*FAMILIES[family](n)))


if __name__ == "__main__":
    main()
