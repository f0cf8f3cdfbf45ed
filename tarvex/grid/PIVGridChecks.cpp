// The five validation checks of a grid: each judges the points again, sets their flags,
// prints its report and returns the number of valid points.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "grid/PIVGrid.h"

namespace tarvex {

namespace {

// Swaps two elements of the selection array.
void SwapValues(float& a, float& b) {
  const float t = a;
  a = b;
  b = t;
}

}  // namespace

bool PIVGrid::ValidVectorAt(int l, int m) const {
  if (l < 0 || l >= ny || m < 0 || m >= nx) return false;
  const PIVPoint& p = pivgrid[l * nx + m];
  return p.on() != 0 && p.HasMeasurement();
}

int PIVGrid::ValidNeighbours(int i, int j, int* k) const {
  int N = 0;
  for (int l = i - 1; l <= i + 1; l++) {
    for (int m = j - 1; m <= j + 1; m++) {
      if ((l != i || m != j) && ValidVectorAt(l, m)) k[N++] = l * nx + m;
    }
  }
  return N;
}

void PIVGrid::PrintCheckCounts(int GoodData) const {
  console->Printf("\tGood Data Validated                              = %d\n", GoodData);
  console->Printf("\tBad  Data                                        = %d\n", NumberOfPoints() - GoodData);
  console->Printf("\tTotal Available Data                             = %d\n\n", NumberOfPoints());
}

int PIVGrid::PointCheck(bool (PIVPoint::*check)(), const char* title, float limit) {
  int GoodData = 0;
  for (int k = 0; k < NumberOfPoints(); k++) {
    if ((pivgrid[k].*check)()) GoodData++;
  }
  console->Printf(title, static_cast<double>(limit));
  PrintCheckCounts(GoodData);
  return GoodData;
}

int PIVGrid::CCPeakValueCheck() {
  return PointCheck(&PIVPoint::CCPeakValueCheck, "\n\tCC-Peak Value > %f  Check Result:\n", MinRho);
}

int PIVGrid::MaxVelCheck() {
  return PointCheck(&PIVPoint::MaxVelCheck, "\n\tVelocity < %f px. Check Result:\n", MaxVel);
}

// Statistics come from the flags at entry; flags are written only afterwards.
int PIVGrid::GlobalHistogramCheck() {
  const int n = NumberOfPoints();
  int N = 0;
  double SumU = 0.0, SumV = 0.0, SumUU = 0.0, SumVV = 0.0;
  for (int k = 0; k < n; k++) {
    if (!ValidVectorAt(k / nx, k % nx)) continue;
    const double u = pivgrid[k].Vx(), v = pivgrid[k].Vy();
    N++;
    SumU += u;
    SumV += v;
    SumUU += u * u;
    SumVV += v * v;
  }
  double AvgU = 0.0, AvgV = 0.0, SigSqU = 0.0, SigSqV = 0.0;
  if (N > 0) {
    AvgU = SumU / N;
    AvgV = SumV / N;
    // Rounding can make the difference slightly negative on a field of equal vectors;
    // its square root would be NaN, a bound no vector passes.
    SigSqU = std::max(0.0, SumUU / N - AvgU * AvgU);
    SigSqV = std::max(0.0, SumVV / N - AvgV * AvgV);
  }
  const double BoundU = C3 * std::sqrt(SigSqU), BoundV = C3 * std::sqrt(SigSqV);

  int GoodData = 0;
  for (int k = 0; k < n; k++) {
    PIVPoint& p = pivgrid[k];
    const bool valid = p.HasMeasurement() && std::fabs(p.Vx() - AvgU) <= BoundU &&
                       std::fabs(p.Vy() - AvgV) <= BoundV;
    p.setOn(valid ? 1 : 0);
    if (valid) GoodData++;
  }

  console->Printf("\n\tGlobal Histogram Check Result:\n");
  console->Printf("\tAverage               U velocity component = %lf\n", AvgU);
  console->Printf("\tStandard deviation of U velocity component = %lf\n", std::sqrt(SigSqU));
  console->Printf("\tAverage               V velocity component = %lf\n", AvgV);
  PrintCheckCounts(GoodData);
  return GoodData;
}

// Flags are written as soon as a point is judged, so the row above and the left
// neighbour are seen with the flags this check has just given them.
int PIVGrid::MedianValueOperatorCheck() {
  int GoodData = 0;
  for (int i = 0; i < ny; i++) {
    for (int j = 0; j < nx; j++) {
      PIVPoint& p = pivgrid[i * nx + j];
      if (!p.HasMeasurement()) {
        p.setOn(0);
        continue;
      }
      int nb[8];
      const int N = ValidNeighbours(i, j, nb);
      if (N == 0) continue;  // nothing to compare with: flag untouched, not counted
      float U[9] = {0.0f}, V[9] = {0.0f};
      for (int q = 0; q < N; q++) {
        U[q + 1] = pivgrid[nb[q]].Vx();
        V[q + 1] = pivgrid[nb[q]].Vy();
      }
      const unsigned long n = static_cast<unsigned long>(N);
      float Umedian, Vmedian;
      if (N % 2 == 1) {
        Umedian = select((n + 1) / 2, n, U);
        Vmedian = select((n + 1) / 2, n, V);
      } else {
        Umedian = static_cast<float>(0.5 * (select(n / 2, n, U) + select(n / 2 + 1, n, U)));
        Vmedian = static_cast<float>(0.5 * (select(n / 2, n, V) + select(n / 2 + 1, n, V)));
      }
      const double DiffU = static_cast<double>(p.Vx()) - Umedian;
      const double DiffV = static_cast<double>(p.Vy()) - Vmedian;
      const bool valid = std::hypot(DiffU, DiffV) < static_cast<double>(C4);
      p.setOn(valid ? 1 : 0);
      if (valid) GoodData++;
    }
  }
  console->Printf("\n\tMedian Value Operator Check Result:\n");
  PrintCheckCounts(GoodData);
  return GoodData;
}

// Local means and spreads read the flags at entry; flags change only in the test step.
int PIVGrid::DynamicMeanValueOperatorCheck() {
  const int n = NumberOfPoints();
  std::unique_ptr<double[]> AvgU(new (std::nothrow) double[n]());
  std::unique_ptr<double[]> AvgV(new (std::nothrow) double[n]());
  std::unique_ptr<double[]> SigSqVel(new (std::nothrow) double[n]());
  if (!AvgU || !AvgV || !SigSqVel) {
    console->ErrorPrintf("Dynamic mean value check: cannot allocate its work arrays; flags left unchanged\n");
    int on = 0;
    for (int k = 0; k < n; k++) {
      if (pivgrid[k].on()) on++;
    }
    return on;
  }

  // 1. Mean of the valid neighbours.
  for (int i = 0; i < ny; i++) {
    for (int j = 0; j < nx; j++) {
      int nb[8];
      const int N = ValidNeighbours(i, j, nb);
      if (N == 0) continue;
      const int k = i * nx + j;
      for (int q = 0; q < N; q++) {
        AvgU[k] += pivgrid[nb[q]].Vx();
        AvgV[k] += pivgrid[nb[q]].Vy();
      }
      AvgU[k] /= N;
      AvgV[k] /= N;
    }
  }

  // 2. Spread: the diagonal neighbours only, each against its own local mean.
  for (int i = 0; i < ny; i++) {
    for (int j = 0; j < nx; j++) {
      int nb[8];
      const int N = ValidNeighbours(i, j, nb);
      const int k = i * nx + j;
      int count = 0;
      for (int q = 0; q < N; q++) {
        const int l = nb[q] / nx, m = nb[q] % nx;
        if (l == i || m == j) continue;
        const double du = pivgrid[nb[q]].Vx() - AvgU[nb[q]];
        const double dv = pivgrid[nb[q]].Vy() - AvgV[nb[q]];
        SigSqVel[k] += du * du + dv * dv;
        count++;
      }
      if (count != 0) SigSqVel[k] /= count;
    }
  }

  // 3. Test every point against its local threshold.
  double MeanSigSqVel = 0.0, MeanSqSigSqVel = 0.0;
  int GoodData = 0;
  for (int k = 0; k < n; k++) {
    PIVPoint& p = pivgrid[k];
    const double DiffU = p.Vx() - AvgU[k];
    const double DiffV = p.Vy() - AvgV[k];
    const double Ethresh = C1 + C2 * std::sqrt(SigSqVel[k]);
    MeanSigSqVel += SigSqVel[k];
    MeanSqSigSqVel += SigSqVel[k] * SigSqVel[k];
    const bool valid = p.HasMeasurement() && std::hypot(DiffU, DiffV) < Ethresh;
    p.setOn(valid ? 1 : 0);
    if (valid) GoodData++;
  }

  // An empty grid reports zeros rather than 0/0.
  const double M = n > 0 ? MeanSigSqVel / n : 0.0;
  const double StdDev = n > 0 ? std::sqrt(MeanSqSigSqVel / n - M * M) : 0.0;
  console->Printf("\n\tDynamic Mean Value Operator Check Result:\n");
  console->Printf("\tAvg of Local Avg (Mag of Vector Difference)^2    = %lf\n", M);
  console->Printf("\tStdDev of Local Avg (Mag of Vector Difference)^2 = %lf\n", StdDev);
  PrintCheckCounts(GoodData);
  return GoodData;
}

// Quickselect on arr[1..n]: the pivot is kept at arr[l] between the sentinels
// arr[l+1] <= arr[l] <= arr[ir], so neither scan can leave the range.
float select(unsigned long k, unsigned long n, float* arr) {
  unsigned long l = 1, ir = n;
  while (ir > l + 1) {
    SwapValues(arr[(l + ir) / 2], arr[l + 1]);
    if (arr[l + 1] > arr[ir]) SwapValues(arr[l + 1], arr[ir]);
    if (arr[l] > arr[ir]) SwapValues(arr[l], arr[ir]);
    if (arr[l + 1] > arr[l]) SwapValues(arr[l + 1], arr[l]);
    const float a = arr[l];
    unsigned long i = l + 1, j = ir;
    for (;;) {
      do i++; while (arr[i] < a);
      do j--; while (arr[j] > a);
      if (j < i) break;
      SwapValues(arr[i], arr[j]);
    }
    arr[l] = arr[j];
    arr[j] = a;
    if (j >= k) ir = j - 1;
    if (j <= k) l = i;
  }
  if (ir == l + 1 && arr[ir] < arr[l]) SwapValues(arr[l], arr[ir]);
  return arr[k];
}

}  // namespace tarvex
