"""Reading and writing systems, and errors as zormix.Error subclasses."""

import numpy as np
import pytest

import zormix
from conftest import REPOSITORY


def test_written_systems_read_back_equal(tmp_path):
    system = zormix.System.from_text("variables u, v; 2.5e-3 u^3 v + (1, -2) v - 7; u v - 1e5")
    for name in ("s.num", "s.txt"):
        zormix.write_system(system, tmp_path / name)
        assert zormix.read_system(tmp_path / name) == system
    assert (tmp_path / "s.num").read_text().startswith("2\n")
    assert zormix.read_system(tmp_path / "s.txt", format="text").variables == ["u", "v"]
    exps, coefs = system.equations[0]
    assert exps.tolist() == [[3, 1], [0, 1], [0, 0]]
    np.testing.assert_array_equal(coefs, [2.5e-3, 1 - 2j, -7])


def test_reads_the_example_ps_num():
    system = zormix.read_system(REPOSITORY / "examples" / "PS.num")
    assert system.n > 0 and len(system.equations) == system.n


@pytest.mark.parametrize("text, where", [
    ("x^2 + ; y - 1", "1:"),       # syntax: position in the message
    ("x^2 + y^2 - 1", "square"),  # one equation in two variables
])
def test_invalid_input(text, where):
    with pytest.raises(zormix.InvalidInput) as caught:
        zormix.solve(text)
    assert caught.value.id == "zormix:invalidInput" and where in str(caught.value)
    assert isinstance(caught.value, ValueError) and isinstance(caught.value, zormix.Error)


@pytest.mark.parametrize("kwargs", [
    {"route": "homotopy"}, {"seed": -1}, {"seed": 2**64}, {"seed": 1.5}, {"threads": -1},
    {"threads": True}, {"threads": 10**6}, {"progress": 3},
])
def test_bad_arguments(kwargs):
    with pytest.raises(zormix.BadArgument) as caught:
        zormix.solve("x - 1", **kwargs)
    assert caught.value.id == "zormix:badArgument"


@pytest.mark.parametrize("exponents, coefficients", [
    ([[[1.5]]], [[1]]),              # exponent not an integer
    ([[[-1]]], [[1]]),               # negative exponent
    ([[[1, 0]]], [[1]]),             # wrong width
    ([[[1], [0]]], [[1]]),           # one coefficient for two terms
    ([[[1]]], [["a"]]),              # not a number
])
def test_bad_arrays(exponents, coefficients):
    with pytest.raises(zormix.BadArgument):
        zormix.System(exponents, coefficients)


def test_names_longer_than_the_solver_keeps_are_refused():
    # Cut to 20 characters, these two would become one variable.
    names = ["a_rather_long_name_of_x", "a_rather_long_name_of_y"]
    with pytest.raises(zormix.BadArgument, match="1 to 20 characters"):
        zormix.System([[[1, 0]], [[0, 1]]], [[1], [1]], names)


def test_missing_file_and_checkpoint_mismatch(tmp_path):
    with pytest.raises(zormix.InvalidInput, match="cannot open"):
        zormix.read_system(tmp_path / "missing.txt")
    checkpoint = tmp_path / "paths.ckpt"
    zormix.solve("x^2 - 2; y - x", seed=1, checkpoint=checkpoint)
    with pytest.raises(zormix.Checkpoint) as caught:
        zormix.solve("x^3 - 2; y - x", seed=1, checkpoint=checkpoint)
    assert caught.value.id == "zormix:checkpoint"


def test_report_file_is_written_only_when_asked(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    zormix.solve("x - 1", seed=1)
    assert not (tmp_path / "data.roots").exists()
    zormix.solve("x - 1", seed=1, report=tmp_path / "r.roots")
    assert (tmp_path / "r.roots").stat().st_size > 0


def test_unknown_identifiers_keep_their_id():
    error = zormix._errors.make_error("zormix:somethingNew", "text")
    assert type(error) is zormix.Error and error.id == "zormix:somethingNew"
    assert isinstance(zormix._errors.make_error("zormix:outOfMemory", "x"), MemoryError)
