#include "grid/PIVPoint.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "correlation/CorrelationWorkspace.h"
#include "correlation/DefineFFTWPlans.h"
#include "correlation/WindowLoading.h"
#include "correlation/dft_array.h"
#include "grid/WindowGeometry.h"
#include "mask/FlowMask.h"
#include "mask/MaskedWindowLoading.h"

namespace tarvex {

namespace {

// First column and row of the two windows of a point: the window of width nx at
// position x starts at trunc(x) - nx/2 + 1; the second one moves by the whole offset.
struct WindowCorners {
  int x1, y1, x2, y2;
};

WindowCorners PlaceWindows(const TARVEXData& piv) {
  const int x = static_cast<int>(piv.x);
  const int y = static_cast<int>(piv.y);
  WindowCorners c;
  c.x1 = WindowStart(x, piv.nx);
  c.y1 = WindowStart(y, piv.ny);
  c.x2 = WindowStart(x + static_cast<int>(piv.DX), piv.nx);
  c.y2 = WindowStart(y + static_cast<int>(piv.DY), piv.ny);
  return c;
}

// A window never includes the image's last column or row.
bool WindowInside(int x0, int y0, int nx, int ny, int NX, int NY) {
  return x0 >= 0 && x0 + nx <= NX - 1 && y0 >= 0 && y0 + ny <= NY - 1;
}

bool BothWindowsInside(const TARVEXData& piv, const PIVImage& image) {
  const WindowCorners c = PlaceWindows(piv);
  return WindowInside(c.x1, c.y1, piv.nx, piv.ny, image.Width(), image.Height()) &&
         WindowInside(c.x2, c.y2, piv.nx, piv.ny, image.Width(), image.Height());
}

constexpr int kDefaultDFTSize = 32;

// Pixels are on a 12-bit scale; the windows are correlated in units of full scale (a power
// of two, so the scaled pixels are exact).
constexpr double kInverseFullScale = 1.0 / 4096.0;

}  // namespace

PIVPoint::PIVPoint() { Construct(kDefaultDFTSize, kDefaultDFTSize, 0, nullptr); }

PIVPoint::PIVPoint(int fftx, int ffty, int flowdirn, FFTWplan* plans) {
  Construct(fftx, ffty, flowdirn, plans);
}

void PIVPoint::Construct(int fftx, int ffty, int flowdirn, FFTWplan* plans) {
  // Values the construction sequence leaves open start at zero, so an unmeasured
  // point reports no displacement.
  pivImage = nullptr;
  memset(&piv, 0, sizeof(piv));
  MaxVel = 0.0f;
  MinRho = 0.0f;
  vid = 0;

  AllFFTWplans = plans;
  piv.id = 0;
  piv.parent = 0;
  piv.on = 0;
  piv.x = static_cast<float>(PointInWindow(fftx));
  piv.y = static_cast<float>(PointInWindow(ffty));
  piv.DX = 0.0f;
  piv.DY = 0.0f;
  piv.nx = fftx;
  piv.ny = ffty;
  piv.memsize = fftx * ffty;
  piv.SearchRegion = flowdirn;
  piv.GradtInfo = 0;
  piv.CCtype = 4;
  piv.CC = nullptr;
  piv.CCfilter = nullptr;
  piv.Window = nullptr;
  SelectFFTWPlan();
  setCCStored(false);
  WindowFlag = false;
  FilterOn = false;
  setUpWindowMask();
  setVID(0);
}

PIVPoint::~PIVPoint() {
  FreePlane();
  delete[] piv.Window;
  delete[] piv.CCfilter;
}

void PIVPoint::ReleasePlane() {
  // A plane put in place from outside the point's storage belongs to the point too.
  if (piv.CC != ccStore) delete[] piv.CC;
  piv.CC = nullptr;
}

void PIVPoint::FreePlane() {
  ReleasePlane();
  delete[] ccStore;
  ccStore = nullptr;
  ccCapacity = 0;
}

float* PIVPoint::PlaneStorage(size_t floats) {
  ReleasePlane();
  if (floats > ccCapacity) {
    delete[] ccStore;
    ccStore = new (std::nothrow) float[floats];
    ccCapacity = ccStore != nullptr ? floats : 0;
  }
  return ccStore;
}

void PIVPoint::AfterDFTSizeChange() {
  SelectFFTWPlan();
  setUpWindowMask();
}

void PIVPoint::setXDFTSize(int xdftsz) {
  piv.nx = xdftsz;
  AfterDFTSizeChange();
}

void PIVPoint::setYDFTSize(int ydftsz) {
  piv.ny = ydftsz;
  AfterDFTSizeChange();
}

void PIVPoint::setDFTSize(int fftx, int ffty) {
  setXDFTSize(fftx);
  setYDFTSize(ffty);
}

void PIVPoint::setPreSetDFT(int dftsz) {
  if (dftsz < 0 || dftsz >= kNumberOfPresetDFTSizes) {
    fflush(stdout);
    fprintf(stderr, "Preset DFT size index %d is outside 0..%d; the point is unchanged.\n",
            dftsz, kNumberOfPresetDFTSizes - 1);
    return;
  }
  piv.nx = dft[dftsz];
  piv.ny = dft[dftsz];
  AfterDFTSizeChange();
}

void PIVPoint::SelectFFTWPlan() { piv.fftwplan = tarvex::SelectFFTWPlan(AllFFTWplans, piv.nx, piv.ny); }

bool PIVPoint::CheckSubImageWithinImage() {
  return pivImage != nullptr && BothWindowsInside(piv, *pivImage);
}

bool PIVPoint::WindowsAvailable() const {
  return pivImage != nullptr && pivImage->HoldsImages() && BothWindowsInside(piv, *pivImage);
}

WindowNorms PIVPoint::LoadWindows(CorrelationWorkspace& ws, bool asAnalysed) const {
  const WindowCorners c = PlaceWindows(piv);
  const int width = pivImage->Width();
  const WindowSource<unsigned short> first{pivImage->I1, width, c.x1, c.y1};
  const WindowSource<unsigned short> second{pivImage->I2, width, c.x2, c.y2};
  const float* weight = WindowFlag ? piv.Window : nullptr;
  const WindowTreatment treatment{kInverseFullScale, asAnalysed && MeanSubtraction,
                                  asAnalysed ? weight : nullptr};
  fftw_real* to1 = ws.transforms.fI1.data;
  fftw_real* to2 = ws.transforms.fI2.data;
  // Only windows that touch the mask take the slower path.
  if (asAnalysed && mask != nullptr &&
      (mask->MaskedIn(c.x1, c.y1, piv.nx, piv.ny) > 0 || mask->MaskedIn(c.x2, c.y2, piv.nx, piv.ny) > 0)) {
    const WindowSource<unsigned char> flow1{mask->Bytes(), width, c.x1, c.y1};
    const WindowSource<unsigned char> flow2{mask->Bytes(), width, c.x2, c.y2};
    return LoadMaskedWindowPair(first, second, flow1, flow2, piv.nx, piv.ny, treatment, to1, to2);
  }
  return LoadWindowPair(first, second, piv.nx, piv.ny, treatment, to1, to2);
}

bool PIVPoint::ShowSubImages(float x0, float y0) {
  setX(x0);
  setY(y0);
  if (!WindowsAvailable()) return false;
  CorrelationWorkspace& ws = CorrelationWorkspace::ForThisThread();
  if (!ws.PrepareCorrelation(piv.nx, piv.ny)) return false;
  LoadWindows(ws, false);
  return true;
}

bool PIVPoint::setUpWindowMask() {
  delete[] piv.Window;
  piv.Window = nullptr;
  if (!WindowFlag) return true;
  const int nx = piv.nx;
  const int ny = piv.ny;
  piv.Window = new (std::nothrow) float[static_cast<size_t>(nx) * static_cast<size_t>(ny)];
  if (piv.Window == nullptr) {
    printf("\n\nCannot allocate local MEM for window ..... \n\n");
    return false;
  }
  const double x0 = PointInWindow(nx);
  const double y0 = PointInWindow(ny);
  for (int v = 0; v < ny; ++v) {
    for (int h = 0; h < nx; ++h) {
      const double x = h - x0;
      const double y = v - y0;
      const double p = x / nx;
      const double q = y / ny;
      const double W = (4 * p * p - 4 * p + 1) * (4 * q * q - 4 * q + 1);
      piv.Window[static_cast<size_t>(v) * nx + h] = static_cast<float>(sqrt(W));
    }
  }
  return true;
}

}  // namespace tarvex
