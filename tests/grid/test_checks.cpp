// Validation checks on hand-made grids whose expected flags can be worked out on paper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "HandMadeGrid.h"

namespace tarvex {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::string Counts(int good, int total) {
  return "\tGood Data Validated                              = " + std::to_string(good) + "\n" +
         "\tBad  Data                                        = " + std::to_string(total - good) +
         "\n" + "\tTotal Available Data                             = " + std::to_string(total) +
         "\n\n";
}

// Sets the Vx of every point of a grid, all on, Vy = 0.
void SetRowMajorU(PIVGrid& g, const std::vector<float>& u) {
  for (size_t k = 0; k < u.size(); k++) SetVector(g, static_cast<int>(k), u[k], 0.0f, true);
}

}  // namespace

// ---------------------------------------------------------------- point checks

TEST(CCPeakValueCheck, PeakEqualToMinimumIsValidAndReportIsExact) {
  auto g = MakeGrid(5, 1);
  SetVector(*g, 0, 0, 0, false, 0.5f);   // equal: valid, even though off at entry
  SetVector(*g, 1, 0, 0, true, 0.49f);   // below: rejected
  SetVector(*g, 2, 0, 0, true, 0.6f);    // above: valid
  SetVector(*g, 3, 0, 0, true, std::numeric_limits<float>::quiet_NaN());
  g->Point(4).PIV()->rho[0] = 1.0f;      // never measured: rejected
  g->setMinRho(0.5f);
  CaptureStdout();
  EXPECT_EQ(g->CCPeakValueCheck(), 2);
  EXPECT_EQ(GetCapturedStdout(), "\n\tCC-Peak Value > 0.500000  Check Result:\n" + Counts(2, 5));
  EXPECT_EQ(Flags(*g), "10100");
}

TEST(MaxVelCheck, LengthEqualToMaximumIsRejectedAndOffsetIsIgnored) {
  auto g = MakeGrid(4, 1);
  SetVector(*g, 0, 3.0f, 4.0f, true);    // |d| = 5 = MaxVel: rejected
  SetVector(*g, 1, 3.0f, 3.99f, false);  // just below: valid
  SetVector(*g, 2, 1.0f, 0.0f, true);
  g->Point(2).setPIVOffSet(100.0f, 100.0f);  // the offset is not part of the test
  g->setMaxVel(5.0f);
  CaptureStdout();
  EXPECT_EQ(g->MaxVelCheck(), 2);
  EXPECT_EQ(GetCapturedStdout(), "\n\tVelocity < 5.000000 px. Check Result:\n" + Counts(2, 4));
  EXPECT_EQ(Flags(*g), "0110");  // point 3 was never measured
}

// ---------------------------------------------------------------- global histogram

TEST(GlobalHistogramCheck, BoundIsInclusiveAndStatisticsUseOnlyPointsOnAtEntry) {
  auto g = MakeGrid(5, 1);
  SetVector(*g, 0, -3.0f, 0.0f, true);  // Vx() = -1 through its offset
  g->Point(0).setPIVOffSet(2.0f, 0.0f);
  SetVector(*g, 1, 1.0f, 0.0f, true);   // mean 0, standard deviation 1 from these two
  SetVector(*g, 2, 2.0f, 0.0f, false);  // exactly two deviations: valid
  SetVector(*g, 3, 2.001f, 0.0f, false);
  // point 4 is never measured, although (0, 0) would pass
  g->setGlobalHistogramConstant(2.0f);
  CaptureStdout();
  EXPECT_EQ(g->GlobalHistogramCheck(), 3);
  EXPECT_EQ(GetCapturedStdout(),
            "\n\tGlobal Histogram Check Result:\n"
            "\tAverage               U velocity component = 0.000000\n"
            "\tStandard deviation of U velocity component = 1.000000\n"
            "\tAverage               V velocity component = 0.000000\n" +
                Counts(3, 5));
  EXPECT_EQ(Flags(*g), "11100");
}

// A uniform flow: 100 equal vectors. Summed in double their variance comes out as
// -2.66e-15 (the mean of the squares minus the squared mean); its square root would be NaN,
// a bound no vector passes. Clamped at 0, every vector equals the (exact) mean and passes.
TEST(GlobalHistogramCheck, EqualVectorsAreAllKept) {
  auto g = MakeGrid(10, 10);
  for (int k = 0; k < 100; k++) SetVector(*g, k, 2.3f, 1.7f, true);
  g->setGlobalHistogramConstant(3.0f);
  CaptureStdout();
  EXPECT_EQ(g->GlobalHistogramCheck(), 100);
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("\tStandard deviation of U velocity component = 0.000000\n"), std::string::npos)
      << out;
}

