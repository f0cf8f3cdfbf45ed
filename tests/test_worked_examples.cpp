// The worked examples that open the public headers of tarvex/ and formats/, checked with
// exactly the numbers the comments give, so that a comment cannot drift from the code. One
// test suite per header, named after it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AnalysisSettings.h"
#include "ByteOrder.h"
#include "DisplacementField.h"
#include "DpivFile.h"
#include "EnumNames.h"
#include "FileIdentity.h"
#include "HandMadeGrid.h"
#include "ImagePairFile.h"
#include "LongOption.h"
#include "PairAnalysis.h"
#include "PlanTable.h"
#include "TecplotFile.h"
#include "TestSupport.h"
#include "TextInput.h"
#include "TruthFile.h"
#include "correlation/CorrelationWorkspace.h"
#include "correlation/DefineFFTWPlans.h"
#include "correlation/WindowLoading.h"
#include "correlation/dft_array.h"
#include "correlation/fftw-2d.h"
#include "grid/PIVGrid.h"
#include "grid/PIVPoint.h"
#include "grid/WindowGeometry.h"
#include "grid/piv.h"
#include "images/ImagePairView.h"
#include "images/PIVImage.h"
#include "peaks/ChisqSVDFitFunctions.h"
#include "peaks/FitPeak2SubPixel.h"
#include "peaks/PIVStandard.h"
#include "peaks/PeakCandidates.h"
#include "peaks/ThreePointGaussian.h"
#include "support/CArray.h"
#include "support/Console.h"
#include "support/Status.h"

