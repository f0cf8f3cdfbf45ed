// Tests of the converters' readers called directly (byte reversal, 8-bit file, B16 camera
// file, TIFF decoding), robustness against damaged headers, and pralen end to end, whose
// TIFF inputs are made here with libtiff.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ConverterReaders.h"
#include "TIFFImageReader.h"
#include "TestSupport.h"
#include "test_converter_inputs.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

// ---------------------------------------------------------------- ReverseBytes

TEST(ReverseBytes, ReversesInPlaceAndReturnsThePointer) {
  char four[] = {1, 2, 3, 4};
  EXPECT_EQ(ReverseBytes(four, 4), four);
  EXPECT_EQ(std::vector<char>(four, four + 4), (std::vector<char>{4, 3, 2, 1}));
  char three[] = {'a', 'b', 'c'};
  ReverseBytes(three, 3);
  EXPECT_EQ(std::string(three, 3), "cba");
  uint16_t value = 0x8002;
  ReverseBytes(reinterpret_cast<char*>(&value), sizeof value);
  EXPECT_EQ(value, 0x0280);
}

// ---------------------------------------------------------------- 8-bit image file

struct OpenedEightBit {
  bool ok = false;
  std::string out, err;
};

OpenedEightBit OpenEightBit(EightBitImageFile& file, const std::string& path) {
  OpenedEightBit r;
  EXPECT_TRUE(SetEightBitFileName(&file, path.c_str()));
  CaptureStdout();
  CaptureStderr();
  r.ok = Read8BitDatImageFileHeader(&file);
  r.out = GetCapturedStdout();
  r.err = GetCapturedStderr();
  return r;
}

TEST(EightBitReader, CountsWholeImagesAndIsLeftAtTheFirstImage) {
  TempDir dir;
  std::vector<uint8_t> pixels(3 * 640 * 480);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 253);
  WriteFile(dir.file("in.dat"), EightBitFile(640, 480, pixels, 100));
  EightBitImageFile file;
  const OpenedEightBit r = OpenEightBit(file, dir.file("in.dat"));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.out,
            "\n\nNumber of PIV Images          = 3\nSize of Images                = 640 px x 480 px\n"
            "Memory Size of each PIV Image = 307200 bytes\n");
  EXPECT_EQ(file.nx, 640);
  EXPECT_EQ(file.ny, 480);
  EXPECT_EQ(file.size, 640 * 480);
  EXPECT_EQ(file.ImageStart, 4);
  EXPECT_EQ(file.NoImgFiles, 3);
  ASSERT_NE(file.I1, nullptr);
  ASSERT_NE(file.fptr, nullptr);
  EXPECT_EQ(ftell(file.fptr), 4);
  ASSERT_EQ(fread(file.I1, 1, static_cast<size_t>(file.size), file.fptr), static_cast<size_t>(file.size));
  EXPECT_EQ(0, memcmp(file.I1, pixels.data(), static_cast<size_t>(file.size)));
}

TEST(EightBitReader, ByteReversedHeaderIsSwapped) {
  TempDir dir;
  WriteFile(dir.file("in.dat"), EightBitFile(0x8002, 0xE001, std::vector<uint8_t>(640 * 480, 3)));
  EightBitImageFile file;
  const OpenedEightBit r = OpenEightBit(file, dir.file("in.dat"));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.out.rfind("\n\nbytes are probably reversed ....\n try swapping bytes ....\n\n", 0), 0u) << r.out;
  EXPECT_EQ(file.nx, 640);
  EXPECT_EQ(file.ny, 480);
  EXPECT_EQ(file.NoImgFiles, 1);
}

