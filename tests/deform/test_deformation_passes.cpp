// The deformation passes end to end on pivsynth pairs with a known field: the accurate
// single pass, then refinement passes, scored at the window centres. The bounds sit
// above what the passes reach (seed 4, 512 x 512 px) and below what a window centre
// taken half a pixel off, a sign error in the deformation or a missing residual would
// give. Also: the same bits on 1 and 2 threads, the pass reports, and the refusals.
#include <gtest/gtest.h>

#include <atomic>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "PlanTable.h"
#include "TestSupport.h"
#include "correlation/DefineFFTWPlans.h"
#include "deform/DeformationPasses.h"
#include "grid/PIVGrid.h"
#include "images/PIVImage.h"

namespace tarvex {

namespace {

constexpr int kSide = 512, kWindow = 32, kSpacing = 16;

// A pivsynth pair made in a fresh directory, its single pass, and the grid geometry.
class Case {
 public:
  explicit Case(const std::vector<std::string>& fieldArgs) {
    std::vector<std::string> args = {"--size", "512x512", "--seed", "4", "--out", "p.b16"};
    args.insert(args.end(), fieldArgs.begin(), fieldArgs.end());
    const RunResult r = RunProgram("pivsynth", args, dir_.path());
    EXPECT_EQ(r.status, 0) << r.err;
    FFTWplan* plans = Plans();  // made first: it swallows its own messages
    testing::internal::CaptureStdout();  // the image's and the grid's messages
    image_ = std::make_unique<PIVImage>(dir_.file("p.b16").c_str());
    g.nx = g.ny = (kSide - kWindow) / kSpacing + 1;
    g.x0 = g.y0 = kWindow / 2 - 1;
    g.dx = g.dy = kSpacing;
    g.windowX = g.windowY = kWindow;
    PIVGrid grid(1, 9999, g.nx, g.ny, 0, 0, kSpacing, kSpacing, 0, 0, kWindow, kWindow, unknown,
                 plans, image_.get());
    grid.setSubPixelEstimator(SubPixelEstimator::Gauss3);
    grid.setMeanSubtraction(true);
    grid.CalculateGridTARVEX();
    testing::internal::GetCapturedStdout();
    const int n = g.Points();
    u.resize(n);
    v.resize(n);
    peak.resize(n);
    flag.resize(n);
    for (int k = 0; k < n; ++k) {
      u[k] = grid.VelocityX(k);
      v[k] = grid.VelocityY(k);
      peak[k] = grid.Point(k).Rho();
      flag[k] = grid.Point(k).on();
    }
  }

  // Runs the passes on a copy of the single pass's field.
  Status Refine(const DeformationSettings& s, int threads, std::vector<float>& ru, std::vector<float>& rv,
                std::vector<unsigned char>& rflag, std::vector<PassReport>& reports,
                const std::atomic<bool>* cancel = nullptr) const {
    ru = u;
    rv = v;
    rflag = flag;
    std::vector<float> rpeak = peak;
    reports.assign(static_cast<size_t>(std::max(s.passes, 1)), PassReport());
    DeformationPasses passes(threads);
    passes.SetCancelFlag(cancel);
    return passes.Run(ViewOf(*image_), g, SelectFFTWPlan(Plans(), kWindow, kWindow), s,
                      {ru.data(), rv.data(), rpeak.data(), rflag.data()}, reports.data());
  }

  WindowGrid g;
  std::vector<float> u, v, peak;
  std::vector<unsigned char> flag;

