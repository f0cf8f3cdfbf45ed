// tarvex from end to end with the validation, smoothing and two-pass options: synthetic
// particle images from pivsynth with a known uniform shift, analysed in a fresh directory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

using Vector = DPIVRecord;

// Makes a pair file with pivsynth: a uniform shift (dx, dy).
void Synthesize(const TempDir& dir, const std::string& name, double dx, double dy,
                const std::string& density, const std::string& size, int pairs = 1) {
  const RunResult r = RunProgram(
      "pivsynth",
      {"--size", size, "--dx", std::to_string(dx), "--dy", std::to_string(dy), "--density",
       density, "--seed", "7", "--pairs", std::to_string(pairs), "--out", name},
      dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
}

RunResult Tarvex(const TempDir& dir, std::vector<std::string> args, const std::string& file) {
  args.push_back(file);
  return RunProgram("tarvex", args, dir.path(), "1 2\n");
}

// The part of the console output between the start of the calculation and the first
// output file.
std::string AnalysisText(const std::string& out) {
  const std::string start = "\nCalculating TARVEX, please wait .....\n";
  const size_t a = out.find(start);
  const size_t b = out.find("Writing out DPIV file", a);
  if (a == std::string::npos || b == std::string::npos) return "<missing>";
  return out.substr(a + start.size(), b - a - start.size());
}

// Whether text equals pattern with every '#' standing for one number; the numbers are
// returned in order.
bool MatchesWithNumbers(const std::string& text, const std::string& pattern,
                        std::vector<double>& numbers) {
  numbers.clear();
  size_t t = 0;
  for (size_t p = 0; p < pattern.size(); p++) {
    if (pattern[p] != '#') {
      if (t >= text.size() || text[t] != pattern[p]) return false;
      t++;
      continue;
    }
    const char* begin = text.c_str() + t;
    char* end = nullptr;
    numbers.push_back(std::strtod(begin, &end));
    if (end == begin) return false;
    t += static_cast<size_t>(end - begin);
  }
  return t == text.size();
}

const char* const kCounts =
    "\tGood Data Validated                              = #\n"
    "\tBad  Data                                        = #\n"
    "\tTotal Available Data                             = #\n\n";

int CountOn(const std::vector<Vector>& field) {
  int n = 0;
  for (const Vector& p : field) n += p.flag;
  return n;
}

// A 128 x 128 pair shifted by (4.3, -2.6), 32 x 32 windows at spacing 32: a 4 x 4 grid
// whose last column and row cannot be measured, so 9 vectors.
class ValidationOptions : public testing::Test {
 protected:
  void SetUp() override { Synthesize(dir, "run.b16", 4.3, -2.6, "0.03", "128x128"); }

  // Runs tarvex with the options and checks that its analysis text is the pattern,
  // returning the numbers in it.
  std::vector<double> Check(const std::vector<std::string>& options, const std::string& pattern) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-dft", "32"});
    const RunResult r = Tarvex(dir, args, "run.b16");
    EXPECT_EQ(r.status, 0) << r.err;
    field = ReadDPIVFile(dir.file("run.dpiv"));
    EXPECT_EQ(field.size(), 16u);
    std::vector<double> numbers;
    const std::string text = AnalysisText(r.out);
    EXPECT_TRUE(MatchesWithNumbers(text, pattern, numbers)) << text;
    return numbers;
  }

  TempDir dir;
  std::vector<Vector> field;
};

}  // namespace

TEST_F(ValidationOptions, MinRhoReportAndFlags) {
  const auto n = Check({"-MinRho", "0.3"}, std::string("\nValidating TARVEX, please wait .....\n"
                                                        "\tChecking Max CC > 0.3, ...."
                                                        "\n\tCC-Peak Value > 0.300000  Check Result:\n") +
                                               kCounts);
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(n[0], CountOn(field));
  EXPECT_EQ(n[1], 16 - n[0]);
  EXPECT_EQ(n[2], 16);
  for (const Vector& p : field)
    if (std::fabs(p.rho - 0.3) > 1e-3) {
      EXPECT_EQ(p.flag, p.rho > 0.3 ? 1 : 0) << p.x << "," << p.y;
    }
}

