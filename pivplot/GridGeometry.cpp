#include "GridGeometry.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kTolerance = 1e-6;

// Smallest side of an image with count points from first on, spacing apart.
double SmallestSide(double first, int count, double spacing) { return 2 * (first + 1) + (count - 1) * spacing; }

// Largest such side; a single point says nothing about the spacing, so any larger side
// could hold it.
double LargestSide(double first, int count, double spacing) {
  return spacing > 0 ? SmallestSide(first, count, spacing) + spacing - 1 : HUGE_VAL;
}

bool SideFits(int side, double first, int count, double spacing) {
  return side >= SmallestSide(first, count, spacing) - kTolerance &&
         side <= LargestSide(first, count, spacing) + kTolerance;
}

std::string SideRange(double first, int count, double spacing) {
  const long smallest = std::lround(std::ceil(SmallestSide(first, count, spacing) - kTolerance));
  const double largest = LargestSide(first, count, spacing);
  if (std::isinf(largest)) return std::to_string(smallest) + " or more";
  return std::to_string(smallest) + " to " + std::to_string(std::lround(std::floor(largest + kTolerance)));
}

std::string Number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

bool ImageFitsGrid(const VectorField& field, int w, int h, std::string& error, const std::string& what) {
  if (SideFits(w, field.x0, field.nx, field.delx) && SideFits(h, field.y0, field.ny, field.dely)) return true;
  error = what + " is " + std::to_string(w) + " x " + std::to_string(h) + " px, but a grid of " +
          std::to_string(field.nx) + " x " + std::to_string(field.ny) + " vectors from " +
          Number(field.x0) + ", " + Number(field.y0) + " on comes from an image " +
          SideRange(field.x0, field.nx, field.delx) + " px wide and " +
          SideRange(field.y0, field.ny, field.dely) + " px high";
  return false;
}

void SmallestImage(const VectorField& field, int& w, int& h) {
  w = static_cast<int>(std::ceil(SmallestSide(field.x0, field.nx, field.delx) - kTolerance));
  h = static_cast<int>(std::ceil(SmallestSide(field.y0, field.ny, field.dely) - kTolerance));
}