namespace tarvex {

namespace {

// ---- shared inputs ----

constexpr int kSide = 64;  // the images of the point examples
constexpr int kWindow = 32;

// A kSide x kSide image of five round particles, moved by (sx, sy) whole pixels. The
// particles fade to 0 within 7 px of their centres, which all lie far enough inside the
// window at (15, 15) (columns and rows 0 to 31) that it holds them whole, moved or not: the
// second window is then exactly the first one moved circularly.
std::vector<uint16_t> Particles(int sx, int sy) {
  static const double kCentres[][2] = {{9, 10}, {20, 8}, {12, 21}, {21, 19}, {16, 14}};
  std::vector<uint16_t> image(kSide * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      double value = 0.0;
      for (const auto& c : kCentres) {
        const double rx = x - c[0] - sx, ry = y - c[1] - sy;
        value += 3000.0 * std::exp(-(rx * rx + ry * ry) / 4.5);
      }
      image[y * kSide + x] = static_cast<uint16_t>(std::lround(value));
    }
  }
  return image;
}

// The pair whose second image shows the first's particles 2 columns right and 1 row down.
class MovedParticles {
 public:
  MovedParticles() : store(kSide, kSide) {
    const std::vector<uint16_t> first = Particles(0, 0), second = Particles(2, 1);
    store.LoadPair(first.data(), second.data());
  }
  PIVImage store;
};

// A 32 x 32 point at (15, 15) over the store, with the table plans.
struct PointAt15 {
  PointAt15(PIVImage& store, int flowdirn = unknown) : point(kWindow, kWindow, flowdirn, Plans()) {
    point.pivImage = &store;
    point.setXY(15.0f, 15.0f);
  }
  PIVPoint point;
};

struct Cell {
  int column, row;
  float value;
};

// The highest value of a plane of ny rows of nx floats, first one in row order.
Cell Highest(const float* plane, int nx, int ny) {
  Cell best{0, 0, plane[0]};
  for (int k = 1; k < nx * ny; ++k)
    if (plane[k] > best.value) best = {k % nx, k / nx, plane[k]};
  return best;
}

// Runs the body with the temporary directory as the current one, so that relative file
// names land there; the old current directory comes back afterwards.
template <typename Body>
void InDirectory(const TempDir& dir, Body body) {
  char* before = getcwd(nullptr, 0);
  ASSERT_NE(before, nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  body();
  EXPECT_EQ(chdir(before), 0);
  free(before);
}

}  // namespace

// ======================== tarvex/ ========================

TEST(AnalysisSettingsHeader, GridCountAndTheFirstPoint) {
  EXPECT_EQ(GridCount(256, 32, 16), 15);
  EXPECT_EQ(GridCount(31, 32, 16), 0);

  AnalysisSettings settings;
  settings.windowWidth = settings.windowHeight = 32;
  settings.spacingX = settings.spacingY = 16;
  PIVImage store(256, 256);
  std::string text;
  Console log(&text);
  PairAnalysis analysis(settings, Plans(), store, log);
  EXPECT_EQ(analysis.Grid().NX(), 15);
  EXPECT_EQ(analysis.Grid().NY(), 15);
  PIVPoint& first = analysis.Grid().Point(0);
  EXPECT_EQ(first.X(), 15.0f);
  EXPECT_EQ(first.Y(), 15.0f);
  EXPECT_TRUE(first.CheckSubImageWithinImage()) << "columns and rows 0 to 31";
  first.setXY(14.0f, 15.0f);
  EXPECT_FALSE(first.CheckSubImageWithinImage()) << "column -1";
}

TEST(CArrayHeader, AllocateAndReserve) {
  CArray<int> zeros;
  ASSERT_TRUE(zeros.Allocate(3, true));
  EXPECT_EQ(zeros.capacity, 3u);
  EXPECT_EQ(std::vector<int>(zeros.data, zeros.data + 3), (std::vector<int>{0, 0, 0}));

  CArray<int> a;
  ASSERT_TRUE(a.Reserve(100));
  EXPECT_EQ(a.capacity, 100u);
  a.data[59] = 7;
  const int* first = a.data;
  ASSERT_TRUE(a.Reserve(60));
  EXPECT_EQ(a.capacity, 100u);
  EXPECT_EQ(a.data, first);
  EXPECT_EQ(a.data[59], 7) << "contents kept";
  ASSERT_TRUE(a.Reserve(101));
  EXPECT_EQ(a.capacity, 101u);
}

namespace {
void StraightLine(float x, float, float afunc[], int) {
  afunc[0] = 1.0f;
  afunc[1] = x;
}
}  // namespace

TEST(ChisqSVDFitFunctionsHeader, LineThroughThreePointsAndTheGaussianBasis) {
  float x[] = {0, 1, 2}, y[] = {0, 0, 0}, z[] = {0, 1, 3};
  float a[2] = {0, 0};
  float chisq = 0.0f;
  svdfit_xy(x, y, z, 3, a, 2, &chisq, StraightLine);
  EXPECT_NEAR(a[0], -1.0 / 6.0, 1e-5);
  EXPECT_NEAR(a[1], 1.5, 1e-5);
  const double residuals[] = {1.0 / 6.0, -1.0 / 3.0, 1.0 / 6.0};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(z[i] - (a[0] + a[1] * x[i]), residuals[i], 1e-5);
  EXPECT_NEAR(SIG * SIG, 0.0036, 1e-9);
  EXPECT_NEAR(chisq, 46.30, 0.005);

  float basis[5];
  fpolyGaussian(2.0f, 3.0f, basis, 5);
  EXPECT_EQ(std::vector<float>(basis, basis + 5), (std::vector<float>{1, 2, 4, 3, 9}));
}

TEST(ConsoleHeader, TextGoesToTheCallersString) {
  std::string text;
  Console log(&text);
  testing::internal::CaptureStdout();
  log.Printf("%d x %d", 31, 31);
  log.Print("\n");
  log.Flush();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(text, "31 x 31\n");
}

TEST(CorrelationWorkspaceHeader, ArraysGrowOnlyAndMessagesCanBeHeldBack) {
  CorrelationWorkspace ws;
  ASSERT_TRUE(ws.PrepareCorrelation(32, 32));
  EXPECT_EQ(ws.transforms.fI1.capacity, 1024u);
  EXPECT_EQ(ws.transforms.fI2.capacity, 1024u);
  EXPECT_EQ(ws.cc.capacity, 1024u);
  EXPECT_EQ(ws.transforms.fft1.capacity, 544u);
  EXPECT_EQ(ws.transforms.fft2.capacity, 544u);
  EXPECT_EQ(ws.transforms.S12.capacity, 544u);
  const fftw_real* fI1 = ws.transforms.fI1.data;
  const fftw_complex* S12 = ws.transforms.S12.data;

  ASSERT_TRUE(ws.PrepareCorrelation(16, 16));
  EXPECT_EQ(ws.transforms.fI1.capacity, 1024u);
  EXPECT_EQ(ws.transforms.S12.capacity, 544u);
  EXPECT_EQ(ws.transforms.fI1.data, fI1);
  EXPECT_EQ(ws.transforms.S12.data, S12);

  ASSERT_TRUE(ws.PrepareCorrelation(64, 64));
  EXPECT_EQ(ws.transforms.fI1.capacity, 4096u);
  EXPECT_EQ(ws.transforms.fI2.capacity, 4096u);
  EXPECT_EQ(ws.transforms.fft1.capacity, 2112u);
  EXPECT_EQ(ws.transforms.fft2.capacity, 2112u);
  EXPECT_EQ(ws.transforms.S12.capacity, 2112u);

  std::string shown, log;
  Console console(&shown);
  ws.SetConsole(&console);
  ws.DeferMessagesTo(&log);
  ws.Print("x");
  EXPECT_EQ(log, "x");
  EXPECT_EQ(shown, "");
  ws.DeferMessagesTo(nullptr);
  ws.Print("y");
  EXPECT_EQ(shown, "y");
}

TEST(DefineFFTWPlansHeader, TableSizesAndLookup) {
  FFTWplan* table = Plans();
  const int sizes[kNumberOfFFTWPlans][2] = {
      {4, 4},     {8, 8},     {12, 12},   {16, 16},   {20, 20},   {24, 24},   {32, 32},
      {40, 40},   {48, 48},   {64, 64},   {80, 80},   {100, 100}, {128, 128}, {188, 188},
      {256, 256}, {300, 300}, {400, 400}, {512, 512}, {24, 48},   {48, 24}};
  for (int i = 0; i < kNumberOfFFTWPlans; ++i) {
    EXPECT_EQ(table[i].id, i);
    EXPECT_EQ(table[i].nx, sizes[i][0]) << "entry " << i;
    EXPECT_EQ(table[i].ny, sizes[i][1]) << "entry " << i;
  }
  EXPECT_EQ(SelectFFTWPlan(table, 32, 32), &table[6]);
  EXPECT_EQ(SelectFFTWPlan(table, 48, 24), &table[19]);
  EXPECT_EQ(SelectFFTWPlan(table, 36, 36), nullptr);
  PIVPoint odd(36, 36, unknown, table);
  EXPECT_EQ(odd.PIV()->fftwplan, nullptr);
}

TEST(DftArrayHeader, PresetsAreTableSizes) {
  const int expected[kNumberOfPresetDFTSizes] = {12, 16, 20, 24, 32, 40, 48, 64,
                                                 80, 100, 128, 188, 256, 300, 400, 512};
  for (int i = 0; i < kNumberOfPresetDFTSizes; ++i) {
    EXPECT_EQ(dft[i], expected[i]);
    EXPECT_NE(SelectFFTWPlan(Plans(), dft[i], dft[i]), nullptr) << dft[i];
  }
  PIVPoint p(64, 64, unknown, Plans());
  p.setPreSetDFT(4);
  EXPECT_EQ(p.PIV()->nx, 32);
  EXPECT_EQ(p.PIV()->ny, 32);
  EXPECT_EQ(p.PIV()->fftwplan, SelectFFTWPlan(Plans(), 32, 32));
  testing::internal::CaptureStderr();
  p.setPreSetDFT(16);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("outside 0..15"), std::string::npos);
  EXPECT_EQ(p.PIV()->nx, 32);
  EXPECT_EQ(p.PIV()->ny, 32);
}

