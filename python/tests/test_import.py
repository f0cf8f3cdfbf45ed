"""The module imports from the build tree and from an installed prefix, and its examples
(docstrings and the manual's, docs/python.md) run as shown."""
import doctest
import os
import pathlib
import re
import subprocess
import sys

import numpy as np

import tarvex

BUILD_DIR = pathlib.Path(os.environ.get("TARVEX_BUILD_DIR", "build"))
SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]
PROBE = ("import sys, tarvex\n"
         "(a, b), _ = tarvex.synth(size=(64, 64), dx=1.5)\n"
         "print(tarvex.__file__)\n"
         "print(tarvex.analyse(a, b, window=32, spacing=16).valid)\n")


def run_probe(python_path, cwd):
    env = dict(os.environ, PYTHONPATH=str(python_path))
    return subprocess.run([sys.executable, "-c", PROBE], cwd=cwd, env=env, capture_output=True,
                          text=True, timeout=300)


def test_imports_from_the_build_tree(tmp_path):
    result = run_probe(BUILD_DIR / "python", tmp_path)
    assert result.returncode == 0, result.stderr
    path, valid = result.stdout.splitlines()
    assert pathlib.Path(path).parent == BUILD_DIR / "python"
    assert valid == "4"
    # No wisdom file or other file is left in the working directory.
    assert list(tmp_path.iterdir()) == []


def test_imports_from_an_installed_prefix(tmp_path):
    prefix = tmp_path / "prefix"
    install = subprocess.run(["cmake", "--install", str(BUILD_DIR), "--prefix", str(prefix),
                              "--component", "python"], capture_output=True, text=True, timeout=300)
    assert install.returncode == 0, install.stderr
    site = prefix / os.environ["TARVEX_PYTHON_INSTALL_DIR"]
    installed = list(site.glob("tarvex*.so"))
    assert len(installed) == 1
    result = run_probe(site, tmp_path)
    assert result.returncode == 0, result.stderr
    path, valid = result.stdout.splitlines()
    assert pathlib.Path(path) == installed[0]
    assert valid == "4"


def test_docstring_examples_run_as_shown():
    finder = doctest.DocTestFinder()
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    tests = finder.find(tarvex)
    names = {t.name.split(".")[-1] for t in tests if t.examples}
    assert {"tarvex", "analyse", "Field", "write_dpiv", "write_tecplot", "read_dpiv", "read_pair_file",
            "write_pair_file", "synth", "Truth", "displacement", "read_truth"} <= names
    for test in tests:
        runner.run(test)
    assert runner.failures == 0


def test_the_manuals_example_runs_and_writes_the_field(monkeypatch, tmp_path):
    page = (SOURCE_DIR / "docs" / "python.md").read_text()
    section = page[page.index("## A worked example"):]
    code = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    monkeypatch.chdir(tmp_path)
    names = {}
    exec(compile(code, "docs/python.md", "exec"), names)
    field = names["field"]
    assert field.u.shape == field.v.shape == field.flag.shape == (31, 31)
    # The vortex turns about the image centre: strong motion, opposite on both sides.
    assert np.isfinite(field.u).all() and np.abs(field.u).max() > 2.0
    assert np.sign(field.v[15, 5]) == -np.sign(field.v[15, 25]) != 0
    # The files it writes are those pivplot draws: the field and the pair it was measured on.
    assert tarvex.read_dpiv("vortex.dpiv").valid == field.valid
    assert (tarvex.read_pair_file("vortex.b16") == np.stack([names["a"], names["b"]])).all()
