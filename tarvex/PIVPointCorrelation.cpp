#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "CorrelationWorkspace.h"
#include "PIVPoint.h"
#include "fftw-2d.h"

namespace {

const char* const kNoMemory = "\nNOT ENOUGH DYNAMIC MEMORY\n";

// Pixels are on a 12-bit scale; the windows are correlated in units of full scale.
constexpr double kPixelScale = 4096.0;

// Truncates toward zero and keeps the low bits of the integer; values no integer type
// can hold (not-a-number from an all-zero window among them) give 0.
uint64_t TruncatedLowBits(double value) {
  constexpr double kLimit = 9.0e18;
  if (!(value > -kLimit && value < kLimit)) return 0;
  return static_cast<uint64_t>(static_cast<int64_t>(value));
}

size_t ElementSize(int CCtype) {
  switch (CCtype) {
    case 1: return sizeof(uint8_t);
    case 2: return sizeof(uint16_t);
    case 3: return sizeof(uint32_t);
    case 4: return sizeof(float);
    case 5: return sizeof(double);
    default: return 0;
  }
}

// Stores element k of a plane of the given type; the plane's storage is a float array,
// so every type is written byte-wise.
void StoreElement(unsigned char* plane, int CCtype, size_t k, double shifted, double rho1,
                  double rho2) {
  const size_t size = ElementSize(CCtype);
  unsigned char* at = plane + k * size;
  switch (CCtype) {
    case 1: {
      const uint8_t v = static_cast<uint8_t>(TruncatedLowBits((shifted / (rho1 * rho2)) * 255));
      memcpy(at, &v, size);
      break;
    }
    case 2: {
      const uint16_t v = static_cast<uint16_t>(TruncatedLowBits(65535 * shifted / (rho1 * rho2)));
      memcpy(at, &v, size);
      break;
    }
    case 3: {
      const uint32_t v = static_cast<uint32_t>(TruncatedLowBits(65535 * shifted / (rho1 * rho2)));
      memcpy(at, &v, size);
      break;
    }
    case 4: {
      const float v = static_cast<float>(shifted / (rho1 * rho2));
      memcpy(at, &v, size);
      break;
    }
    default: {
      const double v = shifted / (rho1 * rho2);
      memcpy(at, &v, size);
      break;
    }
  }
}

// Subtracts the mean of a[0..n-1] from every element.
void SubtractMean(fftw_real* a, size_t n) {
  double sum = 0.0;
  for (size_t k = 0; k < n; ++k) sum += a[k];
  const double mean = sum / static_cast<double>(n);
  for (size_t k = 0; k < n; ++k) a[k] -= mean;
}

}  // namespace

bool PIVPoint::CalculateCC() { return CalculateCC(CorrelationWorkspace::ForThisThread()); }

bool PIVPoint::CalculateCC(CorrelationWorkspace& ws) {
  if (!ExtractSubImage()) return false;
  return FFTW_Rpiv_CC(ws);
}

// The transforms, the shift and their arrays come from the workspace; only the plane is
// the point's own (its storage kept from one correlation to the next).
bool PIVPoint::FFTW_Rpiv_CC(CorrelationWorkspace& ws) {
  const int nx = piv.nx;
  const int ny = piv.ny;
  const size_t count = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  piv.memsize = nx * ny;

  const bool localPlans = piv.fftwplan == nullptr;
  if (localPlans) {
    ws.Print("\nWARNING:\t NO PLAN EXISTS FOR THIS FFT\n");
    ws.Print("        \t A LOCAL FFTW PLAN WILL BE COMPUTED ....\n");
  }
  // The table plans are executed through the workspace's copies (see PlanWithOwnWork),
  // so that several workers can run them at once.
  fftwnd_plan forward = localPlans ? nullptr : ws.forward.View(piv.fftwplan->Forward);
  fftwnd_plan inverse = localPlans ? nullptr : ws.inverse.View(piv.fftwplan->Inverse);
  if (!localPlans && (forward == nullptr || inverse == nullptr)) {
    ws.Print(kNoMemory);
    return false;
  }
  PlanPair plans(forward, inverse, nx, ny, PlanPair::kReal);

  if (!ws.PrepareCorrelation(nx, ny)) {
    ws.Print(kNoMemory);
    return false;
  }
  RealCCWork& work = ws.transforms;
  work.LoadWindows(DpivImage->I1, DpivImage->I2, kPixelScale);
  if (MeanSubtraction) {
    SubtractMean(work.fI1.data, count);
    SubtractMean(work.fI2.data, count);
  }
  if (WindowFlag) ApplyWindowMask(work.fI1.data, work.fI2.data);
  const WindowNorms norms =
      work.CorrelateShifted(plans.forward, plans.inverse, ws.shiftRows.data, ws.shifted.data);
  const double rho1 = norms.rho1;
  const double rho2 = norms.rho2;
  const fftw_real* cc_shift = ws.shifted.data;

  ReleasePlane();
  bool stored = false;
  const size_t elementSize = ElementSize(piv.CCtype);
  if (elementSize == 0) {
    fflush(stdout);
    fprintf(stderr, "Unknown correlation plane type %d: no plane is stored.\n", piv.CCtype);
  } else {
    piv.CC = PlaneStorage((count * elementSize + sizeof(float) - 1) / sizeof(float));
    if (piv.CC == nullptr) {
      ws.Print(kNoMemory);
      return false;  // ends here, as a failed work array does; the temporary plans go silently
    }
    unsigned char* plane = reinterpret_cast<unsigned char*>(piv.CC);
    for (size_t k = 0; k < count; ++k) StoreElement(plane, piv.CCtype, k, cc_shift[k], rho1, rho2);
    stored = true;
  }

  if (plans.HasTemporary()) {
    ws.Print("\n\nDESTROYING LOCAL PLAN ...\n\n");
    plans.Release();
  }
  return stored;
}