TEST(FftwTwoDHeader, ShiftOfAFourByFourPlaneAndAMovedCopy) {
  std::vector<fftw_real> plane(16);
  for (int k = 0; k < 16; ++k) plane[k] = k;
  fftw_real* shifted = rfftshift(plane.data(), 4, 4);
  ASSERT_NE(shifted, nullptr);
  EXPECT_EQ(std::vector<fftw_real>(shifted, shifted + 16),
            (std::vector<fftw_real>{15, 12, 13, 14, 3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10}));
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(shifted[((j + 1) % 4) * 4 + (i + 1) % 4], plane[j * 4 + i]);
  free(shifted);

  const int n = 8;
  unsigned short* window = static_cast<unsigned short*>(malloc(n * n * sizeof(unsigned short)));
  unsigned short* moved = static_cast<unsigned short*>(malloc(n * n * sizeof(unsigned short)));
  ASSERT_NE(window, nullptr);
  ASSERT_NE(moved, nullptr);
  for (int k = 0; k < n * n; ++k) window[k] = static_cast<unsigned short>((k * 37 + k * k * 11) % 251);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) moved[((y + 1) % n) * n + (x + 2) % n] = window[y * n + x];
  const FFTWplan* plans = SelectFFTWPlan(Plans(), n, n);
  ASSERT_NE(plans, nullptr);
  float* cc = FFTW_Rpiv_CC(window, moved, n, n, plans->Forward, plans->Inverse);  // frees both
  ASSERT_NE(cc, nullptr);
  const Cell peak = Highest(cc, n, n);
  EXPECT_EQ(peak.column, 5);
  EXPECT_EQ(peak.row, 4);
  EXPECT_NEAR(peak.value, 1.0, 1e-6);
  free(cc);
}

TEST(FitPeak2SubPixelHeader, SlopeWalkAndAFitOnASampledGaussian) {
  const std::vector<float> row = {0, 0.02f, 0.3f, 0.6f, 0.9f, 1, 0.8f, 0.5f, 0.2f, 0.005f, 0, 0};
  const std::vector<float> column = {0.1f, 0.5f, 1, 0.5f, 0.1f};
  const int nx = 12, ny = 5;
  std::vector<float> plane(nx * ny);
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) plane[j * nx + i] = row[i] * column[j];
  float ix = 0, iy = 0;
  EXPECT_EQ(search_CCIntPeak(plane.data(), nx, ny, &ix, &iy), 1.0f);
  EXPECT_EQ(ix, 5.0f);
  const PeakNeighbourhood nb =
      SelectPeakNeighbourhood(plane.data(), nx, ny, 5, 2, 1.0f, NeighbourhoodUse::Fit);
  EXPECT_EQ(nb.lenx, 2 * ((4 + 3) / 2) + 1);
  EXPECT_EQ(nb.x0, 2);
  // Above 1 % of the peak, the cell beyond 0.2 counts too: 4 + 4 cells, columns 1 to 9.
  for (int j = 0; j < ny; ++j) plane[j * nx + 9] = 0.02f * column[j];
  const PeakNeighbourhood wider =
      SelectPeakNeighbourhood(plane.data(), nx, ny, 5, 2, 1.0f, NeighbourhoodUse::Fit);
  EXPECT_EQ(wider.x0, 1);
  EXPECT_EQ(wider.lenx, 9);

  const int n = 12;
  std::vector<float> gaussian(n * n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      gaussian[y * n + x] =
          static_cast<float>(std::exp(-((x - 5.3) * (x - 5.3) + (y - 4.8) * (y - 4.8)) / 4));
  float xloc = 0, yloc = 0;
  const float maxv = search_CCIntPeak(gaussian.data(), n, n, &xloc, &yloc);
  EXPECT_EQ(xloc, 5.0f);
  EXPECT_EQ(yloc, 5.0f);
  CC_fit_linear_exp(gaussian.data(), n, n, &xloc, &yloc, maxv);
  EXPECT_NEAR(xloc, 5.3 - n / 2 + 1, 1e-3);
  EXPECT_NEAR(xloc, 0.3, 1e-3);
  EXPECT_NEAR(yloc, -0.2, 1e-3);
}

