// A picture held in memory as a cairo image surface, row 0 first, each pixel a 32-bit
// word 0xAARRGGBB (premultiplied alpha): an opaque red pixel is 0xffff0000, a blank one 0.
// The surface owns the pixels and is reference-counted, so a PDF or SVG surface that
// reads them only when it is finished still finds them after the raster is gone.
#ifndef PIVPLOT_RASTER_H
#define PIVPLOT_RASTER_H

#include <cairo.h>

#include <cstdint>

struct Rgb {
  unsigned char r, g, b;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

class Raster {
 public:
  // Every pixel blank (transparent).
  Raster(int width, int height);
  ~Raster();
  Raster(Raster&& other) noexcept;
  Raster(const Raster&) = delete;
  Raster& operator=(const Raster&) = delete;
  Raster& operator=(Raster&&) = delete;

  // False when the memory for the pixels could not be had; drawing it then fails.
  bool Ok() const { return data_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Makes the pixel opaque in colour; pixels outside the picture are left alone.
  void Set(int x, int y, Rgb colour);
  // The pixel's word; 0 outside the picture.
  uint32_t Pixel(int x, int y) const;

  // The surface to paint from, with the pixels set so far.
  cairo_surface_t* Surface();

 private:
  bool Inside(int x, int y) const { return data_ != nullptr && x >= 0 && y >= 0 && x < width_ && y < height_; }
  uint32_t* Row(int y) const { return reinterpret_cast<uint32_t*>(data_ + static_cast<long>(y) * stride_); }

  int width_;
  int height_;
  cairo_surface_t* surface_;
  unsigned char* data_;
  int stride_;
};

#endif
