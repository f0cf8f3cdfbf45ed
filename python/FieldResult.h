// A vector field as the Python module hands it out: the records of the grid points in grid
// order (column fastest), the grid's shape, the windows the vectors were measured with, and
// the analysis' console text.
//
// Worked example: 32 x 32 windows every 16 px on a 256 x 256 pair give 15 x 15 records; the
// first lies at x = y = 15 (the DPIV file's position, the window covering pixels 0 to 31),
// and its window centre at 15.5, 15.5. A 31-px window would put the first point at 14 and
// its centre at 15.
#ifndef PYTHON_FIELDRESULT_H
#define PYTHON_FIELDRESULT_H

#include <string>
#include <vector>

#include "DpivFile.h"

namespace tarvex {

class FieldResult {
 public:
  // records: nx * ny of them, in grid order; smoothed: whether rejected vectors carry
  // smoothed values (the Tecplot file then keeps them).
  FieldResult(std::vector<VectorRecord> records, int nx, int ny, int windowWidth, int windowHeight, bool smoothed,
              std::string log);

  // A DPIV file read back; the window is taken as 2 (x0 + 1) by 2 (y0 + 1) pixels, the one
  // tarvex lays from the image corner. Throws FileError.
  static FieldResult FromDpivFile(const std::string& path);

  const std::vector<VectorRecord>& Records() const { return records_; }
  int Columns() const { return nx_; }
  int Rows() const { return ny_; }
  int WindowWidth() const { return windowWidth_; }
  int WindowHeight() const { return windowHeight_; }
  bool Smoothed() const { return smoothed_; }
  const std::string& Log() const { return log_; }
  int ValidCount() const;

  // The standard uncertainties of u and v (px, one per record, NaN where no vector was
  // measured), when the analysis estimated them; empty otherwise.
  void SetUncertainties(std::vector<float> sigmaU, std::vector<float> sigmaV);
  bool HasUncertainties() const { return !sigmaU_.empty(); }
  const std::vector<float>& SigmaU() const { return sigmaU_; }
  const std::vector<float>& SigmaV() const { return sigmaV_; }

  // Throw FileError when the file cannot be created or written.
  void WriteDpiv(const std::string& path) const;
  // keepRejected: rejected vectors keep their values; otherwise they are written as 0, 0.
  void WriteTecplot(const std::string& path, bool keepRejected) const;

 private:
  std::vector<VectorRecord> records_;
  int nx_, ny_;
  int windowWidth_, windowHeight_;
  bool smoothed_;
  std::string log_;
  std::vector<float> sigmaU_, sigmaV_;
};

}  // namespace tarvex

#endif
