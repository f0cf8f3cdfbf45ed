// The files around a run, piece by piece with the numbers of their headers' worked examples:
// the output names of SeriesPlan, the finished-file check of PairOutputs and the series'
// record of RunRecord.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "DpivFile.h"
#include "PairOutputs.h"
#include "ParseParameters.h"
#include "RunRecord.h"
#include "SeriesPlan.h"
#include "TecplotFile.h"
#include "TestSupport.h"

namespace tarvex {

namespace {

// Settings from a command line given as words (the last is the file name).
TarvexSettings Settings(std::vector<std::string> args) {
  args.insert(args.begin(), "tarvex");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  TarvexSettings s;
  EXPECT_TRUE(ParseOptions(static_cast<int>(argv.size()), argv.data(), s));
  return s;
}

// The records of a 15 x 15 grid of 32 x 32 windows every 16 px.
std::vector<VectorRecord> Grid15() {
  std::vector<VectorRecord> records;
  for (int row = 0; row < 15; row++)
    for (int col = 0; col < 15; col++) records.push_back({true, 15.0 + 16 * col, 15.0 + 16 * row, 2.3, -1.2, 0.8});
  return records;
}

void SetModified(const std::string& path, time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace

TEST(SeriesPlan, NamesEndAtTheFirstDotOfTheFileNameWhenADirectoryHasOne) {
  EXPECT_EQ(SeriesName("data/run.b16"), "data/run");
  EXPECT_EQ(SeriesName("data.v2/run.b16"), "data.v2/run");
  EXPECT_EQ(SeriesName("./run.b16"), "./run");
  EXPECT_EQ(SeriesName("../d/run.b16"), "../d/run");
  EXPECT_EQ(SeriesName("a.b/c.d/run"), "a.b/c.d/run");
  // As they always were: no '.' in a directory part.
  EXPECT_EQ(SeriesName("run.a.b16"), "run");
  EXPECT_EQ(SeriesName("plain"), "plain");
  EXPECT_EQ(SeriesName(".hidden.b16"), "");
  EXPECT_EQ(SeriesName("data/.hidden.b16"), "data/");
  EXPECT_EQ(RunRecordName(Settings({"-all", "1", "1", "2", "data/run.b16"})), "data/run.series.txt");

  std::vector<PairJob> jobs;
  std::string error;
  ASSERT_TRUE(PlanRun(Settings({"-all", "1", "1", "2", "-tec", "out", "data.v2/run.b16"}), 6, jobs, error));
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_STREQ(jobs[1].names.dpiv, "data.v2/run.0003.dpiv");
  EXPECT_STREQ(jobs[1].names.tecplot, "out.0003.plt");
  ASSERT_TRUE(PlanRun(Settings({"-all", "9", "1", "2", "run.b16"}), 4, jobs, error));
  EXPECT_TRUE(jobs.empty());
}

// The worked example of PairOutputs.h: a pair of a 15 x 15 grid with -tec.
TEST(PairOutputs, APairIsFinishedWhenEveryFileIsWholeForTheGridAndOfThisRun) {
  TempDir dir;
  const TarvexSettings s = Settings({"-tec", dir.file("t").c_str(), "-all", "1", "1", "2", dir.file("run.b16")});
  std::vector<PairJob> jobs;
  std::string error;
  ASSERT_TRUE(PlanRun(s, 2, jobs, error));
  const PairJob& pair = jobs[0];
  std::vector<const char*> names;
  PairOutputFiles(s, pair, names);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(std::string(names[0]), dir.file("t.0001.plt"));
  EXPECT_EQ(std::string(names[1]), dir.file("run.0001.dpiv"));

  const std::vector<VectorRecord> records = Grid15();
  ASSERT_EQ(WriteDpivFile(pair.names.dpiv, records, error), WriteStatus::Ok);
  EXPECT_FALSE(PairFinished(s, pair, 15, 15, nullptr));  // no Tecplot file yet
  ASSERT_EQ(WriteTecplotFile(pair.names.tecplot, 15, 15, records, error), WriteStatus::Ok);
  EXPECT_TRUE(PairFinished(s, pair, 15, 15, nullptr));
  EXPECT_TRUE(DpivFileHolds(pair.names.dpiv, 15, 15));
  EXPECT_TRUE(TecplotFileHolds(pair.names.tecplot, 15, 15));
  // Another grid.
  EXPECT_FALSE(PairFinished(s, pair, 16, 15, nullptr));
  EXPECT_FALSE(DpivFileHolds(pair.names.dpiv, 15, 14));
  EXPECT_FALSE(TecplotFileHolds(pair.names.tecplot, 14, 15));
  // Older than the record: an earlier run's.
  SetModified(pair.names.dpiv, 1000000000, 5);
  const timespec since = {1000000000, 6}, same = {1000000000, 5};
  EXPECT_FALSE(PairFinished(s, pair, 15, 15, &since));
  EXPECT_TRUE(PairFinished(s, pair, 15, 15, &same));

  // 224 records, a record cut in the middle, trailing lines, and 0 bytes.
  const std::string whole = ReadFile(pair.names.dpiv);
  const std::string short224 = whole.substr(0, whole.rfind('\n', whole.size() - 2) + 1);
  for (const std::string& broken : {short224, whole.substr(0, whole.size() - 3), whole + "1\t0\t0\t0\t0\t0\n",
                                    std::string()}) {
    WriteFile(pair.names.dpiv, broken);
    EXPECT_FALSE(DpivFileHolds(pair.names.dpiv, 15, 15)) << broken.size() << " bytes";
    EXPECT_FALSE(PairFinished(s, pair, 15, 15, nullptr));
  }
  const std::string plt = ReadFile(pair.names.tecplot);
  WriteFile(pair.names.tecplot, plt.substr(0, plt.size() - 1));
  EXPECT_FALSE(TecplotFileHolds(pair.names.tecplot, 15, 15));
  // A grid without points: the head alone is whole.
  ASSERT_EQ(WriteDpivFile(pair.names.dpiv, {}, error), WriteStatus::Ok);
  EXPECT_TRUE(DpivFileHolds(pair.names.dpiv, 4, 0));
}

// The worked example of RunRecord.h.
TEST(RunRecord, RecordsTheInputAndTheOptionsAndRefusesAnotherRun) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("data").c_str(), 0755), 0);
  const std::string input = dir.file("data/run.b16");
  WriteFile(input, std::string(262148, '\0'));
  SetModified(input, 1733609520, 500000000);
  const std::vector<std::string> line = {"-dft", "32", "-gspac", "16", "16", "-MVOcheck", "1", "-all", "1", "1", "2"};
  std::vector<std::string> args = line;
  args.push_back(input);
  RunRecord record;
  ASSERT_TRUE(record.Make(Settings(args)));
  EXPECT_TRUE(record.CheckForResume());  // none on disk yet
  EXPECT_EQ(record.Since(), nullptr);
  ASSERT_TRUE(record.Write());
  EXPECT_EQ(ReadFile(dir.file("data/run.series.txt")),
            "tarvex series record 1\ninput run.b16\nsize 262148\nmodified 1733609520.500000000\n-dft 32x32\n"
            "-gspac 16 16\n-all 1 1 2\n-i off\n-MinRho off\n-MaxVelRat off\n-GHcheck off\n-MVOcheck 1\n"
            "-DMVOcheck off\n-s off\n-o off\n-subpix fit\n-meansub off\n-deform off\n-dft0 off\n-deformref off\n-mask off\n");

  // The same run resumed: the record matches and tells when the run started.
  SetModified(dir.file("data/run.series.txt"), 1733609600, 0);
  RunRecord same;
  ASSERT_TRUE(same.Make(Settings(args)));
  ASSERT_TRUE(same.CheckForResume());
  ASSERT_NE(same.Since(), nullptr);
  EXPECT_EQ(same.Since()->tv_sec, 1733609600);

  args[6] = "2";
  RunRecord other;
  ASSERT_TRUE(other.Make(Settings(args)));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(other.CheckForResume());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "tarvex: cannot resume: " + dir.file("data/run.series.txt") +
                " records -MVOcheck 1, this run has -MVOcheck 2; nothing written\n");
}

}  // namespace tarvex
