#!/usr/bin/env python3
"""Tests of the census runner against a stand-in for zormix: a script that writes, as its JSON
result, the document held in the system file (with the seed put in), or fails as told."""

import io
import json
import os
import pathlib
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import census  # noqa: E402

FAKE_ZORMIX = f"""#!{sys.executable}
import json, os, sys, time
args = sys.argv[1:]
system = json.load(open(args[1]))
seed = int(args[args.index("--seed") + 1])
route = args[args.index("--route") + 1]
if "sleep" in system:
    open(system["pid_file"], "w").write(str(os.getpid()))
    time.sleep(system["sleep"])
if "exit" in system:
    sys.stderr.write("zormix: the solver failed\\n")
    sys.exit(system["exit"])
result = dict(system["result"])
result.update(system.get("by_seed", {{}}).get(str(seed), {{}}))
result["summary"] = f"{{result['regular_count']}} regular roots · seed {{seed}}"
result["route"] = route
json.dump(result, open(args[args.index("--json") + 1], "w"))
"""


def result(regular=3, singular_points=1, singular_paths=2, on_sets=0, infinity=1, failed=0):
    """A result of regular + singular_paths + on_sets + infinity + failed paths."""
    roots = [{"status": "regular", "multiplicity": 1, "group_leader": i, "local_dimension": 0}
             for i in range(regular)]
    for point in range(singular_points):
        leader = len(roots)
        size = singular_paths // singular_points
        roots += [{"status": "singular", "multiplicity": size, "group_leader": leader,
                   "local_dimension": 0} for _ in range(size)]
    roots += [{"status": "positive-dimensional", "multiplicity": 1, "group_leader": len(roots) + i,
               "local_dimension": 1} for i in range(on_sets)]
    return {
        "path_count": regular + singular_paths + on_sets + infinity + failed,
        "regular_count": regular, "real_regular_count": 1,
        "singular_count": singular_points, "singular_end_point_count": singular_paths,
        "positive_dimensional_count": on_sets, "at_infinity_count": infinity,
        "failed_count": failed, "roots": roots,
        "at_infinity_paths": [{"status": "diverged"}] * infinity,
        "lost_paths": [{"status": "step_underflow"}] * failed,
    }


def state(pid):
    """The state letter of a process in /proc, or "" once it is gone."""
    try:
        return pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except OSError:
        return ""


