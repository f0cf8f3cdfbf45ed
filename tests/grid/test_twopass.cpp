// Two-pass analysis on hand-made grids over an image store without a file: neither pass
// can correlate, so the points keep the vectors the test gives them, and what the
// analysis changes is visible in the offsets, flags and messages.
#include <gtest/gtest.h>

#include <string>

#include "HandMadeGrid.h"

namespace tarvex {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// 256 x 256 pixels: point (i, j) of a MakeGrid grid lies at (16 j + 15, 16 i + 15) and
// its windows fit as long as they start at >= 0 and end at <= 254.
class TwoPass : public testing::Test {
 protected:
  PIVImage image{256, 256};

  // Runs the analysis with the checks made lenient and the smoothing reduced to the
  // point itself, so each point's offset comes from its own vector.
  void RunOnOwnVectors(PIVGrid& g) {
    g.setGlobalHistogramConstant(1e6f);
    g.setDynamicMeanValueConstants(1e6f, 0.0f);
    g.setMovingAverageWindowSize(0.5f);
    Run(g);
  }
  void Run(PIVGrid& g) {
    CaptureStdout();
    EXPECT_TRUE(g.CalculateIterativeGridTARVEX());
    output = GetCapturedStdout();
  }
  std::string output;
};

}  // namespace

TEST_F(TwoPass, OffsetsAreRoundedHalfAwayFromZero) {
  auto g = MakeGrid(5, 2, &image);
  const float u[] = {0.0f, 2.49f, 2.5f, -2.5f, -0.7f};
  for (int j = 0; j < 5; j++) SetVector(*g, 5 + j, u[j], -u[j], true);  // second row
  RunOnOwnVectors(*g);
  const float expected[] = {0.0f, 2.0f, 3.0f, -3.0f, -1.0f};
  for (int j = 0; j < 5; j++) {
    EXPECT_EQ(g->Point(5 + j).DX(), expected[j]) << u[j];
    EXPECT_EQ(g->Point(5 + j).DY(), -expected[j]) << u[j];
  }
}

TEST_F(TwoPass, WholePixelOffsetAndArraysReceiveThePointDisplacement) {
  auto g = MakeGrid(3, 3, &image);
  SetVector(*g, 4, 5.6f, -2.1f, true);
  RunOnOwnVectors(*g);
  EXPECT_EQ(g->Point(4).DX(), 6.0f);
  EXPECT_EQ(g->Point(4).DY(), -2.0f);
  // The second pass copies measured displacement plus offset into the arrays.
  EXPECT_FLOAT_EQ(g->VelocityX(4), 5.6f + 6.0f);
  EXPECT_FLOAT_EQ(g->VelocityY(4), -2.1f - 2.0f);
  // A second correlation measuring (-0.3, -0.1) reports (5.7, -2.1).
  g->Point(4).PIV()->dx[0] = -0.3f;
  g->Point(4).PIV()->dy[0] = -0.1f;
  EXPECT_FLOAT_EQ(g->Point(4).Vx(), 5.7f);
  EXPECT_FLOAT_EQ(g->Point(4).Vy(), -2.1f);
}

TEST_F(TwoPass, OffsetsPersistIntoTheNextAnalysis) {
  // Nothing resets a point's offset: the next analysis smooths Vx() = dx + offset.
  auto g = MakeGrid(3, 3, &image);
  SetVector(*g, 4, 5.6f, 0.0f, true);
  RunOnOwnVectors(*g);
  EXPECT_EQ(g->Point(4).DX(), 6.0f);
  RunOnOwnVectors(*g);
  EXPECT_EQ(g->Point(4).DX(), 12.0f);
}

