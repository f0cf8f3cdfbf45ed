// The opt-in analysis modes: the three-point Gaussian estimator on hand-made planes, mean
// subtraction of the windows, their command-line options, and their effect end to end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ParseParameters.h"
#include "TestSupport.h"
#include "grid/PIVPoint.h"
#include "images/PIVImage.h"
#include "peaks/ThreePointGaussian.h"

namespace tarvex {

namespace {

constexpr int kN = 32;  // plane size of the hand-made planes

// A plane of small positive background with a Gaussian peak of height 0.9 at (cx, cy).
std::vector<float> GaussianPlane(double cx, double cy, double sigma) {
  std::vector<float> plane(kN * kN);
  for (int j = 0; j < kN; ++j)
    for (int i = 0; i < kN; ++i)
      plane[j * kN + i] = static_cast<float>(
          0.9 * std::exp(-((i - cx) * (i - cx) + (j - cy) * (j - cy)) / (2 * sigma * sigma)) + 1e-4);
  return plane;
}

// Runs the estimator on the integer peak (ix, iy) and returns the displacement it reports.
std::pair<float, float> Estimate(const std::vector<float>& plane, int ix, int iy) {
  float x = static_cast<float>(ix), y = static_cast<float>(iy);
  ThreePointGaussianPeak(plane.data(), kN, kN, &x, &y, plane[iy * kN + ix]);
  return {x, y};
}

TEST(ThreePointGaussian, RecoversASampledGaussianPeak) {
  // Zero displacement lies at column and row 15 of a 32 x 32 plane.
  for (const auto& c : std::vector<std::pair<double, double>>{{20.3, 12.0}, {9.75, 17.4}, {16.0, 15.0}}) {
    const std::vector<float> plane = GaussianPlane(c.first, c.second, 1.2);
    const auto d = Estimate(plane, static_cast<int>(std::lround(c.first)), static_cast<int>(std::lround(c.second)));
    EXPECT_NEAR(d.first, c.first - 15.0, 0.01);
    EXPECT_NEAR(d.second, c.second - 15.0, 0.01);
  }
}

TEST(ThreePointGaussian, FallsBackToTheIntegerPeak) {
  // Equal neighbours on both sides of a flat top: the denominator is 0.
  std::vector<float> flat(kN * kN, 0.5f);
  auto d = Estimate(flat, 10, 20);
  EXPECT_EQ(d.first, -5.0f);
  EXPECT_EQ(d.second, 5.0f);

  // A cell lower than its neighbours is no maximum: the denominator is positive.
  std::vector<float> dip(kN * kN, 0.5f);
  dip[20 * kN + 10] = 0.1f;
  d = Estimate(dip, 10, 20);
  EXPECT_EQ(d.first, -5.0f);
  EXPECT_EQ(d.second, 5.0f);

  // A cell whose right neighbour is higher (as next to a blanked peak of the searched
  // copy) puts the vertex 1.26 cells away: x falls back while y, symmetric, stays exact.
  std::vector<float> lopsided(kN * kN, 1e-4f);
  lopsided[20 * kN + 10] = 0.5f;
  lopsided[20 * kN + 11] = 1.0f;
  lopsided[20 * kN + 9] = 0.1f;
  lopsided[19 * kN + 10] = 0.25f;
  lopsided[21 * kN + 10] = 0.25f;
  d = Estimate(lopsided, 10, 20);
  EXPECT_EQ(d.first, -5.0f);
  EXPECT_EQ(d.second, 5.0f);
}

TEST(ThreePointGaussian, NonPositiveNeighboursUseTheLogFloor) {
  // Left neighbour 0 counts as 1e-5: L(-1) = ln(1e-5), L(0) = 0, L(1) = ln(0.5).
  std::vector<float> plane(kN * kN, 0.0f);
  plane[16 * kN + 16] = 1.0f;
  plane[16 * kN + 17] = 0.5f;
  plane[15 * kN + 16] = 0.25f;
  plane[17 * kN + 16] = 0.25f;
  const double lm = std::log(1e-5), lp = std::log(0.5);
  const double expected = (lm - lp) / (2 * lm + 2 * lp);
  const auto d = Estimate(plane, 16, 16);
  EXPECT_NEAR(d.first, 1.0 + expected, 1e-6);
  EXPECT_EQ(d.second, 1.0f);
}

TEST(ThreePointGaussian, NoPeakFoundGivesAFiniteDisplacement) {
  // A search that found nothing reports cell (0, 0) with the start value -1e7.
  std::vector<float> plane(kN * kN, 0.3f);
  float x = 0, y = 0;
  ThreePointGaussianPeak(plane.data(), kN, kN, &x, &y, -1e7f);
  EXPECT_EQ(x, -15.0f);
  EXPECT_EQ(y, -15.0f);
}

// A point over a 64 x 64 image pair written to a file, its 32 x 32 windows at the corner.
class PointOverPair {
 public:
  PointOverPair(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
    WriteImagePairFile(dir_.file("pair.b16"), 64, 64, {a, b});
    image_ = std::make_unique<PIVImage>(dir_.file("pair.b16").c_str());
    point_.pivImage = image_.get();
  }
  PIVPoint& point() { return point_; }

