// pivcompare: the error statistics of a DPIV file against pivsynth's truth file, by either
// reference point and outlier limit; its command line; the files it refuses; and pivsynth's
// pairs analysed by tarvex and scored in a fresh directory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CompareCommandLine.h"
#include "FieldComparison.h"
#include "TestSupport.h"

namespace {

const std::string kHashes(79, '#');

// A DPIV file as tarvex writes it, with the given records after the 12 header lines.
std::string Dpiv(const std::string& records) {
  return kHashes + "\n#  TITLE = TARVEX-Velocity File: f.dpiv\n# \n#  Data Structure:\n" +
         "#\tColumn 1: 0 data has been rejected; 1 data has been accepted.\n"
         "#\tColumn 2: x-position of data point\n#\tColumn 3: y-position of data point\n"
         "#\tColumn 4: x-velocity component of data point\n"
         "#\tColumn 5: y-velocity component of data point\n"
         "#\tColumn 6: CC function value corresponding to data point\n# \n" +
         kHashes + "\n" + records;
}

TEST(Pivcompare, ReportsErrorsOfTheValidVectorsOnly) {
  TempDir dir;
  WriteFile(dir.file("t.truth"), "field = uniform\ndx = 1.5\ndy = -0.5\nsize = 64x64\n");
  // Errors (0.1, 0), (-0.3, 0.4) and a rejected vector far off that must not count.
  WriteFile(dir.file("f.dpiv"),
            Dpiv("1\t1.500000e+01\t1.500000e+01\t1.600000e+00\t-5.000000e-01\t0.900\n"
                 "1\t3.100000e+01\t1.500000e+01\t1.200000e+00\t-1.000000e-01\t0.900\n"
                 "0\t1.500000e+01\t3.100000e+01\t9.000000e+00\t9.000000e+00\t0.100\n"
                 "1\t3.100000e+01\t3.100000e+01\t1.500000e+00\t-5.000000e-01\t0.900\n"));
  const RunResult r = RunProgram("pivcompare", {"f.dpiv", "t.truth"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  // rms = sqrt((0.01 + 0.25) / 3), bias = (-0.2 / 3, 0.4 / 3), one outlier (0.5 is not above 0.5).
  EXPECT_EQ(r.out, "valid 3 of 4  rms 0.2944 px  bias (-0.0667, +0.1333) px  outliers 0.0 %\n");
}

TEST(Pivcompare, EvaluatesTheFieldAtTheWindowCentre) {
  TempDir dir;
  // Shear du/dy = 0.1 about row 0.5: a window placed at y = 15 is centred on row 15.5,
  // where the true displacement is 1.5.
  WriteFile(dir.file("t.truth"), "field = shear\nshear = 0.1\ncenter = 0,0.5\nsize = 64x64\n");
  WriteFile(dir.file("f.dpiv"), Dpiv("1\t1.500000e+01\t1.500000e+01\t1.500000e+00\t0.000000e+00\t0.900\n"));
  const RunResult r = RunProgram("pivcompare", {"f.dpiv", "t.truth"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "valid 1 of 1  rms 0.0000 px  bias (+0.0000, +0.0000) px  outliers 0.0 %\n");
}

// One record line of a DPIV file: a valid vector at (x, y).
std::string Record(double x, double y, double u, double v) {
  char line[160];
  std::snprintf(line, sizeof line, "1\t%.6e\t%.6e\t%.6e\t%.6e\t0.900\n", x, y, u, v);
  return line;
}

// pivcompare run with args refuses: status 1, nothing on standard output, `err` on standard error.
void ExpectRefused(const TempDir& dir, const std::vector<std::string>& args, const std::string& err) {
  const RunResult r = RunProgram("pivcompare", args, dir.path());
  EXPECT_EQ(r.status, 1) << err;
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.out, "");
}

RunResult Compare(const TempDir& dir, std::vector<std::string> options) {
  options.insert(options.end(), {"f.dpiv", "t.truth"});
  return RunProgram("pivcompare", options, dir.path());
}

// A solid rotation of 0.2 rad about (15.5, 15.5) and the vector (0, 2) at the window placed at
// (25, 15), centred 10 px right of it: the displacement of the particle starting there. The
// particle whose path has its midpoint there moved by 0.2 (1, 10) / 1.01 (TruthReference.h).
TEST(Pivcompare, TheReferencePointDecidesWhichParticleAVectorIsComparedWith) {
  TempDir dir;
  const std::string rotation = "field = rotation\nomega = 0.2\ncenter = 15.5,15.5\nsize = 64x64\n";
  WriteFile(dir.file("f.dpiv"), Dpiv(Record(25, 15, 0, 2)));
  WriteFile(dir.file("t.truth"), rotation);
  const std::string exact = "valid 1 of 1  rms 0.0000 px  bias (+0.0000, +0.0000) px  outliers 0.0 %\n";
  // rms hypot(0.19802, 0.01980) = 0.19901.
  const std::string off = "valid 1 of 1  rms 0.1990 px  bias (-0.1980, +0.0198) px  outliers 0.0 %\n";
  RunResult r = Compare(dir, {});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, off);  // the midpoint by default
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Compare(dir, {"--reference", "midpoint"}).out, off);
  EXPECT_EQ(Compare(dir, {"--reference=first"}).out, exact);

  // The same rotation in the symmetric scheme gives the truth at the midpoints.
  WriteFile(dir.file("t.truth"), rotation + "scheme = symmetric\n");
  EXPECT_EQ(Compare(dir, {}).out, exact);
  EXPECT_EQ(Compare(dir, {"--reference", "first"}).out,
            "valid 1 of 1  rms 0.1990 px  bias (+0.1980, +0.0198) px  outliers 0.0 %\n");

  // A uniform shift is the same at both points.
  WriteFile(dir.file("t.truth"), "field = uniform\ndx = 0\ndy = 2\n");
  EXPECT_EQ(Compare(dir, {"--reference", "midpoint"}).out, exact);
  EXPECT_EQ(Compare(dir, {"--reference", "first"}).out, exact);
}

TEST(Pivcompare, AVectorWhoseReferenceDoesNotConvergeIsLeftOutAndCounted) {
  TempDir dir;
  // omega = 3: the steps along the path diverge everywhere but at the centre (15.5, 15.5).
  WriteFile(dir.file("t.truth"), "field = rotation\nomega = 3\ncenter = 15.5,15.5\n");
  WriteFile(dir.file("f.dpiv"),
            Dpiv(Record(15, 15, 0.1, 0) + Record(31, 15, 0, 0) + Record(15, 31, 0, 0) + Record(31, 31, 0, 0)));
  const RunResult r = Compare(dir, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "valid 1 of 4  rms 0.1000 px  bias (+0.1000, +0.0000) px  outliers 0.0 %\n");
  EXPECT_EQ(r.err, "pivcompare: 3 valid vectors left out: the midpoint-referred truth did not converge at their "
                   "window centres\n");
  // Given at the first-image positions, the first reference needs no steps.
  const RunResult first = Compare(dir, {"--reference", "first"});
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.out.substr(0, 12), "valid 4 of 4");
  // One alone is named in the singular.
  WriteFile(dir.file("f.dpiv"), Dpiv(Record(31, 15, 0, 0)));
  const RunResult one = Compare(dir, {});
  EXPECT_EQ(one.out, "valid 0 of 1\n");
  EXPECT_EQ(one.err, "pivcompare: 1 valid vector left out: the midpoint-referred truth did not converge at its "
                     "window centre\n");
}

