#include "correlation/fftw-2d.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarvex {

namespace {

void PrintNoMemory() { printf("\nNOT ENOUGH DYNAMIC MEMORY\n"); }

// Destination of source index i along an axis of length 2h or 2h+1: zero displacement
// (index 0) goes to h-1, displacement +h to 2h-1. For odd lengths index 2h has none.
inline int ShiftedIndex(int i, int h) { return i <= h ? i + h - 1 : i - h - 1; }

// Shifts the ny x nx plane whose element k is value(k) into `shifted`: along x within
// every row into `rows`, then along y within every column. Cells no source element
// reaches (the last column or row of an odd length) are 0.
template <typename Value>
void ShiftPlaneInto(int nx, int ny, Value value, fftw_real* rows, fftw_real* shifted) {
  const int hx = nx / 2;
  const int hy = ny / 2;
  for (int j = 0; j < ny; ++j) {
    const size_t row = static_cast<size_t>(j) * nx;
    for (int i = 0; i < 2 * hx; ++i) rows[row + ShiftedIndex(i, hx)] = value(row + i);
    if (2 * hx < nx) rows[row + nx - 1] = 0.0;
  }
  for (int j = 0; j < 2 * hy; ++j) {
    const size_t from = static_cast<size_t>(j) * nx;
    const size_t to = static_cast<size_t>(ShiftedIndex(j, hy)) * nx;
    for (int i = 0; i < nx; ++i) shifted[to + i] = rows[from + i];
  }
  if (2 * hy < ny)
    for (int i = 0; i < nx; ++i) shifted[static_cast<size_t>(ny - 1) * nx + i] = 0.0;
}

// The shift into a new array; null (after the memory message) when memory runs out.
template <typename Value>
fftw_real* ShiftPlane(int nx, int ny, Value value) {
  const size_t count = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  CArray<fftw_real> rows;
  CArray<fftw_real> shifted;
  if (!rows.Allocate(count, true) || !shifted.Allocate(count, true)) {
    PrintNoMemory();
    return nullptr;
  }
  ShiftPlaneInto(nx, ny, value, rows.data, shifted.data);
  fftw_real* result = shifted.data;
  shifted.data = nullptr;
  return result;
}

// S = conj(f1) * f2 * scale, coefficient by coefficient.
void CrossSpectrum(const fftw_complex* f1, const fftw_complex* f2, fftw_complex* S,
                   size_t count, double scale) {
  for (size_t m = 0; m < count; ++m) {
    const double a = f1[m].re, b = f1[m].im;
    const double c = f2[m].re, d = f2[m].im;
    S[m].re = (a * c + b * d) * scale;
    S[m].im = (a * d - b * c) * scale;
  }
}

// The plane of a free kernel: the shifted correlation divided by the two norms, as a
// new C-allocated float array; null (after the memory message) when it cannot be made.
float* NormalisedPlane(const fftw_real* shifted, size_t count, double rho1, double rho2) {
  float* plane = static_cast<float*>(calloc(count, sizeof(float)));
  if (plane == nullptr) {
    PrintNoMemory();
    return nullptr;
  }
  for (size_t k = 0; k < count; ++k) plane[k] = static_cast<float>(shifted[k] / (rho1 * rho2));
  return plane;
}

size_t PlaneSize(int nx, int ny) { return static_cast<size_t>(nx) * static_cast<size_t>(ny); }

}  // namespace

fftw_real* rfftshift(fftw_real* array, int nx, int ny) {
  return ShiftPlane(nx, ny, [array](size_t k) { return array[k]; });
}

fftw_real* fftshift(fftw_complex* array, int nx, int ny) {
  return ShiftPlane(nx, ny, [array](size_t k) { return array[k].re; });
}

void rfftshift_into(const fftw_real* array, int nx, int ny, fftw_real* rows, fftw_real* shifted) {
  ShiftPlaneInto(nx, ny, [array](size_t k) { return array[k]; }, rows, shifted);
}

