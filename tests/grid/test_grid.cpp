// PIVGrid: geometry, parameter defaults, setters, rebuilding, and the single pass on a
// rendered particle image pair with a known uniform shift.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "PlanTable.h"
#include "TestSupport.h"
#include "correlation/DefineFFTWPlans.h"
#include "grid/PIVGrid.h"

namespace tarvex {

class PIVGridTestAccess {
 public:
  static float* Vx(PIVGrid& g) { return g.Vx; }
  static float* Vy(PIVGrid& g) { return g.Vy; }
  static PIVPoint* Points(PIVGrid& g) { return g.pivgrid; }
  static float MinRho(const PIVGrid& g) { return g.MinRho; }
  static float MaxVel(const PIVGrid& g) { return g.MaxVel; }
  static float C1(const PIVGrid& g) { return g.C1; }
  static float C2(const PIVGrid& g) { return g.C2; }
  static float C3(const PIVGrid& g) { return g.C3; }
  static float C4(const PIVGrid& g) { return g.C4; }
  static float AvgWidth(const PIVGrid& g) { return g.avg_width; }
  static FILE* Fo(const PIVGrid& g) { return g.fo; }
  static const PivFileHeader& Header(const PIVGrid& g) { return g.pivfileheader; }
};

class PIVPointTestAccess {
 public:
  static float MaxVel(const PIVPoint& p) { return p.MaxVel; }
  static float MinRho(const PIVPoint& p) { return p.MinRho; }
  static FFTWplan* Plans(const PIVPoint& p) { return p.AllFFTWplans; }
};

namespace {

using A = PIVGridTestAccess;
using PA = PIVPointTestAccess;


// Gaussian particles (diameter d at the e^-2 level) at given centres, sampled per pixel.
std::vector<uint16_t> Render(int w, int h, const std::vector<std::pair<double, double>>& centres,
                             double dx, double dy, double d) {
  std::vector<double> img(static_cast<size_t>(w) * h, 0.0);
  const double k = 8.0 / (d * d);
  for (const auto& c : centres) {
    const double cx = c.first + dx, cy = c.second + dy;
    for (int y = std::max(0, int(cy) - 4); y <= std::min(h - 1, int(cy) + 4); y++)
      for (int x = std::max(0, int(cx) - 4); x <= std::min(w - 1, int(cx) + 4); x++)
        img[static_cast<size_t>(y) * w + x] +=
            3000.0 * std::exp(-k * ((x - cx) * (x - cx) + (y - cy) * (y - cy)));
  }
  std::vector<uint16_t> out(img.size());
  for (size_t i = 0; i < img.size(); i++) out[i] = static_cast<uint16_t>(std::min(img[i], 4095.0));
  return out;
}

// A two-image file of w x h particles images, the second shifted by (dx, dy).
void WriteShiftedPair(const std::string& path, int w, int h, double dx, double dy) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> ux(-6.0, w + 6.0), uy(-6.0, h + 6.0);
  std::vector<std::pair<double, double>> centres;
  const int n = static_cast<int>(0.02 * (w + 12) * (h + 12));
  for (int i = 0; i < n; i++) centres.emplace_back(ux(rng), uy(rng));
  WriteImagePairFile(path, w, h, {Render(w, h, centres, 0, 0, 2.5), Render(w, h, centres, dx, dy, 2.5)});
}

}  // namespace

TEST(GridGeometry, PointsLieHalfAWindowInFromTheOffset) {
  PIVGrid g(1, 9999, 3, 2, 10, 20, 16, 24, 0, 0, 32, 32, unknown, nullptr, nullptr);
  ASSERT_EQ(g.NX(), 3);
  ASSERT_EQ(g.NY(), 2);
  EXPECT_EQ(g.Point(0).X(), 25.0f);
  EXPECT_EQ(g.Point(0).Y(), 35.0f);
  EXPECT_EQ(g.Point(1).X(), 41.0f);
  EXPECT_EQ(g.Point(1).Y(), 35.0f);
  EXPECT_EQ(g.Point(2).X(), 57.0f);
  EXPECT_EQ(g.Point(3).X(), 25.0f);  // row 1, column 0: rows outer, columns fastest
  EXPECT_EQ(g.Point(3).Y(), 59.0f);
  EXPECT_EQ(g.Point(5).X(), 57.0f);
  EXPECT_EQ(g.Point(5).Y(), 59.0f);

  // Odd window sizes: the half window truncates.
  PIVGrid odd(1, 9999, 1, 1, 0, 0, 33, 17, 0, 0, 33, 17, unknown, nullptr, nullptr);
  EXPECT_EQ(odd.Point(0).X(), 15.0f);
  EXPECT_EQ(odd.Point(0).Y(), 7.0f);
}

