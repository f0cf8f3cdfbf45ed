// The DPIV file: the analysis's column file of a vector field. 12 comment lines, then one
// record per grid point, row by row with the column fastest:
//   flag  x  y  U  V  peak
// flag 1 for a valid vector and 0 for a rejected one, x and y the window position in pixels,
// U and V the displacement in pixels, peak the correlation peak.
//
// Worked example: the valid vector (2.5, -1.25) px of the point at x = 15, y = 31 with peak
// 0.8125 is written "1\t1.500000e+01\t3.100000e+01\t2.500000e+00\t-1.250000e+00\t0.812\n"
// (the peak with three decimals, so 0.8125 reads back as 0.812). Reading a file whose
// records lie at x = 15, 31, 47 and y = 15, 31 gives a grid of 3 x 2 points with
// x0 = y0 = 15 and spacing 16 in both directions.
#ifndef FORMATS_DPIVFILE_H
#define FORMATS_DPIVFILE_H

#include <string>
#include <vector>

// Number of comment lines at the head of every DPIV file.
constexpr int kDpivHeaderLines = 12;

// File name the writers use when none is given.
extern const char* const kDefaultDpivName;  // "TARVEX-Vel.dpiv"

// One vector of a field, as the velocity files hold it.
struct VectorRecord {
  bool valid;
  double x, y;  // window position, image pixels (y grows with the row index)
  double u, v;  // displacement, pixels
  double peak;  // correlation peak
};

// The vectors in grid order (column fastest) and the grid they lie on.
struct VectorField {
  std::vector<VectorRecord> vectors;
  int nx = 0, ny = 0;         // columns and rows of the grid
  double x0 = 0, y0 = 0;      // position of the first point
  double delx = 0, dely = 0;  // spacing; 0 along a direction with a single point

  // The spacing an arrow of the largest valid vector is drawn to: the smaller known
  // spacing, or the window size for a grid of a single point.
  double Spacing() const;
};

// Outcome of writing a velocity file. The file appears under its name only when complete
// (AtomicFile): on CannotOpen and WriteFailed nothing is left under that name.
enum class WriteStatus { Ok, CannotOpen, WriteFailed };

// Writes the records as a DPIV file named fname (the default name when null), whose title
// line names the file. On failure `error` holds a one-line reason.
WriteStatus WriteDpivFile(const char* fname, const std::vector<VectorRecord>& records,
                          std::string& error);

class AtomicFile;
// The end of writing a velocity file: completes it when everything was written.
WriteStatus CommitVelocityFile(AtomicFile& file, bool written, std::string& error);

// Reads path into field; on failure returns false with a one-line reason in error.
bool ReadDpivFile(const std::string& path, VectorField& field, std::string& error);

// Whether path is a whole DPIV file of a grid of nx x ny points: the 12 comment lines, then
// nx * ny records, each a full line, and nothing after them. An empty file, one cut short or
// one of another grid is not.
bool DpivFileHolds(const std::string& path, int nx, int ny);

#endif