TEST(EightBitReader, RefusesUnopenableShortEmptyAndOversizedFiles) {
  TempDir dir;
  {
    EightBitImageFile file;
    const OpenedEightBit r = OpenEightBit(file, dir.file("missing.dat"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, "\n Cannot open PIV image file " + dir.file("missing.dat") + " ....\n\n");
  }
  WriteFile(dir.file("short.dat"), std::string("\x10\x00\x10", 3));
  WriteFile(dir.file("zerowide.dat"), EightBitFile(0, 16, std::vector<uint8_t>(16)));
  WriteFile(dir.file("zerohigh.dat"), EightBitFile(16, 0, std::vector<uint8_t>(16)));
  WriteFile(dir.file("huge.dat"), EightBitFile(5001, 0x1389, {}));  // 5001 both ways round
  for (const char* name : {"short.dat", "zerowide.dat", "zerohigh.dat", "huge.dat"}) {
    EightBitImageFile file;
    const OpenedEightBit r = OpenEightBit(file, dir.file(name));
    EXPECT_FALSE(r.ok) << name;
    EXPECT_NE(r.err, "") << name;
    EXPECT_EQ(file.fptr, nullptr) << name;
    EXPECT_EQ(file.I1, nullptr) << name;
  }
}

TEST(EightBitReader, AcceptsTheLargestSideAndAnEmptyImageList) {
  TempDir dir;
  WriteFile(dir.file("edge.dat"), EightBitFile(5000, 1, {}));
  EightBitImageFile file;
  const OpenedEightBit r = OpenEightBit(file, dir.file("edge.dat"));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.out.find("reversed"), std::string::npos);
  EXPECT_EQ(file.nx, 5000);
  EXPECT_EQ(file.NoImgFiles, 0);
}

TEST(EightBitReader, FileNameMustFitTheBuffer) {
  EightBitImageFile file;
  const std::string fits(199, 'f'), too_long(200, 'f');
  EXPECT_TRUE(SetEightBitFileName(&file, fits.c_str()));
  EXPECT_EQ(std::string(file.fname), fits);
  CaptureStderr();
  EXPECT_FALSE(SetEightBitFileName(&file, too_long.c_str()));
  EXPECT_NE(GetCapturedStderr(), "");
  EXPECT_EQ(std::string(file.fname), fits);
}

// ---------------------------------------------------------------- B16 camera file

struct ReadB16 {
  int pixels = -1;
  uint16_t* image1 = nullptr;
  uint16_t* image2 = nullptr;
  int bw_min = -1, bw_max = -1, nx = -1, ny = -1;
  std::string out, err;
  ~ReadB16() { delete[] image1; }
};

void ReadB16File(const std::string& path, ReadB16& r) {
  CaptureStdout();
  CaptureStderr();
  r.pixels = ReadDoubleShutterB16Image(path.c_str(), &r.image1, &r.image2, &r.bw_min, &r.bw_max, &r.nx, &r.ny);
  r.out = GetCapturedStdout();
  r.err = GetCapturedStderr();
}

TEST(B16Reader, WithoutExtendedHeaderPixelsStartAt24AndLevelsAreDefaults) {
  TempDir dir;
  B16Contents c;
  c.width = 5;
  c.height = 4;
  c.header_length = 9999;  // ignored without the extension
  c.pixels = Ramp(20, 300);
  WriteFile(dir.file("cam.b16"), B16File(c));
  ReadB16 r;
  ReadB16File(dir.file("cam.b16"), r);
  ASSERT_EQ(r.pixels, 10) << r.err;
  EXPECT_EQ(r.nx, 5);
  EXPECT_EQ(r.ny, 2);
  EXPECT_EQ(r.bw_min, 0);
  EXPECT_EQ(r.bw_max, 4096);
  EXPECT_EQ(r.image2, r.image1 + 10);
  EXPECT_EQ(std::vector<uint16_t>(r.image1, r.image1 + 20), c.pixels);
  EXPECT_EQ(r.out + r.err, "");
}

