// Interrogation point: construction, DFT-size setters and plan choice, window placement
// and the border test, window extraction with offset, and the window mask.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "correlation/CorrelationWorkspace.h"
#include "grid/PIVPoint.h"
#include "grid/piv.h"

namespace tarvex {

class PIVPointTestAccess {
 public:
  static void SetWindowFlag(PIVPoint& p, bool on) { p.WindowFlag = on; }
  static bool SetUpWindowMask(PIVPoint& p) { return p.setUpWindowMask(); }
  // Loads the point's windows into this thread's workspace as the analysis treats them.
  static void LoadAnalysedWindows(PIVPoint& p) {
    CorrelationWorkspace& ws = CorrelationWorkspace::ForThisThread();
    ASSERT_TRUE(ws.PrepareCorrelation(p.piv.nx, p.piv.ny));
    p.LoadWindows(ws, true);
  }
  static FFTWplan* Plans(PIVPoint& p) { return p.AllFFTWplans; }
  static bool CCStored(PIVPoint& p) { return p.CCStored; }
  static bool FilterOn(PIVPoint& p) { return p.FilterOn; }
};
using Access = PIVPointTestAccess;

namespace {

constexpr int kSide = 64;

// Pixel values that name their position: x + 64*y in image 1, 10000 more in image 2.
uint16_t Pixel1(int x, int y) { return static_cast<uint16_t>(x + kSide * y); }
uint16_t Pixel2(int x, int y) { return static_cast<uint16_t>(10000 + x + kSide * y); }

// A 64 x 64 image pair read from a file (so the store has its file open).
class PositionImages {
 public:
  PositionImages() {
    std::vector<uint16_t> a(kSide * kSide), b(kSide * kSide);
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        a[y * kSide + x] = Pixel1(x, y);
        b[y * kSide + x] = Pixel2(x, y);
      }
    }
    const std::string path = dir_.file("pair.img");
    WriteImagePairFile(path, kSide, kSide, {a, b});
    image_ = std::make_unique<PIVImage>(path.c_str());
  }
  PIVImage* get() { return image_.get(); }

 private:
  TempDir dir_;
  std::unique_ptr<PIVImage> image_;
};

// Value k of window 1 or 2 as last loaded into this thread's workspace, in units of full scale.
double Loaded(int window, int k) {
  const RealCCWork& t = CorrelationWorkspace::ForThisThread().transforms;
  return (window == 1 ? t.fI1.data : t.fI2.data)[k];
}

// Pixel (c, r) of window 1 or 2 of width nx as last loaded, back in pixel counts.
uint16_t LoadedPixel(int window, int nx, int c, int r) {
  return static_cast<uint16_t>(Loaded(window, r * nx + c) * 4096.0);
}

}  // namespace

TEST(PIVPointConstruction, DefaultPointIs32By32WithoutPlanAndReportsNoDisplacement) {
  PIVPoint p;
  TARVEXData* d = p.PIV();
  EXPECT_EQ(d->nx, 32);
  EXPECT_EQ(d->ny, 32);
  EXPECT_EQ(d->memsize, 1024);
  EXPECT_EQ(p.X(), 15.0f);
  EXPECT_EQ(p.Y(), 15.0f);
  EXPECT_EQ(d->CCtype, 4);
  EXPECT_EQ(d->SearchRegion, 0);
  EXPECT_EQ(d->fftwplan, nullptr);
  EXPECT_EQ(d->CC, nullptr);
  EXPECT_EQ(d->CCfilter, nullptr);
  EXPECT_EQ(d->Window, nullptr);
  EXPECT_EQ(p.on(), 0);
  EXPECT_EQ(p.id(), 0);
  EXPECT_EQ(p.Vx(), 0.0f);
  EXPECT_EQ(p.Vy(), 0.0f);
  EXPECT_EQ(p.Rho(), 0.0f);
  EXPECT_EQ(p.pivImage, nullptr);
  EXPECT_FALSE(Access::CCStored(p));
  EXPECT_FALSE(Access::FilterOn(p));
}

