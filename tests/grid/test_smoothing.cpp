// Moving-average smoothing and fill-in on hand-made grids.
#include <gtest/gtest.h>

#include "HandMadeGrid.h"

namespace tarvex {

namespace {

// An nx x ny grid, every point on with U = its index k and V = -k.
std::unique_ptr<PIVGrid> IndexGrid(int nx, int ny) {
  auto g = MakeGrid(nx, ny);
  for (int k = 0; k < nx * ny; k++) SetVector(*g, k, static_cast<float>(k), -static_cast<float>(k), true);
  return g;
}

}  // namespace

TEST(MovingAverageVelocity, DefaultWindowIs3x3WithFewerPointsAtCornersAndEdges) {
  auto g = IndexGrid(4, 4);
  EXPECT_EQ(g->MovingAverageVelocity(), 1);
  EXPECT_FLOAT_EQ(g->VelocityX(0), 2.5f);   // corner: 0, 1, 4, 5
  EXPECT_FLOAT_EQ(g->VelocityY(0), -2.5f);
  EXPECT_FLOAT_EQ(g->VelocityX(1), 3.0f);   // edge: 0, 1, 2, 4, 5, 6
  EXPECT_FLOAT_EQ(g->VelocityX(5), 5.0f);   // inner: nine points around 5
  EXPECT_FLOAT_EQ(g->VelocityX(15), 12.5f); // corner: 10, 11, 14, 15
}

TEST(MovingAverageVelocity, RejectedPointsAreFilledAndNotUsed) {
  auto g = IndexGrid(4, 4);
  SetVector(*g, 5, 100.0f, 100.0f, false);  // rejected: filled from its eight neighbours
  PIVPointTestAccess::SetMeasured(g->Point(6), false);  // on but never measured: not used
  g->Point(6).PIV()->dx[0] = 100.0f;
  g->MovingAverageVelocity();
  EXPECT_FLOAT_EQ(g->VelocityX(5), (0 + 1 + 2 + 4 + 8 + 9 + 10) / 7.0f);
  EXPECT_FLOAT_EQ(g->VelocityX(0), (0 + 1 + 4) / 3.0f);
  EXPECT_FLOAT_EQ(g->VelocityX(6), (1 + 2 + 3 + 7 + 9 + 10 + 11) / 7.0f);
  // The points themselves are not changed.
  EXPECT_EQ(g->Point(5).on(), 0);
  EXPECT_FLOAT_EQ(g->Point(5).Vx(), 100.0f);
}

TEST(MovingAverageVelocity, IncludesTheWindowOffsetOfEachPoint) {
  auto g = IndexGrid(1, 1);
  g->Point(0).setPIVOffSet(6.0f, -2.0f);
  g->MovingAverageVelocity();
  EXPECT_FLOAT_EQ(g->VelocityX(0), 6.0f);
  EXPECT_FLOAT_EQ(g->VelocityY(0), -2.0f);
}

TEST(MovingAverageVelocity, HalfWidthIsTruncatedTowardZero) {
  auto g = IndexGrid(5, 5);
  g->setMovingAverageWindowSize(2.7f);  // 5 x 5
  g->MovingAverageVelocity();
  EXPECT_FLOAT_EQ(g->VelocityX(0), (0 + 1 + 2 + 5 + 6 + 7 + 10 + 11 + 12) / 9.0f);
  EXPECT_FLOAT_EQ(g->VelocityX(12), 12.0f);

  for (float w : {0.5f, -0.5f}) {  // the point alone
    auto h = IndexGrid(3, 3);
    h->Point(4).setOn(0);
    h->setMovingAverageWindowSize(w);
    h->MovingAverageVelocity();
    EXPECT_FLOAT_EQ(h->VelocityX(3), 3.0f) << w;
    EXPECT_FLOAT_EQ(h->VelocityY(3), -3.0f) << w;
    EXPECT_FLOAT_EQ(h->VelocityX(4), 0.0f) << w;  // rejected, nothing else in its window
  }
}

TEST(MovingAverageVelocity, NegativeWidthOrNoValidPointGivesZeroField) {
  auto g = IndexGrid(3, 3);
  g->MovingAverageVelocity();
  g->setMovingAverageWindowSize(-1.0f);
  g->MovingAverageVelocity();  // overwrites the previous field with zeros
  for (int k = 0; k < 9; k++) {
    EXPECT_EQ(g->VelocityX(k), 0.0f);
    EXPECT_EQ(g->VelocityY(k), 0.0f);
  }
  auto h = IndexGrid(3, 3);
  for (int k = 0; k < 9; k++) h->Point(k).setOn(0);
  h->MovingAverageVelocity();
  for (int k = 0; k < 9; k++) EXPECT_EQ(h->VelocityX(k), 0.0f);
}

TEST(MovingAverageVelocity, RepeatingGivesTheSameField) {
  auto g = IndexGrid(4, 3);
  g->Point(7).setOn(0);
  g->MovingAverageVelocity();
  std::vector<float> first;
  for (int k = 0; k < 12; k++) first.push_back(g->VelocityX(k));
  g->MovingAverageVelocity();
  for (int k = 0; k < 12; k++) EXPECT_EQ(g->VelocityX(k), first[k]);
}

TEST(MovingAverageVelocity, EmptyGridDoesNothing) {
  auto g = MakeGrid(0, 3);
  EXPECT_EQ(g->MovingAverageVelocity(), 1);
}

}  // namespace tarvex