TEST(B16Reader, ExtendedHeaderGivesLevelsAndSkipsTheComment) {
  TempDir dir;
  B16Contents c;
  c.width = 3;
  c.height = 5;  // odd: the last row belongs to neither exposure
  c.extended = true;
  c.header_length = 131;
  c.bw_min = 12;
  c.bw_max = 3000;
  c.pixels = Ramp(15, 1);
  WriteFile(dir.file("cam.b16"), B16File(c));
  ReadB16 r;
  ReadB16File(dir.file("cam.b16"), r);
  ASSERT_EQ(r.pixels, 6) << r.err;
  EXPECT_EQ(r.nx, 3);
  EXPECT_EQ(r.ny, 2);
  EXPECT_EQ(r.bw_min, 12);
  EXPECT_EQ(r.bw_max, 3000);
  EXPECT_EQ(std::vector<uint16_t>(r.image1, r.image1 + 6), std::vector<uint16_t>(c.pixels.begin(), c.pixels.begin() + 6));
  EXPECT_EQ(std::vector<uint16_t>(r.image2, r.image2 + 6), std::vector<uint16_t>(c.pixels.begin() + 6, c.pixels.begin() + 12));
}

TEST(B16Reader, FullSizeFrameSplitsIntoTwoExposures) {
  TempDir dir;
  B16Contents c;
  c.width = 1280;
  c.height = 2048;
  c.extended = true;
  c.header_length = 512;
  c.pixels = Ramp(1280u * 2048u, 0);
  WriteFile(dir.file("cam.b16"), B16File(c));
  ReadB16 r;
  ReadB16File(dir.file("cam.b16"), r);
  ASSERT_EQ(r.pixels, 1280 * 1024);
  EXPECT_EQ(r.nx, 1280);
  EXPECT_EQ(r.ny, 1024);
  EXPECT_EQ(r.image2, r.image1 + 1280 * 1024);
  EXPECT_EQ(r.image2[0], c.pixels[1280 * 1024]);
  EXPECT_EQ(r.image2[1280 * 1024 - 1], c.pixels.back());
}

TEST(B16Reader, RefusesDamagedFilesWithAMessage) {
  TempDir dir;
  B16Contents good;
  good.width = 4;
  good.height = 4;
  good.pixels = Ramp(16, 0);
  std::vector<std::pair<std::string, std::string>> files;
  std::string bytes = B16File(good);
  files.push_back({"one pixel short", bytes.substr(0, bytes.size() - 1)});
  files.push_back({"header cut", bytes.substr(0, 20)});
  B16Contents c = good;
  c.width = 0;
  files.push_back({"zero width", B16File(c)});
  c = good;
  c.height = -4;
  files.push_back({"negative height", B16File(c)});
  c = good;
  c.height = 1;  // no rows for either exposure
  files.push_back({"one row", B16File(c)});
  c = good;
  c.width = 0x10000;
  c.height = 0x10000;  // frame too large to count in an int
  files.push_back({"huge", B16File(c)});
  c = good;
  c.extended = true;
  c.header_length = 127;
  files.push_back({"header length below 128", B16File(c)});
  c = good;
  c.extended = true;
  c.header_length = 128;
  bytes = B16File(c);
  files.push_back({"extension cut", bytes.substr(0, 60)});
  c.header_length = 100000;  // beyond the end of the file
  bytes = B16File(c);
  files.push_back({"header length past the end", bytes.substr(0, 200)});
  for (const auto& [what, contents] : files) {
    WriteFile(dir.file("bad.b16"), contents);
    ReadB16 r;
    ReadB16File(dir.file("bad.b16"), r);
    EXPECT_EQ(r.pixels, 0) << what;
    EXPECT_EQ(r.image1, nullptr) << what;
    EXPECT_EQ(r.image2, nullptr) << what;
    EXPECT_NE(r.err, "") << what;
  }
}

TEST(B16Reader, NameMustFitTheWorkingBuffer) {
  TempDir dir;
  B16Contents c;
  c.width = 2;
  c.height = 2;
  c.pixels = Ramp(4, 0);
  // Padded so that the whole path is exactly 49 characters, then one more.
  const std::string prefix = dir.path() + "/";
  ASSERT_LT(prefix.size() + 4, 49u);
  const std::string fits = prefix + std::string(49 - prefix.size() - 4, 'n') + ".b16";
  const std::string too_long = prefix + std::string(50 - prefix.size() - 4, 'n') + ".b16";
  WriteFile(fits, B16File(c));
  WriteFile(too_long, B16File(c));
  ReadB16 ok;
  ReadB16File(fits, ok);
  EXPECT_EQ(ok.pixels, 2);
  ReadB16 refused;
  ReadB16File(too_long, refused);
  EXPECT_EQ(refused.pixels, 0);
  EXPECT_NE(refused.err.find("longer than 49 characters"), std::string::npos) << refused.err;
}

