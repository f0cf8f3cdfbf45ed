// Measuring the points of a pass on several threads (-j): the same bytes on the console
// and in every output file for every thread count, on pivsynth inputs; the option's
// refusals; and the grid's thread setting.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ParseParameters.h"
#include "PlanTable.h"
#include "Settings.h"
#include "TestSupport.h"
#include "grid/PIVGrid.h"

namespace tarvex {

namespace {

// Every regular file of a directory, by name, with its contents.
std::map<std::string, std::string> DirectoryContents(const TempDir& dir) {
  std::map<std::string, std::string> files;
  DIR* d = opendir(dir.path().c_str());
  if (d == nullptr) return files;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    files[name] = ReadFile(dir.file(name));
  }
  closedir(d);
  return files;
}

struct TarvexRun {
  RunResult result;
  std::map<std::string, std::string> files;  // the input file left out
};

// A vortex field over three pairs of 256 x 256 images: displacements that vary from point
// to point, so that any mix-up between points shows.
std::string Input() {
  static const std::string bytes = [] {
    TempDir dir;
    const RunResult r = RunProgram("pivsynth",
                                   {"--size", "256x256", "--pairs", "3", "--field", "vortex",
                                    "--gamma", "400", "--core", "25", "--seed", "11", "--out",
                                    "s.b16"},
                                   dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    return ReadFile(dir.file("s.b16"));
  }();
  return bytes;
}

// tarvex with `args`, then -j and the thread count, then the input, in a fresh directory
// (single-pair runs analyse images 1 and 2).
TarvexRun Tarvex(const std::vector<std::string>& args, const std::string& threads) {
  TempDir dir;
  WriteFile(dir.file("s.b16"), Input());
  std::vector<std::string> all = args;
  if (!threads.empty()) {
    all.push_back("-j");
    all.push_back(threads);
  }
  all.push_back("s.b16");
  TarvexRun run;
  run.result = RunProgram("tarvex", all, dir.path(), "1 2\n");
  run.files = DirectoryContents(dir);
  run.files.erase("s.b16");
  // A series' record holds the modification time of the input, a fresh copy in every run.
  run.files.erase("s.series.txt");
  return run;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Runs args with -j 1 and checks that -j 2, 4 and 0 (and no -j at all) give the same
// status, console text and files; returns the -j 1 run for further checks.
TarvexRun ExpectSameForEveryThreadCount(const std::vector<std::string>& args) {
  const TarvexRun one = Tarvex(args, "1");
  EXPECT_EQ(one.result.status, 0) << one.result.err;
  EXPECT_NE(one.result.out.find("Writing out DPIV file"), std::string::npos);
  EXPECT_GE(one.files.size(), 2u) << "the wisdom file and at least one DPIV file";
  for (const std::string threads : {"", "2", "4", "0"}) {
    const TarvexRun other = Tarvex(args, threads);
    const std::string label = threads.empty() ? "without -j" : "-j " + threads;
    EXPECT_EQ(other.result.status, one.result.status) << label;
    EXPECT_EQ(other.result.out, one.result.out) << label;
    EXPECT_EQ(other.result.err, one.result.err) << label;
    EXPECT_EQ(other.files.size(), one.files.size()) << label;
    for (const auto& [name, bytes] : one.files) {
      const auto found = other.files.find(name);
      if (found == other.files.end()) {
        ADD_FAILURE() << label << ": no " << name;
        continue;
      }
      EXPECT_TRUE(found->second == bytes) << label << ": " << name << " differs";
    }
  }
  return one;
}

TEST(ParallelPass, SinglePairIsTheSameForEveryThreadCount) {
  const TarvexRun run = ExpectSameForEveryThreadCount({"-dft", "32", "-gspac", "16", "16"});
  EXPECT_EQ(run.files.count("s.dpiv"), 1u);
}

TEST(ParallelPass, TwoPassWithSmoothingAndTecplotIsTheSame) {
  const TarvexRun run = ExpectSameForEveryThreadCount({"-dft", "32", "-i", "-s", "-tec", "out"});
  EXPECT_EQ(run.files.count("out.plt"), 1u);
}

TEST(ParallelPass, SeriesWithEveryCheckIsTheSame) {
  const TarvexRun run = ExpectSameForEveryThreadCount(
      {"-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "-MinRho", "0.3", "-MaxVelRat",
       "0.2", "-GHcheck", "2", "-MVOcheck", "0.5", "-DMVOcheck", "1", "1", "-s", "-tec", "t"});
  EXPECT_EQ(run.files.count("s.0001.dpiv"), 1u);
  EXPECT_EQ(run.files.count("s.0005.dpiv"), 1u);
  EXPECT_EQ(run.files.count("t.0003.plt"), 1u);
}

TEST(ParallelPass, TwoPassSeriesWithNonSquareWindowsIsTheSame) {
  ExpectSameForEveryThreadCount({"-dft", "24x48", "-all", "1", "1", "2", "-i"});
}

TEST(ParallelPass, ThreePointEstimatorIsTheSame) {
  ExpectSameForEveryThreadCount({"-dft", "64", "-gspac", "32", "32", "-subpix", "gauss3", "-meansub", "-i"});
}

// 36 x 36 has no table plan: every correlation prints the warning before and the
// destruction message after; a parallel pass must print them whole and in grid order.
TEST(ParallelPass, MessagesOfASizeWithoutPlanComeOutWholeAndInOrder) {
  const TarvexRun run = ExpectSameForEveryThreadCount({"-dft", "36", "-gspac", "24", "24", "-i"});
  const std::string& out = run.result.out;
  const int warnings = Count(out, "\nWARNING:\t NO PLAN EXISTS FOR THIS FFT\n"
                                  "        \t A LOCAL FFTW PLAN WILL BE COMPUTED ....\n");
  // (256 - 36) / 24 + 1 = 10 columns and rows of points, each correlated once per pass.
  EXPECT_EQ(warnings, 2 * 100);
  EXPECT_EQ(Count(out, "\n\nDESTROYING LOCAL PLAN ...\n\n"), warnings);
  EXPECT_EQ(Count(out, "A LOCAL FFTW PLAN WILL BE COMPUTED ....\n\n\nDESTROYING"), warnings);
}

// --- the option -------------------------------------------------------------------------

struct Parsed {
  bool ok;
  TarvexSettings s;
  std::string err;
};

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tarvex");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Parsed p;
  testing::internal::CaptureStderr();
  p.ok = ParseOptions(static_cast<int>(args.size()), argv.data(), p.s);
  p.err = testing::internal::GetCapturedStderr();
  return p;
}

TEST(ThreadsOption, TakesAWholeNonNegativeNumber) {
  EXPECT_EQ(Parse({"f.b16"}).s.threads, 1) << "default";
  for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
           {"0", 0}, {"1", 1}, {"2", 2}, {"007", 7}, {"1024", 1024}}) {
    const Parsed p = Parse({"-j", text, "f.b16"});
    EXPECT_TRUE(p.ok) << text << ": " << p.err;
    EXPECT_EQ(p.s.threads, value) << text;
  }
  // The value is taken from the next argument only, and the scan goes on after it.
  const Parsed p = Parse({"-j", "3", "-i", "f.b16"});
  EXPECT_EQ(p.s.threads, 3);
  EXPECT_TRUE(p.s.pflag & PFLAG_ITERATE);
  EXPECT_EQ(Parse({"-j3", "f.b16"}).s.threads, 1) << "-j3 is not the option";
}

