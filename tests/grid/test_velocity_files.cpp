// The Tecplot and DPIV velocity files: exact text, rejected points, empty grids,
// default names and unopenable names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "TestSupport.h"
#include "grid/PIVGrid.h"

namespace tarvex {

class PIVGridTestAccess {
 public:
  static void SetVelocity(PIVGrid& g, int k, float u, float v) {
    g.Vx[k] = u;
    g.Vy[k] = v;
  }
};

// Marks a point as holding a measurement, as a successful correlation would.
class PIVPointTestAccess {
 public:
  static void SetMeasured(PIVPoint& p) { p.measured = true; }
};

namespace {

const std::string kHashes =
    "###############################################################################\n";

std::string DPIVHeader(const std::string& name) {
  return kHashes + "#  TITLE = TARVEX-Velocity File: " + name + "\n" +
         "# \n"
         "#  Data Structure:\n"
         "#\tColumn 1: 0 data has been rejected; 1 data has been accepted.\n"
         "#\tColumn 2: x-position of data point\n"
         "#\tColumn 3: y-position of data point\n"
         "#\tColumn 4: x-velocity component of data point\n"
         "#\tColumn 5: y-velocity component of data point\n"
         "#\tColumn 6: CC function value corresponding to data point\n"
         "# \n" +
         kHashes;
}

// A hand-made 2 x 1 grid at Xoff 10, Yoff 20, 32 px windows every 16 px: point 0 at
// (25, 35) valid with (1.5, -0.25) and peak 0.8123; point 1 at (41, 35) rejected with
// (2, 3) and peak 0.1.
struct TwoPointGrid {
  PIVGrid grid{1, 9999, 2, 1, 10, 20, 16, 16, 0, 0, 32, 32, unknown, nullptr, nullptr};
  TwoPointGrid() {
    PIVPointTestAccess::SetMeasured(grid.Point(0));
    PIVPointTestAccess::SetMeasured(grid.Point(1));
    grid.Point(0).setOn(1);
    grid.Point(0).PIV()->rho[0] = 0.8123f;
    PIVGridTestAccess::SetVelocity(grid, 0, 1.5f, -0.25f);
    grid.Point(1).setOn(0);
    grid.Point(1).PIV()->rho[0] = 0.1f;
    PIVGridTestAccess::SetVelocity(grid, 1, 2.0f, 3.0f);
  }
};

// Runs f in directory dir, returning what it printed on standard output.
template <typename F>
std::string StdoutIn(const std::string& dir, F f) {
  char cwd[4096];
  EXPECT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(chdir(dir.c_str()), 0);
  testing::internal::CaptureStdout();
  f();
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(chdir(cwd), 0);
  return out;
}

}  // namespace

TEST(DPIVFile, HeaderAndRecordsAreExact) {
  TempDir dir;
  TwoPointGrid t;
  const std::string name = dir.file("run.dpiv");
  ASSERT_TRUE(t.grid.WriteBasicDPIVFile(name.c_str()));
  EXPECT_EQ(ReadFile(name), DPIVHeader(name) +
                                "1\t2.500000e+01\t3.500000e+01\t1.500000e+00\t-2.500000e-01\t0.812\n"
                                "0\t4.100000e+01\t3.500000e+01\t2.000000e+00\t3.000000e+00\t0.100\n");
}

// A point that was never measured, or whose plane had no peak, holds the peak search's
// placeholders (peak -1e7, displacement -(n/2 - 1)); none of them may reach the file.
TEST(DPIVFile, PointsWithoutAMeasurementAreWrittenWithZeroPeak) {
  TempDir dir;
  PIVGrid fresh{1, 9999, 2, 1, 10, 20, 16, 16, 0, 0, 32, 32, unknown, nullptr, nullptr};
  fresh.Point(0).PIV()->rho[0] = -1e7f;  // a placeholder on a point never measured
  const std::string name = dir.file("fresh.dpiv");
  ASSERT_TRUE(fresh.WriteBasicDPIVFile(name.c_str()));
  const std::vector<DPIVRecord> records = ReadDPIVFile(name);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].rho, 0.0);
  EXPECT_EQ(records[0].u, 0.0);
  EXPECT_EQ(records[0].flag, 0);
}

