"""Arrays and settings the analysis cannot use become Python exceptions with a message,
never a crash; values of other dtypes become counts by the documented rules."""
import numpy as np
import pytest

import tarvex


@pytest.fixture(scope="module")
def pair():
    (a, b), _ = tarvex.synth(size=(96, 64), dx=1.5, dy=0.5, seed=2)
    return a, b


def test_arrays_of_the_wrong_shape(pair):
    a, b = pair
    with pytest.raises(ValueError, match="frame_a must be a 2-D array \\(rows, columns\\), not one of 3"):
        tarvex.analyse(a[None], b)
    with pytest.raises(ValueError, match="frame_b must be a 2-D array"):
        tarvex.analyse(a, b.ravel())
    with pytest.raises(ValueError, match="frame_a is 96 x 64 px but frame_b is 95 x 64 px; both frames"):
        tarvex.analyse(a, b[:, :95])
    with pytest.raises(ValueError, match="frame_a is 0 x 64 px; width and height must be 1 to 5000"):
        tarvex.analyse(a[:, :0], b[:, :0])
    with pytest.raises(ValueError, match="frame_a is 5001 x 1 px"):
        tarvex.analyse(np.zeros((1, 5001), np.uint16), np.zeros((1, 5001), np.uint16))


def test_images_too_small_for_one_window(pair):
    a, b = pair
    with pytest.raises(ValueError, match="an image of 31 x 64 px is too small for one 32 x 32 window"):
        tarvex.analyse(a[:, :31], b[:, :31])
    with pytest.raises(ValueError, match="an image of 96 x 64 px is too small for one 32 x 128 window"):
        tarvex.analyse(a, b, window=(32, 128))
    # Exactly one window fits.
    assert tarvex.analyse(a[:32, :32], b[:32, :32]).shape == (1, 1)


@pytest.mark.parametrize("frame, dtype", [
    (np.array([["a", "b"], ["c", "d"]]), "<U1"),
    (np.ones((40, 40), dtype=bool), "bool"),
    (np.ones((40, 40), dtype=complex), "complex128"),
    (np.array([[None, 1], [2, 3]], dtype=object), "object"),
])
def test_non_numeric_arrays(pair, frame, dtype):
    with pytest.raises(TypeError, match="frame_a has dtype %s; images must be integer or floating-point" % dtype):
        tarvex.analyse(frame, pair[1])
    with pytest.raises(TypeError, match="images\\[0\\] has dtype"):
        tarvex.write_pair_file("never-written.b16", [frame])


def test_values_without_a_count(pair, tmp_path):
    a, b = pair
    bad = a.astype(np.int32)
    bad[3, 7] = -1
    with pytest.raises(ValueError, match="frame_a holds -1 at row 3, column 7; integer pixels must lie in 0..65535"):
        tarvex.analyse(bad, b)
    with pytest.raises(ValueError, match="frame_b holds 65536 at row 0, column 0"):
        tarvex.analyse(a, np.full(a.shape, 65536, dtype=np.uint32))
    with pytest.raises(ValueError, match="holds 18446744073709551615 at row 0, column 1"):
        tarvex.analyse(a, np.array([[0, 2**64 - 1]] * 64, dtype=np.uint64))
    nan = a.astype(float)
    nan[1, 2] = np.nan
    with pytest.raises(ValueError, match="frame_a holds NaN at row 1, column 2"):
        tarvex.analyse(nan, b)
    with pytest.raises(ValueError, match="images\\[1\\] holds -3 at row 0, column 0"):
        tarvex.write_pair_file(tmp_path / "x.b16", [a, np.full(a.shape, -3)])
    assert not (tmp_path / "x.b16").exists()


