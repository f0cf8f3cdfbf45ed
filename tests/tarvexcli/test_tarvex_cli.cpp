// Console dialogue of the built tarvex up to the loaded image pair: banner, usage text,
// file-name prompt, header report, pair prompt, and the refusals of the command line.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

const std::string& kBanner = kTarvexBanner;

const std::string kUsage =
    "\n\nUSAGE: tarvex <-o> <-i> <-MinRho min> <-MaxVelRat mvr> <-GHcheck C3> <-MVOcheck C4> <-DMVOcheck C1 C2>"
    "  <-s> <-gspac dx dy>  <-all start inc stride>  <-tec \"name\".plt>  -dft dftx<xdfty> B16-IMAGE-FILENAME\n \n"
    "INPUT:\n"
    "\t-dft dftx<xdfty>  : specify DFT size, if only dftx specified => dfty = dftx\n"
    "\tB16-IMAGE-FILENAME: file containing digital image pairs\n"
    "OPTIONS:\n"
    "\t-o              : optimise FFT\n"
    "\t-i              : iterate => 2 Pass TARVEX analysis with 2nd image offset\n"
    "\t-MinRho         : specify minimum Max(CC) = min\n"
    "\t-MaxVelRat      : specify max ratio = mvr = velocity/(hypot(dftx,dfty)\n"
    "\t-GHcheck        : Global Histogram Validation\n"
    "\t                  C3 = number of standard deviations - MUST BE SPECIFIED!\n"
    "\t-MVOcheck       : Meadian Value Operator Data Validation\n"
    "\t                  C4 is a user supplied threshold value - MUST BE SPECIFIED!\n"
    "\t-DMVOcheck      : Dynamic Mean Value Operator Data Validation\n"
    "\t                  C1, C2 are user supplied constants - MUST BE SPECIFIED!\n"
    "\t-s              : smooth data using 3x3, except at boundary\n"
    "\t-gspac          : specify grid spacing: dx - horizontal (default = dftx)\n"
    "\t                                        dy - vertical   (default = dfty)\n"
    "\t-all            : analyse multiple image pairs - USER MUST SPECIFY:\n"
    "\t                  start  = id of first image in first image pair\n"
    "\t                  inc    = increment between 1st & 2nd image in image pair\n"
    "\t                  stride = stride in 1st image between image pairs\n"
    "\t-tec            : write out data in TecPlot file\n"
    "\t                  for single image pair \"name\".plt is output file name\n"
    "\t                  for multi image pair analysis \"name\".xxxx.plt is output file names\n"
    "\n\n";

const std::string kHeaderReport3x8x4 =
    "\n\nNumber of PIV Images          = 3\n"
    "Size of Images                = 8 px x 4 px\n"
    "Memory Size of each PIV Image = 64 bytes\n";

const std::string kPairPrompt = "\nselect image pair 1 and 2 > ";

// Writes a file of three 8 x 4 images into dir.
void WriteThreeImages(const TempDir& dir, const std::string& name) {
  std::vector<std::vector<uint16_t>> images(3, std::vector<uint16_t>(32));
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 32; ++i) images[k][i] = static_cast<uint16_t>(100 * k + i);
  WriteImagePairFile(dir.file(name), 8, 4, images);
}

// Position of `part` in `text` at or after `from`, failing the test when it is absent.
size_t FindAfter(const std::string& text, const std::string& part, size_t from) {
  size_t at = text.find(part, from);
  EXPECT_NE(at, std::string::npos) << "missing in order: [" << part << "] in:\n" << text;
  return at == std::string::npos ? from : at + part.size();
}

TEST(TarvexCli, NoArgumentsPrintsBannerAndUsage) {
  TempDir dir;
  RunResult r = RunProgram("tarvex", {}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + kUsage);
  EXPECT_EQ(r.err, "");
}

