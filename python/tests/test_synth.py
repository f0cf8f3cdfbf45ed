"""synth() makes pivsynth's images and truth without files, and refuses what pivsynth refuses
with its messages."""
import math

import numpy as np
import pytest

import tarvex


def test_images_and_truth_are_the_files_of_pivsynth(programs, tmp_path):
    programs.pivsynth("--size", "72x40", "--pairs", "2", "--field", "vortex", "--profile", "rankine",
                      "--gamma", "150.5", "--core", "8", "--center", "30,20.25", "--diameter", "3.2",
                      "--density", "0.015", "--noise", "4", "--seed", "99", "--out", "v.b16")
    images, truth = tarvex.synth(size=(72, 40), pairs=2, field="vortex", profile="rankine",
                                 gamma=150.5, core=8, center=(30, 20.25), diameter=3.2,
                                 density=0.015, noise=4, seed=99)
    assert images.shape == (4, 40, 72) and images.dtype == np.uint16
    assert np.array_equal(images, tarvex.read_pair_file(tmp_path / "v.b16"))
    assert truth.text == (tmp_path / "v.b16.truth").read_text()
    assert (truth.pairs, truth.diameter, truth.density) == (2, 3.2, 0.015)


def test_defaults_are_those_of_pivsynth(programs, tmp_path):
    programs.pivsynth()
    (a, b), truth = tarvex.synth()
    assert np.array_equal(np.stack([a, b]), tarvex.read_pair_file(tmp_path / "synth.b16"))
    assert truth.text == (tmp_path / "synth.b16.truth").read_text()
    assert tarvex.read_truth(tmp_path / "synth.b16.truth").text == truth.text


def test_truth_displacements_at_hand_checked_points():
    # Rankine vortex of circulation 2 pi 100 px^2 and core 10 px: solid rotation k = 1 inside,
    # k = 100 / r^2 outside; (dx, dy) = k (-ry, rx).
    _, truth = tarvex.synth(size=(64, 64), field="vortex", profile="rankine", gamma=2 * math.pi * 100,
                            core=10, center=(32, 32))
    dx, dy = truth.displacement(np.array([52.0, 32.0, 37.0]), np.array([32.0, 12.0, 32.0]))
    assert np.allclose(dx, [0.0, 5.0, 0.0]) and np.allclose(dy, [5.0, 0.0, 5.0])
    # Broadcasting: one row of x against a column of y.
    _, shear = tarvex.synth(size=(32, 32), field="shear", shear=0.25, center=(0, 8))
    dx, dy = shear.displacement(np.arange(3.0), np.array([[8.0], [12.0]]))
    assert dx.tolist() == [[0.0] * 3, [1.0] * 3] and dy.tolist() == [[0.0] * 3] * 2
    assert shear.displacement(5, 16) == (2.0, 0.0)


def test_the_analysis_of_a_synthetic_shift_finds_it():
    (a, b), truth = tarvex.synth(size=(128, 128), dx=2.3, dy=-1.2, seed=11)
    f = tarvex.analyse(a, b, window=32, spacing=16, subpix="gauss3", meansub=True)
    dx, dy = truth.displacement(f.xc, f.yc)
    error = np.hypot(f.u - dx, f.v - dy)[f.flag]
    assert f.valid == 36 and error.max() < 0.2


@pytest.mark.parametrize("keywords, args", [
    (dict(omega=0.1), ["--omega", "0.1"]),
    (dict(size=(0, 10)), ["--size", "0x10"]),
    (dict(size=(10.5, 10)), ["--size", "10.5x10"]),
    (dict(field="swirl"), ["--field", "swirl"]),
    (dict(density=2), ["--density", "2"]),
    (dict(field="vortex", core=0), ["--field", "vortex", "--core", "0"]),
    (dict(size=(5000, 5000), pairs=30), ["--size", "5000x5000", "--pairs", "30"]),
    (dict(seed=-1), ["--seed", "-1"]),
])
def test_refusals_carry_the_message_of_pivsynth(programs, keywords, args):
    result = programs.run("pivsynth", args)
    assert result.returncode == 1
    message = result.stderr.splitlines()[0]
    assert message.startswith("pivsynth: ")
    with pytest.raises(ValueError) as refused:
        tarvex.synth(**keywords)
    assert str(refused.value) == message[len("pivsynth: "):]
