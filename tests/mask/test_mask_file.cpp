// The mask file and the mask regions: PNG, TIFF and image-pair masks the test writes in many
// layouts, all read into the same bytes; refusals of coloured, transparent, floating-point
// and damaged files with their reasons; the kind found by content, not by name; the PNG writer
// read back; and the pixels a rectangle and a circle cover, against the header's numbers and a
// brute-force count.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "MaskFile.h"
#include "MaskRegion.h"
#include "MaskSamples.h"
#include "TestSupport.h"

namespace {

// The pattern every layout below stores: flow (1) or none (0) for each pixel of a 5 x 4 mask.
const int kW = 5, kH = 4;
const std::vector<unsigned char> kPattern = {1, 1, 0, 0, 1,  //
                                             0, 1, 1, 0, 1,  //
                                             1, 1, 1, 1, 1,  //
                                             0, 0, 0, 1, 0};

// One stored value per pixel: zero where the pattern has no flow, otherwise the values of
// flow in turn (so that small and large levels both count as flow).
std::vector<uint32_t> Levels(const std::vector<uint32_t>& flow_values) {
  std::vector<uint32_t> levels(kPattern.size());
  for (size_t k = 0, n = 0; k < kPattern.size(); ++k)
    levels[k] = kPattern[k] ? flow_values[n++ % flow_values.size()] : 0;
  return levels;
}

// Packs values into rows of bits each, big-endian (PNG's order; TIFF's for bits up to 8).
std::vector<std::vector<unsigned char>> PackRows(const std::vector<uint32_t>& values, int width, int height,
                                                 int per_pixel, int bits) {
  std::vector<std::vector<unsigned char>> rows(height);
  for (int y = 0; y < height; ++y) {
    std::vector<unsigned char>& row = rows[y];
    row.assign((static_cast<size_t>(width) * per_pixel * bits + 7) / 8, 0);
    for (int k = 0; k < width * per_pixel; ++k) {
      const uint32_t v = values[static_cast<size_t>(y) * width * per_pixel + k];
      if (bits >= 8)
        for (int b = 0; b < bits / 8; ++b) row[k * bits / 8 + b] = static_cast<unsigned char>(v >> (bits - 8 - 8 * b));
      else
        row[k * bits / 8] |= static_cast<unsigned char>(v << (8 - bits - (k * bits) % 8));
    }
  }
  return rows;
}

// Each pixel's value repeated per_pixel times, with alpha (when given) last.
std::vector<uint32_t> Channels(const std::vector<uint32_t>& grey, int colours, int alpha_channels, uint32_t alpha) {
  std::vector<uint32_t> out;
  for (uint32_t g : grey) {
    for (int c = 0; c < colours; ++c) out.push_back(g);
    if (alpha_channels) out.push_back(alpha);
  }
  return out;
}

// ---------------------------------------------------------------- PNG files

struct PngLayout {
  int colour_type = PNG_COLOR_TYPE_GRAY;
  int depth = 8;
  std::vector<png_color> palette;
  std::vector<png_byte> transparent;  // palette alpha values
  png_color_16 transparent_grey{};
  bool has_transparent_grey = false;
  bool interlaced = false;
};

PngLayout Png(int colour_type, int depth) {
  PngLayout layout;
  layout.colour_type = colour_type;
  layout.depth = depth;
  return layout;
}

void WritePng(const std::string& path, int width, int height, const PngLayout& layout,
              const std::vector<std::vector<unsigned char>>& rows) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, layout.depth, layout.colour_type,
               layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!layout.palette.empty())
    png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
  if (!layout.transparent.empty())
    png_set_tRNS(png, info, layout.transparent.data(), static_cast<int>(layout.transparent.size()), nullptr);
  if (layout.has_transparent_grey) png_set_tRNS(png, info, nullptr, 0, &layout.transparent_grey);
  std::vector<png_bytep> pointers;
  for (const auto& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
  png_set_rows(png, info, pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  ASSERT_EQ(std::fclose(file), 0);
}

// ---------------------------------------------------------------- TIFF files

struct TiffLayout {
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t bits = 8;
  uint16_t samples = 1;
  uint16_t format = SAMPLEFORMAT_UINT;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t compression = COMPRESSION_NONE;
  bool alpha = false;  // the last sample is unassociated alpha
  std::vector<uint16_t> palette[3];
  uint32_t tile = 0;  // tile side, or 0 for strips of two rows
};

TiffLayout Tiff(uint16_t photometric, uint16_t bits = 8, uint16_t samples = 1) {
  TiffLayout layout;
  layout.photometric = photometric;
  layout.bits = bits;
  layout.samples = samples;
  return layout;
}

// Writes rows of packed samples (PackRows' layout; 16- and 32-bit values big-endian, turned
// into host order here as libtiff expects them).
void WriteTiff(const std::string& path, int width, int height, const TiffLayout& layout,
               std::vector<std::vector<unsigned char>> rows) {
  if (layout.bits > 8)
    for (auto& row : rows)
      for (size_t k = 0; k + layout.bits / 8 <= row.size(); k += layout.bits / 8) {
        uint32_t v = 0;
        for (int b = 0; b < layout.bits / 8; ++b) v = v << 8 | row[k + b];
        if (layout.bits == 16) {
          const uint16_t h = static_cast<uint16_t>(v);
          std::memcpy(&row[k], &h, 2);
        } else {
          std::memcpy(&row[k], &v, 4);
        }
      }
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, layout.format);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, layout.planar);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
  if (layout.alpha) {
    const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  if (!layout.palette[0].empty())
    TIFFSetField(tif, TIFFTAG_COLORMAP, layout.palette[0].data(), layout.palette[1].data(), layout.palette[2].data());
  if (layout.tile == 0) {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2u);
    for (int y = 0; y < height; ++y) ASSERT_EQ(TIFFWriteScanline(tif, rows[y].data(), y, 0), 1);
  } else {
    // Whole bytes per pixel only: a tile is cut out of the rows byte by byte.
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, layout.tile);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, layout.tile);
    const size_t pixel = layout.samples * layout.bits / 8;
    std::vector<unsigned char> tile(static_cast<size_t>(TIFFTileSize(tif)));
    for (uint32_t ty = 0; ty < static_cast<uint32_t>(height); ty += layout.tile)
      for (uint32_t tx = 0; tx < static_cast<uint32_t>(width); tx += layout.tile) {
        std::fill(tile.begin(), tile.end(), 0);
        for (uint32_t r = 0; r < layout.tile && ty + r < static_cast<uint32_t>(height); ++r)
          for (uint32_t c = 0; c < layout.tile && tx + c < static_cast<uint32_t>(width); ++c)
            std::memcpy(&tile[(r * layout.tile + c) * pixel], &rows[ty + r][(tx + c) * pixel], pixel);
        ASSERT_GE(TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0), 0);
      }
  }
  TIFFClose(tif);
}