def test_other_dtypes_become_counts(tmp_path):
    path = tmp_path / "v.b16"
    tarvex.write_pair_file(path, [np.array([[-3.2, 2.5], [7.49, 1e6]]),
                                  np.array([[0, 255], [4095, 65535]], dtype=np.int64),
                                  np.array([[0, 1], [254, 255]], dtype=np.uint8),
                                  np.array([[np.inf, -np.inf], [0.5, 65535.49]], dtype=np.float32)])
    assert tarvex.read_pair_file(path).tolist() == [[[0, 3], [7, 65535]], [[0, 255], [4095, 65535]],
                                                    [[0, 1], [254, 255]], [[65535, 0], [1, 65535]]]


def test_other_dtypes_and_layouts_give_the_same_analysis(pair):
    a, b = pair
    reference = tarvex.analyse(a, b, window=32, spacing=16)
    for frames in [(a.astype(np.float64), b.astype(np.float32)),
                   (a.astype(np.int32), b.astype(np.int64)),
                   (np.asfortranarray(a), b[:, ::-1][:, ::-1]),
                   (a.tolist(), b.tolist())]:
        field = tarvex.analyse(*frames, window=32, spacing=16)
        assert np.array_equal(field.u, reference.u) and np.array_equal(field.v, reference.v)
        assert np.array_equal(field.flag, reference.flag)


def test_settings_the_command_line_refuses(pair):
    a, b = pair
    with pytest.raises(ValueError, match="the DFT size must be positive \\(got 0 x 0\\)"):
        tarvex.analyse(a, b, window=0)
    with pytest.raises(ValueError, match="the grid spacing must be positive in both directions \\(got 16 x 0\\)"):
        tarvex.analyse(a, b, spacing=(16, 0))
    with pytest.raises(ValueError, match='unknown sub-pixel estimator "gauss5" \\(use fit or gauss3\\)'):
        tarvex.analyse(a, b, subpix="gauss5")
    with pytest.raises(ValueError, match='meansub is only available together with subpix="gauss3"'):
        tarvex.analyse(a, b, meansub=True)
    for threads in (-1, 1025):
        with pytest.raises(ValueError, match="threads must be a whole number from 0 to 1024 \\(got %d\\)" % threads):
            tarvex.analyse(a, b, threads=threads)
    with pytest.raises(TypeError, match="window must be a whole number or a pair of whole numbers"):
        tarvex.analyse(a, b, window=32.5)
    with pytest.raises(TypeError, match="spacing must be"):
        tarvex.analyse(a, b, spacing=(16, 16, 16))
    with pytest.raises(TypeError, match="median must be a number"):
        tarvex.analyse(a, b, median="1.0")
    with pytest.raises(TypeError, match="dynamic_mean must be a pair of numbers"):
        tarvex.analyse(a, b, dynamic_mean=1.0)
    with pytest.raises(TypeError, match="size must be a pair of numbers"):
        tarvex.synth(size=64)
    with pytest.raises(TypeError, match='subpix must be "fit" or "gauss3"'):
        tarvex.analyse(a, b, subpix=3)
    # The frames come first, the options only by name.
    with pytest.raises(TypeError):
        tarvex.analyse(a, b, 32)


@pytest.mark.parametrize("keywords, message", [
    (dict(deform=21), "deform must be a whole number of refinement passes from 1 to 20, or 0 for none \\(got 21\\)"),
    (dict(deform=-1), "deform must be a whole number of refinement passes from 1 to 20"),
    (dict(deform=2, subpix="fit"), "deform measures with the three-point estimator"),
    (dict(deform=2, two_pass=True), "deform cannot be combined with two_pass"),
    (dict(first_window=64), "first_window only applies together with deform"),
    (dict(deform=2, first_window=32), "first_window must be a square window size of the plan table larger than "
                                      "the window 32 x 32 \\(got 32\\)"),
    (dict(deform=2, first_window=36), "\\(got 36\\)"),
])
def test_deformation_settings(pair, keywords, message):
    a, b = pair
    with pytest.raises(ValueError, match=message):
        tarvex.analyse(a, b, window=32, spacing=16, **keywords)


def test_deformation_without_a_valid_first_vector():
    flat = np.full((64, 64), 100, np.uint16)
    with pytest.raises(RuntimeError, match="the first pass holds no valid vector to predict from"):
        tarvex.analyse(flat, flat, window=32, spacing=16, deform=1)