TEST_F(ValidationOptions, MaxVelRatReportUsesTheWindowWidth) {
  auto n = Check({"-MaxVelRat", "0.25"}, std::string("\nValidating TARVEX, please wait .....\n"
                                                     "\tChecking |Vel(i,j)|/DFT-size < 0.25, ...."
                                                     "\n\tVelocity < 8.000000 px. Check Result:\n") +
                                             kCounts);
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(n[0], 9);  // |(4.3, -2.6)| < 8: every measured vector
  n = Check({"-MaxVelRat", "0.1"}, std::string("\nValidating TARVEX, please wait .....\n"
                                               "\tChecking |Vel(i,j)|/DFT-size < 0.1, ...."
                                               "\n\tVelocity < 3.200000 px. Check Result:\n") +
                                       kCounts);
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(n[0], 0);
  EXPECT_EQ(CountOn(field), 0);
}

TEST_F(ValidationOptions, GlobalHistogramReportGivesTheFieldStatistics) {
  const auto n = Check({"-GHcheck", "2.5"},
                       std::string("\nValidating TARVEX, please wait .....\n"
                                   "\tChecking |U(i,j) - AvgU| < 2.50*SigU && |V(i,j) - AvgV| < "
                                   "2.50*SigV, ....\n\tGlobal Histogram Check Result:\n"
                                   "\tAverage               U velocity component = #\n"
                                   "\tStandard deviation of U velocity component = #\n"
                                   "\tAverage               V velocity component = #\n") +
                           kCounts);
  ASSERT_EQ(n.size(), 6u);
  EXPECT_NEAR(n[0], 4.3, 0.3);
  EXPECT_LT(n[1], 0.3);
  EXPECT_NEAR(n[2], -2.6, 0.3);
  EXPECT_EQ(n[3], CountOn(field));
  EXPECT_EQ(n[5], 16);
}

TEST_F(ValidationOptions, MedianAndDynamicReportsAndTheirFixedOrder) {
  const std::string median =
      std::string("\tChecking |U(i,j) - MedianU(i,j)| < 1.00, ....\n\tMedian Value Operator Check Result:\n") +
      kCounts;
  const std::string dynamic =
      std::string("\tChecking |AvgVel(i,j) - Vel(i,j)| < 1.5 + 0.25 * SigSquareVel(i,j)^2, ...\n"
                  "\tDynamic Mean Value Operator Check Result:\n"
                  "\tAvg of Local Avg (Mag of Vector Difference)^2    = #\n"
                  "\tStdDev of Local Avg (Mag of Vector Difference)^2 = #\n") +
      kCounts;
  const std::string histogram =
      std::string("\tChecking |U(i,j) - AvgU| < 2.00*SigU && |V(i,j) - AvgV| < 2.00*SigV, ....\n"
                  "\tGlobal Histogram Check Result:\n"
                  "\tAverage               U velocity component = #\n"
                  "\tStandard deviation of U velocity component = #\n"
                  "\tAverage               V velocity component = #\n") +
      kCounts;
  const std::string validating = "\nValidating TARVEX, please wait .....\n";
  auto n = Check({"-MVOcheck", "1"}, validating + median);
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(n[0], 9);  // a clean field: every measured vector near its neighbours' median
  EXPECT_EQ(CountOn(field), 9);
  n = Check({"-DMVOcheck", "1.5", "0.25"}, validating + dynamic);
  ASSERT_EQ(n.size(), 5u);
  EXPECT_EQ(n[2], 9);
  // Given in the other order, the checks still run histogram, median, dynamic.
  n = Check({"-DMVOcheck", "1.5", "0.25", "-MVOcheck", "1", "-GHcheck", "2"},
            validating + histogram + median + dynamic);
  EXPECT_EQ(n.size(), 14u);
}