// ---------------------------------------------------------------- reading back

struct Read {
  bool ok = false;
  MaskImage mask;
  MaskFileKind kind = MaskFileKind::ImagePair;
  std::string error;
};

Read ReadMask(const std::string& path) {
  Read r;
  r.ok = ReadMaskFile(path, r.mask, r.kind, r.error);
  return r;
}

void ExpectPattern(const std::string& path, MaskFileKind kind, const std::string& what) {
  const Read r = ReadMask(path);
  ASSERT_TRUE(r.ok) << what << ": " << r.error;
  EXPECT_EQ(r.kind, kind) << what;
  EXPECT_EQ(r.mask.Width(), kW) << what;
  EXPECT_EQ(r.mask.Height(), kH) << what;
  EXPECT_EQ(r.mask.Bytes(), kPattern) << what;
}

void ExpectRefused(const std::string& path, const std::string& reason, const std::string& what) {
  const Read r = ReadMask(path);
  EXPECT_FALSE(r.ok) << what;
  EXPECT_EQ(r.error.rfind("the mask file " + path + " cannot be used: ", 0), 0u) << what << ": " << r.error;
  EXPECT_NE(r.error.find(reason), std::string::npos) << what << ": " << r.error;
}

std::string ImagePairBytes(int width, int height, const std::vector<std::vector<uint16_t>>& images) {
  std::string bytes;
  for (int v : {width, height}) bytes += {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
  for (const auto& image : images)
    for (uint16_t v : image) bytes += {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------- the header's example

TEST(MaskFileHeader, SixteenBitPngAndImagePairFileGiveTheSameMask) {
  TempDir dir;
  WritePng(dir.file("m.png"), 3, 2, Png(PNG_COLOR_TYPE_GRAY, 16), PackRows({0, 1, 65535, 0, 0, 7}, 3, 2, 1, 16));
  const Read png = ReadMask(dir.file("m.png"));
  ASSERT_TRUE(png.ok) << png.error;
  EXPECT_EQ(png.kind, MaskFileKind::Png);
  EXPECT_EQ(png.mask.Bytes(), (std::vector<unsigned char>{0, 1, 1, 0, 0, 1}));
  EXPECT_EQ(png.mask.MaskedCount(), 3);

  const std::string bytes = ImagePairBytes(3, 2, {{0, 1, 65535, 0, 0, 7}});
  EXPECT_EQ(bytes, std::string("\x03\x00\x02\x00\x00\x00\x01\x00\xff\xff\x00\x00\x00\x00\x07\x00", 16));
  WriteFile(dir.file("m.b16"), bytes);
  const Read pair = ReadMask(dir.file("m.b16"));
  ASSERT_TRUE(pair.ok) << pair.error;
  EXPECT_EQ(pair.kind, MaskFileKind::ImagePair);
  EXPECT_EQ(pair.mask.Bytes(), png.mask.Bytes());

  WritePng(dir.file("c.png"), 1, 1, Png(PNG_COLOR_TYPE_RGB, 8), PackRows({200, 200, 201}, 1, 1, 3, 8));
  ExpectRefused(dir.file("c.png"), "pixel (0, 0) is coloured (200, 200, 201): a mask must be greyscale", "colour");
}

TEST(MaskFileHeader, MaskImageLayout) {
  MaskImage mask(4, 3);
  for (int x = 0; x < 4; ++x) mask.Set(x, 2, false);
  EXPECT_EQ(mask.Bytes(), (std::vector<unsigned char>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0}));
  EXPECT_TRUE(mask.Flow(3, 1));
  EXPECT_FALSE(mask.Flow(0, 2));
  mask.Set(1, 2, true);
  EXPECT_EQ(mask.Bytes()[9], 1);
  EXPECT_EQ(mask.MaskedCount(), 3);
}

TEST(MaskFileHeader, SamplesJudgedAsTheSharedHeaderSays) {
  unsigned char flow[3] = {9, 9, 9};
  std::string error;
  ASSERT_TRUE(SamplesToFlow({0, 0, 0, 9, 9, 9, 255, 255, 255}, {3, 255}, 0, 0, flow, error)) << error;
  EXPECT_EQ(std::vector<unsigned char>(flow, flow + 3), (std::vector<unsigned char>{0, 1, 1}));
  EXPECT_FALSE(SamplesToFlow({0, 0, 0, 9, 9, 8}, {3, 255}, 4, 7, flow, error));
  EXPECT_EQ(error, "pixel (5, 7) is coloured (9, 9, 8): a mask must be greyscale");
  ASSERT_TRUE(SamplesToFlow({0, 255}, {2, 255}, 0, 0, flow, error));
  EXPECT_EQ(flow[0], 0);
  EXPECT_FALSE(SamplesToFlow({0, 255, 40, 254}, {2, 255}, 0, 3, flow, error));
  EXPECT_EQ(error, "pixel (1, 3) is not opaque (alpha 254 of 255): a mask must be opaque");
}

// ---------------------------------------------------------------- PNG

TEST(MaskFilePng, EveryGreyableLayoutReadsAsTheSameMask) {
  TempDir dir;
  struct Case {
    std::string name;
    PngLayout layout;
    std::vector<uint32_t> values;  // samples of every pixel, channel after channel
    int per_pixel;
  };
  PngLayout palette = Png(PNG_COLOR_TYPE_PALETTE, 4);
  // Index 0 black, 1 a dark grey, 2 white, 3 a colour no pixel uses.
  palette.palette = {{0, 0, 0}, {7, 7, 7}, {255, 255, 255}, {255, 0, 0}};
  PngLayout grey_alpha = Png(PNG_COLOR_TYPE_GRAY_ALPHA, 8);
  PngLayout opaque_palette = palette;
  opaque_palette.transparent = {255, 255, 255, 0};  // only the unused entry is transparent
  PngLayout interlaced = Png(PNG_COLOR_TYPE_GRAY, 8);
  interlaced.interlaced = true;
  const std::vector<Case> cases = {
      {"8-bit grey", Png(PNG_COLOR_TYPE_GRAY, 8), Levels({200, 1}), 1},
      {"16-bit grey", Png(PNG_COLOR_TYPE_GRAY, 16), Levels({1, 256, 65535}), 1},
      {"1-bit grey", Png(PNG_COLOR_TYPE_GRAY, 1), Levels({1}), 1},
      {"2-bit grey", Png(PNG_COLOR_TYPE_GRAY, 2), Levels({1, 3}), 1},
      {"4-bit palette", palette, Levels({1, 2}), 1},
      {"palette, opaque pixels", opaque_palette, Levels({2}), 1},
      {"8-bit RGB", Png(PNG_COLOR_TYPE_RGB, 8), Channels(Levels({9, 255}), 3, 0, 0), 3},
      {"16-bit RGBA", Png(PNG_COLOR_TYPE_RGB_ALPHA, 16), Channels(Levels({3, 40000}), 3, 1, 65535), 4},
      {"grey and alpha", grey_alpha, Channels(Levels({17}), 1, 1, 255), 2},
      {"interlaced", interlaced, Levels({100}), 1},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file("mask.png");
    WritePng(path, kW, kH, c.layout, PackRows(c.values, kW, kH, c.per_pixel, c.layout.depth));
    ExpectPattern(path, MaskFileKind::Png, c.name);
  }
}

TEST(MaskFilePng, ColouredAndTransparentPixelsAreRefused) {
  TempDir dir;
  const std::string path = dir.file("m.png");
  std::vector<uint32_t> rgb = Channels(Levels({80}), 3, 0, 0);
  rgb[3 * (2 * kW + 3) + 1] = 81;  // pixel (3, 2): green off by one
  WritePng(path, kW, kH, Png(PNG_COLOR_TYPE_RGB, 8), PackRows(rgb, kW, kH, 3, 8));
  ExpectRefused(path, "pixel (3, 2) is coloured (80, 81, 80)", "RGB");

  std::vector<uint32_t> rgba = Channels(Levels({80}), 3, 1, 255);
  rgba[4 * (kW + 4) + 3] = 254;  // pixel (4, 1)
  WritePng(path, kW, kH, Png(PNG_COLOR_TYPE_RGB_ALPHA, 8), PackRows(rgba, kW, kH, 4, 8));
  ExpectRefused(path, "pixel (4, 1) is not opaque (alpha 254 of 255): a mask must be opaque", "RGBA");

  // A transparent grey level: the pixels of that level become transparent.
  PngLayout keyed = Png(PNG_COLOR_TYPE_GRAY, 8);
  keyed.has_transparent_grey = true;
  keyed.transparent_grey.gray = 0;
  WritePng(path, kW, kH, keyed, PackRows(Levels({90}), kW, kH, 1, 8));
  ExpectRefused(path, "pixel (2, 0) is not opaque (alpha 0 of 255)", "transparent grey");

  PngLayout palette = Png(PNG_COLOR_TYPE_PALETTE, 8);
  palette.palette = {{0, 0, 0}, {0, 0, 9}};
  WritePng(path, kW, kH, palette, PackRows(Levels({1}), kW, kH, 1, 8));
  ExpectRefused(path, "pixel (0, 0) is coloured (0, 0, 9)", "coloured palette entry");
}

TEST(MaskFilePng, DamagedAndOversizedFilesAreRefused) {
  TempDir dir;
  const std::string good = dir.file("good.png");
  WritePng(good, 40, 30, Png(PNG_COLOR_TYPE_GRAY, 8), PackRows(std::vector<uint32_t>(1200, 7), 40, 30, 1, 8));
  const std::string bytes = ReadFile(good);
  ASSERT_GT(bytes.size(), 60u);

  WriteFile(dir.file("cut.png"), bytes.substr(0, bytes.size() / 2));
  ExpectRefused(dir.file("cut.png"), "damaged PNG file: ", "cut in half");
  WriteFile(dir.file("sig.png"), bytes.substr(0, 8));
  ExpectRefused(dir.file("sig.png"), "damaged PNG file: ", "signature only");
  std::string flipped = bytes;
  const size_t data = flipped.find("IDAT");
  ASSERT_NE(data, std::string::npos);
  flipped[data + 8] = static_cast<char>(flipped[data + 8] ^ 0x55);
  WriteFile(dir.file("crc.png"), flipped);
  ExpectRefused(dir.file("crc.png"), "damaged PNG file: ", "a changed byte");
  // The end chunk is checked too.
  WriteFile(dir.file("end.png"), bytes.substr(0, bytes.size() - 12));
  ExpectRefused(dir.file("end.png"), "damaged PNG file: ", "no end chunk");

  WritePng(dir.file("wide.png"), 5001, 1, Png(PNG_COLOR_TYPE_GRAY, 1), {std::vector<unsigned char>(626, 0xff)});
  ExpectRefused(dir.file("wide.png"), "the PNG image is 5001 x 1 px: a mask is at most 5000 px a side", "too wide");
}

// ---------------------------------------------------------------- TIFF

TEST(MaskFileTiff, EveryGreyableLayoutReadsAsTheSameMask) {
  TempDir dir;
  struct Case {
    std::string name;
    TiffLayout layout;
    std::vector<uint32_t> values;
    int per_pixel;
  };
  TiffLayout white = Tiff(PHOTOMETRIC_MINISWHITE, 1);
  TiffLayout palette = Tiff(PHOTOMETRIC_PALETTE, 2);
  palette.palette[0] = {0, 300, 65535, 65535};
  palette.palette[1] = {0, 300, 65535, 0};
  palette.palette[2] = {0, 300, 65535, 0};  // entry 3 is red, and no pixel uses it
  TiffLayout rgba = Tiff(PHOTOMETRIC_RGB, 8, 4);
  rgba.alpha = true;
  TiffLayout grey_alpha = Tiff(PHOTOMETRIC_MINISBLACK, 16, 2);
  grey_alpha.alpha = true;
  TiffLayout tiled = Tiff(PHOTOMETRIC_MINISBLACK, 8);
  tiled.tile = 16;
  TiffLayout signed16 = Tiff(PHOTOMETRIC_MINISBLACK, 16);
  signed16.format = SAMPLEFORMAT_INT;
  TiffLayout compressed = Tiff(PHOTOMETRIC_MINISBLACK, 8);
  compressed.compression = COMPRESSION_ADOBE_DEFLATE;
  // White is zero: a stored 1 is black, no flow; a stored 0 white, flow.
  std::vector<uint32_t> white_values = Levels({1});
  for (uint32_t& v : white_values) v = 1 - v;
  const std::vector<Case> cases = {
      {"8-bit grey", {}, Levels({1, 200}), 1},
      {"16-bit grey", Tiff(PHOTOMETRIC_MINISBLACK, 16), Levels({1, 65535}), 1},
      {"32-bit grey", Tiff(PHOTOMETRIC_MINISBLACK, 32), Levels({1, 4000000000u}), 1},
      {"4-bit grey", Tiff(PHOTOMETRIC_MINISBLACK, 4), Levels({1, 15}), 1},
      {"signed 16-bit", signed16, Levels({65535, 1}), 1},  // -1 and 1
      {"1-bit white is zero", white, white_values, 1},
      {"2-bit palette", palette, Levels({1, 2}), 1},
      {"8-bit RGB", Tiff(PHOTOMETRIC_RGB, 8, 3), Channels(Levels({3, 250}), 3, 0, 0), 3},
      {"RGB and alpha", rgba, Channels(Levels({3}), 3, 1, 255), 4},
      {"grey and alpha", grey_alpha, Channels(Levels({2}), 1, 1, 65535), 2},
      {"tiles", tiled, Levels({5}), 1},
      {"deflate", compressed, Levels({5}), 1},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file("mask.tif");
    WriteTiff(path, kW, kH, c.layout, PackRows(c.values, kW, kH, c.per_pixel, c.layout.bits));
    ExpectPattern(path, MaskFileKind::Tiff, c.name);
  }
  // Tiles that run over the right and bottom edges: a 37 x 21 mask in 16 x 16 tiles.
  std::vector<uint32_t> big(37 * 21);
  for (size_t k = 0; k < big.size(); ++k) big[k] = (k % 37 + k / 37) % 3 == 0 ? 0 : 9;
  WriteTiff(dir.file("tiles.tif"), 37, 21, tiled, PackRows(big, 37, 21, 1, 8));
  const Read r = ReadMask(dir.file("tiles.tif"));
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.mask.Bytes().size(), big.size());
  for (size_t k = 0; k < big.size(); ++k) ASSERT_EQ(r.mask.Bytes()[k], big[k] != 0) << k;
}

TEST(MaskFileTiff, LayoutsAMaskCannotHaveAreRefused) {
  TempDir dir;
  const std::string path = dir.file("m.tif");
  std::vector<uint32_t> rgb = Channels(Levels({60}), 3, 0, 0);
  rgb[3 * (3 * kW + 3) + 2] = 0;  // pixel (3, 3)
  WriteTiff(path, kW, kH, Tiff(PHOTOMETRIC_RGB, 8, 3), PackRows(rgb, kW, kH, 3, 8));
  ExpectRefused(path, "pixel (3, 3) is coloured (60, 60, 0)", "coloured");

  TiffLayout rgba = Tiff(PHOTOMETRIC_RGB, 8, 4);
  rgba.alpha = true;
  WriteTiff(path, kW, kH, rgba, PackRows(Channels(Levels({60}), 3, 1, 128), kW, kH, 4, 8));
  ExpectRefused(path, "pixel (0, 0) is not opaque (alpha 128 of 255)", "transparent");

  TiffLayout floats = Tiff(PHOTOMETRIC_MINISBLACK, 32);
  floats.format = SAMPLEFORMAT_IEEEFP;
  WriteTiff(path, kW, kH, floats, PackRows(Levels({0x3f800000}), kW, kH, 1, 32));
  ExpectRefused(path, "floating-point samples: a mask holds whole numbers", "float");

  TiffLayout bottom{};
  bottom.orientation = ORIENTATION_BOTLEFT;
  WriteTiff(path, kW, kH, bottom, PackRows(Levels({1}), kW, kH, 1, 8));
  ExpectRefused(path, "not stored top row first (orientation 4)", "bottom row first");

  WriteTiff(path, kW, kH, Tiff(PHOTOMETRIC_SEPARATED, 8, 4), PackRows(Channels(Levels({1}), 4, 0, 0), kW, kH, 4, 8));
  ExpectRefused(path, "separated colour (CMYK): a mask must be greyscale", "CMYK");

  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4u);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1u);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
  const unsigned char plane[4] = {1, 2, 3, 4};
  for (uint16_t s = 0; s < 3; ++s) ASSERT_EQ(TIFFWriteScanline(tif, const_cast<unsigned char*>(plane), 0, s), 1);
  TIFFClose(tif);
  ExpectRefused(path, "separate planes", "planes");

  WriteTiff(path, 5001, 1, Tiff(PHOTOMETRIC_MINISBLACK, 1), {std::vector<unsigned char>(626, 0)});
  ExpectRefused(path, "the TIFF image is 5001 x 1 px: a mask is 1 to 5000 px a side", "too wide");
}

