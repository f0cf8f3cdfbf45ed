// Free FFT cross-correlation kernels and the shifts that centre a correlation plane.
//
// Worked example: the shift moves element (column i, row j) of a 4 x 4 plane to
// ((i + 1) % 4, (j + 1) % 4), so zero displacement lands on (nx/2 - 1, ny/2 - 1) = (1, 1):
//    0  1  2  3        15 12 13 14
//    4  5  6  7   ->    3  0  1  2      cell (i, j) now holds displacement (i - 1, j - 1)
//    8  9 10 11         7  4  5  6
//   12 13 14 15        11  8  9 10
// An 8 x 8 window correlated with its copy moved circularly 2 columns right and 1 row down
// peaks with the value 1 at cell (8/2 - 1 + 2, 8/2 - 1 + 1) = (5, 4).
#ifndef FFTW_2D_H
#define FFTW_2D_H

#include <fftw.h>
#include <rfftw.h>

#include <cstddef>
#include <mutex>

#include "support/CArray.h"

namespace tarvex {

// Shifted copy of a real ny x nx array (zero displacement to column nx/2-1, row ny/2-1);
// the caller frees the result with free(). Null, after a message, when memory runs out.
fftw_real* rfftshift(fftw_real* array, int nx, int ny);
// The same shift applied to the real parts of a complex array.
fftw_real* fftshift(fftw_complex* array, int nx, int ny);

// Normalised circular cross-correlation of two ny x nx pixel windows with real or
// complex transforms. Null plans are replaced by temporary ones. On success both input
// buffers are released with free() and a new plane (free() it) is returned; on failure null.
float* FFTW_Rpiv_CC(unsigned short* image1, unsigned short* image2, int nx, int ny,
                    rfftwnd_plan FORWARD, rfftwnd_plan BACKWARD);
float* FFTW_Cpiv_CC(unsigned short* image1, unsigned short* image2, int nx, int ny,
                    fftwnd_plan FORWARD, fftwnd_plan BACKWARD);

// Building blocks shared with PIVPoint's correlation.

// The same shift into caller buffers: `rows` (the intermediate) and `shifted` hold nx*ny
// values each; every element of `shifted` is written. Allocates nothing.
void rfftshift_into(const fftw_real* array, int nx, int ny, fftw_real* rows, fftw_real* shifted);

// The same shift of a correlation divided by `norm`, as floats into `plane` (nx*ny values,
// every one written): float(value / norm) at the shifted place, float(0.0 / norm) in the
// cells no value reaches. One pass instead of two shifts and a conversion.
void NormalisedShiftInto(const fftw_real* cc, int nx, int ny, double norm, float* plane);

// Euclidean norms of the two windows of a correlation.
struct WindowNorms {
  double rho1;
  double rho2;
};

// The work arrays of one real-transform correlation of ny rows of nx values.
class RealCCWork {
 public:
  // Allocates fI1, fI2 (nx*ny) and fft1, fft2, S12 (ny*(nx/2+1)) in this order; when one
  // fails prints "\nNOT ENOUGH DYNAMIC MEMORY\n" and returns false.
  bool Allocate(int nx, int ny, bool zeroFill);
  // The same arrays kept from earlier calls while large enough (contents undefined);
  // false, silently, when one cannot be obtained.
  bool Reserve(int nx, int ny);
  // Transforms fI1 and fI2, forms the conjugate cross spectrum times 1/(nx*ny) and
  // transforms it back into the storage of fft1: returns that unshifted correlation.
  fftw_real* Correlate(rfftwnd_plan forward, rfftwnd_plan inverse);
  // Puts the two windows' pixels, divided by scale, into fI1 and fI2.
  void LoadWindows(const unsigned short* image1, const unsigned short* image2, double scale);
  // The norms of fI1 and fI2 as they stand, then their correlation shifted into `shifted`
  // (zero displacement at column nx/2-1, row ny/2-1); `rows` is scratch. Both hold nx*ny.
  WindowNorms CorrelateShifted(rfftwnd_plan forward, rfftwnd_plan inverse, fftw_real* rows,
                               fftw_real* shifted);

  CArray<fftw_real> fI1, fI2;
  CArray<fftw_complex> fft1, fft2, S12;

 private:
  int nx_ = 0;
  int ny_ = 0;
};

// The FFTW planner (and plan destruction) is not thread-safe: every plan made or destroyed
// while analysis threads may run holds this lock.
std::mutex& FFTWPlannerMutex();

// A forward and an inverse plan for ny rows of nx values: the plans given, and temporary
// FFTW_ESTIMATE ones in place of null ones, destroyed by Release or with the object.
class PlanPair {
 public:
  enum Kind { kReal, kComplexInPlace };
  PlanPair(fftwnd_plan forward, fftwnd_plan inverse, int nx, int ny, Kind kind);
  ~PlanPair() { Release(); }
  PlanPair(const PlanPair&) = delete;
  PlanPair& operator=(const PlanPair&) = delete;
  bool HasTemporary() const { return ownForward_ || ownInverse_; }
  void Release();

  fftwnd_plan forward;
  fftwnd_plan inverse;

 private:
  Kind kind_;
  bool ownForward_;
  bool ownInverse_;
};

// A shared multi-dimensional plan executed with a scratch array of its own.
//
// Executing an FFTW 2 rfftwnd/fftwnd plan only reads the plan, its 1-D sub-plans and
// their twiddle tables, with one exception: the plan's `work` array (nwork complex
// values), which the transform uses as scratch. FFTW allocates it once at planning time
// unless the plan was made FFTW_THREADSAFE, so two threads executing the same plan would
// write the same scratch. The table plans are made once at start-up, exactly as before,
// without that flag; instead each worker executes a shallow copy of the plan record whose
// `work` points to an array the worker owns. The copy shares the sub-plans, so the
// transform runs the same algorithm on the same data and gives the same bits, and a
// private, preallocated scratch array also means the execution never allocates.
class PlanWithOwnWork {
 public:
  // A copy of `shared` to execute, with this object's scratch (grown when too small); null
  // when the scratch array cannot be obtained. Valid until the next call.
  fftwnd_plan View(fftwnd_plan shared);

 private:
  fftwnd_data copy_{};
  CArray<fftw_complex> work_;
};

// sqrt of the sum of the squares of a[0..n-1], summed from index 0 up.
double ArrayNorm(const fftw_real* a, int n);

}  // namespace tarvex

#endif
