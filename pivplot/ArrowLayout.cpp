#include "ArrowLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Arrows shorter than this get no head: it would hide the shaft.
constexpr double kShortestHeadedArrow = 3.0;
constexpr double kHeadFraction = 0.3;
constexpr double kHeadMin = 2.0;
constexpr double kHeadMax = 8.0;
constexpr double kHeadAngle = 25.0 * M_PI / 180.0;

double LargestValidMagnitude(const VectorField& field) {
  double largest = 0;
  for (const VectorRecord& v : field.vectors)
    if (v.valid) largest = std::max(largest, std::hypot(v.u, v.v));
  return largest;
}

unsigned char Blend(unsigned char a, unsigned char b, double t) {
  return static_cast<unsigned char>(std::lround(a + (b - a) * t));
}

Rgb MagnitudeColour(double magnitude, double largest) {
  const double t = largest > 0 ? std::min(1.0, magnitude / largest) : 0.0;
  return {Blend(kSlowColour.r, kFastColour.r, t), Blend(kSlowColour.g, kFastColour.g, t),
          Blend(kSlowColour.b, kFastColour.b, t)};
}

// A stroke from the tip back along the shaft, turned by angle.
Segment HeadStroke(double tip_x, double tip_y, double back_x, double back_y, double length, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {tip_x, tip_y, tip_x + length * (c * back_x - s * back_y), tip_y + length * (s * back_x + c * back_y)};
}

}  // namespace

double AutoScale(const VectorField& field) {
  const double largest = LargestValidMagnitude(field);
  return largest > 0 ? field.Spacing() / largest : 1.0;
}

std::vector<Arrow> LayOutArrows(const VectorField& field, double scale, bool by_magnitude) {
  const double largest = LargestValidMagnitude(field);
  std::vector<Arrow> arrows;
  arrows.reserve(field.vectors.size());
  for (const VectorRecord& v : field.vectors) {
    Arrow arrow;
    const double magnitude = std::hypot(v.u, v.v);
    arrow.colour = !v.valid ? kRejectedColour : by_magnitude ? MagnitudeColour(magnitude, largest) : kValidColour;
    const double tip_x = v.x + scale * v.u, tip_y = v.y + scale * v.v;
    arrow.strokes.push_back({v.x, v.y, tip_x, tip_y});
    const double length = scale * magnitude;
    if (length >= kShortestHeadedArrow && std::isfinite(length)) {
      const double head = std::clamp(kHeadFraction * length, kHeadMin, kHeadMax);
      const double back_x = -v.u / magnitude, back_y = -v.v / magnitude;
      arrow.strokes.push_back(HeadStroke(tip_x, tip_y, back_x, back_y, head, kHeadAngle));
      arrow.strokes.push_back(HeadStroke(tip_x, tip_y, back_x, back_y, head, -kHeadAngle));
    }
    arrows.push_back(arrow);
  }
  return arrows;
}
