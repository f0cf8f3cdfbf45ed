#include "ColourMap.h"

#include <algorithm>
#include <cmath>

#include "ColourTables.h"

namespace {

unsigned char Byte(double fraction) { return static_cast<unsigned char>(std::lround(255.0 * fraction)); }

template <size_t N>
Rgb Lookup(const TableColour (&table)[N], double t) {
  if (!(t > 0)) t = 0;
  if (t > 1) t = 1;
  const double position = t * (N - 1);
  const size_t k = std::min(static_cast<size_t>(position), N - 2);
  const double f = position - k;
  const TableColour& a = table[k];
  const TableColour& b = table[k + 1];
  return {Byte(a.r + f * (b.r - a.r)), Byte(a.g + f * (b.g - a.g)), Byte(a.b + f * (b.b - a.b))};
}

}  // namespace

Rgb MapColour(ColourMap map, double t) {
  return map == ColourMap::Viridis ? Lookup(kViridis, t) : Lookup(kCoolWarm, t);
}
