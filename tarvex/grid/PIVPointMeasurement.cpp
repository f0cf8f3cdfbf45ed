// The measurement of one interrogation point: correlation, the four highest peaks
// with their sub-pixel fits, the validity switch, and the optional correlation filter
// made from four neighbour windows.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "correlation/CorrelationWorkspace.h"
#include "grid/PIVPoint.h"
#include "grid/WindowGeometry.h"
#include "peaks/FitPeak2SubPixel.h"
#include "peaks/ThreePointGaussian.h"

namespace tarvex {

namespace {

// Neighbour windows of the filter sit this fraction of a window away from the point.
constexpr float kNeighbourShift = 0.5f;

const char* const kNoSearchMemory =
    "\n\nCannot allocate local MEM for CC .....\n\tNo Maxima Searched\n\n";

}  // namespace

bool PIVPoint::ApplyFilter(float* cc) {
  if (!FilterOn || piv.CCfilter == nullptr) return false;
  const int n = piv.nx * piv.ny;
  for (int k = 0; k < n; ++k) cc[k] *= piv.CCfilter[k];
  return true;
}

bool PIVPoint::FindCCMaxima(bool NOFilter) {
  return FindCCMaxima(NOFilter, CorrelationWorkspace::ForThisThread());
}

bool PIVPoint::FindCCMaxima(bool NOFilter, CorrelationWorkspace& ws) {
  const int nx = piv.nx;
  const int ny = piv.ny;
  // The search walks nx * ny elements: without a plane of that size it cannot run.
  if (piv.CC == nullptr || piv.memsize < nx * ny) return false;
  if (!ws.PreparePeakSearch(nx, ny)) {
    ws.Print(kNoSearchMemory);
    return false;
  }
  // A plane of another element type is not read; the search then sees zeros.
  const size_t cells = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  if (piv.CCtype == 4)
    memcpy(ws.cc.data, piv.CC, sizeof(float) * cells);
  else
    std::fill(ws.cc.data, ws.cc.data + cells, 0.0f);
  return SearchPeaks(NOFilter, ws);
}

// The fits read ws.cc as it is; the search runs on the copy fcc, where the area of every
// peak found is blanked before the next is sought. The candidates of the search are
// collected in one sweep and taken again only around each blanked area.
bool PIVPoint::SearchPeaks(bool NOFilter, CorrelationWorkspace& ws) {
  const int nx = piv.nx;
  const int ny = piv.ny;
  if (!ws.PreparePeakSearch(nx, ny)) {
    ws.Print(kNoSearchMemory);
    return false;
  }
  const size_t cells = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  const float* cc = ws.cc.data;
  float* fcc = ws.fcc.data;
  memcpy(fcc, cc, sizeof(float) * cells);
  if (!NOFilter) ApplyFilter(fcc);
  ws.peaks.Collect(fcc, nx, ny);

  for (int i = 0; i < kNumberOfPeaks; ++i) {
    float xmax = 0.0f;
    float ymax = 0.0f;
    const float CCmax = ws.peaks.Highest(&xmax, &ymax);
    if (subpix == SubPixelEstimator::Gauss3)
      ThreePointGaussianPeak(cc, nx, ny, &xmax, &ymax, CCmax);
    else
      CC_fit_linear_exp(cc, nx, ny, &xmax, &ymax, CCmax, ws.fit);
    piv.dx[i] = xmax;
    piv.dy[i] = ymax;
    piv.rho[i] = CCmax;
    if (i + 1 == kNumberOfPeaks) break;  // nothing searches after the last peak
    const CellRange blanked = BlankPeakArea(fcc, nx, ny, static_cast<float>(PointInWindow(nx)) + xmax,
                                            static_cast<float>(PointInWindow(ny)) + ymax, CCmax);
    ws.peaks.Changed(fcc, blanked.x0, blanked.y0, blanked.x1, blanked.y1);
  }
  return true;
}

bool PIVPoint::CalculateCCVelocity() {
  return CalculateCCVelocity(CorrelationWorkspace::ForThisThread());
}

bool PIVPoint::CalculateCCVelocity(CorrelationWorkspace& ws) {
  if (masked || noParticleImages || ws.Cancelled()) {
    // Nothing to measure (or the analysis was cancelled): no displacement, no peak, off.
    for (int i = 0; i < kNumberOfPeaks; ++i) piv.dx[i] = piv.dy[i] = piv.rho[i] = 0.0f;
    measured = false;
    setOn(0);
    return true;
  }
  if (FilterOn) CalculateFilter(ws);
  if (!FFTW_Rpiv_CC(ws, CCStored)) return false;
  if (!SearchPeaks(true, ws)) return false;

  // A plane without a strict interior maximum (uniform, or not a number after an
  // all-zero window) has no highest peak: the point then holds no vector and stays off.
  const float best = piv.rho[vid];
  measured = std::isfinite(best) && best > kNoPeakValue && std::isfinite(piv.dx[vid]) &&
             std::isfinite(piv.dy[vid]);
  setOn(measured ? 1 : 0);

  if (!CCStored) FreePlane();
  return true;
}

bool PIVPoint::CalculateFilter() { return CalculateFilter(CorrelationWorkspace::ForThisThread()); }

bool PIVPoint::CalculateFilter(CorrelationWorkspace& ws) {
  const float a = kNeighbourShift;
  int n = 0;
  PIVPoint ndpiv(piv.nx, piv.ny, piv.SearchRegion, AllFFTWplans);
  PIVPoint wdpiv(piv.nx, piv.ny, piv.SearchRegion, AllFFTWplans);
  PIVPoint sdpiv(piv.nx, piv.ny, piv.SearchRegion, AllFFTWplans);
  PIVPoint edpiv(piv.nx, piv.ny, piv.SearchRegion, AllFFTWplans);
  PIVPoint* neighbours[4] = {&ndpiv, &edpiv, &sdpiv, &wdpiv};
  for (PIVPoint* p : neighbours) p->pivImage = pivImage;

  // The filter multiplies the point's own plane element by element, so it must have the
  // plane's size; memsize tells it once the point has correlated at its current size.
  const int size = piv.memsize;
  if (size == 0 || size != piv.nx * piv.ny) {
    ws.Print("ERROR: No CC function is stored, cannot compute filter ... \n");
    return false;
  }
  float* filter = new (std::nothrow) float[size];
  if (filter == nullptr) {
    ws.Print("ERROR: cannot assign memory for filter ... \n");
    return false;
  }
  for (int k = 0; k < size; ++k) filter[k] = 1.0f;

  const float x = piv.x;
  const float y = piv.y;
  ndpiv.setXY(x, y + piv.ny * a);
  edpiv.setXY(x + piv.nx * a, y);
  sdpiv.setXY(x, y - piv.ny * a);
  wdpiv.setXY(x - piv.nx * a, y);

  for (PIVPoint* p : neighbours) {
    if (!p->CalculateCC(ws)) continue;
    const float* plane = p->piv.CC;
    for (int k = 0; k < size; ++k) filter[k] *= plane[k];
    ++n;
  }
  if (n < 1) {
    delete[] filter;
    return false;
  }
  for (int k = 0; k < size; ++k)
    filter[k] = static_cast<float>(std::pow(static_cast<double>(filter[k]), 1.0 / n));

  // A filter of an earlier DFT size may have another length: take the new one whole.
  delete[] piv.CCfilter;
  piv.CCfilter = filter;
  return true;
}

}  // namespace tarvex
