"""analyse() gives the numbers, files and console text of the tarvex program for the same
images and options."""
import numpy as np
import pytest

import tarvex

CALCULATING = "\nCalculating TARVEX, please wait .....\n"

# Command-line options and the same analysis as keywords.
CASES = {
    "default": ([], {}),
    "gauss3 meansub": (["-subpix", "gauss3", "-meansub"], dict(subpix="gauss3", meansub=True)),
    "two-pass": (["-i"], dict(two_pass=True)),
    "two-pass gauss3 median smooth": (
        ["-i", "-subpix", "gauss3", "-meansub", "-MVOcheck", "0.5", "-s"],
        dict(two_pass=True, subpix="gauss3", meansub=True, median=0.5, smooth=True)),
    "all checks on two threads": (
        ["-MinRho", "0.3", "-MaxVelRat", "0.25", "-GHcheck", "2", "-MVOcheck", "0.8",
         "-DMVOcheck", "1.5", "0.5", "-j", "2"],
        dict(min_rho=0.3, max_velocity_ratio=0.25, global_histogram=2, median=0.8,
             dynamic_mean=(1.5, 0.5), threads=2)),
    "deformation": (["-deform", "2"], dict(deform=2)),
    "deformation, larger first window, median, smooth, two threads": (
        ["-deform", "3", "-dft0", "64", "-MVOcheck", "0.5", "-s", "-j", "2"],
        dict(deform=3, first_window=64, median=0.5, smooth=True, threads=2)),
}


def dpiv_columns(path):
    """The records of a DPIV file as text columns: flag, x, y, U, V, peak."""
    lines = path.read_text().splitlines()[12:]
    return [line.split("\t") for line in lines]


@pytest.mark.parametrize("case", CASES)
def test_square_windows_match_the_command_line(vortex_pair, tmp_path, monkeypatch, case):
    options, keywords = CASES[case]
    out = vortex_pair.tarvex("-dft", "32", "-gspac", "16", "16", "-tec", "pair", *options)
    a, b = tarvex.read_pair_file(tmp_path / "pair.b16", images=(1, 2))
    field = tarvex.analyse(a, b, window=32, spacing=16, **keywords)

    # The DPIV file's numbers are the arrays' numbers, printed as tarvex prints them.
    records = dpiv_columns(tmp_path / "pair.dpiv")
    assert field.shape == (7, 9) and len(records) == 63
    flat = {name: getattr(field, name).ravel() for name in ("flag", "x", "y", "u", "v", "peak")}
    for k, record in enumerate(records):
        assert record[0] == str(int(flat["flag"][k]))
        assert record[1:5] == ["%e" % flat[c][k] for c in ("x", "y", "u", "v")]
        assert record[5] == "%.3f" % flat["peak"][k]

    # The files written from Python are the program's, byte for byte (the title names the
    # file as given, so both are written under the same relative name).
    (tmp_path / "py").mkdir()
    monkeypatch.chdir(tmp_path / "py")
    field.write_dpiv("pair.dpiv")
    field.write_tecplot("pair.plt")
    assert (tmp_path / "py/pair.dpiv").read_bytes() == (tmp_path / "pair.dpiv").read_bytes()
    assert (tmp_path / "py/pair.plt").read_bytes() == (tmp_path / "pair.plt").read_bytes()

    # The log is the program's text between the start of the calculation and the files.
    start = out.index(CALCULATING) + len(CALCULATING)
    assert field.log == out[start:out.index("Writing out tecplot file")]
    assert field.smoothed == ("smooth" in keywords)


def test_rectangular_windows_and_spacing_match_the_command_line(vortex_pair, tmp_path):
    vortex_pair.tarvex("-dft", "32x16", "-gspac", "24", "12", "-subpix", "gauss3")
    a, b = tarvex.read_pair_file(tmp_path / "pair.b16")
    field = tarvex.analyse(a, b, window=(32, 16), spacing=(24, 12), subpix="gauss3")
    assert field.shape == ((128 - 16) // 12 + 1, (160 - 32) // 24 + 1)
    assert field.window == (32, 16)
    read = tarvex.read_dpiv(tmp_path / "pair.dpiv")
    assert read.shape == field.shape
    assert np.array_equal(read.flag, field.flag)
    assert np.array_equal(read.x, field.x) and np.array_equal(read.y, field.y)
    # The file keeps seven significant digits of the single-precision values.
    assert np.allclose(read.u, field.u, rtol=1e-6, atol=1e-9)
    assert np.allclose(read.v, field.v, rtol=1e-6, atol=1e-9)
    # Window centres: a 32-px window at x covers x - 15 .. x + 16, a 16-px one y - 7 .. y + 8.
    assert field.xc[0, 0] == field.x[0, 0] + 0.5 == 15.5
    assert field.yc[0, 0] == field.y[0, 0] + 0.5 == 7.5


def test_nothing_is_printed_on_standard_output(capfd):
    (a, b), _ = tarvex.synth(size=(96, 96), dx=1.25)
    field = tarvex.analyse(a, b, window=32, spacing=16, median=1.0, two_pass=True, smooth=True)
    captured = capfd.readouterr()
    assert captured.out == "" and captured.err == ""
    assert "Median Value Operator Check Result" in field.log