TEST(PeakCandidatesHeader, CandidatesBeforeAndAfterACellChanges) {
  std::vector<float> plane = {0, 0, 0, 0, 0,  //
                              0, 5, 1, 7, 0,  //
                              0, 2, 0, 7, 0,  //
                              0, 0, 0, 0, 0};
  PeakCandidates c;
  ASSERT_TRUE(c.Reserve(5, 4));
  c.Collect(plane.data(), 5, 4);
  float x = -1, y = -1;
  EXPECT_EQ(c.Highest(&x, &y), 5.0f);
  EXPECT_EQ(x, 1.0f);
  EXPECT_EQ(y, 1.0f);
  plane[2 * 5 + 3] = 0.0f;
  c.Changed(plane.data(), 3, 2, 4, 3);
  EXPECT_EQ(c.Highest(&x, &y), 7.0f);
  EXPECT_EQ(x, 3.0f);
  EXPECT_EQ(y, 1.0f);
}

TEST(PIVGridHeader, PointOrderAndTheChecksOnATinyField) {
  const std::unique_ptr<PIVGrid> grid = MakeGrid(3, 3);
  PIVGrid& g = *grid;
  EXPECT_EQ(g.Point(5).X(), 47.0f);
  EXPECT_EQ(g.Point(5).Y(), 31.0f);
  std::string text;
  Console log(&text);
  g.setConsole(&log);
  auto lay = [&g] {
    for (int k = 0; k < 9; ++k) SetVector(g, k, k == 4 ? 5.0f : 1.0f, 0.0f, true);
  };
  lay();

  g.setGlobalHistogramConstant(3.0f);
  EXPECT_EQ(g.GlobalHistogramCheck(), 9);
  EXPECT_NE(text.find("Average               U velocity component = 1.444444\n"), std::string::npos);
  EXPECT_NE(text.find("Standard deviation of U velocity component = 1.257079\n"), std::string::npos);
  // The centre lies sqrt(8) = 2.828 standard deviations out: a bound just above keeps it,
  // one just below rejects it.
  g.setGlobalHistogramConstant(2.83f);
  EXPECT_EQ(g.GlobalHistogramCheck(), 9);
  g.setGlobalHistogramConstant(2.82f);
  EXPECT_EQ(g.GlobalHistogramCheck(), 8);
  EXPECT_EQ(Flags(g), "111101111");

  lay();
  g.setMedianValueThreshold(1.0f);
  EXPECT_EQ(g.MedianValueOperatorCheck(), 8);
  EXPECT_EQ(Flags(g), "111101111");
  g.MovingAverageVelocity();
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(g.VelocityX(k), 1.0f) << k;
    EXPECT_EQ(g.VelocityY(k), 0.0f) << k;
  }
}

TEST(PIVImageHeader, SlotsAndImageSelection) {
  PIVImage small(3, 2);
  EXPECT_FALSE(small.HoldsImages());
  const std::vector<uint16_t> first = {0, 1, 2, 3, 4, 5}, second = {10, 11, 12, 13, 14, 15};
  small.LoadPair(first.data(), second.data());
  EXPECT_TRUE(small.HoldsImages());
  EXPECT_EQ(small.I1[1 * 3 + 2], 5);
  EXPECT_EQ(small.I2[5], 15);

  TempDir dir;
  const std::string path = dir.file("three.b16");
  WriteImagePairFile(path, 3, 2, {first, second, {20, 21, 22, 23, 24, 25}});
  std::string text;
  Console log(&text);
  PIVImage store(path.c_str(), log);
  ASSERT_TRUE(store.HoldsImages());
  EXPECT_EQ(store.NumberImages(), 3);
  EXPECT_EQ(store.I1[5], 5);
  EXPECT_EQ(store.I2[5], 15);
  EXPECT_TRUE(store.SetSecondImg(3));
  EXPECT_EQ(store._2, 3);
  EXPECT_EQ(store.I2[5], 25);
  text.clear();
  EXPECT_FALSE(store.SetSecondImg(4));
  EXPECT_EQ(text, "\nError 2nd Image out of Range .... \n");
  EXPECT_EQ(store._2, 3);
  EXPECT_EQ(store.I1[5], 5);
  EXPECT_EQ(store.I2[5], 25);
}