TEST(MaskFileTiff, DamagedFilesAreRefused) {
  TempDir dir;
  std::vector<uint32_t> values(64 * 64);
  for (size_t k = 0; k < values.size(); ++k) values[k] = k % 7;
  TiffLayout deflate{};
  deflate.compression = COMPRESSION_ADOBE_DEFLATE;
  WriteTiff(dir.file("good.tif"), 64, 64, deflate, PackRows(values, 64, 64, 1, 8));
  ASSERT_TRUE(ReadMask(dir.file("good.tif")).ok);
  const std::string bytes = ReadFile(dir.file("good.tif"));

  WriteFile(dir.file("header.tif"), bytes.substr(0, 8));
  ExpectRefused(dir.file("header.tif"), "damaged TIFF file: ", "header only");
  // The strips come first, the directory last: cut the strips short and keep the directory
  // pointing at them.
  std::string holes = bytes;
  for (size_t k = 8; k < 8 + 200 && k < holes.size(); ++k) holes[k] = static_cast<char>(0xff);
  WriteFile(dir.file("strips.tif"), holes);
  ExpectRefused(dir.file("strips.tif"), "damaged TIFF file: ", "strips overwritten");
  WriteFile(dir.file("cut.tif"), bytes.substr(0, bytes.size() - 40));
  ExpectRefused(dir.file("cut.tif"), "damaged TIFF file: ", "directory cut");
}

