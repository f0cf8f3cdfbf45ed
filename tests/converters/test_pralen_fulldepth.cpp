// pralen end to end on TIFF and PNG files written here with libtiff and libpng: -fulldepth
// keeps grey samples as stored (16-bit unchanged, 8-bit times 16 as without it), reads PNG and
// every page of a TIFF; what does not decode exactly is refused, with and without the option,
// and leaves no output behind (an older one stays).
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "test_converter_inputs.h"

namespace {

// One page of a TIFF file: samples in stored order, row after row (bits 8, 16 or 32; 32-bit
// ones as unsigned, signed or float by format).
struct TiffPage {
  uint32_t width = 0, height = 0;
  int bits = 8;
  int samples = 1;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  uint16_t format = SAMPLEFORMAT_UINT;
  bool tiled = false;
  bool photometricTag = true;  // false: the tag is left out
  uint16_t extra = 0;          // the kind of one extra sample (EXTRASAMPLE_...) when samples > 1
  std::vector<uint32_t> values;
};

// The bytes of one stored row (or tile row) of page, from sample index first on, count samples.
std::vector<unsigned char> Packed(const TiffPage& page, size_t first, size_t count) {
  std::vector<unsigned char> bytes(count * page.bits / 8);
  for (size_t k = 0; k < count; ++k) {
    const uint32_t v = first + k < page.values.size() ? page.values[first + k] : 0;
    if (page.bits == 8) bytes[k] = static_cast<unsigned char>(v);
    if (page.bits == 16) {
      const uint16_t wide = static_cast<uint16_t>(v);
      std::memcpy(&bytes[2 * k], &wide, 2);
    }
    if (page.bits == 32) {
      const float real = static_cast<float>(v);
      std::memcpy(&bytes[4 * k], page.format == SAMPLEFORMAT_IEEEFP ? static_cast<const void*>(&real) : &v, 4);
    }
  }
  return bytes;
}

// Writes the pages as one TIFF file: strips of 2 rows, or tiles of 16 x 16 px.
void WriteTiff(const std::string& path, const std::vector<TiffPage>& pages) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  for (const TiffPage& page : pages) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page.samples);
    if (page.photometricTag) TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.photometric);
    if (page.extra != 0) {
      const uint16_t kinds[] = {page.extra};
      TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, kinds);
    }
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, page.orientation);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, page.compression);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, page.format);
    const size_t row = static_cast<size_t>(page.width) * page.samples;
    if (page.tiled) {
      TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
      for (uint32_t ty = 0; ty < page.height; ty += 16)
        for (uint32_t tx = 0; tx < page.width; tx += 16) {
          std::vector<unsigned char> tile;
          for (uint32_t r = 0; r < 16; ++r) {
            const size_t columns = tx + 16 <= page.width ? 16 : page.width - tx;
            std::vector<unsigned char> bytes =
                ty + r < page.height ? Packed(page, (ty + r) * row + tx * page.samples, columns * page.samples)
                                     : std::vector<unsigned char>();
            bytes.resize(16 * page.samples * page.bits / 8, 0);
            tile.insert(tile.end(), bytes.begin(), bytes.end());
          }
          ASSERT_GE(TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0), 0);
        }
    } else {
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
      for (uint32_t y = 0; y < page.height; ++y) {
        std::vector<unsigned char> bytes = Packed(page, y * row, row);
        ASSERT_EQ(TIFFWriteScanline(tif, bytes.data(), y, 0), 1);
      }
    }
    ASSERT_EQ(TIFFWriteDirectory(tif), 1);
  }
  TIFFClose(tif);
}

TiffPage GreyPage(uint32_t width, uint32_t height, int bits, std::vector<uint32_t> values) {
  TiffPage page;
  page.width = width;
  page.height = height;
  page.bits = bits;
  page.values = std::move(values);
  return page;
}

