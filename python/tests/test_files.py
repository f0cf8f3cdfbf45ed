"""The file functions: image-pair files, DPIV and Tecplot files and truth files written and
read back, their layout, and files that cannot be read or written."""
import os
import subprocess
import sys

import numpy as np
import pytest

import tarvex


def test_pair_file_layout_is_the_one_tarvex_reads(tmp_path):
    path = tmp_path / "tiny.b16"
    tarvex.write_pair_file(path, [[[1, 2, 3], [4, 5, 0x1234]], [[7, 8, 9], [10, 11, 65535]]])
    data = path.read_bytes()
    # Width 3 and height 2, little-endian, then the pixels row after row, low byte first.
    assert data[:4] == b"\x03\x00\x02\x00"
    assert len(data) == 4 + 2 * 2 * 3 * 2
    assert data[4:6] == b"\x01\x00" and data[14:16] == b"\x34\x12" and data[26:28] == b"\xff\xff"


def test_pair_file_round_trip_of_all_images_and_of_chosen_ones(tmp_path):
    rng = np.random.default_rng(5)
    images = rng.integers(0, 65536, size=(3, 5, 7), dtype=np.uint16)
    path = tmp_path / "run.b16"
    tarvex.write_pair_file(path, images)
    back = tarvex.read_pair_file(path)
    assert back.dtype == np.uint16 and back.shape == (3, 5, 7)
    assert np.array_equal(back, images)
    assert np.array_equal(tarvex.read_pair_file(path, images=2), images[1:2])
    assert np.array_equal(tarvex.read_pair_file(str(path), images=[3, 1]), images[[2, 0]])
    # A sequence of 2-D arrays is written as the 3-D array is.
    tarvex.write_pair_file(tmp_path / "list.b16", list(images))
    assert (tmp_path / "list.b16").read_bytes() == path.read_bytes()


def test_pair_file_of_a_converter_is_read_as_tarvex_reads_it(programs, tmp_path):
    programs.pivsynth("--size", "40x24", "--pairs", "2", "--dx", "1.5", "--out", "s.b16")
    images = tarvex.read_pair_file(tmp_path / "s.b16")
    data = (tmp_path / "s.b16").read_bytes()
    expected = np.frombuffer(data[4:], dtype="<u2").reshape(4, 24, 40)
    assert np.array_equal(images, expected)


def test_dpiv_and_tecplot_round_trip(tmp_path):
    (a, b), _ = tarvex.synth(size=(128, 96), field="rotation", omega=0.03, seed=8)
    field = tarvex.analyse(a, b, window=32, spacing=16, median=0.3)
    assert 0 < field.valid < field.u.size, "the test needs rejected vectors"
    field.write_dpiv(tmp_path / "f.dpiv")
    back = tarvex.read_dpiv(tmp_path / "f.dpiv")
    assert back.shape == field.shape and back.window == (32, 32) and back.log == ""
    assert np.array_equal(back.flag, field.flag)
    assert np.array_equal(back.x, field.x) and np.array_equal(back.y, field.y)
    assert np.array_equal(back.xc, field.xc) and np.array_equal(back.yc, field.yc)
    assert np.allclose(back.u, field.u, rtol=1e-6, atol=1e-9)
    assert np.allclose(back.peak, field.peak, atol=5e-4)
    back.write_dpiv(tmp_path / "f.dpiv")  # the same title: the same name
    field.write_dpiv(tmp_path / "g.dpiv")
    assert (tmp_path / "f.dpiv").read_text().splitlines()[2:] == \
        (tmp_path / "g.dpiv").read_text().splitlines()[2:]

    # Tecplot: without smoothing rejected vectors are written as 0, 0 unless kept.
    columns = field.flag.shape[1]
    rejected = int(np.flatnonzero(~field.flag.ravel())[0])
    field.write_tecplot(tmp_path / "zero.plt")
    field.write_tecplot(tmp_path / "kept.plt", keep_rejected=True)
    zero = (tmp_path / "zero.plt").read_text().splitlines()
    kept = (tmp_path / "kept.plt").read_text().splitlines()
    assert zero[2] == "ZONE F = POINT, I=%11d, J=%11d" % (columns, field.shape[0])
    assert zero[3 + rejected].split()[2:] == ["0.000000e+00", "0.000000e+00"]
    u, v = field.u.ravel()[rejected], field.v.ravel()[rejected]
    assert kept[3 + rejected].split()[2:] == ["%e" % u, "%e" % v]
    assert len(zero) == 3 + field.u.size