class CensusTest(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="census-test-"))
        self.zormix = self.folder / "zormix"
        self.zormix.write_text(FAKE_ZORMIX)
        self.zormix.chmod(self.zormix.stat().st_mode | stat.S_IXUSR)
        (self.folder / "systems").mkdir()
        self.plan = self.folder / "plan.txt"
        self.expected = self.folder / "expected.json"

    def tearDown(self):
        for path in sorted(self.folder.rglob("*"), reverse=True):
            path.rmdir() if path.is_dir() else path.unlink()
        self.folder.rmdir()

    def system(self, name, **document):
        (self.folder / "systems" / f"{name}.txt").write_text(json.dumps(document))

    def census(self, *arguments):
        out = io.StringIO()
        code = census.main(["--zormix", str(self.zormix), "--plan", str(self.plan),
                            "--expected", str(self.expected), "--systems",
                            str(self.folder / "systems"), "--jobs", "3", *arguments], out)
        return code, out.getvalue()

    def test_recorded_values_pass_and_a_changed_count_is_named_in_the_table(self):
        self.plan.write_text("alpha polyhedral one ci 1\nalpha total-degree two ci 1\n")
        self.system("alpha", result=result())
        self.assertEqual(self.census("--update")[0], 0)
        self.assertEqual(self.census()[0], 0)
        recorded = json.loads(self.expected.read_text())
        self.assertEqual(sorted(recorded), [f"alpha {route} {seed}" for route in
                                            ("polyhedral", "total-degree") for seed in (1, 2, 3)])
        self.assertEqual(recorded["alpha polyhedral 2"]["singular_multiplicities"], {"2": 1})

        # Seed 2 loses a regular root to a failed path: both counts and the split are named.
        self.system("alpha", result=result(),
                    by_seed={"2": {"regular_count": 2, "failed_count": 1,
                                   "lost_paths": [{"status": "refused_at_target"}]}})
        code, out = self.census("--group", "two")
        self.assertEqual(code, 1)
        table = out[out.index("system  "):].splitlines()
        self.assertEqual(table[0].split(), ["system", "route", "seed", "key", "expected", "got"])
        rows = [line.split() for line in table[1:]]
        self.assertIn(["alpha", "total-degree", "2", "regular_count", "3", "2"], rows)
        self.assertIn(["alpha", "total-degree", "2", "failed_count", "0", "1"], rows)
        self.assertIn(["alpha", "total-degree", "2", "failed_by_status", "{}",
                       "refused_at_target:1"], rows)
        self.assertFalse(any(row[1] == "polyhedral" or row[2] != "2" for row in rows))

    def test_update_keeps_the_runs_not_made_and_refuses_a_result_that_loses_paths(self):
        self.plan.write_text("alpha polyhedral one ci 1\nbeta polyhedral two ci 1\n")
        self.system("alpha", result=result())
        self.system("beta", result=result(regular=5))
        self.assertEqual(self.census("--update")[0], 0)
        # A path counted nowhere: the classes sum to one less than the paths.
        broken = dict(result(regular=4), path_count=result(regular=4)["path_count"] + 1)
        self.system("beta", result=broken)
        code, out = self.census("--update", "--group", "two")
        self.assertEqual(code, 1)
        self.assertIn("accounting", out)
        recorded = json.loads(self.expected.read_text())
        self.assertEqual(recorded["beta polyhedral 1"]["regular_count"], 5)
        self.assertIn("alpha polyhedral 3", recorded)

    def test_listed_paths_and_roots_must_agree_with_the_counts(self):
        self.plan.write_text("alpha polyhedral one ci 1\n")
        inconsistent = result(failed=2)
        inconsistent["lost_paths"] = inconsistent["lost_paths"][:1]
        inconsistent["roots"] = inconsistent["roots"][:-1]  # one singular end point missing
        self.system("alpha", result=inconsistent)
        code, out = self.census("--update")
        self.assertEqual(code, 1)
        self.assertIn("len(lost_paths) = 1", out)
        self.assertIn("singular roots listed = 1", out)

    def test_a_solver_failure_or_a_missing_entry_fails(self):
        self.plan.write_text("alpha polyhedral one ci 1\n")
        self.system("alpha", exit=4)
        code, out = self.census("--update", "--seeds", "1")
        self.assertEqual(code, 1)
        self.assertIn("exit code 4: zormix: the solver failed", out)
        self.assertFalse(self.expected.exists())
        self.system("alpha", result=result())
        code, out = self.census("--seeds", "1")
        self.assertEqual(code, 1)
        self.assertIn("run --update to record it", out)

    def test_pairs_marked_full_run_only_in_the_full_census(self):
        self.plan.write_text("alpha polyhedral one ci 1\n# slow\nalpha total-degree one full 1\n")
        self.system("alpha", result=result())
        code, out = self.census("--update")
        self.assertEqual(code, 0)
        self.assertNotIn("total-degree", self.expected.read_text())
        self.assertIn("census: 3 runs", out)
        code, out = self.census("--update", "--full")
        self.assertIn("census: 6 runs", out)
        self.assertIn("alpha total-degree 3", self.expected.read_text())

    def test_a_stopped_census_stops_its_solves(self):
        self.plan.write_text("alpha polyhedral one ci 1\n")
        pid_file = self.folder / "pid"
        self.system("alpha", sleep=60, pid_file=str(pid_file), result=result())
        runner = subprocess.Popen(
            [sys.executable, census.__file__, "--zormix", str(self.zormix), "--plan",
             str(self.plan), "--expected", str(self.expected), "--systems",
             str(self.folder / "systems")], stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while not pid_file.exists() or not pid_file.read_text():
            self.assertLess(time.monotonic(), deadline, "the solve did not start")
            time.sleep(0.05)
        solve = int(pid_file.read_text())
        runner.send_signal(signal.SIGTERM)
        self.assertNotEqual(runner.wait(timeout=30), 0)
        # The solve is gone (killed and reaped) instead of sleeping on, and no other seed started.
        while os.path.exists(f"/proc/{solve}") and "Z" not in state(solve):
            self.assertLess(time.monotonic(), deadline, "the solve outlived the census")
            time.sleep(0.05)
        self.assertEqual(int(pid_file.read_text()), solve)

    def test_a_faulty_plan_is_refused_with_its_line(self):
        for plan, message in (("alpha polyhedral one\n", "plan.txt:1: expected"),
                              ("\nalpha homotopy one ci 1\n", "plan.txt:2: route 'homotopy'"),
                              ("alpha polyhedral one nightly 1\n", "mode 'nightly'"),
                              ("alpha polyhedral a ci 1\nalpha polyhedral b ci 1\n", "listed twice"),
                              ("gamma polyhedral one ci 1\n", "no system file for gamma")):
            self.plan.write_text(plan)
            self.system("alpha", result=result())
            code, out = self.census()
            self.assertEqual(code, 2, plan)
            self.assertIn(message, out)


if __name__ == "__main__":
    unittest.main()