// ---------------------------------------------------------------- image-pair files and kinds

TEST(MaskFileKinds, ImagePairFilesAndTheKindByContent) {
  TempDir dir;
  std::vector<uint16_t> first(kPattern.size()), second(kPattern.size(), 0);
  for (size_t k = 0; k < kPattern.size(); ++k) first[k] = kPattern[k] ? static_cast<uint16_t>(1 + 999 * (k % 2)) : 0;
  // The first image decides; the second (all zero) is ignored.
  WriteFile(dir.file("pair.b16"), ImagePairBytes(kW, kH, {first, second}));
  ExpectPattern(dir.file("pair.b16"), MaskFileKind::ImagePair, "two images");
  // Named as a PNG, read as what it is.
  WriteFile(dir.file("looks.png"), ImagePairBytes(kW, kH, {first}));
  ExpectPattern(dir.file("looks.png"), MaskFileKind::ImagePair, "image-pair file named .png");
  // And a PNG named as anything else is still a PNG.
  WritePng(dir.file("mask.b16"), kW, kH, Png(PNG_COLOR_TYPE_GRAY, 8), PackRows(Levels({4}), kW, kH, 1, 8));
  ExpectPattern(dir.file("mask.b16"), MaskFileKind::Png, "PNG named .b16");
  WriteTiff(dir.file("mask.dat"), kW, kH, {}, PackRows(Levels({4}), kW, kH, 1, 8));
  ExpectPattern(dir.file("mask.dat"), MaskFileKind::Tiff, "TIFF named .dat");

  EXPECT_STREQ(MaskFileKindName(MaskFileKind::Png), "PNG");
  EXPECT_STREQ(MaskFileKindName(MaskFileKind::Tiff), "TIFF");
  EXPECT_STREQ(MaskFileKindName(MaskFileKind::ImagePair), "image-pair file");
}