TEST(Pivcompare, OutlierLimitIsAnOption) {
  TempDir dir;
  WriteFile(dir.file("t.truth"), "field = uniform\ndx = 1.5\ndy = -0.5\nsize = 64x64\n");
  // Errors 0.1, 0.5 and 0: above 0.4 px one of three, above 0.05 px two.
  WriteFile(dir.file("f.dpiv"),
            Dpiv(Record(15, 15, 1.6, -0.5) + Record(31, 15, 1.2, -0.1) + Record(47, 15, 1.5, -0.5)));
  const auto outliers = [&dir](const std::vector<std::string>& options) {
    const std::string out = Compare(dir, options).out;
    return out.substr(out.find("outliers"));
  };
  EXPECT_EQ(outliers({}), "outliers 0.0 %\n");
  EXPECT_EQ(outliers({"--outlier", "0.4"}), "outliers 33.3 %\n");
  EXPECT_EQ(outliers({"--outlier=0.05"}), "outliers 66.7 %\n");
}

TEST(Pivcompare, RefusesBadInput) {
  TempDir dir;
  WriteFile(dir.file("t.truth"), "field = uniform\ndx = 1\n");
  WriteFile(dir.file("bad.truth"), "field uniform\n");
  WriteFile(dir.file("f.dpiv"), Dpiv("1\t1.500000e+01\t1.500000e+01\t1.0\t0.0\t0.9\n"));
  WriteFile(dir.file("junk.dpiv"), "not a DPIV file\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"f.dpiv"}, {"missing.dpiv", "t.truth"}, {"junk.dpiv", "t.truth"},
           {"f.dpiv", "missing.truth"}, {"f.dpiv", "bad.truth"}}) {
    const RunResult r = RunProgram("pivcompare", args, dir.path());
    EXPECT_EQ(r.status, 1) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_EQ(RunProgram("pivcompare", {"--help"}, dir.path()).status, 0);
}

