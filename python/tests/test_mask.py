"""analyse(mask=...) leaves out what is not flow exactly as tarvex -mask does: the same
numbers and files, bit for bit, from a mask pivsynth wrote and from one the test writes."""
import numpy as np
import pytest

import tarvex

from test_command_line_identity import dpiv_columns


def circle(shape, x, y, r):
    """pivsynth's --mask-circle as an array: False on the pixels whose centres lie in it."""
    rows, columns = np.indices(shape)
    return (columns - x) ** 2 + (rows - y) ** 2 > r * r


@pytest.mark.parametrize("options,keywords", [
    ([], {}),
    (["-i", "-MVOcheck", "1", "-s"], dict(two_pass=True, median=1.0, smooth=True)),
    (["-deform", "2", "-GHcheck", "3", "-j", "2"], dict(deform=2, global_histogram=3, threads=2)),
])
def test_mask_matches_the_command_line(programs, tmp_path, options, keywords):
    programs.pivsynth("--size", "160x128", "--field", "vortex", "--gamma", "300", "--core", "20",
                      "--seed", "3", "--noise", "10", "--mask-circle", "80,64,18", "--out", "pair.b16")
    out = programs.tarvex("-dft", "32", "-gspac", "16", "16", "-mask", "pair.b16.mask.png", *options)
    assert "Mask pair.b16.mask.png: 5 of 63 points masked\n" in out
    a, b = tarvex.read_pair_file(tmp_path / "pair.b16", images=(1, 2))
    flow = circle(a.shape, 80, 64, 18)
    field = tarvex.analyse(a, b, window=32, spacing=16, mask=flow, **keywords)
    records = dpiv_columns(tmp_path / "pair.dpiv")
    (tmp_path / "py").mkdir()
    field.write_dpiv(tmp_path / "py/pair.dpiv")
    assert dpiv_columns(tmp_path / "py/pair.dpiv") == records
    # The masked points (centre pixels x, x + 1 and y, y + 1 in the circle) are empty.
    masked = ~(flow[field.y.astype(int), field.x.astype(int)] & flow[field.y.astype(int) + 1, field.x.astype(int)]
               & flow[field.y.astype(int), field.x.astype(int) + 1]
               & flow[field.y.astype(int) + 1, field.x.astype(int) + 1])
    assert masked.sum() == 5
    assert not field.flag[masked].any()
    assert not field.u[masked].any() and not field.v[masked].any() and not field.peak[masked].any()
    # Any nonzero value is flow: the same mask as 0 / 7 in uint16 analyses the same.
    again = tarvex.analyse(a, b, window=32, spacing=16, mask=flow.astype(np.uint16) * 7, **keywords)
    assert np.array_equal(again.u, field.u) and np.array_equal(again.flag, field.flag)


def test_a_mask_written_as_image_pair_file_matches(programs, tmp_path):
    programs.pivsynth("--size", "160x128", "--dx", "1.4", "--dy", "0.6", "--out", "pair.b16")
    flow = np.ones((128, 160), dtype=np.uint16)
    flow[40:90, 100:160] = 0  # a model at the right edge
    tarvex.write_pair_file(tmp_path / "mask.b16", [flow])
    programs.tarvex("-dft", "32", "-gspac", "16", "16", "-mask", "mask.b16")
    a, b = tarvex.read_pair_file(tmp_path / "pair.b16")
    field = tarvex.analyse(a, b, window=32, spacing=16, mask=flow)
    assert dpiv_columns(tmp_path / "pair.dpiv") == [
        [str(int(f)), "%e" % x, "%e" % y, "%e" % u, "%e" % v, "%.3f" % p]
        for f, x, y, u, v, p in zip(*(getattr(field, n).ravel() for n in ("flag", "x", "y", "u", "v", "peak")))]
    assert (field.flag == 0).sum() > 9


def test_a_mask_of_another_shape_is_refused():
    (a, b), _ = tarvex.synth(size=(96, 64), dx=1.5)
    with pytest.raises(ValueError, match=r"mask has the shape \(64, 90\) but the frames have the shape \(64, 96\)"):
        tarvex.analyse(a, b, window=32, mask=np.ones((64, 90)))
    with pytest.raises(ValueError, match=r"mask has the shape \(6144,\) but the frames"):
        tarvex.analyse(a, b, window=32, mask=np.ones(6144))
    with pytest.raises(TypeError, match="mask has dtype"):
        tarvex.analyse(a, b, window=32, mask=np.full((64, 96), "a"))