TEST(MaskFileKinds, FilesThatAreNoMaskAreRefused) {
  TempDir dir;
  const std::string none = "neither a PNG nor a TIFF image, nor an image-pair file holding a whole image";
  WriteFile(dir.file("short.b16"), ImagePairBytes(64, 64, {}) + std::string(100, '\1'));
  ExpectRefused(dir.file("short.b16"), none + " (as an image-pair file its header gives 64 x 64 px)", "short");
  WriteFile(dir.file("empty.png"), "");
  ExpectRefused(dir.file("empty.png"), none, "empty");
  WriteFile(dir.file("text.png"), "a mask drawn by hand, in words\n");
  ExpectRefused(dir.file("text.png"), none, "text");
  WriteFile(dir.file("zero.b16"), ImagePairBytes(0, 5, {}) + std::string(20, '\0'));
  ExpectRefused(dir.file("zero.b16"), none, "zero width");

  Read r = ReadMask(dir.file("absent.png"));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "cannot open the mask file " + dir.file("absent.png") + ": No such file or directory");
  r = ReadMask(dir.path());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "cannot read the mask file " + dir.path() + ": Is a directory");
}

// ---------------------------------------------------------------- the writer

TEST(MaskFileWriter, WritesEightBitGreyThatReadsBack) {
  TempDir dir;
  MaskImage mask(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) mask.Set(x, y, kPattern[static_cast<size_t>(y) * kW + x] != 0);
  std::string error;
  ASSERT_TRUE(WriteMaskPng(dir.file("w.png"), mask, error)) << error;
  ExpectPattern(dir.file("w.png"), MaskFileKind::Png, "written");

  // 255 for flow, 0 for none, one grey channel of 8 bits.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.file("w.png").c_str()));
  EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_GRAY));
  std::vector<png_byte> grey(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr));
  for (size_t k = 0; k < grey.size(); ++k) EXPECT_EQ(grey[k], kPattern[k] ? 255 : 0) << k;

  EXPECT_FALSE(WriteMaskPng(dir.file("no/such/w.png"), mask, error));
  EXPECT_EQ(error, "cannot write '" + dir.file("no/such/w.png") + "': No such file or directory");
  // Nothing but the one finished file is left.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