def test_truth_file_round_trip(tmp_path):
    _, truth = tarvex.synth(size=(50, 40), field="vortex", profile="rankine", gamma=150.5, core=8,
                            center=(100, 60.25), noise=4, seed=99)
    truth.write(tmp_path / "v.truth")
    back = tarvex.read_truth(tmp_path / "v.truth")
    assert back.text == truth.text == (tmp_path / "v.truth").read_text()
    assert (back.field, back.size, back.seed, back.noise) == ("vortex", (50, 40), 99, 4.0)


def test_files_that_cannot_be_read(tmp_path):
    with pytest.raises(OSError, match="Cannot open PIV image file .*missing.b16"):
        tarvex.read_pair_file(tmp_path / "missing.b16")
    (tmp_path / "short.b16").write_bytes(b"\x03\x00")
    with pytest.raises(OSError, match="shorter than the 4-byte image-pair file header"):
        tarvex.read_pair_file(tmp_path / "short.b16")
    (tmp_path / "empty.b16").write_bytes(b"\x00\x00\x05\x00")
    with pytest.raises(OSError, match="declares an image of 0 x 5 px; no images can be read"):
        tarvex.read_pair_file(tmp_path / "empty.b16")
    tarvex.write_pair_file(tmp_path / "two.b16", np.zeros((2, 4, 4), dtype=np.uint16))
    with pytest.raises(ValueError, match="only contains 2 images; image 3 does not exist"):
        tarvex.read_pair_file(tmp_path / "two.b16", images=(1, 3))
    with pytest.raises(OSError, match="cannot open the DPIV file"):
        tarvex.read_dpiv(tmp_path / "missing.dpiv")
    (tmp_path / "bad.dpiv").write_text("1 2 3\n")
    with pytest.raises(OSError, match="does not begin with the 12 comment lines"):
        tarvex.read_dpiv(tmp_path / "bad.dpiv")
    with pytest.raises(OSError, match="cannot open"):
        tarvex.read_truth(tmp_path / "missing.truth")


def test_files_that_cannot_be_written(tmp_path):
    (a, b), truth = tarvex.synth(size=(64, 64))
    field = tarvex.analyse(a, b)
    nowhere = tmp_path / "no" / "such"
    with pytest.raises(OSError, match="cannot write '.*f.dpiv': No such file or directory"):
        field.write_dpiv(nowhere / "f.dpiv")
    with pytest.raises(OSError, match="cannot write '.*f.plt': No such file or directory"):
        field.write_tecplot(nowhere / "f.plt")
    with pytest.raises(OSError, match="cannot write"):
        tarvex.write_pair_file(nowhere / "f.b16", [a])
    with pytest.raises(OSError, match="cannot write"):
        truth.write(nowhere / "f.truth")
    assert not (tmp_path / "no").exists()


def test_a_pair_file_that_fills_the_disk_is_not_left_behind(tmp_path):
    # The file-size limit makes the writes fail part-way, as a full disk would.
    script = (
        "import resource, signal, numpy as np, tarvex\n"
        "signal.signal(signal.SIGXFSZ, signal.SIG_IGN)\n"
        "resource.setrlimit(resource.RLIMIT_FSIZE, (20000, 20000))\n"
        "try:\n"
        "    tarvex.write_pair_file('big.b16', np.ones((2, 100, 100), dtype=np.uint16))\n"
        "except OSError as e:\n"
        "    print('OSError', e)\n")
    result = subprocess.run([sys.executable, "-c", script], cwd=tmp_path, capture_output=True,
                            text=True, env=os.environ, timeout=120)
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith("OSError cannot write 'big.b16': File too large")
    assert not (tmp_path / "big.b16").exists()
