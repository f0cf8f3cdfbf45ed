"""The NetCDF files of pivstats and pivexport read back by Python's own readers: the worked
example of docs/series-results.md runs as printed (its commands, then its xarray example, whose printed lines
it shows), and the statistics agree with numpy's over the series file read through netCDF4."""
import os
import pathlib
import re
import subprocess
import sys

import netCDF4
import numpy as np
import pytest

BIN_DIR = pathlib.Path(os.environ.get("TARVEX_BIN_DIR", "build/bin")).resolve()
SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]


def worked_example_section():
    page = (SOURCE_DIR / "docs" / "series-results.md").read_text()
    start = page.index("## A worked example")
    return page[start:page.index("\n## ", start + 1)]


@pytest.fixture(scope="module")
def worked_example(tmp_path_factory):
    """The directory after the worked example's commands, run as printed with the built programs."""
    section = worked_example_section()
    commands = re.search(r"```sh\n(.*?)```", section, re.S).group(1)
    directory = tmp_path_factory.mktemp("series")
    env = dict(os.environ, PATH=f"{BIN_DIR}:{os.environ['PATH']}")
    result = subprocess.run(["bash", "-euo", "pipefail", "-c", commands], cwd=directory, env=env,
                            capture_output=True, text=True, timeout=600)
    assert result.returncode == 0, result.stderr
    printed = re.search(r"prints, after pivsynth's line,\n\n```text\n(.*?)```", section, re.S).group(1)
    lines = result.stdout.splitlines()
    assert lines[1:1 + len(printed.splitlines())] == printed.splitlines()
    return directory


def test_the_worked_example_writes_what_it_shows(worked_example):
    for name in ["stats.nc", "stats.plt", "series.nc", "mean.png", "u_std.png"]:
        assert (worked_example / name).stat().st_size > 0, name
    header = subprocess.run(["ncdump", "-h", "stats.nc"], cwd=worked_example, capture_output=True,
                            text=True, check=True).stdout
    assert ':Conventions = "CF-1.8" ;' in header
    assert 'u_std:units = "mm s-1" ;' in header


def test_the_xarray_example_prints_what_it_shows(worked_example):
    section = worked_example_section()
    code = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    shown = re.search(r"```python\n.*?```\n\n```text\n(.*?)```", section, re.S).group(1)
    result = subprocess.run([sys.executable, "-c", code], cwd=worked_example, capture_output=True,
                            text=True, timeout=300)
    assert result.returncode == 0, result.stderr
    assert result.stdout == shown


def test_statistics_agree_with_numpy_over_the_series_file(worked_example):
    with netCDF4.Dataset(worked_example / "series.nc") as series, \
            netCDF4.Dataset(worked_example / "stats.nc") as stats:
        flag = series["flag"][:]
        u = np.ma.masked_where(flag != 1, series["u"][:]).astype(float)
        v = np.ma.masked_where(flag != 1, series["v"][:]).astype(float)
        n = np.ma.count(u, axis=0)
        assert (stats["n_valid"][:] == n).all()
        mean_u = u.mean(axis=0)
        # Single-precision values in the series file, double in the statistics.
        assert np.ma.allclose(stats["u_mean"][:], mean_u, atol=1e-4)
        assert np.ma.allclose(stats["v_std"][:], v.std(axis=0, ddof=1), atol=1e-4)
        covariance = ((u - mean_u) * (v - v.mean(axis=0))).sum(axis=0) / (n - 1)
        assert np.ma.allclose(stats["uv_cov"][:], covariance, atol=1e-3)
        # Points never valid are fill values, masked by the reader.
        assert np.ma.count_masked(stats["u_mean"][:]) == int((n == 0).sum()) == 29
        assert series["time"][:].tolist() == pytest.approx([0.002 * k for k in range(20)])
        assert series.calibration_unit == "mm" and series.displacement_reference == "unknown"