 private:
  TempDir dir_;
  std::unique_ptr<PIVImage> image_;
  PIVPoint point_{32, 32, 0, nullptr};
};

std::vector<uint16_t> RandomImage(uint32_t seed, uint16_t offset) {
  std::vector<uint16_t> img(64 * 64);
  for (auto& p : img) {
    seed = seed * 1664525u + 1013904223u;
    p = static_cast<uint16_t>(offset + ((seed >> 16) % 3000));
  }
  return img;
}

std::vector<float> PlaneOf(PIVPoint& p) {
  EXPECT_TRUE(p.CalculateCC());
  const TARVEXData* d = p.PIV();
  return std::vector<float>(d->CC, d->CC + d->memsize);
}

TEST(MeanSubtraction, AConstantAddedToAWindowChangesNothing) {
  const std::vector<uint16_t> a = RandomImage(1, 0), b = RandomImage(2, 0);
  std::vector<uint16_t> a2 = a, b2 = b;
  for (auto& p : a2) p = static_cast<uint16_t>(p + 500);
  for (auto& p : b2) p = static_cast<uint16_t>(p + 37);

  PointOverPair plain(a, b), raised(a2, b2);
  plain.point().setMeanSubtraction(true);
  raised.point().setMeanSubtraction(true);
  const std::vector<float> p1 = PlaneOf(plain.point()), p2 = PlaneOf(raised.point());
  ASSERT_EQ(p1.size(), p2.size());
  for (size_t k = 0; k < p1.size(); ++k) ASSERT_NEAR(p1[k], p2[k], 1e-5) << k;

  // Without the subtraction the constant does change the plane.
  PointOverPair plainRaw(a, b), raisedRaw(a2, b2);
  const std::vector<float> r1 = PlaneOf(plainRaw.point()), r2 = PlaneOf(raisedRaw.point());
  double largest = 0;
  for (size_t k = 0; k < r1.size(); ++k) largest = std::max(largest, std::fabs(double(r1[k]) - r2[k]));
  EXPECT_GT(largest, 0.01);
}

TEST(MeanSubtraction, IdenticalWindowsStillPeakAtOne) {
  const std::vector<uint16_t> a = RandomImage(3, 100);
  PointOverPair pair(a, a);
  pair.point().setMeanSubtraction(true);
  const std::vector<float> plane = PlaneOf(pair.point());
  EXPECT_NEAR(plane[15 * 32 + 15], 1.0f, 1e-5);
  for (float v : plane) EXPECT_LE(v, 1.0f + 1e-5f);
}

TEST(MeanSubtraction, AUniformWindowGivesNoVector) {
  PointOverPair pair(std::vector<uint16_t>(64 * 64, 800), RandomImage(4, 0));
  PIVPoint& p = pair.point();
  p.setMeanSubtraction(true);
  p.setSubPixelEstimator(SubPixelEstimator::Gauss3);
  p.CalculateCCVelocity();
  EXPECT_EQ(p.on(), 0);
  EXPECT_FALSE(p.HasMeasurement());
  EXPECT_TRUE(std::isfinite(p.Vx()));
  EXPECT_TRUE(std::isfinite(p.Vy()));
  EXPECT_TRUE(std::isfinite(p.Rho()));
}

// ParseOptions on a command line given as words (the last is the file name).
bool Parse(std::vector<std::string> words, TarvexSettings& s) {
  words.insert(words.begin(), "tarvex");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), s);
}