TEST(PIVPointHeader, WindowPlacementZeroCellAndDisplacementSign) {
  PIVImage store(kSide, kSide);
  PIVPoint p(kWindow, kWindow, unknown, Plans());
  p.pivImage = &store;
  const struct {
    float x;
    bool fits;
  } placements[] = {{14, false}, {15, true}, {46, true}, {47, false}};
  for (const auto& at : placements) {
    p.setXY(at.x, 15.0f);
    EXPECT_EQ(p.CheckSubImageWithinImage(), at.fits) << "x = " << at.x;
  }

  MovedParticles pair;
  PointAt15 same(pair.store);
  same.point.setCCStored(true);
  ASSERT_TRUE(same.point.CalculateCCVelocity());
  Cell peak = Highest(same.point.PIV()->CC, kWindow, kWindow);
  EXPECT_EQ(peak.column, 17);
  EXPECT_EQ(peak.row, 16);
  EXPECT_NEAR(same.point.Vx(), 2.0, 1e-3);
  EXPECT_NEAR(same.point.Vy(), 1.0, 1e-3);

  PointAt15 offset(pair.store);
  offset.point.setCCStored(true);
  offset.point.setPIVOffSet(2.0f, 1.0f);
  ASSERT_TRUE(offset.point.CalculateCCVelocity());
  peak = Highest(offset.point.PIV()->CC, kWindow, kWindow);
  EXPECT_EQ(peak.column, kWindow / 2 - 1);
  EXPECT_EQ(peak.row, kWindow / 2 - 1);
  EXPECT_NEAR(offset.point.PIV()->dx[0], 0.0, 1e-3);
  EXPECT_NEAR(offset.point.Vx(), 2.0, 1e-3);
  EXPECT_NEAR(offset.point.Vy(), 1.0, 1e-3);
}

TEST(PIVStandardHeader, SearchRegionIsKeptButTheSearchCoversThePlane) {
  MovedParticles pair;
  PointAt15 whole(pair.store, unknown), eastward(pair.store, east);
  EXPECT_EQ(eastward.point.PIV()->SearchRegion, 3);
  ASSERT_TRUE(whole.point.CalculateCCVelocity());
  ASSERT_TRUE(eastward.point.CalculateCCVelocity());
  EXPECT_EQ(eastward.point.Vx(), whole.point.Vx());
  EXPECT_EQ(eastward.point.Vy(), whole.point.Vy());
}

TEST(PivHeader, FourPeaksHighestFirstAndTheOffset) {
  MovedParticles pair;
  PointAt15 measured(pair.store);
  ASSERT_TRUE(measured.point.CalculateCCVelocity());
  const TARVEXData* r = measured.point.PIV();
  for (int i = 1; i < kNumberOfPeaks; ++i) EXPECT_GE(r->rho[i - 1], r->rho[i]) << i;

  PIVPoint p;
  p.PIV()->dx[0] = 1.5f;
  p.setPIVOffSet(2.0f, 0.0f);
  EXPECT_EQ(p.Vx(), 3.5f);
  const FFTWplan* wide = SelectFFTWPlan(Plans(), 48, 24);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->nx, 48);
  EXPECT_EQ(wide->ny, 24);
}

TEST(ImagePairViewHeader, AViewOfTheStoresSlots) {
  PIVImage store(256, 128);
  std::vector<unsigned short> first(256 * 128), second(256 * 128, 7);
  first[2 * 256 + 3] = 99;
  store.LoadPair(first.data(), second.data());
  const ImagePairView view = ViewOf(store);
  EXPECT_EQ(view.width, 256);
  EXPECT_EQ(view.height, 128);
  EXPECT_EQ(view.Pixels(), 32768u);
  EXPECT_FALSE(view.Empty());
  EXPECT_EQ(view.first[2 * 256 + 3], 99);
  EXPECT_EQ(view.second[0], 7);
  EXPECT_TRUE(ImagePairView().Empty());
}

TEST(PairAnalysisHeader, MedianCheckOnAUniformShift) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth", {"--dx", "2.3", "--dy", "-1.2", "--out", "run.b16"}, dir.path())
                .status,
            0);
  std::string text;
  Console log(&text);
  PIVImage store(dir.file("run.b16").c_str(), log);
  ASSERT_TRUE(store.HoldsImages());
  ASSERT_EQ(store.Width(), 256);
  ASSERT_EQ(store.Height(), 256);
  AnalysisSettings settings;
  settings.windowWidth = settings.windowHeight = 32;
  settings.spacingX = settings.spacingY = 16;
  settings.checkMedian = true;
  settings.medianThreshold = 1.0f;
  PairAnalysis analysis(settings, Plans(), store, log);
  text.clear();
  ASSERT_TRUE(analysis.Analyse(false));

  PIVGrid& grid = analysis.Grid();
  ASSERT_EQ(grid.NX() * grid.NY(), 225);
  int unmeasured = 0;
  for (int k = 0; k < 225; ++k) {
    const bool edge = k % 15 == 14 || k / 15 == 14;
    EXPECT_EQ(grid.Point(k).HasMeasurement(), !edge) << k;
    if (!grid.Point(k).HasMeasurement()) unmeasured++;
  }
  EXPECT_EQ(unmeasured, 29);
  const char* expected[] = {"\nValidating TARVEX, please wait .....\n",
                            "\tChecking |U(i,j) - MedianU(i,j)| < 1.00, ....",
                            "\tGood Data Validated                              = 196\n",
                            "\tTotal Available Data                             = 225\n"};
  size_t from = 0;
  for (const char* line : expected) {
    const size_t at = text.find(line, from);
    EXPECT_NE(at, std::string::npos) << line << "\nin:\n" << text;
    if (at != std::string::npos) from = at;
  }
}