TEST(GridGeometry, EveryPointGetsTheGridsSettings) {
  PIVImage store(8, 8);
  PIVGrid g(1, 9999, 2, 2, 0, 0, 32, 32, 3, -2, 32, 32, EAST, Plans(), &store);
  for (int k = 0; k < 4; k++) {
    PIVPoint& p = g.Point(k);
    TARVEXData* r = p.PIV();
    EXPECT_EQ(p.pivImage, &store);
    EXPECT_EQ(r->parent, 9999);
    EXPECT_EQ(r->id, 0);  // the grid does not number its points
    EXPECT_EQ(p.DX(), 3.0f);
    EXPECT_EQ(p.DY(), -2.0f);
    EXPECT_EQ(r->nx, 32);
    EXPECT_EQ(r->ny, 32);
    EXPECT_EQ(r->SearchRegion, 3);
    EXPECT_EQ(PA::Plans(p), Plans());
    EXPECT_EQ(r->fftwplan, SelectFFTWPlan(Plans(), 32, 32));
    // Nothing measured yet: flag 0, zero displacement in the grid's arrays.
    EXPECT_EQ(p.on(), 0);
    EXPECT_EQ(g.VelocityX(k), 0.0f);
    EXPECT_EQ(g.VelocityY(k), 0.0f);
  }
}

TEST(GridParameters, DefaultsFollowTheWindowDiagonal) {
  PIVGrid g(1, 9999, 2, 3, 0, 0, 32, 64, 0, 0, 32, 64, unknown, nullptr, nullptr);
  const float diag = static_cast<float>(0.5 * std::hypot(32.0, 64.0));
  EXPECT_EQ(A::MaxVel(g), diag);
  EXPECT_NEAR(A::MaxVel(g), 35.78f, 0.01f);
  EXPECT_EQ(A::MinRho(g), 0.0f);
  EXPECT_EQ(A::C3(g), 3.0f);
  EXPECT_EQ(A::C4(g), 1.0f);
  EXPECT_EQ(A::C1(g), 1.0f);
  EXPECT_EQ(A::C2(g), 1.0f);
  EXPECT_EQ(A::AvgWidth(g), 1.0f);
  for (int k = 0; k < 6; k++) {
    EXPECT_EQ(PA::MaxVel(g.Point(k)), diag);
    EXPECT_EQ(PA::MinRho(g.Point(k)), 0.0f);
  }
  PIVGrid square(1, 9999, 1, 1, 0, 0, 64, 64, 0, 0, 64, 64, unknown, nullptr, nullptr);
  EXPECT_NEAR(A::MaxVel(square), 45.25f, 0.01f);
}

TEST(GridParameters, ThresholdSettersReachEveryPoint) {
  PIVGrid g(1, 9999, 3, 2, 0, 0, 16, 16, 0, 0, 32, 32, unknown, nullptr, nullptr);
  g.setMinRho(0.3f);
  g.setMaxVel(8.0f);
  EXPECT_EQ(A::MinRho(g), 0.3f);
  EXPECT_EQ(A::MaxVel(g), 8.0f);
  for (int k = 0; k < 6; k++) {
    EXPECT_EQ(PA::MinRho(g.Point(k)), 0.3f) << k;
    EXPECT_EQ(PA::MaxVel(g.Point(k)), 8.0f) << k;
  }
}

TEST(GridLifecycle, DefaultGridIsEmptyAndSafe) {
  PIVGrid g;
  EXPECT_EQ(g.NX(), 0);
  EXPECT_EQ(g.NY(), 0);
  EXPECT_EQ(A::Points(g), nullptr);
  EXPECT_EQ(A::Vx(g), nullptr);
  EXPECT_EQ(A::Vy(g), nullptr);
  EXPECT_EQ(A::Fo(g), nullptr);
  EXPECT_EQ(A::MaxVel(g), 0.0f);  // derived from the unset (zero) window size
  EXPECT_EQ(A::Header(g).descr, nullptr);
  EXPECT_EQ(A::Header(g).nsets, 0);
  g.setMinRho(0.2f);
  g.setMaxVel(4.0f);
  EXPECT_TRUE(g.CalculateGridTARVEX());
}

TEST(GridLifecycle, GridsWithoutColumnsOrRowsHaveNoPoints) {
  PIVGrid noColumns(1, 9999, 0, 5, 0, 0, 32, 32, 0, 0, 32, 32, unknown, nullptr, nullptr);
  EXPECT_EQ(A::Points(noColumns), nullptr);
  EXPECT_TRUE(noColumns.CalculateGridTARVEX());
  PIVGrid noRows(1, 9999, 4, 0, 0, 0, 32, 32, 0, 0, 32, 32, unknown, nullptr, nullptr);
  EXPECT_EQ(A::Points(noRows), nullptr);
  noRows.setMinRho(0.5f);
  EXPECT_TRUE(noRows.CalculateGridTARVEX());
}