TEST_F(ValidationOptions, SmoothingMessageInSingleAndSeriesMode) {
  auto n = Check({"-s"}, "\tCalculating Moving 9x9 average, please wait ... \n");
  EXPECT_TRUE(n.empty());
  // Smoothing fills the unmeasured last column and row from their valid neighbours: the
  // means of peak-locked vectors, within 0.25 px of the shift (a half-pixel fault is not).
  for (const Vector& p : field) {
    EXPECT_NEAR(p.u, 4.3, 0.25);
    EXPECT_NEAR(p.v, -2.6, 0.25);
    EXPECT_EQ(p.flag, (p.x < 100 && p.y < 100) ? 1 : 0) << p.x << "," << p.y;
  }
  Synthesize(dir, "pairs.b16", 4.3, -2.6, "0.02", "128x128", 2);
  const RunResult r = RunProgram("tarvex", {"-s", "-dft", "32", "-all", "1", "1", "2", "pairs.b16"},
                                 dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string series_message =
      "Calculating moving 9x9 average, please wait ... \n\nWriting out DPIV file: pairs.0001.dpiv";
  EXPECT_NE(r.out.find(series_message), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Calculating moving 9x9 average, please wait ... \n\nWriting out DPIV file: "
                       "pairs.0003.dpiv"),
            std::string::npos);
}

TEST_F(ValidationOptions, TwoPassPrintsItsOwnMessagesAndChecks) {
  const auto n = Check({"-i"}, std::string("\nValidating TARVEX, please wait .....\n"
                                           "\n\tGlobal Histogram Check Result:\n"
                                           "\tAverage               U velocity component = #\n"
                                           "\tStandard deviation of U velocity component = #\n"
                                           "\tAverage               V velocity component = #\n") +
                                   kCounts +
                                   "\n\tDynamic Mean Value Operator Check Result:\n"
                                   "\tAvg of Local Avg (Mag of Vector Difference)^2    = #\n"
                                   "\tStdDev of Local Avg (Mag of Vector Difference)^2 = #\n" +
                                   kCounts +
                                   "\nSmooth and Interpolate missing TARVEX, please wait .....\n"
                                   "\nCalculating 2nd Pass Offset TARVEX, please wait ....\n");
  EXPECT_EQ(n.size(), 11u);
}

// A shift of about 12 px in 32 x 32 windows with few particles: a single pass loses many
// vectors to pairs that leave the window, the second pass with the window offset by the
// first result recovers them.
TEST(TwoPassEndToEnd, OffsetRecoversTheVectorsALargeShiftLoses) {
  TempDir dir;
  const double dx = 12.4, dy = 3.7;
  Synthesize(dir, "shift.b16", dx, dy, "0.006", "256x256");
  struct Outcome {
    int measured = 0, good = 0;
    double rms = 0.0;
  };
  auto analyse = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = extra;
    args.insert(args.end(), {"-dft", "32", "-gspac", "16", "16"});
    const RunResult r = Tarvex(dir, args, "shift.b16");
    EXPECT_EQ(r.status, 0) << r.err;
    Outcome o;
    double sum = 0.0;
    for (const Vector& p : ReadDPIVFile(dir.file("shift.dpiv"))) {
      if (!p.flag) continue;
      const double e2 = (p.u - dx) * (p.u - dx) + (p.v - dy) * (p.v - dy);
      o.measured++;
      sum += e2;
      if (e2 < 1.0) o.good++;
    }
    o.rms = o.measured ? std::sqrt(sum / o.measured) : 0.0;
    return o;
  };
  const Outcome single = analyse({});
  const Outcome twopass = analyse({"-i"});
  std::cout << "single pass: " << single.good << " of " << single.measured
            << " vectors within 1 px, RMS error " << single.rms << " px\n"
            << "two-pass:    " << twopass.good << " of " << twopass.measured
            << " vectors within 1 px, RMS error " << twopass.rms << " px\n";
  // 15 x 15 points; the last column and row never fit, so 196 are measured.
  EXPECT_EQ(single.measured, 196);
  EXPECT_EQ(twopass.measured, 196);
  EXPECT_LT(single.good, 0.9 * single.measured);
  EXPECT_GT(single.rms, 1.0);
  EXPECT_GE(twopass.good, 0.97 * twopass.measured);
  EXPECT_LT(twopass.rms, 0.3);
}

