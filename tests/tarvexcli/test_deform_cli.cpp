// tarvex -deform N end to end: pivsynth pairs with a known field analysed by the built
// program in a fresh directory, scored by pivcompare at the window centres; both
// reference points against truths of both schemes, the console lines of the passes, the
// points that are never measured, a wave of three windows, no wild vector from a fixed
// pattern or a dense grid, the checks on the final field, the same bytes on any number of
// threads, the larger first window, and the refusals. The accuracy bounds sit above what
// the analysis reaches on these pairs (seed 4) and far below what the single pass, or a
// field scored in the other reference, gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"

namespace {

// pivcompare's figures against the pair's truth at the midpoint of each particle's path,
// where the deformation passes refer their field by default.
TruthScore Compare(const TempDir& dir, const std::string& reference = "midpoint") {
  return CompareWithTruth(dir, reference);
}

// A 512 x 512 pivsynth pair p.b16 of the field in a fresh directory.
void Synthesise(const TempDir& dir, const std::vector<std::string>& field) {
  std::vector<std::string> args = {"--size", "512x512", "--seed", "4", "--out", "p.b16"};
  args.insert(args.end(), field.begin(), field.end());
  const RunResult r = RunProgram("pivsynth", args, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  // A first run writes the wisdom file, so that the runs compared all import it.
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "p.b16"}, dir.path(), "1 2\n").status, 0);
  std::remove(dir.file("p.dpiv").c_str());
}