void NormalisedShiftInto(const fftw_real* cc, int nx, int ny, double norm, float* plane) {
  const int hx = nx / 2;
  const int hy = ny / 2;
  const float unreached = static_cast<float>(0.0 / norm);
  for (int j = 0; j < 2 * hy; ++j) {
    const fftw_real* from = cc + static_cast<size_t>(j) * nx;
    float* to = plane + static_cast<size_t>(ShiftedIndex(j, hy)) * nx;
    // Columns 0..hx go to hx-1..2hx-1, columns hx+1..2hx-1 to 0..hx-2 (ShiftedIndex).
    if (hx > 0)
      for (int i = 0; i <= hx; ++i) to[i + hx - 1] = static_cast<float>(from[i] / norm);
    for (int i = hx + 1; i < 2 * hx; ++i) to[i - hx - 1] = static_cast<float>(from[i] / norm);
    if (2 * hx < nx) to[nx - 1] = unreached;
  }
  if (2 * hy < ny)
    for (int i = 0; i < nx; ++i) plane[static_cast<size_t>(ny - 1) * nx + i] = unreached;
}

double ArrayNorm(const fftw_real* a, int n) {
  double sum = 0.0;
  for (int k = 0; k < n; ++k) sum += a[k] * a[k];
  return sqrt(sum);
}

bool RealCCWork::Allocate(int nx, int ny, bool zeroFill) {
  nx_ = nx;
  ny_ = ny;
  const size_t pixels = PlaneSize(nx, ny);
  const size_t coefficients = PlaneSize(nx / 2 + 1, ny);
  if (fI1.Allocate(pixels, zeroFill) && fI2.Allocate(pixels, zeroFill) &&
      fft1.Allocate(coefficients, zeroFill) && fft2.Allocate(coefficients, zeroFill) &&
      S12.Allocate(coefficients, zeroFill)) {
    return true;
  }
  PrintNoMemory();
  return false;
}

bool RealCCWork::Reserve(int nx, int ny) {
  nx_ = nx;
  ny_ = ny;
  const size_t pixels = PlaneSize(nx, ny);
  const size_t coefficients = PlaneSize(nx / 2 + 1, ny);
  return fI1.Reserve(pixels) && fI2.Reserve(pixels) && fft1.Reserve(coefficients) &&
         fft2.Reserve(coefficients) && S12.Reserve(coefficients);
}

fftw_real* RealCCWork::Correlate(rfftwnd_plan forward, rfftwnd_plan inverse) {
  rfftwnd_one_real_to_complex(forward, fI1.data, fft1.data);
  rfftwnd_one_real_to_complex(forward, fI2.data, fft2.data);
  const double scale = 1.0 / (nx_ * ny_);
  CrossSpectrum(fft1.data, fft2.data, S12.data, PlaneSize(nx_ / 2 + 1, ny_), scale);
  // ny*(nx/2+1) complex values hold at least nx*ny reals.
  fftw_real* cc = reinterpret_cast<fftw_real*>(fft1.data);
  rfftwnd_one_complex_to_real(inverse, S12.data, cc);
  return cc;
}

std::mutex& FFTWPlannerMutex() {
  static std::mutex planner;
  return planner;
}

PlanPair::PlanPair(fftwnd_plan forwardPlan, fftwnd_plan inversePlan, int nx, int ny, Kind kind)
    : forward(forwardPlan),
      inverse(inversePlan),
      kind_(kind),
      ownForward_(forwardPlan == nullptr),
      ownInverse_(inversePlan == nullptr) {
  if (!HasTemporary()) return;
  std::lock_guard<std::mutex> lock(FFTWPlannerMutex());
  if (kind_ == kReal) {
    if (ownForward_) forward = rfftw2d_create_plan(ny, nx, FFTW_REAL_TO_COMPLEX, FFTW_ESTIMATE);
    if (ownInverse_) inverse = rfftw2d_create_plan(ny, nx, FFTW_COMPLEX_TO_REAL, FFTW_ESTIMATE);
  } else {
    if (ownForward_) forward = fftw2d_create_plan(ny, nx, FFTW_FORWARD, FFTW_ESTIMATE | FFTW_IN_PLACE);
    if (ownInverse_) inverse = fftw2d_create_plan(ny, nx, FFTW_BACKWARD, FFTW_ESTIMATE | FFTW_IN_PLACE);
  }
}

void PlanPair::Release() {
  if (!HasTemporary()) return;
  std::lock_guard<std::mutex> lock(FFTWPlannerMutex());
  auto destroy = [this](fftwnd_plan& plan, bool& own) {
    if (!own) return;
    if (plan != nullptr) {
      if (kind_ == kReal) {
        rfftwnd_destroy_plan(plan);
      } else {
        fftwnd_destroy_plan(plan);
      }
    }
    plan = nullptr;
    own = false;
  };
  destroy(forward, ownForward_);
  destroy(inverse, ownInverse_);
}

