"""Forward kinematics of a planar 3-RPR robot along a trajectory, by one sweep.

The robot's moving triangle has joints B1 = (0, 0), B2 = (4, 0), B3 = (1.5, 3) in its own frame;
legs of squared lengths L1, L2, L3 tie them to the base joints A1 = (0, 0), A2 = (10, 0),
A3 = (5, 8). The pose is the position (x, y) of B1 and the rotation [c -s; s c]. Given the leg
lengths, the forward kinematics has up to 6 complex poses, some of them real.

The script moves the triangle along a closed trajectory, takes the leg lengths of each pose
(inverse kinematics is explicit), solves the family once at random complex parameters, sweeps all
the members, keeps the real poses, checks that the pose the lengths came from is among them, and
plots the real poses when matplotlib is installed:

    python3 planar_robot.py [--poses 1000] [--seed 1] [--plot poses.png]
"""

import argparse
import sys
import time
from pathlib import Path

import numpy as np

import zormix

FAMILY = """
variables x, y, c, s;
parameters L1, L2, L3;
x^2 + y^2 - L1;
(x + 4*c - 10)^2 + (y + 4*s)^2 - L2;
(x + 1.5*c - 3*s - 5)^2 + (y + 1.5*s + 3*c - 8)^2 - L3;
c^2 + s^2 - 1;
"""
BASE = np.array([[0.0, 0.0], [10.0, 0.0], [5.0, 8.0]])
PLATFORM = np.array([[0.0, 0.0], [4.0, 0.0], [1.5, 3.0]])


def trajectory(count):
    """Poses (x, y, angle) on a closed loop inside the base triangle, away from the singular
    poses (where two real poses meet; a loop reaching x = 4.5 passes near one)."""
    t = np.linspace(0.0, 2.0 * np.pi, count, endpoint=False)
    return np.column_stack([2.8 + 1.2 * np.cos(t), 2.0 + np.sin(2 * t), 0.3 * np.sin(t)])


def leg_lengths(poses):
    """Squared leg lengths of each pose: |(x, y) + R(angle) B_k - A_k|^2."""
    x, y, angle = poses.T
    c, s = np.cos(angle), np.sin(angle)
    lengths = []
    for (ax, ay), (bx, by) in zip(BASE, PLATFORM):
        lengths.append((x + c * bx - s * by - ax) ** 2 + (y + s * bx + c * by - ay) ** 2)
    return np.column_stack(lengths)


def real_poses(result, tolerance=1e-8):
    """The real poses among a member's regular roots, as (x, y, angle)."""
    roots = result.regular
    real = roots[np.all(np.abs(roots.imag) <= tolerance * (1 + np.abs(roots.real)), axis=1)].real
    return np.column_stack([real[:, 0], real[:, 1], np.arctan2(real[:, 3], real[:, 2])])


def main(argv=None):
    options = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    options.add_argument("--poses", type=int, default=1000)
    options.add_argument("--seed", type=int, default=1)
    options.add_argument("--plot", default="planar_robot.png", help="image file of the plot")
    options.add_argument("--no-plot", action="store_true")
    args = options.parse_args(argv)

    family = zormix.Family(FAMILY)
    one = zormix.solve(family.at([25, 45, 20]), seed=args.seed)
    print(f"one member: {len(one.regular)} poses, {int(one.is_real.sum())} real")

    poses = trajectory(args.poses)
    began = time.perf_counter()
    results = zormix.sweep(family, None, leg_lengths(poses), seed=args.seed)
    seconds = time.perf_counter() - began
    real = [real_poses(r) for r in results]
    found = [np.any(np.all(np.abs(r - pose) < 1e-6, axis=1)) for r, pose in zip(real, poses)]
    # Near a singular pose two real poses meet: the solver reports a singular root there.
    singular = [result.counts["singular_count"] > 0 for result in results]
    print(f"sweep: {len(results)} members in {seconds:.2f} s, "
          f"{sum(len(r) for r in real)} real poses, the given pose among them in {sum(found)}, "
          f"{sum(singular)} members at a singular pose")
    if not all(f or s for f, s in zip(found, singular)):
        return 1
    if not args.no_plot:
        plot(poses, real, args.plot)
    return 0


def plot(poses, real, path):
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return
    figure, axes = plt.subplots(figsize=(6, 6))
    others = np.vstack(real)
    axes.plot(others[:, 0], others[:, 1], ".", markersize=2, label="real poses (x, y)")
    axes.plot(poses[:, 0], poses[:, 1], "-", linewidth=1, label="trajectory")
    axes.plot(*BASE[[0, 1, 2, 0]].T, "k-", label="base")
    axes.set_aspect("equal")
    axes.legend()
    figure.savefig(path, dpi=120)
    print(f"plot: {Path(path).resolve()}")


if __name__ == "__main__":
    sys.exit(main())
