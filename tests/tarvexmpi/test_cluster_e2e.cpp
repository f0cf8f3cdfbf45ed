// tarvex-mpi: the files and the console text of the serial run, on 1 to 4 ranks; a failing or
// killed rank ends the whole run with a non-zero status and no file cut short; -resume finishes
// a killed run with the serial run's files.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "FieldNetcdf.h"
#include "NetcdfReader.h"
#include "TestSupport.h"

namespace {

// Open MPI refuses root unless told; CI runs as root. Under the address sanitizer, Open MPI's
// start-up allocations, never freed, are left out of the ranks' leak check (they can only be
// recognised with full stacks).
void AllowRoot() {
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  const char* asan = getenv("ASAN_OPTIONS");
  const std::string options = asan != nullptr ? asan : "";
  if (options.find("fast_unwind_on_malloc") == std::string::npos)
    setenv("ASAN_OPTIONS", (options + (options.empty() ? "" : ":") + "fast_unwind_on_malloc=0").c_str(), 1);
  setenv("LSAN_OPTIONS", "suppressions=" TARVEX_LSAN_SUPPRESSIONS, 1);
}

RunResult RunRanks(int ranks, const std::vector<std::string>& args, const std::string& dir) {
  AllowRoot();
  std::vector<std::string> all = {"--oversubscribe", "-n", std::to_string(ranks), BinPath("tarvex-mpi")};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(TARVEX_MPIEXEC, all, dir);
}

// Every regular file of dir but the inputs and the wisdom file, name and bytes.
std::map<std::string, std::string> Outputs(const std::string& dir) {
  std::map<std::string, std::string> files;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return files;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || name == "run.b16" || name == "run.b16.truth" ||
        name == "FFTPlans.Wisdom.dat")
      continue;
    files[name] = ReadFile(dir + "/" + name);  // a directory reads as nothing
  }
  closedir(d);
  return files;
}

// Kills with SIGKILL the tarvex-mpi processes working in dir (their current directory);
// returns how many.
int KillRanksIn(const std::string& dir) {
  int killed = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  while (dirent* e = readdir(proc)) {
    const std::string pid = e->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    char cwd[4096];
    const ssize_t n = readlink(("/proc/" + pid + "/cwd").c_str(), cwd, sizeof cwd - 1);
    if (n <= 0 || std::string(cwd, static_cast<size_t>(n)) != dir) continue;
    if (ReadFile("/proc/" + pid + "/comm") != "tarvex-mpi\n") continue;
    if (kill(std::stoi(pid), SIGKILL) == 0) killed++;
  }
  closedir(proc);
  return killed;
}

// Runs the serial program and tarvex-mpi on 1 to maxRanks ranks, the outputs removed in
// between, and expects the same files (at least leastFiles) and the same standard output.
void ExpectRanksMatchSerial(const TempDir& dir, const std::vector<std::string>& options, int maxRanks,
                            size_t leastFiles) {
  const RunResult serial = RunProgram("tarvex", options, dir.path());
  ASSERT_EQ(serial.status, 0) << serial.err;
  const auto expected = Outputs(dir.path());
  ASSERT_GE(expected.size(), leastFiles);
  for (const auto& f : expected) std::remove(dir.file(f.first).c_str());
  for (int ranks = 1; ranks <= maxRanks; ranks++) {
    const RunResult parallel = RunRanks(ranks, options, dir.path());
    EXPECT_EQ(parallel.status, 0) << ranks << " ranks: " << parallel.err;
    EXPECT_TRUE(parallel.out == serial.out) << ranks << " ranks: standard output differs";
    const auto written = Outputs(dir.path());
    EXPECT_TRUE(written == expected) << ranks << " ranks: files differ";
    for (const auto& f : written) std::remove(dir.file(f.first).c_str());
  }
}

class Cluster : public testing::Test {
 protected:
  void SetUp() override {
    // 12 pairs of a shift whose whole-pixel offsets (-i) lie far from a rounding boundary.
    ASSERT_EQ(RunProgram("pivsynth", {"--size", "160x128", "--dx", "2.3", "--dy", "-1.2", "--pairs", "12",
                                      "--seed", "21", "--noise", "25", "--out", "run.b16"},
                         dir.path())
                  .status,
              0);
    ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "run.b16"}, dir.path(), "1 2\n").status, 0);
    std::remove(dir.file("run.dpiv").c_str());
  }

  // The serial run's files and text on 1 to 4 ranks.
  void ExpectSerialResults(const std::vector<std::string>& options) {
    ExpectRanksMatchSerial(dir, options, 4, 12);
  }
  TempDir dir;
};

}  // namespace

