#include "SvgFile.h"

#include <cmath>
#include <cstdio>

#include "PngFile.h"

namespace {

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    unsigned long group = static_cast<unsigned char>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    text += kDigits[(group >> 18) & 63];
    text += kDigits[(group >> 12) & 63];
    text += left > 1 ? kDigits[(group >> 6) & 63] : '=';
    text += left > 2 ? kDigits[group & 63] : '=';
  }
  return text;
}

std::string Number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string Colour(Rgb c) {
  char text[16];
  snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
  return text;
}

}  // namespace

bool MakeSvg(const Raster* background, int width, int height, const std::vector<Arrow>& arrows, std::string& svg,
             std::string& error) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
        " " + h + "\">\n";
  if (background != nullptr) {
    std::string png;
    if (!EncodePng(*background, png, error)) return false;
    svg += "<image x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h +
           "\" image-rendering=\"pixelated\" href=\"data:image/png;base64," + Base64(png) + "\"/>\n";
  } else {
    svg += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"#000000\"/>\n";
  }
  // Pixel centres lie at whole coordinates in the PNG picture, at half ones in SVG.
  svg += "<g transform=\"translate(0.5 0.5)\" stroke-width=\"1\" stroke-linecap=\"round\" fill=\"none\">\n";
  for (const Arrow& arrow : arrows) {
    for (const Segment& s : arrow.strokes) {
      if (!std::isfinite(s.x1) || !std::isfinite(s.y1)) continue;
      svg += "<line x1=\"" + Number(s.x0) + "\" y1=\"" + Number(s.y0) + "\" x2=\"" + Number(s.x1) + "\" y2=\"" +
             Number(s.y1) + "\" stroke=\"" + Colour(arrow.colour) + "\"/>\n";
    }
  }
  svg += "</g>\n</svg>\n";
  return true;
}
