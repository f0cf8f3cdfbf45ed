// End-to-end tests of dolvek and quenlar: each runs the built program in a fresh directory
// on inputs written here and checks the console text, the output bytes and the exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "test_converter_inputs.h"

namespace {

std::vector<uint16_t> Times16(const std::vector<uint8_t>& pixels) {
  std::vector<uint16_t> v;
  for (uint8_t p : pixels) v.push_back(static_cast<uint16_t>(16 * p));
  return v;
}

// The expected image-pair file: header, then the images' values.
std::string PairFile(unsigned width, unsigned height, const std::vector<uint16_t>& values) {
  std::string bytes;
  Put16(bytes, width);
  Put16(bytes, height);
  for (uint16_t v : values) Put16(bytes, v);
  return bytes;
}

// ---------------------------------------------------------------- dolvek

TEST(Dolvek, ConvertsEveryWholeImageScaledBy16AndIgnoresTrailingBytes) {
  TempDir dir;
  const std::vector<uint8_t> pixels = {0, 1, 255, 2, 128, 17, /* image 2 */ 9, 8, 7, 6, 5, 4};
  WriteFile(dir.file("in.dat"), EightBitFile(3, 2, pixels, 5));
  const RunResult r = RunProgram("dolvek", {"in.dat", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "You have selected: \nInput   8Bit File   = in.dat\nOutput 16Bit File   = out.dat\n"
            "\n\nNumber of PIV Images          = 2\nSize of Images                = 3 px x 2 px\n"
            "Memory Size of each PIV Image = 6 bytes\n"
            "\nSize of each 8bit image = 6 bytes\n\n"
            "\nConverting 8 bit File -> 16 bit Dat File\n\nWriting out file \"out.dat\"\n");
  EXPECT_EQ(r.err, "");
  const std::string out = ReadFile(dir.file("out.dat"));
  EXPECT_EQ(out, PairFile(3, 2, Times16(pixels)));
  EXPECT_EQ(Values16(out, 4)[0], 0);
  EXPECT_EQ(Values16(out, 4)[1], 16);
  EXPECT_EQ(Values16(out, 4)[2], 4080);
}

TEST(Dolvek, ByteReversedHeaderIsCorrectedInTheOutput) {
  TempDir dir;
  std::vector<uint8_t> pixels(640 * 480);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 251);
  WriteFile(dir.file("in.dat"), EightBitFile(0x8002, 0xE001, pixels));
  const RunResult r = RunProgram("dolvek", {"in.dat", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\n\nbytes are probably reversed ....\n try swapping bytes ....\n\n"), std::string::npos);
  EXPECT_NE(r.out.find("Size of Images                = 640 px x 480 px\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFile(640, 480, Times16(pixels)));
}

TEST(Dolvek, WrongArgumentCountsPrintTheUsage) {
  TempDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"in.dat"}, {"a", "b", "c"}}) {
    const RunResult r = RunProgram("dolvek", args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Use: dolvek <InputFile> <OutputFile>\n");
    EXPECT_EQ(r.out, "");
  }
}

TEST(Dolvek, UnusableInputStopsBeforeAnyOutputIsWritten) {
  TempDir dir;
  WriteFile(dir.file("zero.dat"), EightBitFile(0, 4, {}));
  WriteFile(dir.file("short.dat"), std::string("\x02", 1));
  WriteFile(dir.file("huge.dat"), EightBitFile(5001, 5001, {}));  // above 5000 both ways round
  const std::string long_name(200, 'n');                            // one more than fname holds
  for (const std::string& in : {std::string("missing.dat"), std::string("zero.dat"), std::string("short.dat"),
                                std::string("huge.dat"), long_name}) {
    ExpectRefusal(RunProgram("dolvek", {in, "out.dat"}, dir.path()), in);
    EXPECT_FALSE(FileExists(dir.file("out.dat"))) << in;
  }
  const RunResult r = RunProgram("dolvek", {"missing.dat", "out.dat"}, dir.path());
  EXPECT_NE(r.out.find("\n Cannot open PIV image file missing.dat ....\n\n"), std::string::npos);
}

TEST(Dolvek, UnopenableOutputFileFails) {
  TempDir dir;
  WriteFile(dir.file("in.dat"), EightBitFile(2, 2, {1, 2, 3, 4}));
  const RunResult r = RunProgram("dolvek", {"in.dat", "no/such/dir/out.dat"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("\n\nProblem opening output file ....\n\n"), std::string::npos);
}

TEST(Dolvek, TarvexReadsTheOutput) {
  TempDir dir;
  std::vector<uint8_t> pixels(2 * 128 * 128);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 37) % 256);
  WriteFile(dir.file("in.dat"), EightBitFile(128, 128, pixels));
  ASSERT_EQ(RunProgram("dolvek", {"in.dat", "pair.dat"}, dir.path()).status, 0);
  ExpectTarvexReads(dir, "pair.dat", 2, 128, 128);
}

// ---------------------------------------------------------------- quenlar

B16Contents Frame(int32_t width, int32_t height, unsigned first) {
  B16Contents c;
  c.width = width;
  c.height = height;
  c.pixels = Ramp(static_cast<size_t>(width) * height, first);
  return c;
}

TEST(Quenlar, OneFileGivesTheTwoExposuresAsConsecutiveImages) {
  TempDir dir;
  const B16Contents frame = Frame(4, 6, 100);
  WriteFile(dir.file("cam.b16"), B16File(frame));
  const RunResult r = RunProgram("quenlar", {"cam.b16", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "You have selected: \nInput B16 File         = cam.b16\nOutput B16Dat File     = out.dat\n"
            "\nSize of each B16 image = 12 px\n\n"
            "\nConverting 12 bit B16 File -> 12 bit Dat File\n\nWriting out file \"out.dat\"\n");
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFile(4, 3, frame.pixels));
}

TEST(Quenlar, ExtendedHeaderPlacesThePixelsAtTheHeaderLength) {
  TempDir dir;
  B16Contents frame = Frame(3, 4, 4000);
  frame.extended = true;
  frame.header_length = 200;
  frame.bw_min = 10;
  frame.bw_max = 2000;
  WriteFile(dir.file("cam.b16"), B16File(frame));
  const RunResult r = RunProgram("quenlar", {"cam.b16", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFile(3, 2, frame.pixels));
}

TEST(Quenlar, AsksForAnotherNameWhileTheFileDoesNotOpen) {
  TempDir dir;
  const B16Contents frame = Frame(2, 2, 1);
  WriteFile(dir.file("cam.b16"), B16File(frame));
  const RunResult r = RunProgram("quenlar", {"nope.b16", "out.dat"}, dir.path(), "gone.b16\ncam.b16\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\n\nCannot Open File \"nope.b16\" enter filename > "
                       "\n\nCannot Open File \"gone.b16\" enter filename > "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFile(2, 1, frame.pixels));
}

TEST(Quenlar, EndOfInputAtTheNamePromptEndsTheProgram) {
  TempDir dir;
  const RunResult r = RunProgram("quenlar", {"nope.b16", "out.dat"}, dir.path(), "");
  ExpectRefusal(r, "end of input");
  EXPECT_NE(r.out.find("\n\nCannot Open File \"nope.b16\" enter filename > "), std::string::npos);
  EXPECT_FALSE(FileExists(dir.file("out.dat")));
}

TEST(Quenlar, SeriesRunsUpToTheFirstMissingFile) {
  TempDir dir;
  std::vector<uint16_t> expected;
  for (int index = 12; index <= 14; ++index) {
    const B16Contents frame = Frame(3, 4, static_cast<unsigned>(100 * index));
    WriteFile(dir.file("cam_00" + std::to_string(index) + ".b16"), B16File(frame));
    expected.insert(expected.end(), frame.pixels.begin(), frame.pixels.end());
  }
  WriteFile(dir.file("cam_0016.b16"), B16File(Frame(3, 4, 0)));  // beyond the gap: not read
  const RunResult r = RunProgram("quenlar", {"cam", "out.dat", "12"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  std::string text;
  for (int index = 12; index <= 14; ++index)
    text += "\nSize of each B16 image in file cam_00" + std::to_string(index) +
            ".b16 = 6 px\n\t12 Bit Images 3px x 2px"
            "\n\tConverting 12 bit B16 -> 12 bit DAT\n  \tAdding 12 bit Images      -> out.dat\n\n";
  text += "File cam_0015.b16 Does Not Exist ... \n";
  EXPECT_EQ(r.out, text);
  const std::string out = ReadFile(dir.file("out.dat"));
  EXPECT_EQ(out, PairFile(3, 2, expected));
  EXPECT_EQ((out.size() - 4) / (2 * 3 * 2), 6u);
}

TEST(Quenlar, SeriesWithoutItsFirstFileOrWithAWrongStartIndexWritesNothing) {
  TempDir dir;
  WriteFile(dir.file("cam_0002.b16"), B16File(Frame(2, 2, 0)));
  const RunResult r = RunProgram("quenlar", {"cam", "out.dat", "1"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "File cam_0001.b16 Does Not Exist ... \n");
  EXPECT_EQ(r.err, "\n\nThe series starts with a missing file, cam_0001.b16: nothing converted ....\n\n");
  EXPECT_FALSE(FileExists(dir.file("out.dat")));

  // An older output stays as it was, for a missing first file (index 0 here) and for a start
  // index that is no number.
  WriteFile(dir.file("out.dat"), "older");
  for (const char* start : {"0", "abc"}) {
    const RunResult again = RunProgram("quenlar", {"cam", "out.dat", start}, dir.path());
    EXPECT_EQ(again.status, 1) << start;
    EXPECT_NE(again.err.find(start[0] == '0' ? "cam_0000.b16: nothing converted" : "Start index \"abc\""),
              std::string::npos) << again.err;
    EXPECT_EQ(ReadFile(dir.file("out.dat")), "older") << start;
  }
}

TEST(Quenlar, IndexAboveTheFourDigitsWidensTheName) {
  TempDir dir;
  const B16Contents frame = Frame(2, 2, 9);
  WriteFile(dir.file("cam_10000.b16"), B16File(frame));
  const RunResult r = RunProgram("quenlar", {"cam", "out.dat", "10000"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("in file cam_10000.b16 = 2 px"), std::string::npos);
  EXPECT_NE(r.out.find("File cam_10001.b16 Does Not Exist ... \n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFile(2, 1, frame.pixels));
}

TEST(Quenlar, LaterFileOfAnotherSizeStopsTheSeriesKeepingThePairsWritten) {
  TempDir dir;
  const B16Contents first = Frame(3, 4, 1);
  WriteFile(dir.file("run_0001.b16"), B16File(first));
  WriteFile(dir.file("run_0002.b16"), B16File(Frame(4, 4, 2)));
  WriteFile(dir.file("run_0003.b16"), B16File(Frame(3, 4, 3)));
  const RunResult r = RunProgram("quenlar", {"run", "out.dat", "1"}, dir.path());
  ExpectRefusal(r, "size change");
  EXPECT_NE(r.err.find("run_0002.b16"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFile(3, 2, first.pixels));
}

TEST(Quenlar, UnusableCameraFilesAreRefused) {
  TempDir dir;
  std::string truncated = B16File(Frame(4, 4, 0));
  truncated.resize(truncated.size() - 1);
  WriteFile(dir.file("short.b16"), truncated);
  B16Contents negative = Frame(4, 4, 0);
  negative.width = -4;
  WriteFile(dir.file("negative.b16"), B16File(negative));
  B16Contents low = Frame(2, 2, 0);
  low.extended = true;
  low.header_length = 100;
  WriteFile(dir.file("low.b16"), B16File(low));
  WriteFile(dir.file("wide.b16"), B16File(Frame(5001, 2, 0)));  // not storable in the output
  for (const char* in : {"short.b16", "negative.b16", "low.b16", "wide.b16"}) {
    ExpectRefusal(RunProgram("quenlar", {in, "out.dat"}, dir.path()), in);
  }
  const std::string long_series(41, 's');  // 41 + "_0001.b16" is 50 characters: one too many
  WriteFile(dir.file(long_series + "_0001.b16"), B16File(Frame(2, 2, 0)));
  ExpectRefusal(RunProgram("quenlar", {long_series, "out.dat", "1"}, dir.path()), "long series name");
  const std::string longest_series(40, 's');  // 49 characters: the most the reader holds
  WriteFile(dir.file(longest_series + "_0001.b16"), B16File(Frame(2, 2, 0)));
  EXPECT_EQ(RunProgram("quenlar", {longest_series, "out.dat", "1"}, dir.path()).status, 0);
}

TEST(Quenlar, WrongArgumentCountsPrintTheUsage) {
  TempDir dir;
  RunResult r = RunProgram("quenlar", {}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Use: quenlar <InputFile(/SeriesName)> <OutputFile> (Start Index)\n");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"a"}, {"a", "b", "1", "d"}}) {
    r = RunProgram("quenlar", args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Use: quenlar <InputFile(/SeriesName)> <OutputFile> (StartIndex)\n");
    EXPECT_EQ(r.out, "");
  }
}

TEST(Quenlar, UnopenableOutputFileFails) {
  TempDir dir;
  WriteFile(dir.file("cam_0001.b16"), B16File(Frame(2, 2, 0)));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"cam_0001.b16", "no/dir/out.dat"}, {"cam", "no/dir/out.dat", "1"}}) {
    const RunResult r = RunProgram("quenlar", args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\n\nProblem opening output file ....\n\n"), std::string::npos);
  }
}

TEST(Quenlar, TarvexReadsTheOutput) {
  TempDir dir;
  B16Contents frame = Frame(128, 256, 0);
  for (size_t i = 0; i < frame.pixels.size(); ++i) frame.pixels[i] = static_cast<uint16_t>((i * 131) % 4096);
  WriteFile(dir.file("cam.b16"), B16File(frame));
  ASSERT_EQ(RunProgram("quenlar", {"cam.b16", "pair.dat"}, dir.path()).status, 0);
  ExpectTarvexReads(dir, "pair.dat", 2, 128, 128);
}

}  // namespace