TEST(GlobalHistogramCheck, VSpreadEntersTheTest) {
  auto g = MakeGrid(3, 1);
  SetVector(*g, 0, 0.0f, -1.0f, true);
  SetVector(*g, 1, 0.0f, 1.0f, true);
  SetVector(*g, 2, 0.0f, 1.5f, false);  // 1.5 deviations of V with C3 = 1: rejected
  g->setGlobalHistogramConstant(1.0f);
  CaptureStdout();
  EXPECT_EQ(g->GlobalHistogramCheck(), 2);
  GetCapturedStdout();
  EXPECT_EQ(Flags(*g), "110");
}

TEST(GlobalHistogramCheck, NoPointOnAtEntryAcceptsOnlyZeroVectors) {
  auto g = MakeGrid(3, 1);
  SetVector(*g, 0, 0.0f, 0.0f, false);
  SetVector(*g, 1, 0.0f, 0.1f, false);
  SetVector(*g, 2, 1e-7f, 0.0f, false);
  CaptureStdout();
  EXPECT_EQ(g->GlobalHistogramCheck(), 1);
  GetCapturedStdout();
  EXPECT_EQ(Flags(*g), "100");
}

// ---------------------------------------------------------------- median operator

// 3 x 3 grid: the top row and the left point of the middle row far away (rejected during
// the scan), the valid neighbours of the centre after it in the scan with U = 1, 2, 3, 10.
int CentreFlagWithMedianOf1_2_3_10(float centreU) {
  auto g = MakeGrid(3, 3);
  SetRowMajorU(*g, {100, 100, 100, 100, centreU, 1, 2, 3, 10});
  for (int k : {0, 1, 2, 3, 4}) g->Point(k).setOn(0);
  g->setMedianValueThreshold(1.0f);
  CaptureStdout();
  g->MedianValueOperatorCheck();
  GetCapturedStdout();
  EXPECT_EQ(g->Point(0).on() + g->Point(1).on() + g->Point(2).on() + g->Point(3).on(), 0);
  return g->Point(4).on();
}

TEST(MedianValueOperatorCheck, EvenCountTakesTheMeanOfTheTwoMiddleValues) {
  // Median 2.5: 3.4 and 1.6 lie within 1, 3.5 is exactly 1 away and rejected. The lower
  // middle (2), the upper middle (3) or the mean (4) would each get one of these wrong.
  EXPECT_EQ(CentreFlagWithMedianOf1_2_3_10(3.4f), 1);
  EXPECT_EQ(CentreFlagWithMedianOf1_2_3_10(1.6f), 1);
  EXPECT_EQ(CentreFlagWithMedianOf1_2_3_10(3.5f), 0);
}

TEST(MedianValueOperatorCheck, CornerHasThreeNeighbours) {
  for (float corner : {2.9f, 3.0f}) {
    auto g = MakeGrid(3, 3);
    // Neighbours of (0,0): 1, 2, 7 -> median 2. The far points would raise it if counted.
    SetRowMajorU(*g, {corner, 1, 100, 2, 7, 100, 100, 100, 100});
    CaptureStdout();
    g->MedianValueOperatorCheck();
    GetCapturedStdout();
    EXPECT_EQ(g->Point(0).on(), corner < 3.0f ? 1 : 0) << corner;
  }
}

TEST(MedianValueOperatorCheck, TwoNeighboursGiveTheirMeanAndVComponentCounts) {
  // (0,0) is judged first; its valid neighbours are (0,1) = (0,0) and (1,0) = (2,2), so
  // the median is (1,1). (1,1) is never measured.
  for (float v : {0.9f, 0.0f}) {
    auto g = MakeGrid(2, 2);
    SetVector(*g, 0, 1.0f, v, false);
    SetVector(*g, 1, 0.0f, 0.0f, true);
    SetVector(*g, 2, 2.0f, 2.0f, true);
    CaptureStdout();
    g->MedianValueOperatorCheck();
    GetCapturedStdout();
    EXPECT_EQ(g->Point(0).on(), v > 0.5f ? 1 : 0) << v;  // 0.1 away valid, 1.0 away not
  }
}