RunResult Tarvex(const TempDir& dir, std::vector<std::string> options) {
  std::vector<std::string> args = {"-dft", "32", "-gspac", "16", "16"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("p.b16");
  return RunProgram("tarvex", args, dir.path(), "1 2\n");
}

// The per-pass lines in the order printed: pass number, vectors replaced, RMS change.
struct PassLine {
  int pass, replaced;
  double change;
};

std::vector<PassLine> PassLines(const std::string& out) {
  static const std::regex line("\tDeformation pass ([0-9]+): ([0-9]+) vectors? replaced, RMS change ([0-9]+\\.[0-9]{4}) px\n");
  std::vector<PassLine> lines;
  for (std::sregex_iterator m(out.begin(), out.end(), line), end; m != end; ++m)
    lines.push_back({std::stoi((*m)[1]), std::stoi((*m)[2]), std::stod((*m)[3])});
  return lines;
}

TEST(DeformEndToEnd, UniformSubPixelShift) {
  TempDir dir;
  Synthesise(dir, {"--dx", "0.7", "--dy", "0.35"});
  ASSERT_EQ(Tarvex(dir, {"-subpix", "gauss3", "-meansub"}).status, 0);
  const TruthScore single = Compare(dir);
  const RunResult r = Tarvex(dir, {"-deform", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  const TruthScore s = Compare(dir);
  // 900 of the 31 x 31 windows fit; the last column and row never do.
  EXPECT_EQ(s.points, 961);
  EXPECT_EQ(s.valid, 900);
  EXPECT_LT(s.rms, 0.012);
  EXPECT_LT(s.rms, single.rms / 4);  // the single pass is peak-locked (about 0.05 px)
  EXPECT_LT(std::fabs(s.biasU), 0.008);
  EXPECT_LT(std::fabs(s.biasV), 0.008);
  EXPECT_EQ(s.outliers, 0.0);

  // One line per pass, numbered, and a field that settles: the first pass corrects the
  // peak-locked single pass by some hundredths, the last changes it by thousandths.
  const std::vector<PassLine> lines = PassLines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  for (int p = 0; p < 3; ++p) {
    EXPECT_EQ(lines[p].pass, p + 1);
    EXPECT_EQ(lines[p].replaced, 0);
  }
  EXPECT_GT(lines[0].change, 0.02);
  EXPECT_LT(lines[2].change, 0.01);
  EXPECT_LT(lines[2].change, lines[0].change);
  // They follow the calculation and come before the files.
  EXPECT_LT(r.out.find("Calculating TARVEX"), r.out.find("\tDeformation pass 1:"));
  EXPECT_LT(r.out.find("\tDeformation pass 3:"), r.out.find("Writing out DPIV file"));

  // Never-measured points stay as the single pass writes them: flag 0, no displacement, no peak.
  const std::vector<DPIVRecord> records = ReadDPIVFile(dir.file("p.dpiv"));
  ASSERT_EQ(records.size(), 961u);
  for (int k = 0; k < 961; ++k) {
    const bool edge = k % 31 == 30 || k / 31 == 30;
    if (!edge) continue;
    EXPECT_EQ(records[k].flag, 0) << k;
    EXPECT_EQ(records[k].u, 0.0) << k;
    EXPECT_EQ(records[k].v, 0.0) << k;
    EXPECT_EQ(records[k].rho, 0.0) << k;
  }
}

TEST(DeformEndToEnd, EachReferenceMatchesTheTruthOfEitherScheme) {
  // In a solid rotation of 0.02 rad the two references differ by omega^2 r / 2, 0.04 px
  // RMS over this image: each output must match its own reference, whichever way the
  // images were made, and miss the other one by about that.
  for (const char* scheme : {"first", "symmetric"}) {
    TempDir dir;
    Synthesise(dir, {"--field", "rotation", "--omega", "0.02", "--scheme", scheme});
    ASSERT_EQ(Tarvex(dir, {"-deform", "3"}).status, 0);
    const TruthScore midpoint = Compare(dir, "midpoint");
    EXPECT_EQ(midpoint.valid, 900) << scheme;
    EXPECT_LT(midpoint.rms, 0.012) << scheme;
    EXPECT_GT(Compare(dir, "first").rms, 0.03) << scheme;

    ASSERT_EQ(Tarvex(dir, {"-deform", "3", "-deformref", "first"}).status, 0);
    const TruthScore first = Compare(dir, "first");
    EXPECT_EQ(first.valid, 900) << scheme;
    EXPECT_LT(first.rms, 0.012) << scheme;
    EXPECT_GT(Compare(dir, "midpoint").rms, 0.03) << scheme;
  }
}

TEST(DeformEndToEnd, ConvergesOnAWaveOfThreeWindows) {
  // v = 2 sin(2 pi x / 96) px with 32 px windows every 16 px: six vectors a wave. A filter
  // that takes a quarter from such a wave, or a median test that rejects its crests, leaves
  // 0.1 px and more.
  TempDir dir;
  Synthesise(dir, {"--field", "sine", "--amplitude", "2", "--wavelength", "96", "--direction", "x"});
  ASSERT_EQ(Tarvex(dir, {"-deform", "3"}).status, 0);
  const TruthScore s = Compare(dir);
  EXPECT_GE(s.valid, 895);
  EXPECT_LT(s.rms, 0.06);
  EXPECT_EQ(s.outliers, 0.0);
  // At eight vectors a wave the grid lands on the crests, where six of the eight neighbours
  // agree: the classic median test rejected every crest column (a fifth of the field).
  Synthesise(dir, {"--field", "sine", "--amplitude", "2", "--wavelength", "128", "--direction", "x"});
  ASSERT_EQ(Tarvex(dir, {"-deform", "3"}).status, 0);
  const TruthScore crests = Compare(dir);
  EXPECT_GE(crests.valid, 860);
  EXPECT_LT(crests.rms, 0.06);
  EXPECT_EQ(crests.outliers, 0.0);
}

// The valid vectors of p.dpiv with a component beyond `limit` px, and the largest
// component of a valid vector.
std::pair<int, double> LongVectors(const TempDir& dir, double limit) {
  int longer = 0;
  double longest = 0.0;
  for (const DPIVRecord& r : ReadDPIVFile(dir.file("p.dpiv"))) {
    if (r.flag != 1) continue;
    const double component = std::max(std::fabs(r.u), std::fabs(r.v));
    longer += component > limit;
    longest = std::max(longest, component);
  }
  return {longer, longest};
}

TEST(DeformEndToEnd, AFixedPatternInADarkCornerGivesNoWildVector) {
  // A corner without particle light, where the sensor adds 3 counts to every odd row: its
  // correlation is a ridge along x, and the 64 px first pass picks any point on it. The
  // flow is 7.4 px; nothing valid may come near what 64 px windows could not measure.
  TempDir dir;
  const RunResult r = RunProgram("pivsynth",
                                 {"--size", "384x384", "--dx", "-7.4", "--dy", "0.8", "--dim", "224,224,383,383,0",
                                  "--row-pattern", "3,224,224,383,383", "--noise", "1", "--seed", "2", "--out",
                                  "p.b16"},
                                 dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* reference : {"midpoint", "first"}) {
    ASSERT_EQ(Tarvex(dir, {"-deform", "3", "-dft0", "64", "-deformref", reference}).status, 0);
    const auto [longer, longest] = LongVectors(dir, 12.0);
    EXPECT_EQ(longer, 0) << reference << ", the largest component " << longest;
  }
}

TEST(DeformEndToEnd, ADenseGridOnASmallImageStaysWithinItsWindows) {
  // 8 px windows at every pixel of a 64 x 64 pair moved by (1.5, 0.5) px: few particles a
  // window, so the field is rough, but no valid vector goes beyond half a window along either
  // axis, and none is referred to the first image from where nothing was measured.
  TempDir dir;
  const RunResult r = RunProgram("pivsynth", {"--size", "64x64", "--dx", "1.5", "--dy", "0.5", "--out", "p.b16"},
                                 dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* reference : {"midpoint", "first"}) {
    const RunResult t = RunProgram("tarvex", {"-dft", "8", "-gspac", "1", "1", "-deform", "2", "-deformref", reference, "p.b16"},
                                   dir.path(), "1 2\n");
    ASSERT_EQ(t.status, 0) << t.err;
    const auto [longer, longest] = LongVectors(dir, 4.0);
    EXPECT_EQ(longer, 0) << reference << ", the largest component " << longest;
  }
}

TEST(DeformEndToEnd, LambOseenVortex) {
  TempDir dir;
  Synthesise(dir, {"--field", "vortex", "--gamma", "600", "--core", "30"});
  ASSERT_EQ(Tarvex(dir, {"-subpix", "gauss3", "-meansub"}).status, 0);
  const TruthScore single = Compare(dir);
  ASSERT_EQ(Tarvex(dir, {"-deform", "3"}).status, 0);
  const TruthScore s = Compare(dir);
  EXPECT_EQ(s.valid, 900);
  EXPECT_LT(s.rms, 0.03);
  EXPECT_LT(s.rms, single.rms / 2);
}

TEST(DeformEndToEnd, LargerFirstWindowFindsALargeShift) {
  // 18 px is beyond half of 32 px windows, so their single pass fails; 64 px windows
  // at the same points find it, and the 32 px passes refine it.
  TempDir dir;
  Synthesise(dir, {"--dx", "18.3", "--dy", "-6.1"});
  ASSERT_EQ(Tarvex(dir, {"-deform", "2"}).status, 0);
  const TruthScore without = Compare(dir);
  EXPECT_GT(without.rms, 1.0);
  const RunResult r = Tarvex(dir, {"-deform", "2", "-dft0", "64"});
  ASSERT_EQ(r.status, 0) << r.err;
  const TruthScore s = Compare(dir);
  EXPECT_EQ(s.valid, 900);
  EXPECT_LT(s.rms, 0.03);
  EXPECT_EQ(s.outliers, 0.0);
  EXPECT_EQ(PassLines(r.out).size(), 2u);
}

TEST(DeformEndToEnd, ChecksAndSmoothingJudgeTheFinalField) {
  TempDir dir;
  Synthesise(dir, {"--field", "shear", "--shear", "0.02"});
  // -deform implies the accurate first pass: naming it changes nothing.
  const RunResult implied = Tarvex(dir, {"-deform", "1", "-MinRho", "0.99"});
  ASSERT_EQ(implied.status, 0) << implied.err;
  const std::string impliedFile = ReadFile(dir.file("p.dpiv"));
  const RunResult named = Tarvex(dir, {"-subpix", "gauss3", "-meansub", "-deform", "1", "-MinRho", "0.99"});
  ASSERT_EQ(named.status, 0);
  EXPECT_EQ(named.out, implied.out);
  EXPECT_EQ(ReadFile(dir.file("p.dpiv")), impliedFile);

  // The check reads the refined peaks: the deformed windows correlate above 0.99, the
  // single pass's (mean subtracted, sheared) do not. Its count is the flags in the file.
  const auto validated = [](const std::string& out) {
    std::smatch m;
    return std::regex_search(out, m, std::regex("Good Data Validated += ([0-9]+)\n")) ? std::stoi(m[1]) : -1;
  };
  const int refined = validated(implied.out);
  EXPECT_GT(refined, 800);
  int flagged = 0;
  for (const DPIVRecord& r : ReadDPIVFile(dir.file("p.dpiv"))) {
    flagged += r.flag;
    if (r.flag == 1) {
      EXPECT_GE(r.rho, 0.99);
    }
  }
  EXPECT_EQ(flagged, refined);
  const RunResult single = Tarvex(dir, {"-subpix", "gauss3", "-meansub", "-MinRho", "0.99"});
  ASSERT_EQ(single.status, 0);
  EXPECT_LT(validated(single.out), refined / 2);

  // Smoothing runs after the checks, on the refined field: each point gets the mean of
  // the valid refined vectors of its 3 x 3 block (at the border, of those there are).
  ASSERT_EQ(Tarvex(dir, {"-deform", "2", "-MVOcheck", "0.5"}).status, 0);
  const std::vector<DPIVRecord> refinedField = ReadDPIVFile(dir.file("p.dpiv"));
  ASSERT_EQ(Tarvex(dir, {"-deform", "2", "-MVOcheck", "0.5", "-s"}).status, 0);
  const std::vector<DPIVRecord> smoothed = ReadDPIVFile(dir.file("p.dpiv"));
  ASSERT_EQ(refinedField.size(), 961u);
  ASSERT_EQ(smoothed.size(), 961u);
  for (const int k : {15 * 31 + 15, 5, 29 * 31 + 29}) {
    double u = 0, v = 0;
    int n = 0;
    for (int i = k / 31 - 1; i <= k / 31 + 1; ++i)
      for (int j = k % 31 - 1; j <= k % 31 + 1; ++j) {
        if (i < 0 || j < 0 || i > 30 || j > 30 || refinedField[i * 31 + j].flag != 1) continue;
        u += refinedField[i * 31 + j].u;
        v += refinedField[i * 31 + j].v;
        ++n;
      }
    EXPECT_NEAR(smoothed[k].u, u / n, 1e-5) << k;
    EXPECT_NEAR(smoothed[k].v, v / n, 1e-5) << k;
  }
}

TEST(DeformEndToEnd, SameBytesOnAnyNumberOfThreads) {
  TempDir dir;
  Synthesise(dir, {"--field", "vortex", "--gamma", "600", "--core", "30", "--noise", "50"});
  std::string out, dpiv, plt;
  for (const char* threads : {"1", "2", "0"}) {
    const RunResult r = Tarvex(dir, {"-j", threads, "-deform", "2", "-dft0", "64", "-MVOcheck", "0.3",
                                     "-GHcheck", "3", "-s", "-tec", "p"});
    ASSERT_EQ(r.status, 0) << threads << r.err;
    if (out.empty()) {
      out = r.out;
      dpiv = ReadFile(dir.file("p.dpiv"));
      plt = ReadFile(dir.file("p.plt"));
      EXPECT_EQ(PassLines(out).size(), 2u);
      continue;
    }
    EXPECT_EQ(r.out, out) << threads;
    EXPECT_EQ(ReadFile(dir.file("p.dpiv")), dpiv) << threads;
    EXPECT_EQ(ReadFile(dir.file("p.plt")), plt) << threads;
  }
}

TEST(DeformEndToEnd, SeriesPairsAreAnalysedAsAlone) {
  // The grid and the passes keep their state from one pair to the next; the second pair's
  // field must not depend on it.
  TempDir dir;
  const RunResult synth = RunProgram("pivsynth",
                                     {"--size", "256x256", "--pairs", "2", "--field", "vortex", "--gamma",
                                      "300", "--core", "20", "--seed", "5", "--out", "s.b16"},
                                     dir.path());
  ASSERT_EQ(synth.status, 0) << synth.err;
  const RunResult series =
      RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "-deform", "2", "-all", "1", "1", "2", "s.b16"},
                 dir.path());
  ASSERT_EQ(series.status, 0) << series.err;
  EXPECT_EQ(PassLines(series.out).size(), 4u);
  const std::vector<DPIVRecord> inSeries = ReadDPIVFile(dir.file("s.0003.dpiv"));
  const RunResult alone =
      RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "-deform", "2", "s.b16"}, dir.path(), "3 4\n");
  ASSERT_EQ(alone.status, 0) << alone.err;
  const std::vector<DPIVRecord> single = ReadDPIVFile(dir.file("s.dpiv"));
  ASSERT_EQ(inSeries.size(), 225u);
  ASSERT_EQ(single.size(), 225u);
  for (size_t k = 0; k < single.size(); ++k) {
    EXPECT_EQ(inSeries[k].flag, single[k].flag) << k;
    EXPECT_EQ(inSeries[k].u, single[k].u) << k;
    EXPECT_EQ(inSeries[k].v, single[k].v) << k;
    EXPECT_EQ(inSeries[k].rho, single[k].rho) << k;
  }
}

