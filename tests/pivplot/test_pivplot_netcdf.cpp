// pivplot on NetCDF files: a field file draws as the DPIV file it came from, byte for byte,
// calibrated or not; a statistics file draws its mean with a colour map of any of its
// variables (points without a mean get no arrow and no colour); the units of a calibrated
// file label the colour bar and the reference arrow; and what cannot be drawn is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DpivFile.h"
#include "PngPicture.h"
#include "TestSupport.h"

namespace {

const Rgb kWhite{255, 255, 255};
const Rgb kViridisLow{68, 1, 84};     // viridis at 0
const Rgb kViridisHigh{253, 231, 37};  // viridis at 1

// A 4 x 2 grid from (15, 15) every 16 px, as from an 80 x 48 image with 32 px windows.
std::vector<VectorRecord> Grid(const std::vector<double>& u, const std::vector<bool>& valid) {
  std::vector<VectorRecord> records;
  for (size_t k = 0; k < u.size(); k++)
    records.push_back({valid[k], 15.0 + 16 * static_cast<double>(k % 4), 15.0 + 16 * static_cast<double>(k / 4), u[k],
                       -0.5 * u[k], 0.75});
  return records;
}

void WriteDpiv(const TempDir& dir, const std::string& name, const std::vector<VectorRecord>& records) {
  std::string error;
  ASSERT_EQ(WriteDpivFile(dir.file(name).c_str(), records, error), WriteStatus::Ok) << error;
}

RunResult Program(const TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  return RunProgram(program, args, dir.path());
}

}  // namespace

TEST(PivplotNetcdf, AFieldFileDrawsAsItsDpivFile) {
  TempDir dir;
  WriteDpiv(dir, "f.dpiv", Grid({8, 0, 5, 2, 4, 1, 3, 6}, {true, true, false, true, true, true, false, true}));
  ASSERT_EQ(Program(dir, "pivexport", {"-o", "f.nc", "f.dpiv"}).status, 0);
  ASSERT_EQ(Program(dir, "pivexport", {"-o", "cal.nc", "--scale", "2", "--unit", "mm", "--dt", "0.5", "--origin", "7", "3",
                                   "f.dpiv"})
                .status,
            0);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--no-decorations", "--scale", "1"},
        std::vector<std::string>{"--no-decorations", "--color", "speed", "--cells"},
        std::vector<std::string>{"--no-decorations", "--color", "vorticity", "--rejected", "hide"}}) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"f.dpiv", "dpiv.png"});
    const RunResult dpiv = Program(dir, "pivplot", args);
    ASSERT_EQ(dpiv.status, 0) << dpiv.err;
    for (const char* netcdf : {"f.nc", "cal.nc"}) {
      args.end()[-2] = netcdf;
      args.end()[-1] = "nc.png";
      const RunResult r = Program(dir, "pivplot", args);
      ASSERT_EQ(r.status, 0) << r.err;
      // 2 px per mm and 0.5 s: a velocity in mm s-1 has the number of the displacement in
      // px, and the vorticity in s-1 that in 1/frame.
      EXPECT_TRUE(ReadFile(dir.file("nc.png")) == ReadFile(dir.file("dpiv.png"))) << netcdf << " " << options[1];
      // The same counts; the scale's unit and the picture's name differ.
      auto counts = [](const std::string& out) {
        return out.substr(out.find('\n'), out.find("picture:") - out.find('\n'));
      };
      EXPECT_EQ(counts(r.out), counts(dpiv.out)) << netcdf;
    }
  }
  const RunResult calibrated = Program(dir, "pivplot", {"--scale", "1", "cal.nc"});
  EXPECT_EQ(calibrated.out,
            "scale: 1 px per mm s-1 (given)\nvalid vectors: 6\nrejected vectors: 2\npicture: cal.png (205 x 157 px)\n");
  // The colour bar and the reference arrow in the file's units.
  ASSERT_EQ(Program(dir, "pivplot", {"--pdf", "--color", "vorticity", "cal.nc"}).status, 0);
  const RunResult words = RunProgram("/usr/bin/pdftotext", {"cal.pdf", "-"}, dir.path());
  EXPECT_NE(words.out.find("vorticity (s-1)"), std::string::npos) << words.out;
  EXPECT_NE(words.out.find("mm s-1"), std::string::npos) << words.out;
  EXPECT_NE(words.out.find("cal.nc: 6 of 8 vectors valid"), std::string::npos) << words.out;
}