TEST(MedianValueOperatorCheck, RejectionEarlierInTheScanRemovesTheNeighbour) {
  auto g = MakeGrid(3, 3);
  // (0,0) = 10 has only (1,1) as a valid neighbour and is rejected first. (1,1) then
  // sees 0, 0, 1.5, 1.5 (median 0.75, valid); with (0,0) still counted the median
  // would be 1.5 and (1,1) rejected.
  SetRowMajorU(*g, {10, 0, 0, 0, 0, 0, 0, 1.5f, 1.5f});
  // (0,1), (0,2), (1,0): never measured, so never neighbours and never switched on.
  for (int k : {1, 2, 3}) {
    PIVPointTestAccess::SetMeasured(g->Point(k), false);
    g->Point(k).setOn(0);
  }
  CaptureStdout();
  g->MedianValueOperatorCheck();
  GetCapturedStdout();
  EXPECT_EQ(g->Point(0).on(), 0);
  EXPECT_EQ(g->Point(4).on(), 1);
  EXPECT_EQ(g->Point(1).on() + g->Point(2).on() + g->Point(3).on(), 0);
}

TEST(MedianValueOperatorCheck, PointWithoutValidNeighbourIsUntouchedAndNotCounted) {
  auto g = MakeGrid(1, 1);
  SetVector(*g, 0, 5.0f, 5.0f, true);
  CaptureStdout();
  EXPECT_EQ(g->MedianValueOperatorCheck(), 0);
  EXPECT_EQ(GetCapturedStdout(), "\n\tMedian Value Operator Check Result:\n" + Counts(0, 1));
  EXPECT_EQ(g->Point(0).on(), 1);

  auto h = MakeGrid(2, 1);
  SetVector(*h, 0, 0.0f, 0.0f, false);
  SetVector(*h, 1, 0.0f, 0.0f, false);
  CaptureStdout();
  EXPECT_EQ(h->MedianValueOperatorCheck(), 0);
  GetCapturedStdout();
  EXPECT_EQ(Flags(*h), "00");
}

// ---------------------------------------------------------------- dynamic mean operator

// 3 x 3 grid, all on, U = 3 at (0,0) and 0 elsewhere. Local means: 0.6 at (0,1) and
// (1,0), 0.375 at the centre, 0 elsewhere. Spreads (diagonal neighbours, each against its
// own mean): 2.25 at the centre, 0.18 at the edge points, 0.140625 at the corners.
TEST(DynamicMeanValueOperatorCheck, SpreadUsesDiagonalNeighboursAgainstTheirOwnMeans) {
  auto g = MakeGrid(3, 3);
  SetRowMajorU(*g, {3, 0, 0, 0, 0, 0, 0, 0, 0});
  g->setDynamicMeanValueConstants(0.1f, 0.2f);
  CaptureStdout();
  EXPECT_EQ(g->DynamicMeanValueOperatorCheck(), 6);
  EXPECT_EQ(GetCapturedStdout(),
            "\n\tDynamic Mean Value Operator Check Result:\n"
            "\tAvg of Local Avg (Mag of Vector Difference)^2    = 0.392500\n"
            "\tStdDev of Local Avg (Mag of Vector Difference)^2 = 0.656988\n" +
                Counts(6, 9));
  // Centre: |0.375| < 0.1 + 0.2 * 1.5 = 0.4. Using all eight neighbours, or the centre's
  // mean, for the spread would give a threshold below 0.375. (0,1) is rejected because
  // its mean still includes (0,0), whose flag is only changed in the test step.
  EXPECT_EQ(Flags(*g), "001011111");
}

TEST(DynamicMeanValueOperatorCheck, PointWithoutValidNeighbourIsTestedAgainstC1) {
  for (float v : {0.8f, 0.79f}) {
    auto g = MakeGrid(1, 1);
    SetVector(*g, 0, 0.6f, v, false);  // |(0.6, 0.8)| = 1 = C1: rejected
    g->setDynamicMeanValueConstants(1.0f, 5.0f);
    CaptureStdout();
    EXPECT_EQ(g->DynamicMeanValueOperatorCheck(), v < 0.8f ? 1 : 0);
    GetCapturedStdout();
  }
}

