// The analysis library called from C++ without the command line: its results are the
// command line's, byte for byte, and two analyses with different settings can live in one
// process without one seeing the other's settings.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "AnalysisPresets.h"
#include "DpivFile.h"
#include "PairAnalysis.h"
#include "PlanTable.h"
#include "TestSupport.h"
#include "images/PIVImage.h"
#include "support/Console.h"

namespace tarvex {

namespace {

// A pivsynth pair and what the command line makes of it with the given options.
struct CommandLineRun {
  std::string dpiv;     // the DPIV file's bytes
  std::string console;  // standard output from the grid line on
};

class PairAnalysisTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunProgram("pivsynth",
                         {"--size", "160x128", "--field", "vortex", "--gamma", "300", "--core",
                          "20", "--seed", "3", "--noise", "10", "--out", "pair.b16"},
                         dir.path())
                  .status,
              0);
  }

  CommandLineRun RunTarvex(std::vector<std::string> args) {
    args.push_back("pair.b16");
    const RunResult r = RunProgram("tarvex", args, dir.path(), "1 2\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const size_t from = r.out.find("\nCalculating TARVEX");
    const size_t to = r.out.find("Writing out DPIV file");
    EXPECT_NE(from, std::string::npos);
    return {ReadFile(dir.file("pair.dpiv")),
            r.out.substr(from + sizeof "\nCalculating TARVEX, please wait .....\n" - 1,
                         to - from - (sizeof "\nCalculating TARVEX, please wait .....\n" - 1))};
  }

  // The library's DPIV file of the analysis' field, read back as bytes.
  std::string LibraryDpiv(const PairAnalysis& analysis, const char* name) {
    const std::string path = dir.file(name);
    std::string error;
    EXPECT_EQ(WriteDpivFile(path.c_str(), analysis.Records(true), error), WriteStatus::Ok) << error;
    std::string bytes = ReadFile(path);
    // The title line names the file as it was given.
    const size_t at = bytes.find(path);
    if (at != std::string::npos) bytes.replace(at, path.size(), "pair.dpiv");
    return bytes;
  }

  TempDir dir;
};

}  // namespace

TEST_F(PairAnalysisTest, TwoAnalysesWithDifferentSettingsInOneProcessMatchTheCommandLine) {
  const CommandLineRun plain = RunTarvex({"-dft", "32", "-gspac", "16", "16"});
  const CommandLineRun accurate = RunTarvex({"-dft", "32", "-gspac", "16", "16", "-subpix",
                                             "gauss3", "-meansub", "-i", "-MVOcheck", "0.5",
                                             "-s"});
  ASSERT_NE(plain.dpiv, accurate.dpiv);

  std::string ignored;
  Console quiet(&ignored);
  PIVImage images(dir.file("pair.b16").c_str(), quiet);
  ASSERT_TRUE(images.HoldsImages());

  AnalysisSettings second = Windows32At16();
  second.subpix = SubPixelEstimator::Gauss3;
  second.meanSubtraction = true;
  second.twoPass = true;
  second.checkMedian = true;
  second.medianThreshold = 0.5f;
  second.smooth = true;

  std::string firstText, secondText;
  Console firstConsole(&firstText), secondConsole(&secondText);
  PairAnalysis first(Windows32At16(), Plans(), images, firstConsole);
  PairAnalysis other(second, Plans(), images, secondConsole);
  // Interleaved: the second analysis runs between two runs of the first.
  ASSERT_TRUE(first.Analyse(false));
  ASSERT_TRUE(other.Analyse(false));
  const std::string firstDpiv = LibraryDpiv(first, "first.dpiv");
  ASSERT_TRUE(first.Analyse(false));

  EXPECT_EQ(firstDpiv, plain.dpiv);
  EXPECT_EQ(LibraryDpiv(first, "again.dpiv"), plain.dpiv);
  EXPECT_EQ(LibraryDpiv(other, "second.dpiv"), accurate.dpiv);
  EXPECT_EQ(secondText, accurate.console);
  // Each console holds its own analysis' text only: the plain runs print nothing.
  EXPECT_EQ(firstText, "");
  EXPECT_EQ(plain.console, "");
}