TEST(SubPixelOptions, AreParsedAndCheckedTogether) {
  TarvexSettings s;
  ASSERT_TRUE(Parse({"run.b16"}, s));
  EXPECT_EQ(s.subpix, SubPixelEstimator::Fit);
  EXPECT_FALSE(s.meansub);

  TarvexSettings g;
  ASSERT_TRUE(Parse({"-meansub", "-subpix", "gauss3", "run.b16"}, g));
  EXPECT_EQ(g.subpix, SubPixelEstimator::Gauss3);
  EXPECT_TRUE(g.meansub);

  TarvexSettings f;
  ASSERT_TRUE(Parse({"-subpix", "gauss3", "-subpix", "fit", "run.b16"}, f));
  EXPECT_EQ(f.subpix, SubPixelEstimator::Fit);

  TarvexSettings bad;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Parse({"-subpix", "parabola", "run.b16"}, bad));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("parabola"), std::string::npos);

  TarvexSettings alone;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Parse({"-meansub", "run.b16"}, alone));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("-subpix gauss3"), std::string::npos);

  TarvexSettings withFit;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Parse({"-meansub", "-subpix", "fit", "run.b16"}, withFit));
  testing::internal::GetCapturedStderr();
}

TEST(SubPixelEndToEnd, RefusalsExitWithStatusOne) {
  TempDir dir;
  WriteImagePairFile(dir.file("p.b16"), 64, 64, {RandomImage(5, 0), RandomImage(6, 0)});
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-meansub", "p.b16"}, {"-subpix", "gauss", "p.b16"}, {"-subpix", "p.b16"}}) {
    const RunResult r = RunProgram("tarvex", args, dir.path(), "1 2\n");
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(FileExists(dir.file("p.dpiv")));
  }
}

// Mean error of the valid vectors against a uniform shift, and their number.
struct MeanError {
  double u = 0, v = 0;
  int valid = 0;
};

MeanError Errors(const std::vector<DPIVRecord>& records, double du, double dv) {
  MeanError e;
  for (const auto& r : records) {
    if (r.flag != 1) continue;
    e.u += r.u - du;
    e.v += r.v - dv;
    e.valid++;
  }
  if (e.valid > 0) {
    e.u /= e.valid;
    e.v /= e.valid;
  }
  return e;
}

TEST(SubPixelEndToEnd, AccurateModeMeasuresASubPixelShiftWithoutBias) {
  TempDir dir;
  const RunResult synth = RunProgram(
      "pivsynth", {"--size", "256x256", "--dx", "0.3", "--dy", "0.3", "--seed", "3", "--out", "s.b16"},
      dir.path());
  ASSERT_EQ(synth.status, 0) << synth.err;

  const RunResult accurate = RunProgram(
      "tarvex", {"-dft", "32", "-gspac", "16", "16", "-subpix", "gauss3", "-meansub", "s.b16"},
      dir.path(), "1 2\n");
  ASSERT_EQ(accurate.status, 0) << accurate.err;
  const MeanError e = Errors(ReadDPIVFile(dir.file("s.dpiv")), 0.3, 0.3);
  EXPECT_GT(e.valid, 150);
  EXPECT_LT(std::fabs(e.u), 0.03);
  EXPECT_LT(std::fabs(e.v), 0.03);
}

TEST(SubPixelEndToEnd, DefaultOutputIsUnchangedByNamingTheDefault) {
  TempDir dir;
  const RunResult synth = RunProgram(
      "pivsynth", {"--size", "128x128", "--dx", "1.4", "--dy", "-0.6", "--out", "s.b16"}, dir.path());
  ASSERT_EQ(synth.status, 0) << synth.err;

  // A first run writes the wisdom file, so that the runs compared all import it.
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "s.b16"}, dir.path(), "1 2\n").status, 0);
  const RunResult plain =
      RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "-i", "-s", "s.b16"}, dir.path(), "1 2\n");
  ASSERT_EQ(plain.status, 0);
  const std::string plainField = ReadFile(dir.file("s.dpiv"));
  const RunResult named = RunProgram(
      "tarvex", {"-dft", "32", "-gspac", "16", "16", "-subpix", "fit", "-i", "-s", "s.b16"}, dir.path(), "1 2\n");
  ASSERT_EQ(named.status, 0);
  EXPECT_EQ(named.out, plain.out);
  EXPECT_EQ(ReadFile(dir.file("s.dpiv")), plainField);

  // The accurate mode does change the field.
  const RunResult gauss3 = RunProgram(
      "tarvex", {"-dft", "32", "-gspac", "16", "16", "-subpix", "gauss3", "-i", "-s", "s.b16"}, dir.path(),
      "1 2\n");
  ASSERT_EQ(gauss3.status, 0);
  EXPECT_NE(ReadFile(dir.file("s.dpiv")), plainField);
}

}  // namespace

}  // namespace tarvex
