#!/usr/bin/env python3
"""The 6R inverse-kinematics family (examples/families/six_r.txt) and poses for it.

  bench/sweep_six_r.py family            the family text (what examples/families/six_r.txt holds)
  bench/sweep_six_r.py poses N [SEED]    N reachable poses, one a line: px py pz nx ny nz ax ay az
  bench/sweep_six_r.py check             forward kinematics against the family's equations

The arm is given by its Denavit-Hartenberg table (one place: DH below). Frame i follows frame i-1
by A_i = Rz(theta_i) Tz(d_i) Tx(a_i) Rx(alpha_i); z_{i-1} is the axis of joint i. The hand pose is
its position p, its x axis n and its z axis a (the approach). The unknowns are the axes z1..z4 of
joints 2 to 5 (z1 . z0 = cos alpha_1 is z1's third component, so z1 has two unknowns): 11 in all.
"""
import math
import random
import sys

# a_i, d_i, cos alpha_i, sin alpha_i: twists with exact decimal cosines and sines (Pythagorean
# triples) and lengths with short a_i / sin alpha_i, so that the family's coefficients are short
# decimals and a pose computed here is reached by its equations to rounding.
DH = [
    (0.31, 0.42, 0.6, 0.8),
    (0.87, -0.23, 0.28, 0.96),
    (0.234, 0.61, -0.352, 0.936),
    (0.54, 0.37, 0.8, -0.6),
    (0.288, -0.48, -0.28, 0.96),
    (0.19, 0.33, 0.936, 0.352),
]
PARAMETERS = ["px", "py", "pz", "nx", "ny", "nz", "ax", "ay", "az"]


# ---- polynomials in variables and parameters: {sorted tuple of names: coefficient}

def poly(x):
    if isinstance(x, dict):
        return x
    if isinstance(x, str):
        return {(x,): 1.0}
    return {(): float(x)} if x else {}


def add(*ps):
    out = {}
    for p in ps:
        for m, c in poly(p).items():
            out[m] = out.get(m, 0.0) + c
    return {m: c for m, c in out.items() if abs(c) > 1e-15}


def mul(*ps):
    out = {(): 1.0}
    for p in ps:
        nxt = {}
        for m1, c1 in out.items():
            for m2, c2 in poly(p).items():
                m = tuple(sorted(m1 + m2))
                nxt[m] = nxt.get(m, 0.0) + c1 * c2
        out = nxt
    return add(out)


def scale(k, p):
    return mul(k, p)


def dot(u, v):
    return add(*[mul(a, b) for a, b in zip(u, v)])


def cross(u, v):
    return [add(mul(u[1], v[2]), scale(-1, mul(u[2], v[1]))),
            add(mul(u[2], v[0]), scale(-1, mul(u[0], v[2]))),
            add(mul(u[0], v[1]), scale(-1, mul(u[1], v[0])))]


def number(c):
    return "%.15g" % c


def monomial(names):
    parts, k = [], 0
    while k < len(names):
        j = k
        while j < len(names) and names[j] == names[k]:
            j += 1
        parts.append(names[k] + ("^%d" % (j - k) if j - k > 1 else ""))
        k = j
    return "*".join(parts)


def factor(c, params):
    if not params:
        return number(c)
    return {1.0: "", -1.0: "-"}.get(c, number(c) + "*") + monomial(params)


def text_of(p):
    """Terms grouped by their monomial in the unknowns; each coefficient a polynomial in the
    parameters."""
    groups = {}
    for m, c in p.items():
        unknowns = tuple(n for n in m if n not in PARAMETERS)
        params = tuple(n for n in m if n in PARAMETERS)
        groups.setdefault(unknowns, {})[params] = c
    terms = []
    for unknowns in sorted(groups, key=lambda u: (-len(u), u)):
        inner = groups[unknowns]
        coef = " + ".join(factor(c, params) for params, c in sorted(inner.items()))
        coef = coef.replace("+ -", "- ")
        if unknowns:
            simple = len(inner) == 1 and () in inner
            unit = coef == "1" and simple
            terms.append(monomial(unknowns) if unit else ("%s*%s" % (coef, monomial(unknowns)))
                         if simple else
                         "(%s)*%s" % (coef, monomial(unknowns)))
        else:
            terms.append("(%s)" % coef if len(inner) > 1 else coef)
    return " + ".join(terms).replace("+ -", "- ")


# ---- the family

