"""analyse(background=..., highpass=..., cap=...) pre-processes as tarvex -bg, -highpass and
-cap do: the same numbers, files and text, bit for bit, for a pair and for a pair of a series
whose background is made over all its images; tarvex.background gives the background that is
subtracted; settings the command line refuses are ValueErrors."""
import numpy as np
import pytest

import tarvex

from test_command_line_identity import dpiv_columns

CALCULATING = "\nCalculating TARVEX, please wait .....\n"


@pytest.fixture
def glow_series(programs):
    """Four pairs (eight images) of 160 x 128 px under a glow and a band, in pair.b16."""
    programs.pivsynth("--size", "160x128", "--pairs", "4", "--dx", "2.1", "--dy", "-0.6", "--glow", "500",
                      "--band", "40,60,700", "--noise", "3", "--seed", "6", "--out", "pair.b16")
    return programs


def py_records(field, tmp_path):
    """The DPIV records analyse's field writes."""
    (tmp_path / "py").mkdir(exist_ok=True)
    field.write_dpiv(tmp_path / "py/pair.dpiv")
    return dpiv_columns(tmp_path / "py/pair.dpiv")


@pytest.mark.parametrize("options,keywords", [
    (["-bg", "min"], dict(background="min")),
    (["-bg", "mean", "-deform", "2"], dict(background="mean", deform=2)),
    (["-highpass", "9", "-cap", "-subpix", "gauss3", "-meansub"],
     dict(highpass=9, cap=True, subpix="gauss3", meansub=True)),
    (["-bg", "min", "-highpass", "15", "-cap", "-deform", "1", "-MVOcheck", "1", "-s", "-j", "2"],
     dict(background="min", highpass=15, cap=True, deform=1, median=1.0, smooth=True, threads=2)),
])
def test_a_pair_matches_the_command_line(programs, tmp_path, options, keywords):
    # One pair: the background is made over its two images.
    programs.pivsynth("--size", "160x128", "--dx", "2.1", "--dy", "-0.6", "--glow", "500", "--band", "40,60,700",
                      "--noise", "3", "--seed", "6", "--out", "pair.b16")
    out = programs.tarvex("-dft", "32", "-gspac", "16", "16", *options)
    a, b = tarvex.read_pair_file(tmp_path / "pair.b16")
    field = tarvex.analyse(a, b, window=32, spacing=16, **keywords)
    assert py_records(field, tmp_path) == dpiv_columns(tmp_path / "pair.dpiv")
    assert out.split(CALCULATING)[1].startswith(field.log)
    assert field.log.startswith("\tNo particle images in ")


def test_a_pair_of_a_series_takes_the_background_of_all_its_images(glow_series, tmp_path):
    glow_series.tarvex("-dft", "32", "-gspac", "16", "16", "-bg", "min", "-deform", "1", "-all", "3", "1", "2")
    images = tarvex.read_pair_file(tmp_path / "pair.b16")
    field = tarvex.analyse(images[4], images[5], window=32, spacing=16, deform=1, background="min",
                           background_images=images)
    assert py_records(field, tmp_path) == dpiv_columns(tmp_path / "pair.0005.dpiv")
    # Eight images: the plain minimum, which a given background subtracts the same.
    assert np.array_equal(tarvex.background(images), images.min(axis=0))
    given = tarvex.analyse(images[4], images[5], window=32, spacing=16, deform=1, background=images.min(axis=0))
    assert np.array_equal(given.u, field.u) and np.array_equal(given.flag, field.flag)
    # A sequence of frames serves as well as a stack.
    listed = tarvex.analyse(images[4], images[5], window=32, spacing=16, deform=1, background="min",
                            background_images=list(images))
    assert np.array_equal(listed.v, field.v)


def test_a_background_file_matches_a_given_background(glow_series, tmp_path):
    glow = np.tile(np.arange(160, dtype=np.uint16) * 3, (128, 1))
    tarvex.write_pair_file(tmp_path / "bg.b16", [glow])
    glow_series.tarvex("-dft", "32", "-gspac", "16", "16", "-bg", "bg.b16", "-cap")
    a, b = tarvex.read_pair_file(tmp_path / "pair.b16", images=(1, 2))
    field = tarvex.analyse(a, b, window=32, spacing=16, background=glow, cap=True)
    assert py_records(field, tmp_path) == dpiv_columns(tmp_path / "pair.dpiv")


def test_the_background_of_few_images_is_opened():
    # A glow of 10 counts a column with one bright pixel and a bright 2 x 2 blob on it: two
    # images are few, and the opening keeps the glow, not the pixel or the blob (a segment
    # starting on the pixel fits under it at the next column's level: at most 20 counts
    # stay); eight images keep both.
    glow = np.tile(np.arange(40, dtype=np.uint16) * 10, (30, 1))
    image = glow.copy()
    image[10, 10] += 500
    image[20:22, 20:22] += 800
    two = tarvex.background([image, image])
    assert np.array_equal(two[image == glow], glow[image == glow])
    assert np.all((two - glow)[image != glow] <= 20)
    assert np.array_equal(tarvex.background([image] * 8), image)
    assert tarvex.background([image, image + 2], "mean")[0, 3] == 31.0
    # A mask keeps the masked pixels out: under it, the opening gives 0.
    flow = np.ones_like(image, dtype=bool)
    flow[:, 30:] = False
    assert not tarvex.background([image, image], mask=flow)[:, 30:].any()


def test_windows_without_particle_images_give_no_vector():
    (a, b), _ = tarvex.synth(size=(128, 128), dx=1.5, dim=(0, 0, 63, 127, 0), noise=4, seed=2)
    plain = tarvex.analyse(a, b, window=32, spacing=16)
    cleared = tarvex.analyse(a, b, window=32, spacing=16, background="min")
    dark = plain.xc < 63
    assert plain.flag[dark].sum() > 0
    assert not cleared.flag[dark].any() and not cleared.u[dark].any()
    assert cleared.log.startswith("\tNo particle images in 21 of 49 windows: not measured\n")


@pytest.mark.parametrize("keywords,message", [
    (dict(background="minimum"), 'background must be None, "min", "mean" or a 2-D array (got "minimum")'),
    (dict(background=np.zeros((10, 10))), "the background is 10 x 10 px, the frames 64 x 64 px"),
    (dict(background_images=[np.zeros((64, 64))]), 'background_images only applies together with background="min"'),
    (dict(background="min", background_images=[np.zeros((8, 8))]),
     "an image of background_images is 8 x 8 px, the frames 64 x 64 px"),
    (dict(highpass=16), "highpass must be an odd whole number of pixels from 3 to 999 (got 16)"),
    (dict(highpass=1001), "highpass must be an odd whole number of pixels from 3 to 999 (got 1001)"),
    (dict(highpass=0), "highpass must be an odd whole number of pixels from 3 to 999 (got 0)"),
])
def test_refusals(keywords, message):
    frame = np.zeros((64, 64), dtype=np.uint16)
    with pytest.raises(ValueError) as error:
        tarvex.analyse(frame, frame, window=32, **keywords)
    assert message in str(error.value)


def test_refusals_of_the_background_function():
    with pytest.raises(ValueError, match='statistic must be "min" or "mean"'):
        tarvex.background([np.zeros((4, 4))], "median")
    with pytest.raises(ValueError, match="images holds no image"):
        tarvex.background(np.zeros((0, 4, 4)))
    with pytest.raises(TypeError):
        tarvex.analyse(np.zeros((64, 64)), np.zeros((64, 64)), highpass=9.0)
