#include "Quantity.h"

namespace {

struct QuantityInfo {
  Quantity quantity;
  const char* name;
  const char* unit;
  bool is_signed;
};

constexpr QuantityInfo kQuantities[] = {
    {Quantity::None, "none", "", false},
    {Quantity::Speed, "speed", "px/frame", false},
    {Quantity::Vorticity, "vorticity", "1/frame", true},
    {Quantity::Divergence, "divergence", "1/frame", true},
    {Quantity::U, "u", "px/frame", true},
    {Quantity::V, "v", "px/frame", true},
};

const QuantityInfo& Info(Quantity quantity) {
  for (const QuantityInfo& info : kQuantities)
    if (info.quantity == quantity) return info;
  return kQuantities[0];
}

}  // namespace

const char* QuantityName(Quantity quantity) { return Info(quantity).name; }

const char* QuantityUnit(Quantity quantity) { return Info(quantity).unit; }

bool IsSigned(Quantity quantity) { return Info(quantity).is_signed; }

bool ParseQuantity(const std::string& word, Quantity& quantity) {
  for (const QuantityInfo& info : kQuantities)
    if (word == info.name) {
      quantity = info.quantity;
      return true;
    }
  return false;
}