TEST(TarvexCli, BannerReportAndPairSelection) {
  TempDir dir;
  WriteThreeImages(dir, "run.b16");
  RunResult r = RunProgram("tarvex", {"run.b16"}, dir.path(), "2 3\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind(kBanner, 0), 0u) << r.out;
  size_t at = FindAfter(r.out, kHeaderReport3x8x4, kBanner.size());
  at = FindAfter(r.out, kPairPrompt + "\nRead PIV Image 2 -> 32 px\nRead PIV Image 3 -> 32 px\n", at);
  EXPECT_EQ(r.out.find("out of Range"), std::string::npos);
}

TEST(TarvexCli, OutOfRangePairKeepsGoing) {
  TempDir dir;
  WriteThreeImages(dir, "run.b16");
  RunResult r = RunProgram("tarvex", {"run.b16"}, dir.path(), "0 4\n");
  EXPECT_EQ(r.status, 0) << r.err;
  FindAfter(r.out,
            kPairPrompt + "\n\nError 1st Image out of Range .... \n\nError 2nd Image out of Range .... \n",
            0);
  EXPECT_EQ(r.out.find("Read PIV Image"), std::string::npos);
}

TEST(TarvexCli, PromptsUntilFileOpens) {
  TempDir dir;
  WriteThreeImages(dir, "good.b16");
  RunResult r = RunProgram("tarvex", {"-dft", "8", "missing.b16"}, dir.path(), "also-missing.b16\ngood.b16\n1 2\n");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string expected = kBanner +
                               "\nfile missing.b16 does not exist .......\n\tenter filename > "
                               "\nfile also-missing.b16 does not exist .......\n\tenter filename > ";
  EXPECT_EQ(r.out.substr(0, expected.size()), expected);
  size_t at = FindAfter(r.out, kHeaderReport3x8x4, expected.size());
  FindAfter(r.out, kPairPrompt + "\nRead PIV Image 1 -> 32 px\nRead PIV Image 2 -> 32 px\n", at);
}

TEST(TarvexCli, EndOfInputAtFilePromptFails) {
  TempDir dir;
  RunResult r = RunProgram("tarvex", {"missing.b16"}, dir.path(), "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kBanner + "\nfile missing.b16 does not exist .......\n\tenter filename > ");
  EXPECT_NE(r.err, "");
}

TEST(TarvexCli, BadInputAtPairPromptFails) {
  TempDir dir;
  WriteThreeImages(dir, "run.b16");
  for (const char* input : {"", "1\n", "one two\n", "1 x\n"}) {
    RunResult r = RunProgram("tarvex", {"run.b16"}, dir.path(), input);
    EXPECT_EQ(r.status, 1) << "input [" << input << "]";
    EXPECT_NE(r.err, "") << "input [" << input << "]";
    EXPECT_EQ(r.out.find("Read PIV Image"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - kPairPrompt.size()), kPairPrompt);
  }
}

TEST(TarvexCli, UnreadableHeaderFails) {
  TempDir dir;
  WriteFile(dir.file("short.b16"), "ab");
  RunResult r = RunProgram("tarvex", {"short.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err, "");
  EXPECT_EQ(r.out.find(kPairPrompt), std::string::npos);
}

TEST(TarvexCli, RefusedCommandLinesExitOneWithoutPrompt) {
  TempDir dir;
  WriteThreeImages(dir, "run.b16");
  const std::vector<std::vector<std::string>> refused = {
      {"-all", "1", "2"},
      {"-gspac", "0", "16", "run.b16"},
      {"-dft", "0", "run.b16"},
      {"-all", "1", "1", "0", "run.b16"},
      {"-tec", std::string(200, 'n'), "run.b16"},
      {std::string(200, 'f')},
  };
  for (const auto& args : refused) {
    RunResult r = RunProgram("tarvex", args, dir.path(), "run.b16\n1 2\n");
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err, "") << args[0];
    EXPECT_EQ(r.out, kBanner) << args[0];
  }
}

}  // namespace