// The record is copied on every call: a copy kept by the plan's address alone would go
// stale when that plan is destroyed and another one made at the same address.
fftwnd_plan PlanWithOwnWork::View(fftwnd_plan shared) {
  if (shared == nullptr) return nullptr;
  if (shared->nwork > 0 && !work_.Reserve(static_cast<size_t>(shared->nwork))) return nullptr;
  copy_ = *shared;
  copy_.work = shared->nwork > 0 ? work_.data : nullptr;
  return &copy_;
}

void RealCCWork::LoadWindows(const unsigned short* image1, const unsigned short* image2,
                             double scale) {
  const size_t count = PlaneSize(nx_, ny_);
  for (size_t k = 0; k < count; ++k) {
    fI1.data[k] = image1[k] / scale;
    fI2.data[k] = image2[k] / scale;
  }
}

WindowNorms RealCCWork::CorrelateShifted(rfftwnd_plan forward, rfftwnd_plan inverse,
                                         fftw_real* rows, fftw_real* shifted) {
  const int count = nx_ * ny_;
  const WindowNorms norms{ArrayNorm(fI1.data, count), ArrayNorm(fI2.data, count)};
  rfftshift_into(Correlate(forward, inverse), nx_, ny_, rows, shifted);
  return norms;
}

// The common end of the free kernels: the normalised plane of the shifted correlation;
// on success the input windows are released, as the kernels' contract says.
static float* FinishFreeKernel(const fftw_real* shifted, size_t count, WindowNorms norms,
                               unsigned short* image1, unsigned short* image2) {
  float* plane = NormalisedPlane(shifted, count, norms.rho1, norms.rho2);
  if (plane == nullptr) return nullptr;
  free(image1);
  free(image2);
  return plane;
}

float* FFTW_Rpiv_CC(unsigned short* image1, unsigned short* image2, int nx, int ny,
                    rfftwnd_plan FORWARD, rfftwnd_plan BACKWARD) {
  const size_t count = PlaneSize(nx, ny);
  PlanPair plans(FORWARD, BACKWARD, nx, ny, PlanPair::kReal);
  RealCCWork work;
  CArray<fftw_real> rows, shifted;
  if (!work.Allocate(nx, ny, true)) return nullptr;
  if (!rows.Allocate(count, true) || !shifted.Allocate(count, true)) {
    PrintNoMemory();
    return nullptr;
  }
  // Raw counts: the plane is normalised, so the scale of the pixels does not enter it.
  work.LoadWindows(image1, image2, 1.0);
  const WindowNorms norms = work.CorrelateShifted(plans.forward, plans.inverse, rows.data, shifted.data);
  plans.Release();
  return FinishFreeKernel(shifted.data, count, norms, image1, image2);
}

float* FFTW_Cpiv_CC(unsigned short* image1, unsigned short* image2, int nx, int ny,
                    fftwnd_plan FORWARD, fftwnd_plan BACKWARD) {
  const size_t count = PlaneSize(nx, ny);
  PlanPair plans(FORWARD, BACKWARD, nx, ny, PlanPair::kComplexInPlace);
  CArray<fftw_complex> f1, f2, S12;
  if (!f1.Allocate(count, true) || !f2.Allocate(count, true) || !S12.Allocate(count, true)) {
    PrintNoMemory();
    return nullptr;
  }
  double sum1 = 0.0, sum2 = 0.0;
  for (size_t k = 0; k < count; ++k) {
    f1.data[k].re = image1[k];
    f2.data[k].re = image2[k];
    sum1 += f1.data[k].re * f1.data[k].re;
    sum2 += f2.data[k].re * f2.data[k].re;
  }
  const double rho1 = sqrt(sum1);
  const double rho2 = sqrt(sum2);
  fftwnd_one(plans.forward, f1.data, nullptr);
  fftwnd_one(plans.forward, f2.data, nullptr);
  CrossSpectrum(f1.data, f2.data, S12.data, count, 1.0 / (nx * ny));
  fftwnd_one(plans.inverse, S12.data, nullptr);
  plans.Release();
  fftw_real* shifted = fftshift(S12.data, nx, ny);
  if (shifted == nullptr) return nullptr;
  float* plane = FinishFreeKernel(shifted, count, {rho1, rho2}, image1, image2);
  free(shifted);
  return plane;
}

}  // namespace tarvex
