// Series runs: reading ahead and writing behind change nothing printed or written; -resume
// finishes an interrupted run with the files of an uninterrupted one; the progress line
// appears on a terminal only.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ProgressLine.h"
#include "TestSupport.h"
#include "images/PIVImage.h"
#include "support/Console.h"

namespace tarvex {

namespace {

const std::vector<std::string> kSeries = {"-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2",
                                          "-tec", "t", "run.b16"};

// The DPIV and Tecplot files of the 6 pairs of run.b16 in dir, concatenated with their names.
std::string SeriesFiles(const TempDir& dir) {
  std::string all;
  for (int first = 1; first <= 11; first += 2) {
    char dpiv[32], plt[32];
    std::snprintf(dpiv, sizeof dpiv, "run.%04d.dpiv", first);
    std::snprintf(plt, sizeof plt, "t.%04d.plt", first);
    all += std::string(dpiv) + ":" + ReadFile(dir.file(dpiv)) + plt + ":" + ReadFile(dir.file(plt));
  }
  return all;
}

class Series : public testing::Test {
 protected:
  void SetUp() override {
    // A shift whose whole-pixel offsets (-i) are far from a rounding boundary: see
    // docs/series-and-cluster.md, "Resuming", for why -i needs that to resume byte for byte.
    ASSERT_EQ(RunProgram("pivsynth", {"--size", "192x160", "--dx", "2.3", "--dy", "-1.2", "--pairs", "6",
                                      "--seed", "8", "--noise", "30", "--out", "run.b16"},
                         dir.path())
                  .status,
              0);
    // The wisdom file is made once, so that every run below prints the same start.
    ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "run.b16"}, dir.path(), "1 2\n").status, 0);
  }
  std::vector<std::string> With(std::vector<std::string> options) {
    options.insert(options.end(), kSeries.begin(), kSeries.end());
    return options;
  }
  TempDir dir;
};

}  // namespace

TEST_F(Series, ResumeAfterLostFilesGivesTheFilesOfAWholeRun) {
  for (const std::vector<std::string>& mode :
       {std::vector<std::string>{}, {"-i", "-MVOcheck", "1"}, {"-subpix", "gauss3", "-meansub", "-s", "-j", "2"}}) {
    const RunResult whole = RunProgram("tarvex", With(mode), dir.path());
    ASSERT_EQ(whole.status, 0) << whole.err;
    const std::string files = SeriesFiles(dir);
    // Pairs 3 and 4 (first images 5, 7) and pair 6 are lost, pair 5 survives.
    for (const char* lost : {"run.0005.dpiv", "t.0007.plt", "run.0011.dpiv"})
      ASSERT_EQ(std::remove(dir.file(lost).c_str()), 0);
    std::vector<std::string> again = mode;
    again.push_back("-resume");
    const RunResult resumed = RunProgram("tarvex", With(again), dir.path());
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_TRUE(SeriesFiles(dir) == files) << "resumed files differ, mode " << mode.size();
    EXPECT_NE(resumed.out.find("Resuming: 2 pairs already written, skipped (first images 1 to 3)\n"),
              std::string::npos)
        << resumed.out;
    EXPECT_NE(resumed.out.find("Resuming: 1 pair already written, skipped (first images 9 to 9)\n"),
              std::string::npos);
    EXPECT_EQ(resumed.out.find("Writing out DPIV file: run.0001.dpiv"), std::string::npos);
    EXPECT_NE(resumed.out.find("Writing out DPIV file: run.0005.dpiv"), std::string::npos);
    // A finished run resumed does nothing but say so.
    const RunResult finished = RunProgram("tarvex", With(again), dir.path());
    EXPECT_EQ(finished.status, 0);
    EXPECT_NE(finished.out.find("Resuming: 6 pairs already written, skipped (first images 1 to 11)\n"),
              std::string::npos);
    EXPECT_EQ(finished.out.find("Writing out"), std::string::npos);
  }
}

TEST_F(Series, AKilledRunResumedGivesTheFilesOfAWholeRun) {
  // A dense grid, so that a pair takes long enough to be killed in the middle of the series.
  const std::vector<std::string> options = {"-i", "-s", "-dft", "32", "-gspac", "4", "4", "-all", "1", "1",
                                            "2", "-tec", "t", "run.b16"};
  ASSERT_EQ(RunProgram("tarvex", options, dir.path()).status, 0);
  const std::string files = SeriesFiles(dir);
  for (int first = 1; first <= 11; first += 2) {
    char name[32];
    std::snprintf(name, sizeof name, "run.%04d.dpiv", first);
    std::remove(dir.file(name).c_str());
    std::snprintf(name, sizeof name, "t.%04d.plt", first);
    std::remove(dir.file(name).c_str());
  }
  // Killed as soon as the second pair's DPIV file is there.
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0 || !freopen("/dev/null", "w", stdout)) _exit(127);
    std::vector<std::string> argv_s = {BinPath("tarvex")};
    argv_s.insert(argv_s.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : argv_s) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!FileExists(dir.file("run.0003.dpiv")) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it could be killed";
  EXPECT_FALSE(FileExists(dir.file("run.0011.dpiv")));
  std::vector<std::string> again = options;
  again.insert(again.begin(), "-resume");
  const RunResult resumed = RunProgram("tarvex", again, dir.path());
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_TRUE(SeriesFiles(dir) == files) << "the files of the resumed run differ";
}