// Writes a PNG file of the given colour type and depth, samples top row first (16-bit ones
// go high byte first, as PNG stores them; a palette picture gets the palette given).
void WritePng(const std::string& path, uint32_t width, uint32_t height, int colour, int depth,
              const std::vector<uint32_t>& samples, const std::vector<png_color>& palette = {}) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, depth, colour, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_write_info(png, info);
  const size_t per_row = samples.size() / height;
  std::vector<png_byte> row(per_row * depth / 8);
  for (uint32_t y = 0; y < height; ++y) {
    for (size_t k = 0; k < per_row; ++k) {
      const uint32_t v = samples[y * per_row + k];
      if (depth == 16) {
        row[2 * k] = static_cast<png_byte>(v >> 8);
        row[2 * k + 1] = static_cast<png_byte>(v & 0xff);
      } else {
        row[k] = static_cast<png_byte>(v);
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  fclose(file);
}

// The image-pair file of images given top row first: pralen writes the bottom row first.
std::string PairFileBottomUp(uint32_t width, uint32_t height, const std::vector<std::vector<uint32_t>>& images) {
  std::string bytes;
  Put16(bytes, width);
  Put16(bytes, height);
  for (const std::vector<uint32_t>& image : images)
    for (uint32_t y = height; y-- > 0;)
      for (uint32_t x = 0; x < width; ++x) Put16(bytes, image[y * width + x]);
  return bytes;
}

std::vector<uint32_t> Times16(std::vector<uint32_t> values) {
  for (uint32_t& v : values) v *= 16;
  return values;
}

// Samples spread over the whole 16-bit range, with its ends: 0, 65535, and values whose low
// byte alone differs.
std::vector<uint32_t> WideSamples(size_t count, uint32_t seed) {
  std::vector<uint32_t> v(count);
  for (size_t k = 0; k < count; ++k) v[k] = static_cast<uint32_t>((k * 40503u + seed * 977u) % 65536u);
  v[0] = 0;
  v[count - 1] = 65535;
  if (count > 3) v[1] = 0x1201, v[2] = 0x1202, v[3] = 40000;
  return v;
}

std::vector<uint32_t> ByteSamples(size_t count, uint32_t seed) {
  std::vector<uint32_t> v(count);
  for (size_t k = 0; k < count; ++k) v[k] = static_cast<uint32_t>((k * 37u + seed * 11u) % 256u);
  v[0] = 255;
  return v;
}

TEST(PralenFullDepth, SixteenBitTIFFAndPNGKeepTheirSamples) {
  TempDir dir;
  const std::vector<uint32_t> a = WideSamples(7 * 5, 1), b = WideSamples(7 * 5, 2), c = ByteSamples(7 * 5, 3);
  WriteTiff(dir.file("a.tif"), {GreyPage(7, 5, 16, a)});
  WritePng(dir.file("b.png"), 7, 5, PNG_COLOR_TYPE_GRAY, 16, b);
  WritePng(dir.file("c.png"), 7, 5, PNG_COLOR_TYPE_GRAY, 8, c);
  const RunResult r = RunProgram("pralen", {"-fulldepth", "a.tif", "b.png", "c.png", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "You have selected: \nInput   Image File = a.tif\nInput   Image File = b.png\nInput   Image File = c.png\n"
            "Output  16Bit File = out.dat\n\nConverting TIFF and PNG Files at full depth -> 16 bit Dat File\n"
            "\nWriting out image from file \"a.tif\"\n\nWriting out image from file \"b.png\"\n"
            "\nWriting out image from file \"c.png\"\n");
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFileBottomUp(7, 5, {a, b, Times16(c)}));
}

TEST(PralenFullDepth, EveryPageOfAMultiPageTIFFInOrderWhateverItsStorage) {
  TempDir dir;
  const uint32_t w = 20, h = 18;  // two tiles across and down, partly filled
  TiffPage first = GreyPage(w, h, 16, WideSamples(w * h, 4));
  TiffPage second = GreyPage(w, h, 16, WideSamples(w * h, 5));
  second.compression = COMPRESSION_LZW;
  second.tiled = true;
  TiffPage third = GreyPage(w, h, 16, WideSamples(w * h, 6));
  third.compression = COMPRESSION_ADOBE_DEFLATE;
  third.photometric = PHOTOMETRIC_MINISWHITE;  // stored as 65535 - v
  std::vector<uint32_t> white = third.values;
  for (uint32_t& v : third.values) v = 65535 - v;
  WriteTiff(dir.file("run.tif"), {first, second, third});
  WritePng(dir.file("last.png"), w, h, PNG_COLOR_TYPE_GRAY, 16, WideSamples(w * h, 7));

  const RunResult r = RunProgram("pralen", {"-fulldepth", "run.tif", "last.png", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nWriting out image from file \"run.tif\"\n\nWriting out image from file \"run.tif, page 2\"\n"
                       "\nWriting out image from file \"run.tif, page 3\"\n\nWriting out image from file \"last.png\"\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFile(dir.file("out.dat")),
            PairFileBottomUp(w, h, {first.values, second.values, white, WideSamples(w * h, 7)}));

  // Without the option only the first page is read, reduced to 8 bits: its high bytes.
  ASSERT_EQ(RunProgram("pralen", {"run.tif", "plain.dat"}, dir.path()).status, 0);
  const std::vector<uint16_t> plain = Values16(ReadFile(dir.file("plain.dat")), 4);
  ASSERT_EQ(plain.size(), static_cast<size_t>(w * h));
  EXPECT_EQ(plain[static_cast<size_t>(h - 1) * w], 0);  // the top left pixel, 0
  EXPECT_EQ(plain[w - 1], 16 * 255);                    // the bottom right one, 65535 -> 255
}

TEST(PralenFullDepth, EightBitAndColourFilesGiveWhatPralenGivesWithoutTheOption) {
  TempDir dir;
  const uint32_t w = 19, h = 17;
  // Every orientation, white-is-zero, the compressions and tiles: the same image either way.
  std::vector<std::string> names;
  for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
    TiffPage page = GreyPage(w, h, 8, ByteSamples(w * h, orientation));
    page.orientation = orientation;
    page.photometric = orientation % 2 == 0 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
    page.compression = orientation % 3 == 0 ? COMPRESSION_PACKBITS : orientation % 3 == 1 ? COMPRESSION_LZW
                                                                                         : COMPRESSION_NONE;
    page.tiled = orientation > 4;
    names.push_back("o" + std::to_string(orientation) + ".tif");
    WriteTiff(dir.file(names.back()), {page});
  }
  TiffPage colour = GreyPage(w, h, 8, ByteSamples(3 * w * h, 9));
  colour.samples = 3;
  colour.photometric = PHOTOMETRIC_RGB;
  names.push_back("rgb.tif");
  WriteTiff(dir.file("rgb.tif"), {colour});

  std::vector<std::string> plain = names, full = names;
  plain.push_back("plain.dat");
  full.insert(full.begin(), "-fulldepth");
  full.push_back("full.dat");
  ASSERT_EQ(RunProgram("pralen", plain, dir.path()).status, 0);
  const RunResult r = RunProgram("pralen", full, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.file("full.dat")), ReadFile(dir.file("plain.dat")));
  EXPECT_EQ(ReadFile(dir.file("full.dat")).size(), 4u + names.size() * 2u * w * h);

  // A PNG of the same samples: grey 8-bit, RGB and a palette of those colours.
  WritePng(dir.file("grey.png"), w, h, PNG_COLOR_TYPE_GRAY, 8, ByteSamples(w * h, 1));
  WritePng(dir.file("rgb.png"), w, h, PNG_COLOR_TYPE_RGB, 8, colour.values);
  std::vector<png_color> palette;
  std::vector<uint32_t> indices;
  for (size_t k = 0; k < 256 && k < w * h; ++k)
    palette.push_back({static_cast<png_byte>(colour.values[3 * k]), static_cast<png_byte>(colour.values[3 * k + 1]),
                       static_cast<png_byte>(colour.values[3 * k + 2])});
  for (size_t k = 0; k < w * h; ++k) indices.push_back(static_cast<uint32_t>(k % palette.size()));
  WritePng(dir.file("palette.png"), w, h, PNG_COLOR_TYPE_PALETTE, 8, indices, palette);
  std::vector<uint32_t> spread;
  for (uint32_t index : indices)
    for (int c = 0; c < 3; ++c) spread.push_back(colour.values[3 * index + c]);
  colour.values = spread;
  WriteTiff(dir.file("palette.tif"), {colour});
  ASSERT_EQ(RunProgram("pralen", {"o1.tif", "rgb.tif", "palette.tif", "tiffs.dat"}, dir.path()).status, 0);
  ASSERT_EQ(RunProgram("pralen", {"-fulldepth", "grey.png", "rgb.png", "palette.png", "pngs.dat"}, dir.path()).status, 0);
  EXPECT_EQ(ReadFile(dir.file("pngs.dat")), ReadFile(dir.file("tiffs.dat")));
}

// Overwrites the data of the second strip of the file's page (from 1) with byte.
void DamageStripOfPage(const std::string& path, int page, unsigned char byte) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  ASSERT_EQ(TIFFSetDirectory(tif, static_cast<tdir_t>(page - 1)), 1);
  uint64_t* offsets = nullptr;
  uint64_t* counts = nullptr;
  ASSERT_EQ(TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets), 1);
  ASSERT_EQ(TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts), 1);
  const uint64_t offset = offsets[1], count = counts[1];
  TIFFClose(tif);
  std::string bytes = ReadFile(path);
  ASSERT_LE(offset + count, bytes.size());
  for (uint64_t k = offset; k < offset + count; ++k) bytes[k] = static_cast<char>(byte);
  WriteFile(path, bytes);
}

