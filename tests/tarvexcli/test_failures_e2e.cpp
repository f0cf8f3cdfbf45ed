// Failures never pass for success: a file that cannot be written completely, a pair whose
// images cannot be read and a window without a correlation peak each end in a message and a
// non-zero status, or in zeros, never in a file that looks like a finished result.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

// Runs tarvex with files limited to `kilobytes` (the shell's ulimit -f; SIGXFSZ ignored so
// that a write past the limit fails with EFBIG instead of ending the program).
RunResult RunTarvexWithFileLimit(const std::string& dir, int blocks,
                                 const std::vector<std::string>& args, const std::string& in) {
  std::vector<std::string> shell = {"-c", "trap '' XFSZ; ulimit -f " + std::to_string(blocks) +
                                              " && exec \"$0\" \"$@\"",
                                    BinPath("tarvex")};
  shell.insert(shell.end(), args.begin(), args.end());
  return RunProgram("/bin/sh", shell, dir, in);
}

class FailuresEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunProgram("pivsynth", {"--size", "256x256", "--dx", "2.3", "--dy", "-1.2", "--pairs", "2",
                                      "--seed", "4", "--out", "run.b16"},
                         dir.path())
                  .status,
              0);
    // A first run leaves the wisdom file, so that the limited runs only write their results.
    ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "run.b16"}, dir.path(), "1 2\n").status, 0);
  }
  TempDir dir;
};

}  // namespace

TEST_F(FailuresEndToEnd, AFullDiskLeavesNoFileAndFails) {
  const std::vector<std::string> args = {"-dft", "32", "-gspac", "16", "16", "-tec", "out", "run.b16"};
  const RunResult whole = RunProgram("tarvex", args, dir.path(), "1 2\n");
  ASSERT_EQ(whole.status, 0) << whole.err;
  ASSERT_TRUE(FileExists(dir.file("run.dpiv")));
  ASSERT_GT(ReadFile(dir.file("run.dpiv")).size(), 8192u);
  ASSERT_EQ(std::remove(dir.file("run.dpiv").c_str()), 0);
  ASSERT_EQ(std::remove(dir.file("out.plt").c_str()), 0);

  // 8 blocks of 512 bytes (4 KiB): less than either file needs.
  const RunResult full = RunTarvexWithFileLimit(dir.path(), 8, args, "1 2\n");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.out, whole.out);  // the console text is the run's as always
  EXPECT_EQ(full.err,
            "tarvex: cannot write 'out.plt': File too large\n"
            "tarvex: cannot write 'run.dpiv': File too large\n");
  EXPECT_FALSE(FileExists(dir.file("run.dpiv")));
  EXPECT_FALSE(FileExists(dir.file("out.plt")));
  // Nor is a temporary file left behind.
  const RunResult listing = RunProgram("/bin/ls", {"-A"}, dir.path());
  EXPECT_EQ(listing.out, "FFTPlans.Wisdom.dat\nrun.b16\nrun.b16.truth\n");
}

TEST_F(FailuresEndToEnd, AnOlderResultStaysWholeWhenTheNewOneCannotBeWritten) {
  const std::vector<std::string> args = {"-dft", "32", "-gspac", "16", "16", "run.b16"};
  ASSERT_EQ(RunProgram("tarvex", args, dir.path(), "1 2\n").status, 0);
  const std::string before = ReadFile(dir.file("run.dpiv"));
  const RunResult full = RunTarvexWithFileLimit(dir.path(), 8, {"-dft", "32", "-gspac", "8", "8", "run.b16"},
                                                "1 2\n");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(ReadFile(dir.file("run.dpiv")), before);
}

TEST_F(FailuresEndToEnd, AFailedWriteInASeriesFailsTheRunButNotTheOtherPairs) {
  // 64 x 64 windows at 64 px: 3 x 3 points, a DPIV file of about 1.3 KiB fits in 4 KiB;
  // 16 px spacing gives 13 x 13 points and does not. Both pairs fail alike here, so the run
  // must report both and keep going.
  const RunResult r = RunTarvexWithFileLimit(dir.path(), 8,
                                             {"-dft", "64", "-gspac", "16", "16", "-all", "1", "1", "2",
                                              "run.b16"},
                                             "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvex: cannot write 'run.0001.dpiv': File too large\n"
                   "tarvex: cannot write 'run.0003.dpiv': File too large\n");
  const RunResult fits =
      RunTarvexWithFileLimit(dir.path(), 8, {"-dft", "64", "-all", "1", "1", "2", "run.b16"}, "");
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_TRUE(FileExists(dir.file("run.0001.dpiv")));
  EXPECT_TRUE(FileExists(dir.file("run.0003.dpiv")));
}

// Image ids are kept in 16 bits: in a series reaching past image 65535 the store cannot
// select the later images. Their pairs are reported and not analysed, where before they
// were analysed on the previous pair's images and written as if they were the new ones.
TEST(SeriesFailures, APairWhoseImagesCannotBeReadIsNotAnalysed) {
  TempDir dir;
  const int side = 8, images = 65537;
  std::string bytes = {static_cast<char>(side), 0, static_cast<char>(side), 0};
  for (int k = 0; k < images; k++)
    for (int p = 0; p < side * side; p++) {
      const uint16_t v = static_cast<uint16_t>((p * 37 + k * 11) % 4000);
      bytes.push_back(static_cast<char>(v & 0xff));
      bytes.push_back(static_cast<char>(v >> 8));
    }
  WriteFile(dir.file("long.b16"), bytes);
  const RunResult r = RunProgram("tarvex", {"-dft", "4", "-all", "65534", "1", "1", "long.b16"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Read PIV Image 65534 -> 64 px\nRead PIV Image 65535 -> 64 px\n"), std::string::npos);
  EXPECT_TRUE(FileExists(dir.file("long.65534.dpiv")));
  EXPECT_FALSE(FileExists(dir.file("long.65535.dpiv")));
  EXPECT_FALSE(FileExists(dir.file("long.65536.dpiv")));
  EXPECT_NE(r.err.find("tarvex: pair 65535, 65536 not analysed: an image could not be read\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("tarvex: pair 65536, 65537 not analysed: an image could not be read\n"),
            std::string::npos)
      << r.err;
  // Each pair still shows what happened to its images, in its place in the console text.
  EXPECT_NE(r.out.find("Read PIV Image 65535 -> 64 px\n\nError 2nd Image out of Range .... \n"),
            std::string::npos);
}

// Flat images have no correlation peak anywhere: every point is rejected, with zero
// displacement and zero peak, not the peak search's -(n/2 - 1) px and -10000000.000.
TEST(PeaklessPoints, AreWrittenWithZeros) {
  TempDir dir;
  WriteImagePairFile(dir.file("flat.b16"), 64, 64,
                     {std::vector<uint16_t>(64 * 64, 900), std::vector<uint16_t>(64 * 64, 900)});
  const RunResult r = RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "flat.b16"}, dir.path(), "1 2\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<DPIVRecord> records = ReadDPIVFile(dir.file("flat.dpiv"));
  ASSERT_EQ(records.size(), 9u);
  for (const DPIVRecord& p : records) {
    EXPECT_EQ(p.flag, 0);
    EXPECT_EQ(p.u, 0.0);
    EXPECT_EQ(p.v, 0.0);
    EXPECT_EQ(p.rho, 0.0);
  }
}
