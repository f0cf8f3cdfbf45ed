// The ASCII PIV file: exact bytes of the header, field block and point records, the
// description written unchanged, stored correlation planes, and the failures.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>

#include "TestSupport.h"
#include "grid/PIVGrid.h"

namespace tarvex {

class PIVGridTestAccess {
 public:
  static PivFileHeader& Header(PIVGrid& g) { return g.pivfileheader; }
  static FILE* File(const PIVGrid& g) { return g.fo; }
  static bool WriteHeader(PIVGrid& g) { return g.WriteAsciiPIVFileHeader(); }
  static bool WriteField(PIVGrid& g) { return g.WriteAsciiPIVField(); }
  static void Close(PIVGrid& g) {
    g.asciiFile.Commit();
    g.fo = nullptr;
  }
};

namespace {

using Access = PIVGridTestAccess;

const std::string kHashes(101, '#');

// 3 x 2 points of 32 x 32 windows, offset (10, 20), spacing 16, window offset (2, -1):
// points at x = 25, 41, 57 and y = 35, 51. Every point gets the same four peaks.
struct SmallGrid {
  PIVGrid grid{1, 9999, 3, 2, 10, 20, 16, 16, 2, -1, 32, 32, unknown, nullptr, nullptr};
  SmallGrid() {
    for (int k = 0; k < 6; k++) {
      TARVEXData* d = grid.Point(k).PIV();
      for (int n = 0; n < kNumberOfPeaks; n++) {
        d->dx[n] = n + 0.5f;
        d->dy[n] = -static_cast<float>(n);
        d->rho[n] = 0.25f * n;
      }
    }
    grid.Point(4).setOn(1);
  }
};

void FillHeader(PivFileHeader& h, const std::string& fname) {
  std::memset(&h, 0, sizeof h);
  std::strcpy(h.OS, "Linux");
  std::strcpy(h.fname, fname.c_str());
  std::strcpy(h.date, "2001-02-03");
  std::strcpy(h.LengthUnits, "px");
  std::strcpy(h.TimeUnits, "-");
  std::strcpy(h.DataType, "uncal");
  h.CalLength = 0.5f;
  h.dt = 2.0f;
  h.CCStored = 1;
  h.nsets = 1;
  h.ndata = 6;
}

std::string HeaderAfterDescription() {
  return "px \t\t\t## Length Unit\n"
         "- \t\t\t## Time Unit\n"
         "uncal \t\t## Data Type: cal = 1; uncal = 0\n"
         "5.000000e-01 \t\t## Length Calibration Factor length/px \n"
         "2.000000e+00 \t\t## Time Between Exposures\n"
         "1 \t\t\t## CCStored = 0; CCNotStored = 1\n"
         "1 \t\t\t## Number of PIV Data Sets in File\n"
         "6 \t\t\t## Number of PIV Records/ Data Set\n" +
         kHashes + "\n";
}

std::string Record(bool on, const std::string& x, const std::string& y) {
  return std::string("0    \t\t\t\t\t\t## PIV Measurement ID\n") + (on ? "1" : "0") +
         "    \t\t\t\t\t\t## Valid/Non-valid PIV Switch\n" + x + " " + y +
         " \t\t\t## (x,y) Location of PIV Measurement\n"
         "2.000000e+00 -1.000000e+00 \t\t\t## Offset Between 1st and 2nd DPIV Image\n"
         "0    \t\t\t\t\t\t## CC Peak Search Region, ALL = 0, etc.\n"
         "5.000000e-01\t-0.000000e+00\t0.000000e+00 \t## dx,dy,rho Measurements\n"
         "1.500000e+00\t-1.000000e+00\t2.500000e-01 \t## dx,dy,rho Measurements\n"
         "2.500000e+00\t-2.000000e+00\t5.000000e-01 \t## dx,dy,rho Measurements\n"
         "3.500000e+00\t-3.000000e+00\t7.500000e-01 \t## dx,dy,rho Measurements\n"
         "0    \t\t\t\t\t\t## GradtInfo = 0 or 1 Indicates If duidxj Is Stored\n"
         "0    \t\t\t\t\t\t## Size of CC array, if 0 CC not stored below:\n";
}

// Writes header and field through the private writers and returns the file's bytes.
std::string WriteWithHeader(SmallGrid& g, const PivFileHeader& header, const std::string& path) {
  Access::Header(g.grid) = header;
  EXPECT_TRUE(Access::WriteHeader(g.grid));
  EXPECT_TRUE(Access::WriteField(g.grid));
  Access::Close(g.grid);
  return ReadFile(path);
}

std::string HeaderLine(const std::string& file, const std::string& comment) {
  const size_t at = file.find(comment);
  if (at == std::string::npos) return "";
  const size_t start = file.rfind('\n', at) + 1;
  return file.substr(start, at - start);
}

TEST(AsciiPIVFile, SmallGridExactBytes) {
  TempDir dir;
  const std::string path = dir.file("grid.piv");
  SmallGrid g;
  PivFileHeader h;
  FillHeader(h, path);
  const std::string file = WriteWithHeader(g, h, path);

  std::string expected =
      "## ***PIV FILE HEADER***\n"
      "1.00 \t\t\t## File version\n"
      "Linux \t\t## OS\n" +
      path + " \t\t## Filename\n" +
      "2001-02-03 \t## File Generation Date\n"
      "0 \t\t\t## char Size of Following Data Description:\n" +
      HeaderAfterDescription() +
      "## ***PIV FIELD INFORMATION***:\n"
      "1    \t\t\t\t## PIV Field ID\n"
      "3 2 \t\t\t\t## PIV Field Grid\n"
      "10 20 \t\t\t\t## x & y Offset From Lower Left Corner\n"
      "16 16 \t\t\t\t## Spacing Between PIV Data Points\n"
      "0    \t\t\t\t## CC Peak Search Region, ALL = 0, etc.\n"
      "2.000000e+00 -1.000000e+00 \t## Offset Between 2 DPIV Images\n"
      "32 32 \t\t\t\t## FFT Size\n" +
      kHashes + "\n" +
      "## ***PIV DATA - 6 RECORDS*** :\n"
      "### PIV GRID RECORDS 1:\n";
  const char* xs[] = {"2.500000e+01", "4.100000e+01", "5.700000e+01"};
  const char* ys[] = {"3.500000e+01", "5.100000e+01"};
  for (int i = 0; i < 2; i++)
    for (int j = 0; j < 3; j++) expected += Record(i * 3 + j == 4, xs[j], ys[i]);
  EXPECT_EQ(file, expected);
}

TEST(AsciiPIVFile, DescriptionWrittenByteForByteWithNuls) {
  TempDir dir;
  const std::string path = dir.file("descr.piv");
  SmallGrid g;
  PivFileHeader h;
  FillHeader(h, path);
  char descr[] = {'a', '\0', 'b', '\0', '\n'};
  h.descr = descr;
  h.descr_size = 5;
  const std::string file = WriteWithHeader(g, h, path);
  const std::string expected = "5 \t\t\t## char Size of Following Data Description:\n" +
                               std::string(descr, 5) + "\n" + HeaderAfterDescription();
  EXPECT_NE(file.find(expected), std::string::npos);
}

TEST(AsciiPIVFile, PutlineWritesEveryCharacterThenNewLine) {
  TempDir dir;
  const std::string path = dir.file("line");
  FILE* f = fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  char s[] = {'\0', 'x', '\0'};
  EXPECT_EQ(putline(s, 3, f), 3);
  EXPECT_EQ(putline(s, 0, f), 0);
  fclose(f);
  EXPECT_EQ(ReadFile(path), std::string("\0x\0\n\n", 5));
}

TEST(AsciiPIVFile, StoredPlaneAndGradientsInRecords) {
  TempDir dir;
  const std::string path = dir.file("cc.piv");
  SmallGrid g;
  // Point 1 holds a 32 x 32 plane and its gradients; point 2 holds neither.
  TARVEXData* d = g.grid.Point(1).PIV();
  ASSERT_EQ(d->memsize, 1024);
  d->CC = new float[1024];
  for (int m = 0; m < 1024; m++) d->CC[m] = (m % 2 == 0) ? 0.5f : -12345.0f;
  d->GradtInfo = 1;
  d->DuiDxj = {1.0f, -2.0f, 0.25f, 8.0f};
  PivFileHeader h;
  FillHeader(h, path);
  const std::string file = WriteWithHeader(g, h, path);

  std::string plane;
  for (int m = 0; m < 512; m++) plane += "5.0000e-01 -1.2345e+04 ";
  const std::string point1_tail =
      "1.000000e+00\t-2.000000e+00\t2.500000e-01\t8.000000e+00 \t\t\t\t\t## duidxj Data\n"
      "1024    \t\t\t\t\t\t## Size of CC array, if 0 CC not stored below:\n"
      "4\n" +
      plane + Record(false, "5.700000e+01", "3.500000e+01");
  const size_t at = file.find(point1_tail);
  ASSERT_NE(at, std::string::npos);
  // The gradient flag line comes right before the gradients; point 2's record follows the
  // last value on the same line and ends with size 0 and no values.
  const std::string grad_flag = "1    \t\t\t\t\t\t## GradtInfo = 0 or 1 Indicates If duidxj Is Stored\n";
  ASSERT_GE(at, grad_flag.size());
  EXPECT_EQ(file.substr(at - grad_flag.size(), grad_flag.size()), grad_flag);
  const size_t point3 = at + point1_tail.size();
  EXPECT_EQ(file.compare(point3, 33, "0    \t\t\t\t\t\t## PIV Measurement ID\n"), 0);
  // Only point 1 carries gradients or a plane.
  size_t grads = 0;
  for (size_t p = file.find("## duidxj Data"); p != std::string::npos; p = file.find("## duidxj Data", p + 1))
    grads++;
  EXPECT_EQ(grads, 1u);
}

TEST(AsciiPIVFile, OverlongHeaderFieldsNeverReadPastTheirArrays) {
  TempDir dir;
  const std::string path = dir.file("cut.piv");
  SmallGrid g;
  PivFileHeader h;
  FillHeader(h, path);
  std::memset(h.OS, 'O', sizeof h.OS);        // no terminating NUL
  std::memset(h.DataType, 'D', sizeof h.DataType);
  const std::string file = WriteWithHeader(g, h, path);
  EXPECT_EQ(HeaderLine(file, " \t\t## OS\n"), std::string(12, 'O'));
  EXPECT_EQ(HeaderLine(file, " \t\t## Data Type"), std::string(15, 'D'));
}

TEST(AsciiPIVFile, HeaderWriterReportsAFileThatCannotBeCreated) {
  TempDir dir;
  SmallGrid g;
  PivFileHeader h;
  FillHeader(h, dir.file("missing/grid.piv"));
  Access::Header(g.grid) = h;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Access::WriteHeader(g.grid));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\n Problem opening file for PIV output ....\n\n");
  EXPECT_EQ(Access::File(g.grid), nullptr);
}

TEST(AsciiPIVFileOperation, FillsTheHeaderAndClosesTheFile) {
  TempDir dir;
  const std::string path = dir.file("op.piv");
  SmallGrid g;
  const char descr[] = {'r', 'u', 'n', '\0', '7'};
  ASSERT_TRUE(g.grid.WriteAsciiPIVFile(path.c_str(), descr, 5));
  EXPECT_EQ(Access::File(g.grid), nullptr);
  const std::string file = ReadFile(path);

  struct utsname sys;
  ASSERT_EQ(uname(&sys), 0);
  EXPECT_EQ(HeaderLine(file, " \t\t## OS\n"), std::string(sys.sysname).substr(0, 11));
  EXPECT_EQ(HeaderLine(file, " \t\t## Filename\n"), path);
  EXPECT_TRUE(std::regex_match(HeaderLine(file, " \t## File Generation Date\n"),
                               std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")));
  const std::string expected_tail =
      "5 \t\t\t## char Size of Following Data Description:\n" + std::string(descr, 5) +
      "\n"
      "px \t\t\t## Length Unit\n"
      "- \t\t\t## Time Unit\n"
      "uncal \t\t## Data Type: cal = 1; uncal = 0\n"
      "1.000000e+00 \t\t## Length Calibration Factor length/px \n"
      "1.000000e+00 \t\t## Time Between Exposures\n"
      "1 \t\t\t## CCStored = 0; CCNotStored = 1\n"
      "1 \t\t\t## Number of PIV Data Sets in File\n"
      "6 \t\t\t## Number of PIV Records/ Data Set\n" +
      kHashes + "\n## ***PIV FIELD INFORMATION***:\n";
  EXPECT_NE(file.find(expected_tail), std::string::npos);
  // The whole field made it to the file: it ends with the last point's record.
  const std::string last = Record(false, "5.700000e+01", "5.100000e+01");
  ASSERT_GE(file.size(), last.size());
  EXPECT_EQ(file.substr(file.size() - last.size()), last);
  // The header keeps no pointer to the caller's description.
  EXPECT_EQ(Access::Header(g.grid).descr, nullptr);
}

TEST(AsciiPIVFileOperation, StoredPlaneFlagFollowsThePoints) {
  TempDir dir;
  const std::string path = dir.file("flag.piv");
  SmallGrid g;
  g.grid.Point(5).PIV()->CC = new float[1024]();
  ASSERT_TRUE(g.grid.WriteAsciiPIVFile(path.c_str(), nullptr, 0));
  const std::string file = ReadFile(path);
  EXPECT_EQ(HeaderLine(file, " \t\t\t## CCStored = 0; CCNotStored = 1\n"), "0");
  // No description: the size line is followed directly by the length unit.
  EXPECT_NE(file.find("0 \t\t\t## char Size of Following Data Description:\npx \t\t\t## Length Unit\n"),
            std::string::npos);
}

TEST(AsciiPIVFileOperation, OverlongFileNameIsRefused) {
  // The name goes into a 50-character field and is the name the file is created under:
  // 49 characters fit, 50 would be cut and the file land elsewhere.
  TempDir dir;
  const std::string base = dir.file("");
  ASSERT_LT(base.size(), 49u);
  const std::string fits = base + std::string(49 - base.size(), 'f');
  const std::string longer = base + std::string(50 - base.size(), 'n');
  SmallGrid g;
  ASSERT_TRUE(g.grid.WriteAsciiPIVFile(fits.c_str(), nullptr, 0));
  EXPECT_EQ(HeaderLine(ReadFile(fits), " \t\t## Filename\n"), fits);

  testing::internal::CaptureStderr();
  EXPECT_FALSE(g.grid.WriteAsciiPIVFile(longer.c_str(), nullptr, 0));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("longer than 49"), std::string::npos);
  EXPECT_FALSE(FileExists(longer));
  EXPECT_FALSE(FileExists(longer.substr(0, 49)));
}

TEST(AsciiPIVFileOperation, RefusesWhatItCannotWrite) {
  TempDir dir;
  SmallGrid g;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(g.grid.WriteAsciiPIVFile(dir.file("no/such/dir.piv").c_str(), nullptr, 0));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\n Problem opening file for PIV output ....\n\n");
  EXPECT_EQ(Access::File(g.grid), nullptr);

  const std::string path = dir.file("bad.piv");
  EXPECT_FALSE(g.grid.WriteAsciiPIVFile(nullptr, nullptr, 0));
  EXPECT_FALSE(g.grid.WriteAsciiPIVFile(path.c_str(), nullptr, 3));
  EXPECT_FALSE(g.grid.WriteAsciiPIVFile(path.c_str(), "abc", -1));
  // The record count is a 16-bit field: a larger grid is refused, not miscounted.
  PIVGrid big;
  big.setGridSize(256, 257);
  EXPECT_FALSE(big.WriteAsciiPIVFile(path.c_str(), nullptr, 0));
  big.setGridSize(0, 0);
  EXPECT_FALSE(FileExists(path));
}

}  // namespace

}  // namespace tarvex
