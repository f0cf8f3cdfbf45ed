#include "TecplotFile.h"

#include <cstdio>

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
