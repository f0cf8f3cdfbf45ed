#include "FieldGrid.h"

#include <cmath>

namespace {

constexpr double kTolerance = 1e-3;

bool Near(double a, double b) { return std::fabs(a - b) <= kTolerance; }

}  // namespace

bool FieldGrid::Matches(const FieldGrid& other) const {
  return nx == other.nx && ny == other.ny && Near(x0, other.x0) && Near(y0, other.y0) && Near(dx, other.dx) &&
         Near(dy, other.dy);
}

bool FieldGrid::Holds(const std::vector<VectorRecord>& records) const {
  if (records.size() != Points()) return false;
  for (size_t k = 0; k < records.size(); k++) {
    const int i = static_cast<int>(k % static_cast<size_t>(nx)), j = static_cast<int>(k / static_cast<size_t>(nx));
    if (!Near(records[k].x, X(i)) || !Near(records[k].y, Y(j))) return false;
  }
  return true;
}

FieldGrid GridOf(const VectorField& field) {
  return {field.nx, field.ny, field.x0, field.y0, field.delx, field.dely};
}

FieldGrid GridOfRecords(const std::vector<VectorRecord>& records, int nx, int ny) {
  FieldGrid grid{nx, ny, 0, 0, 0, 0};
  if (records.empty() || nx <= 0 || ny <= 0) return grid;
  grid.x0 = records[0].x;
  grid.y0 = records[0].y;
  if (nx > 1) grid.dx = records[1].x - records[0].x;
  if (ny > 1 && records.size() > static_cast<size_t>(nx)) grid.dy = records[static_cast<size_t>(nx)].y - records[0].y;
  return grid;
}
