// tarvex -nc end to end: next to each DPIV file a NetCDF field file holding the same field
// (read back here), its metadata, a series that -resume completes when a field file is
// missing or cut short, tarvex-mpi writing the same fields, the refusal to write over the
// input, and no field file without the option.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "DpivFile.h"
#include "FieldNetcdf.h"
#include "NetcdfReader.h"
#include "TestSupport.h"

namespace {

// The field file's field against the DPIV file's records: flags, and u, v, peak where the
// point holds a measurement (fill values read as a point without one).
void ExpectSameField(const std::string& netcdf, const std::string& dpiv) {
  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(netcdf)) << reader.Error();
  ASSERT_EQ(reader.Steps(), 1u);
  FieldFrame frame;
  ASSERT_TRUE(reader.ReadField(0, frame)) << reader.Error();
  const std::vector<DPIVRecord> records = ReadDPIVFile(dpiv);
  ASSERT_EQ(frame.vectors.size(), records.size());
  int valid = 0;
  for (size_t k = 0; k < records.size(); ++k) {
    const VectorRecord& n = frame.vectors[k];
    const DPIVRecord& d = records[k];
    EXPECT_EQ(n.valid ? 1 : 0, d.flag) << k;
    EXPECT_NEAR(n.x, d.x, 1e-9) << k;
    EXPECT_NEAR(n.y, d.y, 1e-9) << k;
    // The DPIV file rounds to 7 significant digits, the field file holds floats.
    EXPECT_NEAR(n.u, d.u, 1e-5 * (1 + std::fabs(d.u))) << k;
    EXPECT_NEAR(n.v, d.v, 1e-5 * (1 + std::fabs(d.v))) << k;
    EXPECT_NEAR(n.peak, d.rho, 1e-3) << k;
    valid += d.flag;
  }
  EXPECT_GT(valid, 0);
}

RunResult Tarvex(const TempDir& dir, std::vector<std::string> args, const std::string& input = "") {
  return RunProgram("tarvex", args, dir.path(), input);
}

TEST(NetcdfOutput, OneFieldNextToTheDpivFileWithItsMetadata) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth", {"--size", "128x96", "--field", "vortex", "--gamma", "300", "--core", "20",
                                    "--out", "run.b16"}, dir.path()).status, 0);
  const RunResult r = Tarvex(dir, {"-nc", "-dft", "32", "-gspac", "16", "16", "-deform", "2", "run.b16"}, "1 2\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Writing out DPIV file: run.dpiv, please wait ....\n"
                       "Writing out NetCDF file: run.nc, please wait ....\n"),
            std::string::npos)
      << r.out;
  ExpectSameField(dir.file("run.nc"), dir.file("run.dpiv"));
  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(dir.file("run.nc")));
  EXPECT_EQ(reader.Grid().nx, 7);
  EXPECT_EQ(reader.Grid().ny, 5);
  EXPECT_EQ(reader.Metadata().window_x, 32);
  EXPECT_EQ(reader.Metadata().displacement_reference, "midpoint");
  EXPECT_NE(reader.Metadata().analysis_options.find("-deform 2; -dft0 off; -deformref midpoint"),
            std::string::npos)
      << reader.Metadata().analysis_options;
  EXPECT_TRUE(FieldFileHolds(dir.file("run.nc"), 7, 5));
  EXPECT_FALSE(FieldFileHolds(dir.file("run.nc"), 7, 6));
  // A deformation analysis adds each vector's uncertainty: a value wherever the vector is
  // valid, the fill value elsewhere.
  FieldFrame frame;
  ASSERT_TRUE(reader.ReadField(0, frame));
  ASSERT_EQ(frame.extras.size(), 2u);
  EXPECT_EQ(frame.extras[0].name, "sigma_u");
  EXPECT_EQ(frame.extras[1].name, "sigma_v");
  for (size_t k = 0; k < frame.vectors.size(); ++k) {
    EXPECT_EQ(std::isnan(frame.extras[0].values[k]), !frame.vectors[k].valid) << k;
    if (frame.vectors[k].valid) {
      EXPECT_GT(frame.extras[0].values[k], 0.0) << k;
      EXPECT_LT(frame.extras[0].values[k], 0.5) << k;
    }
  }
  // pivstats carries them into the uncertainty of the means.
  ASSERT_EQ(RunProgram("pivstats", {"-o", "stats.nc", "run.nc"}, dir.path()).status, 0);
  NetcdfFieldReader stats;
  ASSERT_TRUE(stats.Open(dir.file("stats.nc"))) << stats.Error();
  EXPECT_NE(stats.Find("u_mean_uncertainty"), nullptr);
  EXPECT_NE(stats.Find("v_mean_uncertainty"), nullptr);

  // The two-pass analysis moves the second window: its vectors belong to the first image.
  ASSERT_EQ(Tarvex(dir, {"-nc", "-i", "-dft", "32", "-gspac", "16", "16", "run.b16"}, "1 2\n").status, 0);
  ASSERT_TRUE(reader.Open(dir.file("run.nc")));
  EXPECT_EQ(reader.Metadata().displacement_reference, "first image");
  EXPECT_EQ(reader.Find("sigma_u"), nullptr);

  // Without the option nothing but the DPIV file.
  ASSERT_EQ(std::remove(dir.file("run.nc").c_str()), 0);
  ASSERT_EQ(Tarvex(dir, {"-dft", "32", "run.b16"}, "1 2\n").status, 0);
  EXPECT_FALSE(FileExists(dir.file("run.nc")));
}

TEST(NetcdfOutput, ResumeWritesAgainTheFieldFilesThatAreNotWhole) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth", {"--size", "96x96", "--pairs", "3", "--dx", "1.5", "--dy", "0.5", "--out",
                                    "run.b16"}, dir.path()).status, 0);
  const std::vector<std::string> args = {"-nc", "-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "run.b16"};
  ASSERT_EQ(Tarvex(dir, args).status, 0);
  for (const char* name : {"run.0001.nc", "run.0003.nc", "run.0005.nc"}) ASSERT_TRUE(FileExists(dir.file(name)));
  // One field file gone, one cut short: -resume analyses those two pairs again, and keeps
  // the third, whose files are whole.
  const std::string kept = ReadFile(dir.file("run.0005.nc"));
  ASSERT_EQ(std::remove(dir.file("run.0001.nc").c_str()), 0);
  const std::string whole = ReadFile(dir.file("run.0003.nc"));
  WriteFile(dir.file("run.0003.nc"), whole.substr(0, whole.size() / 2));
  std::vector<std::string> resume = args;
  resume.insert(resume.begin(), "-resume");
  const RunResult r = Tarvex(dir, resume);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Resuming: 1 pair already written"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(dir.file("run.0005.nc")), kept);
  for (const char* pair : {"run.0001", "run.0003", "run.0005"})
    ExpectSameField(dir.file(std::string(pair) + ".nc"), dir.file(std::string(pair) + ".dpiv"));
}

TEST(NetcdfOutput, RefusesToWriteOverItsInput) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth", {"--size", "64x64", "--out", "run.nc"}, dir.path()).status, 0);
  const std::string input = ReadFile(dir.file("run.nc"));
  const RunResult r = Tarvex(dir, {"-nc", "-dft", "32", "run.nc"}, "1 2\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("refusing to write run.nc"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir.file("run.nc")), input);
  EXPECT_FALSE(FileExists(dir.file("run.dpiv")));
}

}  // namespace