TEST(DynamicMeanValueOperatorCheck, ZeroC2MakesTheThresholdC1Everywhere) {
  auto g = MakeGrid(3, 3);
  // Large spread everywhere, but with C2 = 0 only the distance to the mean counts.
  SetRowMajorU(*g, {0, 8, 0, 8, 0.5f, 8, 0, 8, 0});
  for (int k = 0; k < 9; k++) g->Point(k).PIV()->dy[0] = (k == 4) ? 7.5f : 0.0f;
  g->setDynamicMeanValueConstants(1.0f, 0.0f);
  CaptureStdout();
  g->DynamicMeanValueOperatorCheck();
  GetCapturedStdout();
  // Centre: mean of its neighbours (4, 0); |(0.5 - 4, 7.5)| > 1: rejected.
  EXPECT_EQ(g->Point(4).on(), 0);
  g->setDynamicMeanValueConstants(1.0f, 10.0f);
  for (int k = 0; k < 9; k++) g->Point(k).setOn(1);
  CaptureStdout();
  g->DynamicMeanValueOperatorCheck();
  GetCapturedStdout();
  EXPECT_EQ(g->Point(4).on(), 1);
}

TEST(DynamicMeanValueOperatorCheck, NaNThresholdRejectsEveryPoint) {
  auto g = MakeGrid(2, 2);
  SetRowMajorU(*g, {0, 0, 0, 0});
  g->setDynamicMeanValueConstants(std::numeric_limits<float>::quiet_NaN(), 1.0f);
  CaptureStdout();
  EXPECT_EQ(g->DynamicMeanValueOperatorCheck(), 0);
  GetCapturedStdout();
  EXPECT_EQ(Flags(*g), "0000");
}

// ---------------------------------------------------------------- all checks

TEST(AllChecks, UnmeasuredPointsAreNeverSwitchedOn) {
  auto g = MakeGrid(3, 1);
  SetVector(*g, 0, 0.0f, 0.0f, true);
  SetVector(*g, 2, 0.0f, 0.0f, true);
  // Point 1 holds zeros that every check would accept, but it has no measurement.
  g->Point(1).PIV()->rho[0] = 1.0f;
  g->Point(1).setOn(1);
  CaptureStdout();
  EXPECT_EQ(g->CCPeakValueCheck(), 2);
  EXPECT_EQ(g->MaxVelCheck(), 2);
  EXPECT_EQ(g->GlobalHistogramCheck(), 2);
  g->Point(1).setOn(1);
  EXPECT_EQ(g->MedianValueOperatorCheck(), 0);  // the others have no valid neighbour
  g->Point(1).setOn(1);
  EXPECT_EQ(g->DynamicMeanValueOperatorCheck(), 2);
  GetCapturedStdout();
  EXPECT_EQ(Flags(*g), "101");
}

TEST(AllChecks, EmptyGridJudgesNothingAndPrintsZeroCounts) {
  auto g = MakeGrid(0, 0);
  CaptureStdout();
  EXPECT_EQ(g->CCPeakValueCheck(), 0);
  EXPECT_EQ(g->MaxVelCheck(), 0);
  EXPECT_EQ(g->GlobalHistogramCheck(), 0);
  EXPECT_EQ(g->MedianValueOperatorCheck(), 0);
  EXPECT_EQ(g->DynamicMeanValueOperatorCheck(), 0);
  const std::string out = GetCapturedStdout();
  const std::string zero = Counts(0, 0);
  size_t n = 0;
  for (size_t p = out.find(zero); p != std::string::npos; p = out.find(zero, p + 1)) n++;
  EXPECT_EQ(n, 5u);
  EXPECT_NE(out.find("\tAvg of Local Avg (Mag of Vector Difference)^2    = 0.000000\n"),
            std::string::npos);
}

// ---------------------------------------------------------------- select

TEST(Select, AgreesWithNthElementOnRandomArrays) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 400; trial++) {
    const unsigned long n = 1 + rng() % 12;
    // Half the arrays from a few integers, so that ties occur.
    std::uniform_int_distribution<int> few(0, 3);
    std::uniform_real_distribution<float> any(-50.0f, 50.0f);
    std::vector<float> values(n);
    for (auto& v : values) v = (trial % 2) ? static_cast<float>(few(rng)) : any(rng);
    for (unsigned long k = 1; k <= n; k++) {
      std::vector<float> arr(n + 1, -999.0f);
      std::copy(values.begin(), values.end(), arr.begin() + 1);
      std::vector<float> ref = values;
      std::nth_element(ref.begin(), ref.begin() + (k - 1), ref.end());
      EXPECT_EQ(select(k, n, arr.data()), ref[k - 1]) << "n=" << n << " k=" << k;
      EXPECT_EQ(arr[0], -999.0f);  // arr[0] is not touched
      std::vector<float> rest(arr.begin() + 1, arr.end()), sorted = values;
      std::sort(rest.begin(), rest.end());
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(rest, sorted);  // rearranged, nothing lost
    }
  }
}

}  // namespace tarvex