TEST_F(TwoPass, OffsetThatLeavesTheImageFallsBackToZero) {
  // Row 0 starts at y = 0: any upward offset moves the second window out. Column 14
  // (x = 239) ends at column 255, the last one, which no window may include, and
  // column 13 (x = 223) can move right by 15 but not by 16.
  auto g = MakeGrid(15, 2, &image);
  SetVector(*g, 0, -0.7f, 0.0f, true);    // left by one pixel: out
  SetVector(*g, 1, 0.0f, -1.0f, true);    // up by one pixel: out
  SetVector(*g, 2, 0.0f, 1.0f, true);     // down: stays
  SetVector(*g, 15 + 13, 14.5f, 0.0f, true);  // 15: stays
  SetVector(*g, 15 + 12, 0.0f, 0.0f, true);
  SetVector(*g, 13, 15.5f, 0.0f, true);   // 16: out
  RunOnOwnVectors(*g);
  EXPECT_EQ(g->Point(0).DX(), 0.0f);
  EXPECT_EQ(g->Point(1).DY(), 0.0f);
  EXPECT_EQ(g->Point(2).DY(), 1.0f);
  EXPECT_EQ(g->Point(15 + 13).DX(), 15.0f);
  EXPECT_EQ(g->Point(13).DX(), 0.0f);
  EXPECT_EQ(g->Point(14).DX(), 0.0f);  // never fits, whatever its vector
}

TEST_F(TwoPass, OutlierIsRejectedAndFilledBeforeTheOffsetsAreSet) {
  // Eight points of (4, 0) around an outlier of (40, 0). The global histogram keeps the
  // outlier (one value in nine lies within three deviations), the dynamic check rejects
  // only it, and the 3 x 3 average fills it: every offset is (4, 0). Without the checks
  // the centre would get 8 and the corners 13.
  auto g = MakeGrid(3, 3, &image);
  for (int k = 0; k < 9; k++) SetVector(*g, k, k == 4 ? 40.0f : 4.0f, 0.0f, true);
  Run(*g);
  for (int k = 0; k < 9; k++) EXPECT_EQ(g->Point(k).DX(), 4.0f) << k;
  EXPECT_EQ(Flags(*g), "111101111");  // the second pass could not correlate
}

TEST_F(TwoPass, ConstantsBelowTheLimitAreReplaced) {
  struct Case {
    float c1, c2, c3;
    float e1, e2, e3;
  };
  for (const Case& c : {Case{0, 0, 0, 1, 0, 3}, Case{1e-7f, 1e-7f, -1, 1, 0, 3},
                        Case{0, 2, 2, 0, 2, 2}, Case{0.5f, 0, 2e-6f, 0.5f, 0, 2e-6f}}) {
    auto g = MakeGrid(2, 2, &image);
    g->setDynamicMeanValueConstants(c.c1, c.c2);
    g->setGlobalHistogramConstant(c.c3);
    Run(*g);
    EXPECT_EQ(PIVGridTestAccess::C1(*g), c.e1);
    EXPECT_EQ(PIVGridTestAccess::C2(*g), c.e2);
    EXPECT_EQ(PIVGridTestAccess::C3(*g), c.e3);
  }
}

TEST_F(TwoPass, EmptyGridPrintsTheThreeMessagesAndTheCheckReports) {
  auto g = MakeGrid(0, 4, &image);
  Run(*g);
  const size_t validating = output.find("\nValidating TARVEX, please wait .....\n");
  const size_t histogram = output.find("\n\tGlobal Histogram Check Result:\n");
  const size_t dynamic = output.find("\n\tDynamic Mean Value Operator Check Result:\n");
  const size_t smoothing = output.find("\nSmooth and Interpolate missing TARVEX, please wait .....\n");
  const size_t second = output.find("\nCalculating 2nd Pass Offset TARVEX, please wait ....\n");
  ASSERT_EQ(validating, 0u);
  EXPECT_LT(validating, histogram);
  EXPECT_LT(histogram, dynamic);
  EXPECT_LT(dynamic, smoothing);
  EXPECT_LT(smoothing, second);
  EXPECT_NE(second, std::string::npos);
  EXPECT_EQ(output.size(), second + std::string("\nCalculating 2nd Pass Offset TARVEX, please wait ....\n").size());
}

TEST_F(TwoPass, UnmeasuredPointsStayOffAndGetNoOffset) {
  auto g = MakeGrid(3, 3, &image);
  for (int k = 0; k < 9; k++)
    if (k != 4) SetVector(*g, k, 3.0f, 0.0f, true);
  Run(*g);
  EXPECT_EQ(g->Point(4).on(), 0);
  // Its offset comes from the smoothing of its valid neighbours, never from itself.
  EXPECT_EQ(g->Point(4).DX(), 3.0f);
  EXPECT_EQ(Flags(*g), "111101111");
}

}  // namespace tarvex
