// The Tecplot point file of a vector field: a title, the variable names X Y U V, a zone of
// nx x ny points, then one line "X Y U V" per point in grid order.
//
// Worked example: a 2 x 1 grid written to "run.plt" begins
//   TITLE="TARVEX-Velocity File: run.plt"
//   VARIABLES="X" "Y" "U" "V"
//   ZONE F = POINT, I=          2, J=          1
// and the point at (15, 15) moving (0.5, -2) px is the line
//   15.000000 15.000000 5.000000e-01 -2.000000e+00
#ifndef FORMATS_TECPLOTFILE_H
#define FORMATS_TECPLOTFILE_H

#include <string>
#include <vector>

#include "DpivFile.h"  // VectorRecord, WriteStatus

// File name the writers use when none is given.
extern const char* const kDefaultTecplotName;  // "TARVEX-Vel.plt"

// Writes the x, y, u, v of the records (nx * ny of them, in grid order) as a Tecplot point
// file named fname, or under the default name (with a title line of its own form) when null.
WriteStatus WriteTecplotFile(const char* fname, int nx, int ny,
                             const std::vector<VectorRecord>& records, std::string& error);

// Whether path is a whole Tecplot point file of nx x ny points as written above: the title, the
// variables, a zone of nx x ny points, then one full line of four numbers per point and
// nothing after them.
bool TecplotFileHolds(const std::string& path, int nx, int ny);

#endif