// Sets the compression tag of a little-endian TIFF's first directory to a scheme no one knows.
void SetUnknownCompression(const std::string& path) {
  std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.substr(0, 2), "II");
  uint32_t ifd = 0;
  std::memcpy(&ifd, &bytes[4], 4);
  uint16_t entries = 0;
  std::memcpy(&entries, &bytes[ifd], 2);
  for (uint16_t e = 0; e < entries; ++e) {
    const size_t at = ifd + 2 + 12u * e;
    uint16_t tag = 0;
    std::memcpy(&tag, &bytes[at], 2);
    if (tag != TIFFTAG_COMPRESSION) continue;
    const uint16_t unknown = 50000;
    std::memcpy(&bytes[at + 8], &unknown, 2);
    WriteFile(path, bytes);
    return;
  }
  FAIL() << "no compression tag";
}

// Runs pralen with and without -fulldepth on input; both must refuse it naming file, with
// status 1, and leave the older output alone.
void ExpectBothRefuse(const TempDir& dir, const std::string& input, const std::string& message) {
  for (const bool full : {false, true}) {
    WriteFile(dir.file("out.dat"), "older");
    std::vector<std::string> args = {"good.tif", input, "out.dat"};
    if (full) args.insert(args.begin(), "-fulldepth");
    const RunResult r = RunProgram("pralen", args, dir.path());
    EXPECT_EQ(r.status, 1) << input << (full ? " -fulldepth" : "");
    EXPECT_NE(r.err.find(message), std::string::npos) << input << (full ? " -fulldepth\n" : "\n") << r.err;
    EXPECT_EQ(ReadFile(dir.file("out.dat")), "older") << input;
  }
}

