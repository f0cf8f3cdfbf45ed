// Correlation-peak search on a plane of ny rows of nx floats, the neighbourhood of a
// peak found by walking down its slopes, the least-squares Gaussian fit that refines
// the peak to sub-pixel accuracy, and the blanking of a found peak.
#include "peaks/FitPeak2SubPixel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "peaks/ChisqSVDFitFunctions.h"

namespace tarvex {

namespace {

// A slope cell counts only while it is above this fraction of the peak value.
constexpr float kSlopeCutOff = 0.01f;
// Stands in for values that are not positive in the logarithms of the fit.
constexpr double kLogFloor = 1e-5;
// A fitted peak further than this from the integer peak is rejected.
constexpr double kAcceptanceDistance = 0.51;

// Counts the cells of a slope walked from the peak at `centre` in steps of `step`
// (+1 or -1) along a line of `len` cells, element k lying at line[k * stride]. A cell
// counts while the cell beyond it is strictly lower and it is above the threshold; a
// cell at the end of the line has nothing beyond it and does not count.
int SlopeCount(const float* line, int stride, int len, int centre, int step, float threshold) {
  int count = 0;
  for (int k = centre + step; k >= 0 && k < len; k += step) {
    const int beyond = k + step;
    if (beyond < 0 || beyond >= len) break;
    const float value = line[k * stride];
    if (!(line[beyond * stride] < value && value > threshold)) break;
    ++count;
  }
  return count;
}

// First cell and length along one axis of the neighbourhood of the peak at `centre`;
// `reset_at_zero` makes a start at 0 fall back to the narrow window too.
void SelectAxis(const float* line, int stride, int len, int centre, float threshold,
                bool reset_at_zero, int* start, int* length) {
  if (centre <= 1) {
    *start = 0;
    *length = 3;
    return;
  }
  if (centre >= len - 2) {
    *start = len - 3;
    *length = 3;
    return;
  }
  const int below = SlopeCount(line, stride, len, centre, -1, threshold);
  const int above = SlopeCount(line, stride, len, centre, +1, threshold);
  int n = 2 * ((below + above) / 2) + 1;
  int s = centre - n / 2;
  if (n <= 3) {
    s = centre - 1;
    n = 3;
  }
  if (s < 0 || (reset_at_zero && s == 0)) {
    s = 0;
    n = 3;
  } else if (s + n - 1 > len - 1) {
    s = len - 3;
    n = 3;
  }
  *start = s;
  *length = n;
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// The sub-pixel displacement along one axis: the fitted peak when it lies within the
// acceptance distance of the integer peak, else the integer peak.
float AxisDisplacement(float fitted, int centre, int len) {
  const float origin = static_cast<float>(len / 2);
  if (!(std::fabs(fitted - centre) <= kAcceptanceDistance))
    return (static_cast<float>(centre) - origin) + 1.0f;
  return (fitted - origin) + 1.0f;
}

// The points of a fit over the nx x ny array `data`: window coordinates and the
// logarithm of each value relative to the peak value (the floor standing in for values
// that are not positive).
void GaussianFitPoints(const float* data, int nx, int ny, float maxval, float* x, float* y,
                       float* z) {
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const int k = j * nx + i;
      x[k] = static_cast<float>(i);
      y[k] = static_cast<float>(j);
      const double value = data[k] > 0.0f ? static_cast<double>(data[k]) : kLogFloor;
      z[k] = static_cast<float>(std::log(value / maxval));
    }
  }
}

// The refined displacement of the peak at (ix, iy) from the coefficients fitted over the
// neighbourhood nb; without coefficients (null) the integer peak, as for a rejected fit.
void FittedDisplacement(const PeakNeighbourhood& nb, const float* a, int ix, int iy, int nx,
                        int ny, float* xloc, float* yloc) {
  // NaN falls back to the integer peak in AxisDisplacement.
  float x = NAN;
  float y = NAN;
  if (a != nullptr) {
    x = static_cast<float>(nb.x0) - a[1] / (a[2] + a[2]);
    y = static_cast<float>(nb.y0) - a[3] / (a[4] + a[4]);
  }
  *xloc = AxisDisplacement(x, ix, nx);
  *yloc = AxisDisplacement(y, iy, ny);
}

}  // namespace

PeakNeighbourhood SelectPeakNeighbourhood(const float* array, int nx, int ny, int ix, int iy,
                                          float maxv, NeighbourhoodUse use) {
  // The walks run along row iy and column ix, which must lie inside the plane.
  ix = Clamp(ix, 0, nx - 1);
  iy = Clamp(iy, 0, ny - 1);
  const float threshold = kSlopeCutOff * maxv;
  PeakNeighbourhood nb{};
  SelectAxis(array + static_cast<long>(iy) * nx, 1, nx, ix, threshold,
             use == NeighbourhoodUse::Blank, &nb.x0, &nb.lenx);
  SelectAxis(array + ix, nx, ny, iy, threshold, false, &nb.y0, &nb.leny);
  if (use == NeighbourhoodUse::Fit) {
    if (nb.lenx > nx) nb.lenx = nx;
    if (nb.leny > ny) nb.leny = ny;
  }
  return nb;
}

