// A picture held in memory, row 0 first, each pixel a 32-bit word 0xAARRGGBB as cairo
// paints it (premultiplied alpha): an opaque red pixel is 0xffff0000, a blank one 0.
#ifndef PIVPLOT_RASTER_H
#define PIVPLOT_RASTER_H

#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
  unsigned char r, g, b;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

class Raster {
 public:
  // Every pixel blank (transparent).
  Raster(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes from one row to the next, as cairo needs it.
  int Stride() const { return width_ * 4; }
  unsigned char* Data() { return reinterpret_cast<unsigned char*>(pixels_.data()); }

  // Makes the pixel opaque in colour; pixels outside the picture are left alone.
  void Set(int x, int y, Rgb colour);

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
};

#endif
