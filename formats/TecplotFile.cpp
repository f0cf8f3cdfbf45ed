#include "TecplotFile.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "AtomicFile.h"

const char* const kDefaultTecplotName = "TARVEX-Vel.plt";

WriteStatus WriteTecplotFile(const char* fname, int nx, int ny,
                             const std::vector<VectorRecord>& records, std::string& error) {
  AtomicFile file;
  if (!file.Open(fname ? fname : kDefaultTecplotName, false)) {
    error = file.Error();
    return WriteStatus::CannotOpen;
  }
  FILE* f = file.Stream();
  bool written =
      (fname ? std::fprintf(f, "TITLE=\"TARVEX-Velocity File: %s\"\n", fname)
             : std::fprintf(f, "TITLE= \"TARVEX-Velocity File: %s\"\n", kDefaultTecplotName)) > 0;
  written = written && std::fprintf(f, "VARIABLES=\"X\" \"Y\" \"U\" \"V\"\n") > 0;
  written = written && std::fprintf(f, "ZONE F = POINT, I=          %d, J=          %d\n", nx, ny) > 0;
  for (size_t k = 0; written && k < records.size(); k++) {
    const VectorRecord& r = records[k];
    written = std::fprintf(f, "%f %f %e %e\n", r.x, r.y, r.u, r.v) > 0;
  }
  return CommitVelocityFile(file, written, error);
}

namespace {

// One point's line: four finite numbers and nothing else.
bool PointLine(const std::string& line) {
  double values[4];
  char rest;
  return std::sscanf(line.c_str(), "%lf %lf %lf %lf %c", &values[0], &values[1], &values[2], &values[3],
                     &rest) == 4 &&
         std::isfinite(values[0]) && std::isfinite(values[1]) && std::isfinite(values[2]) &&
         std::isfinite(values[3]);
}

// Reads the next line whole (ended by a line break) into line.
bool WholeLine(std::ifstream& in, std::string& line) { return std::getline(in, line) && !in.eof(); }

}  // namespace

bool TecplotFileHolds(const std::string& path, int nx, int ny) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  int i = 0, j = 0;
  char rest;
  if (!WholeLine(in, line) || line.compare(0, 6, "TITLE=") != 0) return false;
  if (!WholeLine(in, line) || line != "VARIABLES=\"X\" \"Y\" \"U\" \"V\"") return false;
  if (!WholeLine(in, line) || std::sscanf(line.c_str(), "ZONE F = POINT, I= %d, J= %d%c", &i, &j, &rest) != 2 ||
      i != nx || j != ny)
    return false;
  const long long points = static_cast<long long>(nx) * ny;
  for (long long k = 0; k < points; k++)
    if (!WholeLine(in, line) || !PointLine(line)) return false;
  return in.peek() == std::char_traits<char>::eof();
}