TEST(GridLifecycle, RebuildingFromFieldsMatchesTheConstructor) {
  PIVImage store(8, 8);
  PIVGrid built(1, 9999, 3, 2, 10, 20, 16, 24, 1, 2, 32, 32, NORTH, Plans(), &store);

  PIVGrid rebuilt;
  rebuilt.setImageDataInfo(&store);
  rebuilt.setGlobalImageOffSet(10, 20);
  rebuilt.setParentGridID(9999);
  rebuilt.setGridID(1);
  rebuilt.setGridSize(3, 2);
  rebuilt.setGridSpacing(16, 24);
  rebuilt.setDFT(32, 32);
  rebuilt.setALLFFTWPLANS(Plans());
  rebuilt.setPIVOffSet(1.0f, 2.0f);
  rebuilt.setSearchRegion(NORTH);
  ASSERT_TRUE(rebuilt.setUpTARVEXGrid());
  rebuilt.setMinRho(0.0f);
  rebuilt.setMaxVel(static_cast<float>(0.5 * std::hypot(32.0, 32.0)));

  ASSERT_EQ(rebuilt.NX(), 3);
  ASSERT_EQ(rebuilt.NY(), 2);
  for (int k = 0; k < 6; k++) {
    PIVPoint& a = built.Point(k);
    PIVPoint& b = rebuilt.Point(k);
    EXPECT_EQ(a.X(), b.X());
    EXPECT_EQ(a.Y(), b.Y());
    EXPECT_EQ(a.DX(), b.DX());
    EXPECT_EQ(a.DY(), b.DY());
    EXPECT_EQ(b.pivImage, &store);
    EXPECT_EQ(b.PIV()->parent, 9999);
    EXPECT_EQ(b.PIV()->SearchRegion, 4);
    EXPECT_EQ(b.PIV()->nx, 32);
    EXPECT_EQ(b.PIV()->fftwplan, a.PIV()->fftwplan);
    EXPECT_EQ(PA::MaxVel(a), PA::MaxVel(b));
    EXPECT_EQ(PA::MinRho(a), PA::MinRho(b));
    EXPECT_EQ(rebuilt.VelocityX(k), 0.0f);
  }

  // A second rebuild to another size replaces the arrays.
  built.setGridSize(1, 4);
  built.setUpTARVEXGrid();
  ASSERT_EQ(built.NX(), 1);
  EXPECT_EQ(built.Point(3).Y(), 3 * 24 + 16 + 20 - 1.0f);
  EXPECT_EQ(built.VelocityY(3), 0.0f);
}

TEST(GridSinglePass, FindsTheShiftAndNeverMeasuresTheLastColumnOrRow) {
  TempDir dir;
  const std::string file = dir.file("pair.b16");
  WriteShiftedPair(file, 96, 96, 2.0, 1.0);
  PIVImage store(file.c_str());
  ASSERT_TRUE(store.FopenFlag);

  // 96 px with 32 px windows every 32 px: three columns, the last one reaches column 95.
  PIVGrid g(1, 9999, 3, 3, 0, 0, 32, 32, 0, 0, 32, 32, unknown, Plans(), &store);
  ASSERT_TRUE(g.CalculateGridTARVEX());
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) {
      const int k = i * 3 + j;
      PIVPoint& p = g.Point(k);
      EXPECT_EQ(g.VelocityX(k), p.Vx()) << k;
      EXPECT_EQ(g.VelocityY(k), p.Vy()) << k;
      if (i == 2 || j == 2) {
        EXPECT_EQ(p.on(), 0) << k;
        EXPECT_EQ(g.VelocityX(k), 0.0f) << k;
        EXPECT_EQ(g.VelocityY(k), 0.0f) << k;
        EXPECT_EQ(p.Rho(), 0.0f) << k;
      } else {
        EXPECT_EQ(p.on(), 1) << k;
        EXPECT_NEAR(g.VelocityX(k), 2.0f, 0.3f) << k;
        EXPECT_NEAR(g.VelocityY(k), 1.0f, 0.3f) << k;
        EXPECT_GT(p.Rho(), 0.5f) << k;
      }
    }
  }
}

TEST(GridSinglePass, WindowOffsetIsPartOfTheReportedDisplacement) {
  TempDir dir;
  const std::string file = dir.file("pair.b16");
  WriteShiftedPair(file, 128, 128, 5.0, -3.0);
  PIVImage store(file.c_str());
  // Offset the second window by the whole shift: the peak sits at zero displacement,
  // and the grid's arrays still hold the full displacement.
  PIVGrid g(1, 9999, 2, 2, 16, 16, 32, 32, 5, -3, 32, 32, unknown, Plans(), &store);
  g.CalculateGridTARVEX();
  for (int k = 0; k < 4; k++) {
    EXPECT_EQ(g.Point(k).on(), 1) << k;
    EXPECT_NEAR(g.Point(k).PIV()->dx[0], 0.0f, 0.15f) << k;
    EXPECT_NEAR(g.VelocityX(k), 5.0f, 0.15f) << k;
    EXPECT_NEAR(g.VelocityY(k), -3.0f, 0.15f) << k;
  }
}

}  // namespace tarvex