TEST(PralenRefusals, StripsThatDoNotDecodeWithAndWithoutTheOption) {
  TempDir dir;
  const uint32_t w = 32, h = 8;
  WriteTiff(dir.file("good.tif"), {GreyPage(w, h, 8, ByteSamples(w * h, 1))});
  const struct {
    const char* name;
    uint16_t compression;
    unsigned char damage;
  } cases[] = {
      {"lzw.tif", COMPRESSION_LZW, 0xff},
      {"deflate.tif", COMPRESSION_ADOBE_DEFLATE, 0xff},
      {"packbits.tif", COMPRESSION_PACKBITS, 0x81},  // runs of 128 bytes: more than a strip holds
  };
  for (const auto& c : cases) {
    TiffPage page = GreyPage(w, h, 8, ByteSamples(w * h, 2));
    page.compression = c.compression;
    WriteTiff(dir.file(c.name), {page});
    DamageStripOfPage(dir.file(c.name), 1, c.damage);
    ExpectBothRefuse(dir, c.name, std::string("\n\nTIFF file ") + c.name + " does not decode: ");
  }
  WriteTiff(dir.file("unknown.tif"), {GreyPage(w, h, 8, ByteSamples(w * h, 3))});
  SetUnknownCompression(dir.file("unknown.tif"));
  ExpectBothRefuse(dir, "unknown.tif", "\n\nTIFF file unknown.tif does not decode: ");

  // The same files undamaged convert.
  WriteTiff(dir.file("fine.tif"), {GreyPage(w, h, 8, ByteSamples(w * h, 2))});
  EXPECT_EQ(RunProgram("pralen", {"good.tif", "fine.tif", "out.dat"}, dir.path()).status, 0);
}

