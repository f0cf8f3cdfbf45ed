#include "Ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kMantissas[] = {1, 2, 5};

}  // namespace

Ticks RoundTicks(double lo, double hi, int max_count) {
  Ticks ticks;
  const double span = hi - lo;
  if (!(span > 0) || !std::isfinite(span)) return ticks;
  // The smallest round step that keeps the count within max_count.
  const double decade = std::pow(10.0, std::floor(std::log10(span / std::max(1, max_count))));
  for (int scale = 0; scale < 3 && ticks.step == 0; scale++)
    for (double m : kMantissas) {
      const double step = m * decade * std::pow(10.0, scale);
      const double first = std::ceil(lo / step - 1e-9), last = std::floor(hi / step + 1e-9);
      if (last - first + 1 <= max_count) {
        ticks.step = step;
        for (double k = first; k <= last; k++) ticks.values.push_back(k * step);
        break;
      }
    }
  return ticks;
}

std::string TickLabel(double value, double step) {
  const int decimals = step > 0 ? std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9))) : 0;
  if (std::fabs(value) < step * 1e-6) value = 0;
  char text[64];
  snprintf(text, sizeof text, "%.*f", std::min(decimals, 12), value);
  return text;
}

double RoundLengthBelow(double length) {
  if (!(length > 0) || !std::isfinite(length)) return 1;
  const double decade = std::pow(10.0, std::floor(std::log10(length)));
  double best = decade;
  for (double m : kMantissas)
    if (m * decade <= length * (1 + 1e-12)) best = m * decade;
  return best;
}
