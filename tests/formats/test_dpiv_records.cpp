// The fast DPIV record scanner against strtod: every value of many records, written in the
// forms tarvex writes and in every other form strtod takes (signs, hexadecimal, no exponent,
// subnormal, out of range), must read back bit for bit as a line-by-line strtol/strtod
// reader reads it, and lines that reader refuses must be refused; whole files give their
// records, or the reason with the line number.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "DpivFile.h"
#include "DpivRecords.h"
#include "TestSupport.h"

namespace {

// The reference: the line read with strtol and strtod as C reads a line, NUL-terminated.
bool ReferenceRecord(const std::string& line, VectorRecord& r) {
  if (line.find('\0') != std::string::npos) return false;
  const char* p = line.c_str();
  char* end = nullptr;
  const long flag = std::strtol(p, &end, 10);
  if (end == p || (flag != 0 && flag != 1) || !std::isspace(static_cast<unsigned char>(*end))) return false;
  double values[5];
  for (double& value : values) {
    p = end;
    value = std::strtod(p, &end);
    if (end == p || !std::isfinite(value)) return false;
  }
  for (; *end != '\0'; ++end)
    if (!std::isspace(static_cast<unsigned char>(*end))) return false;
  r = {flag == 1, values[0], values[1], values[2], values[3], values[4]};
  return true;
}

bool Scan(const std::string& line, VectorRecord& r) {
  // As in a file: the line's text is followed by a newline and more text.
  const std::string buffer = line + "\n1 2 3 4 5 6";
  return ScanDpivRecord(buffer.data(), buffer.data() + line.size(), r);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectAsReference(const std::string& line) {
  VectorRecord expected{}, got{};
  const bool reference = ReferenceRecord(line, expected);
  ASSERT_EQ(Scan(line, got), reference) << "line: " << line;
  if (!reference) return;
  EXPECT_EQ(got.valid, expected.valid) << line;
  const double e[5] = {expected.x, expected.y, expected.u, expected.v, expected.peak};
  const double g[5] = {got.x, got.y, got.u, got.v, got.peak};
  for (int k = 0; k < 5; k++) EXPECT_TRUE(SameBits(g[k], e[k])) << "value " << k << " of: " << line;
}

std::string Format(const char* format, double value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

TEST(DpivRecordScanner, TheWorkedExample) {
  VectorRecord r{};
  ASSERT_TRUE(Scan("1\t1.500000e+01\t3.100000e+01\t2.500000e+00\t-1.250000e+00\t0.812", r));
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.x, 15);
  EXPECT_EQ(r.y, 31);
  EXPECT_EQ(r.u, 2.5);
  EXPECT_EQ(r.v, -1.25);
  EXPECT_EQ(r.peak, 0.812);
  VectorRecord odd{};
  ASSERT_TRUE(Scan("+1 15 0x1Fp0 2.5 -1.25 0.812 \r", odd));
  EXPECT_EQ(odd.y, 31);
  for (const char* bad : {"1 15 31 2.5 -1.25", "2 15 31 2.5 -1.25 0.8", "1 15 31 2.5 inf 0.8", "1 15 31 2.5 -1.25 0.8 x"})
    EXPECT_FALSE(Scan(bad, odd)) << bad;
}

TEST(DpivRecordScanner, EveryValueAsStrtodReadsIt) {
  std::mt19937_64 random(20011);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  std::uniform_int_distribution<int> exponent(-320, 308), form(0, 9);
  const char* const formats[] = {"%e", "%1.6e", "%.17g", "%g", "%f", "%a", "%+.3e", "%.0f", "%.9E", "%.12f"};
  long compared = 0;
  for (int line = 0; line < 20000; line++) {
    std::string text = line % 3 == 0 ? "0" : "1";
    for (int k = 0; k < 5; k++) {
      const double value = mantissa(random) * std::pow(10.0, exponent(random) % (line % 7 == 0 ? 320 : 12));
      text += (k % 2 == 0 ? "\t" : "  ") + Format(formats[form(random)], value);
    }
    ExpectAsReference(text);
    compared += 5;
  }
  // What tarvex writes, exactly: every value of a field of plausible numbers.
  std::uniform_real_distribution<double> displacement(-40, 40), position(0, 5000), peak(0, 1);
  for (int line = 0; line < 20000; line++) {
    char text[200];
    std::snprintf(text, sizeof text, "%1d\t%1.6e\t%1.6e\t%e\t%e\t%1.3f", line % 2, position(random),
                  position(random), displacement(random), displacement(random), peak(random));
    ExpectAsReference(text);
    compared += 5;
  }
  EXPECT_EQ(compared, 200000);
}

TEST(DpivRecordScanner, UnusualFormsAndRefusalsAsTheReference) {
  const char* const lines[] = {
      "1 1 2 3 4 5",          "0 1 2 3 4 5   ",       " 1 1 2 3 4 5",         "01 1 2 3 4 5",
      "-0 1 2 3 4 5",         "+0 1 2 3 4 5",         "1 +1 -2 +3e+2 .4 5.",  "1 0x10 0X1p-2 3 4 5",
      "1 1e-310 2 3 4 5",     "1 1e-400 2 3 4 5",     "1 1e400 2 3 4 5",      "1 nan 2 3 4 5",
      "1 infinity 2 3 4 5",   "1 1.5-2 3 4 5",        "1 1e 2 3 4 5",         "1 1e+ 2 3 4 5",
      "1 1.2.3 2 3 4 5",      "1\v1\f2\r3 4 5",       "1 1 2 3 4 5\r",        "1 1 2 3 4",
      "1 1 2 3 4 5 6",        "1",                    "",                     "   ",
      "1x 1 2 3 4 5",         "2 1 2 3 4 5",          "1 - 2 3 4 5",          "1 1 2 3 4 0x",
      "11 1 2 3 4 5",         "1 1 2 3 4 5#",         "1 00012 2 3 4 5",      "1 1_0 2 3 4 5",
      "1 .5e1 2 3 4 5",       "1 -.e1 2 3 4 5",       "1 1E5 2 3 4 5",        "1 1e0005 2 3 4 5",
      "1 4.9406564584124654e-324 2 3 4 5",           "1 1.7976931348623157e308 2 3 4 5",
      "1 1.7976931348623159e308 2 3 4 5",            "1 2.4703282292062328e-324 2 3 4 5",
  };
  for (const char* line : lines) ExpectAsReference(line);
  ExpectAsReference(std::string("1 1 2 3 4 5\0", 12));
  ExpectAsReference(std::string("1 1 2\0 3 4 5", 12));
}

TEST(DpivRecordFile, RecordsOrTheLineThatIsNot) {
  TempDir dir;
  std::string head;
  for (int k = 0; k < kDpivHeaderLines; k++) head += "# comment\n";
  WriteFile(dir.file("ok.dpiv"), head + "1 15 15 1 2 0.5\n0 31 15 0 0 0");  // the last line without '\n'
  std::string buffer;
  std::vector<VectorRecord> records(7);
  std::string error;
  ASSERT_TRUE(ReadDpivRecords(dir.file("ok.dpiv"), buffer, records, error)) << error;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].valid);
  EXPECT_EQ(records[1].x, 31);
  EXPECT_FALSE(records[1].valid);

  WriteFile(dir.file("bad.dpiv"), head + "1 15 15 1 2 0.5\n\n");
  EXPECT_FALSE(ReadDpivRecords(dir.file("bad.dpiv"), buffer, records, error));
  EXPECT_EQ(error, dir.file("bad.dpiv") + ", line 14: not a record of flag, x, y, U, V and peak value");
  WriteFile(dir.file("short.dpiv"), "# one\n# two\n1 15 15 1 2 0.5\n");
  EXPECT_FALSE(ReadDpivRecords(dir.file("short.dpiv"), buffer, records, error));
  EXPECT_EQ(error, dir.file("short.dpiv") + " does not begin with the 12 comment lines of a DPIV file");
  WriteFile(dir.file("empty.dpiv"), head);
  EXPECT_FALSE(ReadDpivRecords(dir.file("empty.dpiv"), buffer, records, error));
  EXPECT_EQ(error, dir.file("empty.dpiv") + " holds no vectors");
  EXPECT_FALSE(ReadDpivRecords(dir.file("none.dpiv"), buffer, records, error));
  EXPECT_EQ(error, "cannot open the DPIV file " + dir.file("none.dpiv"));
}
