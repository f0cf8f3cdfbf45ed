// PIVGrid: construction, geometry, parameters and the single analysis pass.
#include "grid/PIVGrid.h"

#include <cmath>
#include <cstring>

#include "grid/WindowGeometry.h"

namespace tarvex {

PIVGrid::PIVGrid()
    : pivImage(nullptr),
      id(0),
      ParentGridId(0),
      nx(0),
      ny(0),
      Xoff(0),
      Yoff(0),
      DelX(0),
      DelY(0),
      SearchRegion(unknown),
      DX(0.0f),
      DY(0.0f),
      fftx(0),
      ffty(0),
      AllFFTWplans(nullptr),
      pivgrid(nullptr),
      fo(nullptr),
      Vx(nullptr),
      Vy(nullptr),
      MinRho(0.0f),
      MaxVel(0.0f),
      C1(0.0f),
      C2(0.0f),
      C3(0.0f),
      C4(0.0f),
      avg_width(0.0f) {
  std::memset(&pivfileheader, 0, sizeof pivfileheader);
  setThreads(1);
  ApplyParameterDefaults();
}

PIVGrid::PIVGrid(int id0, int Parentid0, int nx0, int ny0, int Xoff0, int Yoff0, int DelX0,
                 int DelY0, int DX0, int DY0, int fftx0, int ffty0, FlowDirection flowdirn,
                 FFTWplan* AllFFTWplans0, PIVImage* pivImage0)
    : PIVGrid() {
  setImageDataInfo(pivImage0);
  setGlobalImageOffSet(Xoff0, Yoff0);
  setParentGridID(Parentid0);
  setGridID(id0);
  setGridSize(nx0, ny0);
  setGridSpacing(DelX0, DelY0);
  setDFT(fftx0, ffty0);
  setALLFFTWPLANS(AllFFTWplans0);
  setPIVOffSet(static_cast<float>(DX0), static_cast<float>(DY0));
  setSearchRegion(flowdirn);
  AllocatePoints();
  InitialisePoints(flowdirn);
  ApplyParameterDefaults();
}

PIVGrid::~PIVGrid() { FreePoints(); }

void PIVGrid::setImageDataInfo(PIVImage* pivImage0) { pivImage = pivImage0; }
void PIVGrid::setGridID(int id0) { id = id0; }
void PIVGrid::setParentGridID(int ParentId) { ParentGridId = ParentId; }
void PIVGrid::setGridSize(int nx0, int ny0) {
  nx = nx0;
  ny = ny0;
}
void PIVGrid::setGridSpacing(int DelX0, int DelY0) {
  DelX = DelX0;
  DelY = DelY0;
}
void PIVGrid::setGlobalImageOffSet(int Xoff0, int Yoff0) {
  Xoff = Xoff0;
  Yoff = Yoff0;
}
void PIVGrid::setDFT(int fftx0, int ffty0) {
  fftx = fftx0;
  ffty = ffty0;
}
void PIVGrid::setPIVOffSet(float DX0, float DY0) {
  DX = DX0;
  DY = DY0;
}
void PIVGrid::setSearchRegion(FlowDirection region) { SearchRegion = region; }
void PIVGrid::setALLFFTWPLANS(FFTWplan* plans) { AllFFTWplans = plans; }

void PIVGrid::setCancelFlag(const std::atomic<bool>* cancel) {
  for (std::unique_ptr<CorrelationWorkspace>& ws : workspaces) ws->SetCancelFlag(cancel);
}

void PIVGrid::setMinRho(float rho) {
  MinRho = rho;
  for (int k = 0; k < NumberOfPoints(); k++) pivgrid[k].setMinRho(rho);
}

void PIVGrid::setMaxVel(float vel) {
  MaxVel = vel;
  for (int k = 0; k < NumberOfPoints(); k++) pivgrid[k].setMaxDisplacement(vel);
}

void PIVGrid::setGlobalHistogramConstant(float NStdDev) { C3 = NStdDev; }
void PIVGrid::setMedianValueThreshold(float Ethresh) { C4 = Ethresh; }
void PIVGrid::setDynamicMeanValueConstants(float C1_, float C2_) {
  C1 = C1_;
  C2 = C2_;
}
void PIVGrid::setMovingAverageWindowSize(float w) { avg_width = w; }

void PIVGrid::setSubPixelEstimator(SubPixelEstimator estimator) {
  subpix = estimator;
  for (int k = 0; k < NumberOfPoints(); k++) pivgrid[k].setSubPixelEstimator(estimator);
}

void PIVGrid::setMeanSubtraction(bool subtract) {
  MeanSubtraction = subtract;
  for (int k = 0; k < NumberOfPoints(); k++) pivgrid[k].setMeanSubtraction(subtract);
}

int PIVGrid::setMask(const FlowMask* mask, int windowX, int windowY) {
  flowMask = mask;
  maskWindowX = windowX;
  maskWindowY = windowY;
  int masked = 0;
  for (int k = 0; k < NumberOfPoints(); k++) {
    PIVPoint& p = pivgrid[k];
    p.setMask(mask, OnMask(p));
    if (p.Masked()) masked++;
  }
  return masked;
}

int PIVGrid::setWithoutParticleImages(const unsigned char* none) {
  int marked = 0;
  for (int k = 0; k < NumberOfPoints(); k++) {
    pivgrid[k].setWithoutParticleImages(none[k] != 0);
    if (none[k] != 0) marked++;
  }
  return marked;
}

bool PIVGrid::OnMask(const PIVPoint& p) const {
  return flowMask != nullptr && flowMask->PointMasked(static_cast<int>(p.X()), static_cast<int>(p.Y()),
                                                      maskWindowX, maskWindowY);
}

void PIVGrid::ApplyParameterDefaults() {
  setMinRho(0.0f);
  setMaxVel(static_cast<float>(0.5 * std::hypot(static_cast<double>(fftx),
                                                static_cast<double>(ffty))));
  setGlobalHistogramConstant(3.0f);
  setMedianValueThreshold(1.0f);
  setDynamicMeanValueConstants(1.0f, 1.0f);
  setMovingAverageWindowSize(1.0f);
}

// A grid with no columns or no rows owns no arrays at all (null pointers), so that
// every walk over nx*ny points is empty. Vx and Vy start zeroed: a point that is never
// measured is written out with zero displacement.
void PIVGrid::AllocatePoints() {
  const int n = NumberOfPoints();
  if (n == 0) return;
  pivgrid = new PIVPoint[n];
  Vx = new float[n]();
  Vy = new float[n]();
}

void PIVGrid::InitialisePoints(int flowdirn) {
  for (int i = 0; i < ny; i++) {
    for (int j = 0; j < nx; j++) {
      const int k = i * nx + j;
      PIVPoint& p = pivgrid[k];
      p.pivImage = pivImage;
      p.setParentId(ParentGridId);
      p.setX(static_cast<float>(j * DelX + PointInWindow(fftx) + Xoff));
      p.setY(static_cast<float>(i * DelY + PointInWindow(ffty) + Yoff));
      p.setALLFFTWPLANS(AllFFTWplans);
      p.setPIVOffSet(DX, DY);
      p.setDFTSize(fftx, ffty);
      p.setSearchRegion(flowdirn);
      p.setSubPixelEstimator(subpix);
      p.setMeanSubtraction(MeanSubtraction);
      p.setMask(flowMask, OnMask(p));
      Vx[k] = 0.0f;
      Vy[k] = 0.0f;
    }
  }
}

void PIVGrid::FreePoints() {
  delete[] Vx;
  delete[] Vy;
  delete[] pivgrid;
  Vx = nullptr;
  Vy = nullptr;
  pivgrid = nullptr;
}

// Rebuilds the points from the geometry fields as they stand. The per-point thresholds
// are deliberately not re-applied: the caller follows with setMinRho and setMaxVel, which
// is what the constructor's defaults amount to.
bool PIVGrid::setUpTARVEXGrid() {
  FreePoints();
  AllocatePoints();
  InitialisePoints(SearchRegion);
  return true;
}

bool PIVGrid::CalculateGridTARVEX() {
  MeasurePoints();
  // A point without a measurement holds the peak search's placeholders, not a vector.
  for (int k = 0; k < NumberOfPoints(); k++) {
    const bool measured = pivgrid[k].HasMeasurement();
    Vx[k] = measured ? pivgrid[k].Vx() : 0.0f;
    Vy[k] = measured ? pivgrid[k].Vy() : 0.0f;
  }
  return true;
}

// The checks read a point's own record, so the field goes there as well as into Vx, Vy.
// A measured point's vector is its first peak (the one the checks and writers use) plus
// the window offset.
void PIVGrid::TakeField(const float* u, const float* v, const float* peak, const unsigned char* flag) {
  for (int k = 0; k < NumberOfPoints(); k++) {
    PIVPoint& p = pivgrid[k];
    if (!p.HasMeasurement()) continue;
    p.setVID(0);
    TARVEXData* record = p.PIV();
    record->dx[0] = u[k] - p.DX();
    record->dy[0] = v[k] - p.DY();
    record->rho[0] = peak[k];
    p.setOn(flag[k]);
    Vx[k] = p.Vx();
    Vy[k] = p.Vy();
  }
}

}  // namespace tarvex