// Windows of the second image replaced by noise give isolated outliers; the median and
// the dynamic mean checks each reject exactly those, and the smoothing fills them.
TEST(OutlierEndToEnd, ChecksRejectNoiseWindowsAndSmoothingFillsThem) {
  TempDir dir;
  const double dx = 4.3, dy = -2.6;
  Synthesize(dir, "noisy.b16", dx, dy, "0.02", "256x256");
  std::string bytes = ReadFile(dir.file("noisy.b16"));
  const int w = 256, h = 256;
  ASSERT_EQ(bytes.size(), 4u + 2u * 2u * w * h);
  // Grid points (row, column) of an 8 x 8 grid at spacing 32: their first windows start
  // at (32 column, 32 row).
  const int outliers[][2] = {{1, 1}, {3, 5}, {5, 2}};
  std::mt19937 rng(3);
  for (const auto& o : outliers)
    for (int r = 32 * o[0]; r < 32 * o[0] + 32; r++)
      for (int c = 32 * o[1]; c < 32 * o[1] + 32; c++) {
        const size_t at = 4 + 2 * static_cast<size_t>(w * h + r * w + c);
        const uint16_t value = static_cast<uint16_t>(rng() % 4096);
        bytes[at] = static_cast<char>(value & 0xff);
        bytes[at + 1] = static_cast<char>(value >> 8);
      }
  WriteFile(dir.file("noisy.b16"), bytes);

  auto isOutlier = [&](const Vector& p) {
    for (const auto& o : outliers)
      if (p.x == 32 * o[1] + 15 && p.y == 32 * o[0] + 15) return true;
    return false;
  };
  auto run = [&](const std::vector<std::string>& options) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-dft", "32"});
    const RunResult r = Tarvex(dir, args, "noisy.b16");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto field = ReadDPIVFile(dir.file("noisy.dpiv"));
    EXPECT_EQ(field.size(), 64u);
    return field;
  };
  auto error = [&](const Vector& p) { return std::hypot(p.u - dx, p.v - dy); };
  auto measured = [](const Vector& p) { return p.x < 230 && p.y < 230; };

  for (const Vector& p : run({}))
    if (isOutlier(p)) {
      EXPECT_GT(error(p), 1.0) << "the noise must spoil " << p.x << "," << p.y;
    }

  // Each check rejects every outlier and at most two of the 46 sound vectors.
  for (const auto& options : {std::vector<std::string>{"-MVOcheck", "1"},
                              std::vector<std::string>{"-DMVOcheck", "1", "1"}}) {
    int sound_rejected = 0;
    for (const Vector& p : run(options)) {
      if (isOutlier(p) || !measured(p)) {
        EXPECT_EQ(p.flag, 0) << options[0] << " " << p.x << "," << p.y;
      } else {
        sound_rejected += 1 - p.flag;
      }
    }
    EXPECT_LE(sound_rejected, 2) << options[0];
  }
  // Smoothing fills every rejected point, the outliers included, from its neighbours.
  for (const Vector& p : run({"-MVOcheck", "1", "-DMVOcheck", "1", "1", "-s"})) {
    if (isOutlier(p)) {
      EXPECT_EQ(p.flag, 0);
    }
    EXPECT_LT(error(p), 1.0) << "filled " << p.x << "," << p.y;
  }
}

// In a field at rest the unmeasured last column and row hold the same (0, 0) as the
// measured points; the checks of the two-pass analysis must still not switch them on.
TEST(TwoPassEndToEnd, UnmeasuredPointsAreNeverWrittenAsValid) {
  TempDir dir;
  Synthesize(dir, "rest.b16", 0.0, 0.0, "0.02", "128x128");
  const RunResult r = Tarvex(dir, {"-i", "-s", "-dft", "32"}, "rest.b16");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto field = ReadDPIVFile(dir.file("rest.dpiv"));
  ASSERT_EQ(field.size(), 16u);
  for (const Vector& p : field)
    if (p.x > 100 || p.y > 100) {
      EXPECT_EQ(p.flag, 0) << p.x << "," << p.y;
    }
}
