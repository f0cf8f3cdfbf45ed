// PNG pictures read back through libpng for the plot tests: a pixel's colour at (x, y).
#ifndef PNGPICTURE_H
#define PNGPICTURE_H

#include <ostream>
#include <string>
#include <vector>

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c);

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  Rgb At(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

// The picture at path as RGB; an empty one (and a test failure) when it cannot be read.
Picture ReadPng(const std::string& path);

#endif