// ---------------------------------------------------------------- damaged headers

// A small deterministic generator, so that a failing case can be run again.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint32_t state_;
};

// Header values that reach the interesting branches: small, boundary, byte-swapped, random.
uint16_t Side16(Lcg& rng) {
  switch (rng.Below(5)) {
    case 0: return static_cast<uint16_t>(rng.Below(12));
    case 1: return static_cast<uint16_t>(4998 + rng.Below(5));
    case 2: return static_cast<uint16_t>((rng.Below(12) << 8) | 0);
    case 3: return static_cast<uint16_t>(rng.Below(40) << 8);
    default: return static_cast<uint16_t>(rng.Next());
  }
}

int32_t Field32(Lcg& rng) {
  switch (rng.Below(4)) {
    case 0: return static_cast<int32_t>(rng.Below(20)) - 4;
    case 1: return static_cast<int32_t>(120 + rng.Below(20));
    case 2: return -1;
    default: return static_cast<int32_t>(rng.Next() ^ (rng.Next() << 24));
  }
}

TEST(DamagedHeaders, EightBitReaderRefusesCleanlyOrDescribesTheFile) {
  TempDir dir;
  Lcg rng(2024);
  int accepted = 0;
  for (int n = 0; n < 300; ++n) {
    std::string bytes;
    Put16(bytes, Side16(rng));
    Put16(bytes, Side16(rng));
    const size_t body = rng.Below(200);
    for (size_t i = 0; i < body; ++i) bytes.push_back(static_cast<char>(rng.Next()));
    bytes.resize(rng.Below(4) == 0 ? rng.Below(static_cast<uint32_t>(bytes.size()) + 1) : bytes.size());
    WriteFile(dir.file("f.dat"), bytes);
    EightBitImageFile file;
    const OpenedEightBit r = OpenEightBit(file, dir.file("f.dat"));
    if (!r.ok) {
      EXPECT_NE(r.err, "") << "case " << n;
      EXPECT_EQ(file.fptr, nullptr) << "case " << n;
      continue;
    }
    ++accepted;
    EXPECT_GE(file.nx, 1) << "case " << n;
    EXPECT_LE(file.nx, 5000) << "case " << n;
    EXPECT_GE(file.ny, 1) << "case " << n;
    EXPECT_LE(file.ny, 5000) << "case " << n;
    EXPECT_EQ(file.NoImgFiles, static_cast<int>((bytes.size() - 4) / (static_cast<size_t>(file.nx) * file.ny)))
        << "case " << n;
    ASSERT_NE(file.I1, nullptr);
    // Reading every counted image must stay within the file.
    for (int k = 0; k < file.NoImgFiles; ++k)
      EXPECT_EQ(fread(file.I1, 1, static_cast<size_t>(file.size), file.fptr), static_cast<size_t>(file.size));
  }
  EXPECT_GT(accepted, 0);
}