TEST(WindowGeometryHeader, ThirtyTwoAndFifteenPixelWindowsAtPointFifteen) {
  static_assert(WindowStart(15, 32) == 0 && WindowStart(15, 32) + 32 - 1 == 31, "pixels 0 to 31");
  EXPECT_DOUBLE_EQ(WindowCentre(15, 32), 15.5);
  EXPECT_EQ(18 - PointInWindow(32), 3);  // the peak in cell 18 is a shift of +3 px
  EXPECT_EQ(WindowStart(15, 15), 9);
  EXPECT_EQ(WindowStart(15, 15) + 15 - 1, 23);
  EXPECT_DOUBLE_EQ(WindowCentre(15, 15), 16.0);
  // The point is pixel n/2 - 1 of its own window, for either parity.
  for (int n : {15, 16, 31, 32}) EXPECT_EQ(WindowStart(40, n) + PointInWindow(n), 40) << n;
}

TEST(StatusHeader, OkAndAFailureWithItsMessage) {
  const Status ok;
  EXPECT_TRUE(ok.ok());
  EXPECT_TRUE(static_cast<bool>(ok));
  EXPECT_STREQ(ok.message(), "");
  const Status cancelled = Status::Failure("the analysis was cancelled");
  EXPECT_FALSE(cancelled.ok());
  EXPECT_FALSE(static_cast<bool>(cancelled));
  EXPECT_STREQ(cancelled.message(), "the analysis was cancelled");
  // A message made at run time, even an empty one, is still a failure.
  EXPECT_STREQ(Status::Failure(std::string("image ") + "3 cannot be read").message(), "image 3 cannot be read");
  EXPECT_FALSE(Status::Failure(std::string()).ok());
}

TEST(ThreePointGaussianHeader, LnRatioEstimatorOnThreeSampledValues) {
  const int n = 32;
  std::vector<float> plane(n * n, 0.0f);
  const int centre = 15 * n + 17;
  plane[centre] = 1.0f;
  plane[centre - 1] = static_cast<float>(std::exp(-1.0));
  plane[centre + 1] = static_cast<float>(std::exp(-0.25));
  plane[centre - n] = plane[centre + n] = static_cast<float>(std::exp(-0.5));
  float x = 17, y = 15;
  ThreePointGaussianPeak(plane.data(), n, n, &x, &y, 1.0f);
  EXPECT_NEAR(x, 17.3 - (n / 2 - 1), 1e-5);
  EXPECT_NEAR(x, 2.3, 1e-5);
  EXPECT_EQ(y, 0.0f);
}

// ======================== formats/ ========================

TEST(WindowLoadingHeader, ScaleMeanAndWeightOfATwoByTwoWindow) {
  // A 4 x 3 image with the window 4096 0 / 0 0 at column 1, row 1.
  const std::vector<unsigned short> image = {9, 9, 9, 9, 9, 4096, 0, 9, 9, 0, 0, 9};
  const WindowSource<unsigned short> w{image.data(), 4, 1, 1};
  std::vector<double> a(4), b(4);

  WindowNorms norms = LoadWindowPair(w, w, 2, 2, {1.0 / 4096, false, nullptr}, a.data(), b.data());
  EXPECT_EQ(a, (std::vector<double>{1, 0, 0, 0}));
  EXPECT_EQ(b, a);
  EXPECT_EQ(norms.rho1, 1.0);
  EXPECT_EQ(norms.rho2, 1.0);

  norms = LoadWindowPair(w, w, 2, 2, {1.0 / 4096, true, nullptr}, a.data(), b.data());
  EXPECT_EQ(a, (std::vector<double>{0.75, -0.25, -0.25, -0.25}));
  EXPECT_DOUBLE_EQ(norms.rho1, std::sqrt(0.75));

  const float weight[4] = {2, 1, 1, 1};
  norms = LoadWindowPair(w, w, 2, 2, {1.0 / 4096, true, weight}, a.data(), b.data());
  EXPECT_EQ(a, (std::vector<double>{1.5, -0.25, -0.25, -0.25}));
  EXPECT_NEAR(norms.rho1, 1.561, 5e-4);
}

TEST(ByteOrderHeader, LittleEndianValuesAndReversal) {
  const unsigned char two[] = {0x34, 0x12};
  EXPECT_EQ(LittleEndian16(two), 0x1234);
  EXPECT_EQ(LittleEndian16(two), 4660);
  const unsigned char four[] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(LittleEndian32(four), 0x12345678);
  unsigned char bytes[] = {1, 2, 3, 4};
  ReverseByteOrder(bytes, 4);
  EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 4), (std::vector<unsigned char>{4, 3, 2, 1}));
}