TEST_F(Cluster, ASinglePassWithChecksSmoothingAndTecplotIsTheSerialRun) {
  ExpectSerialResults({"-dft", "32", "-gspac", "16", "16", "-MinRho", "0.3", "-GHcheck", "3", "-MVOcheck", "1",
                       "-s", "-tec", "t", "-all", "1", "1", "2", "run.b16"});
}

TEST_F(Cluster, EveryRankWritesTheFieldFilesOfItsPairs) {
  // A field file holds the run's command line and time, so the files are compared by what
  // they hold: whole, of the grid, the DPIV file's field.
  const RunResult r = RunRanks(2, {"-nc", "-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "run.b16"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  for (int first = 1; first <= 23; first += 2) {
    char name[32];
    std::snprintf(name, sizeof name, "run.%04d", first);
    const std::string base = dir.file(name);
    ASSERT_TRUE(FieldFileHolds(base + ".nc", 9, 7)) << name;
    NetcdfFieldReader reader;
    FieldFrame frame;
    ASSERT_TRUE(reader.Open(base + ".nc") && reader.ReadField(0, frame)) << reader.Error();
    const std::vector<DPIVRecord> records = ReadDPIVFile(base + ".dpiv");
    ASSERT_EQ(frame.vectors.size(), records.size());
    for (size_t k = 0; k < records.size(); ++k) {
      EXPECT_EQ(frame.vectors[k].valid ? 1 : 0, records[k].flag) << name << " " << k;
      if (records[k].flag) {
        EXPECT_NEAR(frame.vectors[k].u, records[k].u, 1e-5) << name << " " << k;
      }
    }
  }
}

TEST_F(Cluster, TheTwoPassAnalysisIsTheSerialRun) {
  ExpectSerialResults({"-i", "-dft", "32", "-gspac", "16", "16", "-tec", "t", "-all", "1", "1", "2", "run.b16"});
}

// Every rank reads the mask (kept in a directory of its own, which the comparison of the
// outputs passes over): the serial run's files and text; a mask of the wrong size stops
// every rank before any work, said once.
TEST_F(Cluster, AMaskIsReadByEveryRank) {
  ASSERT_EQ(mkdir(dir.file("m").c_str(), 0755), 0);
  std::vector<uint16_t> flow(160 * 128, 1);
  for (int y = 40; y < 100; y++)
    for (int x = 60; x < 110; x++) flow[y * 160 + x] = 0;
  WriteImagePairFile(dir.file("m/mask.b16"), 160, 128, {flow});
  ExpectSerialResults({"-i", "-dft", "32", "-gspac", "16", "16", "-MVOcheck", "1", "-s", "-mask", "m/mask.b16",
                       "-all", "1", "1", "2", "run.b16"});
  WriteImagePairFile(dir.file("m/small.b16"), 16, 16, {std::vector<uint16_t>(256, 1)});
  const RunResult refused =
      RunRanks(3, {"-dft", "32", "-mask", "m/small.b16", "-all", "1", "1", "2", "run.b16"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  // Said once, by rank 0 (the launcher adds its own report of the failed ranks).
  const std::string message = "tarvex: the mask m/small.b16 is 16 x 16 px, the images are 160 x 128 px\n";
  EXPECT_EQ(refused.err.rfind(message, 0), 0u) << refused.err;
  EXPECT_EQ(refused.err.find(message, 1), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out.find("Calculating TARVEX"), std::string::npos);
  EXPECT_EQ(Outputs(dir.path()), (std::map<std::string, std::string>{{"m", ""}}));
}

// Rank 0 makes the background (the minimum of all 24 images, or the mean, or a file's image)
// and every rank subtracts it: the serial run's files and text. A background file of the
// wrong size stops every rank, said once.
TEST_F(Cluster, EveryRankSubtractsTheSameBackground) {
  ASSERT_EQ(mkdir(dir.file("b").c_str(), 0755), 0);
  std::vector<uint16_t> glow(160 * 128);
  for (size_t i = 0; i < glow.size(); ++i) glow[i] = static_cast<uint16_t>(i % 160);
  WriteImagePairFile(dir.file("b/glow.b16"), 160, 128, {glow});
  const std::vector<std::string> series = {"-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "run.b16"};
  for (const std::vector<std::string>& pre :
       {std::vector<std::string>{"-bg", "min", "-deform", "1"}, {"-bg", "mean", "-highpass", "9", "-cap"},
        {"-bg", "b/glow.b16", "-subpix", "gauss3", "-meansub"}}) {
    std::vector<std::string> options = pre;
    options.insert(options.end(), series.begin(), series.end());
    ExpectRanksMatchSerial(dir, options, 3, 12);
  }
  WriteImagePairFile(dir.file("b/small.b16"), 16, 16, {std::vector<uint16_t>(256, 1)});
  const RunResult refused =
      RunRanks(3, {"-dft", "32", "-bg", "b/small.b16", "-all", "1", "1", "2", "run.b16"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  const std::string message =
      "tarvex: the background file b/small.b16 holds images of 16 x 16 px, the images are 160 x 128 px\n";
  EXPECT_EQ(refused.err.rfind(message, 0), 0u) << refused.err;
  EXPECT_EQ(refused.err.find(message, 1), std::string::npos) << refused.err;
  EXPECT_EQ(Outputs(dir.path()), (std::map<std::string, std::string>{{"b", ""}}));
}

TEST_F(Cluster, OnePairWithoutASeriesIsAnalysedByRankZero) {
  const RunResult serial = RunProgram("tarvex", {"-dft", "32", "run.b16"}, dir.path(), "3 4\n");
  ASSERT_EQ(serial.status, 0);
  const std::string expected = ReadFile(dir.file("run.dpiv"));
  std::remove(dir.file("run.dpiv").c_str());
  AllowRoot();
  const RunResult parallel = RunProgram(
      TARVEX_MPIEXEC, {"--oversubscribe", "-n", "2", BinPath("tarvex-mpi"), "-dft", "32", "run.b16"}, dir.path(),
      "3 4\n");
  EXPECT_EQ(parallel.status, 0) << parallel.err;
  EXPECT_EQ(ReadFile(dir.file("run.dpiv")), expected);
}

TEST_F(Cluster, RefusalsAndAMissingFileFailOnEveryRank) {
  const RunResult refused = RunRanks(2, {"-dft", "0", "-all", "1", "1", "2", "run.b16"}, dir.path());
  EXPECT_NE(refused.status, 0);
  // Said once, by rank 0.
  EXPECT_EQ(refused.err.find("DFT size must be positive"), refused.err.rfind("DFT size must be positive"));
  const RunResult flat = RunRanks(3, {"-dft", "32", "-all", "1", "1", "2", "empty.b16"}, dir.path());
  EXPECT_NE(flat.status, 0);
}

// A file that cannot be written, on rank 0 and on rank 1: the run goes on, says why on
// standard error and fails; the other files are the serial run's.
TEST_F(Cluster, AFileThatCannotBeWrittenOnAnyRankFailsTheRun) {
  const std::vector<std::string> options = {"-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "run.b16"};
  ASSERT_EQ(RunProgram("tarvex", options, dir.path()).status, 0);
  auto expected = Outputs(dir.path());
  for (const auto& f : expected) std::remove(dir.file(f.first).c_str());
  // Directories stand in the way of the first pair's file and of the last one's.
  for (const char* name : {"run.0001.dpiv", "run.0023.dpiv"}) {
    ASSERT_EQ(mkdir(dir.file(name).c_str(), 0755), 0);
    expected[name] = "";
  }
  const RunResult r = RunRanks(2, options, dir.path());
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("tarvex: cannot write 'run.0001.dpiv': Is a directory\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("tarvex: cannot write 'run.0023.dpiv': Is a directory\n"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\n Cannot open DPIV output file: run.0023.dpiv ....\n"), std::string::npos);
  EXPECT_TRUE(Outputs(dir.path()) == expected);
}

// A rank killed in the middle: the job stops (no rank waits for the dead one) with a failing
// status, every file under a final name is whole, and -resume finishes with the serial files.
TEST_F(Cluster, AKilledRankStopsTheRunAndResumeFinishesIt) {
  const std::vector<std::string> options = {"-dft", "32", "-gspac", "4", "4", "-MVOcheck", "1", "-all", "1",
                                            "1", "2", "run.b16"};
  ASSERT_EQ(RunProgram("tarvex", options, dir.path()).status, 0);
  const auto expected = Outputs(dir.path());
  for (const auto& f : expected) std::remove(dir.file(f.first).c_str());

  AllowRoot();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0 || !freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
      _exit(127);
    std::vector<std::string> argv_s = {TARVEX_MPIEXEC, "--oversubscribe", "-n", "2", BinPath("tarvex-mpi")};
    argv_s.insert(argv_s.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : argv_s) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Rank 1 writes from pair 7 (first image 13) on: kill a rank once that file is there.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!FileExists(dir.file("run.0013.dpiv")) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_GE(KillRanksIn(dir.path()), 1);
  int status = 0;
  const auto waited = std::chrono::steady_clock::now();
  waitpid(pid, &status, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - waited, std::chrono::seconds(60)) << "the job hung";
  EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (const auto& f : Outputs(dir.path())) {
    if (f.first.find(".tmp.") != std::string::npos) continue;  // the temporary file of a killed write
    EXPECT_EQ(f.second, expected.at(f.first)) << f.first << " is cut short";
  }
  std::vector<std::string> again = options;
  again.insert(again.begin(), "-resume");
  const RunResult resumed = RunRanks(2, again, dir.path());
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  for (const auto& f : expected) EXPECT_EQ(ReadFile(dir.file(f.first)), f.second) << f.first;
}

namespace {

// A series whose uniform shift jumps from pair to pair by more than a quarter of a 32 x 32
// window (pivsynth pairs of 128 x 128 px laid one after another): the two-pass analysis (-i),
// which starts each pair from the offsets the pair before left, depends there on where a
// rank's block starts; every other option does not.
void WriteJumpingSeries(const TempDir& dir) {
  const double shifts[][2] = {{-6.6, 11.1}, {11.9, -7.0}, {3.4, -1.0}, {-11.5, -5.6}, {-2.2, 9.7}, {9.6, 2.0}};
  std::string series;
  for (size_t k = 0; k < sizeof shifts / sizeof shifts[0]; k++) {
    ASSERT_EQ(RunProgram("pivsynth", {"--size", "128x128", "--dx", std::to_string(shifts[k][0]), "--dy",
                                      std::to_string(shifts[k][1]), "--seed", std::to_string(40 + k), "--out",
                                      "pair.b16"},
                         dir.path())
                  .status,
              0);
    const std::string pair = ReadFile(dir.file("pair.b16"));
    series += k == 0 ? pair : pair.substr(4);
  }
  WriteFile(dir.file("run.b16"), series);
  for (const char* name : {"pair.b16", "pair.b16.truth"}) std::remove(dir.file(name).c_str());
  // The wisdom file first, so that every run finds it.
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "run.b16"}, dir.path(), "1 2\n").status, 0);
  std::remove(dir.file("run.dpiv").c_str());
}

}  // namespace

// Byte for byte the serial run's files on 1 to 3 ranks for every option but -i, on a series
// where -i differs (see docs/series-and-cluster.md): the single pass with every check,
// smoothing, Tecplot files and a mask, and the deformation passes.
TEST(ClusterJumpingSeries, EveryOptionButTheTwoPassAnalysisIsTheSerialRun) {
  TempDir dir;
  WriteJumpingSeries(dir);
  ASSERT_EQ(mkdir(dir.file("m").c_str(), 0755), 0);
  std::vector<uint16_t> flow(128 * 128, 1);
  for (int y = 50; y < 80; y++)
    for (int x = 40; x < 70; x++) flow[y * 128 + x] = 0;
  WriteImagePairFile(dir.file("m/mask.b16"), 128, 128, {flow});
  const std::vector<std::vector<std::string>> optionSets = {
      {"-dft", "32", "-gspac", "16", "16", "-MinRho", "0.2", "-MaxVelRat", "0.4", "-GHcheck", "3", "-MVOcheck", "1",
       "-DMVOcheck", "1", "1", "-s", "-tec", "t", "-mask", "m/mask.b16", "-all", "1", "1", "2", "run.b16"},
      {"-dft", "32", "-gspac", "16", "16", "-deform", "1", "-dft0", "64", "-MVOcheck", "1", "-s", "-all", "1", "1",
       "2", "run.b16"},
  };
  for (const std::vector<std::string>& options : optionSets) ExpectRanksMatchSerial(dir, options, 3, 7);
  // -i on this series: 2 ranks change vectors of pairs 4 to 6 (53 of 294 on this series, by up
  // to 47 px), as docs/series-and-cluster.md says.
  const std::vector<std::string> twoPass = {"-i", "-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "run.b16"};
  ASSERT_EQ(RunProgram("tarvex", twoPass, dir.path()).status, 0);
  const auto serial = Outputs(dir.path());
  ASSERT_EQ(RunRanks(2, twoPass, dir.path()).status, 0);
  const auto twoRanks = Outputs(dir.path());
  EXPECT_EQ(twoRanks.at("run.0001.dpiv"), serial.at("run.0001.dpiv"));
  EXPECT_NE(twoRanks.at("run.0007.dpiv"), serial.at("run.0007.dpiv"));
}

// The checks of a series are tarvex's, made once by rank 0: the output names in the input's
// directory, a record written once, -resume that analyses again the files cut short on any
// rank and refuses another run's record, and -all without a pair.
TEST_F(Cluster, ResumeChecksAndNamesAreTarvexs) {
  const std::vector<std::string> options = {"-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "run.b16"};
  ASSERT_EQ(RunProgram("tarvex", options, dir.path()).status, 0);
  const auto expected = Outputs(dir.path());
  ASSERT_EQ(expected.count("run.series.txt"), 1u);
  for (const auto& f : expected) std::remove(dir.file(f.first).c_str());
  ASSERT_EQ(RunRanks(3, options, dir.path()).status, 0);
  ASSERT_TRUE(Outputs(dir.path()) == expected);

  // Files cut short in rank 0's block and in rank 2's.
  for (const char* name : {"run.0003.dpiv", "run.0021.dpiv"})
    WriteFile(dir.file(name), expected.at(name).substr(0, expected.at(name).size() / 2));
  std::vector<std::string> resume = options;
  resume.insert(resume.begin(), "-resume");
  const RunResult resumed = RunRanks(3, resume, dir.path());
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_TRUE(Outputs(dir.path()) == expected);

  // Another run's record: refused once, nothing written.
  std::vector<std::string> other = resume;
  other[4] = "8";  // -gspac 8 16
  const RunResult refused = RunRanks(2, other, dir.path());
  EXPECT_EQ(refused.status, 1);
  const std::string message =
      "tarvex: cannot resume: run.series.txt records -gspac 16 16, this run has -gspac 8 16; nothing written\n";
  EXPECT_EQ(refused.err.rfind(message, 0), 0u) << refused.err;
  EXPECT_EQ(refused.err.find(message, 1), std::string::npos) << refused.err;
  EXPECT_TRUE(Outputs(dir.path()) == expected);

  // A series without a pair.
  const RunResult none = RunRanks(2, {"-dft", "32", "-all", "99", "1", "2", "run.b16"}, dir.path());
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err.rfind("tarvex: no pair to analyse: -all 99 1 2 finds no pair among the 24 images of run.b16\n", 0),
            0u)
      << none.err;

  // The names of an input in a directory with a '.' in its name.
  ASSERT_EQ(mkdir(dir.file("data.v2").c_str(), 0755), 0);
  WriteFile(dir.file("data.v2/run.b16"), ReadFile(dir.file("run.b16")));
  EXPECT_EQ(RunRanks(2, {"-dft", "32", "-all", "1", "1", "2", "./data.v2/run.b16"}, dir.path()).status, 0);
  EXPECT_TRUE(FileExists(dir.file("data.v2/run.0001.dpiv")));
  EXPECT_TRUE(FileExists(dir.file("data.v2/run.0023.dpiv")));
  EXPECT_TRUE(FileExists(dir.file("data.v2/run.series.txt")));
  EXPECT_FALSE(FileExists(dir.file("data.0001.dpiv")));
}
