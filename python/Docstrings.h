// The help texts of the Python module, each with an example that runs as shown.
#ifndef PYTHON_DOCSTRINGS_H
#define PYTHON_DOCSTRINGS_H

namespace tarvex {

namespace docs {

constexpr const char* kModule = R"(PIV analysis of image pairs held in numpy arrays.

The analysis of the tarvex program, its file formats and pivsynth's synthetic images,
for scripts and notebooks. The numbers are those the command line writes for the same
images and options.

>>> import tarvex
>>> (a, b), truth = tarvex.synth(size=(128, 128), dx=2.3, dy=-1.2)
>>> field = tarvex.analyse(a, b, window=32, spacing=16, subpix="gauss3", meansub=True)
>>> field.shape
(7, 7)
>>> round(float(field.u[2, 2]), 1), round(float(field.v[2, 2]), 1)
(2.3, -1.2)
)";

constexpr const char* kAnalyse = R"(Measures the displacement field between two images.

frame_a, frame_b: 2-D arrays (rows, columns) of one size, 1 to 5000 pixels a side. Their
values are taken as counts, never rescaled: integers must lie in 0..65535, floating-point
values are rounded to the nearest count (halves upward) and clamped to 0..65535; NaN,
booleans, complex numbers and strings are refused.

Options (the tarvex command line's in brackets):
  window        window (DFT) size in pixels, w or (w, h)          [-dft]
  spacing       grid spacing, d or (dx, dy); default the window   [-gspac]
  subpix        "fit" (least-squares Gaussian fit, the default) or
                "gauss3" (the default with deform)                [-subpix]
  meansub       subtract each window's mean; only with "gauss3"   [-meansub]
  two_pass      offset every window by the first result, again    [-i]
  min_rho       reject peaks below this value                     [-MinRho]
  max_velocity_ratio  reject vectors longer than this x window    [-MaxVelRat]
  global_histogram    C3 of the global histogram test             [-GHcheck]
  median        C4 of the median test, in pixels                  [-MVOcheck]
  dynamic_mean  (C1, C2) of the dynamic mean test; also used by
                the two-pass analysis (default (1, 1))            [-DMVOcheck]
  smooth        3 x 3 moving average filling rejected vectors     [-s]
  threads       threads measuring the points, 0 = one per core    [-j]
  deform        window deformation: this many refinement passes,
                1 to 20 (0: none); implies "gauss3" and meansub   [-deform]
  first_window  with deform, the square window of the first pass,
                a plan-table size larger than window (0: window)  [-dft0]
  deform_reference  with deform, "midpoint" (the displacement whose
                path has its midpoint at the window centre, the
                default) or "first" (of the particle starting there)  [-deformref]
  uncertainty   with deform, estimate each vector's standard
                uncertainty: Field.sigma_u, sigma_v (see
                docs/uncertainty.md); changes no other value
  mask          2-D array of the frames' shape, nonzero where there
                is flow; masked points are never measured         [-mask]
  background    subtracted from both frames before any pass:
                "min" or "mean" over background_images (default
                the two frames), or a 2-D array of counts          [-bg]
  background_images  with "min" or "mean", the images (a 3-D array
                or a sequence of 2-D arrays) the background is made
                of, as tarvex makes it over its image-pair file
  highpass      subtract the mean of this many pixels a side (odd,
                3 to 999)                                          [-highpass]
  cap           clip each frame at its median + 2 standard
                deviations                                         [-cap]
A check left at None is not run. The checks run in the command line's fixed order.
With background, highpass or cap, windows that hold no particle images are not measured
(log: "No particle images in N of M windows").

Returns a Field. Raises ValueError for settings the command line refuses, frames of
different sizes or frames too small for one window, TypeError for non-numeric arrays,
RuntimeError when the deformation passes cannot run (no valid first-pass vector).
The interpreter lock is released while the analysis runs, so analyses in several
Python threads run at the same time.

>>> import tarvex
>>> (a, b), truth = tarvex.synth(size=(96, 64), dx=1.5)
>>> f = tarvex.analyse(a, b, window=32, spacing=16, subpix="gauss3", median=1.0)
>>> f.shape, int(f.flag.sum())
((3, 5), 8)
>>> float(f.x[0, 1]), float(f.xc[0, 1])
(31.0, 31.5)
>>> g = tarvex.analyse(a, b, window=32, spacing=16, deform=2)
>>> print(g.log, end="")
	Deformation pass 1: 0 vectors replaced, RMS change 0.0410 px
	Deformation pass 2: 0 vectors replaced, RMS change 0.0148 px
>>> round(float(g.u[1, 1]), 2)
1.5
>>> h = tarvex.analyse(a, b, window=32, spacing=16, deform=2, uncertainty=True)
>>> bool((h.u == g.u).all()), bool((h.sigma_u[h.flag] < 0.1).all())
(True, True)
)";

constexpr const char* kBackground = R"(The background tarvex -bg min or -bg mean subtracts.

images: a 3-D array (image, row, column) or a sequence of 2-D arrays of one size, taken as
counts as analyse takes its frames; at most 65535 are used. statistic: "min" (the default)
or "mean". mask: a 2-D array of the images' shape, nonzero where there is flow; masked pixels
stay out of the opening below.

Returns a float64 array (rows, columns) of counts: the mean of every pixel, or its minimum.
A minimum of fewer than eight images still holds light where particles of the images
overlap and is opened with line segments of 7 pixels (what a segment of 7 pixels along the
rows or the columns fits under stays: a glow, a band, a row pattern of the sensor; particle
images go). analyse(..., background="min", background_images=images) subtracts exactly this
array, as tarvex -bg min does over an image-pair file holding the same images.

>>> import numpy as np, tarvex
>>> tarvex.background([np.array([[4, 7], [3, 9]]), np.array([[6, 2], [5, 1]])], "mean").tolist()
[[5.0, 4.5], [4.0, 5.0]]
>>> tarvex.background(np.full((8, 16, 16), 100)).max()   # eight images: the minimum as it is
100.0
)";