TEST(DisplacementFieldHeader, AValueOfEachField) {
  DisplacementField f;
  f.cx = 100;
  f.cy = 50;
  const double x = 110, y = 30;  // rx = 10, ry = -20, r^2 = 500
  auto expect = [&f](double px, double py, double dx, double dy, double tolerance) {
    const Displacement d = DisplacementAt(f, px, py);
    EXPECT_NEAR(d.dx, dx, tolerance) << FieldKindName(f.kind);
    EXPECT_NEAR(d.dy, dy, tolerance) << FieldKindName(f.kind);
  };
  f.kind = FieldKind::Uniform;
  f.dx = 2.3;
  f.dy = -1.2;
  expect(x, y, 2.3, -1.2, 0);
  expect(0, 0, 2.3, -1.2, 0);
  f.kind = FieldKind::Rotation;
  f.omega = 0.01;
  expect(x, y, 0.2, 0.1, 1e-12);
  f.kind = FieldKind::Shear;
  f.shear = 0.02;
  expect(x, y, -0.4, 0, 1e-12);
  f.kind = FieldKind::Vortex;
  f.profile = VortexProfile::Rankine;
  f.gamma = 100 * std::acos(-1.0);
  f.core = 10;
  expect(x, y, 2, 1, 1e-12);
  expect(103, 54, -2, 1.5, 1e-12);
  f.profile = VortexProfile::LambOseen;
  expect(x, y, 2 * (1 - std::exp(-5.0)), 1 - std::exp(-5.0), 1e-12);
  expect(x, y, 1.98652, 0.99326, 5e-6);
  f.kind = FieldKind::Sine;
  f.amplitude = 0.5;
  f.wavelength = 80;
  f.dx = 1;
  f.dy = 0.25;
  expect(x, y, 1, 0.25 + 0.5 * std::sin(11 * std::acos(-1.0) / 4), 1e-12);
  expect(x, y, 1, 0.60355, 5e-6);
  f.direction = WaveDirection::Y;
  expect(x, y, 1.35355, 0.25, 5e-6);
}

TEST(DpivFileHeader, RecordTextAndTheGridReadBack) {
  TempDir dir;
  std::vector<VectorRecord> records;
  for (double y : {15.0, 31.0})
    for (double x : {15.0, 31.0, 47.0}) records.push_back({false, x, y, 0, 0, 0});
  records[3] = {true, 15, 31, 2.5, -1.25, 0.8125};
  const std::string path = dir.file("field.dpiv");
  std::string error;
  ASSERT_EQ(WriteDpivFile(path.c_str(), records, error), WriteStatus::Ok) << error;
  const std::string text = ReadFile(path);
  size_t at = 0;
  for (int line = 0; line < kDpivHeaderLines + 3; ++line) at = text.find('\n', at) + 1;
  EXPECT_EQ(text.substr(at, text.find('\n', at) + 1 - at),
            "1\t1.500000e+01\t3.100000e+01\t2.500000e+00\t-1.250000e+00\t0.812\n");

  VectorField field;
  ASSERT_TRUE(ReadDpivFile(path, field, error)) << error;
  EXPECT_EQ(field.nx, 3);
  EXPECT_EQ(field.ny, 2);
  EXPECT_EQ(field.x0, 15);
  EXPECT_EQ(field.y0, 15);
  EXPECT_EQ(field.delx, 16);
  EXPECT_EQ(field.dely, 16);
  EXPECT_EQ(field.vectors[3].peak, 0.812);
}

TEST(FileIdentityHeader, AHardLinkAndAnotherSpellingAreOneFile) {
  TempDir dir;
  WriteFile(dir.file("run.b16"), "pair");
  ASSERT_EQ(link(dir.file("run.b16").c_str(), dir.file("img.dpiv").c_str()), 0);
  FileIdentity a{}, b{}, c{};
  ASSERT_TRUE(IdentifyFile(dir.file("img.dpiv").c_str(), a));
  ASSERT_TRUE(IdentifyFile((dir.path() + "/./run.b16").c_str(), b));
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(SameFile(dir.file("img.dpiv").c_str(), (dir.path() + "/./run.b16").c_str()));
  EXPECT_FALSE(IdentifyFile(dir.file("nothere").c_str(), c));
  EXPECT_FALSE(SameFile(dir.file("nothere").c_str(), dir.file("nothere").c_str()));
  WriteFile(dir.file("other.b16"), "pair");
  EXPECT_FALSE(SameFile(dir.file("run.b16").c_str(), dir.file("other.b16").c_str()));
}

TEST(ImagePairFileHeader, LayoutOfTwoSmallImagesAndAReversedHeader) {
  TempDir dir;
  const std::string path = dir.file("pair.b16");
  const std::vector<uint16_t> first = {1, 2, 3, 4, 5, 6};
  const std::vector<uint16_t> second = {7, 8, 9, 10, 0xABCD, 12};
  ImagePairFileWriter writer;
  ASSERT_TRUE(writer.Open(path));
  ASSERT_TRUE(writer.WriteHeader(3, 2));
  ASSERT_TRUE(writer.WriteImage(first.data(), first.size()));
  ASSERT_TRUE(writer.WriteImage(second.data(), second.size()));
  ASSERT_TRUE(writer.Close()) << writer.Error();

  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 4u + 2 * (2 * 3 * 2));
  EXPECT_EQ(bytes.size(), 28u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x03\x00\x02\x00", 4));
  EXPECT_EQ(static_cast<unsigned char>(bytes[16]), 7) << "image 2 starts at byte 16";
  EXPECT_EQ(static_cast<unsigned char>(bytes[24]), 0xCD);
  EXPECT_EQ(static_cast<unsigned char>(bytes[25]), 0xAB);

  ImagePairFileReader reader;
  ASSERT_EQ(reader.Open(path.c_str()), ImagePairFileReader::Status::Ok);
  EXPECT_EQ(reader.NumberImages(), 2);
  std::vector<uint16_t> pixels(6);
  ASSERT_EQ(reader.ReadImage(2, pixels.data()), 6u);
  EXPECT_EQ(pixels[1 * 3 + 1], 0xABCD);

  const unsigned char reversed[4] = {0x01, 0x2C, 0x00, 0xC8};
  EXPECT_EQ(LittleEndian16(reversed), 11265);
  const ImageHeader h = DecodeImageHeader(reversed);
  EXPECT_TRUE(h.swapped);
  EXPECT_EQ(h.width, 300u);
  EXPECT_EQ(h.height, 200u);
}