TEST(PivplotNetcdf, AStatisticsFileDrawsItsMeanAndAnyVariable) {
  TempDir dir;
  // Point 0: u = 1 three times (u_std 0); point 1: 0, 2, 4 (u_std 2, the largest); point 2
  // never valid; point 3 valid once (a mean, no u_std); the rest 2, 2.5, 3.
  const std::vector<bool> valid = {true, true, false, true, true, true, true, true};
  WriteDpiv(dir, "a.dpiv", Grid({1, 0, 0, 3, 2, 2, 2, 2}, valid));
  WriteDpiv(dir, "b.dpiv", Grid({1, 2, 0, 3, 2.5, 2.5, 2.5, 2.5}, {true, true, false, false, true, true, true, true}));
  WriteDpiv(dir, "c.dpiv", Grid({1, 4, 0, 3, 3, 3, 3, 3}, {true, true, false, false, true, true, true, true}));
  ASSERT_EQ(Program(dir, "pivstats", {"-o", "s.nc", "a.dpiv", "b.dpiv", "c.dpiv"}).status, 0);
  const RunResult r = Program(dir, "pivplot", {"--no-decorations", "--color", "u_std", "--cells", "s.nc"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "scale: 4.77028 px per px of displacement (automatic)\npoints with a mean: 7\npoints without a mean: 1\n"
            "picture: s.png (80 x 48 px)\n");
  const Picture p = ReadPng(dir.file("s.png"));
  ASSERT_EQ(p.width, 80);
  // The cells of the first row are x = 7..22, 23..38, 39..54 and 55..70. Away from the
  // arrows (which point right and up): u_std 0 and 2 at the map's ends.
  EXPECT_EQ(p.At(10, 20), kViridisLow);
  EXPECT_EQ(p.At(26, 20), kViridisHigh);
  // No mean: no colour, no arrow; a mean without a deviation: an arrow, no colour.
  for (int x = 40; x <= 54; x++) EXPECT_EQ(p.At(x, 20), kWhite) << x;
  EXPECT_EQ(p.At(58, 20), kWhite);
  EXPECT_FALSE(p.At(63, 15) == kWhite);  // the arrow's tail

  // n_valid is a variable like any other; the default title counts the points with a mean.
  ASSERT_EQ(Program(dir, "pivplot", {"--pdf", "--color", "n_valid", "s.nc"}).status, 0);
  const RunResult words = RunProgram("/usr/bin/pdftotext", {"s.pdf", "-"}, dir.path());
  EXPECT_NE(words.out.find("s.nc: mean of 7 of 8 points"), std::string::npos) << words.out;
  EXPECT_NE(words.out.find("n_valid (1)"), std::string::npos) << words.out;
  // A series file: --step picks the field, and the name of a variable per step reads that step.
  ASSERT_EQ(Program(dir, "pivexport", {"-o", "series.nc", "a.dpiv", "b.dpiv", "c.dpiv"}).status, 0);
  const RunResult step = Program(dir, "pivplot", {"--step", "1", "--color", "peak", "series.nc"});
  ASSERT_EQ(step.status, 0) << step.err;
  EXPECT_NE(step.out.find("valid vectors: 6\nrejected vectors: 2\n"), std::string::npos) << step.out;
}

TEST(PivplotNetcdf, WhatCannotBeDrawnIsRefused) {
  TempDir dir;
  WriteDpiv(dir, "f.dpiv", Grid({1, 2, 3, 4, 5, 6, 7, 8}, std::vector<bool>(8, true)));
  ASSERT_EQ(Program(dir, "pivstats", {"-o", "s.nc", "f.dpiv"}).status, 0);
  ASSERT_EQ(Program(dir, "pivexport", {"-o", "f.nc", "f.dpiv"}).status, 0);
  WriteFile(dir.file("grid.cdl"),
            "netcdf grid { dimensions: y = 1 ; x = 2 ; variables: double x(x) ; double y(y) ; float p(y, x) ; "
            "data: x = 15.5, 31.5 ; y = 15.5 ; p = 1, 2 ; }");
  ASSERT_EQ(RunProgram("/usr/bin/ncgen", {"-4", "-o", "grid.nc", "grid.cdl"}, dir.path()).status, 0);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"--color", "pressure", "s.nc"}, 1,
       "pivplot: s.nc has no variable pressure on its grid; it has u_mean, v_mean, u_std, v_std, uv_cov, n_valid\n"},
      {{"--step", "1", "f.nc"}, 1, "pivplot: f.nc holds 1 fields (time steps 0 to 0), not a field 1\n"},
      {{"--color", "u_std", "f.dpiv", "s.nc"}, 1,
       "pivplot: f.dpiv is a DPIV file: it has no variable u_std (--color takes speed, vorticity, divergence, u, v or "
       "none there)\n"},
      {{"grid.nc"}, 1,
       "pivplot: grid.nc holds neither vector fields (u, v and flag on time, y and x) nor their statistics (u_mean "
       "and v_mean on y and x)\n"},
      {{"--step", "-1", "f.nc"}, 2, "pivplot: --step needs a whole number of 0 or more\n"},
  };
  for (const auto& c : cases) {
    const RunResult r = Program(dir, "pivplot", c.args);
    EXPECT_EQ(r.status, c.status) << c.message;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message);
    EXPECT_FALSE(FileExists(dir.file("s.png")) || FileExists(dir.file("f.png")) || FileExists(dir.file("grid.png")));
  }
}
