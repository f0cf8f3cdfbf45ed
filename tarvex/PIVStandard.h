// Correlation-peak search regions; value 0 means the whole correlation plane.
#ifndef PIVSTANDARD_H
#define PIVSTANDARD_H

enum FlowDirection {
  unknown = 0, Unknown = 0, UNKNOWN = 0,
  WEST = 1, West = 1, west = 1,
  SOUTH = 2, South = 2, south = 2,
  EAST = 3, East = 3, east = 3,
  NORTH = 4, North = 4, north = 4
};

#endif