def family_equations():
    c = [row[2] for row in DH]
    s = [row[3] for row in DH]
    a = [row[0] for row in DH]
    d = [row[1] for row in DH]
    z0 = [0.0, 0.0, 1.0]
    z = [z0, ["z1x", "z1y", c[0]]] + [["z%d%s" % (k, w) for w in "xyz"] for k in (2, 3, 4)]
    n = ["nx", "ny", "nz"]
    approach = ["ax", "ay", "az"]
    # The axis of joint 6 from the hand's: z5 = cos(alpha_6) a + sin(alpha_6) (a x n).
    z5 = [add(scale(c[5], approach[k]), scale(s[5], cross(approach, n)[k])) for k in range(3)]
    z.append(z5)
    equations = [add(mul("z1x", "z1x"), mul("z1y", "z1y"), -s[0] ** 2)]
    equations += [add(dot(z[k], z[k]), -1.0) for k in (2, 3, 4)]
    equations += [add(dot(z[k - 1], z[k]), -c[k - 1]) for k in (2, 3, 4, 5)]
    # p = sum_i d_i z_{i-1} + a_i x_i, x_i = z_{i-1} x z_i / sin(alpha_i) (i = 1..5), x_6 = n.
    for w in range(3):
        terms = [scale(d[i], z[i][w]) for i in range(6)]
        terms += [scale(a[i] / s[i], cross(z[i], z[i + 1])[w]) for i in range(5)]
        terms += [scale(a[5], n[w]), scale(-1, ["px", "py", "pz"][w])]
        equations.append(add(*terms))
    return equations


HEADER = """\
# Inverse kinematics of a general 6R serial arm: every set of joint angles that puts the hand at
# a given pose. A general 6R arm reaches a general pose in 16 ways (Tsai and Morgan 1985 found 16
# by continuation; Lee and Liang 1988 and Raghavan and Roth 1993 proved 16 is the generic count).
# Written, as in Sommese and Wampler (The Numerical Solution of Systems of Polynomials Arising in
# Engineering and Science, 2005), in the unit vectors of the joint axes: z_{i-1} is the axis of
# joint i, consecutive axes keep their twist (z_{i-1} . z_i = cos alpha_i) and the position closes
# the chain, p = sum_i d_i z_{i-1} + a_i x_i with the common normals x_i = z_{i-1} x z_i / sin
# alpha_i (i = 1..5) and x_6 = n. The base axis z0 = (0, 0, 1) is fixed; the hand's x axis n and
# approach a give the axis of joint 6, z5 = cos(alpha_6) a + sin(alpha_6) (a x n). Unknowns: the
# axes z1..z4 of joints 2 to 5 (z1's third component is cos alpha_1): 11. A solution's joint
# angles follow from consecutive common normals. Parameters: the pose (p, n, a).
# Denavit-Hartenberg table (a_i, d_i, cos alpha_i, sin alpha_i), made by bench/sweep_six_r.py:
"""


def family_text():
    lines = [HEADER.rstrip("\n")]
    for i, (a, d, c, s) in enumerate(DH):
        lines.append("#   joint %d: a = %g, d = %g, cos = %g, sin = %g" % (i + 1, a, d, c, s))
    lines.append("variables z1x, z1y, z2x, z2y, z2z, z3x, z3y, z3z, z4x, z4y, z4z;")
    lines.append("parameters %s;" % ", ".join(PARAMETERS))
    lines += [text_of(e) + ";" for e in family_equations()]
    return "\n".join(lines) + "\n"


# ---- forward kinematics

def matmul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(4)) for j in range(4)] for i in range(4)]


def link(theta, a, d, c, s):
    ct, st = math.cos(theta), math.sin(theta)
    return [[ct, -st * c, st * s, a * ct], [st, ct * c, -ct * s, a * st], [0, s, c, d],
            [0, 0, 0, 1]]


def frames(angles):
    t = [[float(i == j) for j in range(4)] for i in range(4)]
    out = [t]
    for theta, (a, d, c, s) in zip(angles, DH):
        t = matmul(t, link(theta, a, d, c, s))
        out.append(t)
    return out


def pose(angles):
    hand = frames(angles)[-1]
    return [hand[k][3] for k in range(3)] + [hand[k][0] for k in range(3)] + \
        [hand[k][2] for k in range(3)]


def evaluate(p, values):
    total = 0.0
    for m, c in p.items():
        term = c
        for name in m:
            term *= values[name]
        total += term
    return total


def check():
    rng = random.Random(7)
    worst = 0.0
    for _ in range(20):
        angles = [rng.uniform(-math.pi, math.pi) for _ in range(6)]
        f = frames(angles)
        values = dict(zip(PARAMETERS, pose(angles)))
        for k in (1, 2, 3, 4):
            for w, axis in enumerate("xyz"):
                values["z%d%s" % (k, axis)] = f[k][w][2]
        worst = max([worst] + [abs(evaluate(e, values)) for e in family_equations()])
    print("largest residual of the family at 20 poses from their joint axes: %.1e" % worst)
    return worst < 1e-12


def main():
    if len(sys.argv) >= 2 and sys.argv[1] == "family":
        sys.stdout.write(family_text())
    elif len(sys.argv) >= 3 and sys.argv[1] == "poses":
        rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
        for _ in range(int(sys.argv[2])):
            angles = [rng.uniform(-math.pi, math.pi) for _ in range(6)]
            print(" ".join("%.17g" % v for v in pose(angles)))
    elif len(sys.argv) == 2 and sys.argv[1] == "check":
        sys.exit(0 if check() else 1)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
