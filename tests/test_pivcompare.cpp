// pivcompare: the error statistics of a DPIV file against pivsynth's truth file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

}  // namespace