TEST(PralenRefusals, WhatFullDepthCannotConvertExactly) {
  TempDir dir;
  const uint32_t w = 32, h = 8;
  WriteTiff(dir.file("good.tif"), {GreyPage(w, h, 8, ByteSamples(w * h, 1))});
  TiffPage real = GreyPage(w, h, 32, std::vector<uint32_t>(w * h, 7));
  real.format = SAMPLEFORMAT_IEEEFP;
  WriteTiff(dir.file("float.tif"), {real});
  TiffPage whole = GreyPage(w, h, 32, std::vector<uint32_t>(w * h, 7));
  WriteTiff(dir.file("wide.tif"), {whole});
  TiffPage sign = GreyPage(w, h, 16, std::vector<uint32_t>(w * h, 7));
  sign.format = SAMPLEFORMAT_INT;
  WriteTiff(dir.file("signed.tif"), {sign});
  // Page 2 is of another size.
  WriteTiff(dir.file("pages.tif"),
            {GreyPage(w, h, 8, ByteSamples(w * h, 1)), GreyPage(w, h + 1, 8, ByteSamples(w * (h + 1), 2))});
  // Page 2 has a damaged strip: written as a file of its own, damaged, then put after a page.
  TiffPage damaged = GreyPage(w, h, 16, WideSamples(w * h, 2));
  damaged.compression = COMPRESSION_ADOBE_DEFLATE;
  WriteTiff(dir.file("late.tif"), {GreyPage(w, h, 8, ByteSamples(w * h, 1)), damaged});
  DamageStripOfPage(dir.file("late.tif"), 2, 0xff);
  WritePng(dir.file("ok.png"), w, h, PNG_COLOR_TYPE_GRAY, 16, WideSamples(w * h, 3));
  std::string png = ReadFile(dir.file("ok.png"));
  const size_t idat = png.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  std::string zlib = png;
  zlib[idat + 6] = static_cast<char>(zlib[idat + 6] ^ 0x40);  // inside the compressed data
  WriteFile(dir.file("zlib.png"), zlib);
  const size_t length = static_cast<unsigned char>(png[idat - 2]) << 8 | static_cast<unsigned char>(png[idat - 1]);
  std::string crc = png;
  crc[idat + 4 + length] = static_cast<char>(crc[idat + 4 + length] ^ 1);  // the chunk's CRC
  WriteFile(dir.file("crc.png"), crc);
  WriteFile(dir.file("cut.png"), png.substr(0, idat + 10));
  WriteFile(dir.file("text.png"), "neither a TIFF nor a PNG file");

  const struct {
    const char* name;
    const char* message;
  } cases[] = {
      {"float.tif", "\n\nTIFF file float.tif holds floating-point samples, which cannot be converted exactly ....\n\n"},
      {"wide.tif", "\n\nTIFF file wide.tif holds 32-bit samples, which cannot be converted exactly ....\n\n"},
      {"signed.tif", "\n\nTIFF file signed.tif holds signed samples, which cannot be converted exactly ....\n\n"},
      {"pages.tif", "\n\nImage pages.tif, page 2 is 32x9 px, the images before it 32x8 px: one output holds images "
                    "of one size ....\n\n"},
      {"late.tif", "\n\nTIFF file late.tif, page 2 does not decode: Decoding error at scanline 2"},
      {"zlib.png", "\n\nPNG file zlib.png does not decode: IDAT: "},
      {"crc.png", "\n\nPNG file crc.png does not decode: IDAT: CRC error ....\n\n"},
      {"cut.png", "\n\nPNG file cut.png does not decode: Read Error ....\n\n"},
      {"text.png", "\n\ntext.png is neither a TIFF nor a PNG file ....\n\n"},
      {"missing.png", "\n\nCannot open missing.png: No such file or directory ....\n\n"},
  };
  for (const auto& c : cases) {
    WriteFile(dir.file("out.dat"), "older");
    const RunResult r = RunProgram("pralen", {"-fulldepth", "good.tif", c.name, "out.dat"}, dir.path());
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << "\n" << r.err;
    EXPECT_EQ(ReadFile(dir.file("out.dat")), "older") << c.name;
  }
  // A lone -fulldepth names no input: the usage, as for a lone file.
  const RunResult usage = RunProgram("pralen", {"-fulldepth", "out.dat"}, dir.path());
  EXPECT_EQ(usage.status, 1);
  EXPECT_EQ(usage.err, "Use: pralen TIFF-1 <TIFF-2 ... TIFF-N> OutputFile\n");
  EXPECT_EQ(usage.out, "");
}