TEST(DamagedHeaders, B16ReaderRefusesCleanlyOrReadsWithinTheFile) {
  TempDir dir;
  Lcg rng(7);
  int accepted = 0;
  for (int n = 0; n < 400; ++n) {
    std::string bytes = "B16-";
    Put32(bytes, Field32(rng));  // file_size
    Put32(bytes, Field32(rng));  // header_length
    Put32(bytes, Field32(rng));  // image_width
    Put32(bytes, Field32(rng));  // image_height
    Put32(bytes, rng.Below(2) == 0 ? -1 : Field32(rng));
    const size_t body = rng.Below(400);
    for (size_t i = 0; i < body; ++i) bytes.push_back(static_cast<char>(rng.Next()));
    bytes.resize(rng.Below(4) == 0 ? rng.Below(static_cast<uint32_t>(bytes.size()) + 1) : bytes.size());
    WriteFile(dir.file("f.b16"), bytes);
    ReadB16 r;
    ReadB16File(dir.file("f.b16"), r);
    if (r.pixels == 0) {
      EXPECT_EQ(r.image1, nullptr) << "case " << n;
      EXPECT_NE(r.err, "") << "case " << n;
      continue;
    }
    ++accepted;
    EXPECT_GT(r.nx, 0) << "case " << n;
    EXPECT_GT(r.ny, 0) << "case " << n;
    EXPECT_EQ(r.pixels, r.nx * r.ny) << "case " << n;
    EXPECT_LE(4u * static_cast<size_t>(r.pixels), bytes.size()) << "case " << n;
    ASSERT_NE(r.image1, nullptr);
    EXPECT_EQ(r.image2, r.image1 + r.pixels);
    volatile uint16_t last = r.image2[r.pixels - 1];  // the whole frame is readable
    (void)last;
  }
  EXPECT_GT(accepted, 0);
}

// ---------------------------------------------------------------- TIFF

// Writes an 8-bit TIFF, grey (samples 1) or RGB (samples 3), rows given top row first.
void WriteTIFF(const std::string& path, uint32_t width, uint32_t height, int samples,
               const std::vector<uint8_t>& rows) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
  std::vector<uint8_t> row(static_cast<size_t>(width) * samples);
  for (uint32_t y = 0; y < height; ++y) {
    std::copy(rows.begin() + y * row.size(), rows.begin() + (y + 1) * row.size(), row.begin());
    ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
  }
  TIFFClose(tif);
}

// A grey picture whose pixel (x, y), y counted from the top, is level 10 * y + x.
std::vector<uint8_t> GreyRows(uint32_t width, uint32_t height) {
  std::vector<uint8_t> rows;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) rows.push_back(static_cast<uint8_t>(10 * y + x));
  return rows;
}

// The grey levels pralen writes for GreyRows: bottom row first, 16 per level.
std::vector<uint16_t> GreyValuesBottomUp(uint32_t width, uint32_t height) {
  std::vector<uint16_t> v;
  for (uint32_t y = height; y-- > 0;)
    for (uint32_t x = 0; x < width; ++x) v.push_back(static_cast<uint16_t>(16 * (10 * y + x)));
  return v;
}

TEST(TIFFReader, GreyLevelSumsTheThreeColoursOnA12BitScale) {
  EXPECT_EQ(GreyLevel(0xff000000u), 0);                         // alpha alone
  EXPECT_EQ(GreyLevel(0xffffffffu), 4080);
  EXPECT_EQ(GreyLevel(0x00000001u), 5);                         // red 1
  EXPECT_EQ(GreyLevel(0x00000101u), 10);                        // red 1, green 1
  EXPECT_EQ(GreyLevel(0x00010000u), 5);                         // blue 1
  EXPECT_EQ(GreyLevel(0x00646464u), 1600);                      // grey 100
}

TEST(TIFFReader, DecodesGreyBottomRowFirst) {
  TempDir dir;
  WriteTIFF(dir.file("g.tif"), 4, 3, 1, GreyRows(4, 3));
  _16BitImage image;
  ASSERT_EQ(ReadTIFFImageToB16(image, dir.file("g.tif").c_str()), 12);
  EXPECT_EQ(image.nx, 4);
  EXPECT_EQ(image.ny, 3);
  EXPECT_EQ(std::vector<uint16_t>(image.data, image.data + 12), GreyValuesBottomUp(4, 3));
}

TEST(TIFFReader, DecodesRGB) {
  TempDir dir;
  // Top row: white, (1,0,0); bottom row: (1,1,0), black.
  WriteTIFF(dir.file("c.tif"), 2, 2, 3, {255, 255, 255, 1, 0, 0, 1, 1, 0, 0, 0, 0});
  _16BitImage image;
  ASSERT_EQ(ReadTIFFImageToB16(image, dir.file("c.tif").c_str()), 4);
  EXPECT_EQ(std::vector<uint16_t>(image.data, image.data + 4), (std::vector<uint16_t>{10, 0, 4080, 5}));
}