// Reading ahead only moves the reading earlier: a store that read the next images ahead
// reports a short image exactly as one that reads it when it is selected.
TEST(ReadAhead, AShortImageIsReportedAsWithoutReadingAhead) {
  TempDir dir;
  std::vector<std::vector<uint16_t>> images;
  // Images larger than a stdio buffer, so that no reader holds image 4 before it is cut.
  const size_t n = 64 * 64;
  for (int k = 0; k < 4; k++) images.push_back(std::vector<uint16_t>(n, static_cast<uint16_t>(100 * k + 7)));
  WriteImagePairFile(dir.file("four.b16"), 64, 64, images);
  std::string aheadText, plainText;
  Console aheadConsole(&aheadText), plainConsole(&plainText);
  PIVImage ahead(dir.file("four.b16").c_str(), aheadConsole), plain(dir.file("four.b16").c_str(), plainConsole);
  ASSERT_EQ(ahead.NumberImages(), 4);
  // Image 4 loses its last 10 pixels after both stores have counted it.
  ASSERT_EQ(truncate(dir.file("four.b16").c_str(), 4 + 2 * (3 * n + n - 10)), 0);
  aheadText.clear();
  plainText.clear();
  ahead.ReadAhead(3, 4);
  EXPECT_TRUE(ahead.SetFirstImg(3));
  EXPECT_FALSE(ahead.SetSecondImg(4));
  EXPECT_TRUE(plain.SetFirstImg(3));
  EXPECT_FALSE(plain.SetSecondImg(4));
  EXPECT_EQ(aheadText, plainText);
  EXPECT_EQ(aheadText,
            "Read PIV Image 3 -> 4096 px\n"
            "\nProblem occured reading PIV image 4,\n\t only read 4086 px out of 4096 px .....\n\n");
  EXPECT_EQ(std::vector<uint16_t>(ahead.I1, ahead.I1 + n), images[2]);
  // Images not read ahead are read when selected.
  ahead.ReadAhead(1, 2);
  EXPECT_TRUE(ahead.SetFirstImg(2));
  EXPECT_TRUE(ahead.SetSecondImg(3));
  EXPECT_EQ(std::vector<uint16_t>(ahead.I1, ahead.I1 + n), images[1]);
  EXPECT_EQ(std::vector<uint16_t>(ahead.I2, ahead.I2 + n), images[2]);
}

TEST_F(Series, TheProgressLineAppearsOnATerminalOnly) {
  const std::string terminal = RunWithTerminalStandardError("tarvex", kSeries, dir.path());
  EXPECT_NE(terminal.find("tarvex: 6 of 6 pairs"), std::string::npos) << terminal;
  // It is erased at the end.
  EXPECT_EQ(terminal.substr(terminal.size() - 4), "\r\033[K");
  const std::string logged = ReadFile(dir.file("out.txt"));
  EXPECT_TRUE(logged == RunProgram("tarvex", kSeries, dir.path()).out) << "standard output differs";
  EXPECT_EQ(RunProgram("tarvex", kSeries, dir.path()).err, "");
}

// The background's pass over the 12 images draws its own line first, on a terminal only.
TEST_F(Series, TheBackgroundsProgressLineAppearsOnATerminalOnly) {
  const std::vector<std::string> withBackground = With({"-bg", "min"});
  const std::string terminal = RunWithTerminalStandardError("tarvex", withBackground, dir.path());
  const size_t background = terminal.find("tarvex: background, 12 of 12 images");
  EXPECT_NE(background, std::string::npos) << terminal;
  EXPECT_LT(background, terminal.find("tarvex: 6 of 6 pairs"));
  EXPECT_EQ(terminal.substr(terminal.size() - 4), "\r\033[K");
  const RunResult logged = RunProgram("tarvex", withBackground, dir.path());
  EXPECT_EQ(logged.err, "");
  EXPECT_TRUE(ReadFile(dir.file("out.txt")) == logged.out) << "standard output differs";
}

TEST(ProgressText, GivesPairsRateAndTimeLeft) {
  EXPECT_EQ(ProgressLine::Text(120, 3000, 10.0), "tarvex: 120 of 3000 pairs, 12.0 pairs/s, 4 min 0 s left");
  EXPECT_EQ(ProgressLine::Text(0, 3000, 0.0), "tarvex: 0 of 3000 pairs");
  EXPECT_EQ(ProgressLine::Text(500, 2000, 2.0, "tarvex", "images", "background"),
            "tarvex: background, 500 of 2000 images, 250.0 images/s, 0 min 6 s left");
  EXPECT_EQ(ProgressLine::Text(0, 2000, 0.0, "tarvex", "images", "background"), "tarvex: background, 0 of 2000 images");
}

}  // namespace tarvex