constexpr const char* kField = R"(A vector field on its grid, as tarvex's DPIV file holds it.

Arrays of shape (rows, columns), row by row as the DPIV file lists the points:
  x, y     window positions as the DPIV file writes them (x the column, y the row)
  xc, yc   window centres (x + 0.5 for even windows)
  u, v     displacement in pixels from the first image to the second
  flag     True for a valid vector, False for a rejected one
  peak     height of the correlation peak
  sigma_u, sigma_v  standard uncertainties of u and v in pixels, NaN where no vector was
           measured (rejected or never measured); None unless analysed with
           uncertainty=True
Rejected vectors keep their values (smoothed ones after smooth=True); windows that never
fit inside the image carry 0. The arrays are read-only copies.
log holds the text the analysis printed (the checks' counts, the two-pass messages).

>>> import tarvex
>>> (a, b), _ = tarvex.synth(size=(64, 64), dx=1.0)
>>> f = tarvex.analyse(a, b, window=32, spacing=32)
>>> f.shape, f.window, f.x.tolist()
((2, 2), (32, 32), [[15.0, 47.0], [15.0, 47.0]])
)";

constexpr const char* kWriteDpiv = R"(Writes the field as a DPIV file, byte for byte as tarvex writes it.

>>> import os, tempfile, tarvex
>>> (a, b), _ = tarvex.synth(size=(64, 64), dx=1.0)
>>> f = tarvex.analyse(a, b, window=32, spacing=16)
>>> path = os.path.join(tempfile.mkdtemp(), "run.dpiv")
>>> f.write_dpiv(path)
>>> tarvex.read_dpiv(path).shape
(3, 3)
)";

constexpr const char* kWriteTecplot = R"(Writes the field as a Tecplot point file (X, Y, U, V).

keep_rejected: whether rejected vectors keep their values; None does as tarvex -tec
does: they keep them only when the field was smoothed, else they are written as 0, 0.

>>> import os, tempfile, tarvex
>>> (a, b), _ = tarvex.synth(size=(64, 64), dx=1.0)
>>> path = os.path.join(tempfile.mkdtemp(), "run.plt")
>>> tarvex.analyse(a, b, window=32, spacing=32).write_tecplot(path)
>>> open(path).read().splitlines()[2]
'ZONE F = POINT, I=          2, J=          2'
)";

constexpr const char* kReadDpiv = R"(Reads a DPIV file written by tarvex into a Field.

The window is taken as 2 (x0 + 1) pixels, the one tarvex lays from the image corner
(x0 the first point's position), so the centres are x + 0.5, y + 0.5; log is empty.
Raises OSError for a file that cannot be read or is no DPIV file.

>>> import os, tempfile, tarvex
>>> (a, b), _ = tarvex.synth(size=(64, 64), dx=1.0)
>>> path = os.path.join(tempfile.mkdtemp(), "run.dpiv")
>>> tarvex.analyse(a, b, window=32, spacing=16).write_dpiv(path)
>>> f = tarvex.read_dpiv(path)
>>> f.window, float(f.yc[1, 0])
((32, 32), 31.5)
)";

constexpr const char* kReadPairFile = R"(Reads images of an image-pair file into a uint16 array (image, row, column).

images: None for every image of the file, an image id (from 1) or a sequence of ids;
pair k of a pivsynth file is images (2k - 1, 2k). Raises OSError for a file that cannot
be opened or read, ValueError for an id the file does not hold.