class RaisingArray:
    """An array-like whose conversion fails with an exception of its own."""

    def __array__(self, *args, **kwargs):
        raise ZeroDivisionError("no array here")


class BigArray:
    """An array-like whose conversion runs out of memory."""

    def __array__(self, *args, **kwargs):
        raise MemoryError("no memory for the array")


def test_objects_that_are_no_arrays_raise_their_own_exceptions(pair, tmp_path):
    a, b = pair
    with pytest.raises(ValueError, match="inhomogeneous"):
        tarvex.analyse([[1, 2], [3]], b)
    with pytest.raises(ValueError, match="inhomogeneous"):
        tarvex.write_pair_file(tmp_path / "r.b16", [[[1, 2], [3]]])
    with pytest.raises(ZeroDivisionError, match="no array here"):
        tarvex.analyse(a, RaisingArray())
    with pytest.raises(ZeroDivisionError, match="no array here"):
        tarvex.write_pair_file(tmp_path / "r.b16", [a, RaisingArray()])
    with pytest.raises(ZeroDivisionError, match="no array here"):
        tarvex.analyse(a, b, mask=RaisingArray())
    with pytest.raises(MemoryError, match="no memory for the array"):
        tarvex.analyse(BigArray(), b)
    assert not (tmp_path / "r.b16").exists()


def test_whole_numbers_of_any_integer_type_and_out_of_range(pair):
    a, b = pair
    reference = tarvex.analyse(a, b, window=32, spacing=16)
    for window, spacing in [(np.int64(32), np.int32(16)), ((np.uint8(32), 32), np.array([16, 16]))]:
        field = tarvex.analyse(a, b, window=window, spacing=spacing)
        assert np.array_equal(field.u, reference.u) and field.window == (32, 32)
    for keywords, message in [(dict(window=2**31), "window must be at most 2147483647 \\(got 2147483648\\)"),
                              (dict(spacing=(16, 2**31)), "spacing must be at most 2147483647 \\(got 2147483648\\)"),
                              (dict(window=np.uint64(2**63)), "window must be at most 2147483647 \\(got %d\\)" % 2**63)]:
        with pytest.raises(ValueError, match=message):
            tarvex.analyse(a, b, **keywords)
    with pytest.raises(ValueError, match="window must be at least -2147483648 \\(got -2147483649\\)"):
        tarvex.analyse(a, b, window=-2**31 - 1)
    with pytest.raises(TypeError, match="window must be a whole number or a pair of whole numbers"):
        tarvex.analyse(a, b, window=np.float64(32))


def test_a_mask_holding_nan_is_refused(pair):
    a, b = pair
    mask = np.ones(a.shape)
    mask[5, 9] = np.nan
    with pytest.raises(ValueError, match="mask holds NaN at row 5, column 9; a mask holds numbers, nonzero where "
                                         "there is flow"):
        tarvex.analyse(a, b, mask=mask)
    # Without the NaN, the same mask (all flow) gives the analysis without a mask.
    mask[5, 9] = 1.0
    assert np.array_equal(tarvex.analyse(a, b, mask=mask).u, tarvex.analyse(a, b).u)


def test_image_selections(pair, tmp_path):
    a, b = pair
    path = tmp_path / "s.b16"
    tarvex.write_pair_file(path, [a, b])
    empty = tarvex.read_pair_file(path, images=[])
    assert empty.shape == (0, 64, 96) and empty.dtype == np.uint16
    assert np.array_equal(tarvex.read_pair_file(path, images=np.int64(2))[0], b)
    assert np.array_equal(tarvex.read_pair_file(path, images=np.array([2, 1])), np.stack([b, a]))
    with pytest.raises(ValueError, match="image id must be at most 2147483647"):
        tarvex.read_pair_file(path, images=[1, 2**40])
    with pytest.raises(TypeError, match="images must be None, an image id or a sequence of image ids"):
        tarvex.read_pair_file(path, images=1.0)
