// An RGB picture held in memory, row 0 first, and the drawing of straight lines on it.
#ifndef PIVPLOT_RASTER_H
#define PIVPLOT_RASTER_H

#include <vector>

struct Rgb {
  unsigned char r, g, b;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

class Raster {
 public:
  Raster(int width, int height, Rgb fill);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Three bytes per pixel, rows of Width() pixels, row 0 first.
  const std::vector<unsigned char>& Bytes() const { return bytes_; }

  // Pixels outside the picture are left alone.
  void Set(int x, int y, Rgb colour);

  // Colours the pixels of the line between the two points (pixel centres at whole
  // coordinates); the parts outside the picture are cut off first.
  void DrawLine(double x0, double y0, double x1, double y1, Rgb colour);

 private:
  int width_;
  int height_;
  std::vector<unsigned char> bytes_;
};

#endif