// Grey and alpha of a page, samples interleaved, from the grey samples given.
std::vector<uint32_t> WithAlpha(const std::vector<uint32_t>& grey, uint32_t alpha) {
  std::vector<uint32_t> both;
  for (uint32_t v : grey) both.insert(both.end(), {v, alpha});
  return both;
}

// A 16-bit grey page with an alpha sample after each grey one, or without a Photometric tag,
// keeps its samples as the same picture in a PNG does, stored in strips or tiles.
TEST(PralenFullDepth, SixteenBitGreyWithAlphaOrWithoutPhotometricKeepsItsSamples) {
  TempDir dir;
  const uint32_t w = 20, h = 18;
  const std::vector<uint32_t> a = WideSamples(w * h, 11), b = WideSamples(w * h, 12), c = WideSamples(w * h, 13);
  TiffPage alpha = GreyPage(w, h, 16, WithAlpha(a, 65535));
  alpha.samples = 2;
  alpha.extra = EXTRASAMPLE_UNASSALPHA;
  TiffPage tiled = GreyPage(w, h, 16, WithAlpha(b, 30000));
  tiled.samples = 2;
  tiled.extra = EXTRASAMPLE_ASSOCALPHA;
  tiled.tiled = true;
  tiled.compression = COMPRESSION_ADOBE_DEFLATE;
  TiffPage bare = GreyPage(w, h, 16, c);
  bare.photometricTag = false;
  // Without the tag or ExtraSamples libtiff takes a second sample for an extra one.
  const std::vector<uint32_t> d = WideSamples(w * h, 14);
  TiffPage bareTwo = GreyPage(w, h, 16, WithAlpha(d, 123));
  bareTwo.samples = 2;
  bareTwo.photometricTag = false;
  WriteTiff(dir.file("alpha.tif"), {alpha, tiled});
  WriteTiff(dir.file("bare.tif"), {bare, bareTwo});
  WritePng(dir.file("alpha.png"), w, h, PNG_COLOR_TYPE_GRAY_ALPHA, 16, WithAlpha(a, 65535));

  const RunResult r = RunProgram("pralen", {"-fulldepth", "alpha.tif", "bare.tif", "alpha.png", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFileBottomUp(w, h, {a, b, c, d, a}));
  const std::vector<uint16_t> values = Values16(ReadFile(dir.file("out.dat")), 4);
  ASSERT_EQ(values.size(), 5u * w * h);
  EXPECT_EQ(values[static_cast<size_t>(h - 1) * w + 3], 40000);  // the fourth pixel of the top row
}

// Below 16 bits a grey page with alpha or without a Photometric tag gives what pralen gives
// without the option.
TEST(PralenFullDepth, EightBitGreyWithAlphaOrWithoutPhotometricAsWithoutTheOption) {
  TempDir dir;
  const uint32_t w = 19, h = 17;
  TiffPage unassociated = GreyPage(w, h, 8, WithAlpha(ByteSamples(w * h, 1), 200));
  unassociated.samples = 2;
  unassociated.extra = EXTRASAMPLE_UNASSALPHA;
  TiffPage associated = GreyPage(w, h, 8, WithAlpha(ByteSamples(w * h, 2), 255));
  associated.samples = 2;
  associated.extra = EXTRASAMPLE_ASSOCALPHA;
  associated.photometric = PHOTOMETRIC_MINISWHITE;
  TiffPage bare = GreyPage(w, h, 8, ByteSamples(w * h, 3));
  bare.photometricTag = false;
  WriteTiff(dir.file("u.tif"), {unassociated});
  WriteTiff(dir.file("a.tif"), {associated});
  WriteTiff(dir.file("b.tif"), {bare});
  ASSERT_EQ(RunProgram("pralen", {"u.tif", "a.tif", "b.tif", "plain.dat"}, dir.path()).status, 0);
  const RunResult r = RunProgram("pralen", {"-fulldepth", "u.tif", "a.tif", "b.tif", "full.dat"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.file("full.dat")), ReadFile(dir.file("plain.dat")));
  EXPECT_EQ(ReadFile(dir.file("full.dat")),
            PairFileBottomUp(w, h, {Times16(ByteSamples(w * h, 1)), [&] {
                                      std::vector<uint32_t> v = ByteSamples(w * h, 2);
                                      for (uint32_t& s : v) s = 255 - s;
                                      return Times16(v);
                                    }(),
                                    Times16(ByteSamples(w * h, 3))}));
}

// A page deeper than 8 bits that is neither grey nor RGB would be cut to 8 bits: refused.
TEST(PralenRefusals, DeepSamplesFullDepthWouldCutTo8Bits) {
  TempDir dir;
  const uint32_t w = 8, h = 4;
  WriteTiff(dir.file("good.tif"), {GreyPage(w, h, 16, WideSamples(w * h, 1))});
  TiffPage cmyk = GreyPage(w, h, 16, WideSamples(4 * w * h, 2));
  cmyk.samples = 4;
  cmyk.photometric = PHOTOMETRIC_SEPARATED;
  WriteTiff(dir.file("cmyk.tif"), {cmyk});
  WriteFile(dir.file("out.dat"), "older");
  const RunResult r = RunProgram("pralen", {"-fulldepth", "good.tif", "cmyk.tif", "out.dat"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\n\nTIFF file cmyk.tif holds 16-bit samples neither grey nor RGB, which cannot be "
                       "converted exactly ....\n\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(dir.file("out.dat")), "older");
  // 16-bit RGB is colour, reduced as without the option.
  TiffPage rgb = GreyPage(w, h, 16, WideSamples(3 * w * h, 4));
  rgb.samples = 3;
  rgb.photometric = PHOTOMETRIC_RGB;
  WriteTiff(dir.file("rgb.tif"), {rgb});
  ASSERT_EQ(RunProgram("pralen", {"rgb.tif", "plain.dat"}, dir.path()).status, 0);
  ASSERT_EQ(RunProgram("pralen", {"-fulldepth", "rgb.tif", "full.dat"}, dir.path()).status, 0);
  EXPECT_EQ(ReadFile(dir.file("full.dat")), ReadFile(dir.file("plain.dat")));
}

// An output name that leads to one of the inputs is refused before anything is written: by
// name, by another spelling of it, through a symbolic link, with and without the option.
TEST(PralenRefusals, AnOutputThatIsOneOfTheInputs) {
  TempDir dir;
  const uint32_t w = 7, h = 5;
  WritePng(dir.file("a.png"), w, h, PNG_COLOR_TYPE_GRAY, 16, WideSamples(w * h, 1));
  WritePng(dir.file("b.png"), w, h, PNG_COLOR_TYPE_GRAY, 16, WideSamples(w * h, 2));
  WritePng(dir.file("p16.png"), w, h, PNG_COLOR_TYPE_GRAY, 16, WideSamples(w * h, 3));
  WriteTiff(dir.file("run.tif"), {GreyPage(w, h, 16, WideSamples(w * h, 4))});
  WriteTiff(dir.file("c.tif"), {GreyPage(w, h, 8, ByteSamples(w * h, 5))});
  ASSERT_EQ(symlink("p16.png", dir.file("link.b16").c_str()), 0);
  const std::string before[] = {ReadFile(dir.file("b.png")), ReadFile(dir.file("p16.png")),
                                ReadFile(dir.file("run.tif")), ReadFile(dir.file("c.tif"))};

  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"-fulldepth", "a.png", "b.png", "b.png"}, "pralen: refusing to write b.png: it is the image file b.png this run reads\n"},
      {{"-fulldepth", "run.tif", "run.tif"}, "pralen: refusing to write run.tif: it is the image file run.tif this run reads\n"},
      {{"-fulldepth", "p16.png", "link.b16"},
       "pralen: refusing to write link.b16: it is the image file p16.png this run reads\n"},
      {{"-fulldepth", "b.png", "a.png", "./b.png"},
       "pralen: refusing to write ./b.png: it is the image file b.png this run reads\n"},
      {{"c.tif", "run.tif", "c.tif"}, "pralen: refusing to write c.tif: it is the image file c.tif this run reads\n"},
      {{"run.tif", "c.tif", "./run.tif"},
       "pralen: refusing to write ./run.tif: it is the image file run.tif this run reads\n"},
  };
  for (const auto& c : cases) {
    const RunResult r = RunProgram("pralen", c.args, dir.path());
    EXPECT_EQ(r.status, 1) << c.args.back();
    EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadFile(dir.file("b.png")), before[0]);
  EXPECT_EQ(ReadFile(dir.file("p16.png")), before[1]);
  EXPECT_EQ(ReadFile(dir.file("run.tif")), before[2]);
  EXPECT_EQ(ReadFile(dir.file("c.tif")), before[3]);
  char target[64] = {};
  ASSERT_GT(readlink(dir.file("link.b16").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "p16.png");  // the link itself is left too

  // The same inputs into an output of their own convert.
  EXPECT_EQ(RunProgram("pralen", {"-fulldepth", "a.png", "b.png", "out.dat"}, dir.path()).status, 0);
  EXPECT_EQ(ReadFile(dir.file("out.dat")), PairFileBottomUp(w, h, {WideSamples(w * h, 1), WideSamples(w * h, 2)}));
}

}  // namespace