TEST(TecplotFileHeader, HeadAndOnePointLine) {
  TempDir dir;
  const std::vector<VectorRecord> records = {{true, 15, 15, 0.5, -2, 0.9}, {true, 31, 15, 1, 1, 0.9}};
  InDirectory(dir, [&records] {
    std::string error;
    ASSERT_EQ(WriteTecplotFile("run.plt", 2, 1, records, error), WriteStatus::Ok) << error;
  });
  const std::string text = ReadFile(dir.file("run.plt"));
  EXPECT_EQ(text.substr(0, text.find("31.000000")),
            "TITLE=\"TARVEX-Velocity File: run.plt\"\n"
            "VARIABLES=\"X\" \"Y\" \"U\" \"V\"\n"
            "ZONE F = POINT, I=          2, J=          1\n"
            "15.000000 15.000000 5.000000e-01 -2.000000e+00\n");
}

TEST(TruthFileHeader, UniformShiftWithTheDefaults) {
  TruthRecord record;
  record.field.kind = FieldKind::Uniform;
  record.field.dx = 2.3;
  record.field.dy = -1.2;
  EXPECT_EQ(TruthText(record),
            "field = uniform\ndx = 2.3\ndy = -1.2\nsize = 256x256\npairs = 1\ndiameter = 2.5\n"
            "density = 0.02\nnoise = 0\nseed = 1\n");
  for (const double at : {0.0, 100.5}) {
    const Displacement d = DisplacementAt(record.field, at, 7.5);
    EXPECT_EQ(d.dx, 2.3);
    EXPECT_EQ(d.dy, -1.2);
  }
  TruthRecordParser parser(record);
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"--scheme", "symmetric"}, {"--loss", "0.1"}, {"--glow", "200"}, {"--band", "10,20,300"},
           {"--row-pattern", "8,0,0,63,31"}, {"--dim", "0,0,15.5,15.5,0.25"}, {"--mask-rect", "0,200,255,255"}})
    ASSERT_TRUE(parser.Apply(name, value)) << parser.Error();
  EXPECT_EQ(TruthText(record),
            "field = uniform\ndx = 2.3\ndy = -1.2\nsize = 256x256\npairs = 1\ndiameter = 2.5\n"
            "density = 0.02\nnoise = 0\nseed = 1\nscheme = symmetric\nloss = 0.1\nglow = 200\nband = 10,20,300\n"
            "row-pattern = 8,0,0,63,31\ndim = 0,0,15.5,15.5,0.25\nmask-rect = 0,200,255,255\n");
}

TEST(EnumNamesHeader, ANameReadBack) {
  FieldKind kind = FieldKind::Uniform;
  EXPECT_TRUE(ParseName("shear", {FieldKind::Uniform, FieldKind::Shear}, FieldKindName, kind));
  EXPECT_EQ(kind, FieldKind::Shear);
  EXPECT_FALSE(ParseName("Shear", {FieldKind::Uniform, FieldKind::Shear}, FieldKindName, kind));
  EXPECT_EQ(kind, FieldKind::Shear);
}

TEST(LongOptionHeader, AttachedGivenNextAndMissingValues) {
  std::string name, value, error;
  size_t k = 0;
  ASSERT_TRUE(SplitLongOption({"--size=64x32"}, k, name, value, error));
  EXPECT_EQ(name, "--size");
  EXPECT_EQ(value, "64x32");
  EXPECT_EQ(k, 0u);
  ASSERT_TRUE(SplitLongOption({"--out", "a.b16"}, k, name, value, error));
  EXPECT_EQ(name, "--out");
  EXPECT_EQ(value, "a.b16");
  EXPECT_EQ(k, 1u);
  k = 0;
  EXPECT_FALSE(SplitLongOption({"--dx"}, k, name, value, error));
  EXPECT_EQ(error, "option --dx needs a value");
}

TEST(TextInputHeader, ADirectoryAndAnEmptyFile) {
  TempDir dir;
  InDirectory(dir, [] {
    std::filesystem::create_directory("runs");
    WriteFile("t.truth", "");
    std::string error;
    std::ifstream folder("runs"), empty("t.truth");
    EXPECT_FALSE(UsableTextInput("runs", folder, "truth file", error));
    EXPECT_EQ(error, "runs is a directory, not a truth file");
    EXPECT_FALSE(UsableTextInput("t.truth", empty, "truth file", error));
    EXPECT_EQ(error, "t.truth is empty");
    WriteFile("u.truth", "f");
    std::ifstream one("u.truth");
    EXPECT_TRUE(UsableTextInput("u.truth", one, "truth file", error));
    EXPECT_EQ(one.get(), 'f');  // nothing was taken from the stream
  });
}

}  // namespace tarvex