TEST(TIFFReader, RefusesMissingAndOversizedFiles) {
  TempDir dir;
  _16BitImage image;
  CaptureStderr();
  EXPECT_EQ(ReadTIFFImageToB16(image, dir.file("missing.tif").c_str()), 0);
  GetCapturedStderr();
  WriteTIFF(dir.file("wide.tif"), 5001, 1, 1, std::vector<uint8_t>(5001, 1));
  WriteTIFF(dir.file("tall.tif"), 1, 5001, 1, std::vector<uint8_t>(5001, 1));
  for (const char* name : {"wide.tif", "tall.tif"}) {
    CaptureStderr();
    EXPECT_EQ(ReadTIFFImageToB16(image, dir.file(name).c_str()), 0) << name;
    EXPECT_NE(GetCapturedStderr().find("5001"), std::string::npos) << name;
  }
  WriteTIFF(dir.file("edge.tif"), 5000, 1, 1, std::vector<uint8_t>(5000, 1));
  EXPECT_EQ(ReadTIFFImageToB16(image, dir.file("edge.tif").c_str()), 5000);
}

TEST(DamagedHeaders, TIFFReaderRefusesCleanlyOrDecodesTheWholeImage) {
  TempDir dir;
  WriteTIFF(dir.file("good.tif"), 6, 5, 3, std::vector<uint8_t>(6 * 5 * 3, 200));
  const std::string good = ReadFile(dir.file("good.tif"));
  Lcg rng(99);
  int refused = 0;
  for (int n = 0; n < 200; ++n) {
    std::string bytes = good;
    const int flips = 1 + static_cast<int>(rng.Below(4));
    for (int f = 0; f < flips; ++f) bytes[rng.Below(static_cast<uint32_t>(bytes.size()))] = static_cast<char>(rng.Next());
    if (rng.Below(3) == 0) bytes.resize(rng.Below(static_cast<uint32_t>(bytes.size())));
    WriteFile(dir.file("f.tif"), bytes);
    _16BitImage image;
    CaptureStdout();
    CaptureStderr();
    const int pixels = ReadTIFFImageToB16(image, dir.file("f.tif").c_str());
    GetCapturedStdout();
    GetCapturedStderr();
    if (pixels == 0) {
      ++refused;
      continue;
    }
    EXPECT_EQ(pixels, image.nx * image.ny) << "case " << n;
    EXPECT_LE(image.nx, 5000);
    EXPECT_LE(image.ny, 5000);
    ASSERT_NE(image.data, nullptr);
    volatile uint16_t last = image.data[pixels - 1];
    (void)last;
  }
  // Both outcomes occur, so both paths were exercised.
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, 200);
}

// ---------------------------------------------------------------- pralen

std::string PralenHeader(unsigned width, unsigned height) {
  std::string bytes;
  Put16(bytes, width);
  Put16(bytes, height);
  return bytes;
}

std::string PralenImage(const std::vector<uint16_t>& values) {
  std::string bytes;
  for (uint16_t v : values) Put16(bytes, v);
  return bytes;
}

