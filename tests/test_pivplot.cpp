// pivplot end to end: arrows on the expected pixels in their colours, the automatic
// scale, the stretched image background, SVG output, series names, every refusal, and
// the whole chain pivsynth -> tarvex -> pivplot. Pictures are read back through libpng.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

const Rgb kBlack{0, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kRed{255, 0, 0};

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  Rgb At(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

Picture ReadPng(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  Picture picture;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    ADD_FAILURE() << "cannot read " << path << " as PNG: " << image.message;
    return picture;
  }
  image.format = PNG_FORMAT_RGB;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
    ADD_FAILURE() << "cannot decode " << path << ": " << image.message;
    picture = Picture();
  }
  return picture;
}

struct Record {
  int flag;
  double x, y, u, v;
};

// A DPIV file as tarvex writes it: 12 comment lines, then one record per point.
std::string DpivText(const std::vector<Record>& records) {
  const std::string hashes(79, '#');
  std::string text = hashes + "\n#  TITLE = TARVEX-Velocity File: field.dpiv\n# \n#  Data Structure:\n" +
                     "#\tColumn 1: 0 data has been rejected; 1 data has been accepted.\n"
                     "#\tColumn 2: x-position of data point\n#\tColumn 3: y-position of data point\n"
                     "#\tColumn 4: x-velocity component of data point\n"
                     "#\tColumn 5: y-velocity component of data point\n"
                     "#\tColumn 6: CC function value corresponding to data point\n# \n" +
                     hashes + "\n";
  for (const Record& r : records) {
    char line[200];
    snprintf(line, sizeof line, "%1d\t%1.6e\t%1.6e\t%e\t%e\t%1.3f\n", r.flag, r.x, r.y, r.u, r.v, 0.9);
    text += line;
  }
  return text;
}

// A 2 x 2 grid 32 px apart from (15, 15) on, as from a 64 x 64 image with 32 px windows:
// right 8, up 6, a rejected one down 5, and one that does not move.
const std::vector<Record> kSquareField = {
    {1, 15, 15, 8, 0}, {1, 47, 15, 0, -6}, {0, 15, 47, 0, 5}, {1, 47, 47, 0, 0}};

RunResult Plot(const TempDir& dir, const std::vector<std::string>& args) { return RunProgram("pivplot", args, dir.path()); }

// Refusals: a message on standard error, a non-zero status and no picture.
void ExpectRefused(const TempDir& dir, const std::vector<std::string>& args, const std::string& picture,
                   const std::string& message) {
  const RunResult r = Plot(dir, args);
  EXPECT_NE(r.status, 0) << message;
  EXPECT_NE(r.err.find(message), std::string::npos) << "stderr: " << r.err;
  EXPECT_FALSE(FileExists(dir.file(picture))) << message;
}

