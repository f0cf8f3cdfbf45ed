"""Shared helpers of the Python module's tests: the built programs, run in the test's own
temporary directory on inputs the test makes."""
import os
import pathlib
import subprocess

import pytest

BIN_DIR = pathlib.Path(os.environ.get("TARVEX_BIN_DIR", "build/bin"))


class Programs:
    """Runs the toolset's programs in one directory."""

    def __init__(self, directory):
        self.dir = pathlib.Path(directory)

    def run(self, program, args, stdin=""):
        return subprocess.run([str(BIN_DIR / program), *args], cwd=self.dir, input=stdin,
                              capture_output=True, text=True, timeout=600)

    def pivsynth(self, *args):
        result = self.run("pivsynth", list(args))
        assert result.returncode == 0, result.stderr
        return result

    def tarvex(self, *args, pair="1 2"):
        """tarvex on pair.b16; returns its standard output."""
        result = self.run("tarvex", [*args, "pair.b16"], stdin=pair + "\n")
        assert result.returncode == 0, result.stderr
        return result.stdout


@pytest.fixture
def programs(tmp_path):
    return Programs(tmp_path)


@pytest.fixture
def vortex_pair(programs):
    """A noisy 160 x 128 vortex pair in pair.b16, as the C++ library tests use."""
    programs.pivsynth("--size", "160x128", "--field", "vortex", "--gamma", "300", "--core", "20",
                      "--seed", "3", "--noise", "10", "--out", "pair.b16")
    return programs