TEST(PIVPointConstruction, SizedPointTakesItsTableEntryAndFirstWindowAtOrigin) {
  FFTWplan table[20] = {};
  PIVPoint p(48, 24, 3, table);
  EXPECT_EQ(p.X(), 23.0f);
  EXPECT_EQ(p.Y(), 11.0f);
  EXPECT_EQ(p.PIV()->memsize, 48 * 24);
  EXPECT_EQ(p.PIV()->SearchRegion, 3);
  EXPECT_EQ(p.PIV()->fftwplan, &table[19]);
  PIVPoint odd(36, 36, 0, table);
  EXPECT_EQ(odd.PIV()->fftwplan, nullptr);
}

TEST(PIVPointDFTSize, SettersChooseThePlan) {
  FFTWplan table[20] = {};
  PIVPoint p;
  p.setALLFFTWPLANS(table);
  EXPECT_EQ(p.PIV()->fftwplan, nullptr) << "the plan is chosen only by a size setter";
  EXPECT_EQ(Access::Plans(p), table);

  p.setDFTSize(24, 48);
  EXPECT_EQ(p.PIV()->fftwplan, &table[18]);
  EXPECT_EQ(p.PIV()->memsize, 1024) << "memsize follows the correlation, not the setters";

  p.setDFTSize(32, 64);
  EXPECT_EQ(p.PIV()->fftwplan, nullptr);
  p.setDFTSize(64, 64);
  EXPECT_EQ(p.PIV()->fftwplan, &table[9]);

  p.setXDFTSize(48);
  EXPECT_EQ(p.PIV()->fftwplan, nullptr);
  p.setYDFTSize(24);
  EXPECT_EQ(p.PIV()->fftwplan, &table[19]);
}

TEST(PIVPointDFTSize, PresetSizesAndOutOfRangeIndexLeavesPointUnchanged) {
  FFTWplan table[20] = {};
  PIVPoint p(32, 32, 0, table);
  p.setPreSetDFT(11);
  EXPECT_EQ(p.PIV()->nx, 188);
  EXPECT_EQ(p.PIV()->ny, 188);
  EXPECT_EQ(p.PIV()->fftwplan, &table[13]);
  p.setPreSetDFT(0);
  EXPECT_EQ(p.PIV()->nx, 12);
  EXPECT_EQ(p.PIV()->fftwplan, &table[2]);
  p.setPreSetDFT(15);
  EXPECT_EQ(p.PIV()->nx, 512);
  EXPECT_EQ(p.PIV()->fftwplan, &table[17]);

  for (int bad : {16, -1, 1000}) {
    p.setPreSetDFT(bad);
    EXPECT_EQ(p.PIV()->nx, 512);
    EXPECT_EQ(p.PIV()->ny, 512);
    EXPECT_EQ(p.PIV()->fftwplan, &table[17]);
  }
}

TEST(PIVPointPlacement, BorderTestExcludesLastColumnAndRow) {
  PositionImages images;
  PIVPoint p;
  EXPECT_FALSE(p.CheckSubImageWithinImage()) << "no image store";
  p.pivImage = images.get();

  p.setXY(15, 15);
  EXPECT_TRUE(p.CheckSubImageWithinImage());
  p.setXY(47, 15);  // window would end on column 63, the last one
  EXPECT_FALSE(p.CheckSubImageWithinImage());
  p.setXY(46, 15);
  EXPECT_TRUE(p.CheckSubImageWithinImage());
  p.setXY(15, 47);
  EXPECT_FALSE(p.CheckSubImageWithinImage());
  p.setXY(15, 46);
  EXPECT_TRUE(p.CheckSubImageWithinImage());
  p.setXY(14, 15);  // first column would be -1
  EXPECT_FALSE(p.CheckSubImageWithinImage());
  p.setXY(15, 14);
  EXPECT_FALSE(p.CheckSubImageWithinImage());
  p.setXY(15.9f, 15.9f);  // positions truncate
  EXPECT_TRUE(p.CheckSubImageWithinImage());
  p.setXY(46.9f, 46.9f);
  EXPECT_TRUE(p.CheckSubImageWithinImage());
}

