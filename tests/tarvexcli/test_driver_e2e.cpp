// tarvex from end to end: synthetic particle images made by pivsynth, analysed in a fresh
// directory; checks the displacements found, the pair sequence of a series, the output
// names, the console dialogue and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "TestSupport.h"

namespace {

using Record = DPIVRecord;

void Synth(const TempDir& dir, const std::vector<std::string>& args) {
  RunResult r = RunProgram("pivsynth", args, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
}

// Keeps the first n images of an image-pair file of w x h images.
void Truncate(const std::string& path, int w, int h, int n) {
  WriteFile(path, ReadFile(path).substr(0, 4 + static_cast<size_t>(2) * w * h * n));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Positions of the given texts in out; fails unless each follows the one before.
void ExpectInOrder(const std::string& out, const std::vector<std::string>& texts) {
  size_t at = 0;
  for (const auto& t : texts) {
    const size_t found = out.find(t, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << t;
    at = found + t.size();
  }
}

struct ShiftStats {
  int valid = 0;
  double meanU = 0, meanV = 0, rms = 0, max = 0, within = 0;
};

// Errors of the valid points of a DPIV file against a uniform shift (du, dv).
ShiftStats Errors(const std::vector<Record>& records, double du, double dv) {
  ShiftStats s;
  double sq = 0;
  int near = 0;
  for (const auto& r : records) {
    if (r.flag != 1) continue;
    const double eu = r.u - du, ev = r.v - dv, e = std::hypot(eu, ev);
    s.valid++;
    s.meanU += eu;
    s.meanV += ev;
    sq += e * e;
    if (e > s.max) s.max = e;
    if (e <= 0.5) near++;
  }
  if (s.valid) {
    s.meanU /= s.valid;
    s.meanV /= s.valid;
    s.rms = std::sqrt(sq / s.valid);
    s.within = static_cast<double>(near) / s.valid;
  }
  return s;
}

const std::string kSeparator(88, '=');

}  // namespace

// 256 x 256 images, 32 x 32 windows every 16 px: 15 x 15 points; the last column and
// row reach the image's last pixel column/row and are never measured.
TEST(DriverAccuracy, UniformSubPixelShiftIsFoundOnInteriorPoints) {
  TempDir dir;
  Synth(dir, {"--size", "256x256", "--dx", "3.3", "--dy", "-1.7", "--diameter", "2.5",
              "--density", "0.02", "--out", "pair.b16"});
  RunResult r = RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "pair.b16"}, dir.path(),
                           "1 2\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<Record> rec = ReadDPIVFile(dir.file("pair.dpiv"));
  ASSERT_EQ(rec.size(), 225u);
  for (int k = 0; k < 225; k++) {
    EXPECT_EQ(rec[k].x, 15 + 16 * (k % 15)) << k;
    EXPECT_EQ(rec[k].y, 15 + 16 * (k / 15)) << k;
    const bool edge = k % 15 == 14 || k / 15 == 14;
    EXPECT_EQ(rec[k].flag, edge ? 0 : 1) << k;
    if (edge) {
      EXPECT_EQ(rec[k].u, 0.0) << k;
      EXPECT_EQ(rec[k].v, 0.0) << k;
    }
  }
  const ShiftStats s = Errors(rec, 3.3, -1.7);
  std::printf("uniform shift (3.3, -1.7), %d valid points: mean error (%.3f, %.3f) px, "
              "RMS %.3f px, max %.3f px, %.0f%% within 0.5 px\n",
              s.valid, s.meanU, s.meanV, s.rms, s.max, 100 * s.within);
  RecordProperty("rms_error_px", std::to_string(s.rms));
  EXPECT_EQ(s.valid, 196);
  // The Gaussian fit over the slope neighbourhood locks towards whole pixels by about a
  // tenth of a pixel here; a wrong sign, a swapped axis or a lost offset would be a pixel off.
  EXPECT_LT(std::fabs(s.meanU), 0.2);
  EXPECT_LT(std::fabs(s.meanV), 0.2);
  EXPECT_LT(s.rms, 0.4);
  EXPECT_LT(s.max, 1.0);
  EXPECT_GT(s.within, 0.85);
}

// A zero shift gives a symmetric peak, fitted exactly. A whole-pixel shift finds the right
// integer peak everywhere, so no point is further off than the fit's acceptance distance.
TEST(DriverAccuracy, ZeroAndWholePixelShiftsStayOnTheirPixel) {
  TempDir dir;
  Synth(dir, {"--size", "128x128", "--out", "zero.b16"});
  Synth(dir, {"--size", "128x128", "--dx", "2", "--dy", "-1", "--out", "whole.b16"});
  for (const char* name : {"zero", "whole"}) {
    RunResult r = RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16",
                                        std::string(name) + ".b16"}, dir.path(), "1 2\n");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const ShiftStats zero = Errors(ReadDPIVFile(dir.file("zero.dpiv")), 0, 0);
  EXPECT_EQ(zero.valid, 36);
  EXPECT_LT(zero.max, 1e-3);
  const ShiftStats whole = Errors(ReadDPIVFile(dir.file("whole.dpiv")), 2, -1);
  EXPECT_EQ(whole.valid, 36);
  EXPECT_LT(std::fabs(whole.meanU), 0.05);
  EXPECT_LT(std::fabs(whole.meanV), 0.05);
  EXPECT_LT(whole.max, 0.52 * std::sqrt(2.0));
  std::printf("whole-pixel shift (2, -1): mean error (%.3f, %.3f) px, RMS %.3f px, max %.3f px\n",
              whole.meanU, whole.meanV, whole.rms, whole.max);
}

TEST(DriverDialogue, SmallRunPrintsEveryStepInOrder) {
  TempDir dir;
  Synth(dir, {"--size", "96x96", "--dx", "2", "--dy", "1", "--out", "s.b16"});
  // A first run leaves the wisdom file, so the second one imports it.
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "s.b16"}, dir.path(), "1 2\n").status, 0);
  RunResult r = RunProgram("tarvex", {"-dft", "32", "-tec", "out", "s.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string expected =
      kTarvexBanner +
      "\n\nFFTW Wisdom File \"FFTPlans.Wisdom.dat\"  Exists!\n"
      "\tWisdom Will Be Imported From This File\n\n"
      "\nComputing 2-D FFTW Plans, please wait ...\n"
      "\n\nNumber of PIV Images          = 2\n"
      "Size of Images                = 96 px x 96 px\n"
      "Memory Size of each PIV Image = 18432 bytes\n"
      "\nselect image pair 1 and 2 > \n"
      "Read PIV Image 1 -> 9216 px\n"
      "Read PIV Image 2 -> 9216 px\n"
      "\nTARVEX analysis grid = 3 x 3\n"
      "\nCalculating TARVEX, please wait .....\n"
      "Writing out tecplot file: out.plt, please wait ....\n"
      "Writing out DPIV file: s.dpiv, please wait ....\n" +
      kSeparator + "\n\n";
  const auto want = Lines(expected), got = Lines(r.out);
  for (size_t i = 0; i < std::min(want.size(), got.size()); i++)
    EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(FileExists(dir.file("out.plt")));
  EXPECT_EQ(ReadDPIVFile(dir.file("s.dpiv")).size(), 9u);
}

TEST(DriverDialogue, ChecksRunInTheirFixedOrderThenSmoothing) {
  TempDir dir;
  Synth(dir, {"--size", "128x128", "--dx", "2", "--dy", "1", "--out", "c.b16"});
  RunResult r = RunProgram("tarvex",
                           {"-MVOcheck", "0.5", "-GHcheck", "2", "-DMVOcheck", "0.5", "3", "-s",
                            "-MaxVelRat", "0.25", "-MinRho", "0.3", "-dft", "32", "c.b16"},
                           dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectInOrder(r.out, {"\nCalculating TARVEX, please wait .....\n",
                        "\nValidating TARVEX, please wait .....\n",
                        "\tChecking Max CC > 0.3, ....",
                        "\tChecking |Vel(i,j)|/DFT-size < 0.25, ....",
                        "\tChecking |U(i,j) - AvgU| < 2.00*SigU && |V(i,j) - AvgV| < 2.00*SigV, ....",
                        "\tChecking |U(i,j) - MedianU(i,j)| < 0.50, ....",
                        "\tChecking |AvgVel(i,j) - Vel(i,j)| < 0.5 + 3 * SigSquareVel(i,j)^2, ...",
                        "\tCalculating Moving 9x9 average, please wait ... \n",
                        "Writing out DPIV file: c.dpiv, please wait ....\n", kSeparator});
  // Without a check option nothing is validated.
  r = RunProgram("tarvex", {"-dft", "32", "c.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.out.find("Validating"), std::string::npos);
  EXPECT_EQ(r.out.find("Checking"), std::string::npos);
}

// The maximum displacement is fftx times the ratio: with 64 px windows, 0.125 allows 8 px
// and 0.25 allows 16 px, so a 10 px shift is rejected by the first and kept by the second.
TEST(DriverChecks, MaxVelRatioScalesTheWindowWidth) {
  TempDir dir;
  Synth(dir, {"--size", "192x192", "--dx", "10", "--out", "m.b16"});
  auto flags = [&](const char* ratio) {
    RunResult r = RunProgram("tarvex", {"-MaxVelRat", ratio, "-dft", "64", "-gspac", "32", "32",
                                        "m.b16"}, dir.path(), "1 2\n");
    EXPECT_EQ(r.status, 0);
    int on = 0;
    for (const auto& rec : ReadDPIVFile(dir.file("m.dpiv"))) on += rec.flag;
    return on;
  };
  EXPECT_EQ(flags("0.125"), 0);
  EXPECT_EQ(flags("0.25"), 16);  // 192 px: 5 x 5 points, the last column and row unmeasured
}

TEST(DriverSeries, PairsOfASixImageFileAreAnalysedInTurn) {
  TempDir dir;
  Synth(dir, {"--size", "96x96", "--pairs", "3", "--dx", "1.5", "--out", "run.b16"});
  RunResult r = RunProgram("tarvex", {"-all", "1", "1", "2", "-dft", "32", "run.b16"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("select image pair"), std::string::npos);
  ExpectInOrder(r.out, {"Calculating TARVEX", "Read PIV Image 1 -> 9216 px\n",
                        "Read PIV Image 2 -> 9216 px\n", "run.0001.dpiv", kSeparator,
                        "Read PIV Image 3 -> 9216 px\n", "Read PIV Image 4 -> 9216 px\n",
                        "run.0003.dpiv", kSeparator, "Read PIV Image 5 -> 9216 px\n",
                        "Read PIV Image 6 -> 9216 px\n", "run.0005.dpiv", kSeparator});
  for (const char* name : {"run.0001.dpiv", "run.0003.dpiv", "run.0005.dpiv"}) {
    const ShiftStats s = Errors(ReadDPIVFile(dir.file(name)), 1.5, 0);
    EXPECT_EQ(s.valid, 4) << name;
    EXPECT_LT(s.max, 1.0) << name;
  }
  EXPECT_FALSE(FileExists(dir.file("run.dpiv")));

  // Five images: the third pair has no second image.
  Truncate(dir.file("run.b16"), 96, 96, 5);
  TempDir five;
  WriteFile(five.file("run.b16"), ReadFile(dir.file("run.b16")));
  r = RunProgram("tarvex", {"-all", "1", "1", "2", "-dft", "32", "run.b16"}, five.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(FileExists(five.file("run.0001.dpiv")));
  EXPECT_TRUE(FileExists(five.file("run.0003.dpiv")));
  EXPECT_FALSE(FileExists(five.file("run.0005.dpiv")));

  // -all 2 3 1 on five images: (2, 5) only.
  TempDir second;
  WriteFile(second.file("run.b16"), ReadFile(dir.file("run.b16")));
  r = RunProgram("tarvex", {"-all", "2", "3", "1", "-dft", "32", "run.b16"}, second.path());
  EXPECT_EQ(r.status, 0);
  ExpectInOrder(r.out, {"Calculating TARVEX", "Read PIV Image 2 -> 9216 px\n",
                        "Read PIV Image 5 -> 9216 px\n", "run.0002.dpiv"});
  EXPECT_EQ(r.out.find("Read PIV Image 3 -> 9216 px\n", r.out.find("Calculating")),
            std::string::npos);
  EXPECT_TRUE(FileExists(second.file("run.0002.dpiv")));
  EXPECT_FALSE(FileExists(second.file("run.0003.dpiv")));

  // A first pair beyond the file: nothing to analyse, which a series says and fails on (see
  // test_trust_e2e.cpp).
  TempDir none;
  WriteFile(none.file("run.b16"), ReadFile(dir.file("run.b16")));
  r = RunProgram("tarvex", {"-all", "5", "1", "1", "-dft", "32", "run.b16"}, none.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvex: no pair to analyse: -all 5 1 1 finds no pair among the 5 images of run.b16\n");
  EXPECT_EQ(r.out.find("Calculating TARVEX"), std::string::npos);
  EXPECT_FALSE(FileExists(none.file("run.0005.dpiv")));
}

TEST(DriverSeries, SmoothingMessageDiffersBetweenSeriesAndSinglePair) {
  TempDir dir;
  Synth(dir, {"--size", "96x96", "--pairs", "1", "--out", "run.b16"});
  RunResult series = RunProgram("tarvex", {"-s", "-all", "1", "1", "2", "-dft", "32", "run.b16"},
                                dir.path());
  EXPECT_NE(series.out.find("\nCalculating moving 9x9 average, please wait ... \n\n"),
            std::string::npos);
  RunResult single = RunProgram("tarvex", {"-s", "-dft", "32", "run.b16"}, dir.path(), "1 2\n");
  EXPECT_NE(single.out.find("\n\tCalculating Moving 9x9 average, please wait ... \nWriting out"),
            std::string::npos);
}

TEST(DriverNames, TecplotAndDPIVNamesFollowTheMode) {
  TempDir dir;
  Synth(dir, {"--size", "96x96", "--pairs", "2", "--out", "run.b16"});
  RunResult r = RunProgram("tarvex", {"-all", "1", "1", "2", "-tec", "out", "-dft", "32", "run.b16"},
                           dir.path());
  EXPECT_EQ(r.status, 0);
  ExpectInOrder(r.out, {"Writing out tecplot file: out.0001.plt, please wait ....\n",
                        "Writing out DPIV file: run.0001.dpiv, please wait ....\n",
                        "Writing out tecplot file: out.0003.plt, please wait ....\n",
                        "Writing out DPIV file: run.0003.dpiv, please wait ....\n"});
  for (const char* f : {"out.0001.plt", "out.0003.plt", "run.0001.dpiv", "run.0003.dpiv"})
    EXPECT_TRUE(FileExists(dir.file(f))) << f;

  r = RunProgram("tarvex", {"-tecout", "-dft", "32", "run.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(FileExists(dir.file("out.plt")));
  EXPECT_TRUE(FileExists(dir.file("run.dpiv")));
  const std::string plt = ReadFile(dir.file("out.plt"));
  EXPECT_EQ(plt.substr(0, plt.find('\n')), "TITLE=\"TARVEX-Velocity File: out.plt\"");
}

// The series name ends at the first '.' of the file name when the path's first '.' lies in
// a directory part: no hidden ".dpiv" in the current directory (more in test_trust_e2e.cpp).
TEST(DriverNames, SeriesNameEndsAtTheFirstDotOfTheFileName) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("data").c_str(), 0755), 0);
  Synth(dir, {"--size", "96x96", "--out", "data/run.b16"});
  RunResult r = RunProgram("tarvex", {"-dft", "32", "./data/run.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(FileExists(dir.file("data/run.dpiv")));
  EXPECT_FALSE(FileExists(dir.file(".dpiv")));
  r = RunProgram("tarvex", {"-all", "1", "1", "1", "-dft", "32", "./data/run.b16"}, dir.path());
  EXPECT_TRUE(FileExists(dir.file("data/run.0001.dpiv")));
  EXPECT_FALSE(FileExists(dir.file(".0001.dpiv")));

  // A name without a dot is the series name as a whole.
  WriteFile(dir.file("plainname"), ReadFile(dir.file("data/run.b16")));
  r = RunProgram("tarvex", {"-dft", "32", "plainname"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(FileExists(dir.file("plainname.dpiv")));
}

TEST(DriverGrid, GridSizeFollowsWidthWindowAndSpacing) {
  TempDir dir;
  Synth(dir, {"--size", "512x64", "--out", "w.b16"});
  auto grid = [&](std::vector<std::string> args) {
    args.push_back("w.b16");
    RunResult r = RunProgram("tarvex", args, dir.path(), "1 2\n");
    EXPECT_EQ(r.status, 0);
    const size_t at = r.out.find("TARVEX analysis grid = ");
    return at == std::string::npos ? std::string() : r.out.substr(at, r.out.find('\n', at) - at);
  };
  EXPECT_EQ(grid({"-dft", "64"}), "TARVEX analysis grid = 8 x 1");
  EXPECT_EQ(grid({"-dft", "64", "-gspac", "32", "32"}), "TARVEX analysis grid = 15 x 1");
  EXPECT_EQ(grid({"-dft", "128"}), "TARVEX analysis grid = 4 x 0");
  // No points: the DPIV file has its header and nothing else.
  EXPECT_EQ(ReadDPIVFile(dir.file("w.dpiv")).size(), 0u);
  EXPECT_NE(ReadFile(dir.file("w.dpiv")).find("#  TITLE = TARVEX-Velocity File: w.dpiv\n"),
            std::string::npos);
}

TEST(DriverRefusals, OverlongOutputNamesStopTheRunBeforeAnalysing) {
  TempDir dir;
  Synth(dir, {"--size", "96x96", "--out", "run.b16"});
  const std::string longTec(196, 't');  // + ".plt" = 200 characters
  RunResult r = RunProgram("tarvex", {"-tec", longTec, "-dft", "32", "run.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("longer than 199 characters"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Calculating TARVEX"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.file("run.dpiv")));

  // 195 characters fit in single-pair mode but not with the series number.
  const std::string fits(195, 't');
  r = RunProgram("tarvex", {"-tec", fits, "-dft", "32", "run.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(FileExists(dir.file(fits + ".plt")));
  r = RunProgram("tarvex", {"-all", "1", "1", "1", "-tec", fits, "-dft", "32", "run.b16"},
                 dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(FileExists(dir.file("run.0001.dpiv")));
}

TEST(DriverRefusals, FileWithoutImagesEndsWithStatusOne) {
  TempDir dir;
  WriteFile(dir.file("empty.b16"), std::string("\x60\x00\x60\x00", 4));  // 96 x 96, no image
  RunResult r = RunProgram("tarvex", {"-dft", "32", "empty.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err, "");
  EXPECT_FALSE(FileExists(dir.file("empty.dpiv")));
}
