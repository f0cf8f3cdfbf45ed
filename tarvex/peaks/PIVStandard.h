// Correlation-peak search regions; value 0 means the whole correlation plane.
//
// Worked example: a point made with `east` keeps SearchRegion 3, but the peak search does
// not read it: every search covers the whole plane, so the point measures the same
// displacement as with `unknown` (0).
#ifndef PIVSTANDARD_H
#define PIVSTANDARD_H

namespace tarvex {

enum FlowDirection {
  unknown = 0, Unknown = 0, UNKNOWN = 0,
  WEST = 1, West = 1, west = 1,
  SOUTH = 2, South = 2, south = 2,
  EAST = 3, East = 3, east = 3,
  NORTH = 4, North = 4, north = 4
};

}  // namespace tarvex

#endif
