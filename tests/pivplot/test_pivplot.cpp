// pivplot end to end: arrows on the expected pixels in their colours, the automatic
// scale, the stretched image background, colour maps and their bar, the shading of masks,
// SVG and PDF output, series, every refusal, and the whole chain pivsynth -> tarvex ->
// pivplot. Pictures are read back through libpng, SVG files through xmllint and PDF files
// through poppler.
#include <gtest/gtest.h>
#include <png.h>
#include <utime.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "PngPicture.h"
#include "TestSupport.h"

namespace {

const Rgb kBlack{0, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kRed{255, 0, 0};

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
const std::vector<Record> kSquareField = {{1, 15, 15, 8, 0}, {1, 47, 15, 0, -6}, {0, 15, 47, 0, 5}, {1, 47, 47, 0, 0}};

RunResult Plot(const TempDir& dir, const std::vector<std::string>& args) {
  return RunProgram("pivplot", args, dir.path());
}

// Refusals: a message on standard error, a non-zero status and no picture.
void ExpectRefused(const TempDir& dir, const std::vector<std::string>& args, const std::string& picture,
                   const std::string& message) {
  const RunResult r = Plot(dir, args);
  EXPECT_NE(r.status, 0) << message;
  EXPECT_NE(r.err.find(message), std::string::npos) << "stderr: " << r.err;
  EXPECT_FALSE(FileExists(dir.file(picture))) << message;
}

// Antialiased drawing: a pixel the arrow covers (three quarters or more) has the arrow's
// hue at nearly full strength; one it only touches has its hue; the rest stays black.
bool HasHue(const Rgb& pixel, const Rgb& colour) {
  return (colour.r != 0 || pixel.r == 0) && (colour.g != 0 || pixel.g == 0) && (colour.b != 0 || pixel.b == 0);
}
bool Covered(const Rgb& pixel, const Rgb& colour) {
  return HasHue(pixel, colour) && pixel.r >= 0.75 * colour.r && pixel.g >= 0.75 * colour.g &&
         pixel.b >= 0.75 * colour.b;
}
bool Touched(const Rgb& pixel, const Rgb& colour) { return HasHue(pixel, colour) && !(pixel == kBlack); }

TEST(PivplotGeometry, ArrowsLandOnTheirPixelsInTheirColours) {
  TempDir dir;
  WriteFile(dir.file("square.dpiv"), DpivText(kSquareField));
  const RunResult r = Plot(dir, {"--no-decorations", "--scale", "1", "square.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "scale: 1 px per px of displacement (given)\nvalid vectors: 3\nrejected vectors: 1\n"
            "picture: square.png (64 x 64 px)\n");
  const Picture p = ReadPng(dir.file("square.png"));
  ASSERT_EQ(p.width, 64);
  ASSERT_EQ(p.height, 64);
  EXPECT_EQ(p.At(0, 0), kBlack);

  // Right 8: the shaft covers columns 15 to 22 of row 15 and touches the tip, 23; the
  // head (3 px long, 2.8 px wide) reaches into rows 14 and 16 at column 21.
  for (int x = 15; x <= 22; x++) EXPECT_TRUE(Covered(p.At(x, 15), kGreen)) << x << ": " << p.At(x, 15);
  EXPECT_TRUE(Touched(p.At(23, 15), kGreen)) << p.At(23, 15);
  EXPECT_EQ(p.At(14, 15), kBlack);
  EXPECT_EQ(p.At(24, 15), kBlack);
  EXPECT_TRUE(Touched(p.At(21, 14), kGreen));
  EXPECT_TRUE(Touched(p.At(21, 16), kGreen));
  EXPECT_EQ(p.At(21, 13), kBlack);
  EXPECT_EQ(p.At(21, 17), kBlack);
  EXPECT_EQ(p.At(17, 14), kBlack);  // the shaft is one pixel wide
  EXPECT_EQ(p.At(17, 16), kBlack);

  // Up 6 (towards row 0): rows 10 to 15 of column 47 and the tip in row 9, the head
  // opening downwards.
  for (int y = 10; y <= 15; y++) EXPECT_TRUE(Covered(p.At(47, y), kGreen)) << y << ": " << p.At(47, y);
  EXPECT_TRUE(Touched(p.At(47, 9), kGreen));
  EXPECT_EQ(p.At(47, 8), kBlack);
  EXPECT_EQ(p.At(47, 16), kBlack);
  EXPECT_TRUE(Touched(p.At(46, 11), kGreen));
  EXPECT_TRUE(Touched(p.At(48, 11), kGreen));
  EXPECT_EQ(p.At(45, 11), kBlack);
  EXPECT_EQ(p.At(49, 11), kBlack);

  // The rejected vector, down 5, in red.
  for (int y = 47; y <= 51; y++) EXPECT_TRUE(Covered(p.At(15, y), kRed)) << y << ": " << p.At(15, y);
  EXPECT_TRUE(Touched(p.At(15, 52), kRed));
  EXPECT_EQ(p.At(15, 53), kBlack);
  EXPECT_TRUE(Touched(p.At(14, 50), kRed));
  EXPECT_TRUE(Touched(p.At(16, 50), kRed));

  // No motion: a dot on the window centre.
  EXPECT_TRUE(Covered(p.At(47, 47), kGreen)) << p.At(47, 47);
  EXPECT_EQ(p.At(48, 47), kBlack);
  EXPECT_EQ(p.At(47, 48), kBlack);
  EXPECT_EQ(p.At(46, 46), kBlack);
}

TEST(PivplotGeometry, AutomaticScaleDrawsTheLargestValidVectorOneSpacingLong) {
  TempDir dir;
  // Three columns 16 px apart; the rejected vector is the longest and must not count.
  WriteFile(dir.file("row.dpiv"), DpivText({{1, 15, 15, 4, 0}, {1, 31, 15, 2, 0}, {0, 47, 15, 0, 30}}));
  const RunResult r = Plot(dir, {"--no-decorations", "row.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("scale: 4 px per px of displacement (automatic)\n"), std::string::npos) << r.out;
  const Picture p = ReadPng(dir.file("row.png"));
  ASSERT_EQ(p.width, 64);
  ASSERT_EQ(p.height, 32);
  // 16 px from column 15 to 31, where the second arrow, 8 px, starts.
  for (int x = 15; x <= 38; x++) EXPECT_TRUE(Covered(p.At(x, 15), kGreen)) << x << ": " << p.At(x, 15);
  EXPECT_TRUE(Touched(p.At(39, 15), kGreen));
  EXPECT_EQ(p.At(40, 15), kBlack);
  // Scaled to 120 px, the rejected arrow runs off the bottom edge.
  for (int y = 15; y <= 31; y++) EXPECT_TRUE(Covered(p.At(47, y), kRed)) << y;

  // Without a moving valid vector the scale is 1.
  WriteFile(dir.file("still.dpiv"), DpivText({{1, 15, 15, 0, 0}, {0, 31, 15, 2, 0}}));
  const RunResult still = Plot(dir, {"still.dpiv"});
  ASSERT_EQ(still.status, 0) << still.err;
  EXPECT_NE(still.out.find("scale: 1 px per px of displacement (automatic)\n"), std::string::npos) << still.out;

  // Drawing every second vector doubles the spacing the largest one is drawn to.
  const RunResult every = Plot(dir, {"--every", "2", "row.dpiv", "every.png"});
  ASSERT_EQ(every.status, 0) << every.err;
  EXPECT_NE(every.out.find("scale: 8 px per px of displacement (automatic)\n"), std::string::npos) << every.out;
}

TEST(PivplotGeometry, EveryNthVectorAndHiddenRejectedOnes) {
  TempDir dir;
  // A 3 x 3 grid 16 px apart, every vector (4, 0) at scale 1; the centre one rejected.
  std::vector<Record> grid;
  for (int y : {15, 31, 47})
    for (int x : {15, 31, 47}) grid.push_back({x == 31 && y == 31 ? 0 : 1, double(x), double(y), 4, 0});
  WriteFile(dir.file("g.dpiv"), DpivText(grid));
  const RunResult all = Plot(dir, {"--no-decorations", "--scale", "1", "--rejected", "hide", "g.dpiv", "all.png"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.out.find("valid vectors: 8\nrejected vectors: 1\n"), std::string::npos) << all.out;
  const Picture a = ReadPng(dir.file("all.png"));
  ASSERT_EQ(a.width, 64);
  for (int y : {15, 31, 47})
    for (int x : {15, 31, 47}) {
      if (x == 31 && y == 31) {
        EXPECT_EQ(a.At(x + 1, y), kBlack);  // hidden
      } else {
        EXPECT_TRUE(Covered(a.At(x + 1, y), kGreen)) << x << ", " << y;
      }
    }

  // Every second column and row: the corners only; the rejected one shows again.
  const RunResult every = Plot(dir, {"--no-decorations", "--scale", "1", "--every", "2", "g.dpiv", "every.png"});
  ASSERT_EQ(every.status, 0) << every.err;
  const Picture e = ReadPng(dir.file("every.png"));
  for (int y : {15, 31, 47})
    for (int x : {15, 31, 47}) {
      const bool drawn = x != 31 && y != 31;
      EXPECT_EQ(Covered(e.At(x + 1, y), kGreen), drawn) << x << ", " << y;
      if (!drawn) {
        EXPECT_EQ(e.At(x + 1, y), kBlack) << x << ", " << y;
      }
    }
  const RunResult shown = Plot(dir, {"--no-decorations", "--scale", "1", "g.dpiv", "shown.png"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_TRUE(Covered(ReadPng(dir.file("shown.png")).At(32, 31), kRed));
}

TEST(PivplotGeometry, ColouringByMagnitudeRunsFromBlueToYellow) {
  TempDir dir;
  WriteFile(dir.file("m.dpiv"), DpivText({{1, 15, 15, 8, 0}, {1, 31, 15, 2, 0}, {0, 47, 15, 0, 3}}));
  const RunResult r = Plot(dir, {"--no-decorations", "--magnitude", "--scale", "1", "m.dpiv", "--out", "m-out.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture p = ReadPng(dir.file("m-out.png"));
  ASSERT_EQ(p.width, 64);
  EXPECT_EQ(p.At(17, 15), (Rgb{255, 255, 0}));  // the largest valid vector
  EXPECT_EQ(p.At(32, 15), (Rgb{64, 64, 191}));  // a quarter of it
  EXPECT_TRUE(Covered(p.At(47, 16), kRed));     // rejected stays red
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

  const RunResult r = Plot(dir, {"--no-decorations", "--image", "pair.b16", "2", "f.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("picture: f.png (64 x 48 px)\n"), std::string::npos) << r.out;
  const Picture p = ReadPng(dir.file("f.png"));
  ASSERT_EQ(p.width, w);
  ASSERT_EQ(p.height, h);
  EXPECT_EQ(p.At(0, 0), kBlack);
  EXPECT_EQ(p.At(63, 47), (Rgb{255, 255, 255}));
  // Each still vector is a red dot on its window centre, covering most of the pixel.
  for (const auto& [x, y] : {std::pair{15, 15}, {47, 31}}) {
    const Rgb c = p.At(x, y);
    EXPECT_TRUE(c.r >= 191 && c.g == c.b && c.g <= 64) << c;
  }
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
  const RunResult r = Plot(dir, {"--no-decorations", "--svg", "--scale", "1", "square.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("picture: square.svg (64 x 64 px)\n"), std::string::npos) << r.out;
  EXPECT_FALSE(FileExists(dir.file("square.png")));
  const std::string svg = ReadFile(dir.file("square.svg"));
  EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
  EXPECT_NE(svg.find("width=\"64px\" height=\"64px\""), std::string::npos);
  // The shafts in image coordinates, moved half a pixel onto the pixel centres, and the
  // heads' tips: right 8 (green) and down 5 (red).
  const std::string green = "stroke:rgb(0%,100%,0%);", red = "stroke:rgb(100%,0%,0%);";
  const std::string moved = "transform=\"matrix(1,0,0,1,0.5,0.5)\"";
  EXPECT_NE(svg.find(green + "stroke-opacity:1;stroke-miterlimit:10;\" d=\"M 15 15 L 20 15 \" " + moved),
            std::string::npos);
  EXPECT_NE(svg.find("fill:rgb(0%,100%,0%);fill-opacity:1;\" d=\"M 23.5 15.5 "), std::string::npos);
  EXPECT_NE(svg.find(red + "stroke-opacity:1;stroke-miterlimit:10;\" d=\"M 15 47 L 15 49 \" " + moved),
            std::string::npos);
  EXPECT_NE(svg.find("fill:rgb(100%,0%,0%);fill-opacity:1;\" d=\"M 15.5 52.5 "), std::string::npos);
  EXPECT_EQ(svg.find("<image"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");

  WriteImagePairFile(dir.file("pair.b16"), 64, 64, {std::vector<uint16_t>(64 * 64, 7)});
  const RunResult with_image = Plot(dir, {"--svg", "--image", "pair.b16", "1", "square.dpiv", "bg.svg"});
  ASSERT_EQ(with_image.status, 0) << with_image.err;
  EXPECT_NE(ReadFile(dir.file("bg.svg")).find("href=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
}

// Runs a program from /usr/bin (poppler's and libxml2's tools).
RunResult Tool(const TempDir& dir, const std::string& tool, const std::vector<std::string>& args) {
  return RunProgram("/usr/bin/" + tool, args, dir.path());
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \n");
  return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \n") - first + 1);
}

// The value of a "Name:   value" line of pdfinfo's report.
std::string InfoField(const std::string& report, const std::string& name) {
  const std::string lines = "\n" + report;
  const size_t line = lines.find("\n" + name + ":");
  if (line == std::string::npos) return "";
  const size_t start = line + name.size() + 2;
  return Trimmed(lines.substr(start, lines.find('\n', start) - start));
}

TEST(PivplotOutput, SvgAndPdfParseAndCarryTheTitle) {
  TempDir dir;
  WriteFile(dir.file("square.dpiv"), DpivText(kSquareField));
  // The default title names the file and counts the valid vectors.
  ASSERT_EQ(Plot(dir, {"--svg", "square.dpiv"}).status, 0);
  const RunResult title = Tool(dir, "xmllint", {"--xpath", "string(//*[local-name()='title'])", "square.svg"});
  ASSERT_EQ(title.status, 0) << title.err;
  EXPECT_EQ(Trimmed(title.out), "square.dpiv: 3 of 4 vectors valid");

  // A given title, with characters XML must escape.
  const std::string text = "Run <7> & co";
  ASSERT_EQ(Plot(dir, {"--svg", "--color", "speed", "--title", text, "square.dpiv", "t.svg"}).status, 0);
  EXPECT_NE(ReadFile(dir.file("t.svg")).find("<title>Run &lt;7&gt; &amp; co</title>"), std::string::npos);
  const RunResult parsed = Tool(dir, "xmllint", {"--xpath", "string(//*[local-name()='title'])", "t.svg"});
  ASSERT_EQ(parsed.status, 0) << parsed.err;
  EXPECT_EQ(Trimmed(parsed.out), text);

  // A title that is not UTF-8 (a Latin-1 file name) is drawn with '?' for the bad byte.
  ASSERT_EQ(Plot(dir, {"--svg", "--title", "caf\xe9", "square.dpiv", "latin.svg"}).status, 0);
  EXPECT_NE(ReadFile(dir.file("latin.svg")).find("<title>caf?</title>"), std::string::npos);

  const RunResult pdf = Plot(dir, {"--pdf", "--color", "vorticity", "--title", text, "square.dpiv"});
  ASSERT_EQ(pdf.status, 0) << pdf.err;
  EXPECT_NE(pdf.out.find("picture: square.pdf ("), std::string::npos) << pdf.out;
  EXPECT_EQ(ReadFile(dir.file("square.pdf")).rfind("%PDF-", 0), 0u);
  const RunResult info = Tool(dir, "pdfinfo", {"square.pdf"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(InfoField(info.out, "Title"), text) << info.out;
  EXPECT_EQ(InfoField(info.out, "Pages"), "1") << info.out;
  // The title is drawn as text, and so are the colour bar's label and the axes'.
  const RunResult words = Tool(dir, "pdftotext", {"square.pdf", "-"});
  ASSERT_EQ(words.status, 0) << words.err;
  for (const std::string& drawn :
       {text, std::string("vorticity (1/frame)"), std::string("x (px)"), std::string("y (px)")})
    EXPECT_NE(words.out.find(drawn), std::string::npos) << drawn << " in " << words.out;
}

TEST(PivplotOutput, TheSameInputGivesTheSameBytes) {
  TempDir dir;
  WriteFile(dir.file("square.dpiv"), DpivText(kSquareField));
  // The PDF's creation date is the DPIV file's modification time, not the clock's.
  const utimbuf when{981173106, 981173106};  // 2001-02-03 04:05:06 UTC
  ASSERT_EQ(utime(dir.file("square.dpiv").c_str(), &when), 0);
  ASSERT_EQ(Plot(dir, {"--pdf", "square.dpiv"}).status, 0);
  EXPECT_NE(ReadFile(dir.file("square.pdf")).find("/CreationDate (20010203040506Z)"), std::string::npos);

  for (const std::string format : {"--svg", "--pdf", "--no-decorations"}) {
    const std::vector<std::string> first = {format, "--color", "vorticity", "square.dpiv", "--out", "1.out"};
    const std::vector<std::string> second = {format, "--color", "vorticity", "square.dpiv", "--out", "2.out"};
    ASSERT_EQ(Plot(dir, first).status, 0) << format;
    ASSERT_EQ(Plot(dir, second).status, 0) << format;
    const std::string bytes = ReadFile(dir.file("1.out"));
    EXPECT_GT(bytes.size(), 100u) << format;
    EXPECT_TRUE(bytes == ReadFile(dir.file("2.out"))) << format;
  }
}

TEST(PivplotOutput, EachFileOfASeriesGetsItsOwnPicture) {
  TempDir dir;
  for (const char* name : {"run.0001.dpiv", "run.0003.dpiv"}) {
    WriteFile(dir.file(name), DpivText(kSquareField));
    ASSERT_EQ(Plot(dir, {name}).status, 0);
  }
  EXPECT_TRUE(FileExists(dir.file("run.0001.png")));
  EXPECT_TRUE(FileExists(dir.file("run.0003.png")));

  // One call over several files: one picture each, reported in order.
  for (const char* name : {"s.0001.dpiv", "s.0003.dpiv", "s.0005.dpiv"})
    WriteFile(dir.file(name), DpivText(kSquareField));
  const RunResult r = Plot(dir, {"--pdf", "s.0001.dpiv", "s.0003.dpiv", "s.0005.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  size_t at = 0;
  for (const char* picture : {"s.0001.pdf", "s.0003.pdf", "s.0005.pdf"}) {
    at = r.out.find(std::string("valid vectors: 3\nrejected vectors: 1\npicture: ") + picture + " (", at);
    EXPECT_NE(at, std::string::npos) << picture << " in " << r.out;
    EXPECT_TRUE(FileExists(dir.file(picture))) << picture;
  }
}

// A uniform field over a 3 x 3 grid 16 px apart (a 64 x 64 picture), every vector (u, 0).
std::string UniformField(double u) {
  std::vector<Record> grid;
  for (int y : {15, 31, 47})
    for (int x : {15, 31, 47}) grid.push_back({1, double(x), double(y), u, 0});
  return DpivText(grid);
}

TEST(PivplotOutput, FixedRangeSharesTheColoursAndTheScaleOfASeries) {
  TempDir dir;
  WriteFile(dir.file("slow.dpiv"), UniformField(2));
  WriteFile(dir.file("fast.dpiv"), UniformField(4));
  const Rgb top{253, 231, 37}, middle{33, 144, 140};  // viridis at 1 and at 0.5
  // Pixel (8, 8) lies in the first point's cell, clear of its arrow along row 15.
  const std::vector<std::string> bare = {"--no-decorations", "--color", "speed", "--cells"};

  std::vector<std::string> args = bare;
  args.insert(args.end(), {"slow.dpiv", "fast.dpiv"});
  const RunResult own = Plot(dir, args);
  ASSERT_EQ(own.status, 0) << own.err;
  EXPECT_NE(own.out.find("scale: 8 px per px of displacement (automatic)\n"), std::string::npos) << own.out;
  EXPECT_NE(own.out.find("scale: 4 px per px of displacement (automatic)\n"), std::string::npos) << own.out;
  EXPECT_EQ(ReadPng(dir.file("slow.png")).At(8, 8), top);
  EXPECT_EQ(ReadPng(dir.file("fast.png")).At(8, 8), top);

  args.push_back("--fixed-range");
  const RunResult fixed = Plot(dir, args);
  ASSERT_EQ(fixed.status, 0) << fixed.err;
  EXPECT_EQ(fixed.out.find("scale: 8"), std::string::npos) << fixed.out;
  EXPECT_NE(fixed.out.find("scale: 4 px per px of displacement (automatic)\nvalid vectors: 9\nrejected vectors: 0\n"
                           "picture: slow.png (64 x 64 px)\nscale: 4 px"),
            std::string::npos)
      << fixed.out;
  EXPECT_EQ(ReadPng(dir.file("slow.png")).At(8, 8), middle);
  EXPECT_EQ(ReadPng(dir.file("fast.png")).At(8, 8), top);
}

// The frame round the plot area and the colour bar's frame share the row above them: the
// first row holding a black run as long as the plot's width and one pixel on either side.
struct Frames {
  int plot_left = -1, plot_top = -1;  // the plot area's first pixel
  int bar_left = -1, bar_right = -1;  // the colour bar's first and last columns
};

Frames FindFrames(const Picture& p, int plot_width) {
  Frames f;
  for (int y = 0; y < p.height && f.plot_top < 0; y++) {
    int run = 0;
    for (int x = 0; x < p.width; x++) {
      run = p.At(x, y) == kBlack ? run + 1 : 0;
      if (run == plot_width + 2) {
        f.plot_top = y + 1;
        f.plot_left = x - plot_width;
        int bar = x + 2;  // the next black run on the row is the bar's top edge
        while (bar < p.width && !(p.At(bar, y) == kBlack)) bar++;
        int end = bar;
        while (end < p.width && p.At(end, y) == kBlack) end++;
        if (end < p.width) f.bar_left = bar + 1, f.bar_right = end - 2;
        break;
      }
    }
  }
  return f;
}

TEST(PivplotDecorations, ColourBarRunsFromTheLowestToTheHighestColour) {
  TempDir dir;
  // 3 columns 16 px apart, 4 rows 11 px apart: a 64 x 65 plot, so that the bar's middle
  // row is value 0 of a signed quantity. The vectors turn as a solid body: vorticity 0.1
  // everywhere, so the range is -0.1 to 0.1 and every cell gets the warm end.
  std::vector<Record> grid;
  for (int y : {15, 26, 37, 48})
    for (int x : {15, 31, 47}) grid.push_back({1, double(x), double(y), -0.05 * (y - 31), 0.05 * (x - 31)});
  WriteFile(dir.file("turn.dpiv"), DpivText(grid));
  const RunResult r = Plot(dir, {"--color", "vorticity", "--cells", "turn.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture p = ReadPng(dir.file("turn.png"));
  EXPECT_NE(r.out.find("picture: turn.png (" + std::to_string(p.width) + " x " + std::to_string(p.height) + " px)\n"),
            std::string::npos)
      << r.out;
  // Room for the title, the axes, the bar and the reference arrow.
  EXPECT_GT(p.width, 64 + 100);
  EXPECT_GT(p.height, 65 + 60);
  EXPECT_EQ(p.At(0, 0), (Rgb{255, 255, 255}));

  const Frames f = FindFrames(p, 64);
  ASSERT_GT(f.plot_top, 0);
  ASSERT_GT(f.bar_left, f.plot_left + 64) << f.bar_left;
  EXPECT_EQ(f.bar_right - f.bar_left + 1, 16);
  const int bar = (f.bar_left + f.bar_right) / 2;
  EXPECT_EQ(p.At(bar, f.plot_top), (Rgb{180, 4, 38}));          // 0.1 at the top
  EXPECT_EQ(p.At(bar, f.plot_top + 32), (Rgb{221, 221, 221}));  // 0 in the middle
  EXPECT_EQ(p.At(bar, f.plot_top + 64), (Rgb{59, 76, 192}));    // -0.1 at the bottom
  EXPECT_EQ(p.At(bar, f.plot_top + 65), kBlack);                // the frame under it
  // The plot: a cell away from the arrows has the warm end; the margin is white; the
  // frame runs round the plot.
  EXPECT_EQ(p.At(f.plot_left + 8, f.plot_top + 12), (Rgb{180, 4, 38}));
  EXPECT_EQ(p.At(f.plot_left + 8, f.plot_top + 8), (Rgb{255, 255, 255}));  // outside every cell
  EXPECT_EQ(p.At(f.plot_left - 1, f.plot_top + 8), kBlack);
  EXPECT_EQ(p.At(f.plot_left + 64, f.plot_top + 8), kBlack);
  EXPECT_EQ(p.At(f.plot_left + 65, f.plot_top + 8), (Rgb{255, 255, 255}));

  // Speed on viridis: from 0 (the still vector) at the bottom to the largest at the top.
  WriteFile(dir.file("square.dpiv"), DpivText(kSquareField));
  ASSERT_EQ(Plot(dir, {"--color", "speed", "--cells", "square.dpiv"}).status, 0);
  const Picture s = ReadPng(dir.file("square.png"));
  const Frames g = FindFrames(s, 64);
  ASSERT_GT(g.bar_left, 0);
  EXPECT_EQ(s.At(g.bar_left, g.plot_top), (Rgb{253, 231, 37}));
  EXPECT_EQ(s.At(g.bar_right, g.plot_top + 63), (Rgb{68, 1, 84}));
  EXPECT_EQ(s.At(g.plot_left + 56, g.plot_top + 56), (Rgb{68, 1, 84}));     // the still vector's cell
  EXPECT_EQ(s.At(g.plot_left + 8, g.plot_top + 8), (Rgb{253, 231, 37}));    // the fastest one's
  EXPECT_EQ(s.At(g.plot_left + 8, g.plot_top + 56), (Rgb{255, 255, 255}));  // rejected: blank

  // Without a colour map there is no bar; the bare picture is the plot alone.
  ASSERT_EQ(Plot(dir, {"square.dpiv", "plain.png"}).status, 0);
  EXPECT_LT(FindFrames(ReadPng(dir.file("plain.png")), 64).bar_left, 0);
}

TEST(PivplotDecorations, ColourMapOverTheImageWithItsOpacity) {
  TempDir dir;
  // Left half black, right half white; the field turns as a solid body (vorticity 0.1).
  std::vector<uint16_t> image(64 * 64);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) image[y * 64 + x] = x < 32 ? 100 : 900;
  WriteImagePairFile(dir.file("pair.b16"), 64, 64, {image});
  std::vector<Record> grid;
  for (int y : {15, 31, 47})
    for (int x : {15, 31, 47}) grid.push_back({1, double(x), double(y), -0.05 * (y - 31), 0.05 * (x - 31)});
  WriteFile(dir.file("turn.dpiv"), DpivText(grid));
  // (8, 8) lies on black, (50, 8) on white, both in cells clear of the arrows; the map
  // gives both the warm end, (180, 4, 38), painted over the image with the opacity.
  const std::vector<std::pair<std::string, std::vector<double>>> cases = {
      {"0", {0, 0, 0, 255, 255, 255}},
      {"0.5", {90, 2, 19, 217.5, 129.5, 146.5}},
      {"", {108, 2.4, 22.8, 210, 104.4, 124.8}},  // the default, 0.6
      {"1", {180, 4, 38, 180, 4, 38}},
  };
  for (const auto& [opacity, expected] : cases) {
    std::vector<std::string> args = {"--no-decorations", "--color", "vorticity", "--image",
                                     "pair.b16",         "1",       "turn.dpiv", "o.png"};
    if (!opacity.empty()) args.insert(args.end(), {"--opacity", opacity});
    const RunResult r = Plot(dir, args);
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture p = ReadPng(dir.file("o.png"));
    const Rgb dark = p.At(8, 8), light = p.At(50, 8);
    const int got[6] = {dark.r, dark.g, dark.b, light.r, light.g, light.b};
    for (int k = 0; k < 6; k++) EXPECT_NEAR(got[k], expected[k], 1.0) << "opacity " << opacity << ", channel " << k;
  }
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

  for (const char* bad : {"1\t1.5e+01\t1.5e+01\t1.0e+00\t0.0e+00\n",         // five fields
                          "2\t1.5e+01\t1.5e+01\t1.0e+00\t0.0e+00\t0.9\n",    // flag 2
                          "1\t1.5e+01\t1.5e+01\tfast\t0.0e+00\t0.9\n",       // text
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
  ExpectRefused(dir, {"--pdf", "f.dpiv", "no/such/dir/f.pdf"}, "f.pdf", "cannot create no/such/dir/f.pdf");
  // An empty name (found by fuzzing: it was taken for the picture's name).
  ExpectRefused(dir, {"f.dpiv", ""}, "f.png", "a file name is empty");

  // A series is read whole before any picture is written: one bad file stops them all.
  WriteFile(dir.file("a.dpiv"), DpivText(kSquareField));
  WriteFile(dir.file("b.dpiv"), "not a field\n");
  ExpectRefused(dir, {"a.dpiv", "b.dpiv"}, "a.png", "b.dpiv does not begin with the 12 comment lines");
  // So does a file whose grid does not fit the image, named in the message.
  WriteFile(dir.file("c.dpiv"),
            DpivText({{1, 15, 15, 1, 0}, {1, 31, 15, 1, 0}, {1, 47, 15, 1, 0}, {1, 63, 15, 1, 0}, {1, 79, 15, 1, 0}}));
  ExpectRefused(dir, {"--image", "fits.b16", "1", "a.dpiv", "c.dpiv"}, "a.png", "c.dpiv: the image is 95 x 64 px");
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
      {{"f.dpiv", "--out", "f.dpiv"}, "the picture would overwrite the DPIV file f.dpiv"},
      {{"--color", "curl", "f.dpiv"}, "--color needs one of speed, vorticity, divergence, u, v or none"},
      {{"f.dpiv", "--color"}, "--color needs one of"},
      {{"--opacity", "1.5", "f.dpiv"}, "--opacity needs a number from 0 to 1"},
      {{"--opacity", "-0.1", "f.dpiv"}, "--opacity needs a number from 0 to 1"},
      {{"--opacity", "half", "f.dpiv"}, "--opacity needs a number from 0 to 1"},
      {{"--every", "0", "f.dpiv"}, "--every needs a whole number from 1 to 5000"},
      {{"--every", "2.5", "f.dpiv"}, "--every needs a whole number from 1 to 5000"},
      {{"--every", "5001", "f.dpiv"}, "--every needs a whole number from 1 to 5000"},
      {{"--rejected", "grey", "f.dpiv"}, "--rejected needs show or hide"},
      {{"f.dpiv", "--title"}, "--title needs a text"},
      {{"--svg", "--pdf", "f.dpiv"}, "--svg and --pdf exclude each other"},
      // Several DPIV files: each picture is named after its file.
      {{"f.dpiv", "g.dpiv", "--out", "x.png"}, "--out names one picture, but 2 DPIV files were given"},
      {{"f.dpiv", "g.dpiv", "x.png"}, "more than a DPIV file and an output name"},
      {{"f.dpiv", "g.dpiv", "f.dpiv"}, "f.dpiv is given twice"},
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

  const RunResult r = Plot(dir, {"--no-decorations", "--image", "pair.b16", "1", "pair.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  // 4 x 3 windows of 32 px; those touching the last column or row are never measured.
  EXPECT_NE(r.out.find("valid vectors: 6\nrejected vectors: 6\n"), std::string::npos) << r.out;
  const Picture p = ReadPng(dir.file("pair.png"));
  EXPECT_EQ(p.width, 128);
  EXPECT_EQ(p.height, 96);
  // The measured displacement (3, 1), drawn one spacing long, from the first window
  // centre: green over the grey image (at least 60 % of the pixel).
  const Rgb tail = p.At(15, 15);
  EXPECT_TRUE(tail.r == tail.b && tail.g >= tail.r + 150) << tail;
  // Halfway, column 30 crosses the line at row 20: the green there, added up over the
  // rows around it, makes at least 80 % of a pixel, and all of it is the arrow's.
  int green = 0;
  for (int y = 18; y <= 22; y++) {
    const Rgb c = p.At(30, y);
    EXPECT_EQ(c.r, c.b) << y;
    green += c.g - c.r;
  }
  EXPECT_GE(green, 0.8 * 255);

  // Decorated, the picture grows around the image by the margins it reports.
  const RunResult decorated = Plot(dir, {"--image", "pair.b16", "1", "--color", "speed", "pair.dpiv", "d.png"});
  ASSERT_EQ(decorated.status, 0) << decorated.err;
  const Picture d = ReadPng(dir.file("d.png"));
  EXPECT_GT(d.width, 128);
  EXPECT_GT(d.height, 96);
  EXPECT_NE(
      decorated.out.find("picture: d.png (" + std::to_string(d.width) + " x " + std::to_string(d.height) + " px)\n"),
      std::string::npos)
      << decorated.out;
}

TEST(PivplotEndToEnd, VortexDemoDrawsItsVorticityOverTheImage) {
  TempDir dir;
  const RunResult synth = RunProgram("pivsynth",
                                     {"--size", "256x256", "--field", "vortex", "--gamma", "300", "--core", "30",
                                      "--noise", "20", "--out", "vortex.b16"},
                                     dir.path());
  ASSERT_EQ(synth.status, 0) << synth.err;
  const RunResult analysis =
      RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "-i", "-MVOcheck", "1.0", "-s", "vortex.b16"},
                 dir.path(), "1 2\n");
  ASSERT_EQ(analysis.status, 0) << analysis.out;
  const RunResult r = Plot(dir, {"vortex.dpiv", "--image", "vortex.b16", "1", "--color", "vorticity", "--rejected",
                                 "hide", "--out", "vortex.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("scale: "), std::string::npos);
  EXPECT_NE(r.out.find("valid vectors: "), std::string::npos);
  const Picture p = ReadPng(dir.file("vortex.png"));
  const Frames f = FindFrames(p, 256);
  ASSERT_GT(f.bar_left, 0) << "no colour bar";
  // The vortex turns clockwise on the screen (positive vorticity): its core, at the image
  // centre, is warm (red above green and blue) where the image is dark, between particles.
  int warm = 0, cool = 0;
  for (int y = 120; y <= 136; y++)
    for (int x = 120; x <= 136; x++) {
      const Rgb c = p.At(f.plot_left + x, f.plot_top + y);
      warm += c.r > c.b + 30 ? 1 : 0;
      cool += c.b > c.r + 30 ? 1 : 0;
    }
  EXPECT_GT(warm, 150) << warm << " of 289";
  EXPECT_EQ(cool, 0);
}

// ---------------------------------------------------------------- masks

// An 8-bit greyscale PNG, through libpng's simplified writer.
void WriteGreyPng(const std::string& path, int w, int h, const std::vector<unsigned char>& grey) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_GRAY;
  ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, grey.data(), 0, nullptr)) << image.message;
}

// A w x h mask without flow on the rectangle x0..x1, y0..y1 and on the pixel (px, py): grey
// levels 0 there and 255 elsewhere.
std::vector<unsigned char> MaskLevels(int w, int h, int x0, int y0, int x1, int y1, int px, int py) {
  std::vector<unsigned char> grey(static_cast<size_t>(w) * h, 255);
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) grey[static_cast<size_t>(y) * w + x] = 0;
  grey[static_cast<size_t>(py) * w + px] = 0;
  return grey;
}

// The shading: 60 % of grey 160 over what lies under it.
int Shaded(int under) { return static_cast<int>(std::lround(0.4 * under + 0.6 * 160)); }

TEST(PivplotMask, MaskedPixelsAreShadedAndTheRestIsUntouched) {
  TempDir dir;
  const int w = 64, h = 48;
  std::vector<uint16_t> ramp(w * h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) ramp[y * w + x] = static_cast<uint16_t>(1000 + 10 * x + 3 * y);
  WriteImagePairFile(dir.file("pair.b16"), w, h, {ramp});
  std::vector<Record> grid;
  for (int y : {15, 31})
    for (int x : {15, 31, 47}) grid.push_back({0, double(x), double(y), 0, 0});
  WriteFile(dir.file("f.dpiv"), DpivText(grid));
  const std::vector<unsigned char> levels = MaskLevels(w, h, 5, 30, 20, 40, 60, 2);
  WriteGreyPng(dir.file("m.png"), w, h, levels);
  std::vector<uint16_t> counts(levels.begin(), levels.end());
  WriteImagePairFile(dir.file("m.b16"), w, h, {counts});

  // The rejected vectors hidden: no arrow anywhere.
  const std::vector<std::string> bare = {"--no-decorations", "--rejected", "hide", "--image", "pair.b16", "1",
                                         "f.dpiv"};
  auto with = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = bare;
    args.insert(args.end(), extra.begin(), extra.end());
    return Plot(dir, args);
  };
  ASSERT_EQ(with({"plain.png"}).status, 0);
  const RunResult png = with({"--mask", "m.png", "png.png"});
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_NE(png.out.find("mask: m.png (PNG, 64 x 48 px, 177 pixels without flow)\n"), std::string::npos) << png.out;
  const RunResult pair = with({"--mask", "m.b16", "pair.png"});
  ASSERT_EQ(pair.status, 0) << pair.err;
  EXPECT_NE(pair.out.find("mask: m.b16 (image-pair file, 64 x 48 px, 177 pixels without flow)\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.file("png.png")), ReadFile(dir.file("pair.png")));

  const Picture plain = ReadPng(dir.file("plain.png")), masked = ReadPng(dir.file("png.png"));
  ASSERT_EQ(masked.width, w);
  ASSERT_EQ(masked.height, h);
  int shaded = 0;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const Rgb under = plain.At(x, y), got = masked.At(x, y);
      if (levels[static_cast<size_t>(y) * w + x] != 0) {
        ASSERT_EQ(got, under) << x << ", " << y;
        continue;
      }
      ASSERT_EQ(under.r, static_cast<int>(std::lround(255.0 * (10 * x + 3 * y) / 771.0))) << x << ", " << y;
      EXPECT_NEAR(got.r, Shaded(under.r), 1) << x << ", " << y;
      EXPECT_TRUE(got.r == got.g && got.g == got.b) << got;
      shaded++;
    }
  EXPECT_EQ(shaded, 16 * 11 + 1);
  // The pixel (60, 2): grey 255 * 606 / 771 = 200 under 60 % of 160 gives 0.4 * 200 + 96 = 176.
  EXPECT_EQ(masked.At(60, 2), (Rgb{176, 176, 176}));

  // Decorated, only the plot area's masked pixels change: the title, axes and margins stay.
  const std::vector<std::string> decorated = {"--rejected", "hide", "--image", "pair.b16", "1", "--color", "speed"};
  std::vector<std::string> args = decorated;
  args.insert(args.end(), {"f.dpiv", "deco.png"});
  ASSERT_EQ(Plot(dir, args).status, 0);
  args = decorated;
  args.insert(args.end(), {"--mask", "m.png", "f.dpiv", "deco_mask.png"});
  ASSERT_EQ(Plot(dir, args).status, 0);
  const Picture deco = ReadPng(dir.file("deco.png")), deco_mask = ReadPng(dir.file("deco_mask.png"));
  ASSERT_EQ(deco.width, deco_mask.width);
  ASSERT_EQ(deco.height, deco_mask.height);
  const Frames f = FindFrames(deco, w);
  ASSERT_GT(f.plot_top, 0);
  int changed = 0;
  for (int y = 0; y < deco.height; y++)
    for (int x = 0; x < deco.width; x++) {
      if (deco.At(x, y) == deco_mask.At(x, y)) continue;
      const int ix = x - f.plot_left, iy = y - f.plot_top;
      ASSERT_TRUE(ix >= 0 && iy >= 0 && ix < w && iy < h && levels[static_cast<size_t>(iy) * w + ix] == 0)
          << "picture pixel " << x << ", " << y;
      changed++;
    }
  EXPECT_GT(changed, 100);
}

TEST(PivplotMask, WithoutAnImageTheMaskGivesThePlotItsSize) {
  TempDir dir;
  WriteFile(dir.file("f.dpiv"), DpivText(kSquareField));
  // The grid comes from images 64 to 95 px a side; the mask is 70 x 64.
  WriteGreyPng(dir.file("m.png"), 70, 64, MaskLevels(70, 64, 60, 0, 69, 9, 55, 28));
  const RunResult r = Plot(dir, {"--no-decorations", "--mask", "m.png", "f.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("picture: f.png (70 x 64 px)\n"), std::string::npos) << r.out;
  const Picture p = ReadPng(dir.file("f.png"));
  ASSERT_EQ(p.width, 70);
  EXPECT_EQ(p.At(65, 5), (Rgb{96, 96, 96}));  // 60 % of grey 160 over black
  EXPECT_EQ(p.At(55, 28), (Rgb{96, 96, 96}));
  EXPECT_EQ(p.At(65, 15), kBlack);
  EXPECT_EQ(p.At(30, 60), kBlack);

  // The shading lies over the colour map: (55, 28) is in the cell of the point (47, 15), clear
  // of the arrows.
  ASSERT_EQ(Plot(dir, {"--no-decorations", "--color", "v", "--cells", "--mask", "m.png", "f.dpiv", "map.png"}).status,
            0);
  // A mask of flow everywhere gives the same 70 x 64 plot without shading.
  WriteGreyPng(dir.file("blank.png"), 70, 64, std::vector<unsigned char>(70 * 64, 255));
  ASSERT_EQ(Plot(dir, {"--no-decorations", "--color", "v", "--cells", "--mask", "blank.png", "f.dpiv", "plain.png"})
                .status,
            0);
  const Rgb cell = ReadPng(dir.file("plain.png")).At(55, 28), shaded = ReadPng(dir.file("map.png")).At(55, 28);
  EXPECT_FALSE(cell == (Rgb{255, 255, 255})) << cell;
  EXPECT_NEAR(shaded.r, Shaded(cell.r), 1) << cell << " " << shaded;
  EXPECT_NEAR(shaded.g, Shaded(cell.g), 1) << cell << " " << shaded;
  EXPECT_NEAR(shaded.b, Shaded(cell.b), 1) << cell << " " << shaded;
}

TEST(PivplotMask, MasksThatDoNotFitAreRefused) {
  TempDir dir;
  WriteFile(dir.file("f.dpiv"), DpivText(kSquareField));
  WriteImagePairFile(dir.file("pair.b16"), 64, 64, {std::vector<uint16_t>(64 * 64, 7)});
  WriteGreyPng(dir.file("tall.png"), 64, 65, std::vector<unsigned char>(64 * 65, 255));
  ExpectRefused(dir, {"--image", "pair.b16", "1", "--mask", "tall.png", "f.dpiv"}, "f.png",
                "the mask tall.png is 64 x 65 px, but the image is 64 x 64 px");
  WriteGreyPng(dir.file("wide.png"), 100, 64, std::vector<unsigned char>(100 * 64, 255));
  ExpectRefused(dir, {"--mask", "wide.png", "f.dpiv"}, "f.png",
                "the mask wide.png is 100 x 64 px, but a grid of 2 x 2 vectors from 15, 15 on comes from an image "
                "64 to 95 px wide and 64 to 95 px high");
  ExpectRefused(dir, {"--mask", "absent.png", "f.dpiv"}, "f.png", "cannot open the mask file absent.png");
  WriteFile(dir.file("text.png"), "not a picture\n");
  ExpectRefused(dir, {"--mask", "text.png", "f.dpiv"}, "f.png",
                "the mask file text.png cannot be used: neither a PNG nor a TIFF image");
  const RunResult missing = Plot(dir, {"f.dpiv", "--mask"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("pivplot: --mask needs a mask file"), std::string::npos) << missing.err;
  EXPECT_FALSE(FileExists(dir.file("f.png")));
}

TEST(PivplotEndToEnd, PivsynthsMaskIsShadedOverItsImages) {
  TempDir dir;
  const RunResult synth = RunProgram(
      "pivsynth", {"--size", "128x96", "--dx", "3", "--dy", "1", "--mask-rect", "0,72,127,95", "--out", "pair.b16"},
      dir.path());
  ASSERT_EQ(synth.status, 0) << synth.err;
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "pair.b16"}, dir.path(), "1 2\n").status, 0);
  const RunResult r =
      Plot(dir, {"--no-decorations", "--image", "pair.b16", "1", "--mask", "pair.b16.mask.png", "pair.dpiv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("mask: pair.b16.mask.png (PNG, 128 x 96 px, 3072 pixels without flow)\n"), std::string::npos)
      << r.out;
  // No particle lights the mask, so under the shading the image is black: 96 grey, save
  // where an arrow crosses.
  const Picture p = ReadPng(dir.file("pair.png"));
  int grey = 0;
  for (int y = 72; y < 96; y++)
    for (int x = 0; x < 128; x++) grey += p.At(x, y) == (Rgb{96, 96, 96});
  EXPECT_GT(grey, 0.95 * 3072) << grey;
}

}  // namespace
