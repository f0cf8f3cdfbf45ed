#include "ArrowLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Arrows shorter than this get no head: it would hide the shaft.
constexpr double kShortestHeadedArrow = 3.0;
constexpr double kHeadFraction = 0.3;
constexpr double kHeadMin = 3.0;
constexpr double kHeadMax = 9.0;
constexpr double kHeadHalfAngle = 25.0 * M_PI / 180.0;

unsigned char Blend(unsigned char a, unsigned char b, double t) {
  return static_cast<unsigned char>(std::lround(a + (b - a) * t));
}

Rgb MagnitudeColour(double magnitude, double largest) {
  const double t = largest > 0 ? std::min(1.0, magnitude / largest) : 0.0;
  return {Blend(kSlowColour.r, kFastColour.r, t), Blend(kSlowColour.g, kFastColour.g, t),
          Blend(kSlowColour.b, kFastColour.b, t)};
}

Rgb ArrowColour(const VectorRecord& v, const ArrowStyle& style, double largest) {
  if (!v.valid) return style.on_map ? kRejectedOnMapColour : kRejectedColour;
  if (style.by_magnitude) return MagnitudeColour(std::hypot(v.u, v.v), largest);
  return style.on_map ? kValidOnMapColour : kValidColour;
}

}  // namespace

double LargestValidMagnitude(const VectorField& field) {
  double largest = 0;
  for (const VectorRecord& v : field.vectors)
    if (v.valid) largest = std::max(largest, std::hypot(v.u, v.v));
  return largest;
}

double AutoScale(const VectorField& field, double largest, int every) {
  return largest > 0 ? every * field.Spacing() / largest : 1.0;
}

Arrow LayOutArrow(Point tail, double u, double v, double scale, Rgb colour) {
  Arrow arrow{};
  arrow.tail = tail;
  arrow.colour = colour;
  const Point tip{tail.x + scale * u, tail.y + scale * v};
  const double length = std::hypot(tip.x - tail.x, tip.y - tail.y);
  arrow.has_head = length >= kShortestHeadedArrow && std::isfinite(length);
  if (!arrow.has_head) {
    arrow.shaft_end = tip;
    return arrow;
  }
  const double head = std::clamp(kHeadFraction * length, kHeadMin, kHeadMax);
  const double ax = (tip.x - tail.x) / length, ay = (tip.y - tail.y) / length;  // along the arrow
  const double half_width = head * std::tan(kHeadHalfAngle);
  arrow.shaft_end = {tip.x - head * ax, tip.y - head * ay};
  arrow.head[0] = tip;
  arrow.head[1] = {arrow.shaft_end.x + half_width * ay, arrow.shaft_end.y - half_width * ax};
  arrow.head[2] = {arrow.shaft_end.x - half_width * ay, arrow.shaft_end.y + half_width * ax};
  return arrow;
}

std::vector<Arrow> LayOutArrows(const VectorField& field, const ArrowStyle& style) {
  const double largest = LargestValidMagnitude(field);
  std::vector<Arrow> arrows;
  for (size_t k = 0; k < field.vectors.size(); k++) {
    const VectorRecord& v = field.vectors[k];
    const int i = static_cast<int>(k % field.nx), j = static_cast<int>(k / field.nx);
    if (i % style.every != 0 || j % style.every != 0 || (!v.valid && !style.show_rejected)) continue;
    arrows.push_back(LayOutArrow({v.x, v.y}, v.u, v.v, style.scale, ArrowColour(v, style, largest)));
  }
  return arrows;
}