// ---------------------------------------------------------------- mask regions

namespace {

MaskRegion Rectangle(double x0, double y0, double x1, double y1) {
  MaskRegion m;
  m.x0 = x0, m.y0 = y0, m.x1 = x1, m.y1 = y1;
  return m;
}

MaskRegion Circle(double cx, double cy, double r) {
  MaskRegion m;
  m.shape = MaskShape::Circle;
  m.cx = cx, m.cy = cy, m.r = r;
  return m;
}

long long Covered(const MaskRegion& region, int width, int height) {
  return RasterizeMask({region}, width, height).MaskedCount();
}

}  // namespace

TEST(MaskRegions, TheHeadersPixelCounts) {
  EXPECT_EQ(Covered(Rectangle(2, 1, 4, 2), 20, 20), 6);
  EXPECT_EQ(Covered(Rectangle(1.5, 0.5, 4.2, 2.9), 20, 20), 6);
  const MaskImage rect = RasterizeMask({Rectangle(2, 1, 4, 2)}, 20, 20);
  EXPECT_FALSE(rect.Flow(2, 1));
  EXPECT_FALSE(rect.Flow(4, 2));
  EXPECT_TRUE(rect.Flow(5, 2));
  EXPECT_TRUE(rect.Flow(2, 3));
  EXPECT_EQ(Covered(Circle(5, 5, 1), 20, 20), 5);
  EXPECT_EQ(Covered(Circle(5, 5, 1.5), 20, 20), 9);
  EXPECT_EQ(Covered(Circle(5, 5, 2), 20, 20), 13);
  const MaskImage corner = RasterizeMask({Circle(5, 5, 2)}, 6, 6);
  EXPECT_EQ(corner.MaskedCount(), 6);
  for (const auto& [x, y] : {std::pair{5, 5}, {4, 5}, {5, 4}, {4, 4}, {3, 5}, {5, 3}}) EXPECT_FALSE(corner.Flow(x, y));
  EXPECT_FALSE(CoversAnyPixel(Rectangle(6, 0, 9, 3), 6, 6));
  EXPECT_TRUE(CoversAnyPixel(Rectangle(5, 0, 9, 3), 6, 6));
  // Between pixel centres a thin rectangle covers nothing, a small circle too.
  EXPECT_FALSE(CoversAnyPixel(Rectangle(2.2, 0, 2.8, 5), 6, 6));
  EXPECT_FALSE(CoversAnyPixel(Circle(2.5, 2.5, 0.7), 6, 6));
  EXPECT_TRUE(CoversAnyPixel(Circle(2.5, 2.5, 0.71), 6, 6));
}

