#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "correlation/CorrelationWorkspace.h"
#include "correlation/fftw-2d.h"
#include "grid/PIVPoint.h"

namespace tarvex {

namespace {

const char* const kNoMemory = "\nNOT ENOUGH DYNAMIC MEMORY\n";

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

// Stores element k of a plane of type 1, 2, 3 or 5 (float planes are made by
// NormalisedShiftInto); the plane's storage is a float array, so every type is written
// byte-wise.
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
    default: {
      const double v = shifted / (rho1 * rho2);
      memcpy(at, &v, size);
      break;
    }
  }
}

}  // namespace

bool PIVPoint::CalculateCC() { return CalculateCC(CorrelationWorkspace::ForThisThread()); }

bool PIVPoint::CalculateCC(CorrelationWorkspace& ws) { return FFTW_Rpiv_CC(ws, true); }

// The transforms and their arrays come from the workspace, the windows are loaded into them
// straight from the images, and the plane is made in ws.cc; the point's own storage holds a
// copy only when the plane is to be kept.
bool PIVPoint::FFTW_Rpiv_CC(CorrelationWorkspace& ws, bool keepPlane) {
  if (!WindowsAvailable()) return false;
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
  const WindowNorms norms = LoadWindows(ws, true);
  const fftw_real* correlation = ws.transforms.Correlate(plans.forward, plans.inverse);

  ReleasePlane();
  const size_t elementSize = ElementSize(piv.CCtype);
  bool stored = true;
  if (elementSize == 0) {
    fflush(stdout);
    fprintf(stderr, "Unknown correlation plane type %d: no plane is stored.\n", piv.CCtype);
  } else if (piv.CCtype == 4) {
    NormalisedShiftInto(correlation, nx, ny, norms.rho1 * norms.rho2, ws.cc.data);
    if (keepPlane) {
      piv.CC = PlaneStorage(count);
      stored = piv.CC != nullptr;
      if (stored) memcpy(piv.CC, ws.cc.data, count * sizeof(float));
    }
  } else {
    // A plane of another element type is made from the shift in double and always kept;
    // the peak search, which reads floats only, sees a plane of zeros.
    float* plane = nullptr;
    if (ws.shiftRows.Reserve(count) && ws.shifted.Reserve(count))
      plane = PlaneStorage((count * elementSize + sizeof(float) - 1) / sizeof(float));
    stored = plane != nullptr;
    if (stored) {
      rfftshift_into(correlation, nx, ny, ws.shiftRows.data, ws.shifted.data);
      unsigned char* bytes = reinterpret_cast<unsigned char*>(plane);
      for (size_t k = 0; k < count; ++k)
        StoreElement(bytes, piv.CCtype, k, ws.shifted.data[k], norms.rho1, norms.rho2);
      piv.CC = plane;
      std::fill(ws.cc.data, ws.cc.data + count, 0.0f);
    }
  }
  if (!stored) {
    ws.Print(kNoMemory);
    return false;  // ends here, as a failed work array does; the temporary plans go silently
  }

  if (plans.HasTemporary()) {
    ws.Print("\n\nDESTROYING LOCAL PLAN ...\n\n");
    plans.Release();
  }
  return elementSize != 0;
}

}  // namespace tarvex