>>> import os, tempfile, tarvex
>>> path = os.path.join(tempfile.mkdtemp(), "run.b16")
>>> tarvex.write_pair_file(path, [[[1, 2, 3], [4, 5, 6]], [[7, 8, 9], [10, 11, 12]]])
>>> tarvex.read_pair_file(path).shape
(2, 2, 3)
>>> tarvex.read_pair_file(path, images=2).tolist()
[[[7, 8, 9], [10, 11, 12]]]
)";

constexpr const char* kWritePairFile = R"(Writes images as an image-pair file (the input of tarvex).

images: a 3-D array (image, row, column) or a sequence of 2-D arrays, all of one size,
1 to 5000 pixels a side, their values converted as analyse() converts them. A file that
cannot be written raises OSError and is not left behind.

>>> import os, tempfile, numpy as np, tarvex
>>> path = os.path.join(tempfile.mkdtemp(), "run.b16")
>>> tarvex.write_pair_file(path, np.zeros((2, 3, 4), dtype=np.uint16))
>>> os.path.getsize(path)   # 4 header bytes, 2 images of 3 x 4 px, 2 bytes a pixel
52
)";

constexpr const char* kSynth = R"(Synthetic particle images with a known displacement field (pivsynth).

The options are pivsynth's, with the same defaults and limits: size (width, height),
pairs, field ("uniform", "rotation", "vortex", "shear", "sine"), dx, dy, omega,
center (x, y), profile ("rankine", "lamb-oseen"), gamma, core, shear, amplitude,
wavelength, direction ("x", "y"), scheme ("first", "symmetric"), diameter, density,
loss, noise, glow, band, row_pattern, dim, seed. A field parameter that is not None must
belong to the chosen field. band (y0, y1, level), row_pattern (level, x0, y0, x1, y1)
and dim (x0, y0, x1, y1, factor) take one region or a list of them.

Returns (images, truth): images a uint16 array of 2 * pairs images (image, row, column),
the bytes pivsynth writes for the same options, and truth the Truth of the field.
Raises ValueError with pivsynth's message for an option it refuses.

>>> import tarvex
>>> (a, b), truth = tarvex.synth(size=(64, 48), field="rotation", omega=0.01, seed=4)
>>> a.shape, a.dtype.name
((48, 64), 'uint16')
>>> dx, dy = truth.displacement(31.5, 33.5)   # 10 px below the centre (31.5, 23.5)
>>> round(dx, 6), round(dy, 6)
(-0.1, 0.0)
>>> (a, b), _ = tarvex.synth(size=(8, 4), density=0, glow=70, band=[(0, 0, 5), (3, 3, 9)])
>>> a.tolist()   # 10 counts a column, 5 more on row 0 and 9 more on row 3
[[5, 15, 25, 35, 45, 55, 65, 75], [0, 10, 20, 30, 40, 50, 60, 70],
 [0, 10, 20, 30, 40, 50, 60, 70], [9, 19, 29, 39, 49, 59, 69, 79]]
)";

constexpr const char* kTruth = R"(The displacement field and settings of synthetic images (pivsynth's truth file).

scheme is "first" (the field taken at the particles' first-image positions) or
"symmetric" (at the midpoints of their paths); loss the fraction of the particles seen
in one image only.

>>> import tarvex
>>> _, truth = tarvex.synth(size=(32, 32), dx=2.3, dy=-1.2)
>>> truth.text.splitlines()[:3]
['field = uniform', 'dx = 2.3', 'dy = -1.2']
)";

constexpr const char* kDisplacement = R"(The true displacement (dx, dy) at positions x, y (arrays broadcast).

reference None: the field as the truth file gives it, at first-image positions for the
scheme "first" and at the midpoints of the paths for "symmetric". "midpoint": the
displacement of the particle whose path has its midpoint at (x, y); "first": that of the
particle at (x, y) in the first image (as pivcompare --reference compares). NaN where the
conversion between the two does not converge.

>>> import numpy as np, tarvex
>>> _, truth = tarvex.synth(size=(32, 32), field="shear", shear=0.5, center=(0, 10))
>>> dx, dy = truth.displacement(np.array([3.0, 3.0]), np.array([10.0, 14.0]))
>>> dx.tolist(), dy.tolist()
([0.0, 2.0], [0.0, 0.0])
>>> _, spin = tarvex.synth(size=(32, 32), field="rotation", omega=0.2, center=(10, 10))
>>> [round(v, 5) for v in spin.displacement(20, 10, reference="midpoint")]   # 10 px right
[0.19802, 1.9802]
)";

constexpr const char* kReadTruth = R"(Reads a truth file written by pivsynth.

>>> import os, tempfile, tarvex
>>> path = os.path.join(tempfile.mkdtemp(), "run.b16.truth")
>>> tarvex.synth(size=(32, 32), dx=0.5)[1].write(path)
>>> tarvex.read_truth(path).displacement(3, 4)
(0.5, 0.0)
)";

}  // namespace docs

}  // namespace tarvex

#endif