float search_CCIntPeak(float* array, int nx, int ny, float* xmax, float* ymax) {
  float maxv = kNoPeakValue;
  int bx = 0;
  int by = 0;
  for (int j = 1; j <= ny - 2; ++j) {
    for (int i = 1; i <= nx - 2; ++i) {
      const float* c = array + static_cast<long>(j) * nx + i;
      const float v = *c;
      if (v > maxv && v > c[-1] && v > c[-nx] && v > c[1] && v > c[nx]) {
        maxv = v;
        bx = i;
        by = j;
      }
    }
  }
  *xmax = static_cast<float>(bx);
  *ymax = static_cast<float>(by);
  return maxv;
}

float* subdata(float* data, int nx, int /*ny*/, int x, int y, int sx, int sy) {
  float* out = static_cast<float*>(calloc(static_cast<size_t>(sx) * sy, sizeof(float)));
  if (out == nullptr) {
    printf("\nNOT ENOUGH DYNAMIC MEMORY\n");
    return nullptr;
  }
  subdata_into(data, nx, x, y, sx, sy, out);
  return out;
}

void subdata_into(const float* data, int nx, int x, int y, int sx, int sy, float* out) {
  for (int j = 0; j < sy; ++j)
    for (int i = 0; i < sx; ++i)
      out[j * sx + i] = data[static_cast<long>(y + j) * nx + (x + i)];
}

float* TwoDGaussianFit(float* data, int nx, int ny, float maxval) {
  GaussianFitWork work;
  float* a = static_cast<float*>(calloc(kGaussianCoefficients + 1, sizeof(float)));
  if (a == nullptr || !work.Reserve(nx * ny)) {
    printf("\nNOT ENOUGH DYNAMIC MEMORY FOR THE FIT\n");
    free(a);
    return nullptr;
  }
  if (!TwoDGaussianFit(data, nx, ny, maxval, work)) {
    free(a);
    return nullptr;
  }
  std::copy(work.a, work.a + kGaussianCoefficients + 1, a);
  return a;
}

bool GaussianFitWork::Reserve(int mp) {
  return sub.Reserve(mp) && x.Reserve(mp + 1) && y.Reserve(mp + 1) && z.Reserve(mp + 1) &&
         svd.Reserve(mp, kGaussianCoefficients);
}

bool TwoDGaussianFit(const float* data, int nx, int ny, float maxval, GaussianFitWork& work) {
  const int mp = nx * ny;
  const int ma = kGaussianCoefficients;
  if (!work.Reserve(mp)) return false;
  if (maxval == 0.0f) maxval = 1.0f;
  std::fill(work.a, work.a + ma + 1, 0.0f);
  GaussianFitPoints(data, nx, ny, maxval, work.x.data, work.y.data, work.z.data);
  float chisq = 0.0f;
  return svdfit_xy(work.x.data, work.y.data, work.z.data, mp, work.a, ma, &chisq, fpolyGaussian, work.svd);
}

void CC_fit_linear_exp(float* array, int nx, int ny, float* xloc, float* yloc, float maxv) {
  GaussianFitWork work;
  CC_fit_linear_exp(array, nx, ny, xloc, yloc, maxv, work);
}

void CC_fit_linear_exp(const float* array, int nx, int ny, float* xloc, float* yloc, float maxv,
                       GaussianFitWork& work) {
  const int ix = static_cast<int>(*xloc);
  const int iy = static_cast<int>(*yloc);
  const PeakNeighbourhood nb =
      SelectPeakNeighbourhood(array, nx, ny, ix, iy, maxv, NeighbourhoodUse::Fit);
  const bool fitted = work.Reserve(nb.lenx * nb.leny);
  if (fitted) subdata_into(array, nx, nb.x0, nb.y0, nb.lenx, nb.leny, work.sub.data);
  const bool solved = fitted && TwoDGaussianFit(work.sub.data, nb.lenx, nb.leny, maxv, work);
  FittedDisplacement(nb, solved ? work.a : nullptr, ix, iy, nx, ny, xloc, yloc);
}

CellRange BlankPeakArea(float* array, int nx, int ny, float xloc, float yloc, float maxv) {
  const PeakNeighbourhood nb = SelectPeakNeighbourhood(
      array, nx, ny, static_cast<int>(xloc), static_cast<int>(yloc), maxv,
      NeighbourhoodUse::Blank);
  // Planes narrower than 3 cells would put the rectangle partly outside.
  const CellRange cells{Clamp(nb.x0, 0, nx), Clamp(nb.y0, 0, ny), Clamp(nb.x0 + nb.lenx, 0, nx),
                        Clamp(nb.y0 + nb.leny, 0, ny)};
  for (int j = cells.y0; j < cells.y1; ++j)
    for (int i = cells.x0; i < cells.x1; ++i) array[static_cast<long>(j) * nx + i] = 0.0f;
  return cells;
}

}  // namespace tarvex
