"""The package used carelessly: work not lost to a path checked too late, wrong values refused as
BadArgument, start files and names that cannot be right refused, results that cross processes."""

import copy
import json
import pickle
from concurrent.futures import ProcessPoolExecutor

import numpy as np
import pytest

import zormix

FAMILY = "variables x, y; parameters a, b; x^2 + y^2 - a; x*y - b"


def _never_called(*args):
    raise AssertionError("the work began before the output path was checked")


def test_output_paths_are_checked_before_the_work(tmp_path):
    missing = tmp_path / "no" / "such" / "folder"
    with pytest.raises(zormix.Error, match="report file") as caught:
        zormix.solve("x^2 - 1; y - 2", report=missing / "r.roots", progress=_never_called)
    assert caught.value.id == "zormix:cannotWrite"
    with pytest.raises(zormix.Error, match="start file") as caught:
        zormix.sweep(FAMILY, values=[[5, 2]], seed=1, progress=_never_called,
                     save_start=missing / "s.json")
    assert caught.value.id == "zormix:cannotWrite"
    with pytest.raises(zormix.Error, match="start file") as caught:
        zormix.monodromy(FAMILY, seed=1, progress=_never_called, save_start=missing / "s.json")
    assert caught.value.id == "zormix:cannotWrite"
    with pytest.raises(zormix.BadArgument, match="same file"):
        zormix.solve("x^2 - 1; y - 2", report=tmp_path / "f", checkpoint=tmp_path / "f")


@pytest.mark.parametrize("call, message", [
    (lambda: zormix.solve("x - 1", route=[]), "route"),
    (lambda: zormix.sweep(FAMILY, values=[[10**400, 1]]), "is not a number"),
    (lambda: zormix.sweep(FAMILY, values=np.array([[True, False]])), "booleans"),
    (lambda: zormix.sweep(FAMILY, values=[[True, False]]), "is not a number"),
])
def test_values_that_are_no_numbers_are_bad_arguments(call, message):
    with pytest.raises(zormix.BadArgument, match=message):
        call()


def test_duplicate_names_and_edited_starts_are_refused(tmp_path):
    with pytest.raises(zormix.InvalidInput, match="both named 'x'"):
        zormix.solve(zormix.System([[[1, 0]], [[0, 1]]], [[1], [1]], ["x", "x"]))
    start = zormix.start(FAMILY, seed=2)
    document = json.loads(start.to_json())
    document["roots"][0]["multiplicity"] = -5
    (tmp_path / "s.json").write_text(json.dumps(document))
    with pytest.raises(zormix.InvalidInput, match="multiplicity -5"):
        zormix.load_start(tmp_path / "s.json")


def _solve_member(value):
    return zormix.sweep(FAMILY, values=[[value, 2]], seed=3)[0]


def test_results_pickle_copy_and_cross_processes():
    solved = zormix.solve("x^2 - 2; y^3 - x", seed=4)
    family = zormix.Family(FAMILY, parameters=["b", "a"])
    start = zormix.start(family, seed=5)
    member = zormix.sweep(family, values=[[2, 5]], start=start, seed=5)[0]
    for original in (solved, member):
        for copied in (pickle.loads(pickle.dumps(original)), copy.deepcopy(original)):
            assert type(copied) is type(original)
            assert copied.to_json() == original.to_json()
            assert copied.summary() == original.summary()
            np.testing.assert_array_equal(copied.roots, original.roots)
            assert copied.counts == original.counts
    assert pickle.loads(pickle.dumps(member)).instance == 1
    family_back = pickle.loads(pickle.dumps(family))
    assert family_back.parameters == ["b", "a"] and family_back.variables == ["x", "y"]
    start_back = pickle.loads(pickle.dumps(start))
    assert start_back.to_json() == start.to_json()
    again = zormix.sweep(family_back, values=[[2, 5]], start=start_back, seed=5)[0]
    assert again.to_json() == member.to_json()
    with ProcessPoolExecutor(max_workers=2) as pool:
        members = list(pool.map(_solve_member, [5, 6]))
    assert [m.counts["regular_count"] for m in members] == [4, 4]
    assert members[0].to_json() == _solve_member(5).to_json()
