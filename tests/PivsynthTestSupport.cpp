#include "PivsynthTestSupport.h"

#include "TestSupport.h"

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
