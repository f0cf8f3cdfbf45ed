// What tarvex refuses or checks so that no result is lost or passes for another: output names
// that stay in the input's directory, no output written over an input, -resume that keeps only
// finished files of the same run, a series without a pair, unknown arguments named, names and
// numbers the files cannot hold, and a damaged wisdom file. Each case runs the built programs
// in a fresh directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

// Every file below dir (its path from dir) and its bytes.
std::map<std::string, std::string> Tree(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
    if (!entry.is_regular_file()) continue;
    files[std::filesystem::relative(entry.path(), dir.path()).string()] = ReadFile(entry.path().string());
  }
  return files;
}

// The modification time of a file, in nanoseconds.
long long Modified(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

class Trust : public testing::Test {
 protected:
  // A file of 4 pairs of 64 x 64 px (a 3 x 3 grid with 32 x 32 windows every 16 px) and the
  // wisdom file, so that the runs below write nothing else.
  void SetUp() override {
    ASSERT_EQ(RunProgram("pivsynth", {"--size", "64x64", "--dx", "2.3", "--dy", "-1.2", "--pairs", "4", "--seed",
                                      "7", "--out", "run.b16"},
                         dir.path())
                  .status,
              0);
    ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "run.b16"}, dir.path(), "1 2\n").status, 0);
    std::remove(dir.file("run.dpiv").c_str());
    std::remove(dir.file("run.b16.truth").c_str());
  }

  RunResult Tarvex(const std::vector<std::string>& args, const std::string& in = "1 2\n",
                   const std::string& where = "") {
    return RunProgram("tarvex", args, where.empty() ? dir.path() : dir.file(where), in);
  }

  void Copy(const std::string& from, const std::string& to) { WriteFile(dir.file(to), ReadFile(dir.file(from))); }

  TempDir dir;
};

const std::vector<std::string> kSeries = {"-dft", "32", "-gspac", "16", "16", "-MVOcheck", "1", "-tec", "t",
                                          "-all", "1", "1", "2"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

}  // namespace

// Where the first '.' of the path lies in a directory part, the name ends at the first '.'
// of the file name, in the input's directory: ./run.b16 and ../d/run.b16 no longer make a
// hidden ".dpiv" here, data.v2/run.b16 no longer "data.dpiv". Names whose directory part has
// no '.' are as before.
TEST_F(Trust, OutputNamesStayInTheInputsDirectory) {
  for (const char* sub : {"data.v2", "d", "sub"}) ASSERT_EQ(mkdir(dir.file(sub).c_str(), 0755), 0);
  Copy("run.b16", "data.v2/run.b16");
  Copy("run.b16", "data.v2/plain");
  Copy("run.b16", "d/run.b16");
  ASSERT_EQ(symlink("../FFTPlans.Wisdom.dat", dir.file("sub/FFTPlans.Wisdom.dat").c_str()), 0);

  EXPECT_EQ(Tarvex({"-dft", "32", "./run.b16"}).status, 0);
  EXPECT_TRUE(FileExists(dir.file("run.dpiv")));
  EXPECT_EQ(ReadFile(dir.file("run.dpiv")).find("#  TITLE = TARVEX-Velocity File: ./run.dpiv\n"), 80u);
  EXPECT_EQ(Tarvex({"-dft", "32", "-all", "1", "1", "2", "./run.b16"}).status, 0);
  EXPECT_TRUE(FileExists(dir.file("run.0007.dpiv")));
  EXPECT_EQ(Tarvex({"-dft", "32", "../d/run.b16"}, "1 2\n", "sub").status, 0);
  EXPECT_TRUE(FileExists(dir.file("d/run.dpiv")));
  EXPECT_EQ(Tarvex({"-dft", "32", "data.v2/run.b16"}).status, 0);
  EXPECT_TRUE(FileExists(dir.file("data.v2/run.dpiv")));
  EXPECT_EQ(Tarvex({"-dft", "32", "data.v2/plain"}).status, 0);
  EXPECT_TRUE(FileExists(dir.file("data.v2/plain.dpiv")));
  for (const char* hidden : {".dpiv", ".0001.dpiv", "sub/.dpiv", "data.dpiv"})
    EXPECT_FALSE(FileExists(dir.file(hidden))) << hidden;

  // As before: a directory without a '.', and file names with several.
  std::remove(dir.file("run.dpiv").c_str());
  Copy("run.b16", "run.a.b16");
  Copy("run.b16", ".hidden.b16");
  EXPECT_EQ(Tarvex({"-dft", "32", "run.a.b16"}).status, 0);
  EXPECT_TRUE(FileExists(dir.file("run.dpiv")));
  EXPECT_EQ(Tarvex({"-dft", "32", ".hidden.b16"}).status, 0);
  EXPECT_TRUE(FileExists(dir.file(".dpiv")));
}

