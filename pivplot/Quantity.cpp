#include "Quantity.h"

#include <string>

namespace {

enum class Dimension { None, Velocity, Rate };

struct QuantityInfo {
  Quantity quantity;
  const char* name;
  Dimension dimension;
  bool is_signed;
};

constexpr QuantityInfo kQuantities[] = {
    {Quantity::None, "none", Dimension::None, false},
    {Quantity::Speed, "speed", Dimension::Velocity, false},
    {Quantity::Vorticity, "vorticity", Dimension::Rate, true},
    {Quantity::Divergence, "divergence", Dimension::Rate, true},
    {Quantity::U, "u", Dimension::Velocity, true},
    {Quantity::V, "v", Dimension::Velocity, true},
};

const QuantityInfo& Info(Quantity quantity) {
  for (const QuantityInfo& info : kQuantities)
    if (info.quantity == quantity) return info;
  return kQuantities[0];
}

std::string UnitOf(Dimension dimension, const PlotUnits& units) {
  switch (dimension) {
    case Dimension::Velocity: return units.velocity;
    case Dimension::Rate: return units.rate;
    case Dimension::None: break;
  }
  return "";
}

}  // namespace

ColourQuantity DescribeQuantity(Quantity quantity, const PlotUnits& units) {
  const QuantityInfo& info = Info(quantity);
  return {info.name, UnitOf(info.dimension, units), info.is_signed};
}

bool ParseQuantity(const std::string& word, Quantity& quantity) {
  for (const QuantityInfo& info : kQuantities)
    if (word == info.name) {
      quantity = info.quantity;
      return true;
    }
  return false;
}
