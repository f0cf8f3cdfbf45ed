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


SCENE_ARGS = ["--size", "64x48", "--pairs", "2", "--field", "sine", "--amplitude", "1.5", "--wavelength", "32",
              "--direction", "y", "--dx", "0.5", "--scheme", "symmetric", "--loss", "0.1", "--glow", "200",
              "--band", "10,20,300", "--band", "40,47,12.5", "--row-pattern", "8,0,0,63,31",
              "--dim", "0,0,15.5,15.5,0.25", "--noise", "3", "--seed", "8", "--out", "s.b16"]


def test_scene_settings_give_the_files_of_pivsynth(programs, tmp_path):
    programs.pivsynth(*SCENE_ARGS)
    images, truth = tarvex.synth(size=(64, 48), pairs=2, field="sine", amplitude=1.5, wavelength=32,
                                 direction="y", dx=0.5, scheme="symmetric", loss=0.1, glow=200,
                                 band=[(10, 20, 300), (40, 47, 12.5)], row_pattern=(8, 0, 0, 63, 31),
                                 dim=[(0, 0, 15.5, 15.5, 0.25)], noise=3, seed=8)
    assert np.array_equal(images, tarvex.read_pair_file(tmp_path / "s.b16"))
    text = (tmp_path / "s.b16.truth").read_text()
    assert truth.text == text
    assert "scheme = symmetric\nloss = 0.1\nglow = 200\nband = 10,20,300\nband = 40,47,12.5\n" in text
    read = tarvex.read_truth(tmp_path / "s.b16.truth")
    assert read.text == text
    assert (read.field, read.scheme, read.loss) == ("sine", "symmetric", 0.1)
    # Written and read again, the record is the same.
    truth.write(tmp_path / "again.truth")
    assert (tmp_path / "again.truth").read_text() == text


def test_settings_at_their_defaults_change_nothing():
    (a, b), truth = tarvex.synth(size=(48, 40), dx=1.2, noise=2)
    (c, d), same = tarvex.synth(size=(48, 40), dx=1.2, noise=2, scheme="first", loss=0, glow=0)
    assert np.array_equal(a, c) and np.array_equal(b, d) and truth.text == same.text
    assert "scheme" not in truth.text and truth.scheme == "first" and truth.loss == 0.0


def test_background_without_particles_is_exact_and_the_same_in_both_images():
    # 8 columns: glow 70 is 10 counts a column; the bands add 5 to row 0 and 9 to row 3, the
    # row pattern 4 to columns 2..5 of the odd rows, the dimming touches no background.
    (a, b), _ = tarvex.synth(size=(8, 4), density=0, glow=70, band=[(0, 0, 5), (3, 3, 9)],
                             row_pattern=(4, 2, 0, 5, 3), dim=(0, 0, 7, 3, 0))
    expected = np.tile(np.arange(8) * 10, (4, 1))
    expected[0] += 5
    expected[3] += 9
    expected[1::2, 2:6] += 4
    assert a.tolist() == expected.tolist()
    assert np.array_equal(a, b)
    # Clamped at 12 bits like the particles.
    (c, _), _ = tarvex.synth(size=(4, 2), density=0, glow=4095, band=(0, 1, 100))
    assert c.tolist() == [[100, 1465, 2830, 4095], [100, 1465, 2830, 4095]]


def test_symmetric_truth_referred_to_either_point():
    # Solid rotation of 0.2 rad, 10 px right of the centre: omega (+-a, 1) 10 / (1 + a^2), a = 0.1.
    _, first = tarvex.synth(size=(32, 32), field="rotation", omega=0.2, center=(10, 10))
    _, symmetric = tarvex.synth(size=(32, 32), field="rotation", omega=0.2, center=(10, 10), scheme="symmetric")
    assert first.displacement(20, 10) == symmetric.displacement(20, 10) == (0.0, 2.0)
    assert np.allclose(first.displacement(20, 10, reference="midpoint"), (0.2 / 1.01, 2 / 1.01), atol=1e-12)
    assert first.displacement(20, 10, reference="first") == (0.0, 2.0)
    assert symmetric.displacement(20, 10, reference="midpoint") == (0.0, 2.0)
    assert np.allclose(symmetric.displacement(20, 10, reference="first"), (-0.2 / 1.01, 2 / 1.01), atol=1e-12)
    # Arrays, and NaN where the steps along the path do not converge.
    _, fast = tarvex.synth(size=(32, 32), field="rotation", omega=3, center=(10, 10))
    dx, dy = fast.displacement(np.array([10.0, 20.0]), np.array([10.0, 10.0]), reference="midpoint")
    assert dx[0] == 0.0 and dy[0] == 0.0 and np.isnan(dx[1]) and np.isnan(dy[1])
    with pytest.raises(ValueError, match="reference must be"):
        first.displacement(1, 1, reference="centre")


def test_loss_removes_light_and_keeps_the_particles():
    (a, b), _ = tarvex.synth(size=(96, 96), dx=1.5, density=0.05, seed=9)
    (c, d), truth = tarvex.synth(size=(96, 96), dx=1.5, density=0.05, seed=9, loss=0.3)
    assert truth.loss == 0.3
    for plain, lossy in ((a, c), (b, d)):
        assert np.all(lossy <= plain) and not np.array_equal(lossy, plain)
        assert abs(lossy.sum() / plain.sum() - 0.85) < 0.06


@pytest.mark.parametrize("keywords, args", [
    (dict(scheme="central"), ["--scheme", "central"]),
    (dict(loss=1), ["--loss", "1"]),
    (dict(glow=5000), ["--glow", "5000"]),
    (dict(band=(1, 2)), ["--band", "1,2"]),
    (dict(band=[(0, 1, 2), (5, 4, 1)]), ["--band", "0,1,2", "--band", "5,4,1"]),
    (dict(row_pattern=(1, 0, 0, 9)), ["--row-pattern", "1,0,0,9"]),
    (dict(dim=(0, 0, 9, 9, 2)), ["--dim", "0,0,9,9,2"]),
    (dict(field="sine", wavelength=0), ["--field", "sine", "--wavelength", "0"]),
    (dict(field="sine", direction="z"), ["--field", "sine", "--direction", "z"]),
    (dict(amplitude=1), ["--amplitude", "1"]),
])
def test_scene_refusals_carry_the_message_of_pivsynth(programs, keywords, args):
    result = programs.run("pivsynth", args)
    assert result.returncode == 1
    message = result.stderr.splitlines()[0]
    with pytest.raises(ValueError) as refused:
        tarvex.synth(**keywords)
    assert str(refused.value) == message[len("pivsynth: "):]


def test_regions_must_be_numbers():
    with pytest.raises(TypeError, match="band must be a sequence of numbers"):
        tarvex.synth(band="1,2,3")
    with pytest.raises(TypeError, match="dim must be a number"):
        tarvex.synth(dim=(0, 0, 1, 1, "half"))