TEST(Pivcompare, RefusesEmptyFilesDirectoriesAndATruthWithoutAField) {
  TempDir dir;
  WriteFile(dir.file("t.truth"), "field = uniform\ndx = 1\n");
  WriteFile(dir.file("f.dpiv"), Dpiv("1\t1.500000e+01\t1.500000e+01\t1.0\t0.0\t0.9\n"));
  WriteFile(dir.file("empty.truth"), "");
  WriteFile(dir.file("nofield.truth"), "size = 64x64\nnoise = 2\n");
  WriteFile(dir.file("empty.dpiv"), "");
  std::filesystem::create_directory(dir.file("dir.truth"));
  std::filesystem::create_directory(dir.file("dir.dpiv"));
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"f.dpiv", "empty.truth"}, "pivcompare: empty.truth is empty\n"},
      {{"f.dpiv", "dir.truth"}, "pivcompare: dir.truth is a directory, not a truth file\n"},
      {{"f.dpiv", "nofield.truth"}, "pivcompare: nofield.truth holds no field (no \"field = ...\" line)\n"},
      {{"empty.dpiv", "t.truth"}, "pivcompare: empty.dpiv is empty\n"},
      {{"dir.dpiv", "t.truth"}, "pivcompare: dir.dpiv is a directory, not a DPIV file\n"},
  };
  for (const auto& [args, message] : cases) ExpectRefused(dir, args, message);
}

TEST(Pivcompare, UsageErrorsNameTheOptionAndShowTheUsage) {
  TempDir dir;
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--reference", "start", "a", "b"}, "pivcompare: --reference: 'start' is not one of midpoint, first\n"},
      {{"--outlier", "0", "a", "b"}, "pivcompare: --outlier: '0' is not a number of pixels above 0\n"},
      {{"--outlier=-1", "a", "b"}, "pivcompare: --outlier: '-1' is not a number of pixels above 0\n"},
      {{"--outlier", "1px", "a", "b"}, "pivcompare: --outlier: '1px' is not a number of pixels above 0\n"},
      {{"a", "b", "--reference"}, "pivcompare: option --reference needs a value\n"},
      {{"--exclude-border", "2", "a", "b"}, "pivcompare: unknown option '--exclude-border'\n"},
      {{"--reference", "first", "a"}, ""},
      {{"a", "b", "c"}, ""},
  };
  for (const auto& [args, message] : cases) ExpectRefused(dir, args, message + CompareUsage());
  const RunResult help = RunProgram("pivcompare", {"-h"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, CompareUsage());
}

TEST(PivcompareCommandLine, TheHeadersExamples) {
  const auto parse = [](std::vector<std::string> words, CompareSettings& s, std::string& error) {
    words.insert(words.begin(), "pivcompare");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    return ParseCompareCommandLine(static_cast<int>(words.size()), argv.data(), s, error);
  };
  CompareSettings s;
  std::string error;
  ASSERT_EQ(parse({"run.dpiv", "run.b16.truth"}, s, error), CompareCommand::Compare);
  EXPECT_EQ(s.reference, ReferencePoint::Midpoint);
  EXPECT_EQ(s.outlierLimit, 0.5);
  EXPECT_EQ(s.dpivPath, "run.dpiv");
  EXPECT_EQ(s.truthPath, "run.b16.truth");
  CompareSettings t;
  ASSERT_EQ(parse({"--reference", "first", "--outlier=0.25", "run.dpiv", "run.b16.truth"}, t, error),
            CompareCommand::Compare);
  EXPECT_EQ(t.reference, ReferencePoint::First);
  EXPECT_EQ(t.outlierLimit, 0.25);
  EXPECT_EQ(parse({"--help"}, s, error), CompareCommand::Help);
  EXPECT_EQ(parse({"-h"}, s, error), CompareCommand::Help);
  EXPECT_EQ(parse({"run.dpiv"}, s, error), CompareCommand::UsageError);
  EXPECT_EQ(error, "");
  EXPECT_EQ(parse({"--reference", "start", "a", "b"}, s, error), CompareCommand::UsageError);
  EXPECT_EQ(error, "--reference: 'start' is not one of midpoint, first");
}