 private:
  TempDir dir_;
  std::unique_ptr<PIVImage> image_;
};

// RMS error and bias of the flagged vectors against a field given at the window centres.
struct Score {
  double rms = 0, bu = 0, bv = 0;
  int valid = 0;
};

template <typename Truth>
Score ScoreAgainst(const WindowGrid& g, const std::vector<float>& u, const std::vector<float>& v,
                   const std::vector<unsigned char>& flag, Truth truth) {
  Score s;
  double sq = 0;
  for (int k = 0; k < g.Points(); ++k) {
    if (!flag[k]) continue;
    double tu, tv;
    truth(g.x0 + (k % g.nx) * g.dx + 0.5, g.y0 + (k / g.nx) * g.dy + 0.5, tu, tv);
    sq += (u[k] - tu) * (u[k] - tu) + (v[k] - tv) * (v[k] - tv);
    s.bu += u[k] - tu;
    s.bv += v[k] - tv;
    ++s.valid;
  }
  if (s.valid > 0) {
    s.rms = std::sqrt(sq / s.valid);
    s.bu /= s.valid;
    s.bv /= s.valid;
  }
  return s;
}

DeformationSettings Recommended(int passes) {
  DeformationSettings s;
  s.passes = passes;
  s.degree = BSplineDegree::Quintic;
  return s;
}

constexpr double kCentre = (kSide - 1) / 2.0;

TEST(DeformationPasses, UniformSubPixelShift) {
  const Case c({"--dx", "0.7", "--dy", "0.35"});
  std::vector<float> u, v;
  std::vector<unsigned char> flag;
  std::vector<PassReport> reports;
  ASSERT_TRUE(c.Refine(Recommended(3), 1, u, v, flag, reports));
  const auto uniform = [](double, double, double& tu, double& tv) { tu = 0.7; tv = 0.35; };
  const Score first = ScoreAgainst(c.g, c.u, c.v, c.flag, uniform);
  const Score s = ScoreAgainst(c.g, u, v, flag, uniform);
  EXPECT_EQ(s.valid, 900);  // every window that fits; the last row and column never do
  EXPECT_LT(s.rms, 0.012);
  EXPECT_LT(std::fabs(s.bu), 0.008);
  EXPECT_LT(std::fabs(s.bv), 0.008);
  EXPECT_LT(s.rms, 0.3 * first.rms);  // the single pass is peak-locked: about 0.057 px
  // The field settles: each pass changes it less, and every fitting window was measured.
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_GT(reports[0].rmsChange, 0.02);
  EXPECT_LT(reports[2].rmsChange, reports[0].rmsChange / 4);
  for (const PassReport& r : reports) {
    EXPECT_EQ(r.measured, 900);
    EXPECT_EQ(r.replaced, 61);  // the never-measured last row and column
  }
}

TEST(DeformationPasses, SolidRotation) {
  const Case c({"--field", "rotation", "--omega", "0.02"});
  std::vector<float> u, v;
  std::vector<unsigned char> flag;
  std::vector<PassReport> reports;
  ASSERT_TRUE(c.Refine(Recommended(3), 1, u, v, flag, reports));
  // Symmetric deformation measures the displacement of the particle whose path has its
  // midpoint at the window centre, omega x r there rotated by half the angle: compare
  // with that. (Taken at the first-image position, the truth differs by omega^2 r / 2,
  // 0.04 px RMS over this image.) Half a pixel off in the centres adds 0.014 px.
  const double w = 0.02;
  const auto midpoint = [w](double x, double y, double& tu, double& tv) {
    double qx = x, qy = y;
    for (int step = 0; step < 8; ++step) {
      qx = x + 0.5 * w * (qy - kCentre);
      qy = y - 0.5 * w * (qx - kCentre);
    }
    tu = -w * (qy - kCentre);
    tv = w * (qx - kCentre);
  };
  const Score s = ScoreAgainst(c.g, u, v, flag, midpoint);
  EXPECT_GE(s.valid, 890);
  EXPECT_LT(s.rms, 0.014);
}

TEST(DeformationPasses, LambOseenVortex) {
  const Case c({"--field", "vortex", "--gamma", "600", "--core", "30"});
  std::vector<float> u, v;
  std::vector<unsigned char> flag;
  std::vector<PassReport> reports;
  ASSERT_TRUE(c.Refine(Recommended(3), 1, u, v, flag, reports));
  const auto vortex = [](double x, double y, double& tu, double& tv) {
    const double rx = x - kCentre, ry = y - kCentre, r2 = rx * rx + ry * ry;
    // k tends to gamma / (2 pi core^2) at the centre, where a grid point lies.
    const double k = r2 < 1e-9 ? 600.0 / (2 * M_PI * 900.0)
                               : 600.0 / (2 * M_PI * r2) * (1 - std::exp(-r2 / 900.0));
    tu = -k * ry;
    tv = k * rx;
  };
  const Score first = ScoreAgainst(c.g, c.u, c.v, c.flag, vortex);
  const Score s = ScoreAgainst(c.g, u, v, flag, vortex);
  EXPECT_GE(s.valid, 890);
  EXPECT_LT(s.rms, 0.025);
  EXPECT_LT(s.rms, 0.5 * first.rms);
}

TEST(DeformationPasses, TheSameBitsOnOneAndTwoThreads) {
  const Case c({"--field", "shear", "--shear", "0.02"});
  std::vector<float> u1, v1, u2, v2;
  std::vector<unsigned char> f1, f2;
  std::vector<PassReport> r1, r2;
  ASSERT_TRUE(c.Refine(Recommended(2), 1, u1, v1, f1, r1));
  ASSERT_TRUE(c.Refine(Recommended(2), 2, u2, v2, f2, r2));
  EXPECT_EQ(u1, u2);
  EXPECT_EQ(v1, v2);
  EXPECT_EQ(f1, f2);
  EXPECT_EQ(r1[1].rmsChange, r2[1].rmsChange);
}

TEST(DeformationPasses, RefusesWhatItCannotRun) {
  const Case c({"--dx", "1.5"});
  std::vector<float> u, v;
  std::vector<unsigned char> flag;
  std::vector<PassReport> reports;
  for (int passes : {0, 21}) {
    const Status refused = c.Refine(Recommended(passes), 1, u, v, flag, reports);
    EXPECT_FALSE(refused);
    EXPECT_NE(std::string(refused.message()).find("1 to 20"), std::string::npos);
    EXPECT_EQ(u, c.u);
  }

  // No valid vector to predict from: refused, the field as it was.
  Case none({"--dx", "1.5"});
  std::fill(none.flag.begin(), none.flag.end(), 0);
  const Status refused = none.Refine(Recommended(2), 1, u, v, flag, reports);
  EXPECT_FALSE(refused);
  EXPECT_NE(std::string(refused.message()).find("no valid vector"), std::string::npos);
  EXPECT_EQ(u, none.u);
  EXPECT_EQ(flag, none.flag);
}

TEST(DeformationPasses, ACancelFlagStopsThemAndLeftClearChangesNothing) {
  const Case c({"--dx", "1.5"});
  std::vector<float> u, v, cu, cv;
  std::vector<unsigned char> flag, cflag;
  std::vector<PassReport> reports;
  std::atomic<bool> cancel{false};
  ASSERT_TRUE(c.Refine(Recommended(2), 2, u, v, flag, reports));
  ASSERT_TRUE(c.Refine(Recommended(2), 2, cu, cv, cflag, reports, &cancel));
  EXPECT_EQ(cu, u);
  EXPECT_EQ(cv, v);
  EXPECT_EQ(cflag, flag);

  cancel = true;
  const Status cancelled = c.Refine(Recommended(2), 2, cu, cv, cflag, reports, &cancel);
  EXPECT_FALSE(cancelled);
  EXPECT_STREQ(cancelled.message(), "the analysis was cancelled");
}

}  // namespace

}  // namespace tarvex
