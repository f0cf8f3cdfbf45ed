// The plan table: its size-to-entry lookup, and DefineFFTWPlans with the wisdom file
// in a fresh directory (run in a child process: the wisdom store is process-global).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <fftw.h>
#include <rfftw.h>

#include "TestSupport.h"
#include "correlation/DefineFFTWPlans.h"
#include "correlation/WisdomTrial.h"

namespace tarvex {

namespace {

const char kFirstRunHeader[] =
    "\n\nFFTW Wisdom File \"FFTPlans.Wisdom.dat\" Does Not Exist!\n\n"
    "Please Wait, The Plans are being computed and Wisdom acquired .....\n\n";
const char kSecondRunHeader[] =
    "\n\nFFTW Wisdom File \"FFTPlans.Wisdom.dat\"  Exists!\n"
    "\tWisdom Will Be Imported From This File\n\n";
const char kSilentLine[] = "\nComputing 2-D FFTW Plans, please wait ...\n";
const char kStoring[] =
    "\n\nStoring Wisdom Plans to File: FFTPlans.Wisdom.dat\n\nPlease wait ....\n\nDone!\n\n";

// Exit codes of the child: 0 when the table it got is complete and well formed.
enum TableFault { kTableOk = 0, kNoTable = 10, kBadEntry = 11, kNoPlan = 12 };

struct PlanRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs DefineFFTWPlans(speed 0, silent) in a child process inside dir (removed right
// after the child enters it when asked) and collects the child's output; the exit status
// tells whether the table was well formed.
PlanRun RunDefineFFTWPlans(const std::string& dir, int silent, bool removeDir = false) {
  TempDir io;
  const std::string outPath = io.file("stdout"), errPath = io.file("stderr");
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(dir.c_str()) != 0) {
      _exit(127);
    }
    if (removeDir && rmdir(dir.c_str()) != 0) _exit(127);
    FFTWplan* table = nullptr;
    DefineFFTWPlans(&table, 0, silent);
    fflush(stdout);
    if (table == nullptr) _exit(kNoTable);
    for (int i = 0; i < kNumberOfFFTWPlans; ++i) {
      if (table[i].id != i || SelectFFTWPlan(table, table[i].nx, table[i].ny) != &table[i]) {
        _exit(kBadEntry);
      }
      if (table[i].Forward == nullptr || table[i].Inverse == nullptr) _exit(kNoPlan);
    }
    _exit(kTableOk);
  }
  PlanRun run;
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

int CountOf(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(PlanLookup, EverySizeOfTheTableMapsToItsEntry) {
  FFTWplan table[kNumberOfFFTWPlans] = {};
  const int square[] = {4, 8, 12, 16, 20, 24, 32, 40, 48, 64, 80, 100, 128, 188, 256, 300, 400, 512};
  for (int i = 0; i < 18; ++i) {
    EXPECT_EQ(SelectFFTWPlan(table, square[i], square[i]), &table[i]) << square[i];
  }
  EXPECT_EQ(SelectFFTWPlan(table, 24, 48), &table[18]);
  EXPECT_EQ(SelectFFTWPlan(table, 48, 24), &table[19]);
}

TEST(PlanLookup, SizesWithoutEntryAndMissingTableGiveNone) {
  FFTWplan table[kNumberOfFFTWPlans] = {};
  EXPECT_EQ(SelectFFTWPlan(table, 192, 192), nullptr);
  EXPECT_EQ(SelectFFTWPlan(table, 32, 64), nullptr);
  EXPECT_EQ(SelectFFTWPlan(table, 64, 32), nullptr);
  EXPECT_EQ(SelectFFTWPlan(table, 1024, 1024), nullptr);
  EXPECT_EQ(SelectFFTWPlan(table, 36, 36), nullptr);
  EXPECT_EQ(SelectFFTWPlan(table, 0, 0), nullptr);
  EXPECT_EQ(SelectFFTWPlan(nullptr, 32, 32), nullptr);
}

TEST(PlanLookup, DoesNotSearchTheEntryFields) {
  // An entry whose fields claim another size is still found by its fixed position.
  FFTWplan table[kNumberOfFFTWPlans] = {};
  table[9].nx = table[9].ny = 32;
  EXPECT_EQ(SelectFFTWPlan(table, 64, 64), &table[9]);
  EXPECT_EQ(SelectFFTWPlan(table, 32, 32), &table[6]);
}

TEST(DefineFFTWPlans, FirstRunCreatesWisdomSecondRunImportsWithoutRewriting) {
  TempDir dir;
  const std::string wisdom = dir.file("FFTPlans.Wisdom.dat");

  PlanRun first = RunDefineFFTWPlans(dir.path(), 1);
  EXPECT_EQ(first.status, kTableOk);
  EXPECT_EQ(first.out, std::string(kFirstRunHeader) + kSilentLine + kStoring);
  ASSERT_TRUE(FileExists(wisdom));
  const std::string content = ReadFile(wisdom);
  EXPECT_FALSE(content.empty());

  // Age the file so that a rewrite would show in its modification time.
  struct utimbuf old = {1000000000, 1000000000};
  ASSERT_EQ(utime(wisdom.c_str(), &old), 0);

  PlanRun second = RunDefineFFTWPlans(dir.path(), 1);
  EXPECT_EQ(second.status, kTableOk);
  EXPECT_EQ(second.out, std::string(kSecondRunHeader) + kSilentLine);
  struct stat st;
  ASSERT_EQ(stat(wisdom.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1000000000);
  EXPECT_EQ(ReadFile(wisdom), content);
}

// A wisdom file that is not FFTW's wisdom, or one with one wrong number on which FFTW's planner
// ends the process ("fftw: bug in planner (conflicting plan options)"; the last 0 of a 4 x 4
// plan's entry made a 1), used to stop every later run in the directory. It is named on
// standard error, ignored, and replaced by the plans computed afresh.
TEST(DefineFFTWPlans, DamagedWisdomIsNamedIgnoredAndReplaced) {
  const char kRecomputing[] = "Please Wait, The Plans are being computed and Wisdom acquired .....\n\n";
  struct Case {
    const char* content;
    const char* why;
  };
  const Case cases[] = {
      {"this is not wisdom\n", "not FFTW wisdom"},
      {"", "not FFTW wisdom"},
      {"(FFTW-2.1.5 (4 537 1 0 1 1 0 100 0)", "not FFTW wisdom"},
      {"(FFTW-2.1.5 (4 537 1 0 1 1 0 100 1))", "FFTW's planner fails on it"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string wisdom = dir.file("FFTPlans.Wisdom.dat");
    WriteFile(wisdom, c.content);
    PlanRun run = RunDefineFFTWPlans(dir.path(), 1);
    EXPECT_EQ(run.status, kTableOk) << c.content;
    EXPECT_EQ(run.out, std::string(kSecondRunHeader) + kRecomputing + kSilentLine + kStoring) << c.content;
    EXPECT_EQ(run.err, std::string("tarvex: the wisdom file FFTPlans.Wisdom.dat is damaged (") + c.why +
                           "); it is ignored, and the plans are computed afresh and stored in it\n");
    EXPECT_EQ(ReadFile(wisdom), "(FFTW-2.1.5)") << c.content;
    // The next run finds it sound.
    PlanRun next = RunDefineFFTWPlans(dir.path(), 1);
    EXPECT_EQ(next.status, kTableOk);
    EXPECT_EQ(next.out, std::string(kSecondRunHeader) + kSilentLine);
    EXPECT_EQ(next.err, "");
  }
}

// Sound wisdom of one plan is kept as it is, not rewritten.
TEST(DefineFFTWPlans, SoundWisdomIsImportedAndKept) {
  TempDir dir;
  const std::string wisdom = dir.file("FFTPlans.Wisdom.dat");
  WriteFile(wisdom, "(FFTW-2.1.5 (4 537 1 0 1 1 0 100 0))");
  PlanRun run = RunDefineFFTWPlans(dir.path(), 1);
  EXPECT_EQ(run.status, kTableOk);
  EXPECT_EQ(run.out, std::string(kSecondRunHeader) + kSilentLine);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(wisdom), "(FFTW-2.1.5 (4 537 1 0 1 1 0 100 0))");
}

TEST(DefineFFTWPlans, VerboseModePrintsALinePairPerPlan) {
  TempDir dir;
  PlanRun run = RunDefineFFTWPlans(dir.path(), 0);
  EXPECT_EQ(run.status, kTableOk);
  const std::string& out = run.out;
  ASSERT_EQ(out.find(kFirstRunHeader), 0u);
  EXPECT_EQ(out.find(kSilentLine), std::string::npos);
  EXPECT_EQ(CountOf(out, "\n\tComputing 2-D FFTW Plan "), 20);
  EXPECT_EQ(CountOf(out, "\t\t\tDFT: "), 20);
  const std::string firstPair = std::string(kFirstRunHeader) +
                                "\n\tComputing 2-D FFTW Plan 0\n\t\t\tDFT: 4 x 4\n"
                                "\n\tComputing 2-D FFTW Plan 1\n\t\t\tDFT: 8 x 8\n";
  EXPECT_EQ(out.compare(0, firstPair.size(), firstPair), 0);
  EXPECT_NE(out.find("\n\tComputing 2-D FFTW Plan 13\n\t\t\tDFT: 188 x 188\n"), std::string::npos);
  const std::string tail =
      "\n\tComputing 2-D FFTW Plan 18\n\t\t\tDFT: 24 x 48\n"
      "\n\tComputing 2-D FFTW Plan 19\n\t\t\tDFT: 48 x 24\n" +
      std::string(kStoring);
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST(DefineFFTWPlans, UncreatableWisdomFileIsNotClaimedDone) {
  // A working directory that no longer exists: nothing can be created in it.
  TempDir parent;
  const std::string dir = parent.file("gone");
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  PlanRun run = RunDefineFFTWPlans(dir, 1, true);
  EXPECT_EQ(run.status, kTableOk);
  EXPECT_EQ(run.out, std::string(kFirstRunHeader) + kSilentLine +
                         "\n\nStoring Wisdom Plans to File: FFTPlans.Wisdom.dat\n\nPlease wait ....\n\n");
  EXPECT_EQ(run.err, "Cannot create the wisdom file FFTPlans.Wisdom.dat; the plans are not stored.\n");
}

namespace {

void PlanFourByFour(int speed) {
  rfftwnd_destroy_plan(rfftw2d_create_plan(4, 4, FFTW_REAL_TO_COMPLEX, speed | FFTW_USE_WISDOM));
}

// This process's wisdom, as FFTW writes it.
std::string OwnWisdom() {
  char* text = fftw_export_wisdom_to_string();
  const std::string wisdom = text;
  fftw_free(text);
  return wisdom;
}

}  // namespace

// The worked example of WisdomTrial.h: the trial runs in a child, and this process's wisdom
// stays as it was whatever the child met.
TEST(WisdomTrial, SortsSoundDamagedAndForeignWisdom) {
  const std::string before = OwnWisdom();
  std::string wisdom;
  EXPECT_EQ(TryWisdom("(FFTW-2.1.5 (4 537 1 0 1 1 0 100 0))", PlanFourByFour, 0, wisdom), WisdomTrial::Good);
  EXPECT_EQ(wisdom, "(FFTW-2.1.5 (4 537 1 0 1 1 0 100 0))");
  EXPECT_EQ(TryWisdom("(FFTW-2.1.5 (4 537 1 0 1 1 0 100 1))", PlanFourByFour, 0, wisdom),
            WisdomTrial::PlannerFailed);
  EXPECT_EQ(wisdom, "");
  EXPECT_EQ(TryWisdom("this is not wisdom", PlanFourByFour, 0, wisdom), WisdomTrial::NotWisdom);
  EXPECT_EQ(TryWisdom("", PlanFourByFour, 0, wisdom), WisdomTrial::NotWisdom);
  EXPECT_EQ(OwnWisdom(), before);
}

}  // namespace tarvex