TEST(PIVPointPlacement, OnlyTheWholeOffsetMovesTheSecondWindow) {
  PositionImages images;
  PIVPoint p;
  p.pivImage = images.get();
  p.setXY(46, 15);
  p.setPIVOffSet(0.9f, 0.0f);
  EXPECT_TRUE(p.CheckSubImageWithinImage());
  p.setPIVOffSet(1.0f, 0.0f);
  EXPECT_FALSE(p.CheckSubImageWithinImage()) << "second window reaches the last column";
  p.setXY(15, 15);
  p.setPIVOffSet(-0.9f, -0.9f);  // truncation toward zero: no move
  EXPECT_TRUE(p.CheckSubImageWithinImage());
  p.setPIVOffSet(0.0f, -1.2f);
  EXPECT_FALSE(p.CheckSubImageWithinImage());
}

TEST(PIVPointExtraction, WindowsAreCutAtTheirPlacesWithTheOffset) {
  PositionImages images;
  PIVPoint p;
  p.pivImage = images.get();
  p.setXY(20, 20);
  p.setPIVOffSet(2.7f, -1.2f);
  ASSERT_TRUE(p.ShowSubImages(20, 20));
  // First window from (5, 5), second moved by (2, -1) to (7, 4).
  for (int r = 0; r < 32; ++r) {
    for (int c = 0; c < 32; ++c) {
      ASSERT_EQ(LoadedPixel(1, 32, c, r), Pixel1(5 + c, 5 + r)) << c << "," << r;
      ASSERT_EQ(LoadedPixel(2, 32, c, r), Pixel2(7 + c, 4 + r)) << c << "," << r;
    }
  }
  // The displacement reported adds the whole offset.
  p.PIV()->dx[0] = 1.5f;
  p.PIV()->dy[0] = 0.25f;
  EXPECT_FLOAT_EQ(p.Vx(), 1.5f + 2.7f);
  EXPECT_FLOAT_EQ(p.Vy(), 0.25f - 1.2f);
  EXPECT_EQ(p.DX(), 2.7f);
  EXPECT_EQ(p.DY(), -1.2f);
}

TEST(PIVPointExtraction, NonSquareWindowKeepsRowsAndColumnsApart) {
  PositionImages images;
  FFTWplan table[20] = {};
  PIVPoint p(48, 24, 0, table);
  p.pivImage = images.get();
  ASSERT_TRUE(p.ShowSubImages(30.0f, 40.0f));
  EXPECT_EQ(p.X(), 30.0f);
  EXPECT_EQ(p.Y(), 40.0f);
  // First column 30 - 24 + 1 = 7, first row 40 - 12 + 1 = 29.
  for (int r = 0; r < 24; ++r) {
    for (int c = 0; c < 48; ++c) ASSERT_EQ(LoadedPixel(1, 48, c, r), Pixel1(7 + c, 29 + r));
  }
  EXPECT_FALSE(p.ShowSubImages(40.0f, 40.0f)) << "columns 17..64 leave the image";
}

TEST(PIVPointExtraction, NoFileOrWindowOutsideFailsAndKeepsTheWindows) {
  PIVImage plain(64, 64);
  PIVPoint p;
  p.pivImage = &plain;
  p.setXY(15, 15);
  EXPECT_FALSE(p.ShowSubImages(15, 15)) << "a store without a file";
  EXPECT_FALSE(p.CalculateCC());
  EXPECT_EQ(p.PIV()->CC, nullptr);

  PositionImages images;
  p.pivImage = images.get();
  ASSERT_TRUE(p.ShowSubImages(15, 15));
  EXPECT_EQ(LoadedPixel(1, 32, 0, 0), Pixel1(0, 0));
  EXPECT_EQ(LoadedPixel(1, 32, 31, 31), Pixel1(31, 31));
  EXPECT_FALSE(p.ShowSubImages(50, 15));
  EXPECT_EQ(LoadedPixel(1, 32, 31, 31), Pixel1(31, 31));
  EXPECT_FALSE(p.CalculateCC());
  EXPECT_EQ(p.on(), 0);
}