TEST(PivplotGeometry, ArrowsLandOnTheirPixelsInTheirColours) {
  TempDir dir;
  WriteFile(dir.file("square.dpiv"), DpivText(kSquareField));
  const RunResult r = Plot(dir, {"--scale", "1", "square.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "scale: 1 px per px of displacement (given)\nvalid vectors: 3\nrejected vectors: 1\n"
            "picture: square.png (64 x 64 px)\n");
  const Picture p = ReadPng(dir.file("square.png"));
  ASSERT_EQ(p.width, 64);
  ASSERT_EQ(p.height, 64);
  EXPECT_EQ(p.At(0, 0), kBlack);

  // Right 8: the shaft from column 15 to 23 of row 15, the head's strokes back to column 21.
  for (int x = 15; x <= 23; x++) EXPECT_EQ(p.At(x, 15), kGreen) << x;
  EXPECT_EQ(p.At(14, 15), kBlack);
  EXPECT_EQ(p.At(24, 15), kBlack);
  EXPECT_EQ(p.At(21, 14), kGreen);
  EXPECT_EQ(p.At(21, 16), kGreen);
  EXPECT_EQ(p.At(21, 13), kBlack);
  EXPECT_EQ(p.At(21, 17), kBlack);

  // Up 6 (towards row 0): rows 9 to 15 of column 47, the head opening downwards.
  for (int y = 9; y <= 15; y++) EXPECT_EQ(p.At(47, y), kGreen) << y;
  EXPECT_EQ(p.At(47, 8), kBlack);
  EXPECT_EQ(p.At(47, 16), kBlack);
  EXPECT_EQ(p.At(46, 11), kGreen);
  EXPECT_EQ(p.At(48, 11), kGreen);
  EXPECT_EQ(p.At(45, 11), kBlack);
  EXPECT_EQ(p.At(49, 11), kBlack);

  // The rejected vector, down 5, in red.
  for (int y = 47; y <= 52; y++) EXPECT_EQ(p.At(15, y), kRed) << y;
  EXPECT_EQ(p.At(15, 53), kBlack);
  EXPECT_EQ(p.At(14, 50), kRed);
  EXPECT_EQ(p.At(16, 50), kRed);

  // No motion: one pixel at the window centre.
  EXPECT_EQ(p.At(47, 47), kGreen);
  EXPECT_EQ(p.At(48, 47), kBlack);
  EXPECT_EQ(p.At(47, 48), kBlack);
  EXPECT_EQ(p.At(46, 46), kBlack);
}

TEST(PivplotGeometry, AutomaticScaleDrawsTheLargestValidVectorOneSpacingLong) {
  TempDir dir;
  // Three columns 16 px apart; the rejected vector is the longest and must not count.
  WriteFile(dir.file("row.dpiv"), DpivText({{1, 15, 15, 4, 0}, {1, 31, 15, 2, 0}, {0, 47, 15, 0, 30}}));
  const RunResult r = Plot(dir, {"row.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("scale: 4 px per px of displacement (automatic)\n"), std::string::npos) << r.out;
  const Picture p = ReadPng(dir.file("row.png"));
  ASSERT_EQ(p.width, 64);
  ASSERT_EQ(p.height, 32);
  for (int x = 15; x <= 39; x++) EXPECT_EQ(p.At(x, 15), kGreen) << x;
  EXPECT_EQ(p.At(40, 15), kBlack);
  // Scaled to 120 px, the rejected arrow runs off the bottom edge.
  for (int y = 15; y <= 31; y++) EXPECT_EQ(p.At(47, y), kRed) << y;

  // Without a moving valid vector the scale is 1.
  WriteFile(dir.file("still.dpiv"), DpivText({{1, 15, 15, 0, 0}, {0, 31, 15, 2, 0}}));
  const RunResult still = Plot(dir, {"still.dpiv"});
  ASSERT_EQ(still.status, 0) << still.err;
  EXPECT_NE(still.out.find("scale: 1 px per px of displacement (automatic)\n"), std::string::npos) << still.out;
}

TEST(PivplotGeometry, ColouringByMagnitudeRunsFromBlueToYellow) {
  TempDir dir;
  WriteFile(dir.file("m.dpiv"), DpivText({{1, 15, 15, 8, 0}, {1, 31, 15, 2, 0}, {0, 47, 15, 0, 3}}));
  const RunResult r = Plot(dir, {"--magnitude", "--scale", "1", "m.dpiv", "--out", "m-out.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture p = ReadPng(dir.file("m-out.png"));
  ASSERT_EQ(p.width, 64);
  EXPECT_EQ(p.At(17, 15), (Rgb{255, 255, 0}));  // the largest valid vector
  EXPECT_EQ(p.At(32, 15), (Rgb{64, 64, 191}));  // a quarter of it
  EXPECT_EQ(p.At(47, 16), kRed);                // rejected stays red
}

TEST(PivplotBackground, ImageIsDrawnContrastStretchedBehindTheArrows) {
  TempDir dir;
  // Image 1 is flat; image 2 rises from 1000 at the corner to 1771 at the far corner.
  const int w = 64, h = 48;
  std::vector<uint16_t> flat(w * h, 500), ramp(w * h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) ramp[y * w + x] = static_cast<uint16_t>(1000 + 10 * x + 3 * y);
  WriteImagePairFile(dir.file("pair.b16"), w, h, {flat, ramp});
  // 32 px windows every 16 px: 3 columns and 2 rows of non-moving rejected vectors.
  std::vector<Record> grid;
  for (int y : {15, 31})
    for (int x : {15, 31, 47}) grid.push_back({0, double(x), double(y), 0, 0});
  WriteFile(dir.file("f.dpiv"), DpivText(grid));

  const RunResult r = Plot(dir, {"--image", "pair.b16", "2", "f.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("picture: f.png (64 x 48 px)\n"), std::string::npos) << r.out;
  const Picture p = ReadPng(dir.file("f.png"));
  ASSERT_EQ(p.width, w);
  ASSERT_EQ(p.height, h);
  EXPECT_EQ(p.At(0, 0), kBlack);
  EXPECT_EQ(p.At(63, 47), (Rgb{255, 255, 255}));
  EXPECT_EQ(p.At(15, 15), kRed);
  EXPECT_EQ(p.At(47, 31), kRed);
  int checked = 0;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      if ((x == 15 || x == 31 || x == 47) && (y == 15 || y == 31)) continue;
      const int grey = static_cast<int>(std::lround(255.0 * (10 * x + 3 * y) / 771.0));
      ASSERT_EQ(p.At(x, y), (Rgb{grey, grey, grey})) << x << ", " << y;
      checked++;
    }
  EXPECT_EQ(checked, w * h - 6);
}

TEST(PivplotOutput, SvgHoldsTheSameArrows) {
  TempDir dir;
  WriteFile(dir.file("square.dpiv"), DpivText(kSquareField));
  const RunResult r = Plot(dir, {"--svg", "--scale", "1", "square.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("picture: square.svg (64 x 64 px)\n"), std::string::npos) << r.out;
  EXPECT_FALSE(FileExists(dir.file("square.png")));
  const std::string svg = ReadFile(dir.file("square.svg"));
  EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\""), std::string::npos);
  EXPECT_NE(svg.find("<line x1=\"15\" y1=\"15\" x2=\"23\" y2=\"15\" stroke=\"#00ff00\"/>"), std::string::npos);
  EXPECT_NE(svg.find("<line x1=\"15\" y1=\"47\" x2=\"15\" y2=\"52\" stroke=\"#ff0000\"/>"), std::string::npos);
  EXPECT_EQ(svg.find("<image"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");

  WriteImagePairFile(dir.file("pair.b16"), 64, 64, {std::vector<uint16_t>(64 * 64, 7)});
  const RunResult with_image = Plot(dir, {"--svg", "--image", "pair.b16", "1", "square.dpiv", "bg.svg"});
  ASSERT_EQ(with_image.status, 0) << with_image.err;
  EXPECT_NE(ReadFile(dir.file("bg.svg")).find("href=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
}

TEST(PivplotOutput, EachFileOfASeriesGetsItsOwnPicture) {
  TempDir dir;
  for (const char* name : {"run.0001.dpiv", "run.0003.dpiv"}) {
    WriteFile(dir.file(name), DpivText(kSquareField));
    ASSERT_EQ(Plot(dir, {name}).status, 0);
  }
  EXPECT_TRUE(FileExists(dir.file("run.0001.png")));
  EXPECT_TRUE(FileExists(dir.file("run.0003.png")));
}

TEST(PivplotRefusals, BadFieldFiles) {
  TempDir dir;
  ExpectRefused(dir, {"absent.dpiv"}, "absent.png", "cannot open the DPIV file absent.dpiv");

  const std::string full = DpivText(kSquareField);
  const size_t records = full.find("1\t1.5");
  ASSERT_NE(records, std::string::npos);
  const std::string header = full.substr(0, records);
  WriteFile(dir.file("short.dpiv"), header.substr(header.find('\n') + 1) + full.substr(records));
  ExpectRefused(dir, {"short.dpiv"}, "short.png", "does not begin with the 12 comment lines");

  WriteFile(dir.file("empty.dpiv"), header);
  ExpectRefused(dir, {"empty.dpiv"}, "empty.png", "holds no vectors");

  for (const char* bad : {"1\t1.5e+01\t1.5e+01\t1.0e+00\t0.0e+00\n",        // five fields
                          "2\t1.5e+01\t1.5e+01\t1.0e+00\t0.0e+00\t0.9\n",   // flag 2
                          "1\t1.5e+01\t1.5e+01\tfast\t0.0e+00\t0.9\n",      // text
                          "1\t1.5e+01\t1.5e+01\t1.0e+00\t0.0e+00\t0.9 x\n",  // trailing junk
                          "1\t1.5e+01\t1.5e+01\tnan\t0.0e+00\t0.9\n"}) {
    WriteFile(dir.file("bad.dpiv"), header + bad);
    ExpectRefused(dir, {"bad.dpiv"}, "bad.png", "bad.dpiv, line 13: not a record");
  }

  // Three points do not make a grid; nor do points out of row order.
  WriteFile(dir.file("three.dpiv"), DpivText({kSquareField[0], kSquareField[1], kSquareField[2]}));
  ExpectRefused(dir, {"three.dpiv"}, "three.png", "do not lie on a regular grid");
  WriteFile(dir.file("order.dpiv"), DpivText({kSquareField[1], kSquareField[0], kSquareField[2], kSquareField[3]}));
  ExpectRefused(dir, {"order.dpiv"}, "order.png", "do not lie on a regular grid");
  WriteFile(dir.file("far.dpiv"), DpivText({{1, 15, 15, 0, 0}, {1, 9000, 15, 0, 0}}));
  ExpectRefused(dir, {"far.dpiv"}, "far.png", "outside every image");
}

TEST(PivplotRefusals, BadImagesAndOutputs) {
  TempDir dir;
  WriteFile(dir.file("f.dpiv"), DpivText(kSquareField));
  // The grid comes from images 64 to 95 px a side; 63 and 100 px do not fit.
  WriteImagePairFile(dir.file("wide.b16"), 100, 64, {std::vector<uint16_t>(100 * 64, 1)});
  ExpectRefused(dir, {"--image", "wide.b16", "1", "f.dpiv"}, "f.png", "the image is 100 x 64 px");
  WriteImagePairFile(dir.file("small.b16"), 64, 63, {std::vector<uint16_t>(64 * 63, 1)});
  ExpectRefused(dir, {"--image", "small.b16", "1", "f.dpiv"}, "f.png", "the image is 64 x 63 px");
  WriteImagePairFile(dir.file("fits.b16"), 95, 64, {std::vector<uint16_t>(95 * 64, 1)});
  EXPECT_EQ(Plot(dir, {"--image", "fits.b16", "1", "f.dpiv", "fits.png"}).status, 0);

  ExpectRefused(dir, {"--image", "absent.b16", "1", "f.dpiv"}, "f.png", "cannot read the image-pair file absent.b16");
  ExpectRefused(dir, {"--image", "fits.b16", "2", "f.dpiv"}, "f.png", "holds 1 image(s), so no image 2");
  ExpectRefused(dir, {"f.dpiv", "no/such/dir/f.png"}, "f.png", "cannot create no/such/dir/f.png");
}

TEST(PivplotRefusals, BadCommandLines) {
  TempDir dir;
  WriteFile(dir.file("f.dpiv"), DpivText(kSquareField));
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no DPIV file given"},
      {{"--colour", "f.dpiv"}, "unknown option --colour"},
      {{"--scale", "0", "f.dpiv"}, "--scale needs a number"},
      {{"--scale", "big", "f.dpiv"}, "--scale needs a number"},
      {{"f.dpiv", "--scale"}, "--scale needs a number"},
      {{"--image", "pair.b16", "f.dpiv"}, "--image needs an image-pair file and an image id"},
      {{"--image", "pair.b16", "0", "f.dpiv"}, "--image needs an image-pair file and an image id"},
      {{"f.dpiv", "a.png", "b.png"}, "more than a DPIV file and an output name"},
      {{"f.dpiv", "a.png", "--out", "b.png"}, "more than a DPIV file and an output name"},
      {{"f.dpiv", "--out"}, "--out needs a file name"},
      {{"f.dpiv", "f.dpiv"}, "the picture would overwrite the DPIV file f.dpiv"},
  };
  for (const auto& [args, message] : cases) {
    const RunResult r = Plot(dir, args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_NE(r.err.find("pivplot: " + message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Usage: pivplot"), std::string::npos);
  }
  EXPECT_FALSE(FileExists(dir.file("f.png")));
  EXPECT_EQ(DpivText(kSquareField), ReadFile(dir.file("f.dpiv")));

  const RunResult help = Plot(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: pivplot [options] FIELD.dpiv [OUTPUT]\n", 0), 0u) << help.out;
}

TEST(PivplotEndToEnd, SynthesisAnalysisAndPlotGiveAPictureOfTheImageSize) {
  TempDir dir;
  const RunResult synth =
      RunProgram("pivsynth", {"--size", "128x96", "--dx", "3", "--dy", "1", "--out", "pair.b16"}, dir.path());
  ASSERT_EQ(synth.status, 0) << synth.err;
  const RunResult analysis = RunProgram("tarvex", {"-dft", "32", "pair.b16"}, dir.path(), "1 2\n");
  ASSERT_EQ(analysis.status, 0) << analysis.out;
  ASSERT_TRUE(FileExists(dir.file("pair.dpiv"))) << analysis.out;

  const RunResult r = Plot(dir, {"--image", "pair.b16", "1", "pair.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  // 4 x 3 windows of 32 px; those touching the last column or row are never measured.
  EXPECT_NE(r.out.find("valid vectors: 6\nrejected vectors: 6\n"), std::string::npos) << r.out;
  const Picture p = ReadPng(dir.file("pair.png"));
  EXPECT_EQ(p.width, 128);
  EXPECT_EQ(p.height, 96);
  // The measured displacement (3, 1), drawn one spacing long, from the first window centre.
  EXPECT_EQ(p.At(15, 15), kGreen);
  EXPECT_EQ(p.At(30, 20), kGreen);
}

}  // namespace
