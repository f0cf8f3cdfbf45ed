// The option scan of tarvex: defaults, value forms, cursor semantics and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NearestOption.h"
#include "ParseParameters.h"
#include "Settings.h"

namespace tarvex {

namespace {

struct ParseResult {
  bool ok;
  TarvexSettings s;
  std::string err;
};

// Runs the scan on "tarvex" followed by args, capturing standard error.
ParseResult Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tarvex");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ParseResult r;
  testing::internal::CaptureStderr();
  r.ok = ParseOptions(static_cast<int>(args.size()), argv.data(), r.s);
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

ParseResult ParseOk(const std::vector<std::string>& args) {
  ParseResult r = Parse(args);
  EXPECT_TRUE(r.ok) << "refused: " << r.err;
  EXPECT_EQ(r.err, "");
  return r;
}

void ExpectRefused(const std::vector<std::string>& args) {
  ParseResult r = Parse(args);
  std::string joined;
  for (const auto& a : args) joined += a + " ";
  EXPECT_FALSE(r.ok) << joined;
  EXPECT_NE(r.err, "") << "no message for: " << joined;
}

TEST(Options, FileNameAloneGivesDefaults) {
  TarvexSettings s = ParseOk({"run.b16"}).s;
  EXPECT_STREQ(s.filename, "run.b16");
  EXPECT_EQ(s.pflag, 0);
  EXPECT_EQ(s.cflag, 0);
  EXPECT_EQ(s.speed, 0);
  EXPECT_EQ(s.fftx, 64);
  EXPECT_EQ(s.ffty, 64);
  EXPECT_EQ(s.Delx, 64);
  EXPECT_EQ(s.Dely, 64);
  EXPECT_EQ(s.Xoff, 0);
  EXPECT_EQ(s.Yoff, 0);
  EXPECT_FLOAT_EQ(s.MinRho, 0.0f);
  EXPECT_FLOAT_EQ(s.MaxVelRatio, 0.5f);
  EXPECT_FLOAT_EQ(s.C1, 1.0f);
  EXPECT_FLOAT_EQ(s.C2, 1.0f);
  EXPECT_FLOAT_EQ(s.C3, 3.0f);
  EXPECT_FLOAT_EQ(s.C4, 1.0f);
  EXPECT_EQ(s.start, 1);
  EXPECT_EQ(s.inc, 1);
  EXPECT_EQ(s.stride, 1);
  EXPECT_STREQ(s.sname, "");
}

TEST(Options, SingleArgumentIsFileNameEvenWithDash) {
  for (const char* name : {"-dft", "-i", "-all", "-tecx"}) {
    TarvexSettings s = ParseOk({name}).s;
    EXPECT_STREQ(s.filename, name);
    EXPECT_EQ(s.pflag, 0) << name;
    EXPECT_EQ(s.fftx, 64) << name;
  }
}

TEST(Options, SwitchesSetTheirBits) {
  TarvexSettings s = ParseOk({"-i", "-s", "-o", "f.b16"}).s;
  EXPECT_EQ(s.pflag, PFLAG_ITERATE | PFLAG_SMOOTH);
  EXPECT_EQ(s.speed, 1);
  EXPECT_EQ(s.cflag, 0);
}

TEST(Options, CheckOptionsSetValueAndBit) {
  TarvexSettings s = ParseOk({"-MinRho", "0.3", "-MaxVelRat", "0.25", "-GHcheck", "2", "-MVOcheck", "0.5",
                              "-DMVOcheck", "1.5", "2.5", "f.b16"})
                         .s;
  EXPECT_FLOAT_EQ(s.MinRho, 0.3f);
  EXPECT_FLOAT_EQ(s.MaxVelRatio, 0.25f);
  EXPECT_FLOAT_EQ(s.C3, 2.0f);
  EXPECT_FLOAT_EQ(s.C4, 0.5f);
  EXPECT_FLOAT_EQ(s.C1, 1.5f);
  EXPECT_FLOAT_EQ(s.C2, 2.5f);
  EXPECT_EQ(s.cflag, CFLAG_MINRHO | CFLAG_MAXVEL | CFLAG_GLOBALHIST | CFLAG_MEDIAN | CFLAG_DYNMEAN);
  EXPECT_EQ(s.pflag, 0);
}

TEST(Options, RepeatedOptionKeepsLastValue) {
  TarvexSettings s = ParseOk({"-MinRho", "0.3", "-MinRho", "0.7", "f.b16"}).s;
  EXPECT_FLOAT_EQ(s.MinRho, 0.7f);
  EXPECT_EQ(s.cflag, CFLAG_MINRHO);
}

TEST(Options, OptionsMatchExactlyWithCase) {
  const ParseResult r = Parse({"-minrho", "0.3", "-S", "-I", "-O", "-gspacing", "4", "4", "f.b16"});
  ASSERT_TRUE(r.ok);
  // Each argument ignored is named on standard error, with the option it is a slip for.
  EXPECT_EQ(r.err,
            "tarvex: ignoring unknown argument '-minrho' (did you mean -MinRho?)\n"
            "tarvex: ignoring unknown argument '0.3'\n"
            "tarvex: ignoring unknown argument '-S' (did you mean -s?)\n"
            "tarvex: ignoring unknown argument '-I' (did you mean -i?)\n"
            "tarvex: ignoring unknown argument '-O' (did you mean -o?)\n"
            "tarvex: ignoring unknown argument '-gspacing'\n"
            "tarvex: ignoring unknown argument '4'\n"
            "tarvex: ignoring unknown argument '4'\n");
  const TarvexSettings& s = r.s;
  EXPECT_EQ(s.cflag, 0);
  EXPECT_EQ(s.pflag, 0);
  EXPECT_EQ(s.speed, 0);
  EXPECT_EQ(s.Delx, 64);  // "-gspacing" is not -gspac; its numbers are ignored too
}

TEST(Options, ValuesReadLikeAtofAndAtoi) {
  TarvexSettings s = ParseOk({"-MinRho", "0.4abc", "-MaxVelRat", "abc", "-gspac", "12.9", "7px", "f.b16"}).s;
  EXPECT_FLOAT_EQ(s.MinRho, 0.4f);
  EXPECT_FLOAT_EQ(s.MaxVelRatio, 0.0f);
  EXPECT_EQ(s.cflag, CFLAG_MINRHO | CFLAG_MAXVEL);
  EXPECT_EQ(s.Delx, 12);
  EXPECT_EQ(s.Dely, 7);
}

TEST(Options, ValueThatNamesLaterOptionAlsoSwitchesItOn) {
  // -s is tested after -MinRho, so the value "-s" is read as 0 and then matches -s.
  TarvexSettings s = ParseOk({"-MinRho", "-s", "f.b16"}).s;
  EXPECT_FLOAT_EQ(s.MinRho, 0.0f);
  EXPECT_EQ(s.cflag, CFLAG_MINRHO);
  EXPECT_EQ(s.pflag, PFLAG_SMOOTH);
  // -i is tested before -MinRho, so the value "-i" does not switch it on.
  TarvexSettings t = ParseOk({"-MinRho", "-i", "f.b16"}).s;
  EXPECT_EQ(t.pflag, 0);
  EXPECT_EQ(t.cflag, CFLAG_MINRHO);
}

TEST(Options, DftSizeForms) {
  struct Case {
    std::vector<std::string> args;
    int fftx, ffty, delx, dely;
  };
  const Case cases[] = {
      {{"-dft", "32", "f.b16"}, 32, 32, 32, 32},
      {{"-dft", "32x16", "f.b16"}, 32, 16, 32, 16},
      {{"-dft32x16", "f.b16"}, 32, 16, 32, 16},
      {{"-dft32", "f.b16"}, 32, 32, 32, 32},
      {{"-dft", "32x16", "-gspac", "0", "0", "f.b16"}, 32, 16, 32, 16},
      {{"-gspac", "8", "8", "-dft", "32", "f.b16"}, 32, 32, 8, 8},
      {{"-dft", "32", "-gspac", "8", "8", "f.b16"}, 32, 32, 8, 8},
      {{"-gspac", "8", "4", "-dft", "32x16", "f.b16"}, 32, 16, 8, 4},
      {{"-dft", "32X16", "f.b16"}, 32, 32, 32, 32},      // only a lower-case x divides
      {{"-dft", "32x16x8", "f.b16"}, 32, 8, 32, 8},      // the last x divides
      {{"-dft", "16", "-dft", "32x64", "f.b16"}, 32, 64, 16, 16},  // spacing set by the first
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    TarvexSettings s = ParseOk(c.args).s;
    EXPECT_EQ(s.fftx, c.fftx) << joined;
    EXPECT_EQ(s.ffty, c.ffty) << joined;
    EXPECT_EQ(s.Delx, c.delx) << joined;
    EXPECT_EQ(s.Dely, c.dely) << joined;
    EXPECT_STREQ(s.filename, "f.b16") << joined;
  }
}

TEST(Options, TecNameSeparateOrAttached) {
  TarvexSettings a = ParseOk({"-tec", "run1", "f.b16"}).s;
  TarvexSettings b = ParseOk({"-tecrun1", "f.b16"}).s;
  EXPECT_STREQ(a.sname, "run1");
  EXPECT_STREQ(b.sname, "run1");
  EXPECT_EQ(a.pflag, PFLAG_TECPLOT);
  EXPECT_EQ(b.pflag, PFLAG_TECPLOT);
  EXPECT_STREQ(b.filename, "f.b16");
}

TEST(Options, AttachedValuesLeaveCursorInPlace) {
  // The argument after an attached value is scanned as an option of its own.
  TarvexSettings s = ParseOk({"-dft32x16", "-s", "-tecrun1", "-i", "f.b16"}).s;
  EXPECT_EQ(s.fftx, 32);
  EXPECT_EQ(s.ffty, 16);
  EXPECT_STREQ(s.sname, "run1");
  EXPECT_EQ(s.pflag, PFLAG_SMOOTH | PFLAG_TECPLOT | PFLAG_ITERATE);
}

TEST(Options, TecAsLastOptionTakesTheFileNameToo) {
  TarvexSettings s = ParseOk({"-s", "-tec", "run.b16"}).s;
  EXPECT_STREQ(s.sname, "run.b16");
  EXPECT_STREQ(s.filename, "run.b16");
  EXPECT_EQ(s.pflag, PFLAG_SMOOTH | PFLAG_TECPLOT);
}

TEST(Options, AllByFirstFourCharacters) {
  TarvexSettings a = ParseOk({"-allpairs", "1", "1", "2", "f.b16"}).s;
  TarvexSettings b = ParseOk({"-all", "3", "2", "5", "f.b16"}).s;
  EXPECT_EQ(a.start, 1);
  EXPECT_EQ(a.inc, 1);
  EXPECT_EQ(a.stride, 2);
  EXPECT_EQ(a.pflag, PFLAG_SERIES);
  EXPECT_EQ(b.start, 3);
  EXPECT_EQ(b.inc, 2);
  EXPECT_EQ(b.stride, 5);
  EXPECT_EQ(b.pflag, PFLAG_SERIES);
}

TEST(Options, UnknownArgumentsIgnored) {
  const ParseResult r = Parse({"-x", "hello", "42", "-dft", "16", "--s", "f.b16"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.err,
            "tarvex: ignoring unknown argument '-x'\n"
            "tarvex: ignoring unknown argument 'hello'\n"
            "tarvex: ignoring unknown argument '42'\n"
            "tarvex: ignoring unknown argument '--s' (did you mean -s?)\n");
  const TarvexSettings& s = r.s;
  EXPECT_EQ(s.fftx, 16);
  EXPECT_EQ(s.pflag, 0);
  EXPECT_EQ(s.cflag, 0);
}

// The slips of the fingers a user makes, each named with the option meant; the values of
// known options, the names the scan knows by their first four characters and the file name
// are never warned about.
TEST(Options, UnknownArgumentsAreNamedWithTheNearestOption) {
  const ParseResult r = Parse({"-msk", "m.png", "-Mask", "-deform3", "--deform", "2", "-MVOCheck", "1", "-j2",
                               "-dft", "32", "f.b16"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.err,
            "tarvex: ignoring unknown argument '-msk' (did you mean -mask?)\n"
            "tarvex: ignoring unknown argument 'm.png'\n"
            "tarvex: ignoring unknown argument '-Mask' (did you mean -mask?)\n"
            "tarvex: ignoring unknown argument '-deform3' (did you mean -deform?)\n"
            "tarvex: ignoring unknown argument '--deform' (did you mean -deform?)\n"
            "tarvex: ignoring unknown argument '2'\n"
            "tarvex: ignoring unknown argument '-MVOCheck' (did you mean -MVOcheck?)\n"
            "tarvex: ignoring unknown argument '1'\n"
            "tarvex: ignoring unknown argument '-j2' (did you mean -j?)\n");
  EXPECT_EQ(r.s.deform, 0);
  EXPECT_EQ(r.s.cflag, 0);
  EXPECT_EQ(r.s.threads, 1);
  EXPECT_STREQ(r.s.maskname, "");

  ParseOk({"-tecrun1", "-allx", "1", "1", "2", "-dft32x16", "-MinRho", "-s", "-mask", "-x", "-j", "2", "-dft0",
           "64", "-deform", "1", "-subpix", "gauss3", "-all", "1", "1", "2", "-bogus"});
}

TEST(Options, NearestOptionByEditDistance) {
  EXPECT_EQ(EditDistance("-mask", "-Mask"), 0u);
  EXPECT_EQ(EditDistance("-deform3", "-deform"), 1u);
  EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
  EXPECT_EQ(EditDistance("", "-s"), 2u);
  const char* const names[] = {"-i", "-s", "-mask", "-deform", "-j"};
  EXPECT_STREQ(NearestOption("-Mask", names, 5), "-mask");
  EXPECT_STREQ(NearestOption("--deform", names, 5), "-deform");
  EXPECT_STREQ(NearestOption("-j2", names, 5), "-j");
  EXPECT_STREQ(NearestOption("-I", names, 5), "-i");
  // Too far for a slip: 2 edits in a one-letter word, 1 in a two-letter one, 3 anywhere.
  EXPECT_EQ(NearestOption("x", names, 5), nullptr);
  EXPECT_EQ(NearestOption("-q", names, 5), nullptr);
  EXPECT_EQ(NearestOption("-deformation", names, 5), nullptr);
  EXPECT_EQ(NearestOption("", names, 5), nullptr);
  // Equally near: the first of the list.
  EXPECT_STREQ(NearestOption("-sj", names, 5), "-s");
}

// Whole numbers beyond the range of an int used to wrap (4294967328 was read as 32); they are
// refused for every option that takes whole numbers, while values within the range are still
// read as atoi reads them.
TEST(Options, WholeNumbersBeyondAnIntAreRefused) {
  const ParseResult dft = Parse({"-dft", "4294967328", "f.b16"});
  EXPECT_FALSE(dft.ok);
  EXPECT_EQ(dft.err, "tarvex: -dft takes whole numbers from -2147483648 to 2147483647 (got \"4294967328\")\n");
  ExpectRefused({"-dft4294967328", "f.b16"});
  ExpectRefused({"-dft", "32x4294967312", "f.b16"});
  ExpectRefused({"-dft", "-4294967264", "f.b16"});
  ExpectRefused({"-gspac", "4294967312", "16", "f.b16"});
  ExpectRefused({"-gspac", "16", "99999999999999999999", "f.b16"});
  for (int k = 0; k < 3; k++) {
    std::vector<std::string> all = {"-all", "1", "1", "2", "f.b16"};
    all[static_cast<size_t>(k) + 1] = "4294967297";
    ExpectRefused(all);
  }
  ExpectRefused({"-j", "4294967297", "f.b16"});
  ExpectRefused({"-deform", "4294967297", "f.b16"});
  ExpectRefused({"-dft", "32", "-deform", "1", "-dft0", "4294967360", "f.b16"});
  // The largest int and atoi's reading of what follows the digits.
  const TarvexSettings s = ParseOk({"-dft", "32abc", "-gspac", "2147483647", "16", "-all", "1x", "2", "3", "f.b16"}).s;
  EXPECT_EQ(s.fftx, 32);
  EXPECT_EQ(s.Delx, 2147483647);
  EXPECT_EQ(s.start, 1);
}

// A line break in a name would end the title line of the DPIV or Tecplot file it goes into.
TEST(Options, NamesWithControlCharactersAreRefused) {
  const ParseResult r = Parse({"-dft", "32", "run\n.b16"});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.err,
            "tarvex: the image-pair file name holds a control character (a line break or the like), which the "
            "title line of an output file cannot hold\n");
  ExpectRefused({"run\r.b16"});
  ExpectRefused({std::string("run\x1b.b16")});
  ExpectRefused({"-tec", "t\nx", "f.b16"});
  ExpectRefused({"-tect\n", "f.b16"});
  // A tab and letters beyond ASCII fit a line.
  EXPECT_STREQ(ParseOk({"run\t\xc3\xa9.b16"}).s.filename, "run\t\xc3\xa9.b16");
}

TEST(Options, LastArgumentMayServeAsValueButNothingBeyond) {
  // The last argument may be read as a value and still names the file.
  TarvexSettings s = ParseOk({"-DMVOcheck", "0.5", "2.5"}).s;
  EXPECT_FLOAT_EQ(s.C1, 0.5f);
  EXPECT_FLOAT_EQ(s.C2, 2.5f);
  EXPECT_STREQ(s.filename, "2.5");
  // An option in the last place is not scanned at all: it is the file name.
  TarvexSettings t = ParseOk({"-i", "-tec"}).s;
  EXPECT_EQ(t.pflag, PFLAG_ITERATE);
  EXPECT_STREQ(t.sname, "");
  EXPECT_STREQ(t.filename, "-tec");
  // Values that would lie past the last argument are refused; so is a missing file name.
  ExpectRefused({});
  ExpectRefused({"-MinRho", "-MaxVelRat"});  // -MaxVelRat, under the cursor, wants one more
  ExpectRefused({"-DMVOcheck", "1"});
  ExpectRefused({"-all", "1", "2"});
  ExpectRefused({"-gspac", "8"});
  ExpectRefused({"-dft", "-tec"});
}

TEST(Options, RefusesUnusableValues) {
  ExpectRefused({"-gspac", "0", "16", "f.b16"});
  ExpectRefused({"-gspac", "16", "0", "f.b16"});
  ExpectRefused({"-gspac", "-8", "-8", "f.b16"});
  ExpectRefused({"-dft", "0", "f.b16"});
  ExpectRefused({"-dft", "32x0", "f.b16"});
  ExpectRefused({"-dft", "-32", "f.b16"});
  ExpectRefused({"-dftsize", "f.b16"});
  ExpectRefused({"-all", "1", "0", "2", "f.b16"});
  ExpectRefused({"-all", "1", "1", "0", "f.b16"});
  ExpectRefused({"-all", "1", "1", "-2", "f.b16"});
  ExpectRefused({"-all", "1", "2", "f.b16"});  // stride read from the file name as 0
}

TEST(Options, NameLengthLimit) {
  const std::string longest(199, 'a'), tooLong(200, 'a');
  EXPECT_STREQ(ParseOk({longest}).s.filename, longest.c_str());
  EXPECT_STREQ(ParseOk({"-tec", longest, "f.b16"}).s.sname, longest.c_str());
  ExpectRefused({tooLong});
  ExpectRefused({"-tec", tooLong, "f.b16"});
  ExpectRefused({"-tec" + tooLong, "f.b16"});
}

}  // namespace

namespace {

TEST(Options, DeformationPassesAndFirstWindow) {
  // -deform implies the accurate first pass; the analysis settings carry both values.
  TarvexSettings s = ParseOk({"-dft", "32", "-deform", "3", "-dft0", "64", "f.b16"}).s;
  EXPECT_EQ(s.deform, 3);
  EXPECT_EQ(s.firstWindow, 64);
  EXPECT_EQ(s.fftx, 32);  // -dft0 is an option of its own, not -dft with 0 attached
  EXPECT_EQ(s.subpix, SubPixelEstimator::Gauss3);
  EXPECT_TRUE(s.meansub);
  const AnalysisSettings a = ToAnalysisSettings(s);
  EXPECT_EQ(a.deformPasses, 3);
  EXPECT_EQ(a.firstWindow, 64);
  EXPECT_EQ(a.subpix, SubPixelEstimator::Gauss3);
  EXPECT_TRUE(a.meanSubtraction);

  // The limits, and -dft with a value attached that begins with 0 stays -dft.
  EXPECT_EQ(ParseOk({"-deform", "20", "f.b16"}).s.deform, 20);
  EXPECT_EQ(ParseOk({"-deform", "1", "-subpix", "gauss3", "f.b16"}).s.deform, 1);
  EXPECT_EQ(ParseOk({"-dft064", "f.b16"}).s.fftx, 64);
  EXPECT_EQ(ParseOk({"-dft", "32x16", "-deform", "2", "-dft0", "64", "f.b16"}).s.firstWindow, 64);
  // Without -deform nothing changes.
  const TarvexSettings plain = ParseOk({"-dft", "32", "f.b16"}).s;
  EXPECT_EQ(plain.deform, 0);
  EXPECT_EQ(plain.subpix, SubPixelEstimator::Fit);
  EXPECT_FALSE(plain.meansub);
}

TEST(Options, DeformationRefusals) {
  for (const char* passes : {"0", "21", "99999999999999999999", "1.5", "-1", "", "x3"})
    ExpectRefused({"-deform", passes, "f.b16"});
  ExpectRefused({"-deform", "2", "-i", "f.b16"});
  ExpectRefused({"-i", "-deform", "2", "f.b16"});
  ExpectRefused({"-deform", "2", "-subpix", "fit", "f.b16"});
  ExpectRefused({"-dft", "32", "-dft0", "64", "f.b16"});                 // without -deform
  ExpectRefused({"-dft", "32", "-deform", "2", "-dft0", "24", "f.b16"});  // not larger
  ExpectRefused({"-dft", "64x32", "-deform", "2", "-dft0", "64", "f.b16"});
  ExpectRefused({"-dft", "32", "-deform", "2", "-dft0", "36", "f.b16"});  // no table plan
  ExpectRefused({"-dft", "32", "-deform", "2", "-dft0", "6.4e1", "f.b16"});
  ExpectRefused({"-dft", "32", "-dft0", "0", "f.b16"});
}

}  // namespace

}  // namespace tarvex
