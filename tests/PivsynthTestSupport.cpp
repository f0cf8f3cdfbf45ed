#include "PivsynthTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

Centroid CentroidOf(const IntensityImage& image) {
  Centroid c;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      const double v = image.At(x, y);
      c.sum += v;
      c.x += v * x;
      c.y += v * y;
    }
  c.x /= c.sum;
  c.y /= c.sum;
  return c;
}

namespace {

unsigned Le16(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

}  // namespace

double LargestDisplacement(const DisplacementField& field, double x0, double y0, double x1, double y1, double step) {
  double largest = 0.0;
  for (double y = y0; y <= y1; y += step)
    for (double x = x0; x <= x1; x += step) {
      const Displacement d = DisplacementAt(field, x, y);
      largest = std::fmax(largest, std::hypot(d.dx, d.dy));
    }
  return largest;
}

void ExpectPivsynthRefusal(const TempDir& dir, const std::vector<std::string>& args, const std::string& line) {
  const RunResult r = RunProgram("pivsynth", args, dir.path());
  EXPECT_EQ(r.status, 1) << line;
  EXPECT_EQ(r.err, line + "Try 'pivsynth --help' for the options.\n");
  EXPECT_EQ(r.out, "");
}

PairFile ReadPairFile(const std::string& path) {
  const std::string bytes = ReadFile(path);
  PairFile f;
  if (bytes.size() < 4) return f;
  f.width = static_cast<int>(Le16(bytes, 0));
  f.height = static_cast<int>(Le16(bytes, 2));
  const size_t pixels = static_cast<size_t>(f.width) * f.height;
  for (size_t start = 4; start + 2 * pixels <= bytes.size(); start += 2 * pixels) {
    std::vector<uint16_t> image(pixels);
    for (size_t k = 0; k < pixels; ++k) image[k] = static_cast<uint16_t>(Le16(bytes, start + 2 * k));
    f.images.push_back(image);
  }
  return f;
}
