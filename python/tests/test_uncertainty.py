"""analyse(..., deform=N, uncertainty=True): a standard uncertainty for every measured vector,
NaN where none was measured, that covers the actual errors of a pivsynth pair within a broad
band (fixed seed), and that changes no other value or text of the analysis."""
import numpy as np
import pytest

import tarvex


@pytest.fixture(scope="module")
def vortex():
    (a, b), truth = tarvex.synth(size=(256, 192), field="vortex", gamma=400, core=25, noise=30,
                                 scheme="symmetric", seed=8)
    return a, b, truth


@pytest.mark.parametrize("reference", ["midpoint", "first"])
def test_sigma_is_given_where_vectors_are_and_changes_nothing_else(vortex, reference):
    a, b, _ = vortex
    plain = tarvex.analyse(a, b, window=32, spacing=16, deform=3, median=0.05, deform_reference=reference)
    field = tarvex.analyse(a, b, window=32, spacing=16, deform=3, median=0.05, deform_reference=reference,
                           uncertainty=True)
    assert plain.sigma_u is None and plain.sigma_v is None
    for name in ("u", "v", "peak", "flag", "x", "y"):
        assert np.array_equal(getattr(field, name), getattr(plain, name)), name
    assert field.log == plain.log
    for sigma in (field.sigma_u, field.sigma_v):
        assert sigma.shape == field.shape
        assert not sigma.flags.writeable
        # NaN exactly where no valid vector is: the windows that never fit and the rejected.
        assert np.array_equal(np.isnan(sigma), ~field.flag)
        assert (sigma[field.flag] > 0).all() and (sigma[field.flag] < 0.2).all()
    assert (~field.flag).sum() > field.shape[0] + field.shape[1] - 1


def test_sigma_covers_the_actual_errors(vortex):
    a, b, truth = vortex
    field = tarvex.analyse(a, b, window=32, spacing=16, deform=3, uncertainty=True)
    du, dv = truth.displacement(field.xc, field.yc, reference="midpoint")
    ok = field.flag
    errors = np.concatenate([(field.u - du)[ok], (field.v - dv)[ok]])
    sigmas = np.concatenate([field.sigma_u[ok], field.sigma_v[ok]])
    assert len(errors) > 250
    coverage = np.mean(np.abs(errors) <= sigmas)
    ratio = np.sqrt(np.mean(sigmas ** 2) / np.mean(errors ** 2))
    # A factor of two either way falls outside both bands.
    assert 0.5 < coverage < 0.84
    assert 0.55 < ratio < 1.4


def test_uncertainty_needs_deformation(vortex):
    a, b, _ = vortex
    with pytest.raises(ValueError, match="uncertainty only applies together with deform"):
        tarvex.analyse(a, b, window=32, spacing=16, uncertainty=True)


def test_a_field_read_from_a_file_has_no_uncertainty(vortex, tmp_path):
    a, b, _ = vortex
    tarvex.analyse(a, b, window=32, spacing=16, deform=1, uncertainty=True).write_dpiv(tmp_path / "f.dpiv")
    assert tarvex.read_dpiv(tmp_path / "f.dpiv").sigma_u is None