// A file the run would write that is a file it reads, under whatever name: nothing is
// written (not even the wisdom file), the input stays, status 1.
TEST_F(Trust, NoOutputIsWrittenOverAnInput) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  Copy("run.b16", "img.dpiv");
  Copy("run.b16", "run.0001.dpiv");
  Copy("run.b16", "run.series.txt");
  ASSERT_EQ(symlink("run.b16", dir.file("link.dpiv").c_str()), 0);
  WriteImagePairFile(dir.file("mask.dpiv"), 64, 64, {std::vector<uint16_t>(64 * 64, 1)});
  const Case cases[] = {
      {{"-dft", "32", "img.dpiv"}, "refusing to write img.dpiv: it is the image-pair file img.dpiv this run reads"},
      {{"-dft", "32", "./img.dpiv"},
       "refusing to write ./img.dpiv: it is the image-pair file ./img.dpiv this run reads"},
      {{"-dft", "32", "-all", "1", "1", "2", "run.0001.dpiv"},
       "refusing to write run.0001.dpiv: it is the image-pair file run.0001.dpiv this run reads"},
      {{"-dft", "32", "link.dpiv"}, "refusing to write link.dpiv: it is the image-pair file link.dpiv this run reads"},
      {{"-dft", "32", "-mask", "mask.dpiv", "-tec", "mask", "run.b16"},
       "refusing to write mask.plt: it is the mask file mask.dpiv this run reads"},
      {{"-dft", "32", "-tec", "run", "run.0001.dpiv"},
       "refusing to write run.plt: it is the image-pair file run.0001.dpiv this run reads"},
      {{"-dft", "32", "-all", "1", "1", "2", "run.series.txt"},
       "refusing to write run.series.txt: it is the image-pair file run.series.txt this run reads"},
  };
  // mask.plt and run.plt lead to the inputs too.
  ASSERT_EQ(link(dir.file("mask.dpiv").c_str(), dir.file("mask.plt").c_str()), 0);
  ASSERT_EQ(symlink("run.0001.dpiv", dir.file("run.plt").c_str()), 0);
  ASSERT_EQ(rename(dir.file("FFTPlans.Wisdom.dat").c_str(), dir.file("wisdom.kept").c_str()), 0);
  const auto before = Tree(dir);
  for (const Case& c : cases) {
    const RunResult r = Tarvex(c.args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err, "tarvex: " + c.message + "\n");
    EXPECT_EQ(r.out, kTarvexBanner);
    EXPECT_TRUE(Tree(dir) == before) << c.message;
  }

  // pivplot's picture over its --image file, or over the DPIV file it draws.
  ASSERT_EQ(rename(dir.file("wisdom.kept").c_str(), dir.file("FFTPlans.Wisdom.dat").c_str()), 0);
  ASSERT_EQ(Tarvex({"-dft", "32", "-gspac", "16", "16", "run.b16"}).status, 0);
  Copy("run.b16", "pic.png");
  const auto kept = Tree(dir);
  RunResult r = RunProgram("pivplot", {"run.dpiv", "--image", "pic.png", "1", "--out", "pic.png"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "pivplot: refusing to write pic.png: it is the --image file pic.png this run reads\n");
  r = RunProgram("pivplot", {"run.dpiv", "--out", "./run.dpiv"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "pivplot: refusing to write ./run.dpiv: it is the DPIV file run.dpiv this run reads\n");
  EXPECT_TRUE(Tree(dir) == kept);
}

// A series keeps a record of the run next to its files; -resume keeps only the files that are
// whole, of this grid and of this run, and analyses the pairs of the others again.
TEST_F(Trust, ResumeKeepsOnlyFinishedFilesOfTheSameRun) {
  ASSERT_EQ(Tarvex(With(kSeries, {"run.b16"})).status, 0);
  const auto full = Tree(dir);
  struct stat input;
  ASSERT_EQ(stat(dir.file("run.b16").c_str(), &input), 0);
  char modified[64];
  snprintf(modified, sizeof modified, "%lld.%09ld", static_cast<long long>(input.st_mtim.tv_sec),
           static_cast<long>(input.st_mtim.tv_nsec));
  EXPECT_EQ(ReadFile(dir.file("run.series.txt")),
            "tarvex series record 1\ninput run.b16\nsize " + std::to_string(input.st_size) + "\nmodified " +
                modified +
                "\n-dft 32x32\n-gspac 16 16\n-all 1 1 2\n-i off\n-MinRho off\n-MaxVelRat off\n-GHcheck off\n"
                "-MVOcheck 1\n-DMVOcheck off\n-s off\n-o off\n-subpix fit\n-meansub off\n-deform off\n-dft0 off\n-deformref off\n"
                "-mask off\n");

  // Pair 1's DPIV file one record short, pair 2's cut in the middle of a line, pair 3's
  // Tecplot file empty: their pairs are analysed again; pair 4 is kept.
  const std::string first = full.at("run.0001.dpiv");
  WriteFile(dir.file("run.0001.dpiv"), first.substr(0, first.rfind('\n', first.size() - 2) + 1));
  WriteFile(dir.file("run.0003.dpiv"), full.at("run.0003.dpiv").substr(0, full.at("run.0003.dpiv").size() - 9));
  WriteFile(dir.file("t.0005.plt"), "");
  const RunResult resumed = Tarvex(With(kSeries, {"-resume", "run.b16"}));
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_NE(resumed.out.find("Resuming: 1 pair already written, skipped (first images 7 to 7)\n"),
            std::string::npos);
  EXPECT_EQ(resumed.out.find("Resuming:"), resumed.out.rfind("Resuming:"));
  EXPECT_TRUE(Tree(dir) == full);

  // A DPIV file of another grid (4 x 4 points for 3 x 3) in pair 2's place.
  TempDir other;
  WriteFile(other.file("run.b16"), ReadFile(dir.file("run.b16")));
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "16", "run.b16"}, other.path(), "1 2\n").status, 0);
  WriteFile(dir.file("run.0003.dpiv"), ReadFile(other.file("run.dpiv")));
  EXPECT_EQ(Tarvex(With(kSeries, {"-resume", "run.b16"})).status, 0);
  EXPECT_TRUE(Tree(dir) == full);

  // A file older than the record is an earlier run's (a run with other options that was
  // stopped before it rewrote it): its pair is analysed again.
  struct utimbuf old = {1000000000, 1000000000};
  ASSERT_EQ(utime(dir.file("run.0003.dpiv").c_str(), &old), 0);
  const RunResult again = Tarvex(With(kSeries, {"-resume", "run.b16"}));
  EXPECT_NE(again.out.find("Resuming: 1 pair already written, skipped (first images 1 to 1)\n"), std::string::npos);
  EXPECT_NE(again.out.find("Resuming: 2 pairs already written, skipped (first images 5 to 7)\n"), std::string::npos);
  EXPECT_GT(Modified(dir.file("run.0003.dpiv")), Modified(dir.file("run.series.txt")));
  EXPECT_TRUE(Tree(dir) == full);

  // A series of an older tarvex has no record: its finished files are kept, and the record
  // is written.
  std::remove(dir.file("run.series.txt").c_str());
  std::remove(dir.file("run.0007.dpiv").c_str());
  const RunResult older = Tarvex(With(kSeries, {"-resume", "run.b16"}));
  EXPECT_EQ(older.status, 0);
  EXPECT_NE(older.out.find("Resuming: 3 pairs already written, skipped (first images 1 to 5)\n"), std::string::npos);
  EXPECT_TRUE(Tree(dir) == full);
}