TEST(PIVPointWindowMask, MaskValuesOf32By32) {
  PIVPoint p;
  Access::SetWindowFlag(p, true);
  ASSERT_TRUE(Access::SetUpWindowMask(p));
  const float* W = p.PIV()->Window;
  ASSERT_NE(W, nullptr);
  EXPECT_FLOAT_EQ(W[15 * 32 + 15], 1.0f);
  EXPECT_FLOAT_EQ(W[15 * 32 + 0], 1.9375f);
  EXPECT_FLOAT_EQ(W[0 * 32 + 15], 1.9375f);
  EXPECT_FLOAT_EQ(W[0], 3.75390625f);
  for (int k = 0; k < 32; ++k) {
    EXPECT_EQ(W[k * 32 + 31], 0.0f) << "column 31, row " << k;
    EXPECT_EQ(W[31 * 32 + k], 0.0f) << "row 31, column " << k;
  }
  // Linear fall from the window position: |1 - 2p| with p = (h - 15)/32.
  EXPECT_FLOAT_EQ(W[15 * 32 + 23], 0.5f);
}

TEST(PIVPointWindowMask, MaskFollowsTheDFTSizeAndIsAppliedToBothWindows) {
  PositionImages images;
  PIVPoint p;
  p.pivImage = images.get();
  Access::SetWindowFlag(p, true);
  p.setDFTSize(24, 48);
  p.setXY(20, 30);  // windows from column 9, row 7
  const float* W = p.PIV()->Window;
  ASSERT_NE(W, nullptr);
  EXPECT_FLOAT_EQ(W[23 * 24 + 11], 1.0f);  // position column 11, row 23
  EXPECT_EQ(W[0 * 24 + 23], 0.0f);         // last column
  EXPECT_EQ(W[47 * 24 + 0], 0.0f);         // last row
  EXPECT_FLOAT_EQ(W[23 * 24 + 0], 2.0f - 2.0f / 24.0f);

  Access::LoadAnalysedWindows(p);
  for (int r = 0; r < 48; ++r) {
    for (int c = 0; c < 24; ++c) {
      const int k = r * 24 + c;
      ASSERT_EQ(Loaded(1, k), Pixel1(9 + c, 7 + r) / 4096.0 * W[k]) << c << "," << r;
      ASSERT_EQ(Loaded(2, k), Pixel2(9 + c, 7 + r) / 4096.0 * W[k]) << c << "," << r;
    }
  }
}

TEST(PIVPointWindowMask, FlagOffRemovesMaskAndLeavesWindowsAlone) {
  PositionImages images;
  PIVPoint p;
  p.pivImage = images.get();  // windows from (0, 0)
  const auto expectUnmasked = [&] {
    Access::LoadAnalysedWindows(p);
    for (int k = 0; k < 1024; ++k) ASSERT_EQ(Loaded(1, k), Pixel1(k % 32, k / 32) / 4096.0) << k;
  };
  EXPECT_TRUE(Access::SetUpWindowMask(p)) << "no mask present";
  EXPECT_EQ(p.PIV()->Window, nullptr);

  Access::SetWindowFlag(p, true);
  ASSERT_TRUE(Access::SetUpWindowMask(p));
  ASSERT_NE(p.PIV()->Window, nullptr);
  Access::SetWindowFlag(p, false);
  expectUnmasked();  // flag off, mask still there
  EXPECT_TRUE(Access::SetUpWindowMask(p));
  EXPECT_EQ(p.PIV()->Window, nullptr);

  Access::SetWindowFlag(p, true);  // flag on but no mask made yet
  expectUnmasked();
}

}  // namespace tarvex