TEST(TecplotFile, RejectedPointsCarryZerosUnlessAllIsSet) {
  TempDir dir;
  TwoPointGrid t;
  const std::string name = dir.file("run.plt");
  const std::string header = "TITLE=\"TARVEX-Velocity File: " + name +
                             "\"\n"
                             "VARIABLES=\"X\" \"Y\" \"U\" \"V\"\n"
                             "ZONE F = POINT, I=          2, J=          1\n";
  ASSERT_TRUE(t.grid.WriteTecPlotVelocityFile(name.c_str(), 0));
  EXPECT_EQ(ReadFile(name), header +
                                "25.000000 35.000000 1.500000e+00 -2.500000e-01\n"
                                "41.000000 35.000000 0.000000e+00 0.000000e+00\n");
  ASSERT_TRUE(t.grid.WriteTecPlotVelocityFile(name.c_str(), 1));
  EXPECT_EQ(ReadFile(name), header +
                                "25.000000 35.000000 1.500000e+00 -2.500000e-01\n"
                                "41.000000 35.000000 2.000000e+00 3.000000e+00\n");
}

TEST(VelocityFiles, GridWithoutPointsWritesHeadersOnly) {
  TempDir dir;
  PIVGrid empty(1, 9999, 0, 5, 0, 0, 32, 32, 0, 0, 32, 32, unknown, nullptr, nullptr);
  const std::string plt = dir.file("e.plt"), dpiv = dir.file("e.dpiv");
  ASSERT_TRUE(empty.WriteTecPlotVelocityFile(plt.c_str(), 1));
  ASSERT_TRUE(empty.WriteBasicDPIVFile(dpiv.c_str()));
  EXPECT_EQ(ReadFile(plt), "TITLE=\"TARVEX-Velocity File: " + plt +
                               "\"\n"
                               "VARIABLES=\"X\" \"Y\" \"U\" \"V\"\n"
                               "ZONE F = POINT, I=          0, J=          5\n");
  EXPECT_EQ(ReadFile(dpiv), DPIVHeader(dpiv));
}

TEST(VelocityFiles, NullNamesUseTheDefaultFiles) {
  TempDir dir;
  TwoPointGrid t;
  bool tec = false, dp = false;
  const std::string out = StdoutIn(dir.path(), [&] {
    tec = t.grid.WriteTecPlotVelocityFile(nullptr, 0);
    dp = t.grid.WriteBasicDPIVFile(nullptr);
  });
  EXPECT_TRUE(tec);
  EXPECT_TRUE(dp);
  EXPECT_EQ(out, "");
  const std::string plt = ReadFile(dir.file("TARVEX-Vel.plt"));
  EXPECT_EQ(plt.substr(0, plt.find('\n') + 1), "TITLE= \"TARVEX-Velocity File: TARVEX-Vel.plt\"\n");
  const std::string dpiv = ReadFile(dir.file("TARVEX-Vel.dpiv"));
  EXPECT_EQ(dpiv.substr(0, dpiv.find("1\t")), DPIVHeader("TARVEX-Vel.dpiv"));
}

TEST(VelocityFiles, UnopenableNamesReportAndFail) {
  TempDir dir;
  TwoPointGrid t;
  const std::string plt = dir.file("missing/run.plt"), dpiv = dir.file("missing/run.dpiv");
  bool tec = true, dp = true;
  std::string out = StdoutIn(dir.path(), [&] {
    tec = t.grid.WriteTecPlotVelocityFile(plt.c_str(), 1);
    dp = t.grid.WriteBasicDPIVFile(dpiv.c_str());
  });
  EXPECT_FALSE(tec);
  EXPECT_FALSE(dp);
  EXPECT_EQ(out, "\n Cannot open TecPlot output file: " + plt + " ....\n\n" +
                     "\n Cannot open DPIV output file: " + dpiv + " ....\n\n");
  EXPECT_FALSE(FileExists(dir.file("missing")));

  // Default names that cannot be opened: directories of those names are in the way.
  ASSERT_EQ(mkdir(dir.file("TARVEX-Vel.plt").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.file("TARVEX-Vel.dpiv").c_str(), 0755), 0);
  out = StdoutIn(dir.path(), [&] {
    tec = t.grid.WriteTecPlotVelocityFile(nullptr, 0);
    dp = t.grid.WriteBasicDPIVFile(nullptr);
  });
  EXPECT_FALSE(tec);
  EXPECT_FALSE(dp);
  EXPECT_EQ(out,
            "\n Cannot open TecPlot output file: TARVEX-Vel.plt ....\n\n"
            "\n Cannot open DPIV output file: TARVEX-Vel.dpiv ....\n\n");
}

}  // namespace tarvex