// -resume of a run with other options or on another input is refused, naming the line of
// the record that differs, with nothing written.
TEST_F(Trust, ResumeRefusesARecordOfAnotherRun) {
  ASSERT_EQ(Tarvex(With(kSeries, {"run.b16"})).status, 0);
  std::remove(dir.file("run.0005.dpiv").c_str());
  auto before = Tree(dir);
  const auto refused = [&](const std::vector<std::string>& args, const std::string& message) {
    const RunResult r = Tarvex(args);
    EXPECT_EQ(r.status, 1) << message;
    EXPECT_EQ(r.err, "tarvex: cannot resume: run.series.txt records " + message + "; nothing written\n");
    EXPECT_EQ(r.out, kTarvexBanner);
    EXPECT_TRUE(Tree(dir) == before) << message;
  };
  refused({"-dft", "32", "-gspac", "16", "16", "-MVOcheck", "2", "-tec", "t", "-all", "1", "1", "2", "-resume",
           "run.b16"},
          "-MVOcheck 1, this run has -MVOcheck 2");
  refused({"-dft", "32", "-gspac", "16", "16", "-MVOcheck", "1", "-tec", "t", "-all", "1", "2", "2", "-resume",
           "run.b16"},
          "-all 1 1 2, this run has -all 1 2 2");
  refused(With(kSeries, {"-s", "-resume", "run.b16"}), "-s off, this run has -s on");
  refused(With(kSeries, {"-deform", "1", "-resume", "run.b16"}), "-subpix fit, this run has -subpix gauss3");
  // run.a.b16 shares its output names with run.b16: it may not take run.b16's files.
  Copy("run.b16", "run.a.b16");
  before = Tree(dir);
  refused(With(kSeries, {"-resume", "run.a.b16"}), "input run.b16, this run has input run.a.b16");

  // The same input changed since (same size, another time).
  struct utimbuf later = {2000000000, 2000000000};
  ASSERT_EQ(utime(dir.file("run.b16").c_str(), &later), 0);
  const RunResult changed = Tarvex(With(kSeries, {"-resume", "run.b16"}));
  EXPECT_EQ(changed.status, 1);
  EXPECT_EQ(changed.err.rfind("tarvex: cannot resume: run.series.txt records modified ", 0), 0u) << changed.err;
  EXPECT_NE(changed.err.find(", this run has modified 2000000000.000000000; nothing written\n"), std::string::npos);
}

