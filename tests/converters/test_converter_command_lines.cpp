// The converters' command lines read by their own functions: what each accepts, the
// usage text of each refusal, and the file names of a quenlar series at the edge of the
// B16 reader's 49 characters.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ConverterCommandLines.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// main's argc and argv for a command line.
struct Argv {
  explicit Argv(std::vector<std::string> words) : words_(std::move(words)) {
    for (std::string& w : words_) argv_.push_back(&w[0]);
    argv_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words_.size()); }
  char** argv() { return argv_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> argv_;
};

TEST(ConverterCommandLines, PralenTakesAnyNumberOfTiffsBeforeTheOutput) {
  Argv three({"pralen", "a.tif", "b.tif", "c.tif", "out.dat"});
  PralenCommandLine line;
  ASSERT_TRUE(ParsePralenCommandLine(three.argc(), three.argv(), line));
  EXPECT_EQ(line.inputs, 3);
  EXPECT_STREQ(line.output, "out.dat");

  EXPECT_FALSE(line.fullDepth);
  EXPECT_EQ(line.first, 1);

  // -fulldepth counts as the first argument only; elsewhere it is a file name, as it always was.
  Argv full({"pralen", "-fulldepth", "a.png", "b.tif", "out.dat"});
  ASSERT_TRUE(ParsePralenCommandLine(full.argc(), full.argv(), line));
  EXPECT_TRUE(line.fullDepth);
  EXPECT_EQ(line.first, 2);
  EXPECT_EQ(line.inputs, 2);
  EXPECT_STREQ(line.output, "out.dat");
  Argv later({"pralen", "a.tif", "-fulldepth", "out.dat"});
  ASSERT_TRUE(ParsePralenCommandLine(later.argc(), later.argv(), line));
  EXPECT_FALSE(line.fullDepth);
  EXPECT_EQ(line.inputs, 2);

  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"pralen", "out.dat"}, {"pralen", "-fulldepth", "out.dat"}, {"pralen", "-fulldepth"}}) {
    Argv lone(words);
    CaptureStderr();
    EXPECT_FALSE(ParsePralenCommandLine(lone.argc(), lone.argv(), line));
    EXPECT_EQ(GetCapturedStderr(), "Use: pralen TIFF-1 <TIFF-2 ... TIFF-N> OutputFile\n");
  }
}

TEST(ConverterCommandLines, DolvekTakesExactlyAnInputAndAnOutput) {
  Argv two({"dolvek", "camera8.dat", "camera16.dat"});
  DolvekCommandLine line;
  ASSERT_TRUE(ParseDolvekCommandLine(two.argc(), two.argv(), line));
  EXPECT_STREQ(line.input, "camera8.dat");
  EXPECT_STREQ(line.output, "camera16.dat");
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"dolvek"}, {"dolvek", "in.dat"}, {"dolvek", "in.dat", "out.dat", "x"}}) {
    Argv wrong(words);
    CaptureStderr();
    EXPECT_FALSE(ParseDolvekCommandLine(wrong.argc(), wrong.argv(), line));
    EXPECT_EQ(GetCapturedStderr(), "Use: dolvek <InputFile> <OutputFile>\n");
  }
}

TEST(ConverterCommandLines, QuenlarConvertsOneFileOrASeriesFromAnIndex) {
  QuenlarCommandLine line;
  Argv one({"quenlar", "cam_0012.b16", "cam.dat"});
  ASSERT_TRUE(ParseQuenlarCommandLine(one.argc(), one.argv(), line));
  EXPECT_FALSE(line.series);
  EXPECT_STREQ(line.input, "cam_0012.b16");
  EXPECT_STREQ(line.output, "cam.dat");

  Argv series({"quenlar", "cam", "cam.dat", "12"});
  ASSERT_TRUE(ParseQuenlarCommandLine(series.argc(), series.argv(), line));
  EXPECT_TRUE(line.series);
  EXPECT_EQ(line.start, 12);
  Argv zero({"quenlar", "cam", "cam.dat", "0"});
  ASSERT_TRUE(ParseQuenlarCommandLine(zero.argc(), zero.argv(), line));
  EXPECT_EQ(line.start, 0);
  Argv largest({"quenlar", "cam", "cam.dat", "2147483647"});
  ASSERT_TRUE(ParseQuenlarCommandLine(largest.argc(), largest.argv(), line));
  EXPECT_EQ(line.start, 2147483647);
  // Anything but a whole number from 0 up is refused, naming it.
  for (const char* index : {"seven", "abc", "", "12abc", "1.5", "-1", "2147483648", "99999999999999999999"}) {
    Argv wrong({"quenlar", "cam", "cam.dat", index});
    CaptureStderr();
    EXPECT_FALSE(ParseQuenlarCommandLine(wrong.argc(), wrong.argv(), line)) << index;
    EXPECT_EQ(GetCapturedStderr(), std::string("\n\nStart index \"") + index +
                                       "\" is not a whole number from 0 to 2147483647 ....\n\n");
  }

  // The two usage texts differ by a space, as they always have.
  Argv none({"quenlar"});
  CaptureStderr();
  EXPECT_FALSE(ParseQuenlarCommandLine(none.argc(), none.argv(), line));
  EXPECT_EQ(GetCapturedStderr(), "Use: quenlar <InputFile(/SeriesName)> <OutputFile> (Start Index)\n");
  Argv lone({"quenlar", "cam.b16"});
  CaptureStderr();
  EXPECT_FALSE(ParseQuenlarCommandLine(lone.argc(), lone.argv(), line));
  EXPECT_EQ(GetCapturedStderr(), "Use: quenlar <InputFile(/SeriesName)> <OutputFile> (StartIndex)\n");
}

TEST(ConverterCommandLines, SeriesNamesHaveFourDigitsAtLeastAndFitTheB16Reader) {
  char name[kB16NameSize];
  ASSERT_TRUE(SeriesFileName("cam", 12, name));
  EXPECT_STREQ(name, "cam_0012.b16");
  ASSERT_TRUE(SeriesFileName("cam", 10000, name));
  EXPECT_STREQ(name, "cam_10000.b16");
  ASSERT_TRUE(SeriesFileName("cam", -3, name));
  EXPECT_STREQ(name, "cam_-003.b16");

  // 40 characters, "_", four digits and ".b16": 49, the most the reader takes.
  const std::string forty(40, 's');
  ASSERT_TRUE(SeriesFileName(forty.c_str(), 9999, name));
  EXPECT_EQ(std::string(name), forty + "_9999.b16");
  for (const auto& [series, index] : {std::pair<std::string, long>{forty, 10000}, {forty + "s", 1}}) {
    CaptureStderr();
    EXPECT_FALSE(SeriesFileName(series.c_str(), index, name));
    EXPECT_EQ(GetCapturedStderr(),
              "\n\nSeries name \"" + series + "\" gives file names longer than 49 characters ....\n\n");
  }
}

}  // namespace