TEST(ThreadsOption, RefusesEverythingElse) {
  for (const std::string bad :
       {"-1", "abc", "2x", "", "1.5", "+2", " 2", "0x10", "1025", "99999999999999999999"}) {
    const Parsed p = Parse({"-j", bad, "f.b16"});
    EXPECT_FALSE(p.ok) << "\"" << bad << "\"";
    EXPECT_NE(p.err.find("-j"), std::string::npos) << p.err;
  }
  const Parsed missing = Parse({"-dft", "32", "-j", "f.b16"});
  EXPECT_FALSE(missing.ok) << "the file name is no number of threads";
}

TEST(ThreadsOption, TheProgramStopsWithStatusOneAndWritesNothing) {
  for (const std::string bad : {"-2", "many", ""}) {
    TempDir dir;
    WriteFile(dir.file("s.b16"), Input());
    const RunResult r = RunProgram("tarvex", {"-j", bad, "s.b16"}, dir.path(), "1 2\n");
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_NE(r.err.find("-j needs a whole non-negative number of threads"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("Calculating TARVEX"), std::string::npos);
    EXPECT_FALSE(FileExists(dir.file("s.dpiv")));
  }
  TempDir dir;
  WriteFile(dir.file("s.b16"), Input());
  const RunResult missing = RunProgram("tarvex", {"-j", "s.b16"}, dir.path(), "1 2\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("(got \"s.b16\")"), std::string::npos) << missing.err;
}

// --- the grid ---------------------------------------------------------------------------

TEST(GridThreads, ZeroMeansOnePerCoreAndEveryGridStartsWithOne) {
  PIVGrid grid;
  EXPECT_EQ(grid.Threads(), 1);
  grid.setThreads(3);
  EXPECT_EQ(grid.Threads(), 3);
  grid.setThreads(0);
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  EXPECT_EQ(grid.Threads(), std::max(cores, 1));
  grid.setThreads(1);
  EXPECT_EQ(grid.Threads(), 1);
  // A grid without points runs a pass on any number of threads.
  grid.setThreads(4);
  EXPECT_TRUE(grid.CalculateGridTARVEX());
}

// The pass in this process, so that a thread checker instruments the threads too: every
// point's record and the grid's arrays hold the same bits on 1 and on 4 threads, and the
// per-correlation messages of a size without a plan come out in the same text.
struct PassResult {
  std::vector<float> vx, vy, rho;
  std::vector<char> on;
  std::string out;
};

PassResult PassOn(int threads, int dft, FFTWplan* plans, PIVImage* image) {
  const int g = (256 - dft) / 16 + 1;
  PIVGrid grid(1, 9999, g, g, 0, 0, 16, 16, 0, 0, dft, dft, unknown, plans, image);
  grid.setThreads(threads);
  testing::internal::CaptureStdout();
  grid.CalculateGridTARVEX();
  grid.CalculateGridTARVEX();  // a second pass reuses every buffer
  fflush(stdout);
  PassResult r;
  r.out = testing::internal::GetCapturedStdout();
  for (int k = 0; k < g * g; k++) {
    r.vx.push_back(grid.VelocityX(k));
    r.vy.push_back(grid.VelocityY(k));
    r.rho.push_back(grid.Point(k).Rho());
    r.on.push_back(grid.Point(k).on());
  }
  return r;
}


TEST(GridThreads, FourThreadsGiveTheBitsOfOne) {
  TempDir dir;
  WriteFile(dir.file("s.b16"), Input());
  FFTWplan* plans = Plans();
  PIVImage image(dir.file("s.b16").c_str());
  for (const int dft : {32, 36}) {
    const PassResult one = PassOn(1, dft, plans, &image);
    const PassResult four = PassOn(4, dft, plans, &image);
    // The points whose windows end before the image's last column and row are measured.
    const long inside = ((256 - 1 - dft) / 16 + 1) * ((256 - 1 - dft) / 16 + 1);
    EXPECT_EQ(std::count(one.on.begin(), one.on.end(), 1), inside) << dft;
    EXPECT_EQ(four.on, one.on) << dft;
    EXPECT_EQ(0, memcmp(four.vx.data(), one.vx.data(), one.vx.size() * sizeof(float))) << dft;
    EXPECT_EQ(0, memcmp(four.vy.data(), one.vy.data(), one.vy.size() * sizeof(float))) << dft;
    EXPECT_EQ(0, memcmp(four.rho.data(), one.rho.data(), one.rho.size() * sizeof(float))) << dft;
    EXPECT_EQ(four.out, one.out) << dft;
    EXPECT_EQ(one.out.empty(), dft == 32) << "messages only for the size without a plan";
  }
}

}  // namespace

}  // namespace tarvex