TEST(MaskRegions, RasterAgreesWithABruteForceCountAndClipsAnyBounds) {
  const int w = 37, h = 23;
  const std::vector<MaskRegion> regions = {Circle(-3.2, 10.4, 8.7), Circle(20.5, 11, 6.25),
                                           Rectangle(30.5, -100, 1e300, 4), Rectangle(-1e300, 19.5, 3, 1e300)};
  const MaskImage mask = RasterizeMask(regions, w, h);
  ASSERT_EQ(mask.Width(), w);
  ASSERT_EQ(mask.Height(), h);
  long long expected = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool covered = false;
      for (const MaskRegion& m : regions) {
        const bool inside = m.shape == MaskShape::Circle
                                ? std::hypot(x - m.cx, y - m.cy) <= m.r
                                : x >= m.x0 && x <= m.x1 && y >= m.y0 && y <= m.y1;
        covered = covered || inside;
      }
      EXPECT_EQ(mask.Flow(x, y), !covered) << x << ", " << y;
      expected += covered;
    }
  EXPECT_EQ(mask.MaskedCount(), expected);
  // The last two: columns 31 to 36 of rows 0 to 4, and columns 0 to 3 of rows 20 to 22.
  const PixelSpan right = RegionSpan(regions[2], w, h), left = RegionSpan(regions[3], w, h);
  EXPECT_EQ(std::vector<int>({right.x0, right.y0, right.x1, right.y1}), std::vector<int>({31, 0, 36, 4}));
  EXPECT_EQ(std::vector<int>({left.x0, left.y0, left.x1, left.y1}), std::vector<int>({0, 20, 3, 22}));
}
