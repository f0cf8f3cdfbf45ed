"""The module imports from the build tree and from an installed prefix, and its examples
(docstrings and the README's) run as shown."""
import doctest
import os
import pathlib
import re
import subprocess
import sys
import types

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


def test_readme_example_runs_and_plots_the_field(monkeypatch, tmp_path):
    readme = (SOURCE_DIR / "README.md").read_text()
    section = readme[readme.index("## From Python"):]
    code = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    # A stand-in for matplotlib, which the tests do not need: it records the quiver call.
    calls = []
    pyplot = types.ModuleType("matplotlib.pyplot")
    pyplot.quiver = lambda *args, **kwargs: calls.append(("quiver", args))
    pyplot.gca = lambda: types.SimpleNamespace(invert_yaxis=lambda: calls.append(("invert", ())),
                                              set_aspect=lambda *a: None)
    pyplot.savefig = lambda name: calls.append(("savefig", (name,)))
    matplotlib = types.ModuleType("matplotlib")
    matplotlib.pyplot = pyplot
    monkeypatch.setitem(sys.modules, "matplotlib", matplotlib)
    monkeypatch.setitem(sys.modules, "matplotlib.pyplot", pyplot)
    monkeypatch.chdir(tmp_path)
    exec(compile(code, "README.md", "exec"), {})
    quiver = [args for name, args in calls if name == "quiver"]
    assert len(quiver) == 1
    x, y, u, v = quiver[0][:4]
    assert x.shape == y.shape == u.shape == v.shape == (31, 31)
    # The vortex turns about the image centre: strong motion, opposite on both sides.
    assert np.isfinite(u).all() and np.abs(u).max() > 2.0
    assert np.sign(v[15, 5]) == -np.sign(v[15, 25]) != 0