TEST(DeformEndToEnd, RefusalsExitWithStatusOne) {
  TempDir dir;
  Synthesise(dir, {"--dx", "1"});
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-deform", "0"}, "from 1 to 20"},
      {{"-deform", "21"}, "from 1 to 20"},
      {{"-deform", "1.5"}, "from 1 to 20"},
      {{"-deform", "-3"}, "from 1 to 20"},
      {{"-deform", "three"}, "from 1 to 20"},
      {{"-deform"}, "(got \"p.b16\")"},  // the file name is taken for the value
      {{"-deform", "3", "-i"}, "-deform cannot be combined with -i"},
      {{"-deform", "3", "-subpix", "fit"}, "cannot be combined with -subpix fit"},
      {{"-dft0", "64"}, "-dft0 only applies together with -deform"},
      {{"-deform", "3", "-dft0", "32"}, "larger than the DFT size 32 x 32 (got 32)"},
      {{"-deform", "3", "-dft0", "36"}, "(got 36)"},
      {{"-deform", "3", "-dft0", "x"}, "-dft0 needs a whole positive number"},
      {{"-deformref", "first"}, "-deformref only applies together with -deform"},
      {{"-deform", "3", "-deformref", "second"}, "unknown reference \"second\" after -deformref"},
  };
  for (const auto& c : cases) {
    const RunResult r = Tarvex(dir, c.first);
    EXPECT_EQ(r.status, 1) << c.first[0];
    EXPECT_NE(r.err.find(c.second), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(dir.file("p.dpiv")));
  }
}

TEST(DeformEndToEnd, NoValidFirstVectorWritesNothing) {
  // Two blank images: the first pass finds no vector, so there is nothing to predict from.
  TempDir dir;
  WriteImagePairFile(dir.file("p.b16"), 64, 64,
                     {std::vector<uint16_t>(64 * 64, 500), std::vector<uint16_t>(64 * 64, 500)});
  const RunResult r = Tarvex(dir, {"-deform", "2", "-tec", "p"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the first pass holds no valid vector to predict from"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Writing out"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.file("p.dpiv")));
  EXPECT_FALSE(FileExists(dir.file("p.plt")));
}

}  // namespace