TEST_F(PairAnalysisTest, ImagesFromMemoryGiveTheFileResult) {
  std::string ignored;
  Console quiet(&ignored);
  PIVImage fromFile(dir.file("pair.b16").c_str(), quiet);
  ASSERT_TRUE(fromFile.HoldsImages());
  const size_t n = static_cast<size_t>(fromFile.Width()) * fromFile.Height();
  const std::vector<uint16_t> a(fromFile.I1, fromFile.I1 + n), b(fromFile.I2, fromFile.I2 + n);

  PIVImage fromMemory(fromFile.Width(), fromFile.Height());
  EXPECT_FALSE(fromMemory.HoldsImages());
  fromMemory.LoadPair(a.data(), b.data());
  ASSERT_TRUE(fromMemory.HoldsImages());

  PairAnalysis onFile(Windows32At16(), Plans(), fromFile, quiet);
  PairAnalysis inMemory(Windows32At16(), Plans(), fromMemory, quiet);
  ASSERT_TRUE(onFile.Analyse(false));
  ASSERT_TRUE(inMemory.Analyse(false));
  EXPECT_EQ(LibraryDpiv(inMemory, "memory.dpiv"), LibraryDpiv(onFile, "file.dpiv"));
  EXPECT_EQ(LibraryDpiv(inMemory, "memory.dpiv"), RunTarvex({"-dft", "32", "-gspac", "16", "16"}).dpiv);
}

TEST_F(PairAnalysisTest, ACancelFlagLeftClearChangesNothingAndOnceSetStopsTheAnalysis) {
  std::string ignored;
  Console quiet(&ignored);
  PIVImage images(dir.file("pair.b16").c_str(), quiet);
  ASSERT_TRUE(images.HoldsImages());
  AnalysisSettings deform = Deformation32At16(2);
  deform.threads = 2;
  for (const AnalysisSettings& settings : {Windows32At16(), deform}) {
    PairAnalysis plain(settings, Plans(), images, quiet);
    ASSERT_TRUE(plain.Analyse(false));
    std::atomic<bool> cancel{false};
    PairAnalysis watched(settings, Plans(), images, quiet);
    watched.SetCancelFlag(&cancel);
    ASSERT_TRUE(watched.Analyse(false));
    EXPECT_EQ(LibraryDpiv(watched, "watched.dpiv"), LibraryDpiv(plain, "plain.dpiv"));

    // Set before it starts: no point is measured, and the analysis says why it stopped.
    cancel = true;
    PairAnalysis cancelled(settings, Plans(), images, quiet);
    cancelled.SetCancelFlag(&cancel);
    const Status stopped = cancelled.Analyse(false);
    EXPECT_FALSE(stopped);
    EXPECT_STREQ(stopped.message(), "the analysis was cancelled");
    for (const VectorRecord& r : cancelled.Records(true)) {
      EXPECT_FALSE(r.valid);
      EXPECT_EQ(r.peak, 0.0);
    }
  }
}

// With pre-processing the pair is processed into the analysis's own store: the images read
// stay as they are, a second analysis of them gives the same field, and the field is the
// command line's (-bg with a file of the same background, -highpass, -cap).
TEST_F(PairAnalysisTest, PreprocessingLeavesTheImagesReadAsTheyAreAndMatchesTheCommandLine) {
  std::string ignored;
  Console quiet(&ignored);
  PIVImage images(dir.file("pair.b16").c_str(), quiet);
  ASSERT_TRUE(images.HoldsImages());
  const size_t n = static_cast<size_t>(images.Width()) * images.Height();
  const std::vector<uint16_t> a(images.I1, images.I1 + n);
  std::vector<uint16_t> glow(n);
  for (size_t i = 0; i < n; ++i) glow[i] = static_cast<uint16_t>(i % 160 / 4);
  WriteImagePairFile(dir.file("bg.b16"), 160, 128, {glow});
  const CommandLineRun cli =
      RunTarvex({"-dft", "32", "-gspac", "16", "16", "-deform", "1", "-bg", "bg.b16", "-highpass", "9", "-cap"});

  AnalysisSettings s = Deformation32At16(1);
  s.subtractBackground = true;
  s.highPassSize = 9;
  s.capIntensity = true;
  std::string text;
  Console console(&text);
  PairAnalysis analysis(s, Plans(), images, console);
  BackgroundImage background;
  background.width = 160;
  background.height = 128;
  background.sums.assign(glow.begin(), glow.end());
  EXPECT_FALSE(analysis.SetBackground(BackgroundImage{}));
  ASSERT_TRUE(analysis.SetBackground(background));
  ASSERT_TRUE(analysis.Analyse(false));
  const std::string first = LibraryDpiv(analysis, "first.dpiv");
  EXPECT_EQ(std::vector<uint16_t>(images.I1, images.I1 + n), a);
  ASSERT_TRUE(analysis.Analyse(false));
  EXPECT_EQ(LibraryDpiv(analysis, "again.dpiv"), first);
  EXPECT_EQ(first, cli.dpiv);
  EXPECT_EQ(text, cli.console + cli.console);
}

TEST(PairAnalysisGrid, CountsFollowTheWindowAndSpacing) {
  EXPECT_EQ(GridCount(256, 32, 16), 15);
  EXPECT_EQ(GridCount(512, 64, 64), 8);
  EXPECT_EQ(GridCount(512, 64, 32), 15);
  EXPECT_EQ(GridCount(32, 32, 16), 1);
  EXPECT_EQ(GridCount(31, 32, 16), 0);
}

}  // namespace tarvex