// -all that finds no pair in the file is said, with status 1, and nothing is written.
TEST_F(Trust, ASeriesWithoutAPairFails) {
  const RunResult r = Tarvex({"-dft", "32", "-all", "9", "1", "2", "run.b16"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvex: no pair to analyse: -all 9 1 2 finds no pair among the 8 images of run.b16\n");
  EXPECT_EQ(r.out.find("Calculating TARVEX"), std::string::npos);
  EXPECT_EQ(Tree(dir).size(), 2u);  // run.b16 and the wisdom file
  EXPECT_EQ(Tarvex({"-dft", "32", "-all", "8", "1", "1", "run.b16"}).status, 1);
}

// Unknown arguments leave the status and the standard output as they were, and are named on
// standard error.
TEST_F(Trust, UnknownArgumentsAreNamedAndChangeNothingElse) {
  const RunResult plain = Tarvex({"-dft", "32", "run.b16"});
  const std::string expected = ReadFile(dir.file("run.dpiv"));
  const RunResult slips = Tarvex({"-dft", "32", "-Mask", "x", "-j2", "--deform", "2", "run.b16"});
  EXPECT_EQ(slips.status, plain.status);
  EXPECT_EQ(slips.out, plain.out);
  EXPECT_EQ(slips.err,
            "tarvex: ignoring unknown argument '-Mask' (did you mean -mask?)\n"
            "tarvex: ignoring unknown argument 'x'\n"
            "tarvex: ignoring unknown argument '-j2' (did you mean -j?)\n"
            "tarvex: ignoring unknown argument '--deform' (did you mean -deform?)\n"
            "tarvex: ignoring unknown argument '2'\n");
  EXPECT_EQ(ReadFile(dir.file("run.dpiv")), expected);
}

// A line break in the input's name would break the title line of the DPIV file (which its
// own readers then refuse); a number beyond an int was taken modulo 2^32.
TEST_F(Trust, NamesAndNumbersTheFilesCannotHoldAreRefused) {
  Copy("run.b16", "run\n.b16");
  const auto before = Tree(dir);
  RunResult r = Tarvex({"-dft", "32", "run\n.b16"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "tarvex: the image-pair file name holds a control character (a line break or the like), which the "
            "title line of an output file cannot hold\n");
  r = Tarvex({"-dft", "4294967328", "run.b16"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvex: -dft takes whole numbers from -2147483648 to 2147483647 (got \"4294967328\")\n");
  r = Tarvex({"-dft", "32", "-all", "1", "1", "4294967298", "run.b16"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Tree(dir) == before);
}

// A wisdom file with one wrong number (FFTW's planner ended every run with "fftw: bug in
// planner (conflicting plan options)") is named, ignored and replaced; the results are those
// of a sound one.
TEST_F(Trust, ADamagedWisdomFileIsReplaced) {
  ASSERT_EQ(Tarvex({"-dft", "32", "run.b16"}).status, 0);
  const std::string expected = ReadFile(dir.file("run.dpiv"));
  WriteFile(dir.file("FFTPlans.Wisdom.dat"), "(FFTW-2.1.5 (4 537 1 0 1 1 0 100 1))");
  const RunResult r = Tarvex({"-dft", "32", "run.b16"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "tarvex: the wisdom file FFTPlans.Wisdom.dat is damaged (FFTW's planner fails on it); it is ignored, and "
            "the plans are computed afresh and stored in it\n");
  EXPECT_EQ(ReadFile(dir.file("run.dpiv")), expected);
  EXPECT_EQ(ReadFile(dir.file("FFTPlans.Wisdom.dat")), "(FFTW-2.1.5)");
  EXPECT_EQ(Tarvex({"-dft", "32", "run.b16"}).err, "");
}