TEST(Pralen, ConvertsEachTIFFIntoOneImageInCommandLineOrder) {
  TempDir dir;
  WriteTIFF(dir.file("a.tif"), 4, 3, 1, GreyRows(4, 3));
  WriteTIFF(dir.file("b.tif"), 4, 3, 3, std::vector<uint8_t>(4 * 3 * 3, 1));  // (1,1,1) -> 16
  const RunResult r = RunProgram("pralen", {"a.tif", "b.tif", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "You have selected: \nInput   TIFF File  = a.tif\nInput   TIFF File  = b.tif\n"
            "Output  16Bit File = out.dat\n\nConverting TIFF Files -> 16 bit Dat File\n"
            "\nWriting out image from file \"a.tif\"\n\nWriting out image from file \"b.tif\"\n");
  EXPECT_EQ(ReadFile(dir.file("out.dat")),
            PralenHeader(4, 3) + PralenImage(GreyValuesBottomUp(4, 3)) + PralenImage(std::vector<uint16_t>(12, 16)));
}

TEST(Pralen, TwoFullSizeImagesGiveTheExpectedLength) {
  TempDir dir;
  WriteTIFF(dir.file("a.tif"), 512, 512, 1, std::vector<uint8_t>(512 * 512, 7));
  WriteTIFF(dir.file("b.tif"), 512, 512, 1, std::vector<uint8_t>(512 * 512, 9));
  ASSERT_EQ(RunProgram("pralen", {"a.tif", "b.tif", "out.dat"}, dir.path()).status, 0);
  const std::string out = ReadFile(dir.file("out.dat"));
  EXPECT_EQ(out.size(), 4u + 2u * 2u * 512u * 512u);
  EXPECT_EQ(out.substr(0, 4), PralenHeader(512, 512));
  EXPECT_EQ(Values16(out, 4).front(), 7 * 16);
  EXPECT_EQ(Values16(out, 4).back(), 9 * 16);
}

TEST(Pralen, ImageOfAnotherSizeStopsWritingNothing) {
  TempDir dir;
  WriteTIFF(dir.file("a.tif"), 4, 3, 1, GreyRows(4, 3));
  WriteTIFF(dir.file("b.tif"), 3, 4, 1, GreyRows(3, 4));
  WriteFile(dir.file("out.dat"), "older");
  const RunResult r = RunProgram("pralen", {"a.tif", "b.tif", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 1);
  const std::string tail =
      "\nWriting out image from file \"a.tif\"\n"
      "\n\nProblem - TIFF Images are not same size\n\ta.tif: 4x3\n\tb.tif: 3x4\n .... bye ...\n\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_EQ(ReadFile(dir.file("out.dat")), "older");  // a failed run leaves the older file alone
}

TEST(Pralen, UnreadableTIFFStopsWritingNothing) {
  TempDir dir;
  WriteTIFF(dir.file("a.tif"), 2, 2, 1, GreyRows(2, 2));
  WriteFile(dir.file("junk.tif"), "not a tiff at all");
  WriteTIFF(dir.file("wide.tif"), 5001, 1, 1, std::vector<uint8_t>(5001, 1));
  for (const char* bad : {"missing.tif", "junk.tif", "wide.tif"}) {
    const RunResult r = RunProgram("pralen", {"a.tif", bad, "out.dat"}, dir.path());
    ExpectRefusal(r, bad);
    EXPECT_NE(r.out.find("\n\nProblem in ReadTIFFImageToB16, bye ...\n"), std::string::npos) << bad;
    EXPECT_FALSE(FileExists(dir.file("out.dat"))) << bad;
  }
  // A first picture too wide for the format leaves nothing that looks like a result.
  const RunResult r = RunProgram("pralen", {"wide.tif", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(FileExists(dir.file("out.dat")));
}

TEST(Pralen, UsageErrorsAndUnopenableOutput) {
  TempDir dir;
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"out.dat"}}) {
    const RunResult r = RunProgram("pralen", args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Use: pralen TIFF-1 <TIFF-2 ... TIFF-N> OutputFile\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(FileExists(dir.file("out.dat")));  // a lone argument creates nothing
  WriteTIFF(dir.file("a.tif"), 2, 2, 1, GreyRows(2, 2));
  const RunResult r = RunProgram("pralen", {"a.tif", "no/dir/out.dat"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("\n\nProblem opening output file no/dir/out.dat ....\n\n\n"), std::string::npos) << r.out;
}

TEST(Pralen, TarvexReadsTheOutput) {
  TempDir dir;
  std::vector<uint8_t> rows(128 * 128);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>((i * 53) % 256);
  WriteTIFF(dir.file("a.tif"), 128, 128, 1, rows);
  WriteTIFF(dir.file("b.tif"), 128, 128, 1, rows);
  ASSERT_EQ(RunProgram("pralen", {"a.tif", "b.tif", "pair.dat"}, dir.path()).status, 0);
  ExpectTarvexReads(dir, "pair.dat", 2, 128, 128);
}

}  // namespace