TEST(PivcompareStatistics, TheHeadersExample) {
  VectorField field;
  field.vectors = {{true, 15, 15, 1.6, -0.5, 0.9},
                   {true, 31, 15, 1.2, -0.1, 0.9},
                   {false, 15, 31, 9, 9, 0.1},
                   {true, 31, 31, 1.5, -0.5, 0.9}};
  TruthRecord truth;
  truth.field.dx = 1.5;
  truth.field.dy = -0.5;
  const ComparisonSummary s = CompareWithTruth(field, truth, ReferencePoint::Midpoint, 0.5);
  EXPECT_EQ(s.points, 4);
  EXPECT_EQ(s.valid, 3);
  EXPECT_EQ(s.unscored, 0);
  EXPECT_NEAR(s.sumSquares, 0.26, 1e-12);
  EXPECT_EQ(SummaryLine(s), "valid 3 of 4  rms 0.2944 px  bias (-0.0667, +0.1333) px  outliers 0.0 %\n");
  EXPECT_EQ(SummaryLine(CompareWithTruth(field, truth, ReferencePoint::First, 0.4)),
            "valid 3 of 4  rms 0.2944 px  bias (-0.0667, +0.1333) px  outliers 33.3 %\n");
  EXPECT_EQ(SummaryLine(ComparisonSummary{}), "valid 0 of 0\n");
  // A wild vector: the line holds all 150-odd digits of its error and ends as every line does.
  VectorField wild;
  wild.vectors = {{true, 15, 15, 1e150, 0, 0.9}};
  const std::string line = SummaryLine(CompareWithTruth(wild, truth, ReferencePoint::First, 0.5));
  EXPECT_GT(line.size(), 300u);
  EXPECT_EQ(line.substr(line.size() - 17), "outliers 100.0 %\n");
}

// pivsynth's pairs analysed by tarvex: a uniform shift made in the symmetric scheme is found
// as in the first scheme, and scores the same by either reference.
TEST(PivcompareEndToEnd, SymmetricPairsOfAShiftAreMeasuredAndScoredAlike) {
  TempDir dir;
  for (const char* scheme : {"first", "symmetric"}) {
    ASSERT_EQ(RunProgram("pivsynth", {"--size", "128x128", "--dx", "2.3", "--dy", "-1.2", "--seed", "5", "--scheme",
                                      scheme, "--out", "p.b16"},
                         dir.path())
                  .status,
              0);
    ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "-subpix", "gauss3", "-meansub", "p.b16"},
                         dir.path(), "1 2\n")
                  .status,
              0);
    const RunResult mid = RunProgram("pivcompare", {"p.dpiv", "p.b16.truth"}, dir.path());
    const RunResult first = RunProgram("pivcompare", {"--reference", "first", "p.dpiv", "p.b16.truth"}, dir.path());
    ASSERT_EQ(mid.status, 0) << mid.err;
    EXPECT_EQ(mid.out, first.out) << scheme;
    int valid = 0, points = 0;
    double rms = 0, bu = 0, bv = 0, outliers = 0;
    ASSERT_EQ(std::sscanf(mid.out.c_str(), "valid %d of %d rms %lf px bias (%lf, %lf) px outliers %lf", &valid,
                          &points, &rms, &bu, &bv, &outliers),
              6)
        << mid.out;
    EXPECT_EQ(valid, 36) << scheme;
    EXPECT_EQ(points, 49);
    EXPECT_LT(rms, 0.1) << scheme;
    EXPECT_LT(std::fabs(bu), 0.05) << scheme;
    EXPECT_LT(std::fabs(bv), 0.05) << scheme;
    EXPECT_EQ(outliers, 0.0);
  }
}

}  // namespace
